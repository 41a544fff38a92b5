#pragma once

#include "Win32Records.h"

#include <QStringList>

// Translation between the open-file record and a desktop file dialog.

// "desc" NUL "pattern" NUL ... NUL NUL as name filters: "desc (pattern)".
QStringList nameFiltersOf(const QString& recordFilter);

// Writes the chosen file into the record as the dialog does on OK: the full
// path and the file title NUL-terminated at the start of their 512-byte
// buffers. A path whose code page 932 form does not fit 511 bytes fails like
// a cancel and leaves the record as it was; a U+FFFD (a byte of the name
// that Qt could not decode) counts as that one byte.
bool storeChosenFile(OPENFILENAME& record, const QString& fullPath);

// The text of a buffer up to its first NUL.
QString bufferText(const QString& buffer);
