#include "SafeWrite.h"

#include "ErrorNumbers.h"

#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

namespace {

WriteFault writeFault = WriteFault::None;

// The platform's number for the system's reason a write failed.
int failureNumber(int systemError) {
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

// Failures that show before anything is written. A symlink is followed: the
// file it names is replaced and the link stays.
int checkTarget(const QString& path) {
    if (path.isEmpty())
        return ErrorNumber::PathFileAccess;
    const QFileInfo target(path);
    // A folder, a device or a pipe where the file should be.
    if (target.exists() && !target.isFile())
        return ErrorNumber::PathFileAccess;
    if (!QFileInfo(target.absolutePath()).isDir())
        return ErrorNumber::PathFileAccess;
    // Replacing would get past a write-protected file; honour its protection.
    if (target.exists() && !target.isWritable())
        return ErrorNumber::PermissionDenied;
    return ErrorNumber::None;
}

// Writes bytes into the open file, or as many as the test seam lets through.
int writeContent(QSaveFile& file, const QByteArray& bytes) {
    const qint64 size = writeFault == WriteFault::InMiddle ? bytes.size() / 2 : bytes.size();
    errno = 0;
    if (file.write(bytes.constData(), size) != size || !file.flush())
        return failureNumber(errno);
    if (writeFault == WriteFault::InMiddle)
        return ErrorNumber::DiskFull;
    return ErrorNumber::None;
}

} // namespace

void setWriteFaultForTesting(WriteFault fault) {
    writeFault = fault;
}

int writeWholeFile(const QString& path, const QByteArray& bytes) {
    if (const int failure = checkTarget(path))
        return failure;
    if (writeFault == WriteFault::AtOpen)
        return ErrorNumber::PermissionDenied;
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return failureNumber(errno);
    if (const int failure = writeContent(file, bytes)) {
        file.cancelWriting();
        return failure;
    }
    if (writeFault == WriteFault::AtCommit)
        file.cancelWriting();
    errno = 0;
    if (!file.commit())
        return failureNumber(errno);
    return ErrorNumber::None;
}
