#pragma once

#include "TextCodec.h"

#include <QByteArray>
#include <QString>

// The name by which the file system holds a path read from a list or
// settings file: text, and raw, the bytes the file held for it in its
// encoding. Paths are bytes to the file system, and a decoded path encoded
// again need not name the same file:
// - bytes that do not decode name the file themselves; the text holds
//   stand-ins for them, which may name another file;
// - otherwise each part of the path is its UTF-8 name where that exists;
//   where it does not, a part read from a code page 932 file is its code
//   page 932 bytes where those name something (a folder unpacked from a
//   Windows archive, a Samba share with a code page 932 character set);
// - otherwise UTF-8, the name a new file gets.
// Without raw, or when the text no longer matches it (edited), the text's
// UTF-8 name.
QByteArray fileNameOnDisk(const QString& text, const QByteArray& raw, TextEncoding encoding);

// The name of an existing file that Qt showed as text (the open-file
// dialog's answer): Qt decodes every name as UTF-8, with U+FFFD for each
// byte that does not decode. The UTF-8 name where it exists; else, part by
// part, the one name in its folder that shows as that text.
QByteArray fileNameOfShown(const QString& text);
