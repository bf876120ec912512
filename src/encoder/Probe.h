#pragma once

#include <string>
#include <vector>

namespace avcore {

struct TStreamFacts {
    std::string type;  // "video", "audio", "subtitle", "data"
    std::string codec; // e.g. "h264", "aac"
    std::string pixelFormat;
    std::string sampleFormat;
    int width = 0;
    int height = 0;
    double frameRate = 0; // frames per second, 0 when unknown
    int sampleRate = 0;
    int channels = 0;
    long long bitRate = 0;
    bool attachedPicture = false; // cover art, not a moving picture
};

// The facts of an input file that the conversion needs.
struct TSourceFacts {
    std::string formatName; // the demuxer's first name, e.g. "mov" for "mov,mp4,m4a,3gp,3g2,mj2"
    double duration = -1;   // seconds, -1 when unknown
    double start = 0;       // seconds
    long long bitRate = 0;
    // The container holds tags of its own (beyond the technical ones every
    // file of its kind has: brands, encoder, creation time). Ogg and Opus
    // keep their tags with the stream instead.
    bool containerTags = false;
    std::vector<TStreamFacts> streams;

    const TStreamFacts* firstVideo() const;
    const TStreamFacts* firstAudio() const;
    // The index of the first attached picture (cover art), -1 when none.
    int coverIndex() const;
};

// True for a tag name that says something about the work (title, artist,
// a custom field), false for the technical ones a muxer writes itself.
bool IsWorkTag(const std::string& name);

// Reads ffprobe's "-of json -show_format -show_streams" output.
bool ParseProbeJson(const std::string& json, TSourceFacts& facts, std::string& error);

// The bitrate (bit/s) of packets listed one a line as ffprobe's compact
// output of packet=size,duration_time gives them ("duration_time=0.021|
// size=285", fields in any order); 0 when no duration adds up. Streams whose
// container states no bitrate (Matroska) are measured so.
long long PacketBitRate(const std::string& packets);

// A DirectShow script names its source in the first line that contains
// 'Source("': the text from that marker up to the next '"' (the rule the
// program writes its scripts by, app/SourceScript.h). Returns false with a
// message when the file cannot be read or names nothing.
bool ReadScriptSource(const std::string& scriptPath, std::string& source, std::string& error);

// True when the name ends in ".avs", in any letter case.
bool IsScriptName(const std::string& name);

} // namespace avcore

namespace avcore {

// Reads the facts of input #0 from the input dump that ffmpeg prints at the
// "info" level (lines without their "[info] " tag, from "Input #0, " on).
// Returns false when the dump lacks the input or duration line, so that the
// caller can ask ffprobe instead.
bool ParseInputDump(const std::vector<std::string>& lines, TSourceFacts& facts);

} // namespace avcore
