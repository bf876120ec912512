#include "engine/MediaInfo.h"

#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <type_traits>
#include <unistd.h>

#include "lang/MultiLanguages.h"
#include "platform/RegularFile.h"

// Field names and the library's parameter names. The video bitrate is asked
// as "BitRate": the library knows no "Bitrate" and would answer nothing.
const std::array<TMediaFact, MediaFactCount> MediaFacts = {{
    {"CompleteName", TMediaStream::General, "CompleteName", &TFileItem::CompleteName},
    {"FileSize", TMediaStream::General, "FileSize", &TFileItem::FileSize},
    {"FormatName", TMediaStream::General, "Format", &TFileItem::FormatName},
    {"PlayTime", TMediaStream::General, "PlayTime/String3", &TFileItem::PlayTime},
    {"AudioCount", TMediaStream::General, "AudioCount", &TFileItem::AudioCount},
    {"VideoCount", TMediaStream::General, "VideoCount", &TFileItem::VideoCount},
    {"VideoCodec", TMediaStream::Video, "Codec/String", &TFileItem::VideoCodec},
    {"Width", TMediaStream::Video, "Width", &TFileItem::Width},
    {"Height", TMediaStream::Video, "Height", &TFileItem::Height},
    {"VideoBitrate", TMediaStream::Video, "BitRate", &TFileItem::VideoBitrate},
    {"AspectRatio", TMediaStream::Video, "AspectRatio", &TFileItem::AspectRatio},
    {"FrameRate", TMediaStream::Video, "FrameRate", &TFileItem::FrameRate},
    {"AudioCodec", TMediaStream::Audio, "Codec/String", &TFileItem::AudioCodec},
    {"AudioBitrate", TMediaStream::Audio, "BitRate", &TFileItem::AudioBitrate},
    {"Channels", TMediaStream::Audio, "Channel(s)", &TFileItem::Channels},
    {"SamplingRate", TMediaStream::Audio, "SamplingRate", &TFileItem::SamplingRate},
}};

namespace {

// Stream number 0, the value's text (info kind 1), search by name (kind 0).
constexpr size_t FirstStream = 0;
constexpr int InfoText = 1;
constexpr int SearchByName = 0;

// The library's ANSI interface converts names through the C library's
// multibyte conversion; in the "C" locale that refuses every byte above 127,
// so a file named "Grüße.avi" could not be opened. Take the user's character
// set, or UTF-8 when the environment names none.
void UseMultibyteCharacterSet()
{
    auto isPlain = [](const char* name) {
        return !name || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0;
    };
    if (!isPlain(std::setlocale(LC_CTYPE, nullptr)))
        return;
    if (isPlain(std::setlocale(LC_CTYPE, "")))
        std::setlocale(LC_CTYPE, "C.UTF-8");
}

std::function<void(const std::string&)>& MessageHandler()
{
    static std::function<void(const std::string&)> handler = [](const std::string& text) {
        std::fprintf(stderr, "%s\n", text.c_str());
    };
    return handler;
}

std::string NoneIfEmpty(const char* answer)
{
    if (!answer || !*answer)
        return IDS_None;
    return answer;
}

// The library takes names as multibyte text and converts them to wide
// characters; a name that is no text in the user's character set (the bytes
// "caf\xe9.avi" under UTF-8) fails that conversion, and the library then
// opens nothing. Such a file is opened through a link with a plain name in a
// private temporary folder (mode 0700), keeping the extension, which the
// library also looks at; the link and folder go when this object does.
class TOpenableName {
public:
    explicit TOpenableName(const std::string& path) : name_(path)
    {
        if (std::mbstowcs(nullptr, path.c_str(), 0) != static_cast<size_t>(-1))
            return;
        std::error_code ec;
        std::string folder = TemporaryFolder() + "/quorvex-XXXXXX";
        if (!mkdtemp(folder.data()))
            return;
        folder_ = folder;
        std::string ext;
        const size_t dot = path.rfind('.');
        if (dot != std::string::npos && path.find('/', dot) == std::string::npos)
            for (char c : path.substr(dot + 1))
                if (std::isalnum(static_cast<unsigned char>(c)))
                    ext += c;
        const std::string link = folder_ + "/source" + (ext.empty() ? "" : "." + ext);
        // An absolute target, so the link works whatever the current folder.
        const std::string target = std::filesystem::absolute(path, ec).string();
        if (!ec && symlink(target.c_str(), link.c_str()) == 0)
            name_ = link;
    }
    ~TOpenableName()
    {
        if (folder_.empty())
            return;
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    TOpenableName(const TOpenableName&) = delete;
    TOpenableName& operator=(const TOpenableName&) = delete;

    // The name to give the library.
    const std::string& Name() const { return name_; }
    // True when that is a link standing for the real name.
    bool Linked() const { return !folder_.empty() && name_.rfind(folder_, 0) == 0; }

private:
    std::string name_;
    std::string folder_;
};

} // namespace

struct TMediaInfoLibrary::TApi {
    void* (*New)();
    void (*Delete)(void*);
    size_t (*Open)(void*, const char*);
    void (*Close)(void*);
    const char* (*Get)(void*, int, size_t, const char*, int, int);
    const char* (*Option)(void*, const char*, const char*);
    const char* (*Inform)(void*, size_t);
};

TMediaInfoLibrary::TMediaInfoLibrary(const std::string& fileName)
{
    void* lib = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        const char* why = dlerror();
        error_ = why ? why : ("cannot load " + fileName);
        return;
    }
    auto api = new TApi{};
    bool complete = true;
    auto bind = [&](auto& fn, const char* name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
        if (!fn) {
            if (complete)
                error_ = fileName + " lacks the function " + name;
            complete = false;
        }
    };
    bind(api->New, "MediaInfoA_New");
    bind(api->Delete, "MediaInfoA_Delete");
    bind(api->Open, "MediaInfoA_Open");
    bind(api->Close, "MediaInfoA_Close");
    bind(api->Get, "MediaInfoA_Get");
    bind(api->Option, "MediaInfoA_Option");
    bind(api->Inform, "MediaInfoA_Inform");
    if (!complete) {
        delete api;
        dlclose(lib);
        return;
    }
    handle_ = lib;
    api_ = api;
    UseMultibyteCharacterSet();
    // Today's library answers the older parameter names ("PlayTime/String3",
    // "Codec/String") only in its legacy mode; the setting is process-wide.
    api_->Option(nullptr, "Legacy", "1");
}

TMediaInfoLibrary::~TMediaInfoLibrary()
{
    delete api_;
    if (handle_)
        dlclose(handle_);
}

void TMediaInfoLibrary::Probe(const std::string& path, TFileItem& item) const
{
    // Only regular files are opened: the library would wait for ever on a
    // named pipe and read a device without end.
    std::error_code ec;
    if (!Loaded() || !std::filesystem::is_regular_file(path, ec)) {
        for (const TMediaFact& fact : MediaFacts)
            item.*fact.Field = IDS_None;
        return;
    }
    void* mi = api_->New();
    // A file the library cannot open answers every question with nothing,
    // which turns into "<None>" below; the caller rejects it then.
    const TOpenableName name(path);
    api_->Open(mi, name.Name().c_str());
    for (const TMediaFact& fact : MediaFacts)
        item.*fact.Field = NoneIfEmpty(
            api_->Get(mi, static_cast<int>(fact.Stream), FirstStream, fact.Parameter, InfoText, SearchByName));
    // The complete name is the file's own, not the link's.
    if (name.Linked() && item.CompleteName != IDS_None)
        item.CompleteName = path;
    api_->Close(mi);
    api_->Delete(mi);
}

TMediaTags TMediaInfoLibrary::Tags(const std::string& path) const
{
    TMediaTags tags;
    std::error_code ec;
    if (!Loaded() || !std::filesystem::is_regular_file(path, ec))
        return tags;
    void* mi = api_->New();
    const TOpenableName name(path);
    api_->Open(mi, name.Name().c_str());
    auto get = [&](const char* parameter) {
        const char* value = api_->Get(mi, static_cast<int>(TMediaStream::General), FirstStream, parameter, InfoText,
                                      SearchByName);
        return std::string(value ? value : "");
    };
    tags.Artist = get("Performer");
    tags.AlbumArtist = get("Album/Performer");
    tags.Album = get("Album");
    tags.Title = get("Title");
    tags.Track = get("Track/Position");
    tags.Disc = get("Part/Position");
    tags.Date = get("Recorded_Date");
    if (tags.Date.empty())
        tags.Date = get("Released_Date");
    tags.Genre = get("Genre");
    api_->Close(mi);
    api_->Delete(mi);
    return tags;
}

std::string TMediaInfoLibrary::Report(const std::string& path) const
{
    std::error_code ec;
    if (!Loaded() || !std::filesystem::is_regular_file(path, ec))
        return {};
    void* mi = api_->New();
    const TOpenableName name(path);
    api_->Open(mi, name.Name().c_str());
    // An empty value selects the normal report, not the complete one.
    api_->Option(nullptr, "Complete", "");
    const char* text = api_->Inform(mi, 0);
    std::string report = text ? text : "";
    if (name.Linked())
        for (size_t p = 0; (p = report.find(name.Name(), p)) != std::string::npos; p += path.size())
            report.replace(p, name.Name().size(), path);
    api_->Close(mi);
    api_->Delete(mi);
    return report;
}

void TMediaInfoLibrary::ReadHeadersOnly(bool on) const
{
    // "0.5" is the library's own default.
    if (Loaded())
        api_->Option(nullptr, "ParseSpeed", on ? "0" : "0.5");
}

TMediaTags ReadMediaTags(const std::string& path)
{
    return MediaInfoLibrary().Tags(path);
}

TMediaInfoLibrary& MediaInfoLibrary()
{
    // Never unloaded: other static objects may still probe while the process ends.
    static TMediaInfoLibrary* library = [] {
        auto lib = new TMediaInfoLibrary("libmediainfo.so.0");
        if (!lib->Loaded())
            MessageHandler()("Media information is not available (install the package libmediainfo0v5): " +
                             lib->LoadError());
        return lib;
    }();
    return *library;
}

void UseQuickMediaProbes()
{
    MediaInfoLibrary().ReadHeadersOnly(true);
}

void SetMediaInfoMessageHandler(std::function<void(const std::string&)> handler)
{
    MessageHandler() = std::move(handler);
}

void ProbeMediaFile(const std::string& path, TFileItem& item)
{
    MediaInfoLibrary().Probe(path, item);
}

TFileItem ProbeFileItem(const std::string& fullPath)
{
    TFileItem item;
    const auto slash = fullPath.rfind('/');
    if (slash == std::string::npos) {
        item.FileName = fullPath;
    } else {
        item.FilePath = fullPath.substr(0, slash + 1);
        item.FileName = fullPath.substr(slash + 1);
    }
    ProbeMediaFile(fullPath, item);
    return item;
}

std::string MediaReport(const std::string& path)
{
    return MediaInfoLibrary().Report(path);
}

bool MediaFileDescribed(const TFileItem& item)
{
    return item.CompleteName != IDS_None && item.FileSize != IDS_None && item.FormatName != IDS_None;
}

namespace {

// The plain decimal number Text holds (digits, at most one point); false for
// anything else ("", "<None>", "128000 / 96000", "-1", "1e3").
bool PlainNumber(const std::string& text, double& value)
{
    bool digit = false, point = false;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)))
            digit = true;
        else if (c == '.' && !point)
            point = true;
        else
            return false;
    }
    if (!digit)
        return false;
    value = std::strtod(text.c_str(), nullptr);
    return true;
}

// Value with at most Decimals decimals, trailing zeros (and point) dropped;
// always with a point, whatever the locale.
std::string Decimal(double value, int decimals)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    for (char& c : text)
        if (c == ',')
            c = '.';
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    return text;
}

std::string ReadableAspectRatio(double ratio)
{
    struct TRatio {
        const char* Name;
        double Value;
    };
    static const TRatio common[] = {{"1:1", 1.0},         {"5:4", 5.0 / 4},    {"4:3", 4.0 / 3},
                                    {"3:2", 3.0 / 2},     {"16:10", 16.0 / 10}, {"16:9", 16.0 / 9},
                                    {"21:9", 64.0 / 27}};
    // The library gives three decimals: 1.778 is 16:9, 1.333 is 4:3.
    for (const TRatio& r : common)
        if (std::abs(ratio - r.Value) < 0.0015)
            return r.Name;
    return Decimal(ratio, 3) + ":1";
}

} // namespace

std::string ReadableFactValue(std::string TFileItem::*field, const std::string& raw)
{
    double value = 0;
    if (!PlainNumber(raw, value))
        return raw;
    if (field == &TFileItem::VideoBitrate || field == &TFileItem::AudioBitrate) {
        if (value >= 10e6)
            return Decimal(value / 1e6, 1) + " Mbit/s";
        if (value >= 1000)
            return Decimal(std::round(value / 1000), 0) + " kbit/s";
        return Decimal(value, 0) + " bit/s";
    }
    if (field == &TFileItem::SamplingRate)
        return value >= 1000 ? Decimal(value / 1000, 3) + " kHz" : Decimal(value, 0) + " Hz";
    if (field == &TFileItem::FrameRate)
        return Decimal(value, 3) + " fps";
    if (field == &TFileItem::AspectRatio && value > 0)
        return ReadableAspectRatio(value);
    return raw;
}
