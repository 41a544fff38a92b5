#include "SettingsLocation.h"

#include "FileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The file system hierarchy keeps /usr read-only at run time: a file the
// program wrote there would outlive the package's removal.
bool isSystemFolder(const QString& folder) {
    return folder == u"/usr" || folder.startsWith(u"/usr/");
}

// Whether this process may make files in the folder: asked of the system
// with the effective user, as a write would be, so a read-only mount counts.
bool isWritableFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    return QFileInfo(folder).isDir() &&
           faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) == 0;
}

} // namespace

SettingsLocation settingsLocation(const QString& programFolder, bool programFolderWritable,
                                  const QString& userFolder) {
    const QString beside = settingsFilePath(programFolder);
    if (programFolderWritable && !isSystemFolder(programFolder))
        return {beside, beside};
    const QString own = settingsFilePath(userFolder);
    // A settings file that came with a read-only folder still counts until
    // the user's first change makes a copy of their own.
    const bool onlyBeside = !QFileInfo::exists(own) && QFileInfo::exists(beside);
    return {onlyBeside ? beside : own, own};
}

SettingsLocation settingsLocation(const QString& programFolder, const QString& userFolder) {
    return settingsLocation(programFolder, isWritableFolder(programFolder), userFolder);
}

ErrorNumber updateSettingsAt(const SettingsLocation& location, const Settings& ownRecord,
                             const std::function<void(Settings&)>& takeOwnValues) {
    // A folder that cannot be made shows as the write's own failure.
    QDir().mkpath(QFileInfo(location.writeTo).absolutePath());
    FileLock lock;
    if (const ErrorNumber failure = lock.lock(location.writeTo); failure != ErrorNumber::None)
        return failure;
    Settings current;
    const bool nothingSavedYet = location.readFrom == location.writeTo && lock.fileWasMissing();
    if (nothingSavedYet || readSettingsFile(location.readFrom, current) != ErrorNumber::None)
        current = ownRecord;
    takeOwnValues(current);
    return writeSettingsFile(location.writeTo, current);
}
