// Any bytes as a list file: the reader answers with a known outcome, and a
// list it accepts is written and read back as the very same entries.
#include "ErrorNumbers.h"
#include "FuzzFiles.h"
#include "ShortcutList.h"

namespace {

bool isKnownReadOutcome(int error) {
    return error == ErrorNumber::None || error == ErrorNumber::InputPastEnd ||
           error == ErrorNumber::NoSlot || error == ErrorNumber::BadFileFormat;
}

bool sameEntries(const ShortcutList& a, const ShortcutList& b) {
    if (a.count != b.count)
        return false;
    for (int slot = 1; slot <= a.count; ++slot) {
        if (a.entries[slot].name != b.entries[slot].name ||
            a.entries[slot].path != b.entries[slot].path)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString input = fuzzFile(QStringLiteral("input.xxa"));
    const QString output = fuzzFile(QStringLiteral("output.xxa"));
    writeInput(input, data, size);

    ShortcutList read;
    const int error = ReadShortcutList(input, read);
    FUZZ_CHECK(isKnownReadOutcome(error));
    FUZZ_CHECK(read.count >= 0 && read.count <= ShortcutSlots);
    if (error != ErrorNumber::None)
        return 0;
    FUZZ_CHECK(read.count <= MaxShortcutEntries);

    // An accepted list always writes: the table holds what the file held.
    FUZZ_CHECK(WriteShortcutList(output, read, read.count) == ErrorNumber::None);
    ShortcutList again;
    FUZZ_CHECK(ReadShortcutList(output, again) == ErrorNumber::None);
    FUZZ_CHECK(sameEntries(read, again));
    FUZZ_CHECK(again.encoding == read.encoding);

    // A file the program wrote is a fixed point: writing it again changes no byte.
    const QByteArray written = fileBytes(output);
    FUZZ_CHECK(WriteShortcutList(output, again, again.count) == ErrorNumber::None);
    FUZZ_CHECK(fileBytes(output) == written);
    return 0;
}
