#pragma once

// The command line of the desktop program: file names to add to the list.

#include <string>
#include <vector>

struct TDesktopArgs {
    bool Help = false;
    bool Version = false;
    // Adds the files, prints the list's entries on standard output and ends
    // without showing a window (used by the installation tests).
    bool ListAndExit = false;
    std::vector<std::string> Files;
    std::string Error; // bad usage; empty when the line was understood
};

// args without the program name. Every argument that does not begin with "-"
// (or every one after "--", or a lone "-") names a file.
TDesktopArgs ParseDesktopArgs(const std::vector<std::string>& args);

// The text of "quorvex --help".
std::string DesktopUsage(const std::string& programName);
