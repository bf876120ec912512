#include "cli/Terminal.h"

#include "app/AppUtils.h"
#include "app/VisibleText.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <sys/ioctl.h>
#include <unistd.h>

#include "engine/Redirect.h"
#include "lang/MultiLanguages.h"
#include "platform/TextRules.h"

namespace qvcli {

std::string TerminalText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string TerminalName(const std::string& name) { return qvtext::VisibleText(name); }

std::string ConsoleText(const std::string& text)
{
    std::string out;
    size_t from = 0;
    for (;;) {
        const size_t stop = text.find_first_of("\n\t", from);
        const size_t count = stop == std::string::npos ? std::string::npos : stop - from;
        out += qvtext::VisibleText(std::string_view(text).substr(from, count));
        if (stop == std::string::npos)
            return out;
        out += text[stop];
        from = stop + 1;
    }
}

std::string FitColumns(const std::string& text, size_t columns)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        // Count the first byte of every UTF-8 sequence; continuation bytes follow it.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (count == columns)
                return text.substr(0, i);
            ++count;
        }
    }
    return text;
}

// ---- TConsole ----

TConsole::TConsole(FILE* out, FILE* err, bool outIsTerminal) : out_(out), err_(err), outIsTerminal_(outIsTerminal) {}

size_t TConsole::Columns() const
{
    winsize ws{};
    if (ioctl(fileno(out_), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1)
        return ws.ws_col;
    return 80;
}

void TConsole::ShowStatus(const std::string& text)
{
    if (!outIsTerminal_)
        return;
    // One column is left free so that the cursor never wraps to a new line.
    std::fprintf(out_, "\r%s\033[K", FitColumns(qvtext::VisibleText(text), Columns() - 1).c_str());
    std::fflush(out_);
    statusShown_ = true;
}

void TConsole::ClearStatus()
{
    if (!statusShown_)
        return;
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    statusShown_ = false;
}

void TConsole::Out(const std::string& line)
{
    ClearStatus();
    std::fprintf(out_, "%s\n", ConsoleText(line).c_str());
    std::fflush(out_);
}

void TConsole::Err(const std::string& line)
{
    ClearStatus();
    std::fprintf(err_, "%s\n", ConsoleText(line).c_str());
    std::fflush(err_);
}

void TConsole::Ask(const std::string& text)
{
    ClearStatus();
    std::fputs(ConsoleText(text).c_str(), err_);
    std::fflush(err_);
}

// ---- TTerminalPrompter ----

namespace {

std::string WithCaption(const std::string& text, const std::string& caption)
{
    const std::string body = TerminalText(text);
    if (caption.empty() || body.rfind(caption, 0) == 0)
        return body;
    return caption + ": " + body;
}

int ResultOf(TMsgButton button)
{
    switch (button) {
    case TMsgButton::Yes: return mrYes;
    case TMsgButton::No: return mrNo;
    case TMsgButton::OK: return mrOk;
    case TMsgButton::Cancel: return mrCancel;
    case TMsgButton::Abort: return 3;
    case TMsgButton::Retry: return 4;
    case TMsgButton::Ignore: return 5;
    case TMsgButton::All: return 8;
    case TMsgButton::NoToAll: return 9;
    case TMsgButton::YesToAll: return mrYesToAll;
    case TMsgButton::Help: return 12;
    }
    return mrCancel;
}

const char* RefusalNote = "(not answered: standard input is no terminal; use --yes to answer yes)";

} // namespace

TTerminalPrompter::TTerminalPrompter(TConsole& console, std::istream& in, bool interactive, bool assumeYes)
    : console_(console), in_(in), interactive_(interactive), assumeYes_(assumeYes)
{
}

std::string TTerminalPrompter::FileOfMessages() const
{
    return CollectFileMessages && CurrentFile ? CurrentFile() : std::string();
}

void TTerminalPrompter::MessageBox(const std::string& text, const std::string& caption, TMsgIcon)
{
    if (const std::string file = FileOfMessages(); !file.empty()) {
        kept_.emplace_back(file, TerminalText(text));
        return;
    }
    console_.Err(WithCaption(text, caption));
}

void TTerminalPrompter::ShowError(const std::string& message)
{
    // A file whose encoder cannot start gets its failure report from this.
    if (const std::string file = FileOfMessages(); !file.empty()) {
        kept_.emplace_back(file, TerminalText(message));
        return;
    }
    console_.Err(WithCaption(message, IDS_MESSAGEBOX_Error));
}

bool TTerminalPrompter::ReadAnswer(std::string& answer)
{
    if (!std::getline(in_, answer)) {
        console_.Ask("\n");
        return false;
    }
    answer = TrimText(answer);
    return true;
}

int TTerminalPrompter::Choice(const std::string& text, const std::string& title, TMsgIcon,
                              const std::vector<TMsgButton>& buttons, const std::vector<std::string>& captions)
{
    auto has = [&](TMsgButton b) { return std::find(buttons.begin(), buttons.end(), b) != buttons.end(); };
    if (assumeYes_) {
        for (TMsgButton b : {TMsgButton::YesToAll, TMsgButton::Yes, TMsgButton::OK})
            if (has(b))
                return ResultOf(b);
    }
    const std::string question = WithCaption(text, title);
    if (!interactive_ || assumeYes_) {
        console_.Err(question + "\n" + RefusalNote);
        return mrCancel;
    }
    auto captionOf = [&](size_t i) {
        return i < captions.size() && !captions[i].empty() ? captions[i] : std::string("?");
    };
    std::string menu;
    for (size_t i = 0; i < buttons.size(); ++i)
        menu += (i ? "  " : "") + std::to_string(i + 1) + ") " + captionOf(i);
    for (;;) {
        console_.Ask(question + "\n" + menu + "\n> ");
        std::string answer;
        if (!ReadAnswer(answer))
            return mrCancel;
        const std::string lower = LowerAscii(answer);
        // A number, the whole caption, or a first letter that only one caption has.
        int picked = -1;
        for (size_t i = 0; i < buttons.size(); ++i) {
            if (lower == std::to_string(i + 1) || lower == LowerAscii(captionOf(i)))
                picked = static_cast<int>(i);
        }
        if (picked < 0 && lower.size() == 1) {
            int matches = 0;
            for (size_t i = 0; i < buttons.size(); ++i) {
                if (LowerAscii(captionOf(i)).substr(0, 1) == lower) {
                    picked = static_cast<int>(i);
                    ++matches;
                }
            }
            if (matches != 1)
                picked = -1;
        }
        if (picked >= 0)
            return ResultOf(buttons[static_cast<size_t>(picked)]);
    }
}

int TTerminalPrompter::AskYesNoCancel(const std::string& text, const std::string& caption, TMsgIcon, int defaultButton)
{
    if (assumeYes_)
        return mrYes;
    const std::string question = WithCaption(text, caption);
    if (!interactive_) {
        console_.Err(question + "\n" + RefusalNote);
        return mrCancel;
    }
    const int results[] = {mrYes, mrNo, mrCancel};
    const char* keys[] = {"y", "n", "c"};
    const int def = defaultButton >= 1 && defaultButton <= 3 ? defaultButton - 1 : 0;
    std::string menu = "[";
    for (int i = 0; i < 3; ++i)
        menu += std::string(i ? "/" : "") + (i == def ? std::string(1, static_cast<char>(std::toupper(*keys[i]))) : keys[i]);
    menu += "] ";
    for (;;) {
        console_.Ask(question + " " + menu);
        std::string answer;
        if (!ReadAnswer(answer))
            return mrCancel;
        const std::string lower = LowerAscii(answer);
        if (lower.empty())
            return results[def];
        for (int i = 0; i < 3; ++i) {
            const std::string words[] = {"yes", "no", "cancel"};
            if (lower == keys[i] || lower == words[i])
                return results[i];
        }
    }
}

std::vector<std::string> TTerminalPrompter::TakeFileMessages(const std::string& file)
{
    std::vector<std::string> result;
    auto it = kept_.begin();
    while (it != kept_.end()) {
        if (it->first == file) {
            result.push_back(it->second);
            it = kept_.erase(it);
        } else {
            ++it;
        }
    }
    return result;
}

std::vector<std::pair<std::string, std::string>> TTerminalPrompter::TakeAllFileMessages()
{
    auto all = std::move(kept_);
    kept_.clear();
    return all;
}

// ---- Progress ----

std::string ProgressLine(const TProgressFigures& figures)
{
    auto label = [&](TProgressLabel l) {
        const auto it = figures.Labels.find(l);
        return it == figures.Labels.end() ? std::string() : it->second;
    };
    std::string line;
    auto add = [&](const std::string& piece) {
        if (piece.empty())
            return;
        if (!line.empty())
            line += "  ";
        line += piece;
    };
    auto timed = [&](const std::string& caption, TProgressLabel l) {
        const std::string value = label(l);
        if (!value.empty())
            add(TerminalText(caption) + " " + value);
    };
    // Figures first, so that a narrow terminal cuts the file name, not them.
    add(label(TProgressLabel::Status));
    add(label(TProgressLabel::Batch));
    timed(IDS_CONVERTING_LABEL_RemainingTime, TProgressLabel::BatchRemaining);
    timed(IDS_CONVERTING_LABEL_ElapsedTime, TProgressLabel::BatchElapsed);
    timed(IDS_CONVERTING_LABEL_EstiamtedTime, TProgressLabel::BatchEstimated);
    add(label(TProgressLabel::Working));
    std::string running;
    for (const TRunningFile& file : figures.Running)
        running += (running.empty() ? "" : ", ") + TerminalName(file.Name) + " " + std::to_string(file.Percent) + "%";
    if (!running.empty())
        line += ": " + running;
    return line;
}

TTerminalProgressView::TTerminalProgressView(TConsole& console, TEventLoop& loop,
                                             const std::atomic<bool>& stopRequested)
    : console_(console), loop_(loop), stopRequested_(stopRequested)
{
}

void TTerminalProgressView::SetLabel(TProgressLabel label, const std::string& text)
{
    // A label is one line, also when the file name in it holds a line break.
    const std::string shown = qvtext::VisibleText(text);
    std::string& slot = figures_.Labels[label];
    if (slot != shown) {
        slot = shown;
        dirty_ = true;
    }
}

void TTerminalProgressView::SetStatusProgress(int percent)
{
    if (figures_.FilePercent != percent) {
        figures_.FilePercent = percent;
        dirty_ = true;
    }
}

void TTerminalProgressView::SetBatchProgress(int percent)
{
    if (figures_.BatchPercent != percent) {
        figures_.BatchPercent = percent;
        dirty_ = true;
    }
}

void TTerminalProgressView::SetRunningFiles(const std::vector<TRunningFile>& files)
{
    figures_.Running = files;
    dirty_ = true;
}

void TTerminalProgressView::ResetProgress()
{
    figures_ = TProgressFigures{};
    animation_ = false;
    dirty_ = true;
}

void TTerminalProgressView::Render(bool force)
{
    if (!dirty_)
        return;
    const double now =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    if (console_.StatusLineShown()) {
        if (!force && now - lastDraw_ < 0.1)
            return;
        console_.ShowStatus(ProgressLine(figures_));
    } else {
        // Plain lines for logs: the file that starts, then every tenth of it;
        // with several files at once, every tenth of the batch.
        const bool several = !figures_.Running.empty();
        const std::string working = figures_.Labels[TProgressLabel::Working];
        if (!several && !working.empty() && working != lastWorking_) {
            lastWorking_ = working;
            lastPlainStep_ = -1;
            console_.Out(working);
        }
        const int percent = several ? figures_.BatchPercent : figures_.FilePercent;
        const int step = percent / 10;
        if (!working.empty() && percent > 0 && step > lastPlainStep_) {
            lastPlainStep_ = step;
            console_.Out(ProgressLine(figures_));
        }
    }
    lastDraw_ = now;
    dirty_ = false;
}

int TTerminalProgressView::ShowModal()
{
    if (OnModalStart)
        OnModalStart();
    int result = mrOk;
    while (!finished_) {
        if (stopRequested_) {
            result = mrCancel;
            break;
        }
        loop_.ProcessEvents(100);
        Render(false);
    }
    console_.ClearStatus();
    if (OnModalEnd)
        OnModalEnd();
    return result;
}

} // namespace qvcli
