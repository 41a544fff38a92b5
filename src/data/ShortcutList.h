#pragma once

#include "ErrorNumbers.h"
#include "TextCodec.h"

#include <QByteArray>
#include <QString>
#include <array>

struct ShortcutEntry {
    QString name;
    QString path;
    // The bytes the entry had in its file. A rewrite puts them back unchanged
    // while the text still matches them, so entries nobody edited survive
    // byte for byte, even bytes that are not valid in the file's code page.
    QByteArray rawName;
    QByteArray rawPath;
};

constexpr int ShortcutSlots = 100;
constexpr int MaxShortcutEntries = ShortcutSlots - 1;

// Slots 1..count hold the entries in file order; slot 0 is never filled by a
// read. A read never clears the table: slots above count keep what an earlier
// read left there.
struct ShortcutList {
    std::array<ShortcutEntry, ShortcutSlots> entries; // "slots" is taken by Qt
    int count = 0;
    TextEncoding encoding = TextEncoding::Cp932;
};

// Each list file is named by its path as the file system holds it: bytes,
// which need not be text in any encoding (fileNameOnDisk).
//
// Sets count to 0, then raises it entry by entry while filling slots 1, 2, ...
// On a failure the slots read so far stay filled and count includes the entry
// that failed.
[[nodiscard]] ErrorNumber ReadShortcutList(const QByteArray& path, ShortcutList& list);
// True for a read failure of a file that is there but cannot be rewritten
// whole: a name without its path, more than 99 entries, a line too long.
bool isDamagedList(ErrorNumber failure);
// Replaces the file with slots 1..count, name line then path line, each
// ending in CR LF. On failure the old file is untouched.
[[nodiscard]] ErrorNumber WriteShortcutList(const QByteArray& path, const ShortcutList& list,
                                            int count);
// Stores entry in slot count+1 and rewrites the file; count grows on success.
[[nodiscard]] ErrorNumber AppendShortcutEntry(const QByteArray& path, ShortcutList& list,
                                              const ShortcutEntry& entry);
// Removes slot position (1..count), moving later entries down, and rewrites
// the file; count shrinks on success.
[[nodiscard]] ErrorNumber RemoveShortcutEntry(const QByteArray& path, ShortcutList& list,
                                              int position);
