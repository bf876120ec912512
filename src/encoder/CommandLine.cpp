#include "encoder/CommandLine.h"

#include "encoder/Loudness.h"

#include "platform/MoveIntoPlace.h"
#include "platform/TextRules.h"

#include <charconv>
#include <cmath>

namespace avcore {

namespace {

struct TOptionRow {
    const char* name;
    std::string TRequest::*text; // value option: where its value goes
    bool TRequest::*flag;        // flag option: which flag it sets
};

const TOptionRow OptionRows[] = {
    {"-f", &TRequest::format, nullptr},
    {"-t", &TRequest::duration, nullptr},
    {"-ss", &TRequest::start, nullptr},
    {"-vcodec", &TRequest::videoCodec, nullptr},
    {"-s", &TRequest::size, nullptr},
    {"-b", &TRequest::videoBitrate, nullptr},
    {"-r", &TRequest::frameRate, nullptr},
    {"-aspect", &TRequest::aspect, nullptr},
    {"-target", &TRequest::target, nullptr},
    {"-acodec", &TRequest::audioCodec, nullptr},
    {"-ac", &TRequest::channels, nullptr},
    {"-ab", &TRequest::audioBitrate, nullptr},
    {"-ar", &TRequest::sampleRate, nullptr},
    {"-strict", &TRequest::strict, nullptr},
    {"-crf", &TRequest::crf, nullptr},
    {"-speed", &TRequest::speed, nullptr},
    {"-aq", &TRequest::audioQuality, nullptr},
    {"-compression_level", &TRequest::compressionLevel, nullptr},
    {"-replace", &TRequest::replace, nullptr},
    {"-map_metadata", &TRequest::mapMetadata, nullptr},
    {"-loudness", &TRequest::loudness, nullptr},
    {"-truepeak", &TRequest::truePeak, nullptr},
    {"-loudness-of", &TRequest::loudnessOf, nullptr},
    {"-loudness-album", &TRequest::loudnessAlbum, nullptr},
    {"-p", &TRequest::accessCode, nullptr},
    {"-i", &TRequest::input, nullptr},
    {"-sameq", nullptr, &TRequest::sameQuality},
    {"-an", nullptr, &TRequest::noAudio},
    {"-vn", nullptr, &TRequest::noVideo},
    {"-copyfit", nullptr, &TRequest::copyFitting},
    {"-y", nullptr, nullptr},
};

const std::vector<TContainer> ContainerRows = {
    {"avi", "avi", ".avi"},
    {"mp4", "mp4", ".mp4 .m4v .m4a"},
    {"psp", "psp", ""},
    {"ipod", "ipod", ""},
    {"3gp", "3gp", ".3gp"},
    {"3g2", "3g2", ".3g2"},
    {"mpeg mpg mpeg1", "mpeg", ".mpg .mpeg .m1v"},
    {"vob", "vob", ".vob"},
    {"mov", "mov", ".mov .qt"},
    {"asf wmv", "asf", ".asf .wmv .wma"},
    {"rm", "rm", ".rm .rmvb .ra"},
    {"swf", "swf", ".swf"},
    {"flv", "flv", ".flv"},
    {"matroska mkv", "matroska", ".mkv .mka"},
    {"webm", "webm", ".webm"},
    {"ogg", "ogg", ".ogg .oga"},
    {"opus", "opus", ".opus"},
    {"flac", "flac", ".flac"},
    {"aac adts", "adts", ".aac"},
    {"ac3", "ac3", ".ac3"},
    {"mp2", "mp2", ".mp2"},
    {"mp3", "mp3", ".mp3"},
    {"amr", "amr", ".amr"},
    {"wav", "wav", ".wav"},
};

// True when Word is one of the blank-separated words of List.
bool InWordList(const char* list, const std::string& word)
{
    if (word.empty())
        return false;
    const std::string padded = std::string(" ") + list + " ";
    return padded.find(" " + word + " ") != std::string::npos;
}

// A value quoted in a message: control characters shown as "?".
std::string Printable(std::string s)
{
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return s;
}

std::string ContainerList()
{
    std::string list;
    for (const TContainer& c : ContainerRows) {
        std::string name = c.names;
        list += (list.empty() ? "" : ", ") + name.substr(0, name.find(' '));
    }
    return list;
}

const TOptionRow* FindOption(const std::string& arg)
{
    for (const TOptionRow& row : OptionRows)
        if (arg == row.name)
            return &row;
    return nullptr;
}

} // namespace

const std::vector<TContainer>& Containers() { return ContainerRows; }

const TContainer* ContainerByName(const std::string& name)
{
    const std::string wanted = LowerAscii(name);
    for (const TContainer& c : ContainerRows)
        if (InWordList(c.names, wanted))
            return &c;
    return nullptr;
}

const TContainer* ContainerByExtension(const std::string& extension)
{
    const std::string wanted = LowerAscii(extension);
    if (wanted.size() < 2 || wanted[0] != '.')
        return nullptr;
    for (const TContainer& c : ContainerRows)
        if (InWordList(c.extensions, wanted))
            return &c;
    return nullptr;
}

bool ParseRequest(const std::vector<std::string>& args, TRequest& req, std::string& error)
{
    req = TRequest();
    for (const std::string& a : args)
        if (a == "--help" || a == "-h" || a == "-help") {
            req.help = true;
            return true;
        }
    if (args.empty()) {
        error = "no arguments given (see --help)";
        return false;
    }
    bool haveInput = false;
    const size_t last = args.size() - 1;
    for (size_t i = 0; i < last; ++i) {
        const std::string& arg = args[i];
        const TOptionRow* row = FindOption(arg);
        if (!row) {
            error = "unrecognized option '" + arg + "'";
            return false;
        }
        if (!row->text) {
            if (row->flag)
                req.*(row->flag) = true;
            continue;
        }
        // An empty time value disappears when the line is split at blanks:
        // "-t  -ss  -vn" then reads as two time options without values.
        bool isTime = arg == "-t" || arg == "-ss";
        if (isTime && (i + 1 >= last || FindOption(args[i + 1]))) {
            req.*(row->text) = "";
            continue;
        }
        if (i + 1 >= last) {
            error = "option '" + arg + "' needs a value";
            return false;
        }
        req.*(row->text) = args[++i];
        if (arg == "-p")
            req.haveAccessCode = true;
        if (arg == "-i")
            haveInput = true;
    }
    if (!haveInput) {
        error = "no input file given (-i)";
        return false;
    }
    req.output = args[last];
    if (req.output.empty()) {
        error = "empty output file name";
        return false;
    }
    if (req.input.empty()) {
        error = "empty input file name";
        return false;
    }
    TReplaceGrant grant;
    if (!req.replace.empty() && !ParseReplaceGrant(req.replace, grant)) {
        error = "-replace takes none, any, number or DEVICE:INODE, not '" + Printable(req.replace) + "'";
        return false;
    }
    if (!req.mapMetadata.empty() && req.mapMetadata != "-1") {
        error = "-map_metadata takes only -1 (no tags), not '" + Printable(req.mapMetadata) + "'";
        return false;
    }
    if (!req.loudness.empty()) {
        const std::optional<double> n = ParseNumber(req.loudness);
        if (!n || *n < -70 || *n > -5) {
            error = "-loudness takes a target from -70 to -5 LUFS, not '" + Printable(req.loudness) + "'";
            return false;
        }
    }
    if (!req.truePeak.empty()) {
        const std::optional<double> n = ParseNumber(req.truePeak);
        if (!n || *n < -9 || *n > 0) {
            error = "-truepeak takes a ceiling from -9 to 0 dBTP, not '" + Printable(req.truePeak) + "'";
            return false;
        }
    }
    if (!req.loudnessOf.empty() && !ParseLoudnessFigures(req.loudnessOf)) {
        error = "-loudness-of takes I,LRA,TP (such as -20.5,6.1,-0.3), not '" + Printable(req.loudnessOf) + "'";
        return false;
    }
    // Only documented containers: any other ffmpeg muxer (image sequences,
    // network protocols, ...) would write something nobody asked for.
    if (!req.format.empty() && !ContainerByName(req.format)) {
        error = "unknown container '" + Printable(req.format) + "' for -f (known: " + ContainerList() + ")";
        return false;
    }
    if (req.format.empty() && req.target.empty() && !ContainerByExtension(FileExtension(req.output))) {
        const std::string ext = FileExtension(req.output);
        error = (ext.empty() ? std::string("the output name has no extension")
                             : "the output extension '" + Printable(ext) + "' names no known container") +
                "; give one with -f (known: " + ContainerList() + ")";
        return false;
    }
    return true;
}

std::optional<double> ParseNumber(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    double d = 0;
    const char* b = text.data();
    const char* e = b + text.size();
    if (*b == '+')
        ++b;
    auto [p, ec] = std::from_chars(b, e, d);
    if (ec != std::errc() || p != e || !std::isfinite(d))
        return std::nullopt;
    return d;
}

std::optional<double> ParseTimeText(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    // Up to three ":"-separated parts; the last may carry a fraction.
    const std::vector<std::string> parts = SplitText(text, ':');
    if (parts.size() > 3)
        return std::nullopt;
    double total = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& p = parts[i];
        if (p.empty())
            return std::nullopt;
        bool last = i + 1 == parts.size();
        for (char ch : p)
            if (!(ch >= '0' && ch <= '9') && !(last && ch == '.'))
                return std::nullopt;
        auto v = ParseNumber(p);
        if (!v)
            return std::nullopt;
        total = total * 60 + *v;
    }
    return total;
}

std::optional<long long> ParseBitrate(const std::string& text, bool allowZero)
{
    if (text.empty())
        return std::nullopt;
    std::string digits = text;
    double scale = 0; // 0: decide by size
    char suffix = digits.back();
    if (suffix == 'k' || suffix == 'K') {
        scale = 1000;
        digits.pop_back();
    } else if (suffix == 'm' || suffix == 'M') {
        scale = 1000000;
        digits.pop_back();
    }
    auto v = ParseNumber(digits);
    if (!v || *v < 0 || (!allowZero && *v == 0))
        return std::nullopt;
    if (scale == 0)
        scale = *v <= 10000 ? 1000 : 1;
    double bits = *v * scale;
    if (bits > 1e10)
        return std::nullopt;
    // A fraction of a bit per second is zero once rounded.
    const long long rounded = std::llround(bits);
    if (!allowZero && rounded == 0)
        return std::nullopt;
    return rounded;
}

} // namespace avcore
