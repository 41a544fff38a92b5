// Any bytes as a list file, or built with FUZZ_SETTINGS as a settings file:
// what the reader accepts writes (unless its encoding cannot hold a value),
// and reads and writes back byte for byte. A broken promise aborts, and
// libFuzzer keeps the input.
#include "ErrorNumbers.h"
#include "Settings.h"
#include "ShortcutList.h"

#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QTemporaryDir folder;
    const QString input = folder.filePath("input"), once = folder.filePath("once"),
                  twice = folder.filePath("twice");
#ifdef FUZZ_SETTINGS
    Settings first, again;
    auto read = [](const QString& path, Settings& s) { return readSettingsFile(path, s); };
    auto write = [](const QString& path, const Settings& s) { return writeSettingsFile(path, s); };
#else
    ShortcutList first, again;
    auto read = [](const QString& path, ShortcutList& l) {
        return ReadShortcutList(QFile::encodeName(path), l);
    };
    auto write = [](const QString& path, const ShortcutList& l) {
        return WriteShortcutList(QFile::encodeName(path), l, l.count);
    };
#endif
    auto bytes = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
    };
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();
    QFile::remove(once);
    if (read(input, first) != ErrorNumber::None || write(once, first) == ErrorNumber::CannotEncode)
        return 0;
    // A code page 932 file whose first value starts with the bytes of a UTF-8
    // byte-order mark reads as UTF-8 from then on: the format cannot tell.
    const QByteArray mark("\xEF\xBB\xBF");
    if (bytes(once).startsWith(mark) && !bytes(input).startsWith(mark))
        return 0;
    if (read(once, again) != ErrorNumber::None || write(twice, again) != ErrorNumber::None ||
        bytes(once) != bytes(twice))
        std::abort();
    return 0;
}
