#pragma once

#include <QByteArray>
#include <sys/stat.h>

// A file descriptor closed on every way out.
class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1);

  private:
    int fd_;
};

// Gives the new file open as fd the identity of the old file: its owner and
// group, its mode and exactly its extended attributes (ACLs among them).
// False when any of these cannot be given, as for an owner or group the
// writer may not hand a file to.
bool giveIdentity(int fd, const QByteArray& oldPath, const struct stat& old);

// Writes all of data at offset, going on after short writes and signals.
// Answers 0 or errno.
int writeAllAt(int fd, const char* data, qint64 size, off_t offset);

// Syncs the folder's entries, so a rename or an unlink in it lasts. A file
// system that cannot sync a folder (EINVAL) counts as synced.
int syncFolder(const QByteArray& folder);
