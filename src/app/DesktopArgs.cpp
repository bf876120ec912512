#include "app/DesktopArgs.h"

TDesktopArgs ParseDesktopArgs(const std::vector<std::string>& args)
{
    TDesktopArgs result;
    bool optionsEnded = false;
    for (const std::string& a : args) {
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            if (!a.empty())
                result.Files.push_back(a);
            continue;
        }
        if (a == "--")
            optionsEnded = true;
        else if (a == "-h" || a == "--help")
            result.Help = true;
        else if (a == "--version")
            result.Version = true;
        else if (a == "--list-and-exit")
            result.ListAndExit = true;
        else if (result.Error.empty())
            result.Error = "unknown option '" + a + "'";
    }
    return result;
}

std::string DesktopUsage(const std::string& programName)
{
    return "Usage: " + programName + " [OPTION]... [FILE]...\n"
           "Batch converter for video and audio files.\n"
           "\n"
           "Each FILE is added to the file list as the Add Files dialog adds it: files\n"
           "whose extension the list does not accept and missing files are left out;\n"
           "a folder adds the files below it, as Add Folder does. A FILE may also be\n"
           "given as a file:// address.\n"
           "While a Quorvex window of the same settings folder runs, the FILEs are\n"
           "handed to it (it comes to the front) and this start ends at once.\n"
           "\n"
           "  -h, --help     print this help and exit\n"
           "      --version  print the version and exit\n"
           "      --         every following argument is a FILE\n"
           "\n"
           "Run from its build folder the program keeps its settings in its own folder;\n"
           "an installed copy keeps them in $XDG_CONFIG_HOME/quorvex/ (~/.config/quorvex/).\n"
           "The command-line converter is quorvex-cli.\n";
}
