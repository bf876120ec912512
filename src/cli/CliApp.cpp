#include "cli/CliApp.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <set>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "engine/SourceFiles.h"
#include "cli/CliArgs.h"
#include "cli/CliProfiles.h"
#include "cli/Report.h"
#include "cli/Shard.h"
#include "cli/Terminal.h"
#include "cmdline/OptionDetails.h"
#include "engine/BatchDriver.h"
#include "lang/Format.h"
#include "profiles/RecordFields.h"
#include "lang/MultiLanguages.h"
#include "platform/StartProcess.h"
#include "platform/TextRules.h"
#include "profiles/ProfileCheck.h"
#include "profiles/ProfileCommands.h"
#include "profiles/profiles.h"

namespace fs = std::filesystem;

namespace qvcli {

// ---- File checks ----

namespace {

// The absolute form of a path given on the command line, without resolving
// links, so that names stay the ones the user gave.
std::string AbsolutePath(const std::string& path)
{
    std::error_code ec;
    fs::path abs = fs::absolute(path, ec);
    if (ec)
        return path;
    std::string text = abs.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

} // namespace

TFileCheck CheckSourceFile(const std::string& fullPath, TFileItem& item)
{
    std::error_code ec;
    const auto status = fs::status(fullPath, ec);
    if (ec || !fs::exists(status))
        return TFileCheck::Missing;
    if (fs::is_directory(status))
        return TFileCheck::NotAFile;
    if (!IsAcceptedSourceName(fullPath))
        return TFileCheck::Rejected;
    item = ProbeFileItem(fullPath);
    if (!MediaFileDescribed(item))
        return TFileCheck::Undescribed;
    return TFileCheck::Accepted;
}

std::vector<TCheckedFile> CheckSourceFiles(const std::vector<std::string>& fullPaths)
{
    std::vector<TCheckedFile> results(fullPaths.size());
    // Loaded here, before any thread reads with it.
    MediaInfoLibrary();
    constexpr size_t MaxThreads = 4;
    const size_t threads =
        std::min({fullPaths.size(), size_t(std::max(1u, std::thread::hardware_concurrency())), MaxThreads});
    std::atomic<size_t> next{0};
    std::mutex failedLock;
    std::exception_ptr failed;
    auto work = [&] {
        try {
            for (size_t i; (i = next++) < fullPaths.size();)
                results[i].Check = CheckSourceFile(fullPaths[i], results[i].Item);
        } catch (...) {
            const std::lock_guard<std::mutex> hold(failedLock);
            failed = std::current_exception();
            next = fullPaths.size(); // the other threads stop too
        }
    };
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();
    if (failed)
        std::rethrow_exception(failed);
    return results;
}

std::string CheckMessage(TFileCheck check, const std::string& fullPath)
{
    switch (check) {
    case TFileCheck::Accepted: return {};
    case TFileCheck::Missing: return TerminalText(FormatText(IDS_NoEncoder, {TerminalName(fullPath)}));
    case TFileCheck::NotAFile:
    case TFileCheck::Rejected:
    case TFileCheck::Undescribed: return TerminalText(FormatText(IDS_MESSAGEBOX_FormatError, {TerminalName(fullPath)}));
    }
    return {};
}

std::function<std::string()> BuiltOncePerBatch(std::function<std::string()> build)
{
    auto line = std::make_shared<std::optional<std::string>>();
    return [build = std::move(build), line] {
        if (!*line)
            *line = build();
        return **line;
    };
}

namespace {

// ---- Signals ----
//
// SIGINT, SIGTERM and SIGHUP are blocked in every thread and taken by one
// thread of their own. Before an encoder can run they end the program at once;
// while a batch runs they ask the progress view to stop the encoder (the
// batch's stop-now path), so no encoder is left running and the stopped
// file's source is untouched. The runner clears the signal mask of its
// children, so the encoder still receives signals normally.

std::atomic<bool> StopRequested{false};
std::mutex SignalMutex;
bool BatchActive = false;          // guarded by SignalMutex
TEventLoop* BatchLoop = nullptr;   // guarded by SignalMutex

sigset_t StopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

void StartSignalThread()
{
    sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        for (;;) {
            int sig = 0;
            if (sigwait(&set, &sig) != 0)
                continue;
            std::lock_guard<std::mutex> lock(SignalMutex);
            if (!BatchActive) {
                std::fputs("\n", stderr);
                std::fflush(stdout);
                std::fflush(stderr);
                _exit(ExitInterrupted);
            }
            StopRequested = true;
            if (BatchLoop)
                BatchLoop->Post([] {}); // wakes the progress view's loop
        }
    }).detach();
}

void SetBatchActive(bool active, TEventLoop* loop)
{
    std::lock_guard<std::mutex> lock(SignalMutex);
    BatchActive = active;
    BatchLoop = active ? loop : nullptr;
}

// ---- The batch ----

class TCliQueue : public TSimpleFileQueue {
public:
    std::function<void(const std::string&)> OnConverted;
    std::function<void(const std::string&)> OnFailed;
    std::function<void(const std::string&, const std::string&)> OnSkipped;

    void RecordSkipped(const std::string& path, const std::string& reason) override
    {
        if (OnSkipped)
            OnSkipped(path, reason);
    }
    void RemoveFileByPath(const std::string& path) override
    {
        TSimpleFileQueue::RemoveFileByPath(path);
        if (OnConverted)
            OnConverted(path);
    }
    void MoveFileToEnd(const std::string& path) override
    {
        TSimpleFileQueue::MoveFileToEnd(path);
        if (OnFailed)
            OnFailed(path);
    }
};

class TCliHost : public TBatchHost {
public:
    TCliHost(TConsole& console, TEventLoop& loop, TTerminalPrompter& prompter)
        : console_(console), loop_(loop), prompter_(prompter)
    {
    }

    std::unique_ptr<TProgressView> CreateProgressView() override
    {
        // From here on an encoder may run: signals stop it instead of ending the program.
        SetBatchActive(true, &loop_);
        auto view = std::make_unique<TTerminalProgressView>(console_, loop_, StopRequested);
        view->OnModalStart = [this] { prompter_.CollectFileMessages = true; };
        view->OnModalEnd = [this] { prompter_.CollectFileMessages = false; };
        return view;
    }
    void ShowTrayBalloon(const std::string&, const std::string& text, TMsgIcon, int) override
    {
        // The balloon says the batch is complete, which a stopped batch is not.
        if (!StopRequested)
            console_.Out(TerminalText(text));
    }
    // The command-line front end never performs an after-batch power action.
    bool ShowShutdownCountdown() override { return false; }
    // The encoder's adjustments, under the file's "Converted:" or "Failed:" line.
    void ShowFileNotes(const std::string& file, const std::vector<std::string>& notes) override
    {
        // A note on the whole batch (no file) stands on its own.
        for (const std::string& note : notes)
            console_.Out((file.empty() ? "Note: " : "  Note: ") + note);
        if (OnFileNotes)
            OnFileNotes(file, notes);
    }
    std::function<void(const std::string&, const std::vector<std::string>&)> OnFileNotes;

private:
    TConsole& console_;
    TEventLoop& loop_;
    TTerminalPrompter& prompter_;
};

std::string SkippedText(size_t skipped)
{
    return skipped == 0 ? std::string() : ", " + std::to_string(skipped) + " skipped";
}

std::string DescribeExit(const TExitStatus& status)
{
    if (status.Signal != 0)
        return "the encoder was ended by signal " + std::to_string(status.Signal) + " (" +
               (strsignal(status.Signal) ? strsignal(status.Signal) : "?") + ")";
    if (status.Exited && status.Code != 0)
        return "the encoder ended with exit code " + std::to_string(status.Code);
    return "the encoder reported an error";
}

// The key that decides a file's share of a split batch (--shard). A file
// argument's key is its name. Files found by walking a folder argument are
// keyed by their path relative to that folder (RelativeShardKey), so that
// hosts mounting the library at different places pick alike; in loudness
// album mode by their folder (AlbumShardKey of that key), so that an album
// stays on one run.
std::string ShardKey(const TSimpleFileQueue::TEntry& entry, bool albums)
{
    const std::string key = entry.Place.RelativePath.empty()
                                ? RelativeShardKey(entry.FullName, {})
                                : RelativeShardKey(entry.Place.Folder + "/" + entry.Place.RelativePath,
                                                   entry.Place.Folder);
    return albums ? AlbumShardKey(key, entry.FullName) : key;
}

// ---- The run ----

class TCliRun {
public:
    TCliRun(const TCliArgs& args, const std::string& programName)
        : args_(args), program_(programName), console_(stdout, stderr, isatty(STDOUT_FILENO) == 1),
          prompter_(console_, std::cin, isatty(STDIN_FILENO) == 1, args.Yes)
    {
        ForceCopyFitting = args.CopyFitting;
    }

    int Run();

private:
    bool StartUp();
    bool ChooseFormat();
    bool ChooseProfile();
    // Checks every FILE; the accepted ones go into the queue.
    void CheckFiles(TCliQueue& queue);
    std::string OutputFolderText() const;

    int ListProfiles();
    int ShowProfile();
    int ProfileCommand();
    int PrintOptions();
    int PrintCommands();
    int Info();
    int Convert();
    int MeasureLoudness();

    void Fail(const std::string& message) { console_.Err(program_ + ": " + message); }
    // Whether a FILE argument (absolute) names a regular file; says why not.
    bool RegularFileArgument(const std::string& path);
    // Whether a file belongs to this run's share (always without --shard).
    bool InShare(const TSimpleFileQueue::TEntry& entry) const;
    // Appends one file's line to the --report file (nothing without one).
    void Report(TReportRecord record);

    std::optional<TReportFile> report_;
    bool reportFailed_ = false;

    const TCliArgs& args_;
    std::string program_;
    TConsole console_;
    TTerminalPrompter prompter_;
    int format_ = 0;
    std::string profileFile_; // --profile-file, absolute; "" for the selected profile
    bool albumShares_ = false; // loudness album mode: shares are decided by folder
    bool checkFailed_ = false;
};

bool TCliRun::StartUp()
{
    // The same start-up as the desktop program: paths from the program
    // folder, config.ini, the language file, options.ini, profile folders.
    // A program folder that cannot be written fails here (the English file
    // or options.ini are written when missing) with the system's reason.
    try {
        InitApplication(RunningProgramFolder());
        if (!StartUpProblem.empty()) {
            Fail(StartUpProblem);
            return false;
        }
        SetLanguageMessageHandler([this](const std::string& text) { console_.Err(TerminalText(text)); });
        if (!LoadLanguage())
            return false;
        if (!ConfigFileProblem.empty())
            console_.Err(program_ + ": warning: "
                         + TerminalText(FormatText(IDS_MESSAGEBOX_ConfigFileRefused, {ConfigFile, ConfigFileProblem})));
        LoadOptions();
        if (!OptionsFileProblem.empty())
            console_.Err(program_ + ": warning: "
                         + TerminalText(FormatText(IDS_MESSAGEBOX_OptionsFileRefused, {OptionsFile, OptionsFileProblem})));
    } catch (const std::exception& e) {
        Fail(e.what());
        return false;
    }
    // Only --delete-source and --trash-source remove sources here, and no
    // power action is ever taken.
    Options.DeleteFileAfterProcessing = args_.DeleteSource || args_.TrashSource;
    Options.SourceToTrash = args_.TrashSource;
    Options.ShutdownWindowsWhenDone = false;
    // Where outputs go: the stored settings unless the command line says;
    // an output folder given names the place.
    Options.OutputBesideSource = args_.SameFolder || (!args_.OutputDir && Options.OutputBesideSource);
    if (args_.NameTemplate)
        Options.OutputNameTemplate = *args_.NameTemplate;
    // --existing decides over -y; -y alone overwrites.
    if (args_.Existing)
        Options.ExistingOutputs = static_cast<uint8_t>(*args_.Existing);
    else if (args_.Yes)
        Options.ExistingOutputs = static_cast<uint8_t>(TExistingOutputs::Overwrite);
    static_assert(MaxJobs == MaxParallelJobs);
    if (args_.Jobs)
        Options.ParallelJobs = *args_.Jobs;
    if (args_.Format)
        Options.OutputFormat = static_cast<uint8_t>(*args_.Format);
    // Media facts need no profiles.
    if (args_.Action == TCliAction::Info)
        return true;
    if (!RefreshProfileLists()) {
        console_.Err(TerminalText(IDS_MESSAGEBOX_CreateDirError));
        return false;
    }
    return true;
}

bool TCliRun::ChooseFormat()
{
    if (Options.OutputFormat >= OutputFormatCount) {
        console_.Err(TerminalText(IDS_MESSAGEBOX_NoFormat) + " (use -f)");
        return false;
    }
    format_ = Options.OutputFormat;
    return true;
}

bool TCliRun::ChooseProfile()
{
    if (args_.ProfileFile) {
        profileFile_ = AbsolutePath(*args_.ProfileFile);
        std::error_code ec;
        if (!fs::exists(profileFile_, ec)) {
            Fail("profile file \"" + TerminalName(profileFile_) + "\" not found");
            return false;
        }
        // Looked at without opening it for good (a named pipe would wait for a
        // writer), and refused unless it is a profile of the chosen format:
        // profile extensions are shared between formats.
        const std::vector<TProfileProblem> problems = ProfileFileProblems(format_, profileFile_, true);
        if (!problems.empty()) {
            console_.Err(TerminalText(ProfileProblemText(profileFile_, problems)));
            return false;
        }
        return true;
    }
    TProfileList& list = ProfileLists[format_];
    const std::string formatName = FormatNames()[static_cast<size_t>(format_)];
    if (args_.Profile) {
        list.ItemIndex = FindProfileName(list, *args_.Profile);
        if (list.ItemIndex < 0) {
            std::string known;
            for (const auto& name : list.Items)
                known += (known.empty() ? "" : ", ") + name;
            Fail("no " + formatName + " profile named \"" + *args_.Profile + "\"" +
                 (known.empty() ? std::string(" (there are none)") : " (profiles: " + known + ")"));
            return false;
        }
    } else if (list.ItemIndex < 0) {
        Fail("no " + formatName + " profile in \"" + ProfileFolder(format_) + "\"");
        return false;
    }
    return true;
}

std::string TCliRun::OutputFolderText() const
{
    if (!args_.OutputDir)
        return Options.LastOutputOpenDir;
    const std::string dir = TrimText(*args_.OutputDir);
    // The encoder runs in the program folder, so a relative folder is taken
    // from where the command was given.
    return dir.empty() ? dir : AbsolutePath(dir);
}

void TCliRun::CheckFiles(TCliQueue& queue)
{
    // A batch uses only the name, size and format of each file: the library
    // need not read far into large files for durations and bitrates.
    UseQuickMediaProbes();
    std::vector<std::string> paths;
    std::vector<TSourcePlace> places;
    // The output folder inside a walked folder holds outputs, not sources.
    const std::string outputFolder = Options.OutputBesideSource ? std::string() : TrimText(OutputFolderText());
    for (const std::string& given : args_.Files) {
        const std::string path = AbsolutePath(given);
        std::error_code ec;
        if (args_.Recursive && fs::is_directory(path, ec)) {
            for (TWalkedFile& file : WalkSourceFolder(path, {outputFolder})) {
                paths.push_back(std::move(file.Path));
                places.push_back(std::move(file.Place));
            }
            continue;
        }
        paths.push_back(path);
        places.emplace_back();
    }
    const std::vector<TCheckedFile> checked = CheckSourceFiles(paths);
    std::set<std::string> seen;
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        if (checked[i].Check != TFileCheck::Accepted) {
            console_.Err(CheckMessage(checked[i].Check, path));
            checkFailed_ = true;
            // Every run of a split batch says so; only the run whose share it is reports it.
            if (InShare({path, {}, false, {}, places[i]}))
                Report({path, "", "skipped", CheckMessage(checked[i].Check, path), -1, {}, {}, {}, {}});
            continue;
        }
        // The same path twice is one file, as in the list of the main window.
        if (!seen.insert(path).second)
            continue;
        queue.Entries.push_back({path, checked[i].Item.FileSize, false, {}, places[i]});
    }
}

bool TCliRun::InShare(const TSimpleFileQueue::TEntry& entry) const
{
    return !args_.Shard || ShareOf(ShardKey(entry, albumShares_), args_.Shard->Count) == args_.Shard->Index;
}

void TCliRun::Report(TReportRecord record)
{
    if (!report_)
        return;
    static const std::string host = HostName();
    record.Host = host;
    if (args_.Shard)
        record.Shard = std::to_string(args_.Shard->Index) + "/" + std::to_string(args_.Shard->Count);
    std::string error;
    if (!report_->Append(ReportLine(record), error)) {
        // Said once; the run then ends with a failure status.
        if (!reportFailed_)
            Fail(error);
        reportFailed_ = true;
    }
}

int TCliRun::ListProfiles()
{
    if (!ChooseFormat())
        return ExitUsage;
    for (const auto& name : ProfileLists[format_].Items)
        console_.Out(name);
    return ExitConverted;
}

int TCliRun::ShowProfile()
{
    if (!ChooseFormat() || !ChooseProfile())
        return ExitUsage;
    const std::string file = profileFile_.empty() ? SelectedProfilePath(format_) : profileFile_;
    // Shown as loaded, a refused profile would look like the defaults.
    const std::vector<TProfileProblem> problems = ProfileFileProblems(format_, file);
    if (!problems.empty()) {
        console_.Err(TerminalText(ProfileProblemText(file, problems)));
        return ExitUsage;
    }
    std::fputs(ProfileText(LoadRecord(format_, file)).c_str(), stdout);
    std::fflush(stdout);
    return ExitConverted;
}

int TCliRun::ProfileCommand()
{
    if (!ChooseFormat())
        return ExitUsage;
    return RunProfileCommand(args_, format_, console_, program_);
}

int TCliRun::PrintOptions()
{
    if (!ChooseFormat() || !ChooseProfile())
        return ExitUsage;
    std::string line;
    try {
        BuildCheckedEncoderOptions(profileFile_.empty() ? SelectedProfilePath(format_) : profileFile_, line);
    } catch (const TProfileValueError& e) {
        console_.Err(TerminalText(e.what()));
        return ExitUsage;
    }
    console_.Out(line);
    return ExitConverted;
}

bool TCliRun::RegularFileArgument(const std::string& path)
{
    std::error_code ec;
    if (fs::is_regular_file(path, ec))
        return true;
    console_.Err(CheckMessage(fs::exists(path, ec) ? TFileCheck::NotAFile : TFileCheck::Missing, path));
    return false;
}

int TCliRun::Info()
{
    int result = ExitConverted;
    bool first = true;
    for (const std::string& given : args_.Files) {
        const std::string path = AbsolutePath(given);
        if (!RegularFileArgument(path)) {
            result = ExitUsage;
            continue;
        }
        const TFileItem item = ProbeFileItem(path);
        std::string block = first ? "" : "\n";
        first = false;
        block += "FileName\t" + TerminalName(item.FileName) + "\nFilePath\t" + TerminalName(item.FilePath);
        for (const TMediaFact& fact : MediaFacts)
            block += std::string("\n") + fact.Name + "\t" + TerminalName(item.*fact.Field);
        console_.Out(block);
    }
    return result;
}

// Sets the driver up for the chosen profile.
void UseProfile(TBatchDriver& driver, const std::string& profileFile)
{
    if (profileFile.empty())
        return;
    driver.EncoderOptions = [profileFile] {
        std::string line;
        BuildCheckedEncoderOptions(profileFile, line);
        return line;
    };
    driver.OutputExtension = [profileFile] {
        if (Options.OutputFormat == static_cast<uint8_t>(OutputFormatKind::TGP)) {
            LoadTGPSettings(profileFile);
            return std::string(TGPSettings.TGPFormat == 2 ? ".3g2" : ".3gp");
        }
        return GetOutputExtension();
    };
}

int TCliRun::PrintCommands()
{
    if (!ChooseFormat() || !ChooseProfile())
        return ExitUsage;
    TCliQueue queue;
    CheckFiles(queue);
    const std::string folder = TrimText(OutputFolderText());
    if (folder.empty() && !Options.OutputBesideSource) {
        console_.Err(TerminalText(IDS_MESSAGEBOX_EmptyDir));
        return ExitUsage;
    }
    TEventLoop loop;
    TRedirector runner(loop);
    TCliHost host(console_, loop, prompter_);
    TBatchDriver driver(runner, queue, host, prompter_, loop);
    UseProfile(driver, profileFile_);
    driver.PrepareOutput(folder);
    // Printing must leave no trace: a DirectShow script made for a command line goes again.
    for (const auto& entry : queue.Entries) {
        try {
            console_.Out(TerminalName(driver.BuildCommandLine(entry.FullName)));
        } catch (const std::exception& e) {
            prompter_.ShowError(e.what());
            checkFailed_ = true;
        }
        driver.DeleteScript();
    }
    return checkFailed_ ? ExitUsage : ExitConverted;
}

int TCliRun::Convert()
{
    if (!ChooseFormat() || !ChooseProfile())
        return ExitUsage;
    if (args_.ReportFile) {
        std::string error;
        report_.emplace();
        if (!report_->Open(AbsolutePath(*args_.ReportFile), error)) {
            Fail(error);
            return ExitUsage;
        }
    }
    TCliQueue queue;
    CheckFiles(queue);
    size_t total = queue.Entries.size();

    TEventLoop loop;
    loop.SetExceptionHandler([this](const std::string& message) { prompter_.ShowError(message); });
    TRedirector runner(loop);
    TCliHost host(console_, loop, prompter_);
    TBatchDriver driver(runner, queue, host, prompter_, loop);
    // Messages of a running file are kept for that file's report.
    prompter_.CurrentFile = [&driver] { return driver.CurrentFile(); };
    struct TForgetDriver {
        TTerminalPrompter& prompter;
        ~TForgetDriver() { prompter.CurrentFile = nullptr; }
    } forgetDriver{prompter_};
    UseProfile(driver, profileFile_);
    driver.CreateFolderUnasked = args_.Existing.has_value();
    // Reading and checking the profile again for every file would only repeat the same work.
    driver.EncoderOptions = BuiltOncePerBatch(std::move(driver.EncoderOptions));

    // Every run of a split batch checks the whole batch alike; then each keeps
    // its share. In loudness album mode an album (a folder) stays on one run.
    if (args_.Shard) {
        const TProfileRecord profile =
            LoadRecord(format_, profileFile_.empty() ? SelectedProfilePath(format_) : profileFile_);
        const bool loudness =
            LoudnessOverride.SetOn ? LoudnessOverride.On : GetFlag(profile, "NormaliseLoudness");
        albumShares_ = loudness && GetFlag(profile, "LoudnessAlbumMode");
        driver.NarrowBatch = [&] {
            std::erase_if(queue.Entries, [this](const TSimpleFileQueue::TEntry& e) { return !InShare(e); });
            total = queue.Entries.size();
        };
    }

    // A file's report line waits for its notes, which the batch gives just
    // after the file's end: it is written from the event loop right after,
    // and whatever is left when the batch ends is written then.
    std::map<std::string, TReportRecord> pending;
    std::set<std::string> endedFiles;
    auto flushReport = [&](const std::string& path) {
        auto it = pending.find(path);
        if (it == pending.end())
            return;
        Report(std::move(it->second));
        pending.erase(it);
    };
    auto ended = [&](const std::string& path, const std::string& status, const std::string& reason) {
        endedFiles.insert(path);
        if (!report_)
            return;
        double seconds = -1;
        for (int i = 0; i < driver.JobCount(); ++i)
            if (driver.FileProgress(i).CurrentFile == path)
                seconds = (MonotonicNow() - driver.FileProgress(i).FileStartTime) * 86400.0;
        flushReport(path);
        pending[path] = {path, driver.CommittedOutputOf(path), status, reason, seconds, {}, {}, {}, {}};
        if (const std::string loudness = driver.FileLoudness(path); !loudness.empty())
            pending[path].Figures.emplace_back("loudness", JsonText(loudness));
        loop.Post([&flushReport, path] { flushReport(path); });
    };
    host.OnFileNotes = [&](const std::string& path, const std::vector<std::string>& notes) {
        auto it = pending.find(path);
        if (it != pending.end())
            it->second.Notes.insert(it->second.Notes.end(), notes.begin(), notes.end());
    };

    size_t converted = 0, failed = 0, skipped = 0;
    queue.OnConverted = [&](const std::string& path) {
        ++converted;
        console_.Out("Converted: " + TerminalName(path) + " -> " + TerminalName(driver.CommittedOutputOf(path)));
        if (const std::string loudness = driver.FileLoudness(path); !loudness.empty())
            console_.Out("  Loudness: " + TerminalText(loudness));
        ended(path, "converted", "");
    };
    queue.OnSkipped = [&](const std::string& path, const std::string& reason) {
        ++skipped;
        console_.Out("Skipped: " + TerminalName(path) + "\n  " + TerminalText(reason));
        ended(path, "skipped", reason);
    };
    queue.OnFailed = [&](const std::string& path) {
        ++failed;
        std::string report = "Failed: " + TerminalName(path);
        auto messages = prompter_.TakeFileMessages(path);
        for (std::string& m : driver.TakeFileErrors(path))
            messages.push_back(TerminalText(m));
        if (messages.empty())
            messages.push_back(DescribeExit(driver.EndingExitStatus()));
        std::string reason;
        for (const auto& m : messages) {
            report += "\n  " + m;
            reason += (reason.empty() ? "" : "\n") + m;
        }
        console_.Err(report);
        ended(path, "failed", reason);
    };

    const bool started = driver.ConvertFiles(OutputFolderText());
    SetBatchActive(false, nullptr);
    while (!pending.empty())
        flushReport(pending.begin()->first);
    // Error lines of a file that was stopped before it ended.
    std::map<std::string, std::string> stopMessages;
    for (const auto& [file, message] : prompter_.TakeAllFileMessages()) {
        console_.Err(TerminalName(file) + ": " + message);
        stopMessages[file] += (stopMessages[file].empty() ? "" : "\n") + message;
    }

    if (!started)
        return StopRequested ? ExitInterrupted : ExitUsage;
    if (StopRequested && converted + failed + skipped < total) {
        const std::vector<std::string>& stopped = driver.StoppedFiles();
        for (const std::string& file : stopped) {
            console_.Err("Stopped: " + TerminalName(file) + " (its source is kept)");
            Report({file, driver.OutputNameOf(file), "stopped", "stopped while converting; its source is kept" +
                        (stopMessages[file].empty() ? "" : "\n" + stopMessages[file]), -1, {}, {}, {}, {}});
        }
        // The files of the share that never started, so that every file has its line.
        for (const auto& entry : queue.Entries)
            if (!endedFiles.count(entry.FullName) &&
                std::find(stopped.begin(), stopped.end(), entry.FullName) == stopped.end())
                Report({entry.FullName, driver.OutputNameOf(entry.FullName), "stopped",
                        "the batch was stopped before this file started", -1, {}, {}, {}, {}});
        console_.Out(std::to_string(converted) + " of " + std::to_string(total) + " files converted, " +
                     std::to_string(failed) + " failed" + SkippedText(skipped) + ", stopped.");
        return ExitInterrupted;
    }
    console_.Out(std::to_string(converted) + " of " + std::to_string(total) + " files converted, " +
                 std::to_string(failed) + " failed" + SkippedText(skipped) + ".");
    if (checkFailed_)
        return ExitUsage;
    return failed > 0 || reportFailed_ ? ExitFailed : ExitConverted;
}

// Integrated loudness, range and true peak of every FILE, measured by the
// encoder program over a full decode.
int TCliRun::MeasureLoudness()
{
    int result = ExitConverted;
    std::vector<std::string> paths;
    for (const std::string& given : args_.Files) {
        const std::string path = AbsolutePath(given);
        if (!RegularFileArgument(path)) {
            result = ExitUsage;
            continue;
        }
        paths.push_back(path);
    }
    if (paths.empty())
        return result;
    // The encoder program as a batch finds it.
    fs::path encoder(Options.EncoderFile);
    if (!encoder.is_absolute())
        encoder = fs::path(AppFolder) / encoder;
    std::vector<std::string> argv = {encoder.lexically_normal().string(), "-p", TBatchDriver::AccessCode,
                                     "-measure-loudness"};
    argv.insert(argv.end(), paths.begin(), paths.end());
    std::string output;
    const int code = RunProcess(argv, &output);
    std::vector<std::string> lines;
    for (size_t start = 0; start < output.size();) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        lines.push_back(output.substr(start, end - start));
        start = end + 1;
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string line = i < lines.size() ? lines[i] : "error: the encoder did not measure it";
        std::vector<std::string> figures;
        for (size_t start = 0; start <= line.size();) {
            size_t comma = line.find(',', start);
            if (comma == std::string::npos)
                comma = line.size();
            figures.push_back(line.substr(start, comma - start));
            start = comma + 1;
        }
        if (line.rfind("error: ", 0) == 0 || figures.size() != 3) {
            console_.Err(TerminalName(paths[i]) + ": " + TerminalText(line.rfind("error: ", 0) == 0 ? line.substr(7) : line));
            result = std::max(result, ExitFailed);
            continue;
        }
        console_.Out(TerminalName(paths[i]) + ": integrated " + figures[0] + " LUFS, range " + figures[1] +
                     " LU, true peak " + figures[2] + " dBTP");
    }
    if (code != 0 && code != 1)
        result = ExitFailed;
    return result;
}

int TCliRun::Run()
{
    if (!StartUp())
        return ExitUsage;
    // --loudness and --true-peak override the profile for this run.
    LoudnessOverride.SetOn = args_.LoudnessGiven;
    LoudnessOverride.On = args_.Loudness.has_value();
    LoudnessOverride.Target = args_.Loudness.value_or(DefaultLoudnessTarget);
    LoudnessOverride.SetPeak = args_.TruePeak.has_value();
    LoudnessOverride.Peak = args_.TruePeak.value_or(DefaultTruePeakCeiling);
    switch (args_.Action) {
    case TCliAction::MeasureLoudness: return MeasureLoudness();
    case TCliAction::ListProfiles: return ListProfiles();
    case TCliAction::ShowProfile: return ShowProfile();
    case TCliAction::AddProfile:
    case TCliAction::EditProfile:
    case TCliAction::RenameProfile:
    case TCliAction::DeleteProfile: return ProfileCommand();
    case TCliAction::PrintOptions: return PrintOptions();
    case TCliAction::PrintCommands: return PrintCommands();
    case TCliAction::Info: return Info();
    case TCliAction::Convert: return Convert();
    case TCliAction::Help: break;
    }
    return ExitConverted;
}

} // namespace

int RunCli(const std::vector<std::string>& args, const std::string& programName)
{
    std::string error;
    const auto parsed = ParseArguments(args, error);
    if (!parsed) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", programName.c_str(), error.c_str(),
                     programName.c_str());
        return ExitUsage;
    }
    if (parsed->Action == TCliAction::Help) {
        std::fputs(UsageText(programName).c_str(), stdout);
        return ExitConverted;
    }
    // A reader of our output that goes away must not end the program in the
    // middle of a batch and leave an encoder behind; the runner gives its
    // children the default handling back.
    std::signal(SIGPIPE, SIG_IGN);
    StartSignalThread();
    TCliRun run(*parsed, programName);
    return run.Run();
}

} // namespace qvcli
