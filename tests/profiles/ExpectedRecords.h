#pragma once

// The keys of every profile record in the order they are written, with their
// kinds and defaults as they appear in a saved file. Written out from the
// record tables of the profile format, independently of the program's own
// tables, so that a wrong key, kind, default or order shows up as a
// difference.

#include <sstream>
#include <string>
#include <vector>

#include "app/Settings.h"

namespace expected {

// 's' text, 't' time, 'f' flag, 'i' index, 'n' number.
struct TKey {
    std::string Key;
    char Kind;
    std::string Default;
};
using TKeys = std::vector<TKey>;

inline std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

inline void Append(TKeys& keys, const TKeys& more)
{
    keys.insert(keys.end(), more.begin(), more.end());
}

// Description, the format selectors, then the time control keys.
inline TKeys Head(const TKeys& selectors = {})
{
    TKeys keys = {{"Description", 's', "No Description"}};
    Append(keys, selectors);
    Append(keys, {{"EnableTimeControl", 'f', "0"}, {"Duration", 't', "0:00:00.000"}, {"StartTime", 't', "0:00:00.000"}});
    return keys;
}

// "UsePresert Preset Specify SizeUseSource Width Height KeepFrameRate FrameRate Aspect".
inline TKeys Video(const std::string& suffix, const std::string& defaults)
{
    const auto d = Words(defaults);
    return {{"VideoBitRateUsePresert" + suffix, 'f', d.at(0)}, {"VideoBitRatePreset" + suffix, 'n', d.at(1)},
            {"VideoBitRateSpecify" + suffix, 'n', d.at(2)},    {"VideoSizeUseSource" + suffix, 'f', d.at(3)},
            {"VideoWidth" + suffix, 'n', d.at(4)},             {"VideoHeight" + suffix, 'n', d.at(5)},
            {"VideoKeepFrameRate" + suffix, 'f', d.at(6)},     {"VideoFrameRate" + suffix, 'i', d.at(7)},
            {"VideoAspect" + suffix, 'i', d.at(8)}};
}

// H263 blocks: "UsePresert Preset Specify Width Height KeepFrameRate FrameRate Aspect".
inline TKeys VideoH263(const std::string& defaults)
{
    const auto d = Words(defaults);
    return {{"VideoBitRateUsePresertH263", 'f', d.at(0)}, {"VideoBitRatePresetH263", 'n', d.at(1)},
            {"VideoBitRateSpecifyH263", 'n', d.at(2)},    {"VideoWidthH263", 'n', d.at(3)},
            {"VideoHeightH263", 'n', d.at(4)},            {"VideoKeepFrameRateH263", 'f', d.at(5)},
            {"VideoFrameRateH263", 'i', d.at(6)},         {"VideoAspectH263", 'i', d.at(7)}};
}

// "UseAutoSet Preset SampleRate Channels".
inline TKeys Audio(const std::string& suffix, const std::string& defaults)
{
    const auto d = Words(defaults);
    return {{"AudioBitRateUseAutoSet" + suffix, 'f', d.at(0)}, {"AudioBitRatePreset" + suffix, 'n', d.at(1)},
            {"AudioSampleRate" + suffix, 'i', d.at(2)},        {"AudioChannels" + suffix, 'i', d.at(3)}};
}

// PCM and A-law: "SampleRate Channels".
inline TKeys Pcm(const std::string& suffix, const std::string& defaults)
{
    const auto d = Words(defaults);
    return {{"AudioSampleRate" + suffix, 'i', d.at(0)}, {"AudioChannels" + suffix, 'i', d.at(1)}};
}

inline TKeys Concat(std::initializer_list<TKeys> parts)
{
    TKeys keys;
    for (const TKeys& p : parts)
        Append(keys, p);
    return keys;
}

// The keys of a record's own, before the keys every record has.
inline TKeys OwnKeys(int format)
{
    const std::string avi = "1 1080 1080 1 640 480 1 7 0";
    switch (static_cast<OutputFormatKind>(format)) {
    case OutputFormatKind::AVI:
        return Concat({Head(),
                       {{"VideoCodec", 'i', "0"}, {"VideoSameQuality", 'f', "0"}, {"AudioCodec", 'i', "1"}, {"AudioDisableAudio", 'f', "0"}},
                       Video("DivX", avi), Video("XviD", avi), Video("MsMPEG4", avi), Video("MsMPEG4v2", avi),
                       VideoH263("1 1080 1080 352 288 1 7 0"), Video("H263P", avi), Video("H264", avi), Video("DV", avi),
                       Video("huffYUV", avi), Video("Mjpeg", avi), Video("MPEG1", avi), Video("MPEG2", avi),
                       Video("Svq1", avi), Video("Flv", avi),
                       Audio("AC3", "0 96 0 1"), Audio("Mp2", "0 96 0 1"), Audio("Mp3", "0 96 0 1"),
                       Pcm("Pcm16le", "3 1"), Pcm("Pcmu8", "3 1"), {{"VideoQuality", 'i', "0"}, {"VideoSpeed", 'i', "0"}}});
    case OutputFormatKind::MP4:
        return Concat({Head({{"Format", 'i', "3"}}),
                       {{"VideoCodec", 'i', "0"}, {"VideoSameQuality", 'f', "0"}, {"AudioCodec", 'i', "0"}, {"AudioDisableAudio", 'f', "0"}},
                       Video("DivX", "1 1200 1200 0 320 240 1 7 0"), Video("XviD", "1 1200 1200 0 320 240 1 7 0"),
                       Video("H264", "1 1200 1200 0 320 240 1 7 0"),
                       Audio("AACMP4", "0 64 3 1"), Audio("AACPsp", "0 64 0 1"),
                       Video("H265", "1 768 768 0 320 240 1 7 0"), Video("AV1", "1 768 768 0 320 240 1 7 0"),
                       {{"VideoQuality", 'i', "0"}, {"VideoSpeed", 'i', "0"}}});
    case OutputFormatKind::TGP:
        return Concat({Head({{"TGPFormat", 'i', "0"}}),
                       {{"VideoCodecNokia", 'i', "0"}, {"VideoCodecSony", 'i', "0"}, {"VideoSameQuality", 'f', "0"},
                        {"AudioCodecNokia", 'i', "0"}, {"AudioCodecSony", 'i', "0"}, {"AudioDisableAudio", 'f', "0"}},
                       VideoH263("1 144 144 176 144 1 1 0"), Video("DivX", "1 144 144 0 176 144 1 7 0"),
                       Video("XviD", "1 96 96 0 176 144 1 7 0"),
                       Audio("AACMP4", "0 56 3 1"), Audio("Armnb", "0 13 0 0"), Audio("Armwb", "0 13 0 0")});
    case OutputFormatKind::MPEG:
        return Concat({Head({{"UsePresetFormats", 'f', "0"}, {"TargetFormat", 'i', "0"}, {"PresetType", 'i', "0"}}),
                       {{"VideoCodec", 'i', "1"}, {"VideoSameQuality", 'f', "0"}, {"AudioCodecMPEG1", 'i', "0"},
                        {"AudioCodecMPEG2", 'i', "0"}, {"AudioDisableAudio", 'f', "0"}},
                       Video("MPEG1", "1 1152 1152 1 640 480 1 7 0"), Video("MPEG2", "1 2496 2496 1 640 480 1 8 0"),
                       Audio("AC3", "0 256 3 1"), Audio("Mp2", "0 160 2 1"), Audio("Mp3", "0 160 2 1"),
                       {{"DVDVideoBitRateUsePresert", 'f', "1"}, {"DVDVideoBitRatePreset", 'n', "6000"},
                        {"DVDVideoBitRateSpecify", 'n', "6000"}, {"DVDVideoKeepAspect", 'f', "1"},
                        {"DVDVideoAspect", 'i', "1"}, {"DVDAudioBitRateUseAutoSet", 'f', "0"},
                        {"DVDAudioBitRatePreset", 'n', "384"}}});
    case OutputFormatKind::MOV:
        return Concat({Head(),
                       {{"VideoCodec", 'i', "4"}, {"VideoSameQuality", 'f', "0"}, {"AudioCodec", 'i', "0"}, {"AudioDisableAudio", 'f', "0"}},
                       Video("DivX", "1 1200 1200 1 640 480 1 7 0"), Video("XviD", "1 1200 1200 1 640 480 1 7 0"),
                       VideoH263("1 1200 1200 352 288 1 7 0"), Video("H264", "1 1200 1200 1 640 480 1 7 0"),
                       Video("Svq1", "1 1200 1200 1 640 480 1 7 0"),
                       Audio("AACMP4", "0 64 3 1"), Pcm("Alaw", "3 1"), Audio("Armnb", "0 8 0 0"),
                       Pcm("Pcm16le", "3 1"), Pcm("Pcm16be", "3 1"), {{"VideoQuality", 'i', "0"}, {"VideoSpeed", 'i', "0"}}});
    case OutputFormatKind::WMV:
        return Concat({Head(),
                       {{"AudioDisableAudio", 'f', "0"}, {"AudioCodec", 'i', "0"}, {"VideoCodec", 'i', "3"}, {"VideoSameQuality", 'f', "0"}},
                       Video("MsMPEG4", "1 768 768 1 640 480 1 7 0"), Video("MsMPEG4v2", "1 768 768 1 640 480 1 7 0"),
                       Video("Wmv7", "1 768 768 1 640 480 1 7 0"), Video("Wmv8", "1 768 768 1 640 480 1 7 0"),
                       Audio("Mp3", "1 64 0 1")});
    case OutputFormatKind::RM:
        return Concat({Head(),
                       {{"VideoCodec", 'i', "0"}, {"VideoSameQuality", 'f', "0"}, {"AudioCodec", 'i', "0"}, {"AudioDisableAudio", 'f', "0"}},
                       Video("Rm10", "1 768 768 1 320 240 1 7 0"), Audio("AC3", "0 256 3 1")});
    case OutputFormatKind::SWF:
        return Concat({Head(),
                       {{"VideoSameQuality", 'f', "0"}, {"VideoCodec", 'i', "0"}, {"AudioCodec", 'i', "0"}, {"AudioDisableAudio", 'f', "0"}},
                       Video("Flv", "1 768 768 1 640 480 1 7 0"), Audio("Mp3", "1 64 1 1")});
    case OutputFormatKind::VOB:
        return Concat({Head(),
                       {{"AudioCodec", 'i', "1"}, {"AudioDisableAudio", 'f', "0"}, {"VideoCodec", 'i', "0"}, {"VideoSameQuality", 'f', "0"}},
                       Video("MPEG2", "1 6000 6000 0 720 576 1 3 0"), Audio("AC3", "0 384 3 1"), Audio("Mp2", "0 320 3 1")});
    case OutputFormatKind::ASF:
        return Concat({Head(),
                       {{"AudioCodec", 'i', "0"}, {"AudioDisableAudio", 'f', "0"}, {"VideoCodec", 'i', "0"}, {"VideoSameQuality", 'f', "0"}},
                       Video("MsMPEG4", "1 768 768 1 640 480 1 7 0"), Video("MsMPEG4v2", "1 768 768 1 640 480 1 7 0"),
                       Audio("Mp3", "0 64 0 1")});
    case OutputFormatKind::AAC:
        return Concat({Head(), {{"AudioCodec", 'i', "0"}}, Audio("AACMP4", "0 128 6 1")});
    case OutputFormatKind::AC3:
        return Concat({Head(), {{"AudioCodec", 'i', "0"}}, Audio("AC3", "0 384 3 1")});
    case OutputFormatKind::MP2:
        return Concat({Head(), {{"AudioCodec", 'i', "0"}}, Audio("Mp2", "0 160 2 1")});
    case OutputFormatKind::MP3:
        return Concat({Head(), {{"AudioCodec", 'i', "0"}}, Audio("Mp3", "0 128 2 1"), {{"AudioQuality", 'i', "0"}}});
    case OutputFormatKind::AMR:
        return Concat({Head(), {{"AudioCodec", 'i', "0"}}, Audio("Armnb", "0 13 0 0"), Audio("Armwb", "0 13 0 0")});
    case OutputFormatKind::WAV:
        return Concat({Head(), {{"AudioCodec", 'i', "0"}}, Pcm("Pcm16le", "6 1"), Pcm("Pcmu8", "6 1")});
    // The newer formats: the source's size and frame rate, rate and channels
    // list position 0 ("same as source").
    case OutputFormatKind::MKV:
        return Concat({Head(),
                       {{"VideoCodec", 'i', "0"}, {"VideoSameQuality", 'f', "0"}, {"AudioCodec", 'i', "0"}, {"AudioDisableAudio", 'f', "0"},
                        {"VideoQuality", 'i', "23"}, {"VideoSpeed", 'i', "0"}},
                       Video("H264", "1 1500 1500 1 640 480 1 7 0"), Video("H265", "1 1080 1080 1 640 480 1 7 0"),
                       Video("AV1", "1 1080 1080 1 640 480 1 7 0"), Video("VP9", "1 1080 1080 1 640 480 1 7 0"),
                       Audio("AACMP4", "0 128 0 0"), Audio("Opus", "0 128 0 0"), Pcm("Flac", "0 0"),
                       Audio("AC3", "0 192 3 1"), Audio("Vorbis", "0 128 0 0")});
    case OutputFormatKind::WEBM:
        return Concat({Head(),
                       {{"VideoCodec", 'i', "0"}, {"VideoSameQuality", 'f', "0"}, {"AudioCodec", 'i', "0"}, {"AudioDisableAudio", 'f', "0"},
                        {"VideoQuality", 'i', "32"}, {"VideoSpeed", 'i', "0"}},
                       Video("VP9", "1 1080 1080 1 640 480 1 7 0"), Video("AV1", "1 1080 1080 1 640 480 1 7 0"),
                       Audio("Opus", "0 128 0 0"), Audio("Vorbis", "0 128 0 0")});
    case OutputFormatKind::OPUS:
        return Concat({Head(), {{"AudioCodec", 'i', "0"}}, Audio("Opus", "0 128 0 0")});
    case OutputFormatKind::FLAC:
        return Concat({Head(), {{"AudioCodec", 'i', "0"}, {"FlacLevel", 'i', "5"}}, Pcm("Flac", "0 0")});
    case OutputFormatKind::M4A:
        return Concat({Head(), {{"AudioCodec", 'i', "0"}}, Audio("AACMP4", "0 256 0 0"), Pcm("Alac", "0 0")});
    case OutputFormatKind::OGG:
        return Concat({Head(), {{"AudioCodec", 'i', "0"}, {"VorbisQuality", 'i', "5"}}, Audio("Vorbis", "0 160 0 0")});
    }
    return {};
}

// The keys every record has after its own ones.
inline TKeys Common()
{
    return {{"KeepTags", 'f', "1"},          {"CopyFitting", 'f', "0"},     {"NormaliseLoudness", 'f', "0"},
            {"LoudnessTarget", 'n', "-230"}, {"TruePeakCeiling", 'n', "-10"}, {"LoudnessAlbumMode", 'f', "0"}};
}

// Every key of a record: its own, then the ones every record has.
inline TKeys Record(int format)
{
    TKeys keys = OwnKeys(format);
    if (!keys.empty())
        Append(keys, Common());
    return keys;
}

inline const char* FormatName(int format)
{
    static const char* const names[] = {"AVI", "MP4", "TGP", "MPEG", "MOV", "WMV", "RM", "SWF",
                                        "VOB", "ASF", "AAC", "AC3", "MP2", "MP3", "AMR", "WAV",
                                        "MKV", "WEBM", "OPUS", "FLAC", "M4A", "OGG"};
    return format >= 0 && format < OutputFormatCount ? names[format] : "none";
}

} // namespace expected
