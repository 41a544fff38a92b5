#include "FileIdentity.h"

#include <QList>
#include <cerrno>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// The names of the file's extended attributes; none where the file system
// has none.
bool attributeNames(int fd, QList<QByteArray>& names) {
    names.clear();
    for (;;) {
        const ssize_t size = flistxattr(fd, nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP;
        QByteArray buffer(size, '\0');
        const ssize_t got = flistxattr(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == ERANGE)
            continue; // grew in between
        if (got < 0)
            return false;
        buffer.truncate(got);
        for (const QByteArray& name : buffer.split('\0')) {
            if (!name.isEmpty())
                names << name;
        }
        return true;
    }
}

bool attributeValue(int fd, const QByteArray& name, QByteArray& value) {
    for (;;) {
        const ssize_t size = fgetxattr(fd, name.constData(), nullptr, 0);
        if (size < 0)
            return false;
        value.resize(size);
        const ssize_t got = fgetxattr(fd, name.constData(), value.data(), value.size());
        if (got < 0 && errno == ERANGE)
            continue;
        if (got < 0)
            return false;
        value.truncate(got);
        return true;
    }
}

// Makes the new file's attributes exactly the old file's: a new file may
// have been given some of its own (an ACL from the folder's default ACL, a
// security label). Values that already match are not set again, since
// setting one can need privileges that keeping it does not.
bool copyAttributes(const QByteArray& oldPath, int fd) {
    UniqueFd old(open(oldPath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    QList<QByteArray> oldNames, newNames;
    if (!old.valid() || !attributeNames(old.get(), oldNames) || !attributeNames(fd, newNames))
        return false;
    for (const QByteArray& name : oldNames) {
        QByteArray value, current;
        if (!attributeValue(old.get(), name, value))
            return false;
        if (newNames.contains(name) && attributeValue(fd, name, current) && current == value)
            continue;
        if (fsetxattr(fd, name.constData(), value.constData(), value.size(), 0) != 0)
            return false;
    }
    for (const QByteArray& name : newNames) {
        if (!oldNames.contains(name) && fremovexattr(fd, name.constData()) != 0)
            return false;
    }
    return true;
}

} // namespace

void UniqueFd::reset(int fd) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

bool giveIdentity(int fd, const QByteArray& oldPath, const struct stat& old) {
    struct stat now {};
    if (fstat(fd, &now) != 0)
        return false;
    // Owner first: a change of owner clears the set-id bits the mode then sets.
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
        fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    if (fchmod(fd, old.st_mode & 07777) != 0 || !copyAttributes(oldPath, fd))
        return false;
    // The system may drop a bit it does not let this writer set.
    if (fstat(fd, &now) != 0)
        return false;
    return now.st_uid == old.st_uid && now.st_gid == old.st_gid &&
           (now.st_mode & 07777) == (old.st_mode & 07777);
}

int writeAllAt(int fd, const char* data, qint64 size, off_t offset) {
    while (size > 0) {
        const ssize_t written = pwrite(fd, data, size, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return ENOSPC;
        data += written;
        size -= written;
        offset += written;
    }
    return 0;
}

int syncFolder(const QByteArray& folder) {
    UniqueFd dir(open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid())
        return errno;
    if (fsync(dir.get()) != 0 && errno != EINVAL)
        return errno;
    return 0;
}
