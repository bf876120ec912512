#include "encoder/CommandLine.h"

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
    {"-p", &TRequest::accessCode, nullptr},
    {"-i", &TRequest::input, nullptr},
    {"-sameq", nullptr, &TRequest::sameQuality},
    {"-an", nullptr, &TRequest::noAudio},
    {"-vn", nullptr, &TRequest::noVideo},
    {"-y", nullptr, nullptr},
};

const TOptionRow* FindOption(const std::string& arg)
{
    for (const TOptionRow& row : OptionRows)
        if (arg == row.name)
            return &row;
    return nullptr;
}

} // namespace

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
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        size_t c = text.find(':', from);
        parts.push_back(text.substr(from, c == std::string::npos ? std::string::npos : c - from));
        if (c == std::string::npos)
            break;
        from = c + 1;
    }
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
