#include "encoder/OutputCheck.h"

#include <algorithm>
#include <charconv>

namespace avcore {

namespace {

bool ReadCount(const std::string& text, size_t end, long long& value)
{
    size_t begin = end;
    while (begin > 0 && text[begin - 1] >= '0' && text[begin - 1] <= '9')
        --begin;
    if (begin == end)
        return false;
    auto [ptr, ec] = std::from_chars(text.data() + begin, text.data() + end, value);
    return ec == std::errc() && ptr == text.data() + end;
}

} // namespace

bool ParseMuxedStreamLine(const std::string& line, TMuxedStream& stream)
{
    const std::string head = "Output stream #";
    size_t p = line.find_first_not_of(' ');
    if (p == std::string::npos || line.compare(p, head.size(), head) != 0)
        return false;
    p += head.size();
    size_t open = line.find(" (", p);
    size_t close = open == std::string::npos ? open : line.find("): ", open);
    if (close == std::string::npos)
        return false;
    size_t muxed = line.find(" packets muxed", close);
    TMuxedStream s;
    if (muxed == std::string::npos || !ReadCount(line, muxed, s.packets))
        return false;
    s.id = line.substr(p, open - p);
    s.type = line.substr(open + 2, close - open - 2);
    stream = s;
    return true;
}

std::vector<std::string> EmptyStreamKinds(const std::vector<TMuxedStream>& streams)
{
    std::vector<std::string> kinds;
    for (const TMuxedStream& s : streams)
        if ((s.type == "video" || s.type == "audio") && s.packets == 0
            && std::find(kinds.begin(), kinds.end(), s.type) == kinds.end())
            kinds.push_back(s.type);
    return kinds;
}

std::string SplitLevelTag(const std::string& line, std::string& rest)
{
    size_t p = 0;
    for (;;) {
        if (p >= line.size() || line[p] != '[')
            break;
        size_t close = line.find("] ", p);
        if (close == std::string::npos)
            break;
        const std::string tag = line.substr(p + 1, close - p - 1);
        if (tag.find(" @ ") != std::string::npos) { // a context: "[mp3 @ 0x55d0c8]"
            p = close + 2;
            continue;
        }
        static const char* const Levels[] = {"quiet", "panic", "fatal", "error", "warning",
                                             "info", "verbose", "debug", "trace"};
        if (std::find(std::begin(Levels), std::end(Levels), tag) == std::end(Levels))
            break;
        rest = line.substr(close + 2);
        return tag;
    }
    rest = line;
    return {};
}

} // namespace avcore
