#include "ShortcutList.h"

#include "ErrorNumbers.h"
#include "LineFile.h"

#include <algorithm>

namespace {

// Reads one line into raw and its text; on a failure both keep what they held.
int readValue(LineReader& reader, TextEncoding encoding, QByteArray& raw, QString& text) {
    QByteArray line;
    if (const int failure = reader.readLine(line))
        return failure;
    raw = line;
    text = decodeText(raw, encoding);
    return ErrorNumber::None;
}

} // namespace

int ReadShortcutList(const QString& path, ShortcutList& list) {
    list.count = 0;
    list.path = path;
    // A list that cannot be read is written anew, and new files are code page 932.
    list.encoding = TextEncoding::Cp932;
    LineReader reader;
    // Two lines for each entry that fits; whether more follows is all that
    // matters beyond them.
    if (const int failure = reader.open(path, 2 * MaxShortcutEntries))
        return failure;
    list.encoding = reader.encoding();
    while (!reader.atEnd()) {
        ++list.count;
        if (list.count > MaxShortcutEntries)
            return ErrorNumber::NoSlot;
        ShortcutEntry& entry = list.entries[list.count];
        if (const int failure = readValue(reader, list.encoding, entry.rawName, entry.name))
            return failure;
        if (const int failure = readValue(reader, list.encoding, entry.rawPath, entry.path))
            return failure;
    }
    return ErrorNumber::None;
}

bool isDamagedList(int failure) {
    return failure == ErrorNumber::NoSlot || failure == ErrorNumber::InputPastEnd ||
           failure == ErrorNumber::BadFileFormat;
}

int WriteShortcutList(const QString& path, const ShortcutList& list, int count) {
    if (count < 0 || count > MaxShortcutEntries)
        return ErrorNumber::InvalidCall;
    LineWriter writer(list.encoding);
    for (int slot = 1; slot <= count; ++slot) {
        const ShortcutEntry& entry = list.entries[slot];
        writer.add(entry.name, TextRole::DisplayName, entry.rawName);
        writer.add(entry.path, TextRole::Path, entry.rawPath);
    }
    return writer.writeTo(path);
}

// Both edits work on a copy and take it over only once the file holds it, so
// after a failed write the table still matches the file.
int AppendShortcutEntry(const QString& path, ShortcutList& list, const ShortcutEntry& entry) {
    if (list.count >= MaxShortcutEntries)
        return ErrorNumber::NoSlot;
    ShortcutList edited = list;
    edited.entries[++edited.count] = entry;
    if (const int failure = WriteShortcutList(path, edited, edited.count))
        return failure;
    list = std::move(edited);
    return ErrorNumber::None;
}

int RemoveShortcutEntry(const QString& path, ShortcutList& list, int position) {
    if (position < 1 || position > list.count)
        return ErrorNumber::InvalidCall;
    ShortcutList edited = list;
    // Copied down, not moved: the old last slot keeps its entry like any slot
    // above the count.
    auto first = edited.entries.begin();
    std::copy(first + position + 1, first + edited.count + 1, first + position);
    --edited.count;
    if (const int failure = WriteShortcutList(path, edited, edited.count))
        return failure;
    list = std::move(edited);
    return ErrorNumber::None;
}
