#include "LineFile.h"

#include "SafeWrite.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens path for reading, or answers why not. Only a regular file is opened:
// a pipe or device could block or never end.
ErrorNumber openForReading(const QByteArray& path, QFile& file) {
    if (path.isEmpty())
        return ErrorNumber::PathFileAccess;
    struct stat info {};
    if (stat(path.constData(), &info) != 0)
        return ErrorNumber::FileNotFound;
    if (!S_ISREG(info.st_mode))
        return ErrorNumber::PathFileAccess;
    // While an in-place rewrite is under way, or after one was interrupted,
    // the file may be cut short; the whole copy beside it is the version.
    const QByteArray wholeCopy = wholeCopyPath(path);
    const bool copyStands = stat(wholeCopy.constData(), &info) == 0 && S_ISREG(info.st_mode);
    // O_NONBLOCK: should a pipe take the file's place after the check, the
    // open still returns at once.
    const int fd = ::open((copyStands ? wholeCopy : path).constData(),
                          O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return ErrorNumber::PathFileAccess;
    }
    return ErrorNumber::None;
}

} // namespace

ErrorNumber LineReader::open(const QByteArray& path, int maxLines) {
    *this = LineReader();
    QFile file;
    if (const ErrorNumber failure = openForReading(path, file); failure != ErrorNumber::None)
        return failure;
    // One byte more than maxLines longest lines can take, so a file that goes
    // on past them shows as such.
    const qint64 limit = Utf8ByteOrderMark.size() + maxLines * (MaxLineBytes + 2) + 1;
    // A buffer of the limit for a file of a few bytes would cost a large
    // allocation on every read; a size of 0 may also mean "unknown".
    const qint64 size = file.size();
    const QByteArray data = file.read(size > 0 ? qMin(limit, size + 1) : limit);
    if (file.error() != QFileDevice::NoError)
        return ErrorNumber::PathFileAccess;
    const qsizetype start = data.startsWith(Utf8ByteOrderMark) ? Utf8ByteOrderMark.size() : 0;
    const qsizetype end = split(data, start, maxLines);
    moreLines_ = lines_.size() == maxLines && end < data.size();
    encoding_ = detectEncoding(QByteArrayView(data).first(end));
    return ErrorNumber::None;
}

// Splits data from pos into at most maxLines lines; answers where it stopped.
qsizetype LineReader::split(QByteArrayView data, qsizetype pos, int maxLines) {
    while (lines_.size() < maxLines && pos < data.size()) {
        const QByteArrayView rest = data.sliced(pos);
        const qsizetype lineEnd = rest.first(qMin(rest.size(), MaxLineBytes + 1)).indexOf('\r');
        if (lineEnd < 0 && rest.size() > MaxLineBytes) {
            tooLong_ = true;
            break;
        }
        if (lineEnd < 0) {
            lines_.append(rest.toByteArray());
            return data.size();
        }
        lines_.append(rest.first(lineEnd).toByteArray());
        pos += lineEnd + 1;
        if (pos < data.size() && data[pos] == '\n')
            ++pos;
    }
    return pos;
}

bool LineReader::atEnd() const {
    return next_ == lines_.size() && !tooLong_ && !moreLines_;
}

ErrorNumber LineReader::readLine(QByteArray& line) {
    if (next_ < lines_.size()) {
        line = lines_[next_++];
        return ErrorNumber::None;
    }
    return tooLong_ ? ErrorNumber::BadFileFormat : ErrorNumber::InputPastEnd;
}

LineWriter::LineWriter(TextEncoding encoding) : encoding_(encoding) {
    if (encoding == TextEncoding::Utf8Bom)
        bytes_ = Utf8ByteOrderMark.toByteArray();
}

void LineWriter::add(const QString& text, TextRole role, const QByteArray& raw) {
    const std::optional<QByteArray> bytes =
        decodeText(raw, encoding_) == text ? raw : encodeText(text, encoding_, role);
    if (!bytes || bytes->contains('\r') || bytes->size() > MaxLineBytes) {
        writable_ = false;
        return;
    }
    bytes_ += *bytes;
    bytes_ += "\r\n";
}

ErrorNumber LineWriter::writeTo(const QByteArray& path) const {
    if (!writable_)
        return ErrorNumber::CannotEncode;
    // Code page 932 bytes can happen to be valid UTF-8 (half-width katakana
    // such as "ﾃｽ" beside ASCII, or what is left once an edit removed the
    // other Japanese text); the reader would then take the whole file as
    // UTF-8 and every value would read back as other characters.
    if (encoding_ == TextEncoding::Cp932 && detectEncoding(bytes_) != TextEncoding::Cp932)
        return ErrorNumber::CannotEncode;
    return writeWholeFile(path, bytes_);
}
