#include "SafeWrite.h"

#include "FileIdentity.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

constexpr qint64 CopyChunk = 1 << 16;

// The platform's number for the system's reason a write failed.
ErrorNumber failureNumber(int systemError) {
    switch (systemError) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ErrorNumber::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorNumber::PermissionDenied;
    default:
        return ErrorNumber::PathFileAccess;
    }
}

// The umask the process started with, as prepareProcessForWrites found it;
// the common one where nothing called it.
mode_t startUmask = 022;

// Caught rather than ignored, so the programs the launcher starts get the
// default action back when they exec.
void onFileSizeLimit(int) {}

QByteArray absoluteName(const QByteArray& path) {
    if (path.startsWith('/'))
        return path;
    char* folder = getcwd(nullptr, 0);
    const QByteArray absolute = QByteArray(folder ? folder : "") + '/' + path;
    std::free(folder);
    return absolute;
}

QByteArray folderOf(const QByteArray& path) {
    const QByteArray absolute = absoluteName(path);
    const qsizetype slash = absolute.lastIndexOf('/');
    return slash > 0 ? absolute.left(slash) : QByteArray("/");
}

bool present(const QByteArray& path) {
    struct stat info {};
    return stat(path.constData(), &info) == 0;
}

// Failures that show before anything is written.
ErrorNumber checkTarget(const QByteArray& path) {
    if (path.isEmpty())
        return ErrorNumber::PathFileAccess;
    struct stat target {
    }, folder{};
    const bool found = stat(path.constData(), &target) == 0;
    // A folder, a device or a pipe where the file should be.
    if (found && !S_ISREG(target.st_mode))
        return ErrorNumber::PathFileAccess;
    if (stat(folderOf(path).constData(), &folder) != 0 || !S_ISDIR(folder.st_mode))
        return ErrorNumber::PathFileAccess;
    // Replacing would get past a write-protected file; honour its protection
    // as the effective user, the one the system checks writes against.
    if (found && faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
        return ErrorNumber::PermissionDenied;
    return ErrorNumber::None;
}

// The file a write rewrites: the one a symlink names (the link stays), else
// the path itself.
QByteArray resolvedTarget(const QByteArray& path) {
    const QByteArray absolute = absoluteName(path);
    struct stat link {};
    if (lstat(absolute.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return absolute;
    if (char* real = realpath(absolute.constData(), nullptr)) {
        const QByteArray canonical(real);
        std::free(real);
        return canonical;
    }
    // Dangling: what it names, relative to the link's folder.
    QByteArray named(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = readlink(absolute.constData(), named.data(), named.size());
    named.truncate(length > 0 ? length : 0);
    return named.startsWith('/') ? named : folderOf(absolute) + '/' + named;
}

QByteArray copyBeside(const QByteArray& target) {
    return target + ".tovlan-backup";
}

mode_t newFileMode() {
    return 0666 & ~startUmask;
}

// A new file beside a target, named after it; removed again unless renamed.
class TempFile {
  public:
    explicit TempFile(const QByteArray& beside) : name_(beside + ".XXXXXX") {
        fd_.reset(mkostemp(name_.data(), O_CLOEXEC));
    }
    ~TempFile() {
        if (fd_.valid() && !renamed_)
            ::unlink(name_.constData());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    bool valid() const { return fd_.valid(); }
    int fd() const { return fd_.get(); }
    int renameTo(const QByteArray& to) {
        if (::rename(name_.constData(), to.constData()) != 0)
            return errno;
        renamed_ = true;
        return 0;
    }

  private:
    QByteArray name_;
    UniqueFd fd_;
    bool renamed_ = false;
};

// Copies the whole of from into to, from the start; answers 0 or errno.
int copyContents(int from, int to) {
    QByteArray buffer(CopyChunk, Qt::Uninitialized);
    off_t offset = 0;
    for (;;) {
        const ssize_t got = pread(from, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got < 0 ? errno : ftruncate(to, offset) == 0 ? 0 : errno;
        if (const int error = writeAllAt(to, buffer.constData(), got, offset))
            return error;
        offset += got;
    }
}

// Writes bytes over the file's contents and syncs them.
ErrorNumber writeContent(int fd, const QByteArray& bytes) {
    if (const int error = writeAllAt(fd, bytes.constData(), bytes.size(), 0))
        return failureNumber(error);
    if (ftruncate(fd, bytes.size()) != 0)
        return failureNumber(errno);
    if (fsync(fd) != 0)
        return failureNumber(errno);
    return ErrorNumber::None;
}

// Once the new contents are whole on disk, a whole copy kept beside the file
// is no longer needed; the folder is synced so the rename and the removal
// both last.
ErrorNumber settle(const QByteArray& target) {
    if (::unlink(copyBeside(target).constData()) != 0 && errno != ENOENT)
        return failureNumber(errno);
    if (const int error = syncFolder(folderOf(target)))
        return failureNumber(error);
    return ErrorNumber::None;
}

// Answers nothing when the new file cannot take the old identity: the file
// is then rewritten in place.
std::optional<ErrorNumber> replaceByRename(const QByteArray& target, const QByteArray& bytes,
                                           const struct stat* old) {
    TempFile temp(target);
    if (!temp.valid())
        return failureNumber(errno);
    if (old && !giveIdentity(temp.fd(), target, *old))
        return std::nullopt;
    if (!old && fchmod(temp.fd(), newFileMode()) != 0)
        return failureNumber(errno);
    if (const ErrorNumber failure = writeContent(temp.fd(), bytes); failure != ErrorNumber::None)
        return failure;
    if (const int error = temp.renameTo(target))
        return failureNumber(error);
    return settle(target);
}

// The whole copy is made under another name and renamed, so that whenever
// the copy exists it is whole.
ErrorNumber makeWholeCopy(int file, const QByteArray& target) {
    TempFile temp(copyBeside(target));
    if (!temp.valid())
        return failureNumber(errno);
    if (const int error = copyContents(file, temp.fd()))
        return failureNumber(error);
    if (fsync(temp.fd()) != 0)
        return failureNumber(errno);
    if (const int error = temp.renameTo(copyBeside(target)))
        return failureNumber(error);
    if (const int error = syncFolder(folderOf(target)))
        return failureNumber(error);
    return ErrorNumber::None;
}

// After a failed in-place write: the old contents go back into the file. If
// that fails too, the copy stays, and readers take it.
void restoreFromCopy(int file, const QByteArray& target) {
    UniqueFd copy(open(copyBeside(target).constData(), O_RDONLY | O_CLOEXEC));
    if (copy.valid() && copyContents(copy.get(), file) == 0 && fsync(file) == 0)
        settle(target);
}

ErrorNumber writeInPlace(const QByteArray& target, const QByteArray& bytes) {
    UniqueFd file(open(target.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    if (!file.valid())
        return failureNumber(errno);
    // A copy left by an interrupted rewrite holds the last whole version,
    // which the file itself may no longer.
    if (!present(copyBeside(target))) {
        if (const ErrorNumber failure = makeWholeCopy(file.get(), target);
            failure != ErrorNumber::None)
            return failure;
    }
    if (const ErrorNumber failure = writeContent(file.get(), bytes); failure != ErrorNumber::None) {
        restoreFromCopy(file.get(), target);
        return failure;
    }
    return settle(target);
}

} // namespace

void prepareProcessForWrites() {
    struct sigaction current {};
    if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        struct sigaction caught {};
        caught.sa_handler = onFileSizeLimit;
        caught.sa_flags = SA_RESTART;
        sigemptyset(&caught.sa_mask);
        sigaction(SIGXFSZ, &caught, nullptr);
    }
    // Reading the umask sets it; with no other thread yet, no file is made
    // under the 0 meanwhile.
    startUmask = umask(0);
    umask(startUmask);
}

QByteArray wholeCopyPath(const QByteArray& path) {
    return copyBeside(resolvedTarget(path));
}

ErrorNumber writeWholeFile(const QByteArray& path, const QByteArray& bytes) {
    if (const ErrorNumber failure = checkTarget(path); failure != ErrorNumber::None)
        return failure;
    const QByteArray target = resolvedTarget(path);
    struct stat old {};
    const bool exists = stat(target.constData(), &old) == 0;
    // After a rename the file's other names would keep the old contents.
    if (exists && old.st_nlink > 1)
        return writeInPlace(target, bytes);
    const std::optional<ErrorNumber> answer =
        replaceByRename(target, bytes, exists ? &old : nullptr);
    return answer ? *answer : writeInPlace(target, bytes);
}
