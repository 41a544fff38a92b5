#pragma once

#include "Settings.h"

#include <QString>
#include <functional>

// Where the settings file is read from and written to. The two differ only
// while a read-only program folder still holds a settings file and the user
// has no copy of their own yet.
struct SettingsLocation {
    QString readFrom;
    QString writeTo;
};

// The settings stay beside the program while its folder is writable: make
// run, a per-user install, a folder copied from Windows. A system install's
// folder is read-only to its users, and a folder under /usr belongs to the
// package manager even for root; then they go to the user's folder
// (userFolder, ~/.config/tovlan).
SettingsLocation settingsLocation(const QString& programFolder, bool programFolderWritable,
                                  const QString& userFolder);
// The same, asking the file system whether the program's folder is writable.
SettingsLocation settingsLocation(const QString& programFolder, const QString& userFolder);

// A writer's read-modify-write: under the file's lock, reads the settings as
// they are now (another window or launcher may have saved since; ownRecord
// where there is nothing to read), lets takeOwnValues set the values this
// writer owns, and writes the result where it belongs, making the user's
// folder at the first write.
[[nodiscard]] ErrorNumber updateSettingsAt(const SettingsLocation& location,
                                           const Settings& ownRecord,
                                           const std::function<void(Settings&)>& takeOwnValues);
