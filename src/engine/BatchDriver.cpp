#include "engine/BatchDriver.h"

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>
#include <stdlib.h>

#include "app/AppUtils.h"
#include "app/SourceScript.h"
#include "app/VisibleText.h"
#include "app/Settings.h"
#include "cmdline/OptionDetails.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "platform/PartialOutput.h"
#include "platform/RegularFile.h"
#include "platform/TextRules.h"
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

} // namespace

// ---- TSimpleFileQueue ----

void TSimpleFileQueue::Add(const std::string& path)
{
    int64_t size = FileSizeOf(path);
    Entries.push_back({path, std::to_string(size < 0 ? 0 : size), false});
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

void TSimpleFileQueue::MarkAllFailed()
{
    for (auto& e : Entries)
        e.Failed = true;
}

// ---- DirectShow script ----

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
    // so no other batch, and no other user, can read or replace it.
    std::string folder = (fs::temp_directory_path() / "quorvex-XXXXXX").string();
    if (!mkdtemp(folder.data()))
        throw std::runtime_error("Cannot create a temporary folder in \"" + fs::temp_directory_path().string() +
                                 "\". " + std::strerror(errno));
    const std::string scriptPath = folder + "/DirectShow.avs";
    std::ofstream out(scriptPath, std::ios::binary | std::ios::trunc);
    if (out)
        out << result;
    out.close();
    if (!out) {
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
}

std::string CorrectEncoderOptions(const std::string& options)
{
    // Corrections look at the option line only, never at file names.
    std::string line = " " + options;
    if (line.find(" -ac 5:1 ") != std::string::npos && line.find(" -ab ") == std::string::npos)
        ReplaceFirst(line, " -ac ", " -ab 256 -ac ");
    if (line.find(" -vcodec ffvhuff ") != std::string::npos)
        ReplaceFirst(line, " -vcodec ffvhuff ", " -vcodec ffvhuff -strict -2 ");
    return line.substr(1);
}

// ---- TBatchDriver ----

TBatchDriver::TBatchDriver(TRedirector& runner, TFileQueue& queue, TBatchHost& host, TPrompter& prompter,
                           TMainThreadDispatcher& dispatcher)
    : runner_(runner), queue_(queue), host_(host), prompter_(prompter), dispatcher_(dispatcher),
      alive_(std::make_shared<bool>(true))
{
    OutputExtension = [] { return GetOutputExtension(); };
    EncoderOptions = [] {
        std::string options;
        BuildEncoderOptions(SelectedProfilePath(Options.OutputFormat), options);
        return options;
    };
}

TBatchDriver::~TBatchDriver()
{
    *alive_ = false;
    DeleteScript();
    runner_.OnData = nullptr;
    runner_.OnErrorData = nullptr;
    runner_.OnTerminated = nullptr;
}

std::string TBatchDriver::EncoderPath() const
{
    fs::path encoder(Options.EncoderFile);
    if (encoder.is_absolute())
        return encoder.lexically_normal().string();
    return (fs::path(AppFolder) / encoder).lexically_normal().string();
}

std::string TBatchDriver::OutputNameOf(const std::string& sourceFile) const
{
    return AddTrailingBackslash(OutputFolder) + ChangeFileExtension(FileNamePart(sourceFile), outputExt_);
}

void TBatchDriver::PrepareOutput(const std::string& outputFolderText)
{
    OutputFolder = TrimText(outputFolderText);
    outputExt_ = OutputExtension();
}

bool TBatchDriver::OutputFolderReady(const std::string& outputFolderText)
{
    const std::string folder = TrimText(outputFolderText);
    if (folder.empty()) {
        prompter_.MessageBox(IDS_MESSAGEBOX_EmptyDir, IDS_MESSAGEBOX_Empty, TMsgIcon::Confirmation);
        return false;
    }
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return true;
    if (prompter_.AskYesNoCancel(IDS_MESSAGEBOX_SureToCreateDir, IDS_MESSAGEBOX_CreatDir, TMsgIcon::Confirmation, 1) !=
        mrYes)
        return false;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) {
        prompter_.MessageBox(IDS_MESSAGEBOX_FallToCreateDir, IDS_MESSAGEBOX_FallCreateDir, TMsgIcon::Confirmation);
        return false;
    }
    return true;
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

    // Output name -> the source that would write it.
    std::map<std::string, std::string> outputs;
    for (int i = 0; i < queue_.Count(); ++i) {
        const std::string source = queue_.FullName(i);
        const std::string output = OutputNameOf(source);
        // Another spelling of the same file (a link, "./", "//") is the same file too.
        if (output == source || fs::equivalent(output, source, ec)) {
            prompter_.MessageBox(FormatText(IDS_MESSAGE_MustBeDiffer, {qvtext::VisibleText(output)}),
                                 IDS_MESSAGEBOX_DifferTitle, TMsgIcon::Information);
            return false;
        }
        // Two sources of one name ("a.avi", "a.mp4") would write one output, and
        // the second conversion would silently replace the first.
        auto [it, added] = outputs.emplace(output, source);
        if (!added) {
            const std::string text = FormatText(IDS_MESSAGE_SameOutput, {qvtext::VisibleText(it->second),
                                                                          qvtext::VisibleText(source),
                                                                          qvtext::VisibleText(output)});
            prompter_.MessageBox(text, IDS_MESSAGEBOX_DifferTitle, TMsgIcon::Information);
            return false;
        }
    }

    const std::vector<TMsgButton> buttons = {TMsgButton::Yes, TMsgButton::No, TMsgButton::Cancel,
                                             TMsgButton::YesToAll};
    const std::vector<std::string> captions = {IDS_MESSAGE_BUTTON_Yes, IDS_MESSAGE_BUTTON_No, IDS_Cancel,
                                               IDS_MESSAGE_BUTTON_YesToAll};
    for (int i = 0; i < queue_.Count(); ++i) {
        const std::string output = OutputNameOf(queue_.FullName(i));
        if (!fs::exists(output, ec))
            continue;
        int answer = prompter_.Choice(FormatText(IDS_MESSAGEBOX_FileExists, {qvtext::VisibleText(output)}),
                                      IDS_MESSAGEBOX_Overwrite, TMsgIcon::Confirmation, buttons, captions);
        if (answer == mrYes)
            continue;
        if (answer == mrYesToAll) {
            if (prompter_.AskYesNoCancel(IDS_MESSAGEBOX_SureTOOverwrite, IDS_MESSAGEBOX_Overwrite,
                                         TMsgIcon::Confirmation, 2) == mrYes)
                break;
            return false;
        }
        return false;
    }

    if (!OutputFolderReady(outputFolderText))
        return false;
    Options.LastOutputOpenDir = TrimText(outputFolderText);
    RunBatch();
    return true;
}

void TBatchDriver::RunBatch()
{
    TOptions& o = Options;
    switch (o.Priority) {
    case 1: runner_.SetInitialPriority(TRedirector::PriorityNormal); break;
    case 2: runner_.SetInitialPriority(TRedirector::PriorityHigh); break;
    case 3: runner_.SetInitialPriority(TRedirector::PriorityRealTime); break;
    default: runner_.SetInitialPriority(TRedirector::PriorityIdle); break;
    }
    runner_.OnData = [this](TRedirector& sender, const char* buffer, uint32_t size) {
        ParseEncoderOutput(sender, buffer, size, progress_.get(), prompter_);
    };
    runner_.OnErrorData = runner_.OnData;
    runner_.OnTerminated = [this](TRedirector&) { FinishFile(); };
    runner_.KillOnDestroy = true;
    if (OutputFolder.empty())
        OutputFolder = TrimText(o.LastOutputOpenDir);
    outputExt_ = OutputExtension();

    // The view and the sleep inhibition end with the batch, whatever happens.
    struct TBatchScope {
        TBatchDriver& d;
        ~TBatchScope()
        {
            d.progress_.reset();
            d.host_.InhibitSleep(false);
        }
    } scope{*this};

    progress_ = host_.CreateProgressView();
    progress_->SetTrayHint(IDS_MESSAGEBOX_TrayEncodingStart);
    progress_->ResetProgress();
    progress_->SetCaption(IDS_ID_EncodingInProgress);
    progress_->SetLabel(TProgressLabel::StopWhenDone, IDS_ID_StopEncoding);
    host_.InhibitSleep(true);

    o.BatchFailed = false;
    o.StopWhenDone = false;
    o.FileNotes.clear();
    notes_.clear();
    o.FileCount = queue_.Count();
    o.DoneCount = 0;
    o.FailedCount = 0;
    o.BatchTotalSize = 0;
    for (int i = 0; i < queue_.Count(); ++i)
        o.BatchTotalSize += SizeFromText(queue_.SizeText(i));
    o.CurrentFileSize = 0;
    o.FinishedSize = 0;
    o.BatchDoneSize = 0;
    o.BatchPercent = 0;
    o.BatchStartTime = Now();

    // Started from the view's loop, so that a file that cannot start ends the
    // batch through the same road as any other.
    std::weak_ptr<bool> alive = alive_;
    dispatcher_.Post([this, alive] {
        if (auto a = alive.lock(); a && *a)
            StartNextFile();
    });

    const int result = progress_->ShowModal();

    if (runner_.Active()) {
        // Stopped by the user: the stopped file counts neither way and stays first.
        runner_.OnTerminated = nullptr;
        runner_.Terminate();
        runner_.WaitForEnd(); // idle again before anything else can start it
        DeleteScript();
        RemoveEncoderPartial();
        TakeFileNotes();
    }
    if (!notes_.empty())
        host_.ShowBatchNotes(notes_);

    if (o.BatchFailed) {
        host_.AnnounceBatchErrors(IDS_MESSAGEBOX_Oops, IDS_MESSAGEBOX_AnErrorOccurred);
        prompter_.MessageBox(IDS_MESSAGEBOX_AnErrorOccurred, IDS_MESSAGEBOX_Oops, TMsgIcon::Warning);
        queue_.MarkAllFailed();
    } else {
        host_.ShowTrayBalloon(FormatText(IDS_LABEL_TrayInformation, {ApplicationTitle}),
                              IDS_MESSAGEBOX_TrayConvertComplete, TMsgIcon::Information, 10000);
        if (o.ShutdownWindowsWhenDone && result != mrCancel && host_.ShowShutdownCountdown())
            PerformShutdownAction(o.ShutdownFlag);
    }
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
    // Names go in quoted by the runner's rule, never through a format routine,
    // so every character of a name reaches the encoder as it is.
    return QuoteArgument(EncoderPath()) + " -p " + AccessCode + " -i " + QuoteArgument(input) + " " +
           CorrectEncoderOptions(EncoderOptions()) + " " + QuoteArgument(OutputNameOf(sourceFile));
}

void TBatchDriver::DeleteScript()
{
    DeleteDirectShowScript(script_);
    script_.clear();
}

void TBatchDriver::StartNextFile()
{
    DeleteScript();
    if (!progress_ || queue_.Count() == 0)
        return;
    TOptions& o = Options;
    o.CurrentFileFailed = false;
    o.FileStartTime = Now();
    o.FilePercent = 0;
    o.PendingOutput.clear();
    o.FileNotes.clear();
    o.CurrentFile = queue_.FullName(0);
    o.CurrentFileSize = SizeFromText(queue_.SizeText(0));
    started_ = false;
    encoderPid_ = 0;
    std::error_code ec;
    outputExisted_ = fs::exists(fs::symlink_status(OutputNameOf(o.CurrentFile), ec));
    try {
        runner_.Directory = AppFolder;
        runner_.SetCommandLine(BuildCommandLine(o.CurrentFile));
        runner_.Execute();
        started_ = true;
        encoderPid_ = runner_.ProcessId();
    } catch (const std::exception& e) {
        FileStartFailed(e.what());
    }
}

void TBatchDriver::TakeFileNotes()
{
    std::vector<std::string> notes;
    notes.swap(Options.FileNotes);
    if (notes.empty())
        return;
    for (const std::string& text : notes)
        notes_.push_back({Options.CurrentFile, text});
    host_.ShowFileNotes(Options.CurrentFile, notes);
}

void TBatchDriver::FileStartFailed(const std::string& message)
{
    prompter_.ShowError(message);
    // A file whose encoder cannot start has failed; the batch goes on.
    Options.CurrentFileFailed = true;
    FinishFile();
}

void TBatchDriver::RemoveEncoderPartial()
{
    if (encoderPid_ > 0)
        RemoveUnheldPartial(PartialOutputName(OutputNameOf(Options.CurrentFile), encoderPid_));
    encoderPid_ = 0;
}

void TBatchDriver::FinishFile()
{
    if (!progress_)
        return;
    TOptions& o = Options;
    DeleteScript();
    RemoveEncoderPartial();
    // An encoder that crashed or reported failure by its exit code has failed
    // even without an error line.
    if (started_ && !runner_.ExitStatus().Success())
        o.CurrentFileFailed = true;
    started_ = false;
    const std::string output = OutputNameOf(o.CurrentFile);

    if (!o.CurrentFileFailed) {
        // The source goes only when its output is really there.
        if (o.DeleteFileAfterProcessing && FileSizeOrZero(output) > 0) {
            std::error_code ec;
            fs::remove(o.CurrentFile, ec);
        }
        queue_.RemoveFileByPath(o.CurrentFile);
        o.DoneCount += 1;
        if (o.DoneCount == o.FileCount) {
            progress_->SetLabel(TProgressLabel::Batch, IDS_CONVERTING_Status + "100%");
            progress_->SetStatusProgress(100);
            progress_->SetCaption(IDS_LABEL_EncodingFinished);
        }
    } else {
        o.BatchFailed = true;
        o.FailedCount += 1;
        queue_.MoveFileToEnd(o.CurrentFile);
        // An empty output left by the failed run goes; a file that was there
        // before the run is the user's and stays, whatever its size.
        if (!outputExisted_)
            DeleteIfEmpty(output);
    }
    TakeFileNotes();

    if (o.StopWhenDone || o.DoneCount + o.FailedCount == o.FileCount) {
        progress_->SetTrayHint(IDS_MESSAGEBOX_TrayEncodingDone);
        progress_->MarkFinished();
        return;
    }

    o.FinishedSize += o.CurrentFileSize;
    o.BatchDoneSize = o.FinishedSize;
    if (o.BatchTotalSize != 0) {
        o.BatchPercent = static_cast<int32_t>(100 * o.BatchDoneSize / o.BatchTotalSize);
        progress_->SetLabel(TProgressLabel::Batch, IDS_ID_BATCH + std::to_string(o.BatchPercent) + "%");
        progress_->SetBatchProgress(o.BatchPercent);
    }
    if (o.BatchDoneSize > 0) {
        const TDateTime elapsed = Now() - o.BatchStartTime;
        const TDateTime estimated = static_cast<double>(o.BatchTotalSize) * elapsed / static_cast<double>(o.BatchDoneSize);
        progress_->SetLabel(TProgressLabel::BatchEstimated, FormatSpan(estimated));
        progress_->SetLabel(TProgressLabel::BatchRemaining, FormatSpan(estimated - elapsed));
    }

    if (queue_.Count() > 0) {
        std::weak_ptr<bool> alive = alive_;
        dispatcher_.Post([this, alive] {
            if (auto a = alive.lock(); a && *a)
                StartNextFile();
        });
    }
}
