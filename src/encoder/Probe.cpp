#include "encoder/Probe.h"

#include "encoder/CommandLine.h"
#include "encoder/Json.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace avcore {

const TStreamFacts* TSourceFacts::firstVideo() const
{
    for (const TStreamFacts& s : streams)
        if (s.type == "video" && !s.attachedPicture)
            return &s;
    return nullptr;
}

const TStreamFacts* TSourceFacts::firstAudio() const
{
    for (const TStreamFacts& s : streams)
        if (s.type == "audio")
            return &s;
    return nullptr;
}

namespace {

// "30000/1001" → 29.97; "0/0" → 0.
double RationalValue(const std::string& text)
{
    size_t slash = text.find('/');
    if (slash == std::string::npos)
        return 0;
    auto num = ParseNumber(text.substr(0, slash));
    auto den = ParseNumber(text.substr(slash + 1));
    return num && den && *den > 0 ? *num / *den : 0;
}

} // namespace

bool ParseProbeJson(const std::string& json, TSourceFacts& facts, std::string& error)
{
    facts = TSourceFacts();
    TJsonValue root;
    if (!ParseJson(json, root, error))
        return false;
    if (root.kind != TJsonValue::Kind::Object) {
        error = "unexpected prober output";
        return false;
    }
    if (const TJsonValue* format = root.find("format")) {
        std::string names = format->str("format_name");
        facts.formatName = names.substr(0, names.find(','));
        facts.duration = format->num("duration", -1);
        facts.start = format->num("start_time", 0);
        facts.bitRate = static_cast<long long>(format->num("bit_rate", 0));
    }
    if (const TJsonValue* streams = root.find("streams")) {
        for (const TJsonValue& s : streams->items) {
            TStreamFacts f;
            f.type = s.str("codec_type");
            f.codec = s.str("codec_name");
            f.pixelFormat = s.str("pix_fmt");
            f.sampleFormat = s.str("sample_fmt");
            f.width = static_cast<int>(s.num("width"));
            f.height = static_cast<int>(s.num("height"));
            f.frameRate = RationalValue(s.str("avg_frame_rate"));
            if (f.frameRate <= 0)
                f.frameRate = RationalValue(s.str("r_frame_rate"));
            f.sampleRate = static_cast<int>(s.num("sample_rate"));
            f.channels = static_cast<int>(s.num("channels"));
            f.bitRate = static_cast<long long>(s.num("bit_rate"));
            if (const TJsonValue* disp = s.find("disposition"))
                f.attachedPicture = disp->num("attached_pic") != 0;
            if (facts.duration < 0) {
                double d = s.num("duration", -1);
                if (d > 0)
                    facts.duration = d;
            }
            facts.streams.push_back(std::move(f));
        }
    }
    return true;
}

bool IsScriptName(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".avs";
}

bool ReadScriptSource(const std::string& scriptPath, std::string& source, std::string& error)
{
    std::ifstream in(scriptPath, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t marker = line.find("Source(\"");
        if (marker == std::string::npos)
            continue;
        size_t from = marker + 8;
        size_t to = line.rfind("\")");
        if (to == std::string::npos || to < from) {
            error = "the source line has no closing '\")'";
            return false;
        }
        source = line.substr(from, to - from);
        if (source.empty()) {
            error = "the script names no source file";
            return false;
        }
        return true;
    }
    error = "the script names no source file";
    return false;
}

} // namespace avcore
