// Any bytes as a list file, or built with FUZZ_SETTINGS as a settings file:
// what the reader accepts writes and reads back as the same values. A broken
// promise aborts, and libFuzzer keeps the input.
#include "ErrorNumbers.h"
#include "Settings.h"
#include "ShortcutList.h"

#include <QTemporaryDir>
#include <cstdlib>

namespace {

#ifdef FUZZ_SETTINGS
using Record = Settings;
QStringList values(const Settings& s) {
    return QStringList{s.startupListPath, s.cornerText} +
           QStringList(s.quickFiles.begin(), s.quickFiles.end());
}
int read(const QString& path, Settings& s) {
    return ReadSettingsFile(path, s);
}
int write(const QString& path, const Settings& s) {
    return WriteSettingsFile(path, s);
}
#else
using Record = ShortcutList;
QStringList values(const ShortcutList& list) {
    QStringList all;
    for (int slot = 1; slot <= list.count; ++slot)
        all << list.entries[slot].name << list.entries[slot].path;
    return all;
}
int read(const QString& path, ShortcutList& list) {
    return ReadShortcutList(path, list);
}
int write(const QString& path, const ShortcutList& list) {
    return WriteShortcutList(path, list, list.count);
}
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QTemporaryDir folder;
    const QString input = folder.filePath("input"), output = folder.filePath("output");
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();
    Record first, again;
    // A value the file's encoding cannot hold refuses the whole write.
    if (read(input, first) != ErrorNumber::None ||
        write(output, first) == ErrorNumber::CannotEncode)
        return 0;
    if (read(output, again) != ErrorNumber::None || values(again) != values(first))
        std::abort();
    return 0;
}
