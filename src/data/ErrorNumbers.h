#pragma once

// Failure numbers of the platform's file services. Callers compare against
// these, so a file procedure reports the number and never a bare bool.
namespace ErrorNumber {
constexpr int None = 0;
constexpr int InvalidCall = 5; // invalid procedure call or argument
constexpr int NoSlot = 9;      // subscript out of range: a 100th list entry
constexpr int FileNotFound = 53;
constexpr int DiskFull = 61;
constexpr int InputPastEnd = 62; // a name line with no path line after it
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75; // also an empty path or a folder
constexpr int BadFileFormat = 321; // a line too long to be a real value
constexpr int CannotEncode = 1001; // text that the file's code page cannot hold
} // namespace ErrorNumber
