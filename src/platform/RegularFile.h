#pragma once

// Reading the small files the program takes its settings, texts and scripts
// from. Such a file may be anything a user can put under its name: a named
// pipe would block the reader forever, a link to /dev/zero would never end.
// Only regular files (also through a symbolic link) are read, without ever
// blocking on the open, and only up to a size bound.

#include <cstddef>
#include <string>

constexpr size_t IniFileSizeLimit = 1024 * 1024; // settings, profiles, language files
constexpr size_t ScriptFileSizeLimit = 64 * 1024; // DirectShow scripts and their template

enum class TFileReadStatus {
    Ok,         // Content holds the whole file
    Missing,    // no file under that name (or a folder on its path is missing)
    NotRegular, // a folder, named pipe, device or socket
    TooLarge,   // a regular file beyond the size bound
    Failed,     // it exists but could not be read (permissions, I/O error)
};

struct TFileRead {
    TFileReadStatus Status = TFileReadStatus::Missing;
    std::string Content;
    // Why the file was refused, in English and without the file name, such as
    // "it is not a regular file (a named pipe)" or "it is larger than 1 MiB";
    // empty for Ok and Missing.
    std::string Problem;
};

TFileRead ReadRegularFile(const std::string& fileName, size_t maxBytes);

// Writes everything, retrying after interruptions. False on error (errno set;
// a write that takes nothing counts as ENOSPC).
bool WriteAll(int fd, const void* data, size_t size);

// The folder for the program's temporary files, without a trailing "/":
// TMPDIR when it names an absolute path of a folder this user can write to,
// otherwise "/tmp" (an empty, relative, missing or unwritable TMPDIR).
std::string TemporaryFolder();
