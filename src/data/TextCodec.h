#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// Encodings a list or settings file can be in. Every file the program makes
// is code page 932; a file that is valid UTF-8 with non-ASCII bytes (or a
// byte order mark) is read as UTF-8 and keeps that encoding when rewritten.
enum class TextEncoding { Cp932, Utf8, Utf8Bom };

// The mark a UTF-8 file may start with.
inline constexpr QByteArrayView Utf8ByteOrderMark("\xEF\xBB\xBF");
// ICU's name for Windows code page 932, which Qt's converters take.
inline constexpr char Cp932Name[] = "windows-31j";

TextEncoding detectEncoding(QByteArrayView fileBytes);

// Decodes one line. Bytes the encoding cannot decode show as U+FFFD, never
// silently as U+001A; *exact tells whether every byte decoded.
QString decodeText(QByteArrayView bytes, TextEncoding encoding, bool* exact = nullptr);

// Where the text comes from decides how far encoding may bend it.
enum class TextRole { DisplayName, Path };

// Encodes one line, or nothing when the encoding cannot hold the text (an
// emoji in code page 932). Only display names get the Windows mapping of the
// look-alike characters Japanese input on Linux produces (U+301C, U+2016,
// U+2212, U+00A2, U+00A3, U+00AC).
std::optional<QByteArray> encodeText(QStringView text, TextEncoding encoding, TextRole role);
