#pragma once

#include "ErrorNumbers.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Orders the read-modify-write of one list or settings file across
// processes: a registration, a deletion, the options dialog's OK and a corner
// change each hold it from the moment they read the file again until their
// write is done, so two launchers writing the same file queue instead of one
// undoing the other. Readers that only show a file take no lock.
//
// It is an fcntl byte-range lock of the open file description (OFD) on the
// file itself, because such locks
// - reach the server on NFS (NLM or NFSv4) and SMB, so two machines writing a
//   shared folder are ordered too, where a lock file naming a process could
//   not tell whether a process on another machine is still alive;
// - go away with the process that held them, so a killed launcher leaves no
//   stale lock behind;
// - stay held while the same process opens and closes the file again to read
//   it, which a classic per-process fcntl lock would silently drop.
// A write may replace the file by rename, so a waiter may get the lock on a
// file that no longer stands at the path; the lock is only taken as held
// once the locked file is still the one at the path.
class FileLock {
  public:
    FileLock() = default;
    ~FileLock() { unlock(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Waits up to two seconds for the file at path. Answers None when held, or
    // PermissionDenied (as a file locked by another program reports it) when
    // another writer kept it all that time. A file that cannot be opened for
    // writing at all (a folder in its place, no permission, a new file in a
    // read-only folder), or a file system without locks, is not locked and
    // answers None: the write that follows either fails and says why, or is as
    // unordered as the file system makes it.
    // path: the file's name as the file system holds it.
    [[nodiscard]] ErrorNumber lock(const QByteArray& path);
    [[nodiscard]] ErrorNumber lock(const QString& path) { return lock(QFile::encodeName(path)); }
    void unlock();

    // True when the file did not exist: the lock made it, empty, to have
    // something to lock. It goes again at unlock unless a write replaced it,
    // and callers that treat a missing file apart from an empty one ask here.
    bool fileWasMissing() const { return madeFile_; }

  private:
    int openOrMake(const QByteArray& path);
    bool stillAtPath() const;

    int fd_ = -1;
    bool madeFile_ = false;
    QByteArray path_;
};
