// The encoder output parser on arbitrary console text, cut into pieces.
//
// Input: byte 0 gives the number of cuts (0..15), two bytes per cut give its
// position; then the encoder's command line up to the first NUL, then the
// console text (with no NUL the command line is empty).
//
// The text is fed once whole and once cut at the given points, each time
// followed by the final drain. Both runs must leave the same fields and show
// the same things, unless the text holds "Input" other than at its very
// start (a piece holding "Input" drops what comes before it in that piece).

#include "FuzzSupport.h"
#include "app/Settings.h"
#include "engine/OutputParser.h"
#include "lang/MultiLanguages.h"

#include <algorithm>
#include <cstdint>
#include <sstream>

namespace {

// Writes down everything shown that does not depend on the clock.
class TRecordingView : public TProgressView {
public:
    std::ostringstream log;
    bool animation = false;

    void SetLabel(TProgressLabel label, const std::string& text) override
    {
        switch (label) {
        case TProgressLabel::BatchElapsed:
        case TProgressLabel::StatusRemaining:
        case TProgressLabel::BatchEstimated:
        case TProgressLabel::BatchRemaining:
            return;
        default:
            log << "label " << static_cast<int>(label) << ' ' << text << '\n';
        }
    }
    void SetStatusProgress(int percent) override
    {
        qvfuzz::Check(percent >= 0 && percent <= 100, "file percent outside 0..100");
        log << "file% " << percent << '\n';
    }
    void SetBatchProgress(int percent) override
    {
        qvfuzz::Check(percent >= 0 && percent <= 100, "batch percent outside 0..100");
        log << "batch% " << percent << '\n';
    }
    void SetCaption(const std::string& caption) override { log << "caption " << caption << '\n'; }
    bool AnimationRunning() const override { return animation; }
    void StartAnimation() override { animation = true; }
    void SetTrayHint(const std::string& hint) override { log << "hint " << hint << '\n'; }
    void ResetProgress() override {}
    void MarkFinished() override {}
    int ShowModal() override { return mrOk; }
};

class TRecordingPrompter : public TPrompter {
public:
    std::ostringstream log;
    void MessageBox(const std::string& text, const std::string& caption, TMsgIcon) override
    {
        log << "box " << caption << ": " << text << '\n';
    }
    int Choice(const std::string&, const std::string&, TMsgIcon, const std::vector<TMsgButton>&,
               const std::vector<std::string>&) override
    {
        return mrCancel;
    }
    int AskYesNoCancel(const std::string&, const std::string&, TMsgIcon, int) override { return mrCancel; }
    void ShowError(const std::string& message) override { log << "error " << message << '\n'; }
};

// One run over the pieces; returns what it left behind.
std::string Run(const std::vector<std::string>& pieces, const std::string& commandLine)
{
    Options = TOptions{};
    TFileProgress file;
    file.CurrentFile = "/in/clip.avi";
    Options.FileCount = 3;
    Options.DoneCount = 1;
    // Sizes of large files, so that size times percent would overflow on a wild percent.
    file.CurrentFileSize = 8'000'000'000;
    Options.FinishedSize = 1000;
    Options.BatchTotalSize = 16'000'001'000;
    file.FileStartTime = MonotonicNow() - 1.0 / 86400;
    Options.BatchStartTime = MonotonicNow() - 10.0 / 86400;

    TRecordingView view;
    TRecordingPrompter prompter;
    for (const std::string& p : pieces)
        ParseEncoderText(p, false, commandLine, file, &view, prompter);
    ParseEncoderText("", true, commandLine, file, &view, prompter);

    const TOptions& o = Options;
    const TFileProgress& f = file;
    qvfuzz::Check(f.PendingOutput.empty(), "text left over after the final drain");
    qvfuzz::Check(f.FilePercent >= 0 && f.FilePercent <= 100 && o.BatchPercent >= 0 && o.BatchPercent <= 100,
                  "percent outside 0..100");
    std::ostringstream state;
    state << view.log.str() << prompter.log.str() << "failed " << f.CurrentFileFailed << "\ninput "
          << f.ReportedInputFile << "\noutput " << f.ReportedOutputFile << "\nduration " << f.FileDuration
          << "\ntime " << f.FileTime << "\nsize " << f.ReportedSize << "\nbitrate " << f.ReportedBitrate
          << "\npercent " << f.FilePercent << ' ' << o.BatchPercent << ' ' << o.BatchDoneSize << '\n';
    return state.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool catalogue = (ResetCatalogue(), true);
    (void)catalogue;
    if (size < 1)
        return 0;
    const size_t cuts = data[0] % 16;
    if (size < 1 + 2 * cuts)
        return 0;
    std::vector<size_t> at;
    for (size_t i = 0; i < cuts; ++i)
        at.push_back(static_cast<size_t>(data[1 + 2 * i]) << 8 | data[2 + 2 * i]);
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1 + 2 * cuts, size - 1 - 2 * cuts);
    std::string commandLine, text;
    if (size_t z = rest.find('\0'); z != std::string_view::npos) {
        commandLine.assign(rest.substr(0, z));
        text.assign(rest.substr(z + 1));
    } else {
        text.assign(rest);
    }

    for (size_t& a : at)
        a = text.empty() ? 0 : a % (text.size() + 1);
    std::sort(at.begin(), at.end());
    std::vector<std::string> pieces;
    size_t from = 0;
    for (size_t a : at) {
        pieces.push_back(text.substr(from, a - from));
        from = a;
    }
    pieces.push_back(text.substr(from));

    const std::string whole = Run({text}, commandLine);
    const std::string cut = Run(pieces, commandLine);
    const size_t input = text.find("Input");
    const bool comparable = input == std::string::npos || (input == 0 && text.find("Input", 1) == std::string::npos);
    if (comparable && whole != cut)
        qvfuzz::Fail("cutting the text changes the result:\n--- whole\n" + whole + "--- cut\n" + cut);
    return 0;
}
