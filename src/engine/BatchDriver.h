#pragma once

// The Convert command: the checks before a batch, the batch itself, the
// encoder command line of each file, what happens when a file ends and how
// the batch ends. Works through interfaces, so that the GUI and the
// command-line front end plug their own windows in.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/OutputParser.h"
#include "engine/Redirect.h"
#include "engine/SourceFiles.h"
#include "platform/MoveIntoPlace.h"

// The file list, used as a queue: a batch converts the first entry; a
// converted entry is removed, a failed one gets its reason and is moved to
// the end.
class TFileQueue {
public:
    virtual ~TFileQueue() = default;
    virtual int Count() const = 0;
    // Full name of the source of entry Index (0-based).
    virtual std::string FullName(int index) const = 0;
    // Size of that source in bytes as decimal text (as read when it was added).
    virtual std::string SizeText(int index) const = 0;
    // Removes the entry with this full name (case-sensitive) and its details.
    virtual void RemoveFileByPath(const std::string& path) = 0;
    virtual void MoveFileToEnd(const std::string& path) = 0;
    // The entry with this full name failed; Reason says why (one line per
    // message). Comes just before that entry is moved to the end.
    virtual void RecordFailure(const std::string& path, const std::string& reason)
    {
        (void)path;
        (void)reason;
    }
    // Gives every entry still in the list the error image.
    virtual void MarkAllFailed() = 0;
    // The encoder of the entry with this full name is running; its complete
    // output will be Output.
    virtual void FileStarted(const std::string& path, const std::string& output)
    {
        (void)path;
        (void)output;
    }
    // The entry converted into Output, with the encoder's notes on it; comes
    // just before the entry is removed.
    virtual void RecordConverted(const std::string& path, const std::string& output,
                                 const std::vector<std::string>& notes)
    {
        (void)path;
        (void)output;
        (void)notes;
    }
    // Where entry Index was found: the folder given as a source and its
    // path below it; empty for a file given by itself.
    virtual TSourcePlace SourcePlace(int index) const
    {
        (void)index;
        return {};
    }
    // The entry with this full name is not converted in this batch; Reason
    // says why (its output exists, its output would be itself). It stays
    // in the list.
    virtual void RecordSkipped(const std::string& path, const std::string& reason)
    {
        (void)path;
        (void)reason;
    }
};

// A queue kept in memory, for the command-line front end and tests.
class TSimpleFileQueue : public TFileQueue {
public:
    struct TEntry {
        std::string FullName;
        std::string SizeText;
        bool Failed = false;
        std::string FailureReason; // why its last conversion failed
        TSourcePlace Place;        // where a folder walk found it
    };
    std::vector<TEntry> Entries;

    // Adds a file with its current size.
    void Add(const std::string& path);
    int Count() const override { return static_cast<int>(Entries.size()); }
    std::string FullName(int index) const override { return Entries.at(index).FullName; }
    std::string SizeText(int index) const override { return Entries.at(index).SizeText; }
    TSourcePlace SourcePlace(int index) const override { return Entries.at(index).Place; }
    void RemoveFileByPath(const std::string& path) override;
    void MoveFileToEnd(const std::string& path) override;
    void RecordFailure(const std::string& path, const std::string& reason) override;
    void MarkAllFailed() override;
};

// One note of the encoder on one file: an adjustment it made.
struct TFileNote {
    std::string File; // the source
    std::string Text; // the note without its "Note: "
};

// What the batch needs of the main window.
class TBatchHost {
public:
    virtual ~TBatchHost() = default;
    // Creates the progress window over the main window, its displays set as
    // at creation.
    virtual std::unique_ptr<TProgressView> CreateProgressView() = 0;
    // The notification-area balloon.
    virtual void ShowTrayBalloon(const std::string& title, const std::string& text, TMsgIcon icon,
                                 int timeoutMs) = 0;
    // The batch ended with errors; the summary box beginning with Text follows. Lets a
    // host without a notification area tell a user who is away from the window.
    virtual void AnnounceBatchErrors(const std::string& title, const std::string& text)
    {
        (void)title;
        (void)text;
    }
    // The 30-second shutdown countdown, modal; true when it ran out (perform
    // the action), false when cancelled.
    virtual bool ShowShutdownCountdown() = 0;
    // Keeps the machine from sleeping while a batch runs (true) and lets it
    // sleep again (false).
    virtual void InhibitSleep(bool inhibit) { (void)inhibit; }
    // The encoder's notes on one file, when the file has ended.
    virtual void ShowFileNotes(const std::string& file, const std::vector<std::string>& notes)
    {
        (void)file;
        (void)notes;
    }
    // Every note of a batch, once, after the batch has ended (only when
    // there are notes). Must not wait for the user: the after-batch action
    // may follow.
    virtual void ShowBatchNotes(const std::vector<TFileNote>& notes) { (void)notes; }
};

class TBatchDriver {
public:
    // The fixed access code the encoder wants after "-p".
    static constexpr const char* AccessCode = "5260718";

    TBatchDriver(TRedirector& runner, TFileQueue& queue, TBatchHost& host, TPrompter& prompter,
                 TMainThreadDispatcher& dispatcher);
    ~TBatchDriver();

    // The Convert command with the text of the output-folder box: the checks
    // (encoder present, list not empty, a format chosen, no output overwrites
    // its source, existing outputs, output folder, that folder writable), then RunBatch. Returns
    // false when a check stopped it.
    bool ConvertFiles(const std::string& outputFolderText);
    // Step 5 of the checks, also used to open the output folder: the folder
    // is named and exists (created after asking). False after its message.
    bool OutputFolderReady(const std::string& outputFolderText);
    // Whether a file can be written into the (existing) folder, tried with a
    // real file; false after a message with the system's reason.
    bool OutputFolderWritable(const std::string& outputFolderText);
    // One whole batch; returns when it has ended and the progress view is gone.
    // Up to JobCount() files convert at once, each through a runner of its own.
    void RunBatch();
    // Starts encoders for the first entries of the list not yet started in
    // this batch, while fewer than JobCount() run.
    void StartNextFile();
    // The end event of the runner whose event is being handled: settles
    // that file, then starts the next one (posted) or ends the batch.
    void FinishFile();
    // The whole encoder command line for one source. A source that goes
    // through a DirectShow script gets a new script (ScriptPath()); the one
    // made before is deleted.
    std::string BuildCommandLine(const std::string& sourceFile);
    // The script of the running file whose event is being handled, otherwise
    // of the last command line; "" when it reads its source directly.
    const std::string& ScriptPath() const;
    // Deletes that script (also done when the file ends and by the destructor).
    void DeleteScript();
    // The output name of a source as the batch plans it: in the output
    // folder (mirrored below it for a source found in a folder) or beside
    // the source, named by the name template (Options: OutputBesideSource,
    // OutputNameTemplate).
    std::string OutputNameOf(const std::string& sourceFile) const;
    // The output name Source (found at Place) would get in a batch into
    // that folder now, for showing it; "" without a chosen format.
    std::string PreviewOutputName(const std::string& outputFolderText, const std::string& sourceFile,
                                  const TSourcePlace& place);
    // The name the output of a converted source got: OutputNameOf, or under
    // "number" the free name the encoder chose.
    std::string CommittedOutputOf(const std::string& sourceFile) const;
    // The sources that the last ConvertFiles left out (their outputs exist
    // and are kept, or would be the sources themselves).
    const std::vector<std::string>& SkippedFiles() const { return skippedList_; }
    // Takes the output folder (trimmed) and the output extension as a batch
    // does, without starting one, so that command lines can be printed.
    void PrepareOutput(const std::string& outputFolderText);
    // The encoder program as an absolute path.
    std::string EncoderPath() const;

    // Seams, set to the profile store and the option builders by default.
    std::function<std::string()> OutputExtension;           // ".avi", "" for no format
    std::function<std::string()> EncoderOptions;            // option line of the selected profile
    // Called once the checks over the whole list (same output, output over its
    // source, names) have passed and before any check of single outputs: it may
    // narrow the list to the files this run converts (a share of a batch split
    // over several runs, which thus all refuse alike). A list left empty ends
    // ConvertFiles there, successfully, with nothing converted.
    std::function<void()> NarrowBatch;

    // The output folder (trimmed) that the batch writes to.
    std::string OutputFolder;
    // A missing output folder is created without asking (quorvex-cli's
    // --existing); otherwise only after a Yes.
    bool CreateFolderUnasked = false;
    // The encoder's notes of the last batch, in the order they came.
    const std::vector<TFileNote>& BatchNotes() const { return notes_; }
    // The progress view of the running batch; null when no batch runs.
    TProgressView* Progress() const { return progress_.get(); }
    // The number of files the running (or last) batch converts at once.
    int JobCount() const { return static_cast<int>(jobs_.size()); }
    // How the encoder of the file that is ending (or ended last) ended.
    const TExitStatus& EndingExitStatus() const;
    // The source of the file whose encoder's event is being handled (or was
    // last); "" before the first. Messages of the batch belong to it.
    const std::string& CurrentFile() const;
    // The state of the file that job Index converts (or converted last).
    const TFileProgress& FileProgress(int index) const { return jobs_.at(static_cast<size_t>(index)).Progress; }
    // The loudness figures of a file of the batch that is ending or has
    // ended last in its job ("" when none).
    std::string FileLoudness(const std::string& file) const;
    // The files that were converting when the user stopped the last batch.
    const std::vector<std::string>& StoppedFiles() const { return stopped_; }
    // Error messages of a file of the batch, kept instead of message boxes
    // while the batch runs (so that no box holds it); taken ones are not
    // shown in the summary at its end.
    std::vector<std::string> TakeFileErrors(const std::string& file);

private:
    // What a source was when its encoder started; it is deleted after its
    // conversion only when it is still that file with that content.
    struct TSourceState {
        bool Known = false; // false: it could not be examined
        uint64_t Device = 0;
        uint64_t Inode = 0;
        int64_t Size = 0;
        int64_t ModifiedSeconds = 0;
        int64_t ModifiedNanoseconds = 0;
        bool operator==(const TSourceState&) const = default;
    };
    static TSourceState SourceStateOf(const std::string& path);
    // One slot of the batch: a runner and the file it converts.
    struct TJob {
        TRedirector* Runner = nullptr;
        std::unique_ptr<TRedirector> OwnRunner; // every slot but the first
        bool Busy = false;       // a file is assigned and has not been settled
        bool Started = false;    // its encoder was started
        std::string Script;      // DirectShow script of its file, "" for none
        int EncoderPid = 0;      // process id of its encoder, 0 when none
        bool OutputExisted = false; // its output existed before its encoder started
        TSourceState Source;     // its source as its encoder started
        TFileProgress Progress;  // the state of its file
    };
    class TJobView;
    class TJobPrompter;

    // Prepares JobCount() runners for a batch of the list's files.
    void PrepareJobs();
    // Makes job Index the one whose event is handled: its file is the
    // current one, and Options.FinishedSize holds the rest of the batch.
    void Enter(int index);
    // The batch's finished size plus the converted part of every other running file.
    int64_t OthersDone(int index) const;
    // Starts the encoder of the next file not started in this batch in job
    // Index; false when it could not start (the file has then been settled).
    bool StartFile(int index, int queueIndex);
    // The first entry of the list that has not been started in this batch, -1 for none.
    int NextUnstarted() const;
    void FinishJob(int index);
    // Deletes the source of a converted file when it is still the file its
    // encoder read (DeleteFileAfterProcessing); otherwise keeps it and notes why.
    void DeleteConvertedSource(TJob& job);
    void FileStartFailed(int index, const std::string& message);
    // Ends every running encoder at once; their files count neither way.
    void StopRunningJobs();
    // Updates the running files' lines and the tray hint (several jobs only).
    void ShowRunningFiles();
    int RunningCount() const;
    // Removes the temporary output of the encoder that has just ended, when
    // it could not do so itself (stopped at once, killed).
    void RemoveEncoderPartial(TJob& job);
    // Moves the notes of the job's file into the batch's and shows them.
    void TakeFileNotes(TJob& job);
    // The kept error messages, one line per message under the file's name;
    // "" when none are kept. Empties the store.
    std::string TakeKeptErrorsText();
    // Why the file of the job failed: its kept messages, else how its
    // encoder ended.
    std::string FailureReason(const TJob& job) const;
    TProgressView* ParserView();
    TPrompter& ParserPrompter();

    TRedirector& runner_;
    TFileQueue& queue_;
    TBatchHost& host_;
    TPrompter& prompter_;
    TMainThreadDispatcher& dispatcher_;
    std::unique_ptr<TProgressView> progress_;
    std::unique_ptr<TProgressView> jobView_;   // filters the per-file displays when several files convert
    std::unique_ptr<TPrompter> jobPrompter_;   // keeps the files' error messages while the batch runs
    std::string outputExt_;   // output extension of the batch
    std::string script_;      // DirectShow script of the last command line, "" for none
    // The existing outputs the encoders may replace, as ConvertFiles' questions
    // were answered: every one ("Yes to all", -y) or each file agreed to.
    bool replaceAny_ = false;
    std::map<std::string, TReplaceGrant> replaceAgreed_;
    // Every output takes the first free name at its commit ("number").
    bool numbered_ = false;
    // Output names planned by ConvertFiles or PrepareOutput, by source.
    std::map<std::string, std::string> planned_;
    // Names that differ from the planned ones, by source ("number").
    std::map<std::string, std::string> committed_;
    // Sources left out of the running batch.
    std::set<std::string> skipped_;
    std::vector<std::string> skippedList_;
    // Plans every listed source's output name into planned_.
    void PlanOutputs();
    // The output name of a source found at Place, computed now.
    std::string ComputeOutputName(const std::string& sourceFile, const TSourcePlace& place) const;
    // Creates the folders below the output folder that Output needs;
    // throws std::runtime_error with the reason when that fails.
    void MakeOutputSubfolder(const std::string& output) const;
    // Leaves a source out of the batch, telling the list why.
    void SkipSource(const std::string& source, const std::string& reason);
    std::vector<TJob> jobs_;
    int current_ = -1;        // the job whose event is handled, -1 for none
    int64_t finishedSize_ = 0;// sizes of the files settled in this batch
    std::vector<std::string> startedFiles_; // files started in this batch
    std::vector<std::string> stopped_;
    std::vector<TFileNote> errors_; // kept error messages: file, text
    std::vector<TFileNote> notes_;
    // Album loudness: a private temporary folder holding, for each source
    // folder of the batch, the list of its files the encoders measure
    // together ("" until a line needs one).
    std::string albumFolder_;
    std::map<std::string, std::string> albumLists_; // source folder -> list file
    // The list file of the source's folder, written when first asked for.
    std::string AlbumList(const std::string& sourceFile);
    void DeleteAlbumLists();
    std::shared_ptr<bool> alive_;
    // The environment the first runner had when the driver was made.
    std::optional<std::vector<std::string>> baseEnvironment_;
};

// Writes the DirectShow script of one source: "DirectShow.avs" in a private
// folder of its own under the temporary folder (TemporaryFolder(): TMPDIR or
// /tmp; made by mkdtemp, mode 0700, locked until the script is deleted), from the template in the languages folder's English_profile
// folder (names matched without regard to case), every "<%InputFile%>" (any
// case) replaced by SourceName. Returns the script's path, or "" when the name
// cannot be written into a script unambiguously (it holds '"' or a control
// character; app/SourceScript.h), so the source is then read directly.
// Throws std::runtime_error when the template cannot be read, the script not
// written, or the written script would name another file than SourceName.
std::string MakeDirectShowScript(const std::string& sourceName);
// Deletes a script made by MakeDirectShowScript and its private folder.
void DeleteDirectShowScript(const std::string& scriptPath);
// Removes the script folders that runs of this user were killed before they
// could delete: under the temporary folder, a folder named exactly as
// MakeDirectShowScript names them, owned by the effective user, holding only
// a regular file "DirectShow.avs" of that user, and locked by no running
// batch (a script's folder is locked while it is in use). Returns how many.
int SweepDirectShowFolders();
// The file of Name inside Folder, found without regard to letter case; Folder
// + Name when there is none.
std::string FindCaseInsensitive(const std::string& folder, const std::string& name);
// The corrections of an option line: 5.1 channels without a bitrate get
// " -ab 256", ffvhuff gets " -strict -2", and a "-replace" with its value is
// dropped (only the batch grants replacing an output).
std::string CorrectEncoderOptions(const std::string& options);
