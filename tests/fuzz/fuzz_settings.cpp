// Any bytes as a settings file: the reader answers with a known outcome, and
// settings it accepts are either written and read back unchanged or refused
// whole, leaving no file behind.
#include "ErrorNumbers.h"
#include "FuzzFiles.h"
#include "Settings.h"

namespace {

bool sameValues(const Settings& a, const Settings& b) {
    return a.startupListPath == b.startupListPath && a.quickFiles == b.quickFiles &&
           a.cornerText == b.cornerText && cornerCode(a) == cornerCode(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString input = fuzzFile(QStringLiteral("input.ini"));
    const QString output = fuzzFile(QStringLiteral("output.ini"));
    writeInput(input, data, size);
    QFile::remove(output);

    Settings read;
    const int error = ReadSettingsFile(input, read);
    FUZZ_CHECK(error == ErrorNumber::None || error == ErrorNumber::BadFileFormat);
    if (error != ErrorNumber::None)
        return 0;
    const int code = cornerCode(read);
    FUZZ_CHECK(code >= 0 && code <= 4);

    // A value the file's code page cannot hold (a byte that decoded to U+FFFD)
    // refuses the write; nothing may be left half written.
    const int written = WriteSettingsFile(output, read);
    FUZZ_CHECK(written == ErrorNumber::None || written == ErrorNumber::CannotEncode);
    if (written != ErrorNumber::None) {
        FUZZ_CHECK(!QFile::exists(output));
        return 0;
    }
    Settings again;
    FUZZ_CHECK(ReadSettingsFile(output, again) == ErrorNumber::None);
    FUZZ_CHECK(sameValues(read, again));
    return 0;
}
