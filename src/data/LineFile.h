#pragma once

#include "ErrorNumbers.h"
#include "TextCodec.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The longest line a list or settings file may hold. Nothing real comes near
// it, so a longer line means the file is damaged or not such a file at all.
constexpr qsizetype MaxLineBytes = 32768;

// Reads a list or settings file as lines of bytes. A line ends at CR LF or at
// a lone CR; a lone LF belongs to the line; the last line may lack its end.
// Only the bytes that maxLines valid lines can take are read, so a huge or
// binary file costs bounded time and memory. The encoding is judged on the
// lines taken, not on whatever follows them.
class LineReader {
  public:
    // Answers None or the failure number of opening or reading the file. The
    // caller reads at most maxLines lines. path: the file's name as the file
    // system holds it.
    [[nodiscard]] ErrorNumber open(const QByteArray& path, int maxLines);
    TextEncoding encoding() const { return encoding_; }
    bool atEnd() const;
    // Answers None, InputPastEnd after the last line, or BadFileFormat where a
    // line is too long.
    [[nodiscard]] ErrorNumber readLine(QByteArray& line);

  private:
    qsizetype split(QByteArrayView data, qsizetype pos, int maxLines);

    QList<QByteArray> lines_;
    qsizetype next_ = 0;
    bool tooLong_ = false;
    bool moreLines_ = false;
    TextEncoding encoding_ = TextEncoding::Cp932;
};

// Builds a file line by line, each line ending in CR LF, then replaces the
// file at once. A value the file cannot hold (a character the encoding lacks,
// a CR, a line the reader would refuse) fails the whole write.
class LineWriter {
  public:
    explicit LineWriter(TextEncoding encoding);
    // raw: the bytes the value had in its file, written unchanged while they
    // still decode to text, so values nobody edited keep their exact bytes.
    void add(const QString& text, TextRole role, const QByteArray& raw = {});
    // Answers CannotEncode, writing nothing, if any value could not be
    // written; else writeWholeFile's answer.
    [[nodiscard]] ErrorNumber writeTo(const QByteArray& path) const;

  private:
    TextEncoding encoding_;
    QByteArray bytes_;
    bool writable_ = true;
};
