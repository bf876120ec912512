#include "cli/CliArgs.h"

#include <algorithm>
#include <cctype>

namespace qvcli {

const std::vector<std::string>& FormatNames()
{
    static const std::vector<std::string> names = {"AVI", "MP4", "3GP", "MPEG", "MOV", "WMV", "RM",  "SWF",
                                                   "VOB", "ASF", "AAC", "AC3",  "MP2", "MP3", "AMR", "WAV"};
    return names;
}

std::optional<int> FormatFromName(const std::string& name)
{
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const auto& names = FormatNames();
    const auto it = std::find(names.begin(), names.end(), upper);
    if (it == names.end())
        return std::nullopt;
    return static_cast<int>(it - names.begin());
}

namespace {

const char* ActionOption(TCliAction action)
{
    switch (action) {
    case TCliAction::PrintOptions: return "--print-options";
    case TCliAction::PrintCommands: return "--print-commands";
    case TCliAction::Info: return "--info";
    case TCliAction::ListProfiles: return "--list-profiles";
    case TCliAction::ShowProfile: return "--show-profile";
    case TCliAction::AddProfile: return "--add-profile";
    case TCliAction::EditProfile: return "--edit-profile";
    case TCliAction::RenameProfile: return "--rename-profile";
    case TCliAction::DeleteProfile: return "--delete-profile";
    default: return "";
    }
}

} // namespace

std::optional<TCliArgs> ParseArguments(const std::vector<std::string>& args, std::string& error)
{
    TCliArgs result;
    bool help = false;
    bool onlyFiles = false;

    auto setAction = [&](TCliAction action) {
        if (result.Action != TCliAction::Convert && result.Action != action) {
            error = std::string(ActionOption(result.Action)) + " and " + ActionOption(action) + " cannot be combined";
            return false;
        }
        result.Action = action;
        return true;
    };

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyFiles || arg.size() < 2 || arg[0] != '-') {
            result.Files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }

        // Split "--name=value" and "-fVALUE" into the option and its attached value.
        std::string name = arg;
        std::optional<std::string> attached;
        if (arg.rfind("--", 0) == 0) {
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                attached = arg.substr(eq + 1);
            }
        } else if (arg.size() > 2) {
            name = arg.substr(0, 2);
            attached = arg.substr(2);
        }

        // A value is the next argument as it stands, also when it begins
        // with "-"; a "--" before it is skipped ("--delete-profile -- -x").
        auto value = [&](std::string& out) {
            if (attached) {
                out = *attached;
                attached.reset(); // a second value comes from the next argument
                return true;
            }
            if (i + 1 < args.size() && args[i + 1] == "--")
                ++i;
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto noValue = [&]() {
            if (attached) {
                error = "option " + name + " takes no value";
                return false;
            }
            return true;
        };

        std::string v;
        if (name == "-f" || name == "--format") {
            if (!value(v))
                return std::nullopt;
            result.Format = FormatFromName(v);
            if (!result.Format) {
                error = "unknown format '" + v + "' (one of:";
                for (const auto& n : FormatNames())
                    error += " " + n;
                error += ")";
                return std::nullopt;
            }
        } else if (name == "-p" || name == "--profile") {
            if (!value(v))
                return std::nullopt;
            result.Profile = v;
        } else if (name == "--profile-file") {
            if (!value(v))
                return std::nullopt;
            result.ProfileFile = v;
        } else if (name == "-o" || name == "--output") {
            if (!value(v))
                return std::nullopt;
            result.OutputDir = v;
        } else if (name == "-y" || name == "--yes") {
            if (!noValue())
                return std::nullopt;
            result.Yes = true;
        } else if (name == "--delete-source") {
            if (!noValue())
                return std::nullopt;
            result.DeleteSource = true;
        } else if (name == "--print-options" || name == "--print-commands" || name == "--info" ||
                   name == "--list-profiles") {
            if (!noValue())
                return std::nullopt;
            const TCliAction action = name == "--print-options"    ? TCliAction::PrintOptions
                                      : name == "--print-commands" ? TCliAction::PrintCommands
                                      : name == "--info"           ? TCliAction::Info
                                                                   : TCliAction::ListProfiles;
            if (!setAction(action))
                return std::nullopt;
        } else if (name == "--show-profile") {
            if (!noValue() || !setAction(TCliAction::ShowProfile))
                return std::nullopt;
        } else if (name == "--add-profile" || name == "--edit-profile" || name == "--delete-profile") {
            const TCliAction action = name == "--add-profile"    ? TCliAction::AddProfile
                                      : name == "--edit-profile" ? TCliAction::EditProfile
                                                                 : TCliAction::DeleteProfile;
            if (!setAction(action) || !value(result.ProfileName))
                return std::nullopt;
        } else if (name == "--rename-profile") {
            if (!setAction(TCliAction::RenameProfile) || !value(result.ProfileName) || !value(result.NewName))
                return std::nullopt;
        } else if (name == "--set") {
            if (!value(v))
                return std::nullopt;
            const auto eq = v.find('=');
            if (eq == std::string::npos || eq == 0) {
                error = "--set needs KEY=VALUE, not '" + v + "'";
                return std::nullopt;
            }
            result.Settings.push_back({v.substr(0, eq), v.substr(eq + 1)});
        } else if (name == "-h" || name == "--help") {
            help = true;
        } else {
            error = "unknown option '" + arg + "'";
            return std::nullopt;
        }
    }

    if (help) {
        result.Action = TCliAction::Help;
        return result;
    }
    if (result.Profile && result.ProfileFile) {
        error = "--profile and --profile-file cannot be combined";
        return std::nullopt;
    }
    const bool setsValues = result.Action == TCliAction::AddProfile || result.Action == TCliAction::EditProfile;
    if (!result.Settings.empty() && !setsValues) {
        error = "--set needs --add-profile or --edit-profile";
        return std::nullopt;
    }
    if (result.Action == TCliAction::EditProfile && result.Settings.empty()) {
        error = "--edit-profile needs at least one --set KEY=VALUE";
        return std::nullopt;
    }
    const bool namesProfile = setsValues || result.Action == TCliAction::RenameProfile ||
                              result.Action == TCliAction::DeleteProfile;
    if (namesProfile && (result.Profile || result.ProfileFile)) {
        error = std::string(ActionOption(result.Action)) + " names its profile itself; leave out -p and --profile-file";
        return std::nullopt;
    }
    switch (result.Action) {
    case TCliAction::Convert:
    case TCliAction::PrintCommands:
    case TCliAction::Info:
        if (result.Files.empty()) {
            error = "no FILE given";
            return std::nullopt;
        }
        break;
    case TCliAction::PrintOptions:
    case TCliAction::ListProfiles:
    case TCliAction::ShowProfile:
    case TCliAction::AddProfile:
    case TCliAction::EditProfile:
    case TCliAction::RenameProfile:
    case TCliAction::DeleteProfile:
        if (!result.Files.empty()) {
            error = std::string(ActionOption(result.Action)) + " takes no FILE";
            return std::nullopt;
        }
        break;
    case TCliAction::Help:
        break;
    }
    return result;
}

std::string UsageText(const std::string& programName)
{
    std::string formats;
    for (const auto& n : FormatNames())
        formats += (formats.empty() ? "" : " ") + n;
    return "Usage: " + programName + " [options] FILE...\n"
           "       " + programName + " -f FORMAT --list-profiles | --show-profile [-p NAME]\n"
           "       " + programName + " -f FORMAT --add-profile NAME [-y] [--set KEY=VALUE]...\n"
           "       " + programName + " -f FORMAT --edit-profile NAME --set KEY=VALUE...\n"
           "       " + programName + " -f FORMAT --rename-profile OLD NEW | --delete-profile NAME\n"
           "Converts media files with the profiles and settings of Quorvex.\n"
           "\n"
           "  -f, --format NAME      output format, any letter case; default: the format\n"
           "                         last chosen in Quorvex\n"
           "                         (" + formats + ")\n"
           "  -p, --profile NAME     profile of that format; default: the first one listed\n"
           "      --profile-file F   use this profile file instead\n"
           "  -o, --output DIR       output folder; default: the last one used in Quorvex\n"
           "  -y, --yes              overwrite existing outputs and create a missing output\n"
           "                         folder (otherwise ask on a terminal, refuse when not\n"
           "                         interactive)\n"
           "      --delete-source    delete each source after its successful conversion\n"
           "                         (a failed or stopped file keeps its source)\n"
           "      --print-options    print the option line of the chosen profile and exit\n"
           "      --print-commands   print the encoder command line of every FILE and exit\n"
           "      --info             print the media facts of every FILE (name, tab, value)\n"
           "                         and exit\n"
           "      --list-profiles    print the profile names of the format and exit\n"
           "  -h, --help             print this help and exit\n"
           "\n"
           "Profile commands (on the profiles of the format given with -f):\n"
           "      --show-profile     print the chosen profile (-p or --profile-file) as a\n"
           "                         profile file holds it: [General] and every key, with\n"
           "                         defaults for keys the file lacks\n"
           "      --add-profile NAME a new profile from the format's defaults; refused\n"
           "                         when NAME exists unless -y is given\n"
           "      --edit-profile NAME\n"
           "                         change only the keys given with --set and save\n"
           "      --set KEY=VALUE    a value for --add-profile or --edit-profile; may be\n"
           "                         repeated. KEY is a key of the format's profiles (see\n"
           "                         --show-profile); flags are 1 or 0, list positions\n"
           "                         count from 0, numbers are decimal or 0x hexadecimal,\n"
           "                         widths and heights 2 to 1600, times like 0:01:30.000\n"
           "      --rename-profile OLD NEW\n"
           "                         rename a profile; refused when NEW exists\n"
           "      --delete-profile NAME\n"
           "                         delete a profile; the last one of a format is kept\n"
           "  A profile name must not be blank nor hold any of \\ / : * ? \" < > |.\n"
           "  A value may begin with \"-\"; a \"--\" right before it is skipped.\n"
           "\n"
           "Use \"--\" before file names that begin with \"-\".\n"
           "\n"
           "Each file ends with a \"Converted:\" or \"Failed:\" line; where the encoder had\n"
           "to change a profile value to write the file (a bitrate, frame rate, size or\n"
           "aspect it cannot hold), \"  Note: \" lines under it say what was written.\n"
           "\n"
           "Exit status: 0 every file converted, 1 at least one file failed, 2 bad usage\n"
           "or a failed check (a missing, rejected or unreadable file is skipped, the\n"
           "others are converted), 130 stopped by Ctrl+C (the file being converted keeps\n"
           "its source). Profile commands: 0 done, 1 a profile file could not be written,\n"
           "renamed or deleted, 2 refused (bad name or value, NEW or NAME exists, the\n"
           "last profile, an unknown profile).\n"
           "\n"
           "An output is written under a hidden temporary name in the output folder\n"
           "(\".NAME.qvpart-PID.EXT\") and gets its name only when it is complete and holds\n"
           "every stream written into it; a failed or stopped file leaves nothing under\n"
           "its output name and an existing file there unchanged.\n";
}

} // namespace qvcli
