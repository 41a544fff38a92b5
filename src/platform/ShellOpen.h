#pragma once

#include <QString>

// Opens a target the way the desktop shell's "open" does, and answers in the
// shell's convention: above 32 success, 2 file not found, 31 no program for it.
//   a URL with a scheme     -> its default handler
//   a folder                -> the file manager
//   an executable file      -> started as a program (the whole text is the file)
//   any other existing file -> its default application
// Paths are made absolute against the current directory first, so a name
// that starts with "-" is never taken for an option.
int shellOpen(const QString& target);

// Success and failure numbers of the shell convention.
namespace ShellResult {
constexpr int Success = 42;
constexpr int FileNotFound = 2;
constexpr int NoAssociation = 31;
} // namespace ShellResult

// "scheme:rest" with a scheme of two or more letters, so "C:\x" is no URL.
bool looksLikeUrl(const QString& target);
