#pragma once

// Reads the encoder's console text while a file converts: cuts it into lines,
// takes the input and output names, the duration and the position from them,
// marks the current file failed on an error line, and keeps the progress view
// up to date. Works on the batch-state fields of Options.
//
// Also declares the two interfaces the engine talks to windows through: the
// progress view and the prompter for message boxes and questions.

#include <cstdint>
#include <string>
#include <vector>

#include "app/Settings.h"

class TRedirector;

// Results of dialogs and message boxes.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrYes = 6,
    mrNo = 7,
    mrYesToAll = 10,
};

// Standard buttons of the choice dialog, in the order their captions are given.
enum class TMsgButton { Yes, No, OK, Cancel, Abort, Retry, Ignore, All, NoToAll, YesToAll, Help };

enum class TMsgIcon { Warning, Error, Information, Confirmation };

// Message boxes and questions. The GUI shows real dialogs; the command-line
// front end and tests answer from the terminal or from a script.
class TPrompter {
public:
    virtual ~TPrompter() = default;
    // A message box with one OK button.
    virtual void MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon) = 0;
    // The choice dialog with catalogue captions: one caption per button, in
    // the order of Buttons (which follows TMsgButton's order). Returns mrYes,
    // mrNo, mrOk, mrCancel or mrYesToAll for the pressed button; closing the
    // dialog gives mrCancel.
    virtual int Choice(const std::string& text, const std::string& title, TMsgIcon type,
                       const std::vector<TMsgButton>& buttons, const std::vector<std::string>& captions) = 0;
    // A system message box with Yes, No and Cancel; DefaultButton is 1, 2 or
    // 3. Returns mrYes, mrNo or mrCancel.
    virtual int AskYesNoCancel(const std::string& text, const std::string& caption, TMsgIcon icon,
                               int defaultButton) = 0;
    // The application's standard error box for a failure's message.
    virtual void ShowError(const std::string& message) = 0;
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

// Runner data event: examines one piece of encoder text. View is the
// progress window, or null when none exists (lines are then skipped).
void ParseEncoderOutput(TRedirector& sender, const char* buffer, uint32_t size, TProgressView* view,
                        TPrompter& prompter);
// The same, given what it needs of the runner.
void ParseEncoderText(const std::string& chunk, bool processExited, const std::string& fullCommandLine,
                      TProgressView* view, TPrompter& prompter);

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
// made; its text is kept in Options.FileNotes and it is never an error line.
const std::string& NotePrefix();
bool IsNoteLine(const std::string& line);
// Nearest integer, halves to the even neighbour; beyond the 64-bit range the
// nearest limit, NaN 0.
int64_t RoundHalfEven(double value);
