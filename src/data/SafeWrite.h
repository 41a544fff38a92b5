#pragma once

#include "ErrorNumbers.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Makes the settings of the whole process that writes rely on: main calls it
// first, before any other thread starts, and tests that write as the
// launcher does call it too. A file-size limit (ulimit -f, some sandboxes
// and quota set-ups) then fails a write with EFBIG, which the user is told,
// instead of ending the launcher with SIGXFSZ and losing what the user
// typed; a handler the launcher was given stays. New files get the mode
// that the umask found here leaves.
void prepareProcessForWrites();

// Replaces the contents of the file at path with bytes, all or nothing, and
// keeps the file's identity: owner, group, mode, extended attributes and
// ACLs, and its other names (hard links). A symlink stays; the file it names
// is rewritten.
//
// Usually the bytes go to a new file in the same folder that is given the
// old file's identity and renamed over it. Where the new file cannot be
// given that identity (several names, an owner or group the writer cannot
// give away, attributes it cannot set), the file is rewritten in place, with
// a whole copy of its old contents kept beside it until the new ones are
// synced. Either way a failure or an interruption at any moment leaves one
// whole version readable, and a write answered with None is on disk: the file
// and its folder entry are synced.
//
// path: the file's name as the file system holds it, which need not be text.
[[nodiscard]] ErrorNumber writeWholeFile(const QByteArray& path, const QByteArray& bytes);
[[nodiscard]] inline ErrorNumber writeWholeFile(const QString& path, const QByteArray& bytes) {
    return writeWholeFile(QFile::encodeName(path), bytes);
}

// Where an in-place rewrite of path keeps the whole old contents. While this
// copy exists the file itself may be cut short, so readers take the copy.
QByteArray wholeCopyPath(const QByteArray& path);
inline QString wholeCopyPath(const QString& path) {
    return QFile::decodeName(wholeCopyPath(QFile::encodeName(path)));
}
