#pragma once

#include <QString>
#include <QStringList>

class Platform;
class QWidget;

// The open-file dialog for the rest of the program. Each window keeps its own
// record and passes it in; the launcher keeps its record for the whole run,
// so each use opens where the previous one chose.
namespace Daiarog {

struct OpenFileRecord {
    QStringList nameFilters; // as the dialog lists them: "description (patterns)"
    QString initialDir;      // a folder, or the file chosen last
};

// Prepares the record; filter is "description|pattern[|description|pattern]".
void InitFileDialog(OpenFileRecord& record, const QString& filter, const QString& initialDir);

// Runs the dialog and answers the chosen full path, or the empty text on a
// cancel. A path whose code page 932 form does not fit the 511 bytes (and a
// NUL) the program has always allowed fails like a cancel. After a success
// the record's initial folder is the chosen file, so the next dialog on the
// same record opens in its folder with its name filled in.
QString ShowOpenDialog(Platform& platform, QWidget* owner, OpenFileRecord& record,
                       const QString& title);

} // namespace Daiarog
