#include "FileName.h"

#include <QByteArrayList>
#include <QFile>
#include <QStringList>
#include <dirent.h>
#include <sys/stat.h>

namespace {

bool present(const QByteArray& path) {
    struct stat info {};
    return lstat(path.constData(), &info) == 0;
}

// The one entry of the folder that Qt shows as text, or nothing.
QByteArray entryShownAs(const QByteArray& folder, const QString& text) {
    DIR* listing = opendir(folder.isEmpty() ? "." : folder.constData());
    if (!listing)
        return {};
    QByteArray found;
    int matches = 0;
    while (const dirent* entry = readdir(listing)) {
        if (QFile::decodeName(entry->d_name) == text && ++matches == 1)
            found = entry->d_name;
    }
    closedir(listing);
    return matches == 1 ? found : QByteArray();
}

} // namespace

QByteArray fileNameOnDisk(const QString& text, const QByteArray& raw, TextEncoding encoding) {
    bool exact = true;
    const bool fromFile = !raw.isEmpty() && decodeText(raw, encoding, &exact) == text;
    if (fromFile && !exact)
        return raw;
    // A "/" is the same byte in both encodings and never part of a code page
    // 932 character, so the raw bytes split into the same parts as the text.
    const QStringList parts = text.split(u'/');
    const QByteArrayList cp932Parts =
        fromFile && encoding == TextEncoding::Cp932 ? raw.split('/') : QByteArrayList();
    QByteArray name;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray folder = i == 0 ? QByteArray() : name + '/';
        const QByteArray utf8 = folder + QFile::encodeName(parts[i]);
        const bool cp932 =
            cp932Parts.size() == parts.size() && !present(utf8) && present(folder + cp932Parts[i]);
        name = cp932 ? folder + cp932Parts[i] : utf8;
    }
    return name;
}

QByteArray fileNameOfShown(const QString& text) {
    QByteArray name;
    const QStringList parts = text.split(u'/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray folder = i == 0 ? QByteArray() : name + '/';
        const QByteArray asUtf8 = folder + QFile::encodeName(parts[i]);
        const QByteArray entry = present(asUtf8) || !parts[i].contains(QChar::ReplacementCharacter)
                                     ? QByteArray()
                                     : entryShownAs(folder, parts[i]);
        name = entry.isEmpty() ? asUtf8 : folder + entry;
    }
    return name;
}
