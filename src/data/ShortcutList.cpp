#include "ShortcutList.h"

#include "LineFile.h"

#include <algorithm>

namespace {

// Reads one line into text and raw, its bytes; on a failure both keep what
// they held.
ErrorNumber readValue(LineReader& reader, TextEncoding encoding, QString& text, QByteArray& raw) {
    QByteArray line;
    if (const ErrorNumber failure = reader.readLine(line); failure != ErrorNumber::None)
        return failure;
    raw = line;
    text = decodeText(raw, encoding);
    return ErrorNumber::None;
}

} // namespace

ErrorNumber ReadShortcutList(const QByteArray& path, ShortcutList& list) {
    list.count = 0;
    // A list that cannot be read is written anew, and new files are code page 932.
    list.encoding = TextEncoding::Cp932;
    LineReader reader;
    // Two lines for each entry that fits; whether more follows is all that
    // matters beyond them.
    if (const ErrorNumber failure = reader.open(path, 2 * MaxShortcutEntries);
        failure != ErrorNumber::None)
        return failure;
    list.encoding = reader.encoding();
    while (!reader.atEnd()) {
        ++list.count;
        if (list.count > MaxShortcutEntries)
            return ErrorNumber::NoSlot;
        ShortcutEntry& entry = list.entries[list.count];
        ErrorNumber failure = readValue(reader, list.encoding, entry.name, entry.rawName);
        if (failure == ErrorNumber::None)
            failure = readValue(reader, list.encoding, entry.path, entry.rawPath);
        if (failure != ErrorNumber::None)
            return failure;
    }
    return ErrorNumber::None;
}

bool isDamagedList(ErrorNumber failure) {
    return failure == ErrorNumber::NoSlot || failure == ErrorNumber::InputPastEnd ||
           failure == ErrorNumber::BadFileFormat;
}

ErrorNumber WriteShortcutList(const QByteArray& path, const ShortcutList& list, int count) {
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
ErrorNumber AppendShortcutEntry(const QByteArray& path, ShortcutList& list,
                                const ShortcutEntry& entry) {
    if (list.count >= MaxShortcutEntries)
        return ErrorNumber::NoSlot;
    ShortcutList edited = list;
    edited.entries[++edited.count] = entry;
    if (const ErrorNumber failure = WriteShortcutList(path, edited, edited.count);
        failure != ErrorNumber::None)
        return failure;
    list = std::move(edited);
    return ErrorNumber::None;
}

ErrorNumber RemoveShortcutEntry(const QByteArray& path, ShortcutList& list, int position) {
    if (position < 1 || position > list.count)
        return ErrorNumber::InvalidCall;
    ShortcutList edited = list;
    // Copied down, not moved: the old last slot keeps its entry like any slot
    // above the count.
    auto first = edited.entries.begin();
    std::copy(first + position + 1, first + edited.count + 1, first + position);
    --edited.count;
    if (const ErrorNumber failure = WriteShortcutList(path, edited, edited.count);
        failure != ErrorNumber::None)
        return failure;
    list = std::move(edited);
    return ErrorNumber::None;
}
