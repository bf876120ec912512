#pragma once

// The profile commands of quorvex-cli (--add-profile, --edit-profile,
// --rename-profile, --delete-profile): the flows of the main window, with
// the editor, the name entry and the questions answered from the command line.

#include <string>

#include "cli/CliArgs.h"

namespace qvcli {

class TConsole;

// Runs the profile command of args on the profiles of format (0..21) after
// the program's start-up; returns the exit code: 0 done, 1 a file could not
// be written, renamed or deleted, 2 refused.
int RunProfileCommand(const TCliArgs& args, int format, TConsole& console, const std::string& program);

} // namespace qvcli
