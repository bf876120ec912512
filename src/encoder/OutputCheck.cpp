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

bool IsOutputWriteError(const std::string& message)
{
    for (const char* start : {"Error writing trailer", "Error closing file", "av_interleaved_write_frame()",
                              "Error muxing a packet", "Error submitting a packet to the muxer"})
        if (message.rfind(start, 0) == 0)
            return true;
    return message.find("faststart") != std::string::npos || message.find("second pass") != std::string::npos;
}

} // namespace avcore
