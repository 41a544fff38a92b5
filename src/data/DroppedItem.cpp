#include "DroppedItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// A real desktop entry is a few kilobytes; a bigger file only named like one
// is not read whole.
constexpr qint64 MaxDesktopEntryBytes = 256 * 1024;

// The escapes a desktop entry's string values may hold.
QString unescaped(const QString& value) {
    QString text;
    text.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == QLatin1Char('s'))
            text += QLatin1Char(' ');
        else if (next == QLatin1Char('n'))
            text += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            text += QLatin1Char('\t');
        else if (next == QLatin1Char('r'))
            text += QLatin1Char('\r');
        else
            text += next;
    }
    return text;
}

// The Name of the [Desktop Entry] group in a desktop entry file's text, in
// Japanese where the entry has it; empty when it has none.
QString desktopEntryName(const QByteArray& contents) {
    // The most specific of the keys wins, wherever it stands in the group.
    const QStringList keys = {QStringLiteral("Name[ja_JP]"), QStringLiteral("Name[ja]"),
                              QStringLiteral("Name")};
    QString found[3];
    bool inEntryGroup = false;
    for (QByteArray line : contents.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            inEntryGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inEntryGroup || equals < 0)
            continue;
        const QString key = QString::fromUtf8(line.left(equals)).trimmed();
        const qsizetype which = keys.indexOf(key);
        if (which >= 0)
            found[which] = unescaped(QString::fromUtf8(line.mid(equals + 1)).trimmed());
    }
    for (const QString& name : found)
        if (!name.isEmpty())
            return name;
    return {};
}

QString desktopEntryNameOfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return desktopEntryName(file.read(MaxDesktopEntryBytes));
}

// The last part of a path, or the whole path where it has none ("/").
QString lastPart(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

} // namespace

ShortcutEntry shortcutForDroppedUrl(const QUrl& url) {
    ShortcutEntry entry;
    if (url.isLocalFile()) {
        // A folder comes with a trailing slash; its name is the part before.
        entry.path = QDir::cleanPath(url.toLocalFile());
        if (entry.path.endsWith(QLatin1String(".desktop")))
            entry.name = desktopEntryNameOfFile(entry.path);
        if (entry.name.isEmpty())
            entry.name = lastPart(entry.path);
        return entry;
    }
    // Encoded, so that the target is plain ASCII any list file can hold.
    entry.path = url.toString(QUrl::FullyEncoded);
    entry.name = url.fileName();
    if (entry.name.isEmpty())
        entry.name = url.host();
    if (entry.name.isEmpty())
        entry.name = entry.path;
    return entry;
}
