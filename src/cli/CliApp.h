#pragma once

// quorvex-cli: the start-up of the program, the file checks of the main
// window, and the batch with a terminal view.

#include <functional>
#include <string>
#include <vector>

#include "engine/MediaInfo.h"

namespace qvcli {

// Runs the program with the arguments after its name; returns the exit code.
int RunCli(const std::vector<std::string>& args, const std::string& programName);

// Why a file cannot join the batch.
enum class TFileCheck { Accepted, Missing, NotAFile, Rejected, Undescribed };
// The main window's checks for one file given by its full path; fills item
// when the file exists and its type is accepted.
TFileCheck CheckSourceFile(const std::string& fullPath, TFileItem& item);
// The checks of many files, in their order. Reading a file's media facts
// costs a millisecond or more and comes before the first conversion, so the
// files are checked on up to as many threads as the machine has cores (each
// thread with its own reading of the library).
struct TCheckedFile {
    TFileCheck Check = TFileCheck::Missing;
    TFileItem Item;
};
std::vector<TCheckedFile> CheckSourceFiles(const std::vector<std::string>& fullPaths);
// The message of a failed check, from the catalogue.
std::string CheckMessage(TFileCheck check, const std::string& fullPath);

// A profile's option line stays the same for a whole batch: Build runs for
// the first file only, and its line is given to every later file. A build
// that throws keeps nothing, so the next file tries again and fails alike.
std::function<std::string()> BuiltOncePerBatch(std::function<std::string()> build);

} // namespace qvcli
