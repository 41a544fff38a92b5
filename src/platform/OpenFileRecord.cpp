#include "OpenFileRecord.h"

#include "TextCodec.h"

#include <QFileInfo>
#include <QStringEncoder>

namespace {

// A U+FFFD stands for a byte of the file's name that is not text; the name
// is that byte in the record's code page as well.
qsizetype cp932Length(const QString& text, bool* encodable) {
    QStringEncoder encoder(Cp932Name, QStringConverter::Flag::Stateless);
    QString withoutStandIns = text;
    withoutStandIns.replace(QChar::ReplacementCharacter, u'?');
    const QByteArray bytes = encoder(withoutStandIns);
    *encodable = !encoder.hasError();
    return bytes.size();
}

// Puts text at the start of a buffer of size characters, NUL-terminated and
// padded, keeping the buffer's length as the dialog keeps its buffer's.
QString filledBuffer(const QString& text, int size) {
    QString buffer = text;
    buffer.append(QChar(0));
    if (buffer.size() < size)
        buffer.append(QString(size - buffer.size(), QChar(0)));
    return buffer;
}

} // namespace

QStringList nameFiltersOf(const QString& recordFilter) {
    const QStringList parts = recordFilter.split(QChar(0));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty())
            break;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters;
}

bool storeChosenFile(OPENFILENAME& record, const QString& fullPath) {
    bool encodable = false;
    const int limit = OpenFileBufferSize - 1;
    if (cp932Length(fullPath, &encodable) > limit || !encodable)
        return false;
    record.lpstrFile = filledBuffer(fullPath, int(record.nMaxFile));
    record.lpstrFileTitle = filledBuffer(QFileInfo(fullPath).fileName(), int(record.nMaxFileTitle));
    return true;
}

QString bufferText(const QString& buffer) {
    const qsizetype nul = buffer.indexOf(QChar(0));
    return nul < 0 ? buffer : buffer.left(nul);
}
