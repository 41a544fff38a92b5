#include "Daiarog.h"

#include "Platform.h"
#include "TextCodec.h"

#include <QStringEncoder>

namespace Daiarog {

namespace {

constexpr qsizetype PathBufferSize = 512;

// A U+FFFD stands for a byte of the file's name that is not text; the name
// is that one byte in code page 932 as well.
bool fitsPathBuffer(QString path) {
    QStringEncoder encoder(Cp932Name, QStringConverter::Flag::Stateless);
    path.replace(QChar::ReplacementCharacter, u'?');
    const QByteArray bytes = encoder(path);
    return !encoder.hasError() && bytes.size() < PathBufferSize;
}

} // namespace

void InitFileDialog(OpenFileRecord& record, const QString& filter, const QString& initialDir) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    record.nameFilters.clear();
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        record.nameFilters << QStringLiteral("%1 (%2)").arg(parts[i], parts[i + 1]);
    record.initialDir = initialDir;
}

QString ShowOpenDialog(Platform& platform, QWidget* owner, OpenFileRecord& record,
                       const QString& title) {
    const std::optional<QString> chosen =
        platform.chooseFileToOpen(owner, title, record.nameFilters, record.initialDir);
    if (!chosen || !fitsPathBuffer(*chosen))
        return {};
    record.initialDir = *chosen;
    return *chosen;
}

} // namespace Daiarog
