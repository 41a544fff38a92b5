#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at path with bytes, all or nothing: the bytes go to a
// temporary file in the same folder which replaces the file only when it is
// complete, so a failed or interrupted write leaves the old file as it was.
// Answers 0 or the platform's failure number.
int writeWholeFile(const QString& path, const QByteArray& bytes);

// Test seam: makes the next writes fail at a chosen stage, as a full disk, a
// read-only folder or a vanished folder would.
enum class WriteFault { None, AtOpen, InMiddle, AtCommit };
void setWriteFaultForTesting(WriteFault fault);
