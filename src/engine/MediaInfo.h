#pragma once

// Media facts of source files and the full text report of one file, read
// through MediaInfoLib's plain function interface (libmediainfo.so.0, loaded
// at run time on first use).

#include <array>
#include <functional>
#include <string>

// The facts of one source file. No fact is ever empty: where the library gives
// no value the field holds the catalogue text IDS_None ("<None>").
struct TFileItem {
    std::string FileName;     // file name without folder
    std::string FilePath;     // folder, with trailing "/"
    std::string CompleteName; // General "CompleteName"
    std::string FileSize;     // General "FileSize" (bytes, decimal text)
    std::string FormatName;   // General "Format"
    std::string PlayTime;     // General "PlayTime/String3"
    std::string AudioCount;   // General "AudioCount"
    std::string VideoCount;   // General "VideoCount"
    std::string VideoCodec;   // first video stream "Codec/String"
    std::string Width;        // first video stream "Width"
    std::string Height;       // first video stream "Height"
    std::string VideoBitrate; // first video stream "BitRate"
    std::string AspectRatio;  // first video stream "AspectRatio"
    std::string FrameRate;    // first video stream "FrameRate"
    std::string AudioCodec;   // first audio stream "Codec/String"
    std::string AudioBitrate; // first audio stream "BitRate"
    std::string Channels;     // first audio stream "Channel(s)"
    std::string SamplingRate; // first audio stream "SamplingRate"
};

// The tags of a file that output names can use, as the library gives them
// (General stream: Performer, Album/Performer, Album, Title, Track/Position,
// Part/Position, Recorded_Date or else Released_Date, Genre); "" where the
// file has none.
struct TMediaTags {
    std::string Artist;
    std::string AlbumArtist;
    std::string Album;
    std::string Title;
    std::string Track;
    std::string Disc;
    std::string Date;
    std::string Genre;
};

// Stream kinds of the library's interface.
enum class TMediaStream { General = 0, Video = 1, Audio = 2 };

// One fact: its field, the stream it is read from and the library's name for it.
struct TMediaFact {
    const char* Name;           // field name, as printed by the front ends
    TMediaStream Stream;
    const char* Parameter;      // parameter name passed to the library
    std::string TFileItem::*Field;
};
constexpr int MediaFactCount = 16;
// The sixteen facts in record order (the order of the list's sub-items).
extern const std::array<TMediaFact, MediaFactCount> MediaFacts;

// A loaded MediaInfoLib. The process-wide instance (MediaInfoLibrary()) is
// what the program uses; tests may load their own.
class TMediaInfoLibrary {
public:
    explicit TMediaInfoLibrary(const std::string& fileName);
    ~TMediaInfoLibrary();
    TMediaInfoLibrary(const TMediaInfoLibrary&) = delete;
    TMediaInfoLibrary& operator=(const TMediaInfoLibrary&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    // Why loading failed ("" when it is loaded).
    const std::string& LoadError() const { return error_; }

    // Fills the sixteen facts of item from the file at path; every fact is
    // "<None>" when the library is not loaded or cannot open the file.
    void Probe(const std::string& path, TFileItem& item) const;
    // The tags of the file at path; all "" when the library is not loaded
    // or cannot open it.
    TMediaTags Tags(const std::string& path) const;
    // The library's normal text report; "" when it is not loaded or the file
    // does not exist.
    std::string Report(const std::string& path) const;
    // With On, the library reads from now on only as much of a file as names
    // its format: the name, size and format (what decides whether a file can
    // be converted) stay exact, while a duration or bitrate may be an
    // estimate (a variable-bitrate MP3's duration from its first frames).
    // Quick for large files, which are otherwise read well into their data.
    // Off restores the library's normal reading. The setting is process-wide.
    void ReadHeadersOnly(bool on) const;

private:
    struct TApi;
    void* handle_ = nullptr;
    TApi* api_ = nullptr;
    std::string error_;
};

// The process-wide library, "libmediainfo.so.0". The first use that finds it
// missing reports once through the message handler below.
TMediaInfoLibrary& MediaInfoLibrary();
// The process-wide library reads headers only (see ReadHeadersOnly).
void UseQuickMediaProbes();
// Where that report goes; by default it is written to standard error.
void SetMediaInfoMessageHandler(std::function<void(const std::string&)> handler);

// Fills the sixteen fact fields of item (FileName and FilePath are left as
// they are) from the file at path.
void ProbeMediaFile(const std::string& path, TFileItem& item);
// FileName and FilePath from the full path, then ProbeMediaFile.
TFileItem ProbeFileItem(const std::string& fullPath);
// The tags of one file through the process-wide library.
TMediaTags ReadMediaTags(const std::string& path);
// The library's normal text report of one file, for the file-information window.
std::string MediaReport(const std::string& path);

// Whether the library described the file well enough to add it to the list:
// its complete name, its size and its container format are known. The library
// names any file it can open, even one that is no media file at all, so the
// format is what tells a damaged or foreign file apart.
bool MediaFileDescribed(const TFileItem& item);

// A fact as the window shows it, from the library's raw value: bitrates in
// kbit/s ("636 kbit/s"; from 10 Mbit/s on in Mbit/s), sampling rates in kHz
// ("44.1 kHz"), frame rates in fps ("23.976 fps", "25 fps"), aspect ratios as
// a common ratio where one matches ("16:9") and as "1.85:1" otherwise. Other
// facts, "<None>" and values that are no plain number stay as they are.
// quorvex-cli --info prints the raw values.
std::string ReadableFactValue(std::string TFileItem::*field, const std::string& raw);
