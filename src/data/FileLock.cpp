#include "FileLock.h"

#include <QDeadlineTimer>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Long enough for any real write of a small file, even over a slow network;
// short enough that a user who pressed a button is told soon.
constexpr int WaitMilliseconds = 2000;
constexpr int RetryMilliseconds = 5;

// The locked byte lies far past the end of any list or settings file: where a
// server enforces byte-range locks (SMB to Windows), a locked range refuses
// reads, and readers must never be refused the contents.
constexpr off_t LockedByte = off_t(1) << 30;

struct flock lockRecord(short type) {
    struct flock record {};
    record.l_type = type;
    record.l_whence = SEEK_SET;
    record.l_start = LockedByte;
    record.l_len = 1;
    return record;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

// Answers the open descriptor, -1 when the file cannot be opened for writing,
// or -2 when it appeared or went between two steps and must be tried again.
int FileLock::openOrMake(const QByteArray& path) {
    struct stat info {};
    if (stat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return -1; // never open a pipe or a device: it may block or act
    // O_NONBLOCK: should a pipe take the file's place after the check, the
    // open still returns at once.
    const int fd = open(path.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0 || errno != ENOENT)
        return fd;
    const int made = open(path.constData(), O_RDWR | O_CLOEXEC | O_CREAT | O_EXCL, 0666);
    if (made >= 0) {
        madeFile_ = true;
        return made;
    }
    if (errno != EEXIST)
        return -1;
    // A symlink to a file not made yet is not followed by an exclusive
    // create; the write makes that file, unlocked.
    struct stat link {};
    return lstat(path.constData(), &link) == 0 && S_ISLNK(link.st_mode) ? -1 : -2;
}

bool FileLock::stillAtPath() const {
    struct stat atPath {
    }, locked{};
    return stat(path_.constData(), &atPath) == 0 && fstat(fd_, &locked) == 0 &&
           sameFile(atPath, locked) && S_ISREG(locked.st_mode);
}

ErrorNumber FileLock::lock(const QByteArray& path) {
    unlock();
    if (path.isEmpty())
        return ErrorNumber::None;
    path_ = path;
    const QDeadlineTimer deadline(WaitMilliseconds);
    for (;;) {
        madeFile_ = false;
        fd_ = openOrMake(path_);
        if (fd_ == -2 && !deadline.hasExpired())
            continue;
        if (fd_ < 0)
            return ErrorNumber::None;
        const struct flock record = lockRecord(F_WRLCK);
        while (fcntl(fd_, F_OFD_SETLK, &record) != 0) {
            if (errno != EAGAIN && errno != EACCES && errno != EINTR) {
                // No locks here (ENOLCK, EINVAL, EOPNOTSUPP): write unordered.
                unlock();
                return ErrorNumber::None;
            }
            if (deadline.hasExpired()) {
                madeFile_ = false; // another writer has it now
                unlock();
                return ErrorNumber::PermissionDenied;
            }
            QThread::msleep(RetryMilliseconds);
        }
        if (stillAtPath())
            return ErrorNumber::None;
        // Replaced while we waited: lock what stands at the path now.
        madeFile_ = false;
        unlock();
    }
}

void FileLock::unlock() {
    if (fd_ < 0)
        return;
    // The empty file made only to be locked goes, unless a write has put a
    // file of its own at the path or filled this one.
    struct stat locked {};
    if (madeFile_ && stillAtPath() && fstat(fd_, &locked) == 0 && locked.st_size == 0)
        ::unlink(path_.constData());
    // Closing the only descriptor of the open file description releases it.
    ::close(fd_);
    fd_ = -1;
    madeFile_ = false;
}
