#pragma once

#include "ShortcutList.h"

#include <QString>
#include <QUrl>

// What a file, folder, desktop entry or link dropped on the launcher becomes:
// a shortcut for the user to register.

// The display name and the target for a dropped item: a desktop entry's Name
// and its own path; a local file or folder's name and its path; any other
// URL's file name (its host when it names none) and the URL itself.
ShortcutEntry shortcutForDroppedUrl(const QUrl& url);
