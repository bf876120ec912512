#include "encoder/Console.h"

#include "encoder/CommandLine.h"
#include "encoder/Process.h"

#include "app/VisibleText.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace avcore {

std::string DurationText(double seconds)
{
    if (seconds < 0)
        return "N/A";
    long long cs = std::llround(seconds * 100);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld.%02lld", cs / 360000, cs / 6000 % 60, cs / 100 % 60, cs % 100);
    return buf;
}

namespace {

std::string StreamLine(int file, int index, const TStreamFacts& s)
{
    char buf[256];
    if (s.type == "video") {
        std::snprintf(buf, sizeof buf, "    Stream #%d.%d: Video: %s, %s, %dx%d, %.2f fps\n", file, index,
                      s.codec.empty() ? "unknown" : s.codec.c_str(), s.pixelFormat.empty() ? "N/A" : s.pixelFormat.c_str(),
                      s.width, s.height, s.frameRate);
    } else if (s.type == "audio") {
        std::snprintf(buf, sizeof buf, "    Stream #%d.%d: Audio: %s, %d Hz, %d channels, %s\n", file, index,
                      s.codec.empty() ? "unknown" : s.codec.c_str(), s.sampleRate, s.channels,
                      s.sampleFormat.empty() ? "N/A" : s.sampleFormat.c_str());
    } else {
        std::snprintf(buf, sizeof buf, "    Stream #%d.%d: %s: %s\n", file, index,
                      s.type.empty() ? "Data" : s.type.c_str(), s.codec.empty() ? "unknown" : s.codec.c_str());
    }
    return buf;
}

} // namespace

std::string InputHeader(const std::string& shownName, const TSourceFacts& facts)
{
    std::string out = "Input #0, " + (facts.formatName.empty() ? std::string("N/A") : facts.formatName) + ", from '"
                      + qvtext::VisibleText(shownName) + "':\n";
    char buf[160];
    std::string bitrate = facts.bitRate > 0 ? std::to_string(facts.bitRate / 1000) + " kb/s" : "N/A";
    std::snprintf(buf, sizeof buf, "  Duration: %s, start: %.6f, bitrate: %s\n", DurationText(facts.duration).c_str(),
                  facts.start, bitrate.c_str());
    out += buf;
    for (size_t i = 0; i < facts.streams.size(); ++i)
        out += StreamLine(0, static_cast<int>(i), facts.streams[i]);
    return out;
}

std::string OutputHeader(const std::string& outputName, const TPlan& plan, const TSourceFacts& facts)
{
    std::string out = "Output #0, " + plan.formatName + ", to '" + qvtext::VisibleText(outputName) + "':\n";
    int index = 0;
    if (plan.writeVideo) {
        const TStreamFacts* v = facts.firstVideo();
        std::string size = !plan.sizeText.empty() ? plan.sizeText
                           : v                    ? std::to_string(v->width) + "x" + std::to_string(v->height)
                                                  : std::string("N/A");
        out += "    Stream #0." + std::to_string(index++) + ": Video: "
               + (plan.videoEncoder.empty() ? std::string("default") : plan.videoEncoder) + ", " + size + "\n";
    }
    if (plan.writeAudio) {
        const TStreamFacts* a = facts.firstAudio();
        int rate = plan.sampleRate > 0 ? plan.sampleRate : (a ? a->sampleRate : 0);
        int channels = plan.channels > 0 ? plan.channels : (a ? a->channels : 0);
        std::string codec = plan.audioEncoder.empty() ? std::string("default") : plan.audioEncoder;
        if (plan.amr) {
            char mode[32];
            std::snprintf(mode, sizeof mode, ", %.2f kb/s", plan.amrMode.kbps);
            codec += mode;
        }
        out += "    Stream #0." + std::to_string(index++) + ": Audio: " + codec + ", " + std::to_string(rate) + " Hz, "
               + std::to_string(channels) + " channels\n";
    }
    return out;
}

// ffmpeg's messages without the "[codec @ 0x...] " prefix and the "file:" we add to names.
std::string CleanMessage(std::string line)
{
    if (!line.empty() && line.front() == '[') {
        size_t close = line.find("] ");
        if (close != std::string::npos && line.find(" @ ") < close)
            line.erase(0, close + 2);
    }
    for (size_t p; (p = line.find("file:")) != std::string::npos;)
        line.erase(p, 5);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

namespace {

// ffmpeg's level tags ("-loglevel level+..."), the ones below "error" first.
bool IsQuietLevel(const std::string& tag)
{
    return tag == "info" || tag == "warning" || tag == "verbose" || tag == "debug" || tag == "trace" || tag == "quiet";
}
bool IsErrorLevel(const std::string& tag) { return tag == "error" || tag == "fatal" || tag == "panic"; }

} // namespace

// Splits "[ctx @ 0x55d0] [parent @ 0x55d1] [warning] text" (the context tags
// are optional) into the level tag and the text after it. False when the line
// carries no level tag.
bool SplitLevelTag(const std::string& raw, std::string& level, std::string& text)
{
    size_t pos = 0;
    while (pos < raw.size() && raw[pos] == '[') {
        size_t close = raw.find("] ", pos);
        if (close == std::string::npos)
            return false;
        std::string tag = raw.substr(pos + 1, close - pos - 1);
        if (IsQuietLevel(tag) || IsErrorLevel(tag)) {
            level = tag;
            text = raw.substr(close + 2);
            return true;
        }
        if (tag.find(" @ ") == std::string::npos)
            return false;
        pos = close + 2;
    }
    return false;
}

void TErrorLog::feed(const std::string& text, bool flush)
{
    pending += text;
    // A known name is written visibly before lines are cut.
    for (const std::string& name : knownNames) {
        if (name.find_first_of("\r\n") == std::string::npos)
            continue;
        const std::string shown = qvtext::VisibleText(name);
        for (size_t p = 0; (p = pending.find(name, p)) != std::string::npos; p += shown.size())
            pending.replace(p, name.size(), shown);
    }
    size_t from = 0;
    for (;;) {
        size_t nl = pending.find('\n', from);
        if (nl == std::string::npos || (!flush && endsInsideName(nl)))
            break;
        take(pending.substr(from, nl - from));
        from = nl + 1;
    }
    pending.erase(0, from);
    if (flush && !pending.empty()) {
        take(pending);
        pending.clear();
    }
    if (flush)
        capturing = false;
}

// True when the line break at Nl may belong to a known name whose rest has
// not arrived yet.
bool TErrorLog::endsInsideName(size_t nl) const
{
    for (const std::string& name : knownNames) {
        for (size_t k = name.find('\n'); k != std::string::npos && k <= nl; k = name.find('\n', k + 1)) {
            const size_t start = nl - k;
            const size_t have = pending.size() - start;
            if (have < name.size() && pending.compare(start, have, name, 0, have) == 0)
                return true;
        }
    }
    return false;
}

void TErrorLog::take(std::string raw)
{
    if (!raw.empty() && raw.back() == '\r')
        raw.pop_back();
    std::string level, text;
    if (SplitLevelTag(raw, level, text)) {
        lastLevel = level;
        raw = text;
    } else {
        level = lastLevel;
    }
    if (IsQuietLevel(level)) {
        TMuxedStream stream;
        if (level == "verbose" && ParseMuxedStreamLine(raw, stream))
            muxed.push_back(stream);
        if (level == "info" && capturing) {
            if (raw.rfind("Stream mapping:", 0) == 0 || raw.rfind("Output #", 0) == 0) {
                capturing = false;
                headerDone = true;
            } else {
                header.push_back(raw);
            }
        }
        return;
    }
    std::string line = CleanMessage(raw);
    if (line.empty())
        return;
    messages.push_back(line);
    if (writeError.empty() && IsOutputWriteError(line))
        writeError = line;
    // Passed on so that the user sees the detail; never begins with "Error".
    const std::string shown = "ffmpeg: " + qvtext::VisibleText(line) + "\n";
    if (echo)
        echo(shown);
    else
        WriteAll(2, shown.data(), shown.size());
}

std::string TErrorLog::summary() const
{
    for (int cause : {ENOSPC, EDQUOT, EFBIG, EROFS, EACCES, EIO})
        for (const std::string& m : messages)
            if (m.find(std::strerror(cause)) != std::string::npos)
                return m;
    for (const std::string& m : messages)
        if (m != "Conversion failed!")
            return m;
    return messages.empty() ? std::string() : messages.front();
}

int TProgressReader::feed(const std::string& text)
{
    pending_ += text;
    int blocks = 0;
    size_t from = 0;
    for (;;) {
        size_t nl = pending_.find('\n', from);
        if (nl == std::string::npos)
            break;
        std::string line = pending_.substr(from, nl - from);
        from = nl + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        while (!value.empty() && value.front() == ' ')
            value.erase(0, 1);
        if (key != "progress") {
            block_[key] = value;
            continue;
        }
        TProgress p = last_;
        auto get = [&](const char* k) -> std::optional<double> {
            auto it = block_.find(k);
            return it == block_.end() ? std::nullopt : ParseNumber(it->second);
        };
        if (auto v = get("frame"))
            p.frame = static_cast<long long>(*v);
        if (auto v = get("fps"))
            p.fps = *v;
        if (auto v = get("stream_0_0_q"))
            p.quality = *v;
        if (auto v = get("total_size"))
            p.totalSize = static_cast<long long>(*v);
        // Audio encoders' priming makes the first timestamps negative: shown as 0.
        if (auto v = get("out_time_us"))
            p.outTime = std::max(0.0, *v / 1e6);
        else if (auto it = block_.find("out_time"); it != block_.end()) {
            if (auto t = ParseTimeText(it->second))
                p.outTime = *t;
        }
        // Time never runs backwards on the console.
        if (p.outTime < last_.outTime)
            p.outTime = last_.outTime;
        p.end = value == "end";
        last_ = p;
        block_.clear();
        ++blocks;
    }
    pending_.erase(0, from);
    return blocks;
}

std::string ProgressLine(const TProgress& p)
{
    char buf[256];
    double kb = p.totalSize > 0 ? p.totalSize / 1024.0 : 0;
    std::string time = "N/A";
    double bitrate = 0;
    if (p.outTime >= 0) {
        char t[48];
        std::snprintf(t, sizeof t, "%.2f", p.outTime);
        time = t;
        if (p.outTime > 0 && p.totalSize > 0)
            bitrate = p.totalSize * 8.0 / p.outTime / 1000.0;
    }
    std::snprintf(buf, sizeof buf, "frame=%5lld fps=%3.0f q=%.1f size=%8.0fkB time=%s bitrate=%6.1fkbits/s", p.frame,
                  p.fps, p.quality < 0 ? 0.0 : p.quality, kb, time.c_str(), bitrate);
    return buf;
}

} // namespace avcore
