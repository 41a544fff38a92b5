#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <utility>

namespace {

// Stateless, so a truncated last character is reported instead of being held
// back for more input.
constexpr QStringConverter::Flags Cp932Flags = QStringConverter::Flag::Stateless;
// A line may start with U+FEFF; it is text there, not a mark to drop.
constexpr QStringConverter::Flags Utf8Flags =
    QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

bool isAscii(uchar byte) {
    return byte < 0x80;
}

bool isLeadByte(uchar byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool isTrailByte(uchar byte) {
    return byte >= 0x40 && byte <= 0xFC && byte != 0x7F;
}

// Bytes of the character starting at i: two for a lead byte followed by a
// possible trail byte, else one (a stray lead byte is a character of its own,
// so the byte after it is read afresh).
qsizetype cp932CharLength(QByteArrayView bytes, qsizetype i) {
    const bool pair =
        isLeadByte(uchar(bytes[i])) && i + 1 < bytes.size() && isTrailByte(uchar(bytes[i + 1]));
    return pair ? 2 : 1;
}

void decodeCp932Char(QByteArrayView bytes, QString& out, bool& exact) {
    QStringDecoder decoder(Cp932Name, Cp932Flags);
    const QString text = decoder(bytes);
    if (decoder.hasError() || text.isEmpty()) {
        out += QChar::ReplacementCharacter;
        exact = false;
    } else {
        out += text;
    }
}

// Decodes a run of non-ASCII characters in one go; only a run that holds a
// bad byte is redone character by character, so each bad character shows as
// one U+FFFD instead of ICU's silent U+001A.
void decodeCp932Run(QByteArrayView run, QString& out, bool& exact) {
    QStringDecoder decoder(Cp932Name, Cp932Flags);
    const QString text = decoder(run);
    if (!decoder.hasError()) {
        out += text;
        return;
    }
    for (qsizetype i = 0; i < run.size();) {
        const qsizetype length = cp932CharLength(run, i);
        decodeCp932Char(run.sliced(i, length), out, exact);
        i += length;
    }
}

// Bytes below 0x80 map to themselves, as on Windows; ICU's table would swap
// the controls 0x1A, 0x1C and 0x7F.
QString decodeCp932(QByteArrayView bytes, bool& exact) {
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        if (isAscii(uchar(bytes[i]))) {
            out += QLatin1Char(bytes[i++]);
            continue;
        }
        qsizetype end = i;
        while (end < bytes.size() && !isAscii(uchar(bytes[end])))
            end += cp932CharLength(bytes, end);
        decodeCp932Run(bytes.sliced(i, end - i), out, exact);
        i = end;
    }
    return out;
}

std::optional<QByteArray> encodeCp932(QStringView text) {
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size();) {
        if (text[i].unicode() < 0x80) {
            out += char(text[i++].unicode());
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && text[end].unicode() >= 0x80)
            ++end;
        QStringEncoder encoder(Cp932Name, Cp932Flags);
        out += encoder(text.sliced(i, end - i));
        if (encoder.hasError())
            return std::nullopt;
        i = end;
    }
    // A best-fit byte would read back as a different character: refuse it.
    bool exact = true;
    if (decodeCp932(out, exact) != text)
        return std::nullopt;
    return out;
}

// Japanese input on Linux gives these characters where Windows gives the ones
// its code page holds; a display name may take the Windows form.
QString withWindowsLookAlikes(QStringView text) {
    QString out = text.toString();
    static constexpr std::pair<char16_t, char16_t> twins[] = {
        {u'\u301C', u'\uFF5E'}, {u'\u2016', u'\u2225'}, {u'\u2212', u'\uFF0D'},
        {u'\u00A2', u'\uFFE0'}, {u'\u00A3', u'\uFFE1'}, {u'\u00AC', u'\uFFE2'}};
    for (const auto& [linuxForm, windowsForm] : twins)
        out.replace(QChar(linuxForm), QChar(windowsForm));
    return out;
}

} // namespace

TextEncoding detectEncoding(QByteArrayView fileBytes) {
    if (fileBytes.startsWith(Utf8ByteOrderMark))
        return TextEncoding::Utf8Bom;
    if (std::all_of(fileBytes.begin(), fileBytes.end(), [](char c) { return isAscii(uchar(c)); }))
        return TextEncoding::Cp932;
    QStringDecoder decoder(QStringConverter::Utf8, Utf8Flags);
    // The decoder only runs when its result is taken.
    const QString text = decoder(fileBytes);
    return decoder.hasError() ? TextEncoding::Cp932 : TextEncoding::Utf8;
}

QString decodeText(QByteArrayView bytes, TextEncoding encoding, bool* exact) {
    bool allDecoded = true;
    QString text;
    if (encoding == TextEncoding::Cp932) {
        text = decodeCp932(bytes, allDecoded);
    } else {
        QStringDecoder decoder(QStringConverter::Utf8, Utf8Flags);
        text = decoder(bytes);
        allDecoded = !decoder.hasError();
    }
    if (exact)
        *exact = allDecoded;
    return text;
}

std::optional<QByteArray> encodeText(QStringView text, TextEncoding encoding, TextRole role) {
    if (encoding != TextEncoding::Cp932) {
        QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        QByteArray bytes = encoder(text);
        if (encoder.hasError())
            return std::nullopt;
        return bytes;
    }
    if (role == TextRole::DisplayName)
        return encodeCp932(withWindowsLookAlikes(text));
    return encodeCp932(text);
}
