#include "FileName.h"

#include <QByteArrayList>
#include <QFile>
#include <QStringList>
#include <sys/stat.h>

namespace {

bool present(const QByteArray& path) {
    struct stat info {};
    return lstat(path.constData(), &info) == 0;
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
