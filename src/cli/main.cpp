// quorvex-cli: converts media files with Quorvex's profiles, without a desktop.

#include <string>
#include <vector>

#include "cli/CliApp.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return qvcli::RunCli(args, "quorvex-cli");
}
