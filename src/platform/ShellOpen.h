#pragma once

#include "Platform.h"

#include <QByteArray>
#include <QString>
#include <functional>

// What a target is, judged by what it is on disk, not by its mode bits alone:
// only programs run; everything else opens in the program the desktop names
// for it. A file with the executable bit is a program when it is an ELF
// executable, or when it starts with "#!" and its type is a script type; any
// other file (every file on exFAT, NTFS or SMB mounts has the bit) is opened.
enum class TargetKind { Missing, Url, Folder, Document, DesktopEntry, Program };

struct OpenPlan {
    TargetKind kind = TargetKind::Missing;
    // The URL, or the absolute file name as the bytes the file system holds.
    QByteArray target;
    // The file type, for folders and documents.
    QByteArray contentType;
};

// Decides how to open a target without starting anything; reads at most the
// first few kilobytes of a file. undecoded: the bytes that name the target's
// file where they are not its text's UTF-8 (a list entry that does not
// decode, a name kept under its code page 932 bytes); those bytes are the
// file name then, so the target reaches its own file and no other.
// A name without a folder resolves against the current directory.
OpenPlan planOpen(const QString& target, const QByteArray& undecoded = {});

// Opens a target the way the desktop shell's "open" does, and answers at
// once, without waiting for any program:
//   a URL with a scheme -> its default handler (xdg-open where the desktop
//                          names none)
//   a folder, document  -> the default application for its file type
//   a desktop entry     -> the application it describes, or its link
//   a program           -> started as it is, in a session of its own
// Programs started inherit the launcher's standard input and outputs, never
// a pipe to it. A launch handed to GIO or xdg-open in the background that
// fails later calls lateFailure, on the launcher's event loop; nothing waits
// for a handler that starts, and nothing is said while it runs.
OpenResult shellOpen(const QString& target, const QByteArray& undecoded = {},
                     const std::function<void()>& lateFailure = {});

// Loads what opening takes on a thread of its own, so the first launch that
// follows finds it ready.
void prepareShellOpen();
