#include "engine/OutputParser.h"

#include "app/AppUtils.h"
#include "app/VisibleText.h"

#include <algorithm>
#include <charconv>
#include <type_traits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "engine/Redirect.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "platform/TextRules.h"

namespace {

// A whole text read as a number ("." as the decimal point, an optional "+");
// false for anything else.
template <typename T>
bool ReadWhole(const std::string& text, T& value)
{
    std::string t = TrimText(text);
    if (t.empty())
        return false;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (*first == '+')
        ++first;
    std::from_chars_result r;
    if constexpr (std::is_floating_point_v<T>)
        r = std::from_chars(first, last, value, std::chars_format::general);
    else
        r = std::from_chars(first, last, value);
    if (r.ec != std::errc() || r.ptr != last)
        return false;
    if constexpr (std::is_floating_point_v<T>)
        return std::isfinite(value);
    return true;
}

bool ReadNumber(const std::string& text, double& value) { return ReadWhole(text, value); }
bool ReadInteger(const std::string& text, int64_t& value) { return ReadWhole(text, value); }

int32_t ClampToInt32(double v)
{
    if (v >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (v <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(RoundHalfEven(v));
}

// The command line with every double-quoted part blanked out, so that file
// names cannot be mistaken for options when markers are looked for.
std::string MaskQuotedParts(const std::string& commandLine)
{
    std::string masked = commandLine;
    bool quoted = false;
    for (size_t i = 0; i < masked.size(); ++i) {
        char c = commandLine[i];
        if (quoted) {
            if (c == '\\' && i + 1 < masked.size() && (commandLine[i + 1] == '"' || commandLine[i + 1] == '\\')) {
                masked[i] = '_';
                masked[++i] = '_';
                continue;
            }
            if (c == '"')
                quoted = false;
            else
                masked[i] = '_';
        } else if (c == '"') {
            quoted = true;
        }
    }
    return masked;
}

// TextBetween with the markers searched in Masked (Text with its quoted parts
// blanked out, or Text itself) and the value taken from Text.
std::string OptionBetween(const std::string& text, const std::string& masked, const std::string& startMarker,
                          const std::string& endMarker)
{
    size_t s = masked.find(startMarker);
    if (s == std::string::npos)
        return {};
    size_t p = s + startMarker.size();
    if (p + 1 > masked.size())
        return {};
    size_t e = masked.find(endMarker, p + 1);
    if (e == std::string::npos)
        return {};
    return TrimText(text.substr(p, e - p));
}

// The file names of the running conversion, as they stand on the command line
// and as the encoder writes them (qvtext::VisibleText): the source, the input
// (a script) and the output, longest first.
std::vector<std::string> ConversionNames(const std::string& commandLine, const std::string& source)
{
    std::vector<std::string> raw = {source};
    const std::vector<std::string> args = SplitCommandLine(commandLine);
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "-i")
            raw.push_back(args[i + 1]);
    if (args.size() > 1)
        raw.push_back(args.back());
    std::vector<std::string> names;
    for (const std::string& name : raw) {
        if (name.empty())
            continue;
        names.push_back(name);
        names.push_back(qvtext::VisibleText(name));
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return names;
}

} // namespace

std::string LineWithoutNames(const std::string& line, const std::vector<std::string>& names)
{
    std::string text = line;
    for (const std::string& name : names) {
        if (name.empty())
            continue;
        // The search goes on after the inserted quotes: a name such as "'"
        // must not be found again inside them.
        for (size_t p = 0; (p = text.find(name, p)) != std::string::npos; p += 2)
            text.replace(p, name.size(), "''");
    }
    return text;
}

bool IsErrorLine(const std::string& line, const std::vector<std::string>& names)
{
    if (line.rfind("Error", 0) == 0)
        return line.rfind("Error while decoding stream", 0) != 0;
    // The phrases count anywhere in the line, but never inside a file name.
    const std::string text = LineWithoutNames(line, names);
    return text.find("No audio or video streams available") != std::string::npos ||
           text.find("I/O error occured") != std::string::npos || text.find("Could not open") != std::string::npos;
}

namespace {

// Keeps the text of an encoder's "Note:" line for the current file (each
// text once, and a bounded number of them).
void KeepNote(const std::string& line, std::vector<std::string>& notes)
{
    const size_t MaxNotes = 50;
    std::string text = TrimText(line.substr(NotePrefix().size()));
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    if (text.empty() || notes.size() >= MaxNotes || std::find(notes.begin(), notes.end(), text) != notes.end())
        return;
    notes.push_back(text);
}

void ShowProgress(TFileProgress& f, TProgressView& view)
{
    TOptions& o = Options;
    const TDateTime now = MonotonicNow();
    const TDateTime batchElapsed = now - o.BatchStartTime;
    view.SetLabel(TProgressLabel::BatchElapsed, FormatSpan(batchElapsed));

    if (f.FileDuration != 0 && f.FileTime != 0) {
        double percent = static_cast<double>(f.FileTime) / f.FileDuration * 100.0;
        // A position before the start (negative times) shows 0 %.
        f.FilePercent = std::clamp<int32_t>(ClampToInt32(percent), 0, 100);
        view.SetLabel(TProgressLabel::Status, CaptionedFigure(IDS_CONVERTING_Status, std::to_string(f.FilePercent) + "%"));
        view.SetStatusProgress(f.FilePercent);

        const TDateTime fileElapsed = now - f.FileStartTime;
        const TDateTime fileEstimated = static_cast<double>(f.FileDuration) * fileElapsed / f.FileTime;
        view.SetLabel(TProgressLabel::StatusRemaining, FormatSpan(fileEstimated - fileElapsed));

        o.BatchDoneSize = f.CurrentFileSize * f.FilePercent / 100 + o.FinishedSize;
        if (o.BatchDoneSize != 0 && o.BatchTotalSize != 0) {
            double batchPercent = static_cast<double>(o.BatchDoneSize) / static_cast<double>(o.BatchTotalSize) * 100.0;
            o.BatchPercent = std::min<int32_t>(ClampToInt32(batchPercent), 100);
            view.SetLabel(TProgressLabel::Batch, CaptionedFigure(IDS_ID_BATCH, std::to_string(o.BatchPercent) + "%"));
            view.SetBatchProgress(o.BatchPercent);
            const TDateTime batchEstimated =
                static_cast<double>(o.BatchTotalSize) * batchElapsed / static_cast<double>(o.BatchDoneSize);
            view.SetLabel(TProgressLabel::BatchEstimated, FormatSpan(batchEstimated));
            view.SetLabel(TProgressLabel::BatchRemaining, FormatSpan(batchEstimated - batchElapsed));
        }
    }

    view.SetLabel(TProgressLabel::Working,
                  FormatText(IDS_ID_WORKING, {o.DoneCount + o.FailedCount + 1, o.FileCount,
                                              FileNamePart(f.ReportedInputFile)}));
    view.SetLabel(TProgressLabel::Output, FormatText(IDS_LABEL_OutputFile, {FileNamePart(f.ReportedOutputFile)}));
    if (!view.AnimationRunning()) {
        view.StartAnimation();
        view.SetLabel(TProgressLabel::Covnerting, IDS_CONVERTING_LABEL_Converting);
    }
    view.SetTrayHint(FormatText(IDS_MAIN_MENUITEM_Hint, {f.ReportedInputFile, f.FilePercent}));
}

void ExamineLine(const std::string& line, const std::string& commandLine, const std::string& maskedCommandLine,
                 const std::vector<std::string>& names, TFileProgress& f, TProgressView* view, TPrompter& prompter)
{
    if (TrimText(line).empty() || !view)
        return;
    // An adjustment the encoder made: kept for the file's report, and never
    // an error line, whatever it quotes.
    if (IsNoteLine(line)) {
        KeepNote(line, f.FileNotes);
        return;
    }
    // The number of the free name the encoder gave its output ("-replace number").
    if (line.rfind("Output number: ", 0) == 0) {
        int number = 0;
        const char* digits = line.data() + 15;
        auto [end, ec] = std::from_chars(digits, line.data() + line.size(), number);
        if (ec == std::errc() && end != digits && number >= 1)
            f.OutputNumber = number;
        return;
    }
    // The loudness figures belong to the file's result, not to its notes.
    if (const std::string prefix = "Loudness: "; line.rfind(prefix, 0) == 0) {
        f.Loudness = TrimText(line.substr(prefix.size()));
        for (char& c : f.Loudness)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                c = '?';
        return;
    }

    if (line.find("Input #0, ") != std::string::npos) {
        std::string v = TextBetween(line, "from '", "':");
        if (v != "N/A")
            f.ReportedInputFile = v;
        if (FileExtension(f.ReportedInputFile) == ".avs")
            f.ReportedInputFile = f.CurrentFile;
    }
    if (line.find("Output #0, ") != std::string::npos) {
        std::string v = TextBetween(line, "to '", "':");
        if (v != "N/A")
            f.ReportedOutputFile = v;
    }
    if (line.compare(0, 12, "  Duration: ") == 0) {
        size_t comma = line.find(',');
        std::string v = comma == std::string::npos || comma < 12 ? std::string() : TrimText(line.substr(12, comma - 12));
        if (v != "N/A")
            f.FileDuration = static_cast<int32_t>(static_cast<uint32_t>(DurationTextToMs(v)));
    }
    // A profile with a time range: the output is only that long.
    if (maskedCommandLine.find(" -t ") != std::string::npos) {
        int64_t t = DurationTextToMs(OptionBetween(commandLine, maskedCommandLine, " -t ", " -ss "));
        int64_t s = DurationTextToMs(OptionBetween(commandLine, maskedCommandLine, " -ss ", " "));
        if (t + s < f.FileDuration)
            f.FileDuration = static_cast<int32_t>(t);
    }
    if (line.find(" time=") != std::string::npos) {
        std::string v = TextBetween(line, " time=", " ");
        double seconds;
        if (v == "N/A") {
        } else if (v == "10000000000.0") {
            f.FileTime = 0;
        } else if (ReadNumber(v, seconds)) {
            f.FileTime = ClampToInt32(seconds * 1000.0);
        }
    }
    if (line.find(" bitrate=") != std::string::npos) {
        std::string v = TextBetween(line, " bitrate=", "kbits/s");
        double number;
        if (v != "N/A" && ReadNumber(v, number))
            f.ReportedBitrate = ClampToInt32(number);
    }
    if (line.find("size=") != std::string::npos) {
        std::string v = TextBetween(line, "size=", "kB ");
        double number;
        if (v != "N/A" && ReadNumber(v, number))
            f.ReportedSize = ClampToInt32(number);
    }

    ShowProgress(f, *view);

    if (IsErrorLine(line, names)) {
        f.CurrentFileFailed = true;
        prompter.MessageBox(line, IDS_MESSAGEBOX_Error, TMsgIcon::Information);
    }
}

} // namespace

const std::string& NotePrefix()
{
    static const std::string prefix = "Note: ";
    return prefix;
}

bool IsNoteLine(const std::string& line) { return line.rfind(NotePrefix(), 0) == 0; }

int64_t RoundHalfEven(double value)
{
    // The default rounding mode rounds to nearest with halves to even.
    const double r = std::nearbyint(value);
    // 2^63 as a double; values outside the 64-bit range (and NaN) have no
    // integer, so they take the nearest limit (NaN gives 0).
    constexpr double two63 = 9223372036854775808.0;
    if (r >= two63)
        return std::numeric_limits<int64_t>::max();
    if (r < -two63)
        return std::numeric_limits<int64_t>::min();
    if (std::isnan(r))
        return 0;
    return static_cast<int64_t>(r);
}

std::string TextBetween(const std::string& text, const std::string& startMarker, const std::string& endMarker)
{
    return OptionBetween(text, text, startMarker, endMarker);
}

int64_t DurationTextToMs(const std::string& text)
{
    const std::vector<std::string> parts = SplitText(text, ':');
    int64_t hours = 0, minutes = 0;
    double seconds = 0;
    if (parts.size() > 0 && !ReadInteger(parts[0], hours))
        hours = 0;
    if (parts.size() > 1 && !ReadInteger(parts[1], minutes))
        minutes = 0;
    if (parts.size() > 2 && !ReadNumber(parts[2], seconds))
        seconds = 0;
    // Each part and the sum are held within +-2^60 ms (far beyond any real
    // duration), so that sums of such results cannot overflow either.
    static constexpr int64_t limit = int64_t(1) << 60;
    auto part = [](int64_t count, int64_t unit) {
        int64_t ms;
        if (__builtin_mul_overflow(count, unit, &ms))
            return count < 0 ? -limit : limit;
        return std::clamp(ms, -limit, limit);
    };
    const int64_t total = part(hours, 3600000) + part(minutes, 60000) + part(RoundHalfEven(seconds * 1000.0), 1);
    return std::clamp(total, -limit, limit);
}

std::string FormatSpan(TDateTime span)
{
    if (!(span > 0))
        return "0:00:00";
    int64_t ms = static_cast<int64_t>(std::llround(span * 86400000.0)) % 86400000;
    int64_t secs = ms / 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60),
                  static_cast<int>(secs % 60));
    return buf;
}

void ParseEncoderText(const std::string& chunk, bool processExited, const std::string& fullCommandLine,
                      TFileProgress& file, TProgressView* view, TPrompter& prompter)
{
    std::string text = chunk;
    if (size_t p = text.find("Input"); p != std::string::npos)
        text.erase(0, p);

    // Every line break becomes CR LF; a CR LF pair stays one break.
    std::string normal;
    normal.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            normal += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            normal += "\r\n";
        } else {
            normal += c;
        }
    }
    text = file.PendingOutput + normal;
    file.PendingOutput.clear();

    if (!processExited) {
        size_t last = text.rfind("\r\n");
        if (last == std::string::npos) {
            file.PendingOutput = std::move(text);
            return;
        }
        file.PendingOutput = text.substr(last + 2);
        text.erase(last + 2);
    }

    const std::string masked = MaskQuotedParts(fullCommandLine);
    const std::vector<std::string> names = ConversionNames(fullCommandLine, file.CurrentFile);
    size_t start = 0;
    while (start < text.size()) {
        size_t br = text.find("\r\n", start);
        std::string line = text.substr(start, br == std::string::npos ? std::string::npos : br - start);
        ExamineLine(line, fullCommandLine, masked, names, file, view, prompter);
        if (br == std::string::npos)
            break;
        start = br + 2;
    }
}

void ParseEncoderOutput(TRedirector& sender, const char* buffer, uint32_t size, TFileProgress& file,
                        TProgressView* view, TPrompter& prompter)
{
    ParseEncoderText(std::string(buffer, size), sender.ProcessExited(), sender.FullCommandLine(), file, view,
                     prompter);
}
