#pragma once

// Reads the encoder's console text while a file converts: cuts it into lines,
// takes the input and output names, the duration and the position from them,
// marks the file failed on an error line, and keeps the progress view up to
// date. Works on the file's own progress record and on the batch-wide
// fields of Options.
//
// Also declares the progress view, the interface through which the engine
// keeps the progress window up to date.

#include <cstdint>
#include <string>
#include <vector>

#include "app/Prompter.h"
#include "app/Settings.h"

class TRedirector;

// The state of one converting file. Each file that converts has a record of
// its own, so that files converting at once never share a value.
struct TFileProgress {
    std::string CurrentFile;              // the source
    int64_t CurrentFileSize = 0;          // its size in bytes as listed
    bool CurrentFileFailed = false;       // an error line came, or its encoder failed
    TDateTime FileStartTime = 0;          // MonotonicNow() when its encoder started
    int32_t FilePercent = 0;
    std::string PendingOutput;            // encoder text after the last line break
    int32_t FileDuration = 0;             // ms
    int32_t FileTime = 0;                 // ms
    std::string ReportedInputFile;
    std::string ReportedOutputFile;
    int32_t ReportedSize = 0;             // kB
    int32_t ReportedBitrate = 0;          // kbit/s
    std::vector<std::string> FileNotes;   // the encoder's "Note:" lines for this file
    int32_t OutputNumber = 0;             // "Output number: N": the output is NumberedName(output, N)
    // The encoder's loudness figures for this file (its "Loudness:" line
    // without the prefix): measured, gain, reached; "" when not normalised.
    std::string Loudness;
};

// Labels of the progress window that the engine writes.
enum class TProgressLabel {
    Status,          // lblStatus: percent of the current file
    StatusRemaining, // lblStatusRemaining
    Batch,           // lblBatch: percent of the batch
    BatchElapsed,    // lblBatchElapsed
    BatchEstimated,  // lblBatchEstimated
    BatchRemaining,  // lblBatchRemaining
    Working,         // lblWorking: "Working on file 1 of 3: name"
    Output,          // lblOutput: "Output file: name"
    Covnerting,      // lblCovnerting: the state word on the title picture
    StopWhenDone,    // lblStopWhenDone (its text; the view shows it while a stop is pending)
};

// One file that converts while others do too: its name and percent.
struct TRunningFile {
    std::string Name;
    int Percent = 0;
};

// The progress window of one batch. It exists from the start of a batch until
// its end; the engine drives it and the batch runs inside ShowModal.
class TProgressView {
public:
    virtual ~TProgressView() = default;
    virtual void SetLabel(TProgressLabel label, const std::string& text) = 0;
    virtual void SetStatusProgress(int percent) = 0; // prgStatus
    virtual void SetBatchProgress(int percent) = 0;  // prgBatch
    virtual void SetCaption(const std::string& caption) = 0;
    virtual bool AnimationRunning() const = 0;
    virtual void StartAnimation() = 0;
    // The hint of the notification-area icon (the main window's).
    virtual void SetTrayHint(const std::string& hint) = 0;
    // The files converting at once, one per encoder slot (a file that starts
    // takes the place of the one that ended); only called when a batch
    // converts several files at once (empty at its end).
    virtual void SetRunningFiles(const std::vector<TRunningFile>& files) { (void)files; }
    // Puts every display back to its start text ("0:00:00", "Status=0%",
    // "Please wait...", "Preparing"), animation stopped and hidden.
    virtual void ResetProgress() = 0;
    // The batch has ended: close with mrOk without asking. May come before
    // ShowModal has started; ShowModal then returns mrOk at once.
    virtual void MarkFinished() = 0;
    // Shows the window modally, keeping the main-thread dispatcher running,
    // and returns when it closes: mrOk after MarkFinished, mrCancel when the
    // user chose "Stop now". "When done" sets Options.StopWhenDone and keeps
    // the window open.
    virtual int ShowModal() = 0;
};

// Runner data event: examines one piece of encoder text of File. View is the
// progress window, or null when none exists (lines are then skipped).
// Options.FinishedSize holds the finished part of the batch besides File.
void ParseEncoderOutput(TRedirector& sender, const char* buffer, uint32_t size, TFileProgress& file,
                        TProgressView* view, TPrompter& prompter);
// The same, given what it needs of the runner.
void ParseEncoderText(const std::string& chunk, bool processExited, const std::string& fullCommandLine,
                      TFileProgress& file, TProgressView* view, TPrompter& prompter);

// The text between the first StartMarker and the first EndMarker that starts
// at least one character after it, trimmed; empty when there is none.
std::string TextBetween(const std::string& text, const std::string& startMarker, const std::string& endMarker);
// "h:m:s.f" to milliseconds; parts that are missing or unreadable count 0.
// "00:01:23.45" gives 83450. Results are held within +-2^60.
int64_t DurationTextToMs(const std::string& text);
// A span of days as "h:nn:ss" (only the part within one day; negative gives
// "0:00:00").
std::string FormatSpan(TDateTime span);
// An error line of the encoder: it begins with "Error" (but not "Error while
// decoding stream"), or holds one of the phrases "No audio or video streams
// available", "I/O error occured", "Could not open" outside the file names
// Names (which are data: a file may be called "Could not open.avi").
bool IsErrorLine(const std::string& line, const std::vector<std::string>& names);
// Line with every occurrence of each of Names replaced by "''".
std::string LineWithoutNames(const std::string& line, const std::vector<std::string>& names);
// The encoder's notes: a line beginning "Note: " tells of an adjustment it
// made; its text is kept in the file's FileNotes and it is never an error line.
const std::string& NotePrefix();
bool IsNoteLine(const std::string& line);
// Nearest integer, halves to the even neighbour; beyond the 64-bit range the
// nearest limit, NaN 0.
int64_t RoundHalfEven(double value);
