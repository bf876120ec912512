// Tags and cover art through the real encoder: generated tagged sources of
// each kind (Vorbis comments in Ogg, FLAC, ID3 in MP3, atoms in M4A) into
// every output container, read back with ffprobe.

#include "EncoderRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace enctest;

namespace {

// The ten standard fields as ffmpeg names them, with the values written.
const std::vector<std::pair<std::string, std::string>> Fields = {
    {"title", "Tëst Title"}, {"artist", "Artist"}, {"album", "Album"}, {"album_artist", "Album Artist"},
    {"track", "3/12"}, {"disc", "1/2"}, {"date", "2001"}, {"genre", "Rock"}, {"composer", "Composer"},
    {"comment", "Comment"}};

enum class TKind { Ogg, Flac, Mp3, M4a };

// A 2-second tone carrying the ten fields; FLAC, MP3 and M4A with a JPEG cover.
std::string MakeTagged(const qvtest::TempDir& dir, TKind kind)
{
    const std::string cover = dir.file("cover.jpg");
    RunProgram({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "color=red:s=64x64", "-frames:v", "1", cover});
    std::vector<std::string> a = {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=d=2:sample_rate=44100"};
    std::string name;
    if (kind != TKind::Ogg)
        a.insert(a.end(), {"-i", cover, "-map", "0", "-map", "1", "-c:v", "copy", "-disposition:v", "attached_pic"});
    for (const auto& [key, value] : Fields)
        a.insert(a.end(), {"-metadata", key + "=" + value});
    switch (kind) {
    case TKind::Ogg: name = "src.ogg"; a.insert(a.end(), {"-c:a", "libvorbis"}); break;
    case TKind::Flac: name = "src.flac"; break;
    case TKind::Mp3: name = "src.mp3"; a.insert(a.end(), {"-id3v2_version", "3"}); break;
    case TKind::M4a: name = "src.m4a"; a.insert(a.end(), {"-c:a", "aac"}); break;
    }
    a.push_back(dir.file(name));
    RunProgram(a);
    return dir.file(name);
}

struct TRow {
    const char* name;
    TKind source;
    const char* line; // the option line as the builders write it
    const char* ext;
    const char* held; // the fields read back, blank-separated (AVI keeps the album as "product")
    bool cover;       // an attached picture, never a video stream
};

#define ALL "title artist album album_artist track disc date genre composer comment"
#define MP3A "-acodec mp3 -ac 2 -ab 128 -ar 44100 "
#define AACA "-acodec aac -ac 2 -ab 128 -ar 44100 "

const TRow Rows[] = {
    {"ogg_to_mp3", TKind::Ogg, "-y -f mp3 -vn " MP3A, ".mp3", ALL, false},
    {"flac_to_mp3", TKind::Flac, "-y -f mp3 -vn " MP3A, ".mp3", ALL, true},
    {"m4a_to_mp3", TKind::M4a, "-y -f mp3 -vn " MP3A, ".mp3", ALL, true},
    {"mp3_to_mp4", TKind::Mp3, "-y -f mp4 " AACA, ".m4a", ALL, true},
    {"ogg_to_mp4", TKind::Ogg, "-y -f mp4 " AACA, ".mp4", ALL, false},
    {"flac_to_avi", TKind::Flac, "-y -f avi " MP3A, ".avi", "title artist product track date genre comment", false},
    {"ogg_to_mov", TKind::Ogg, "-y -f mov " AACA, ".mov", ALL, false},
    {"mp3_to_wmv", TKind::Mp3, "-y -f asf " MP3A, ".wmv", ALL, false},
    {"ogg_to_asf", TKind::Ogg, "-y -f asf " MP3A, ".asf", ALL, false},
    {"m4a_to_rm", TKind::M4a, "-y -f rm -acodec ac3 -ac 2 -ab 128 -ar 44100 ", ".rm", "title comment", false},
    {"ogg_to_aac", TKind::Ogg, "-y -f aac -vn " AACA, ".aac", ALL, false},
    {"flac_to_wav", TKind::Flac, "-y -f wav -vn -acodec pcm_s16le -ac 2 -ar 44100 ", ".wav",
     "title artist album track date genre comment", false},
    {"mp3_to_3gp", TKind::Mp3, "-y -f 3gp -acodec aac -ac 2 -ab 64 -ar 44100 ", ".3gp", "", false},
    {"ogg_to_mpeg", TKind::Ogg, "-y -f mpeg -acodec mp2 -ac 2 -ab 192 -ar 44100 ", ".mpg", "", false},
    {"m4a_to_vob", TKind::M4a, "-y -f vob -acodec mp2 -ac 2 -ab 192 -ar 48000 ", ".vob", "", false},
    {"flac_to_swf", TKind::Flac, "-y -f swf " MP3A, ".swf", "", false},
    {"mp3_to_ac3", TKind::Mp3, "-y -f ac3 -vn -acodec ac3 -ac 2 -ab 192 -ar 48000 ", ".ac3", "", false},
    {"ogg_to_mp2", TKind::Ogg, "-y -f mp2 -vn -acodec mp2 -ac 2 -ab 192 -ar 44100 ", ".mp2", "", false},
    {"flac_to_amr", TKind::Flac, "-y -f amr -vn -acodec amr_nb -ac 1 -ar 8000 ", ".amr", "", false},
    // "Keep tags" off: nothing, also no cover.
    {"no_tags_mp3", TKind::Flac, "-y -f mp3 -vn " MP3A "-map_metadata -1 ", ".mp3", "", false},
    {"no_tags_mp4", TKind::Mp3, "-y -f mp4 " AACA "-map_metadata -1 ", ".m4a", "", false},
};

class Tags : public ::testing::TestWithParam<TRow> {};

// The tag values of the container and of the first audio stream, by lower-case name.
std::map<std::string, std::string> TagsOf(const std::map<std::string, std::string>& probe)
{
    std::map<std::string, std::string> tags;
    for (const auto& [key, value] : probe) {
        std::string name;
        if (key.rfind("format.tags.", 0) == 0)
            name = key.substr(12);
        else if (key.rfind("streams.stream.0.tags.", 0) == 0)
            name = key.substr(22);
        else
            continue;
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        tags.emplace(name, value);
    }
    return tags;
}

} // namespace

TEST_P(Tags, SourceTagsAndCoverReachTheOutput)
{
    const TRow& row = GetParam();
    qvtest::TempDir dir;
    const std::string src = MakeTagged(dir, row.source);
    const std::string out = dir.file(std::string("out") + row.ext);
    const TRunResult r = RunProgram(EncoderArgs(src, row.line, out));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const auto probe = ProbeFlat(out);
    const auto tags = TagsOf(probe);
    std::istringstream held(row.held);
    std::string name;
    int expected = 0;
    while (held >> name) {
        ++expected;
        const std::string field = name == "product" ? "album" : name;
        const auto want = std::find_if(Fields.begin(), Fields.end(), [&](const auto& f) { return f.first == field; });
        ASSERT_NE(want, Fields.end()) << name;
        EXPECT_EQ(tags.count(name) ? tags.at(name) : "<missing>", want->second) << name;
    }
    if (expected == 0) {
        for (const auto& f : Fields)
            EXPECT_EQ(tags.count(f.first), 0u) << f.first << " in a container said to hold none";
    }
    // Audio first; a cover is a single attached picture, never moving video.
    EXPECT_EQ(probe.count("streams.stream.0.codec_type") ? probe.at("streams.stream.0.codec_type") : "", "audio");
    const bool video = probe.count("streams.stream.1.codec_type") && probe.at("streams.stream.1.codec_type") == "video";
    EXPECT_EQ(video, row.cover) << r.output;
    if (video) {
        EXPECT_EQ(probe.at("streams.stream.1.disposition.attached_pic"), "1");
    }
}

INSTANTIATE_TEST_SUITE_P(Containers, Tags, ::testing::ValuesIn(Rows),
                         [](const ::testing::TestParamInfo<TRow>& info) { return std::string(info.param.name); });
