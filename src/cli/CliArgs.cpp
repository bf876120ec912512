#include "cli/CliArgs.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace qvcli {

const std::vector<std::string>& FormatNames()
{
    static const std::vector<std::string> names = {"AVI", "MP4", "3GP", "MPEG", "MOV",  "WMV",  "RM",  "SWF",
                                                   "VOB", "ASF", "AAC", "AC3",  "MP2",  "MP3",  "AMR", "WAV",
                                                   "MKV", "WEBM", "OPUS", "FLAC", "M4A", "OGG"};
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
    case TCliAction::MeasureLoudness: return "--measure-loudness";
    default: return "";
    }
}

} // namespace

namespace {

// Reads the arguments one option at a time into a TCliArgs.
class TArgumentReader {
public:
    TArgumentReader(const std::vector<std::string>& args, std::string& error) : args_(args), error_(error) {}

    std::optional<TCliArgs> Read();

private:
    bool SetAction(TCliAction action);
    // The value of the option being read: the attached one or the next argument.
    bool Value(std::string& out);
    bool NoValue();
    // Reads the option args_[i_] (split into name_ and attached_); false on bad usage.
    bool Option();
    bool FormatOption();
    bool JobsOption();
    bool ExistingOption();
    bool ActionCommand();
    bool SetOption();
    // The checks on the whole command line after every option was read.
    bool Combination();

    const std::vector<std::string>& args_;
    std::string& error_;
    TCliArgs result_;
    bool help_ = false;
    size_t i_ = 0;
    std::string name_;
    std::optional<std::string> attached_;
};

bool TArgumentReader::SetAction(TCliAction action)
{
    if (result_.Action != TCliAction::Convert && result_.Action != action) {
        error_ = std::string(ActionOption(result_.Action)) + " and " + ActionOption(action) + " cannot be combined";
        return false;
    }
    result_.Action = action;
    return true;
}

// A value is the next argument as it stands, also when it begins with "-";
// a "--" before it is skipped ("--delete-profile -- -x").
bool TArgumentReader::Value(std::string& out)
{
    if (attached_) {
        out = *attached_;
        attached_.reset(); // a second value comes from the next argument
        return true;
    }
    if (i_ + 1 < args_.size() && args_[i_ + 1] == "--")
        ++i_;
    if (i_ + 1 >= args_.size()) {
        error_ = "option " + name_ + " needs a value";
        return false;
    }
    out = args_[++i_];
    return true;
}

bool TArgumentReader::NoValue()
{
    if (attached_) {
        error_ = "option " + name_ + " takes no value";
        return false;
    }
    return true;
}

bool TArgumentReader::FormatOption()
{
    std::string v;
    if (!Value(v))
        return false;
    result_.Format = FormatFromName(v);
    if (!result_.Format) {
        error_ = "unknown format '" + v + "' (one of:";
        for (const auto& n : FormatNames())
            error_ += " " + n;
        error_ += ")";
        return false;
    }
    return true;
}

bool TArgumentReader::JobsOption()
{
    std::string v;
    if (!Value(v))
        return false;
    // Decimal digits only: no sign, no blanks, no hexadecimal.
    int jobs = -1;
    const bool digits = !v.empty() && v.size() <= 4 &&
                        std::all_of(v.begin(), v.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
    if (digits)
        jobs = std::stoi(v);
    if (jobs < 0 || jobs > MaxJobs) {
        error_ = "option " + name_ + " needs the number of files to convert at once, 0 (one per processor core) to " +
                 std::to_string(MaxJobs) + ", not '" + v + "'";
        return false;
    }
    result_.Jobs = jobs;
    return true;
}

bool TArgumentReader::ExistingOption()
{
    std::string v;
    if (!Value(v))
        return false;
    const char* const names[] = {"ask", "skip", "overwrite", "number"};
    for (int i = 0; i < 4; ++i)
        if (v == names[i]) {
            result_.Existing = i;
            return true;
        }
    error_ = "option " + name_ + " needs ask, skip, overwrite or number, not '" + v + "'";
    return false;
}

bool TArgumentReader::ActionCommand()
{
    if (name_ == "--print-options" || name_ == "--print-commands" || name_ == "--info" ||
        name_ == "--list-profiles") {
        const TCliAction action = name_ == "--print-options"    ? TCliAction::PrintOptions
                                  : name_ == "--print-commands" ? TCliAction::PrintCommands
                                  : name_ == "--info"           ? TCliAction::Info
                                                                : TCliAction::ListProfiles;
        return NoValue() && SetAction(action);
    }
    if (name_ == "--show-profile")
        return NoValue() && SetAction(TCliAction::ShowProfile);
    if (name_ == "--add-profile" || name_ == "--edit-profile" || name_ == "--delete-profile") {
        const TCliAction action = name_ == "--add-profile"    ? TCliAction::AddProfile
                                  : name_ == "--edit-profile" ? TCliAction::EditProfile
                                                              : TCliAction::DeleteProfile;
        return SetAction(action) && Value(result_.ProfileName);
    }
    // --rename-profile
    return SetAction(TCliAction::RenameProfile) && Value(result_.ProfileName) && Value(result_.NewName);
}

bool TArgumentReader::SetOption()
{
    std::string v;
    if (!Value(v))
        return false;
    const auto eq = v.find('=');
    if (eq == std::string::npos || eq == 0) {
        error_ = "--set needs KEY=VALUE, not '" + v + "'";
        return false;
    }
    result_.Settings.push_back({v.substr(0, eq), v.substr(eq + 1)});
    return true;
}

bool TArgumentReader::Option()
{
    const std::string& arg = args_[i_];
    // Split "--name=value" and "-fVALUE" into the option and its attached value.
    name_ = arg;
    attached_.reset();
    if (arg.rfind("--", 0) == 0) {
        const auto eq = arg.find('=');
        if (eq != std::string::npos) {
            name_ = arg.substr(0, eq);
            attached_ = arg.substr(eq + 1);
        }
    } else if (arg.size() > 2) {
        name_ = arg.substr(0, 2);
        attached_ = arg.substr(2);
    }

    std::string v;
    if (name_ == "-f" || name_ == "--format")
        return FormatOption();
    if (name_ == "-j" || name_ == "--jobs")
        return JobsOption();
    if (name_ == "-p" || name_ == "--profile") {
        if (!Value(v))
            return false;
        result_.Profile = v;
        return true;
    }
    if (name_ == "--profile-file") {
        if (!Value(v))
            return false;
        result_.ProfileFile = v;
        return true;
    }
    if (name_ == "-o" || name_ == "--output") {
        if (!Value(v))
            return false;
        result_.OutputDir = v;
        return true;
    }
    if (name_ == "-y" || name_ == "--yes")
        return NoValue() && (result_.Yes = true);
    if (name_ == "--delete-source")
        return NoValue() && (result_.DeleteSource = true);
    if (name_ == "-r" || name_ == "--recursive")
        return NoValue() && (result_.Recursive = true);
    if (name_ == "--same-folder")
        return NoValue() && (result_.SameFolder = true);
    if (name_ == "--name") {
        if (!Value(v))
            return false;
        result_.NameTemplate = v;
        return true;
    }
    if (name_ == "--existing")
        return ExistingOption();
    if (name_ == "--trash-source")
        return NoValue() && (result_.TrashSource = true);
    if (name_ == "--copy-fitting")
        return NoValue() && (result_.CopyFitting = true);
    if (name_ == "--print-options" || name_ == "--print-commands" || name_ == "--info" ||
        name_ == "--list-profiles" || name_ == "--show-profile" || name_ == "--add-profile" ||
        name_ == "--edit-profile" || name_ == "--delete-profile" || name_ == "--rename-profile")
        return ActionCommand();
    if (name_ == "--set")
        return SetOption();
    if (name_ == "--shard") {
        if (!Value(v))
            return false;
        result_.Shard = ParseShard(v);
        if (!result_.Shard) {
            error_ = "--shard needs K/N, the K-th of N shares (1 <= K <= N <= " + std::to_string(MaxShards) +
                     "), not '" + v + "'";
            return false;
        }
        return true;
    }
    if (name_ == "--report") {
        if (!Value(v))
            return false;
        if (v.empty()) {
            error_ = "--report needs a file name";
            return false;
        }
        result_.ReportFile = v;
        return true;
    }
    if (name_ == "--loudness") {
        result_.LoudnessGiven = true;
        return Value(v) && ParseLoudnessTarget(v, result_.Loudness, error_);
    }
    if (name_ == "--true-peak") {
        int32_t tenths = 0;
        if (!Value(v) || !ParseTruePeak(v, tenths, error_))
            return false;
        result_.TruePeak = tenths;
        return true;
    }
    if (name_ == "--measure-loudness")
        return NoValue() && SetAction(TCliAction::MeasureLoudness);
    if (name_ == "-h" || name_ == "--help") {
        help_ = true;
        return true;
    }
    error_ = "unknown option '" + arg + "'";
    return false;
}

bool TArgumentReader::Combination()
{
    if (result_.Profile && result_.ProfileFile) {
        error_ = "--profile and --profile-file cannot be combined";
        return false;
    }
    if (result_.SameFolder && result_.OutputDir) {
        error_ = "--same-folder and --output cannot be combined";
        return false;
    }
    if (result_.DeleteSource && result_.TrashSource) {
        error_ = "--delete-source and --trash-source cannot be combined";
        return false;
    }
    const bool setsValues = result_.Action == TCliAction::AddProfile || result_.Action == TCliAction::EditProfile;
    if (!result_.Settings.empty() && !setsValues) {
        error_ = "--set needs --add-profile or --edit-profile";
        return false;
    }
    if (result_.Action == TCliAction::EditProfile && result_.Settings.empty()) {
        error_ = "--edit-profile needs at least one --set KEY=VALUE";
        return false;
    }
    if (result_.Action != TCliAction::Convert && (result_.Shard || result_.ReportFile)) {
        error_ = std::string(result_.Shard ? "--shard" : "--report") + " applies to a conversion only, not to " +
                 ActionOption(result_.Action);
        return false;
    }
    const bool namesProfile = setsValues || result_.Action == TCliAction::RenameProfile ||
                              result_.Action == TCliAction::DeleteProfile;
    if (namesProfile && (result_.Profile || result_.ProfileFile)) {
        error_ = std::string(ActionOption(result_.Action)) + " names its profile itself; leave out -p and --profile-file";
        return false;
    }
    switch (result_.Action) {
    case TCliAction::Convert:
    case TCliAction::PrintCommands:
    case TCliAction::Info:
    case TCliAction::MeasureLoudness:
        if (result_.Files.empty()) {
            error_ = "no FILE given";
            return false;
        }
        break;
    case TCliAction::PrintOptions:
    case TCliAction::ListProfiles:
    case TCliAction::ShowProfile:
    case TCliAction::AddProfile:
    case TCliAction::EditProfile:
    case TCliAction::RenameProfile:
    case TCliAction::DeleteProfile:
        if (!result_.Files.empty()) {
            error_ = std::string(ActionOption(result_.Action)) + " takes no FILE";
            return false;
        }
        break;
    case TCliAction::Help:
        break;
    }
    return true;
}

std::optional<TCliArgs> TArgumentReader::Read()
{
    bool onlyFiles = false;
    for (i_ = 0; i_ < args_.size(); ++i_) {
        const std::string& arg = args_[i_];
        if (onlyFiles || arg.size() < 2 || arg[0] != '-') {
            result_.Files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        if (!Option())
            return std::nullopt;
    }
    if (help_) {
        result_.Action = TCliAction::Help;
        return result_;
    }
    if (!Combination())
        return std::nullopt;
    return result_;
}

// A decimal number in tenths, rounded; nothing for other texts.
std::optional<int32_t> DecimalTenths(const std::string& text)
{
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    size_t used = 0;
    double v = 0;
    try {
        v = std::stod(text, &used);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    // Plain decimals only: no blanks, "inf", "nan", hexadecimal or exponents.
    if (used != text.size() || text.find_first_not_of("+-0123456789.") != std::string::npos)
        return std::nullopt;
    return static_cast<int32_t>(std::lround(v * 10));
}

} // namespace

bool ParseLoudnessTarget(const std::string& text, std::optional<int32_t>& tenths, std::string& error)
{
    std::string lower = text;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const std::pair<const char*, int32_t> names[] = {
        {"ebu", -230}, {"r128", -230}, {"podcast", -160}, {"streaming", -140}};
    if (lower == "off") {
        tenths.reset();
        return true;
    }
    for (const auto& [name, value] : names)
        if (lower == name) {
            tenths = value;
            return true;
        }
    const std::optional<int32_t> n = DecimalTenths(text);
    if (!n || *n < -700 || *n > -50) {
        error = "--loudness needs off, ebu (-23 LUFS), podcast (-16), streaming (-14) or a target from -70 to -5 "
                "LUFS, not '" + text + "'";
        return false;
    }
    tenths = *n;
    return true;
}

bool ParseTruePeak(const std::string& text, int32_t& tenths, std::string& error)
{
    const std::optional<int32_t> n = DecimalTenths(text);
    if (!n || *n < -90 || *n > 0) {
        error = "--true-peak needs a ceiling from -9 to 0 dBTP, not '" + text + "'";
        return false;
    }
    tenths = *n;
    return true;
}

std::optional<TCliArgs> ParseArguments(const std::vector<std::string>& args, std::string& error)
{
    return TArgumentReader(args, error).Read();
}

std::string UsageText(const std::string& programName)
{
    std::string formats;
    for (const auto& n : FormatNames()) {
        // Two lines of names, so that the help stays within 80 columns.
        if (n == "MKV")
            formats += "\n                         ";
        else if (!formats.empty())
            formats += " ";
        formats += n;
    }
    return "Usage: " + programName + " [options] FILE...\n"
           "       " + programName + " [options] -r FOLDER|FILE...\n"
           "       " + programName + " -f FORMAT --list-profiles | --show-profile [-p NAME]\n"
           "       " + programName + " -f FORMAT --add-profile NAME [-y] [--set KEY=VALUE]...\n"
           "       " + programName + " -f FORMAT --edit-profile NAME --set KEY=VALUE...\n"
           "       " + programName + " -f FORMAT --rename-profile OLD NEW | --delete-profile NAME\n"
           "Converts media files with the profiles and settings of Quorvex.\n"
           "\n"
           "  -f, --format NAME      output format, any letter case; default: the format\n"
           "                         last chosen in Quorvex\n"
           "                         (" + formats + ")\n"
           "  -p, --profile NAME     profile of that format, any letter case; default: the\n"
           "                         one last chosen in Quorvex, else \"Default\", else the\n"
           "                         first one listed\n"
           "      --profile-file F   use this profile file instead; refused when it is no\n"
           "                         regular file or holds another format's keys only\n"
           "  -o, --output DIR       output folder; default: the last one used in Quorvex\n"
           "  -j, --jobs N           convert up to N files at once (0 to " + std::to_string(MaxJobs) + "; 0: one per\n"
           "                         processor core); default: \"Simultaneous conversions\"\n"
           "                         in Quorvex's settings (1 unless changed)\n"
           "  -y, --yes              overwrite existing outputs and create a missing output\n"
           "                         folder (otherwise ask on a terminal, refuse when not\n"
           "                         interactive); never a folder, FIFO, socket or device,\n"
           "                         nor a file that appears during the conversion\n"
           "  -r, --recursive        take the media files below each FOLDER given (those the\n"
           "                         Add Files filter accepts, by relative path; other\n"
           "                         files, hidden ones and the output folder are passed\n"
           "                         over; links to folders are not followed); their\n"
           "                         outputs go to OUTPUT/<folder's name>/<sub-path>/\n"
           "      --same-folder      write each output beside its source (no output\n"
           "                         folder); a source that would be its own output is\n"
           "                         skipped with a message\n"
           "      --name TEMPLATE    output names (relative to the output folder, \"/\"\n"
           "                         makes sub-folders) from fields {name} {artist}\n"
           "                         {albumartist} {album} {title} {track} {disc} {date}\n"
           "                         {genre} {format}; the extension is added. Missing\n"
           "                         tags give \"Unknown Artist\", \"Unknown Album\", the\n"
           "                         file name; / \\ : * ? \" < > | and control characters\n"
           "                         become _; each part is cut to 255 bytes\n"
           "      --existing WHAT    an existing output: ask (default; -y: overwrite),\n"
           "                         skip (\"Skipped:\"; resumes an interrupted batch, as\n"
           "                         outputs appear only when complete), overwrite, or\n"
           "                         number (\"NAME (2).EXT\"... at the first free name);\n"
           "                         any value also creates a missing output folder\n"
           "      --delete-source    delete each source after its successful conversion\n"
           "                         (a failed or stopped file keeps its source, and so\n"
           "                         does a source replaced or written to while it\n"
           "                         converted; a note says why)\n"
           "      --shard K/N        convert only the K-th of N shares of the files (1 <=\n"
           "                         K <= N <= " + std::to_string(MaxShards) + "), for running one batch as N\n"
           "                         tasks on several hosts; a file's share follows from\n"
           "                         its name, or its path below the folder argument it\n"
           "                         came from (a frozen hash; with loudness album mode,\n"
           "                         its folder), the checks of the whole batch come first\n"
           "      --report FILE      append one JSON object per line per file to FILE:\n"
           "                         source, output, status (converted, failed, skipped,\n"
           "                         stopped), reason, seconds, notes; locked while\n"
           "                         written, so that several runs may share one FILE\n"
           "      --trash-source     move each such source to the Trash instead (the home\n"
           "                         trash, or .Trash-UID at the top of the source's own\n"
           "                         file system), from where a file manager restores\n"
           "                         it; with no usable trash the source is kept and a\n"
           "                         note says why\n"
           "      --copy-fitting     copy a source stream that already fits the format\n"
           "                         instead of encoding it (as the profile option \"Copy\n"
           "                         streams that already fit\"): its codec is one the\n"
           "                         format offers, no other size, frame rate, sample rate\n"
           "                         or channels is asked for, and its bitrate is no\n"
           "                         higher than the profile's; a copied video is cut at\n"
           "                         key frames\n"
           "      --loudness TARGET  normalise the loudness (EBU R128) for this run: off,\n"
           "                         ebu (-23 LUFS), podcast (-16), streaming (-14) or\n"
           "                         LUFS from -70 to -5; default: the profile's setting\n"
           "      --true-peak DB     true-peak ceiling for it, -9 to 0 dBTP; default: the\n"
           "                         profile's (-1 unless changed)\n"
           "      --measure-loudness print integrated loudness, loudness range and true\n"
           "                         peak of every FILE (a full decode) and exit\n"
           "      --print-options    print the option line of the chosen profile and exit\n"
           "                         (2 when the profile is refused)\n"
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
           "                         when NAME exists in any letter case unless -y is\n"
           "                         given (-y replaces that profile's file)\n"
           "      --edit-profile NAME\n"
           "                         change only the keys given with --set and save\n"
           "      --set KEY=VALUE    a value for --add-profile or --edit-profile; may be\n"
           "                         repeated. KEY is a key of the format's profiles (see\n"
           "                         --show-profile); flags are 1 or 0, list positions\n"
           "                         count from 0, numbers are decimal or 0x hexadecimal,\n"
           "                         widths and heights 2 to 1600, bitrates 1 to 100000\n"
           "                         (kbit/s), times like 0:01:30.000\n"
           "      --rename-profile OLD NEW\n"
           "                         rename a profile; refused when another profile is\n"
           "                         named NEW in any letter case\n"
           "      --delete-profile NAME\n"
           "                         delete a profile; the last one of a format is kept\n"
           "  A profile name must not be blank nor hold any of \\ / : * ? \" < > |,\n"
           "  control characters or bytes that are not UTF-8.\n"
           "  A profile that is no profile text (UTF-16, binary, over 1 MiB, not a regular\n"
           "  file) or holds a value outside its list or range is refused: each file fails\n"
           "  naming the profile, the key and the reason; --show-profile exits 2.\n"
           "  A value may begin with \"-\"; a \"--\" right before it is skipped.\n"
           "\n"
           "Use \"--\" before file names that begin with \"-\".\n"
           "\n"
           "Each file ends with a \"Converted:\" or \"Failed:\" line (\"Skipped:\" for one\n"
           "left out by --existing skip or --same-folder); where the encoder had\n"
           "to change a profile value to write the file (a bitrate, frame rate, size or\n"
           "aspect it cannot hold), \"  Note: \" lines under it say what was written.\n"
           "With loudness normalisation a \"  Loudness:\" line under \"Converted:\" gives\n"
           "the measured loudness, the gain and the loudness reached; limiting the peaks\n"
           "and a target that could not be reached are notes.\n"
           "\n"
           "Exit status: 0 every file converted, 1 at least one file failed, 2 bad usage\n"
           "or a failed check (a missing, rejected or unreadable file is skipped, the\n"
           "others are converted), 130 stopped by Ctrl+C (the files being converted keep\n"
           "their sources). Profile commands: 0 done, 1 a profile file could not be\n"
           "written, renamed or deleted, 2 refused (bad name or value, NEW or NAME\n"
           "exists, the last profile, an unknown profile).\n"
           "\n"
           "An output is written under a hidden temporary name in the output folder\n"
           "(\".NAME.qvpart-HOST-PID.EXT\") and gets its name only when it is complete\n"
           "and holds every stream written into it; a failed or stopped file leaves\n"
           "nothing under its output name and an existing file there unchanged.\n";
}

} // namespace qvcli
