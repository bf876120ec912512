#pragma once

// The program's paths, the options record and options.ini.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The output formats; the value is what OutputFormat holds and what
// options.ini stores. 0..15 are the original sixteen; 16..21 came later, so
// a value of 22 or more still means that no format is chosen.
enum class OutputFormatKind : uint8_t {
    AVI = 0,
    MP4 = 1,
    TGP = 2, // 3GP
    MPEG = 3,
    MOV = 4,
    WMV = 5,
    RM = 6,
    SWF = 7,
    VOB = 8,
    ASF = 9,
    AAC = 10,
    AC3 = 11,
    MP2 = 12,
    MP3 = 13,
    AMR = 14,
    WAV = 15,
    MKV = 16,
    WEBM = 17,
    OPUS = 18,
    FLAC = 19,
    M4A = 20,
    OGG = 21,
};
constexpr int OutputFormatCount = 22;
// True for an OutputFormatKind value (0 to 21).
constexpr bool ValidFormat(int format) { return format >= 0 && format < OutputFormatCount; }

// Date-time values: days since 1899-12-30, the fraction being the time of day.
using TDateTime = double;
// The local date and time.
TDateTime Now();
// The monotonic clock in days since an unspecified start: only differences
// of its readings mean anything. Elapsed, remaining and estimated times are
// measured with it, so that a change of the wall clock (daylight saving, a
// time sync) never shows in them.
TDateTime MonotonicNow();
// The clocks that Now() and MonotonicNow() read; tests put their own in,
// an empty function stands for the system's.
extern std::function<std::chrono::system_clock::time_point()> WallClock;
extern std::function<std::chrono::steady_clock::time_point()> MonotonicClock;

// What a batch does when an output name is taken: ask (the window's question,
// a terminal's prompt), skip that file, overwrite it, or write the output
// under the first free name "NAME (2).EXT", "NAME (3).EXT"...
enum class TExistingOutputs : uint8_t { Ask = 0, Skip = 1, Overwrite = 2, Number = 3 };

struct TOptions {
    uint8_t OutputFormat = 0;              // OutputFormatKind value; may hold 22 or more (no format chosen)
    std::string LastInputOpenDir;          // folder of the add-files dialog
    std::string LastOutputOpenDir;         // last output folder
    uint8_t Priority = 1;                  // 0 idle, 1 normal, 2 high, 3 real-time
    uint8_t ShutdownFlag = 1;              // after-batch action 0..5
    bool ShutdownWindowsWhenDone = false;  // run the ShutdownFlag action after a batch without errors
    bool DeleteFileAfterProcessing = false;// delete each source after its successful conversion
    // How DeleteFileAfterProcessing deletes: into the Trash (the window's
    // way), or for good (quorvex-cli --delete-source).
    bool SourceToTrash = true;
    bool ShowWindow = true;                // stored only
    bool UseDirectShow = false;            // feed every source through the DirectShow script
    std::string EncoderFile = "avcore.dll";// encoder program, relative to the program folder
    int32_t ParallelJobs = 1;              // files converted at once; 0: one per processor core
    // The profile last chosen in the window, per OutputFormatKind value ("" for
    // none); the lists preselect it. Only the window changes it.
    std::array<std::string, OutputFormatCount> LastProfile;
    bool ClearConvertedFiles = false;      // converted files leave the list instead of staying as done
    int32_t WindowWidth = 0;               // the main window's size; 0: the size it needs
    int32_t WindowHeight = 0;
    std::string ListColumns;               // widths of the file list's columns, comma-separated; "": defaults
    // Where outputs go and what their names are: a name template ("" for the
    // source's name), beside each source instead of the output folder, and
    // what a batch does with an output that exists (TExistingOutputs value).
    std::string OutputNameTemplate;
    bool OutputBesideSource = false;
    uint8_t ExistingOutputs = 0;

    // Batch state (not stored); each converting file's own state is a
    // record of its own (TFileProgress).
    bool BatchFailed = false;
    bool StopWhenDone = false;
    int32_t FailedCount = 0;
    int32_t DoneCount = 0;
    int32_t FileCount = 0;
    int64_t BatchTotalSize = 0;
    int64_t FinishedSize = 0;   // settled files and the converted part of the others
    int64_t BatchDoneSize = 0;
    int32_t BatchPercent = 0;
    TDateTime BatchStartTime = 0; // MonotonicNow() when the batch started

    // Profile folders (computed by the profile store, never stored).
    std::string ProfileRoot;
    std::string AVIProfileFolder;
    std::string MP4ProfileFolder;
    std::string TGPProfileFolder;
    std::string MPEGProfileFolder;
    std::string MovProfileFolder;
    std::string WmvProfileFolder;
    std::string RmProfileFolder;
    std::string SwfProfileFolder;
    std::string AacProfileFolder;
    std::string VobProfileFolder;
    std::string Ac3ProfileFolder;
    std::string Mp2ProfileFolder;
    std::string Mp3ProfileFolder;
    std::string AmrProfileFolder;
    std::string WavProfileFolder;
    std::string AsfProfileFolder;
    std::string MkvProfileFolder;
    std::string WebmProfileFolder;
    std::string OpusProfileFolder;
    std::string FlacProfileFolder;
    std::string M4aProfileFolder;
    std::string OggProfileFolder;
};

extern TOptions Options;

// Path variables; every folder text ends in "/".
extern std::string AppFolder;
extern std::string ConfigFile;
extern std::string OptionsFile;
extern std::string LanguagesFolder;
extern std::string LanguageFilePath;
extern std::string SkinsFolder;
extern std::string HelpFile;
extern std::string ApplicationTitle; // "Quorvex"

// An installed program folder carries this marker file (written by the install
// step) and is never written to: config.ini, options.ini and the profile trees
// then live in the user's configuration folder.
inline constexpr const char* InstalledMarkerFile = "installed";
// The application ID of the desktop entry, the metainfo and the icons.
inline constexpr const char* DesktopApplicationId = "io.github.quorvex.Quorvex";
extern bool InstalledMode;
// Where config.ini and options.ini live: AppFolder, or UserConfigHome() when installed.
extern std::string UserDataFolder;
// The folder holding each language's "<language>_Profile/" tree: LanguagesFolder,
// or UserDataFolder when installed.
extern std::string ProfilesFolder;
// Why the installed program cannot start (its configuration folder cannot be
// created, or its language file is missing); empty when all is well.
extern std::string StartUpProblem;
// Why config.ini was not used by the last InitApplication (it is not a
// regular file, too large or unreadable, or its LanguageFile is no plain file
// name); English is then used and the file is left as it is. Empty when all
// is well.
extern std::string ConfigFileProblem;
// The stored file list: queue.db in the program folder, or in
// UserStateHome() when installed; "" when no home folder is known.
extern std::string QueueFile;
// $XDG_STATE_HOME/quorvex/ (an absolute XDG_STATE_HOME only), else
// ~/.local/state/quorvex/; "" when no home folder is known.
std::string UserStateHome();
// $XDG_CONFIG_HOME/quorvex/ (an absolute XDG_CONFIG_HOME only), else
// ~/.config/quorvex/; "" when no home folder is known.
std::string UserConfigHome();

// The folder of the running program file, with a trailing "/".
std::string RunningProgramFolder();

// Derives every path variable from the folder of the running program.
void InitApplication();
// The same for a given program folder (the command-line front end and tests).
void InitApplication(const std::string& appFolder);

void LoadOptions();
// Why options.ini was refused by the last LoadOptions (it exists but is not a
// regular file, is too large or cannot be read); empty when it was read. A
// refused file leaves the defaults in force and is never written.
extern std::string OptionsFileProblem;
// Throws EIniWriteError when options.ini cannot be written.
void SaveOptions();

// The largest number of files converted at once that options.ini, the
// settings window and quorvex-cli accept.
constexpr int MaxParallelJobs = 64;
// The number of files a batch converts at once for a ParallelJobs value:
// the value itself, or the number of processor cores for 0.
int EffectiveJobCount(int parallelJobs);
