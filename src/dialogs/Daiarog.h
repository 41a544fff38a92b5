#pragma once

#include "Win32Records.h"

#include <QString>

class Platform;

// The open-file dialog for the rest of the program. Each window keeps its own
// record and passes it in; the launcher keeps its record for the whole run,
// so each use sees what the previous one left in it.
namespace Daiarog {

// Prepares the record; filter is "description|pattern[|description|pattern]".
void InitFileDialog(OPENFILENAME& record, const QString& filter, const QString& initialDir);

// Runs the dialog and answers the chosen full path, or the empty text on a
// cancel or failure. After a success the record's initial folder holds the
// chosen path and its file buffer the chosen file title, so the next dialog
// on the same record opens there.
QString ShowOpenDialog(Platform& platform, HWND owner, OPENFILENAME& record, const QString& title);

} // namespace Daiarog
