#include "encoder/Probe.h"

#include "encoder/CommandLine.h"
#include "encoder/Json.h"

#include "app/SourceScript.h"
#include "platform/TextRules.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

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

int TSourceFacts::coverIndex() const
{
    for (size_t i = 0; i < streams.size(); ++i)
        if (streams[i].type == "video" && streams[i].attachedPicture)
            return static_cast<int>(i);
    return -1;
}

bool IsWorkTag(const std::string& name)
{
    static const char* const Technical[] = {"major_brand", "minor_version", "compatible_brands", "encoder",
                                            "creation_time"};
    if (name.empty())
        return false;
    for (const char* t : Technical)
        if (SameTextAscii(name, t))
            return false;
    return true;
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
        if (const TJsonValue* tags = format->find("tags"))
            for (const auto& [name, value] : tags->members)
                facts.containerTags = facts.containerTags || IsWorkTag(name);
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

long long PacketBitRate(const std::string& packets)
{
    // The number after "name=" in a line, if it reads as one.
    auto field = [](const std::string& line, const char* name) -> std::optional<double> {
        const std::string key = std::string(name) + "=";
        size_t at = line.find(key);
        while (at != std::string::npos && at > 0 && line[at - 1] != '|')
            at = line.find(key, at + 1);
        if (at == std::string::npos)
            return std::nullopt;
        const std::string text = line.substr(at + key.size(), line.find('|', at) - at - key.size());
        char* end = nullptr;
        const double v = std::strtod(text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size())
            return std::nullopt;
        return v;
    };
    double bytes = 0, seconds = 0;
    size_t from = 0;
    while (from < packets.size()) {
        size_t nl = packets.find('\n', from);
        if (nl == std::string::npos)
            nl = packets.size();
        const std::string line = packets.substr(from, nl - from);
        from = nl + 1;
        const auto size = field(line, "size");
        const auto duration = field(line, "duration_time");
        if (!size || !duration || *size < 0 || !(*duration > 0))
            continue;
        bytes += *size;
        seconds += *duration;
    }
    return seconds > 0 ? static_cast<long long>(bytes * 8 / seconds) : 0;
}

bool IsScriptName(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    return LowerAscii(ext) == ".avs";
}

namespace {

// The whole script, read only when it is a regular file (also through a link)
// of at most 64 KiB: a named pipe would block the open, a link to /dev/zero
// would never end. The open does not block; what was opened is checked again.
bool ReadScriptText(const std::string& scriptPath, std::string& text, std::string& error)
{
    constexpr size_t kLimit = 64 * 1024;
    const char* const notRegular = "it is not a regular file";
    const char* const tooLarge = "it is larger than 64 KiB";
    struct stat st {};
    if (::stat(scriptPath.c_str(), &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = notRegular;
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > kLimit) {
        error = tooLarge;
        return false;
    }
    int fd = ::open(scriptPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = notRegular;
        return false;
    }
    text.assign(kLimit + 1, '\0');
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n < 0)
                error = std::strerror(errno);
            break;
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    if (!error.empty())
        return false;
    if (done > kLimit) {
        error = tooLarge;
        return false;
    }
    text.resize(done);
    return true;
}

} // namespace

bool ReadScriptSource(const std::string& scriptPath, std::string& source, std::string& error)
{
    std::string text;
    error.clear();
    if (!ReadScriptText(scriptPath, text, error))
        return false;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // The first source line decides, by the rule the program writes scripts with.
        if (line.find(qvscript::SourceMarker) != std::string::npos)
            return qvscript::ScriptSource(line, source, error);
    }
    error = "the script names no source file";
    return false;
}

} // namespace avcore

namespace avcore {

namespace {

std::vector<std::string> SplitPieces(const std::string& text)
{
    // Pieces are separated by ", " outside parentheses and brackets.
    std::vector<std::string> pieces;
    std::string cur;
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '(' || c == '[')
            ++depth;
        else if ((c == ')' || c == ']') && depth > 0)
            --depth;
        if (depth == 0 && c == ',' && i + 1 < text.size() && text[i + 1] == ' ') {
            pieces.push_back(cur);
            cur.clear();
            ++i;
            continue;
        }
        cur += c;
    }
    pieces.push_back(cur);
    return pieces;
}

// "640x480 [SAR 1:1 DAR 4:3]" → 640, 480.
bool SizePiece(const std::string& piece, int& w, int& h)
{
    std::string first = piece.substr(0, piece.find(' '));
    size_t x = first.find('x');
    if (x == std::string::npos || x == 0 || x + 1 >= first.size())
        return false;
    for (size_t i = 0; i < first.size(); ++i)
        if (i != x && !std::isdigit(static_cast<unsigned char>(first[i])))
            return false;
    w = std::atoi(first.substr(0, x).c_str());
    h = std::atoi(first.substr(x + 1).c_str());
    return w > 0 && h > 0;
}

int LayoutChannels(const std::string& layout)
{
    static const struct {
        const char* name;
        int channels;
    } Layouts[] = {{"mono", 1},  {"stereo", 2}, {"downmix", 2}, {"2.1", 3},  {"3.0", 3},  {"quad", 4},
                   {"4.0", 4},   {"4.1", 5},    {"5.0", 5},     {"5.1", 6},  {"6.0", 6},  {"6.1", 7},
                   {"7.0", 7},   {"7.1", 8},    {"octagonal", 8}};
    std::string base = layout.substr(0, layout.find('('));
    for (const auto& l : Layouts)
        if (base == l.name)
            return l.channels;
    size_t ch = layout.find(" channels");
    if (ch != std::string::npos)
        return std::atoi(layout.substr(0, ch).c_str());
    return 0;
}

std::optional<double> NumberBefore(const std::string& piece, const std::string& unit)
{
    if (piece.size() <= unit.size() || piece.compare(piece.size() - unit.size(), unit.size(), unit) != 0)
        return std::nullopt;
    return ParseNumber(piece.substr(0, piece.size() - unit.size()));
}

// The name of a "    name            : value" line of the dump; "" for a
// continuation line of a value.
std::string DumpTagName(const std::string& line)
{
    std::string name = line.substr(0, line.find(':'));
    const size_t first = name.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return name.substr(first, name.find_last_not_of(' ') + 1 - first);
}

} // namespace

bool ParseInputDump(const std::vector<std::string>& lines, TSourceFacts& facts)
{
    facts = TSourceFacts();
    bool haveInput = false, haveDuration = false;
    bool inContainerTags = false;
    for (const std::string& line : lines) {
        if (line.rfind("Input #0, ", 0) == 0) {
            size_t from = line.find(", from '");
            if (from == std::string::npos)
                return false;
            std::string names = line.substr(10, from - 10);
            facts.formatName = names.substr(0, names.find(','));
            haveInput = true;
            continue;
        }
        if (!haveInput)
            continue;
        if (line.rfind("Input #", 0) == 0 || line.rfind("Output #", 0) == 0 || line.rfind("Stream mapping:", 0) == 0)
            break;
        // The container's own tags come between the input line and the
        // duration: "  Metadata:", then "    name : value" lines.
        if (!haveDuration && line == "  Metadata:") {
            inContainerTags = true;
            continue;
        }
        if (inContainerTags && line.rfind("    ", 0) == 0 && line.find(':') != std::string::npos) {
            facts.containerTags = facts.containerTags || IsWorkTag(DumpTagName(line));
            continue;
        }
        inContainerTags = false;
        if (line.rfind("  Duration: ", 0) == 0) {
            std::vector<std::string> pieces = SplitPieces(line.substr(12));
            facts.duration = pieces[0] == "N/A" ? -1 : ParseTimeText(pieces[0]).value_or(-1);
            for (const std::string& p : pieces) {
                if (p.rfind("start: ", 0) == 0)
                    facts.start = ParseNumber(p.substr(7)).value_or(0);
                if (p.rfind("bitrate: ", 0) == 0)
                    facts.bitRate = static_cast<long long>(NumberBefore(p.substr(9), " kb/s").value_or(0) * 1000);
            }
            haveDuration = true;
            continue;
        }
        if (line.rfind("  Stream #0:", 0) != 0)
            continue;
        static const struct {
            const char* marker;
            const char* type;
        } Kinds[] = {{": Video: ", "video"}, {": Audio: ", "audio"}, {": Subtitle: ", "subtitle"},
                     {": Data: ", "data"},   {": Attachment: ", "attachment"}};
        TStreamFacts s;
        size_t at = std::string::npos;
        for (const auto& k : Kinds)
            if ((at = line.find(k.marker)) != std::string::npos) {
                s.type = k.type;
                at += std::strlen(k.marker);
                break;
            }
        if (at == std::string::npos) {
            s.type = "data";
            facts.streams.push_back(s);
            continue;
        }
        std::vector<std::string> pieces = SplitPieces(line.substr(at));
        s.codec = pieces[0].substr(0, pieces[0].find(' '));
        s.attachedPicture = line.find("(attached pic)") != std::string::npos;
        for (size_t i = 1; i < pieces.size(); ++i) {
            const std::string& p = pieces[i];
            if (s.type == "video") {
                if (i == 1 && p.find('x') == std::string::npos)
                    s.pixelFormat = p.substr(0, p.find('('));
                int w = 0, h = 0;
                if (s.width == 0 && SizePiece(p, w, h)) {
                    s.width = w;
                    s.height = h;
                }
                if (auto fps = NumberBefore(p, " fps"))
                    s.frameRate = *fps;
            } else if (s.type == "audio") {
                if (auto hz = NumberBefore(p, " Hz"))
                    s.sampleRate = static_cast<int>(*hz);
                else if (s.channels == 0 && LayoutChannels(p) > 0)
                    s.channels = LayoutChannels(p);
                else if (s.sampleFormat.empty() && s.channels > 0
                         && (p.find(' ') == std::string::npos || p.find(" (") == p.find(' ')))
                    s.sampleFormat = p.substr(0, p.find(' ')); // "s32 (24 bit)" is s32
            }
            if (auto kb = NumberBefore(p.substr(0, p.find(" (")), " kb/s"))
                s.bitRate = static_cast<long long>(*kb * 1000);
        }
        facts.streams.push_back(std::move(s));
    }
    return haveInput && haveDuration;
}

} // namespace avcore
