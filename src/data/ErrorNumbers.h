#pragma once

// Failure numbers of the platform's file services. A file procedure answers
// one of these, never a bare bool, and callers compare against the names.
enum class ErrorNumber {
    None = 0,
    InvalidCall = 5, // invalid procedure call or argument
    NoSlot = 9,      // subscript out of range: a 100th list entry
    FileNotFound = 53,
    DiskFull = 61,
    InputPastEnd = 62, // a name line with no path line after it
    PermissionDenied = 70,
    PathFileAccess = 75, // also an empty path or a folder
    BadFileFormat = 321, // a line too long to be a real value
    CannotEncode = 1001, // text that the file's code page cannot hold
};
