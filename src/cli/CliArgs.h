#pragma once

// The command line of quorvex-cli.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/Shard.h"

namespace qvcli {

// What the run does besides (or instead of) converting.
enum class TCliAction {
    Convert,
    PrintOptions,
    PrintCommands,
    Info,
    ListProfiles,
    ShowProfile,
    AddProfile,
    EditProfile,
    RenameProfile,
    DeleteProfile,
    MeasureLoudness,
    Help
};

// One --set KEY=VALUE.
struct TFieldSetting {
    std::string Key;
    std::string Value;
};

struct TCliArgs {
    TCliAction Action = TCliAction::Convert;
    std::optional<int> Format;          // OutputFormatKind value given with -f
    std::optional<std::string> Profile; // -p
    std::optional<std::string> ProfileFile;
    std::optional<std::string> OutputDir;
    std::optional<int> Jobs;            // -j: files converted at once, 0 for one per core
    bool Yes = false;
    bool Recursive = false;             // -r: a FILE that is a folder gives the sources below it
    bool SameFolder = false;            // --same-folder: each output beside its source
    std::optional<std::string> NameTemplate; // --name
    std::optional<int> Existing;        // --existing: a TExistingOutputs value
    bool DeleteSource = false;          // --delete-source: unlink converted sources
    bool TrashSource = false;           // --trash-source: move them to the Trash
    bool CopyFitting = false;           // --copy-fitting: copy streams that already fit, whatever the profile says
    std::vector<std::string> Files;
    std::string ProfileName; // --add-profile, --edit-profile, --delete-profile; OLD of --rename-profile
    std::string NewName;     // NEW of --rename-profile
    std::vector<TFieldSetting> Settings; // --set, in the order given
    std::optional<TShard> Shard;         // --shard K/N: only this share of the batch
    std::optional<std::string> ReportFile; // --report: one JSON line per file, appended
    // --loudness: given at all; its target in tenths of LUFS, none for "off".
    bool LoudnessGiven = false;
    std::optional<int32_t> Loudness;
    std::optional<int32_t> TruePeak; // --true-peak, tenths of dBTP
};

// Reads a loudness target: "off" (nothing, and Off true), "ebu" or "r128"
// (-23), "podcast" (-16), "streaming" (-14) or LUFS from -70 to -5 (one
// decimal kept). False with a message for anything else.
bool ParseLoudnessTarget(const std::string& text, std::optional<int32_t>& tenths, std::string& error);
// Reads a true-peak ceiling from -9 to 0 dBTP into tenths.
bool ParseTruePeak(const std::string& text, int32_t& tenths, std::string& error);

// The largest -j.
constexpr int MaxJobs = 64;

// Exit codes.
constexpr int ExitConverted = 0;   // every file converted (or the action succeeded)
constexpr int ExitFailed = 1;      // at least one file failed to convert
constexpr int ExitUsage = 2;       // bad usage or a failed check
constexpr int ExitInterrupted = 130; // stopped by Ctrl+C or a termination signal

// The format names in OutputFormatKind order ("AVI", "MP4", "3GP", ...).
const std::vector<std::string>& FormatNames();
// OutputFormatKind value of a format name (any letter case); nothing when unknown.
std::optional<int> FormatFromName(const std::string& name);

// Parses the arguments after the program name. On bad usage returns nothing
// and puts the reason into error.
std::optional<TCliArgs> ParseArguments(const std::vector<std::string>& args, std::string& error);

// The text of --help.
std::string UsageText(const std::string& programName);

} // namespace qvcli
