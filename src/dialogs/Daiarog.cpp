#include "Daiarog.h"

#include "OpenFileRecord.h"
#include "Platform.h"

namespace Daiarog {

namespace {
const QChar Nul(0);
constexpr quint32 LegacyRecordSize = 76;
} // namespace

void InitFileDialog(OPENFILENAME& record, const QString& filter, const QString& initialDir) {
    record.lStructSize = LegacyRecordSize;
    record.hInstance = 0;
    record.lpstrCustomFilter.clear();
    record.nMaxCustFilter = 0;
    record.nFilterIndex = 0;

    QString built = filter;
    built.replace(QLatin1Char('|'), Nul);
    built += Nul;
    built += Nul;
    record.lpstrFilter = built;

    record.Flags = 0;
    record.lpstrDefExt.clear();
    record.lpstrInitialDir = initialDir;
    record.nFileOffset = 0;
    record.nFileExtension = 0;
    record.lCustData = 0;
    record.lpfnHook = 0;
    record.lpTemplateName = QStringLiteral("0");

    record.lpstrFile = QString(OpenFileBufferSize, Nul);
    record.nMaxFile = OpenFileBufferSize;
    record.lpstrFileTitle = QString(OpenFileBufferSize, Nul);
    record.nMaxFileTitle = OpenFileBufferSize;
}

QString ShowOpenDialog(Platform& platform, HWND owner, OPENFILENAME& record, const QString& title) {
    record.hwndOwner = owner;
    record.lpstrTitle = title;
    record.Flags = OFN_FILEMUSTEXIST;
    if (!platform.getOpenFileName(record))
        return {};
    const QString chosen = bufferText(record.lpstrFile);
    record.lpstrInitialDir = record.lpstrFile;
    record.lpstrFile = record.lpstrFileTitle;
    return chosen;
}

} // namespace Daiarog
