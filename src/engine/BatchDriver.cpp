#include "engine/BatchDriver.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cctype>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <map>
#include <fstream>
#include <optional>
#include <sstream>
#include <mutex>
#include <stdlib.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "app/AppUtils.h"
#include "app/SourceScript.h"
#include "app/VisibleText.h"
#include "app/Settings.h"
#include "cmdline/OptionDetails.h"
#include "engine/MediaInfo.h"
#include "engine/OutputNames.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "platform/FolderProbe.h"
#include "platform/PartialOutput.h"
#include "platform/RegularFile.h"
#include "platform/TextRules.h"
#include "platform/Trash.h"
#include "profiles/EditorDescriptions.h"
#include "profiles/RecordFields.h"
#include "profiles/profiles.h"

namespace fs = std::filesystem;

namespace {

int64_t SizeFromText(const std::string& text)
{
    int64_t v = 0;
    std::string t = TrimText(text);
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    return ec == std::errc() ? v : 0;
}

void ReplaceFirst(std::string& text, const std::string& what, const std::string& with)
{
    size_t p = text.find(what);
    if (p != std::string::npos)
        text.replace(p, what.size(), with);
}

// Size in bytes, -1 when the file cannot be found.
int64_t FileSizeOrZero(const std::string& path)
{
    std::error_code ec;
    auto size = fs::file_size(path, ec);
    return ec ? -1 : static_cast<int64_t>(size);
}

// Why a folder could not be created: a file in the way, or the system's reason.
std::string FolderFailure(const fs::path& folder, const std::error_code& failure)
{
    std::error_code ec;
    for (fs::path p = folder; !p.empty() && p != p.parent_path(); p = p.parent_path())
        if (fs::exists(fs::symlink_status(p, ec)))
            return fs::is_directory(p, ec) ? failure.message() : "\"" + p.string() + "\" is a file, not a folder";
    return failure.message();
}

// Waits (at most a second) until no process of the group of an ended encoder
// is left, so that none of its helpers can write under a name afterwards.
void WaitForGroupEnd(int group)
{
    if (group <= 0)
        return;
    for (int i = 0; i < 100 && kill(-group, 0) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

// ---- TSimpleFileQueue ----

void TSimpleFileQueue::Add(const std::string& path)
{
    int64_t size = FileSizeOf(path);
    Entries.push_back({path, std::to_string(size < 0 ? 0 : size), false, {}, {}});
}

void TSimpleFileQueue::RemoveFileByPath(const std::string& path)
{
    auto it = std::find_if(Entries.begin(), Entries.end(), [&](const TEntry& e) { return e.FullName == path; });
    if (it != Entries.end())
        Entries.erase(it);
}

void TSimpleFileQueue::MoveFileToEnd(const std::string& path)
{
    auto it = std::find_if(Entries.begin(), Entries.end(), [&](const TEntry& e) { return e.FullName == path; });
    if (it == Entries.end())
        return;
    TEntry entry = *it;
    Entries.erase(it);
    Entries.push_back(entry);
}

void TSimpleFileQueue::RecordFailure(const std::string& path, const std::string& reason)
{
    for (TEntry& e : Entries)
        if (e.FullName == path) {
            e.Failed = true;
            e.FailureReason = reason;
        }
}

void TSimpleFileQueue::MarkAllFailed()
{
    for (auto& e : Entries)
        e.Failed = true;
}

// ---- DirectShow script ----

namespace {

constexpr const char* ScriptFolderPrefix = "quorvex-";
constexpr const char* ScriptFileName = "DirectShow.avs";

// The locked folder descriptor of each script this process made, by the
// script's path.
std::map<std::string, int>& ScriptLocks()
{
    static std::map<std::string, int> locks;
    return locks;
}

std::mutex& ScriptLocksMutex()
{
    static std::mutex mutex;
    return mutex;
}

// The exact name mkdtemp gives a script folder: the prefix and six letters or digits.
bool IsScriptFolderName(const std::string& name)
{
    const std::string prefix = ScriptFolderPrefix;
    return name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0 &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

} // namespace

std::string FindCaseInsensitive(const std::string& folder, const std::string& name)
{
    std::string base = AddTrailingBackslash(folder);
    std::error_code ec;
    if (fs::exists(base + name, ec))
        return base + name;
    const std::string wanted = LowerAscii(name);
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (LowerAscii(entry) == wanted)
            return base + entry;
    }
    return base + name;
}

std::string MakeDirectShowScript(const std::string& sourceName)
{
    // A name that the script's rule cannot carry would make the script name
    // another file; such a source is read directly instead.
    if (!qvscript::CanNameInScript(sourceName))
        return {};
    const std::string templatePath =
        FindCaseInsensitive(FindCaseInsensitive(LanguagesFolder, "English_profile"), "DirectShow.avs");
    TFileRead read = ReadRegularFile(templatePath, ScriptFileSizeLimit);
    if (read.Status != TFileReadStatus::Ok)
        throw std::runtime_error("Cannot open file \"" + templatePath + "\": "
                                 + (read.Problem.empty() ? std::strerror(ENOENT) : read.Problem));
    std::string text = std::move(read.Content);

    const std::string placeholder = "<%inputfile%>";
    std::string lower = LowerAscii(text);
    std::string result;
    size_t pos = 0;
    for (;;) {
        size_t p = lower.find(placeholder, pos);
        if (p == std::string::npos)
            break;
        result.append(text, pos, p - pos);
        result += sourceName;
        pos = p + placeholder.size();
    }
    result.append(text, pos, std::string::npos);

    // The encoder reads the script by the same rule: it must find this source.
    std::string named, why;
    if (!qvscript::ScriptSource(result, named, why) || named != sourceName)
        throw std::runtime_error("The DirectShow template \"" + templatePath + "\" does not name the source file in "
                                 "its first 'Source(\"' line (<%InputFile%> between the quotes).");

    // Each script lives in a folder of its own that only this user can enter,
    // so no other batch, and no other user, can read or replace it. The
    // folder stays locked while the script is in use, so that a sweep for
    // leftovers never takes it.
    const std::string temp = TemporaryFolder();
    std::string folder = temp + "/" + ScriptFolderPrefix + "XXXXXX";
    if (!mkdtemp(folder.data()))
        throw std::runtime_error("Cannot create a temporary folder in \"" + temp + "\". " + std::strerror(errno));
    const int lock = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) {
        const int err = errno;
        if (lock >= 0)
            ::close(lock);
        ::rmdir(folder.c_str());
        throw std::runtime_error("Cannot lock the temporary folder \"" + folder + "\". " + std::strerror(err));
    }
    const std::string scriptPath = folder + "/" + ScriptFileName;
    {
        std::lock_guard<std::mutex> guard(ScriptLocksMutex());
        ScriptLocks()[scriptPath] = lock;
    }
    const int fd = ::openat(lock, ScriptFileName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool ok = fd >= 0 && WriteAll(fd, result.data(), result.size());
    if (fd >= 0 && ::close(fd) != 0)
        ok = false;
    if (!ok) {
        const int err = errno;
        DeleteDirectShowScript(scriptPath);
        throw std::runtime_error("Cannot create file \"" + scriptPath + "\". " + std::strerror(err));
    }
    return scriptPath;
}

void DeleteDirectShowScript(const std::string& scriptPath)
{
    if (scriptPath.empty())
        return;
    std::error_code ec;
    fs::remove(scriptPath, ec);
    // Only the folder made for it, and only when nothing else is in it.
    fs::remove(fs::path(scriptPath).parent_path(), ec);
    // The lock goes last: until the folder is gone it is in use.
    std::lock_guard<std::mutex> guard(ScriptLocksMutex());
    auto it = ScriptLocks().find(scriptPath);
    if (it != ScriptLocks().end()) {
        ::close(it->second);
        ScriptLocks().erase(it);
    }
}

int SweepDirectShowFolders()
{
    const std::string temp = TemporaryFolder();
    DIR* dir = ::opendir(temp.c_str());
    if (!dir)
        return 0;
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(dir))
        if (IsScriptFolderName(entry->d_name))
            candidates.push_back(entry->d_name);
    ::closedir(dir);

    int removed = 0;
    for (const std::string& name : candidates) {
        const std::string folder = temp + "/" + name;
        struct stat st {};
        if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {};
        // A folder that a running batch holds is in use.
        if (::fstat(fd, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino ||
            ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        // Only a folder holding exactly one script of this user, and nothing
        // else, is one of ours.
        bool onlyScript = false;
        const int listFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (DIR* inner = listFd >= 0 ? ::fdopendir(listFd) : nullptr) {
            int others = 0, scripts = 0;
            while (const dirent* entry = ::readdir(inner)) {
                const std::string n = entry->d_name;
                if (n == "." || n == "..")
                    continue;
                (n == ScriptFileName ? scripts : others) += 1;
            }
            ::closedir(inner);
            struct stat script {};
            onlyScript = scripts == 1 && others == 0 &&
                         ::fstatat(fd, ScriptFileName, &script, AT_SYMLINK_NOFOLLOW) == 0 &&
                         S_ISREG(script.st_mode) && script.st_uid == ::geteuid();
        } else if (listFd >= 0) {
            ::close(listFd);
        }
        if (onlyScript && ::unlinkat(fd, ScriptFileName, 0) == 0 && ::rmdir(folder.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

std::string CorrectEncoderOptions(const std::string& options)
{
    // Corrections look at the option line only, never at file names.
    std::string line = " " + options;
    if (line.find(" -ac 5:1 ") != std::string::npos && line.find(" -ab ") == std::string::npos)
        ReplaceFirst(line, " -ac ", " -ab 256 -ac ");
    if (line.find(" -vcodec ffvhuff ") != std::string::npos)
        ReplaceFirst(line, " -vcodec ffvhuff ", " -vcodec ffvhuff -strict -2 ");
    // Which output may be replaced is the batch's to say, never the line's.
    for (size_t p; (p = line.find(" -replace ")) != std::string::npos;) {
        const size_t value = line.find_first_not_of(' ', p + 10);
        const size_t end = value == std::string::npos ? line.size() : line.find(' ', value);
        line.erase(p, (end == std::string::npos ? line.size() : end) - p);
    }
    return line.substr(1);
}

// ---- TBatchDriver ----

TBatchDriver::TBatchDriver(TRedirector& runner, TFileQueue& queue, TBatchHost& host, TPrompter& prompter,
                           TMainThreadDispatcher& dispatcher)
    : runner_(runner), queue_(queue), host_(host), prompter_(prompter), dispatcher_(dispatcher),
      alive_(std::make_shared<bool>(true)), baseEnvironment_(runner.Environment)
{
    OutputExtension = [] { return GetOutputExtension(); };
    EncoderOptions = [] {
        std::string options;
        BuildCheckedEncoderOptions(SelectedProfilePath(Options.OutputFormat), options);
        return options;
    };
}

TBatchDriver::~TBatchDriver()
{
    *alive_ = false;
    DeleteScript();
    DeleteAlbumLists();
    for (TJob& job : jobs_)
        DeleteDirectShowScript(job.Script);
    runner_.OnData = nullptr;
    runner_.OnErrorData = nullptr;
    runner_.OnTerminated = nullptr;
}

// The progress view as the output parser sees it while several files
// convert: the batch figures go through, the displays of one file (its
// percent, times, names and the tray hint) are left to the running-file lines.
class TBatchDriver::TJobView : public TProgressView {
public:
    explicit TJobView(TProgressView& view) : view_(view) {}
    void SetLabel(TProgressLabel label, const std::string& text) override
    {
        switch (label) {
        case TProgressLabel::Status:
        case TProgressLabel::StatusRemaining:
        case TProgressLabel::Working:
        case TProgressLabel::Output: return;
        default: view_.SetLabel(label, text);
        }
    }
    void SetStatusProgress(int) override {}
    void SetBatchProgress(int percent) override { view_.SetBatchProgress(percent); }
    void SetCaption(const std::string& caption) override { view_.SetCaption(caption); }
    bool AnimationRunning() const override { return view_.AnimationRunning(); }
    void StartAnimation() override { view_.StartAnimation(); }
    void SetTrayHint(const std::string&) override {}
    void ResetProgress() override { view_.ResetProgress(); }
    void MarkFinished() override { view_.MarkFinished(); }
    int ShowModal() override { return view_.ShowModal(); }

private:
    TProgressView& view_;
};

// The prompter as the output parser and the file starts see it while a batch
// runs: messages are kept per file instead of boxes that would hold the batch
// (and its after-batch action) until someone answers; they go on the failed
// file's entry and into the summary when the batch has ended.
class TBatchDriver::TJobPrompter : public TPrompter {
public:
    TJobPrompter(TPrompter& prompter, std::vector<TFileNote>& kept, const TBatchDriver& driver)
        : prompter_(prompter), kept_(kept), driver_(driver)
    {
    }
    void MessageBox(const std::string& text, const std::string&, TMsgIcon) override
    {
        kept_.push_back({driver_.CurrentFile(), text});
    }
    int Choice(const std::string& text, const std::string& title, TMsgIcon type,
               const std::vector<TMsgButton>& buttons, const std::vector<std::string>& captions) override
    {
        return prompter_.Choice(text, title, type, buttons, captions);
    }
    int AskYesNoCancel(const std::string& text, const std::string& caption, TMsgIcon icon,
                       int defaultButton) override
    {
        return prompter_.AskYesNoCancel(text, caption, icon, defaultButton);
    }
    void ShowError(const std::string& message) override { kept_.push_back({driver_.CurrentFile(), message}); }

private:
    TPrompter& prompter_;
    std::vector<TFileNote>& kept_;
    const TBatchDriver& driver_;
};

std::string TBatchDriver::EncoderPath() const
{
    fs::path encoder(Options.EncoderFile);
    if (encoder.is_absolute())
        return encoder.lexically_normal().string();
    return (fs::path(AppFolder) / encoder).lexically_normal().string();
}

std::string TBatchDriver::ComputeOutputName(const std::string& sourceFile, const TSourcePlace& place) const
{
    const TOptions& o = Options;
    TOutputNaming naming;
    naming.Folder = OutputFolder;
    naming.BesideSource = o.OutputBesideSource;
    naming.Template = TrimText(o.OutputNameTemplate).empty() ? std::string() : o.OutputNameTemplate;
    naming.Extension = outputExt_;
    TNameFields fields;
    if (!naming.Template.empty()) {
        const std::string name = FileNamePart(sourceFile);
        fields.Name = name.substr(0, name.size() - FileExtension(name).size());
        fields.Format = outputExt_.empty() ? std::string() : outputExt_.substr(1);
        if (TemplateNeedsTags(naming.Template)) {
            const TMediaTags tags = ReadMediaTags(sourceFile);
            fields.Artist = tags.Artist;
            fields.AlbumArtist = tags.AlbumArtist;
            fields.Album = tags.Album;
            fields.Title = tags.Title;
            fields.Track = tags.Track;
            fields.Disc = tags.Disc;
            fields.Date = tags.Date;
            fields.Genre = tags.Genre;
        }
    }
    return OutputPathOf(naming, sourceFile, place, fields);
}

std::string TBatchDriver::OutputNameOf(const std::string& sourceFile) const
{
    if (auto it = planned_.find(sourceFile); it != planned_.end())
        return it->second;
    TSourcePlace place;
    for (int i = 0; i < queue_.Count(); ++i)
        if (queue_.FullName(i) == sourceFile) {
            place = queue_.SourcePlace(i);
            break;
        }
    return ComputeOutputName(sourceFile, place);
}

std::string TBatchDriver::PreviewOutputName(const std::string& outputFolderText, const std::string& sourceFile,
                                            const TSourcePlace& place)
{
    if (Options.OutputFormat >= OutputFormatCount || (!Options.OutputBesideSource && TrimText(outputFolderText).empty()))
        return {};
    OutputFolder = TrimText(outputFolderText);
    outputExt_ = OutputExtension();
    return ComputeOutputName(sourceFile, place);
}

std::string TBatchDriver::CommittedOutputOf(const std::string& sourceFile) const
{
    auto it = committed_.find(sourceFile);
    return it != committed_.end() ? it->second : OutputNameOf(sourceFile);
}

void TBatchDriver::PlanOutputs()
{
    // Planned once: a template reads the tags of every source.
    planned_.clear();
    for (int i = 0; i < queue_.Count(); ++i) {
        const std::string source = queue_.FullName(i);
        planned_[source] = ComputeOutputName(source, queue_.SourcePlace(i));
    }
}

void TBatchDriver::SkipSource(const std::string& source, const std::string& reason)
{
    if (skipped_.insert(source).second)
        skippedList_.push_back(source);
    queue_.RecordSkipped(source, reason);
}

void TBatchDriver::PrepareOutput(const std::string& outputFolderText)
{
    OutputFolder = TrimText(outputFolderText);
    outputExt_ = OutputExtension();
    PlanOutputs();
}

bool TBatchDriver::OutputFolderReady(const std::string& outputFolderText)
{
    const std::string folder = TrimText(outputFolderText);
    if (folder.empty()) {
        prompter_.MessageBox(IDS_MESSAGEBOX_EmptyDir, IDS_MESSAGEBOX_Empty, TMsgIcon::Warning);
        return false;
    }
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return true;
    if (!CreateFolderUnasked &&
        prompter_.AskYesNoCancel(IDS_MESSAGEBOX_SureToCreateDir, IDS_MESSAGEBOX_CreatDir, TMsgIcon::Confirmation, 1) !=
            mrYes)
        return false;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) {
        if (!ec)
            ec = std::make_error_code(std::errc::not_a_directory);
        prompter_.MessageBox(IDS_MESSAGEBOX_FallToCreateDir + "\r\n\r\n" +
                                 qvtext::VisibleText(FolderFailure(fs::path(folder).lexically_normal(), ec)),
                             IDS_MESSAGEBOX_FallCreateDir, TMsgIcon::Error);
        return false;
    }
    return true;
}

bool TBatchDriver::OutputFolderWritable(const std::string& outputFolderText)
{
    const std::string folder = TrimText(outputFolderText);
    const int failure = ProbeWritableFolder(folder);
    if (failure == 0)
        return true;
    std::string reason = std::strerror(failure);
    switch (failure) {
    case EROFS: reason = IDS_MESSAGE_ReasonReadOnly + " (" + reason + ")"; break;
    case EACCES:
    case EPERM: reason = IDS_MESSAGE_ReasonPermission + " (" + reason + ")"; break;
    case ENOSPC: reason = IDS_MESSAGE_ReasonNoSpace + " (" + reason + ")"; break;
    case EDQUOT: reason = IDS_MESSAGE_ReasonQuota + " (" + reason + ")"; break;
    default: break;
    }
    prompter_.MessageBox(FormatText(IDS_MESSAGEBOX_OutputNotWritable, {qvtext::VisibleText(folder), reason}),
                         IDS_MESSAGEBOX_OutputNotWritableTitle, TMsgIcon::Warning);
    return false;
}

bool TBatchDriver::ConvertFiles(const std::string& outputFolderText)
{
    std::error_code ec;
    if (!fs::is_regular_file(EncoderPath(), ec)) {
        prompter_.MessageBox(FormatText(IDS_NoEncoder, {Options.EncoderFile}), IDS_LABEL_Hint, TMsgIcon::Warning);
        return false;
    }
    if (queue_.Count() == 0) {
        prompter_.MessageBox(IDS_NoFiles, IDS_LABEL_Hint, TMsgIcon::Warning);
        return false;
    }
    // Without a format there is no option line and no output extension.
    if (Options.OutputFormat >= OutputFormatCount) {
        prompter_.MessageBox(IDS_MESSAGEBOX_NoFormat, IDS_MESSAGEBOX_NoFormatTitle, TMsgIcon::Warning);
        return false;
    }
    OutputFolder = TrimText(outputFolderText);
    outputExt_ = OutputExtension();
    replaceAny_ = false;
    replaceAgreed_.clear();
    skipped_.clear();
    skippedList_.clear();
    committed_.clear();
    const TExistingOutputs policy =
        Options.ExistingOutputs <= 3 ? static_cast<TExistingOutputs>(Options.ExistingOutputs) : TExistingOutputs::Ask;
    numbered_ = policy == TExistingOutputs::Number;
    const bool beside = Options.OutputBesideSource;
    PlanOutputs();

    // Output name -> the source that would write it.
    std::map<std::string, std::string> outputs;
    // Sources whose output beside them would be themselves (WAV to WAV).
    std::vector<std::string> selfOutputs;
    for (int i = 0; i < queue_.Count(); ++i) {
        const std::string source = queue_.FullName(i);
        const std::string output = OutputNameOf(source);
        // Another spelling of the same file (a link, "./", "//") is the same file too.
        if (output == source || fs::equivalent(output, source, ec)) {
            // Beside its source such a file is left out and the others convert.
            if (beside) {
                selfOutputs.push_back(source);
                continue;
            }
            prompter_.MessageBox(FormatText(IDS_MESSAGE_MustBeDiffer, {qvtext::VisibleText(output)}),
                                 IDS_MESSAGEBOX_DifferTitle, TMsgIcon::Information);
            return false;
        }
        // Two sources of one name ("a.avi", "a.mp4") would write one output, and
        // the second conversion would silently replace the first; numbered
        // outputs each get a name of their own.
        auto [it, added] = outputs.emplace(output, source);
        if (!added && !numbered_) {
            const std::string text = FormatText(IDS_MESSAGE_SameOutput, {qvtext::VisibleText(it->second),
                                                                          qvtext::VisibleText(source),
                                                                          qvtext::VisibleText(output)});
            prompter_.MessageBox(text, IDS_MESSAGEBOX_DifferTitle, TMsgIcon::Information);
            return false;
        }
        // A name no file system takes would fail only after the conversion.
        if (FileNamePart(output).size() > 255) {
            prompter_.MessageBox(FormatText(IDS_MESSAGE_OutputNameTooLong, {qvtext::VisibleText(output)}),
                                 IDS_MESSAGEBOX_DifferTitle, TMsgIcon::Information);
            return false;
        }
        // Outputs are regular files: a folder, FIFO, socket or device under the
        // name is never replaced, also not with "Yes to all" (a symbolic link
        // is replaced as a link). A numbered output passes over it.
        struct stat st;
        if (!numbered_ && lstat(output.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
            prompter_.MessageBox(FormatText(IDS_MESSAGE_OutputNotAFile, {qvtext::VisibleText(output)}),
                                 IDS_MESSAGEBOX_DifferTitle, TMsgIcon::Information);
            return false;
        }
    }

    if (NarrowBatch) {
        NarrowBatch();
        if (queue_.Count() == 0)
            return true;
    }

    // A folder nothing can be written into would fail every file, each with
    // the name of its hidden temporary output: refused before any question.
    // Outputs beside their sources need no output folder.
    std::error_code folderEc;
    const bool folderExisted = beside || fs::is_directory(OutputFolder, folderEc);
    if (!beside && folderExisted && !OutputFolderWritable(OutputFolder))
        return false;

    // Existing outputs: asked about one by one, or as the policy says.
    std::vector<std::string> existing;
    if (policy == TExistingOutputs::Overwrite)
        replaceAny_ = true;
    // Yes, Skip (No), Cancel, Skip All (No to All), Yes to All: buttons in
    // the dialogs' order, each with its caption.
    const std::vector<TMsgButton> buttons = {TMsgButton::Yes, TMsgButton::No, TMsgButton::Cancel,
                                             TMsgButton::NoToAll, TMsgButton::YesToAll};
    const std::vector<std::string> captions = {IDS_MESSAGE_BUTTON_Yes, IDS_MESSAGE_BUTTON_Skip, IDS_Cancel,
                                               IDS_MESSAGE_BUTTON_SkipAll, IDS_MESSAGE_BUTTON_YesToAll};
    bool skipAll = policy == TExistingOutputs::Skip;
    for (int i = 0; i < queue_.Count() && (policy == TExistingOutputs::Ask || skipAll) && !replaceAny_; ++i) {
        const std::string source = queue_.FullName(i);
        if (std::find(selfOutputs.begin(), selfOutputs.end(), source) != selfOutputs.end())
            continue;
        const std::string output = OutputNameOf(source);
        struct stat st;
        if (lstat(output.c_str(), &st) != 0)
            continue;
        if (skipAll) {
            existing.push_back(source);
            continue;
        }
        const int answer = prompter_.Choice(FormatText(IDS_MESSAGEBOX_FileExists, {qvtext::VisibleText(output)}),
                                            IDS_MESSAGEBOX_Overwrite, TMsgIcon::Confirmation, buttons, captions);
        // "Yes" agrees to replacing this very file, not one that takes its
        // name later.
        if (answer == mrYes) {
            replaceAgreed_[output] = TReplaceGrant::Only(st.st_dev, st.st_ino);
            continue;
        }
        if (answer == mrYesToAll) {
            if (prompter_.AskYesNoCancel(IDS_MESSAGEBOX_SureTOOverwrite, IDS_MESSAGEBOX_Overwrite,
                                         TMsgIcon::Confirmation, 2) == mrYes) {
                replaceAny_ = true;
                break;
            }
            return false;
        }
        // "Skip" leaves this file out, "Skip All" every file whose output exists.
        if (answer == mrNo || answer == mrNoToAll) {
            existing.push_back(source);
            skipAll = answer == mrNoToAll;
            continue;
        }
        // Cancel, Escape, the close box: nothing is overwritten, nothing converted.
        return false;
    }

    if (!beside) {
        if (!OutputFolderReady(outputFolderText))
            return false;
        if (!folderExisted && !OutputFolderWritable(OutputFolder))
            return false;
        Options.LastOutputOpenDir = TrimText(outputFolderText);
    }
    for (const std::string& source : selfOutputs)
        SkipSource(source, FormatText(IDS_MESSAGE_OutputIsSource, {qvtext::VisibleText(source)}));
    for (const std::string& source : existing)
        SkipSource(source, FormatText(IDS_MESSAGE_OutputExistsKept, {qvtext::VisibleText(OutputNameOf(source))}));
    if (static_cast<int>(skipped_.size()) >= queue_.Count()) {
        prompter_.MessageBox(IDS_MESSAGEBOX_AllSkipped, IDS_LABEL_Hint, TMsgIcon::Information);
        skipped_.clear();
        planned_.clear();
        return true;
    }
    RunBatch();
    return true;
}

void TBatchDriver::PrepareJobs()
{
    TOptions& o = Options;
    const int count = std::max(1, std::min(EffectiveJobCount(o.ParallelJobs), queue_.Count()));
    uint8_t priority = TRedirector::PriorityIdle;
    switch (o.Priority) {
    case 1: priority = TRedirector::PriorityNormal; break;
    case 2: priority = TRedirector::PriorityHigh; break;
    case 3: priority = TRedirector::PriorityRealTime; break;
    default: break;
    }
    // Several encoders share the cores: each gets its part of them as
    // ffmpeg's thread count, so that together they do not oversubscribe.
    std::optional<std::vector<std::string>> environment;
    if (count > 1) {
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        environment.emplace();
        std::vector<std::string> base = baseEnvironment_ ? *baseEnvironment_ : std::vector<std::string>();
        if (!baseEnvironment_)
            for (char** e = environ; e && *e; ++e)
                base.push_back(*e);
        for (const std::string& e : base)
            if (e.rfind("QV_THREADS=", 0) != 0)
                environment->push_back(e);
        environment->push_back("QV_THREADS=" + std::to_string(std::max(1u, cores / static_cast<unsigned>(count))));
    }

    for (TJob& job : jobs_)
        DeleteDirectShowScript(job.Script);
    jobs_.clear();
    jobs_.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        TJob& job = jobs_[static_cast<size_t>(i)];
        if (i == 0) {
            job.Runner = &runner_;
        } else {
            job.OwnRunner = std::make_unique<TRedirector>(dispatcher_);
            job.Runner = job.OwnRunner.get();
        }
        TRedirector& runner = *job.Runner;
        runner.SetInitialPriority(priority);
        runner.OnData = [this, i](TRedirector& sender, const char* buffer, uint32_t size) {
            Enter(i);
            ParseEncoderOutput(sender, buffer, size, jobs_[static_cast<size_t>(i)].Progress, ParserView(),
                               ParserPrompter());
            ShowRunningFiles();
        };
        runner.OnErrorData = runner.OnData;
        runner.OnTerminated = [this, i](TRedirector&) { FinishJob(i); };
        runner.KillOnDestroy = true;
        // One file at a time runs in the environment the runner was given.
        runner.Environment = count > 1 ? environment : baseEnvironment_;
    }
    current_ = -1;
}

TProgressView* TBatchDriver::ParserView() { return jobs_.size() > 1 ? jobView_.get() : progress_.get(); }

TPrompter& TBatchDriver::ParserPrompter() { return *jobPrompter_; }

namespace {

// The note of a batch whose format holds no tags at all although its
// profile keeps them (MPEG and VOB program streams, SWF, bare AC3, MP2 and
// AMR streams); "" otherwise.
std::string TaglessFormatNote()
{
    const int format = Options.OutputFormat;
    static const OutputFormatKind Tagless[] = {OutputFormatKind::MPEG, OutputFormatKind::SWF, OutputFormatKind::VOB,
                                               OutputFormatKind::AC3,  OutputFormatKind::MP2, OutputFormatKind::AMR};
    if (std::none_of(std::begin(Tagless), std::end(Tagless),
                     [format](OutputFormatKind k) { return static_cast<int>(k) == format; }))
        return {};
    try {
        if (!GetFlag(LoadRecord(format, SelectedProfilePath(format)), "KeepTags", true))
            return {};
    } catch (const std::exception&) {
        // A profile that cannot be read fails its files with its own message.
        return {};
    }
    return FormatText(IDS_MESSAGE_NoTagsInFormat, {*EditorDescription(format).FormatName});
}

} // namespace

void TBatchDriver::RunBatch()
{
    TOptions& o = Options;
    SweepDirectShowFolders();
    // Each batch measures its folders anew.
    DeleteAlbumLists();
    PrepareJobs();
    if (OutputFolder.empty())
        OutputFolder = TrimText(o.LastOutputOpenDir);
    outputExt_ = OutputExtension();

    // The view and the sleep inhibition end with the batch, whatever happens.
    struct TBatchScope {
        TBatchDriver& d;
        ~TBatchScope()
        {
            // The plan was this batch's; a later one plans again.
            d.planned_.clear();
            d.skipped_.clear();
            d.DeleteAlbumLists();
            d.jobView_.reset();
            d.progress_.reset();
            d.host_.InhibitSleep(false);
        }
    } scope{*this};

    progress_ = host_.CreateProgressView();
    jobView_ = std::make_unique<TJobView>(*progress_);
    jobPrompter_ = std::make_unique<TJobPrompter>(prompter_, errors_, *this);
    progress_->SetTrayHint(IDS_MESSAGEBOX_TrayEncodingStart);
    progress_->ResetProgress();
    progress_->SetCaption(IDS_ID_EncodingInProgress);
    // "When done" lets every running file finish, not one.
    progress_->SetLabel(TProgressLabel::StopWhenDone, jobs_.size() > 1 ? IDS_ID_StopEncodingSeveral : IDS_ID_StopEncoding);
    host_.InhibitSleep(true);

    o.BatchFailed = false;
    o.StopWhenDone = false;
    notes_.clear();
    if (const std::string note = TaglessFormatNote(); !note.empty()) {
        notes_.push_back({std::string(), note});
        host_.ShowFileNotes(std::string(), {note});
    }
    errors_.clear();
    stopped_.clear();
    startedFiles_.clear();
    o.FileCount = 0;
    o.DoneCount = 0;
    o.FailedCount = 0;
    o.BatchTotalSize = 0;
    for (int i = 0; i < queue_.Count(); ++i)
        if (!skipped_.count(queue_.FullName(i))) {
            o.FileCount += 1;
            o.BatchTotalSize += SizeFromText(queue_.SizeText(i));
        }
    o.FinishedSize = 0;
    finishedSize_ = 0;
    o.BatchDoneSize = 0;
    o.BatchPercent = 0;
    o.BatchStartTime = MonotonicNow();

    // Started from the view's loop, so that a file that cannot start ends the
    // batch through the same road as any other.
    std::weak_ptr<bool> alive = alive_;
    dispatcher_.Post([this, alive] {
        if (auto a = alive.lock(); a && *a)
            StartNextFile();
    });

    const int result = progress_->ShowModal();

    StopRunningJobs();
    if (jobs_.size() > 1)
        progress_->SetRunningFiles({});
    if (!notes_.empty())
        host_.ShowBatchNotes(notes_);
    // One summary box after the batch: the files' errors under the batch's
    // message (errors without a failed file, e.g. of a stopped one, alone).
    const std::string kept = TakeKeptErrorsText();
    if (o.BatchFailed) {
        host_.AnnounceBatchErrors(IDS_MESSAGEBOX_Oops, IDS_MESSAGEBOX_AnErrorOccurred);
        prompter_.MessageBox(IDS_MESSAGEBOX_AnErrorOccurred + (kept.empty() ? "" : "\n\n" + kept),
                             IDS_MESSAGEBOX_Oops, TMsgIcon::Warning);
        queue_.MarkAllFailed();
    } else {
        if (!kept.empty())
            prompter_.MessageBox(kept, IDS_MESSAGEBOX_Error, TMsgIcon::Information);
        host_.ShowTrayBalloon(FormatText(IDS_LABEL_TrayInformation, {ApplicationTitle}),
                              IDS_MESSAGEBOX_TrayConvertComplete, TMsgIcon::Information, 10000);
        if (o.ShutdownWindowsWhenDone && result != mrCancel) {
            // An action the system refuses gets no countdown; one that fails
            // says so. Either way with the system's answer.
            std::string failure = ShutdownActionRefusal(o.ShutdownFlag);
            if (failure.empty() && host_.ShowShutdownCountdown())
                failure = PerformShutdownAction(o.ShutdownFlag);
            if (!failure.empty()) {
                const std::string text = FormatText(IDS_MESSAGEBOX_PowerActionFailed,
                                                    {ShutdownActionText(o.ShutdownFlag), failure});
                host_.AnnounceBatchErrors(IDS_MESSAGEBOX_PowerActionFailedTitle, text);
                prompter_.MessageBox(text, IDS_MESSAGEBOX_PowerActionFailedTitle, TMsgIcon::Error);
            }
        }
    }
}

void TBatchDriver::StopRunningJobs()
{
    // Stopped by the user: a stopped file counts neither way and stays in the list.
    std::vector<int> stopping;
    for (int i = 0; i < JobCount(); ++i) {
        TRedirector& runner = *jobs_[static_cast<size_t>(i)].Runner;
        if (!runner.Active())
            continue;
        runner.OnTerminated = nullptr;
        runner.Terminate(); // every encoder at once, then their ends
        stopping.push_back(i);
    }
    for (int i : stopping) {
        TJob& job = jobs_[static_cast<size_t>(i)];
        Enter(i);
        job.Runner->WaitForEnd(); // idle again before anything else can start it
        WaitForGroupEnd(job.EncoderPid);
        DeleteDirectShowScript(job.Script);
        job.Script.clear();
        RemoveEncoderPartial(job);
        TakeFileNotes(job);
        job.Busy = false;
        stopped_.push_back(job.Progress.CurrentFile);
    }
}

std::string TBatchDriver::TakeKeptErrorsText()
{
    if (errors_.empty())
        return {};
    std::string text;
    for (const TFileNote& e : errors_)
        text += (text.empty() ? "" : "\n") + qvtext::VisibleText(FileNamePart(e.File)) + ": " + e.Text;
    errors_.clear();
    return IDS_MESSAGEBOX_JobErrors + "\n" + text;
}

std::string TBatchDriver::FailureReason(const TJob& job) const
{
    std::string reason;
    for (const TFileNote& e : errors_)
        if (e.File == job.Progress.CurrentFile)
            reason += (reason.empty() ? "" : "\n") + qvtext::VisibleText(e.Text);
    if (!reason.empty())
        return reason;
    // Failed by its exit alone: say how the encoder ended.
    const TExitStatus& status = job.Runner->ExitStatus();
    if (status.Signal != 0)
        return FormatText(IDS_MESSAGE_EncoderSignal, {status.Signal});
    if (status.Exited && status.Code != 0)
        return FormatText(IDS_MESSAGE_EncoderExitCode, {status.Code});
    return IDS_MESSAGEBOX_AnErrorOccurred;
}

std::vector<std::string> TBatchDriver::TakeFileErrors(const std::string& file)
{
    std::vector<std::string> taken;
    auto it = errors_.begin();
    while (it != errors_.end()) {
        if (it->File == file) {
            taken.push_back(it->Text);
            it = errors_.erase(it);
        } else {
            ++it;
        }
    }
    return taken;
}

const std::string& TBatchDriver::ScriptPath() const
{
    if (current_ >= 0 && jobs_[static_cast<size_t>(current_)].Busy)
        return jobs_[static_cast<size_t>(current_)].Script;
    return script_;
}

const TExitStatus& TBatchDriver::EndingExitStatus() const
{
    return current_ >= 0 ? jobs_[static_cast<size_t>(current_)].Runner->ExitStatus() : runner_.ExitStatus();
}

std::string TBatchDriver::FileLoudness(const std::string& file) const
{
    for (const TJob& job : jobs_)
        if (job.Progress.CurrentFile == file)
            return job.Progress.Loudness;
    return {};
}

const std::string& TBatchDriver::CurrentFile() const
{
    static const std::string none;
    return current_ >= 0 ? jobs_[static_cast<size_t>(current_)].Progress.CurrentFile : none;
}

void TBatchDriver::Enter(int index)
{
    current_ = index;
    // The parser adds the current file's part to this, giving the batch's.
    Options.FinishedSize = OthersDone(index);
}

int64_t TBatchDriver::OthersDone(int index) const
{
    int64_t done = finishedSize_;
    for (int i = 0; i < JobCount(); ++i) {
        const TJob& job = jobs_[static_cast<size_t>(i)];
        if (i != index && job.Busy)
            done += job.Progress.CurrentFileSize * job.Progress.FilePercent / 100;
    }
    return done;
}

int TBatchDriver::RunningCount() const
{
    return static_cast<int>(std::count_if(jobs_.begin(), jobs_.end(), [](const TJob& j) { return j.Busy; }));
}

void TBatchDriver::ShowRunningFiles()
{
    if (jobs_.size() < 2 || !progress_)
        return;
    TOptions& o = Options;
    std::vector<TRunningFile> files;
    for (int i = 0; i < JobCount(); ++i) {
        const TJob& job = jobs_[static_cast<size_t>(i)];
        if (!job.Busy)
            continue;
        files.push_back({FileNamePart(job.Progress.CurrentFile), job.Progress.FilePercent});
    }
    progress_->SetRunningFiles(files);
    const int ended = o.DoneCount + o.FailedCount;
    if (files.size() == 1)
        progress_->SetLabel(TProgressLabel::Working,
                            FormatText(IDS_ID_WORKING, {ended + 1, o.FileCount, files.front().Name}));
    else
        progress_->SetLabel(TProgressLabel::Working,
                            FormatText(IDS_ID_WORKING_Several, {static_cast<int>(files.size()), ended, o.FileCount}));
    progress_->SetTrayHint(FormatText(IDS_MAIN_MENUITEM_BatchHint, {o.BatchPercent}));
}

std::string TBatchDriver::BuildCommandLine(const std::string& sourceFile)
{
    DeleteScript();
    std::string input = sourceFile;
    const std::string ext = FileExtension(sourceFile);
    if (Options.UseDirectShow ||
        std::find(DirectShowExtensions.begin(), DirectShowExtensions.end(), ext) != DirectShowExtensions.end()) {
        script_ = MakeDirectShowScript(sourceFile);
        if (!script_.empty())
            input = script_;
    }
    // The encoder replaces an existing output only as the batch's questions
    // allowed (the option line's "-y" grants nothing); the grant comes last,
    // so that it is the one that counts.
    const std::string output = OutputNameOf(sourceFile);
    std::string grant;
    if (numbered_)
        grant = "-replace number ";
    else if (replaceAny_)
        grant = "-replace any ";
    else if (auto agreed = replaceAgreed_.find(output); agreed != replaceAgreed_.end())
        grant = "-replace " + ReplaceGrantText(agreed->second) + " ";
    // Album loudness: the encoder gets the list of the folder's files.
    std::string options = CorrectEncoderOptions(EncoderOptions());
    if (const size_t at = (" " + options).find(" -loudness-album "); at != std::string::npos)
        options.insert(at + std::string("-loudness-album ").size(), QuoteArgument(AlbumList(sourceFile)) + " ");
    // Names go in quoted by the runner's rule, never through a format routine,
    // so every character of a name reaches the encoder as it is.
    return QuoteArgument(EncoderPath()) + " -p " + AccessCode + " -i " + QuoteArgument(input) + " " + options + " " +
           grant + QuoteArgument(output);
}

std::string TBatchDriver::AlbumList(const std::string& sourceFile)
{
    const std::string folder = fs::path(sourceFile).parent_path().string();
    if (auto known = albumLists_.find(folder); known != albumLists_.end())
        return known->second;
    if (albumFolder_.empty()) {
        std::string pattern = AddTrailingBackslash(TemporaryFolder()) + "quorvex-album-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder for the folders' loudness: " +
                                     std::string(std::strerror(errno)));
        albumFolder_ = pattern;
    }
    // The folder's files of this batch, in list order: one programme.
    // A name with a line break cannot stand on a line: such a file is left
    // out of the programme (it still gets the programme's gain).
    std::string text;
    for (int i = 0; i < queue_.Count(); ++i) {
        const std::string name = queue_.FullName(i);
        if (fs::path(name).parent_path().string() == folder && name.find_first_of("\r\n") == std::string::npos)
            text += name + "\n";
    }
    const std::string list = AddTrailingBackslash(albumFolder_) + "album-" + std::to_string(albumLists_.size()) + ".txt";
    std::FILE* f = std::fopen(list.c_str(), "wbx");
    const bool written = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = f && std::fclose(f) == 0;
    if (!written || !closed)
        throw std::runtime_error("cannot write the list of a folder's files: " + std::string(std::strerror(errno)));
    albumLists_[folder] = list;
    return list;
}

void TBatchDriver::DeleteAlbumLists()
{
    for (const auto& [folder, list] : albumLists_)
        std::remove(list.c_str());
    albumLists_.clear();
    if (!albumFolder_.empty())
        ::rmdir(albumFolder_.c_str());
    albumFolder_.clear();
}

void TBatchDriver::DeleteScript()
{
    DeleteDirectShowScript(script_);
    script_.clear();
}

int TBatchDriver::NextUnstarted() const
{
    for (int i = 0; i < queue_.Count(); ++i) {
        const std::string name = queue_.FullName(i);
        if (std::find(startedFiles_.begin(), startedFiles_.end(), name) == startedFiles_.end() &&
            !skipped_.count(name))
            return i;
    }
    return -1;
}

void TBatchDriver::StartNextFile()
{
    DeleteScript();
    if (!progress_ || queue_.Count() == 0)
        return;
    if (Options.StopWhenDone && jobs_.size() > 1) {
        // "When done" came before this start: no file starts any more, and
        // with none running the batch ends here.
        if (RunningCount() == 0) {
            progress_->SetTrayHint(IDS_MESSAGEBOX_TrayEncodingDone);
            progress_->MarkFinished();
        }
        return;
    }
    for (int i = 0; i < JobCount(); ++i) {
        if (jobs_[static_cast<size_t>(i)].Busy)
            continue;
        const int next = NextUnstarted();
        if (next < 0)
            return;
        // A file that cannot start is settled at once, and its end posts the
        // next start; so this pass stops here.
        if (!StartFile(i, next))
            return;
    }
}

bool TBatchDriver::StartFile(int index, int queueIndex)
{
    TJob& job = jobs_[static_cast<size_t>(index)];
    // A new record for the new file: nothing of the one before carries over.
    job.Progress = TFileProgress();
    TFileProgress& f = job.Progress;
    f.FileStartTime = MonotonicNow();
    f.CurrentFile = queue_.FullName(queueIndex);
    f.CurrentFileSize = SizeFromText(queue_.SizeText(queueIndex));
    // The names the encoder will report; shown until it does.
    f.ReportedInputFile = f.CurrentFile;
    f.ReportedOutputFile = OutputNameOf(f.CurrentFile);
    Enter(index);
    startedFiles_.push_back(f.CurrentFile);
    job.Busy = true;
    job.Started = false;
    job.EncoderPid = 0;
    job.Source = {};
    std::error_code ec;
    job.OutputExisted = fs::exists(fs::symlink_status(OutputNameOf(f.CurrentFile), ec));
    try {
        MakeOutputSubfolder(f.ReportedOutputFile);
        job.Runner->Directory = AppFolder;
        const std::string commandLine = BuildCommandLine(f.CurrentFile);
        job.Script = std::move(script_);
        script_.clear();
        job.Runner->SetCommandLine(commandLine);
        job.Source = SourceStateOf(f.CurrentFile);
        job.Runner->Execute();
        job.Started = true;
        job.EncoderPid = job.Runner->ProcessId();
    } catch (const std::exception& e) {
        FileStartFailed(index, e.what());
        return false;
    }
    queue_.FileStarted(f.CurrentFile, f.ReportedOutputFile);
    // One file at a time: the file's displays belong to it from its start,
    // not to the file before (its output name, its 100 %).
    if (jobs_.size() == 1 && progress_) {
        const TOptions& o = Options;
        progress_->SetStatusProgress(0);
        progress_->SetLabel(TProgressLabel::Status, IDS_CONVERTING_Status + "0%");
        progress_->SetLabel(TProgressLabel::StatusRemaining, FormatSpan(0));
        progress_->SetLabel(TProgressLabel::Output,
                            FormatText(IDS_LABEL_OutputFile, {FileNamePart(f.ReportedOutputFile)}));
        progress_->SetLabel(TProgressLabel::Working, FormatText(IDS_ID_WORKING, {o.DoneCount + o.FailedCount + 1,
                                                                                 o.FileCount, FileNamePart(f.CurrentFile)}));
    }
    ShowRunningFiles();
    return true;
}

void TBatchDriver::MakeOutputSubfolder(const std::string& output) const
{
    // Only the sub-folders that a mirrored tree or a name template add
    // below the output folder; the output folder itself was asked for.
    if (Options.OutputBesideSource)
        return;
    const fs::path parent = fs::path(output).parent_path().lexically_normal();
    fs::path folder = fs::path(OutputFolder).lexically_normal();
    if (folder.has_filename() == false)
        folder = folder.parent_path();
    std::error_code ec;
    if (parent == folder || fs::is_directory(parent, ec) || !fs::is_directory(folder, ec))
        return;
    fs::create_directories(parent, ec);
    if (ec || !fs::is_directory(parent, ec)) {
        if (!ec)
            ec = std::make_error_code(std::errc::not_a_directory);
        throw std::runtime_error(FormatText(IDS_MESSAGE_OutputFolderFailed,
                                            {qvtext::VisibleText(parent.string()),
                                             qvtext::VisibleText(FolderFailure(parent, ec))}));
    }
}

void TBatchDriver::TakeFileNotes(TJob& job)
{
    std::vector<std::string> notes;
    notes.swap(job.Progress.FileNotes);
    if (notes.empty())
        return;
    for (const std::string& text : notes)
        notes_.push_back({job.Progress.CurrentFile, text});
    host_.ShowFileNotes(job.Progress.CurrentFile, notes);
}

void TBatchDriver::FileStartFailed(int index, const std::string& message)
{
    ParserPrompter().ShowError(message);
    // A file whose encoder cannot start has failed; the batch goes on.
    jobs_[static_cast<size_t>(index)].Progress.CurrentFileFailed = true;
    FinishJob(index);
}

void TBatchDriver::RemoveEncoderPartial(TJob& job)
{
    if (job.EncoderPid > 0)
        RemoveUnheldPartial(PartialOutputName(OutputNameOf(job.Progress.CurrentFile), job.EncoderPid));
    job.EncoderPid = 0;
}

TBatchDriver::TSourceState TBatchDriver::SourceStateOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    TSourceState state;
    state.Known = true;
    state.Device = static_cast<uint64_t>(st.st_dev);
    state.Inode = static_cast<uint64_t>(st.st_ino);
    state.Size = static_cast<int64_t>(st.st_size);
    state.ModifiedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    state.ModifiedNanoseconds = static_cast<int64_t>(st.st_mtim.tv_nsec);
    return state;
}

void TBatchDriver::DeleteConvertedSource(TJob& job)
{
    TFileProgress& f = job.Progress;
    const TSourceState now = SourceStateOf(f.CurrentFile);
    // Gone already: nothing to delete and nothing to say.
    if (!now.Known)
        return;
    if (!job.Source.Known || now.Device != job.Source.Device || now.Inode != job.Source.Inode) {
        // Another file under the name (moved or copied there meanwhile) was
        // never converted.
        f.FileNotes.push_back(IDS_MESSAGE_SourceKeptReplaced);
        return;
    }
    if (!(now == job.Source)) {
        // Written to while it converted (still being recorded or copied):
        // the output holds only what was there when the encoder read it.
        f.FileNotes.push_back(IDS_MESSAGE_SourceKeptChanged);
        return;
    }
    if (!Options.SourceToTrash) {
        std::error_code ec;
        fs::remove(f.CurrentFile, ec);
        return;
    }
    // Never unlinked instead: without a trash the source stays.
    const TTrashResult trashed = MoveToTrash(f.CurrentFile);
    if (!trashed.Moved)
        f.FileNotes.push_back(FormatText(IDS_MESSAGE_SourceKeptNoTrash, {trashed.Problem}));
}

void TBatchDriver::FinishFile()
{
    if (current_ >= 0)
        FinishJob(current_);
}

void TBatchDriver::FinishJob(int index)
{
    if (!progress_)
        return;
    Enter(index);
    TJob& job = jobs_[static_cast<size_t>(index)];
    TFileProgress& f = job.Progress;
    TOptions& o = Options;
    DeleteDirectShowScript(job.Script);
    job.Script.clear();
    RemoveEncoderPartial(job);
    // An encoder that crashed or reported failure by its exit code has failed
    // even without an error line.
    if (job.Started && !job.Runner->ExitStatus().Success())
        f.CurrentFileFailed = true;
    job.Started = false;
    std::string output = OutputNameOf(f.CurrentFile);
    // A numbered output has the name the encoder reports; without that
    // report the planned name may be another, older file, which must not
    // count as this file's output (the source rule).
    if (numbered_ && !f.CurrentFileFailed) {
        output = f.OutputNumber > 0 ? NumberedName(output, f.OutputNumber) : std::string();
        if (!output.empty())
            committed_[f.CurrentFile] = output;
    }

    if (!f.CurrentFileFailed) {
        // The source goes only when its output is really there.
        if (o.DeleteFileAfterProcessing && FileSizeOrZero(output) > 0)
            DeleteConvertedSource(job);
        queue_.RecordConverted(f.CurrentFile, output, f.FileNotes);
        queue_.RemoveFileByPath(f.CurrentFile);
        o.DoneCount += 1;
        if (o.DoneCount == o.FileCount) {
            progress_->SetLabel(TProgressLabel::Batch, CaptionedFigure(IDS_CONVERTING_Status, "100%"));
            progress_->SetStatusProgress(100);
            progress_->SetCaption(IDS_LABEL_EncodingFinished);
        }
    } else {
        o.BatchFailed = true;
        o.FailedCount += 1;
        queue_.RecordFailure(f.CurrentFile, FailureReason(job));
        queue_.MoveFileToEnd(f.CurrentFile);
        // An empty output left by the failed run goes; a file that was there
        // before the run is the user's and stays, whatever its size.
        if (!job.OutputExisted)
            DeleteIfEmpty(output);
    }
    TakeFileNotes(job);
    job.Busy = false;
    finishedSize_ += f.CurrentFileSize;

    if (o.StopWhenDone || o.DoneCount + o.FailedCount == o.FileCount) {
        // "When done" lets the running files finish; the batch ends with the last.
        if (RunningCount() > 0) {
            ShowRunningFiles();
            return;
        }
        progress_->SetTrayHint(IDS_MESSAGEBOX_TrayEncodingDone);
        progress_->MarkFinished();
        return;
    }

    o.FinishedSize = OthersDone(index);
    o.BatchDoneSize = o.FinishedSize;
    if (o.BatchTotalSize != 0) {
        o.BatchPercent = static_cast<int32_t>(100 * o.BatchDoneSize / o.BatchTotalSize);
        progress_->SetLabel(TProgressLabel::Batch, CaptionedFigure(IDS_ID_BATCH, std::to_string(o.BatchPercent) + "%"));
        progress_->SetBatchProgress(o.BatchPercent);
    }
    if (o.BatchDoneSize > 0) {
        const TDateTime elapsed = MonotonicNow() - o.BatchStartTime;
        const TDateTime estimated = static_cast<double>(o.BatchTotalSize) * elapsed / static_cast<double>(o.BatchDoneSize);
        progress_->SetLabel(TProgressLabel::BatchEstimated, FormatSpan(estimated));
        progress_->SetLabel(TProgressLabel::BatchRemaining, FormatSpan(estimated - elapsed));
    }
    ShowRunningFiles();

    if (NextUnstarted() >= 0) {
        std::weak_ptr<bool> alive = alive_;
        dispatcher_.Post([this, alive] {
            if (auto a = alive.lock(); a && *a)
                StartNextFile();
        });
    } else if (RunningCount() == 0) {
        // Every file left was started in this batch already.
        progress_->SetTrayHint(IDS_MESSAGEBOX_TrayEncodingDone);
        progress_->MarkFinished();
    }
}
