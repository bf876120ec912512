#pragma once

// Terminal side of quorvex-cli: the console with its one updating status
// line, the answers to the engine's questions, and the progress display.

#include <atomic>
#include <cstdio>
#include <functional>
#include <istream>
#include <map>
#include <string>
#include <vector>

#include "engine/OutputParser.h"

class TEventLoop;

namespace qvcli {

// A catalogue text for the terminal: CR LF pairs and lone CRs become LF.
std::string TerminalText(const std::string& text);
// A file name for the terminal: every control character and every byte that
// is not UTF-8 written visibly ("\n", "\x1B", "\xE9"), so that a name never
// breaks a line or moves the cursor.
std::string TerminalName(const std::string& name);
// Text as the console writes it: line breaks and tabs stay, every other
// control character is written visibly as in TerminalName.
std::string ConsoleText(const std::string& text);
// Text cut to at most Columns characters (UTF-8 sequences are kept whole).
std::string FitColumns(const std::string& text, size_t columns);

// Standard output and error, with one status line on standard output that is
// redrawn in place when standard output is a terminal. Every other output
// first clears that line so that the two never mix.
class TConsole {
public:
    TConsole(FILE* out, FILE* err, bool outIsTerminal);
    bool StatusLineShown() const { return outIsTerminal_; }
    // Replaces the status line (terminal only; otherwise nothing happens).
    void ShowStatus(const std::string& text);
    void ClearStatus();
    // One line on standard output / standard error.
    void Out(const std::string& line);
    void Err(const std::string& line);
    // Text without a line end on standard error (a question).
    void Ask(const std::string& text);

private:
    size_t Columns() const;

    FILE* out_;
    FILE* err_;
    bool outIsTerminal_;
    bool statusShown_ = false;
};

// Answers the engine's questions: from the terminal when Interactive, "yes"
// to everything with AssumeYes, and a refusal otherwise. Message boxes go to
// standard error, except the error lines of a running file, which are kept
// for its failure report (TakeFileMessages).
class TTerminalPrompter : public TPrompter {
public:
    TTerminalPrompter(TConsole& console, std::istream& in, bool interactive, bool assumeYes);

    void MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon) override;
    int Choice(const std::string& text, const std::string& title, TMsgIcon type,
               const std::vector<TMsgButton>& buttons, const std::vector<std::string>& captions) override;
    int AskYesNoCancel(const std::string& text, const std::string& caption, TMsgIcon icon,
                       int defaultButton) override;
    void ShowError(const std::string& message) override;

    // While set, message boxes are kept for the file CurrentFile names.
    bool CollectFileMessages = false;
    // The file whose messages come now (the batch's file whose encoder
    // event is being handled); "" or unset: none.
    std::function<std::string()> CurrentFile;
    // The messages kept for a file, forgotten afterwards.
    std::vector<std::string> TakeFileMessages(const std::string& file);
    // Every message still kept, for any file.
    std::vector<std::pair<std::string, std::string>> TakeAllFileMessages();

private:
    // Reads one answer line; false at end of input or on an interrupted read.
    bool ReadAnswer(std::string& answer);
    // The file a message belongs to now; "" when it is shown at once.
    std::string FileOfMessages() const;

    TConsole& console_;
    std::istream& in_;
    bool interactive_;
    bool assumeYes_;
    std::vector<std::pair<std::string, std::string>> kept_; // file, message
};

// The figures of the progress window, kept as the engine writes them.
struct TProgressFigures {
    std::map<TProgressLabel, std::string> Labels;
    int FilePercent = 0;
    int BatchPercent = 0;
    std::vector<TRunningFile> Running; // when several files convert at once
};
// One line of figures: the file's and the batch's percent, the batch's
// remaining, elapsed and estimated times, and what is working (with every
// running file and its percent when several convert at once).
std::string ProgressLine(const TProgressFigures& figures);

// The progress window on a terminal: one updating line (at most ten redraws a
// second) or, when standard output is no terminal, a plain line whenever a
// new file starts and at every tenth of it.
class TTerminalProgressView : public TProgressView {
public:
    TTerminalProgressView(TConsole& console, TEventLoop& loop, const std::atomic<bool>& stopRequested);

    void SetLabel(TProgressLabel label, const std::string& text) override;
    void SetStatusProgress(int percent) override;
    void SetBatchProgress(int percent) override;
    void SetCaption(const std::string&) override {}
    bool AnimationRunning() const override { return animation_; }
    void StartAnimation() override { animation_ = true; }
    void SetTrayHint(const std::string&) override {}
    void SetRunningFiles(const std::vector<TRunningFile>& files) override;
    void ResetProgress() override;
    void MarkFinished() override { finished_ = true; }
    // Runs the event loop until the batch has finished (mrOk) or a stop was
    // requested by a signal (mrCancel).
    int ShowModal() override;

    // Called when ShowModal starts and ends.
    std::function<void()> OnModalStart;
    std::function<void()> OnModalEnd;

private:
    void Render(bool force);

    TConsole& console_;
    TEventLoop& loop_;
    const std::atomic<bool>& stopRequested_;
    TProgressFigures figures_;
    bool animation_ = false;
    bool finished_ = false;
    bool dirty_ = false;
    double lastDraw_ = 0;
    int lastPlainStep_ = -1;
    std::string lastWorking_;
};

} // namespace qvcli
