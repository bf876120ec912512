// Encoder faults found with real media, run through the real quorvex-cli,
// avcore.dll and ffmpeg on clips generated like the media that showed them:
// containers the encoder does not document are refused before ffmpeg runs,
// detailed pictures fit into RealMedia, odd sizes into huffYUV, and every
// adjustment that changes the result is told as a note that agrees with the
// file written and reaches the user under the file's line.

#include "encoder/EncoderRun.h"
#include "support/EndToEnd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;
using enctest::RunProgram;
using enctest::TRunResult;

namespace {

// Source clips, made once per test program.
class FaultClips {
public:
    FaultClips()
    {
        // Like opencv's vtest.avi: MS-MPEG4 v3 at 768x576, but with fine noise
        // everywhere, so that a RealVideo key frame at the profile's bitrate
        // would be far beyond 64 kB.
        ok = qvtest::MakeMedia({"-f", "lavfi", "-i", "testsrc2=size=768x576:rate=10:duration=3,noise=alls=60:allf=t", "-c:v",
                   "msmpeg4", "-q:v", "2", Path("detailed.avi")}) &&
             // Camera-style M-JPEG (4:2:2) at an odd size.
             qvtest::MakeMedia({"-f", "lavfi", "-i", "testsrc=size=201x149:rate=25:duration=1", "-c:v", "mjpeg", "-pix_fmt",
                   "yuvj422p", Path("odd.avi")}) &&
             qvtest::MakeMedia({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=2", "-f", "lavfi", "-i",
                   "sine=frequency=440:sample_rate=44100:duration=2", "-ac", "2", "-c:v", "mpeg4", "-q:v", "4",
                   "-c:a", "pcm_s16le", Path("clip.mkv")}) &&
             qvtest::MakeMedia({"-f", "lavfi", "-i", "sine=frequency=660:sample_rate=48000:duration=1.5", "-ac", "2",
                   Path("tone.wav")});
    }
    std::string Path(const std::string& name) const { return dir.file(name); }
    bool ok = false;

private:
    qvtest::TempDir dir;
};

FaultClips& Clips()
{
    static FaultClips clips;
    return clips;
}

// Lines of a text.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t nl = text.find_first_of("\r\n", from);
        if (nl == std::string::npos)
            nl = text.size();
        lines.push_back(text.substr(from, nl - from));
        from = nl + 1;
    }
    return lines;
}

// A stream value of ffprobe's for the first stream of a kind ("v" or "a").
std::string Probe(const std::string& file, const std::string& stream, const std::string& entry)
{
    TRunResult r = RunProgram({"ffprobe", "-v", "error", "-select_streams", stream + ":0", "-show_entries",
                               "stream=" + entry, "-of", "default=nw=1:nk=1", file},
                              60);
    std::string v = r.output;
    while (!v.empty() && (v.back() == '\n' || v.back() == '\r'))
        v.pop_back();
    return v;
}

class EncoderFaults : public qvtest::ProgramFolderTest {
protected:
    void SetUp() override
    {
        if (!Clips().ok)
            GTEST_SKIP() << "ffmpeg cannot make the test clips";
        // A copy of the program folder: quorvex-cli writes its settings there.
        ASSERT_NO_FATAL_FAILURE(CopyProgram());
        out = tmp.dir() + "out/";
        fs::create_directories(out);
    }

    // quorvex-cli converting Sources into the output folder with a profile
    // file holding Profile's keys.
    TRunResult Convert(const std::string& format, const std::string& profile, const std::vector<std::string>& sources)
    {
        const std::string file = tmp.file("profile.ini");
        qvtest::WriteFile(file, "[General]\n" + profile);
        std::vector<std::string> args = {app + "quorvex-cli", "-y", "-f", format, "--profile-file", file, "-o", out};
        args.insert(args.end(), sources.begin(), sources.end());
        return RunProgram(args, 300);
    }

    // The "  Note: " lines printed under a file's "Converted:" line.
    static std::vector<std::string> NotesOf(const std::string& output, const std::string& source)
    {
        std::vector<std::string> notes;
        bool inFile = false;
        for (const std::string& line : Lines(output)) {
            if (line.rfind("Converted: ", 0) == 0 || line.rfind("Failed: ", 0) == 0)
                inFile = line.find(source) != std::string::npos;
            else if (inFile && line.rfind("  Note: ", 0) == 0)
                notes.push_back(line.substr(8));
            else if (!line.empty() && line[0] != ' ')
                inFile = false;
        }
        return notes;
    }

    std::string out;
};

TEST_F(EncoderFaults, UndocumentedContainersAreRefusedBeforeFfmpegRuns)
{
    // Stand-ins for ffmpeg and ffprobe that leave a mark when they are run.
    const std::string mark = tmp.file("ran");
    const std::string fake = tmp.file("fake-ffmpeg");
    qvtest::WriteFile(fake, "#!/bin/sh\necho \"$0\" >> '" + mark + "'\nexit 1\n");
    chmod(fake.c_str(), 0755);
    setenv("QV_FFMPEG", fake.c_str(), 1);
    setenv("QV_FFPROBE", fake.c_str(), 1);
    struct {
        const char* name;
        std::vector<std::string> options;
        const char* output;
    } cases[] = {
        {"image sequence", {"-y", "-f", "image2", "-vcodec", "mjpeg"}, "out%d.jpg"},
        {"null muxer", {"-y", "-f", "null"}, "out.avi"},
        {"tee muxer", {"-y", "-f", "tee"}, "a.avi|b.avi"},
        {"picture by extension", {"-y", "-vcodec", "mjpeg"}, "out%d.jpg"},
        {"no extension", {"-y", "-vcodec", "xvid"}, "out"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {enctest::EncoderPath(), "-p", "5260718", "-i", Clips().Path("clip.mkv")};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(out + c.output);
        const TRunResult r = RunProgram(args, 60);
        EXPECT_NE(r.exitCode, 0) << c.name;
        EXPECT_EQ(r.output.rfind("Error", 0), 0u) << c.name << ": " << r.output;
        EXPECT_EQ(Lines(r.output).size(), 1u) << c.name << ": " << r.output;
        EXPECT_FALSE(fs::exists(mark)) << c.name << ": ffmpeg ran";
        EXPECT_TRUE(fs::is_empty(out)) << c.name << ": something was written";
    }
    unsetenv("QV_FFMPEG");
    unsetenv("QV_FFPROBE");
    // The documented ones get as far as the (fake) ffmpeg.
    const TRunResult r = RunProgram({enctest::EncoderPath(), "-p", "5260718", "-i", Clips().Path("clip.mkv"), "-y",
                                     "-f", "PSP", "-vcodec", "h264", out + "o.mp4"},
                                    60);
    EXPECT_EQ(r.output.find("unknown container"), std::string::npos) << r.output;
}

TEST_F(EncoderFaults, DetailedPicturesFitIntoRealMediaWithTheDefaultProfile)
{
    const std::string source = Clips().Path("detailed.avi");
    const TRunResult r = Convert("rm", "", {source});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_CONTAINS(r.output, "Converted: " + source);
    const std::string output = out + "detailed.rm";
    EXPECT_EQ(Probe(output, "v", "codec_name"), "rv10");
    EXPECT_EQ(Probe(output, "v", "width"), "768");
    // Every frame made it, each below the muxer's 64 kB.
    TRunResult sizes = RunProgram(
        {"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "packet=size", "-of", "csv=p=0", output},
        60);
    int packets = 0;
    for (const std::string& line : Lines(sizes.output)) {
        if (line.empty())
            continue;
        ++packets;
        EXPECT_LT(std::stoi(line), 65536);
    }
    EXPECT_GE(packets, 70); // 3 s written at 25 fps
}

TEST_F(EncoderFaults, HuffYuvAtAnOddSizeIsRoundedAndTold)
{
    const std::string source = Clips().Path("odd.avi");
    const TRunResult r = Convert("avi", "VideoCodec=7\n", {source});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string output = out + "odd.avi";
    EXPECT_EQ(Probe(output, "v", "codec_name"), "ffvhuff");
    EXPECT_EQ(Probe(output, "v", "width"), "202");
    EXPECT_EQ(Probe(output, "v", "height"), "150");
    EXPECT_EQ(NotesOf(r.output, source), (std::vector<std::string>{"ffvhuff cannot write 201x149; written as 202x150"}));
}

// Each note names a value; the file written must have that value.
TEST_F(EncoderFaults, NotesAgreeWithTheFileWritten)
{
    const std::string clip = Clips().Path("clip.mkv");
    {
        // MPEG-1 at 19.98 fps.
        const TRunResult r = Convert("mpeg", "VideoCodec=0\nVideoKeepFrameRateMPEG1=0\nVideoFrameRateMPEG1=4\n", {clip});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const auto notes = NotesOf(r.output, clip);
        ASSERT_EQ(notes.size(), 1u) << r.output;
        EXPECT_EQ(notes[0], "MPEG-1 has no frame rate of 19.98 fps; written at 23.976 fps");
        EXPECT_EQ(Probe(out + "clip.mpg", "v", "r_frame_rate"), "24000/1001");
    }
    {
        // VOB at 5:4 with the source's 320x240 kept.
        const TRunResult r = Convert("vob", "VideoSizeUseSourceMPEG2=1\n", {clip});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const auto notes = NotesOf(r.output, clip);
        ASSERT_EQ(notes.size(), 1u) << r.output;
        EXPECT_EQ(notes[0], "MPEG-2 cannot show 320x240 at 5:4; it shows at 4:3");
        EXPECT_EQ(Probe(out + "clip.vob", "v", "display_aspect_ratio"), "4:3");
    }
    {
        // MP3 at 320 kbit/s and 22050 Hz, two files: each file's note under its own line.
        const std::string tone = Clips().Path("tone.wav");
        const TRunResult r = Convert(
            "mp3", "AudioBitRateUseAutoSetMp3=0\nAudioBitRatePresetMp3=320\nAudioSampleRateMp3=0\nAudioChannelsMp3=1\n",
            {clip, tone});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const std::vector<std::string> expected = {
            "MP3 has no bitrate of 320 kbit/s at 22050 Hz; written at 160 kbit/s"};
        EXPECT_EQ(NotesOf(r.output, clip), expected) << r.output;
        EXPECT_EQ(NotesOf(r.output, tone), expected) << r.output;
        EXPECT_EQ(Probe(out + "tone.mp3", "a", "sample_rate"), "22050");
        EXPECT_EQ(Probe(out + "tone.mp3", "a", "bit_rate"), "160000");
        EXPECT_CONTAINS(r.output, "2 of 2 files converted, 0 failed.");
    }
}

TEST_F(EncoderFaults, PspFilesPlayOnThePsp)
{
    // A picture larger than level 3.0 allows, and no sound: scaled down,
    // Main profile, a silent track, and the index before the media data.
    const std::string source = Clips().Path("detailed.avi");
    const TRunResult r = Convert("mp4", "Format=1\nVideoSizeUseSourceH264=1\nVideoKeepFrameRateH264=0\n"
                                        "VideoFrameRateH264=8\n",
                                 {source});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string output = out + "detailed.mp4";
    EXPECT_EQ(Probe(output, "v", "profile"), "Main");
    const std::string level = Probe(output, "v", "level");
    ASSERT_FALSE(level.empty());
    EXPECT_LE(std::stoi(level), 30);
    const int w = std::stoi(Probe(output, "v", "width")), h = std::stoi(Probe(output, "v", "height"));
    EXPECT_LE(((w + 15) / 16) * ((h + 15) / 16), 40500 / 30);
    EXPECT_EQ(Probe(output, "a", "codec_name"), "aac");
    const auto notes = NotesOf(r.output, source);
    EXPECT_EQ(notes.size(), 2u) << r.output;
    // The top-level boxes: moov before mdat.
    std::ifstream in(output, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t at = 0, moov = std::string::npos, mdat = std::string::npos;
    while (at + 8 <= data.size()) {
        const auto* b = reinterpret_cast<const unsigned char*>(data.data() + at);
        const size_t length = (size_t{b[0]} << 24) | (size_t{b[1]} << 16) | (size_t{b[2]} << 8) | b[3];
        const std::string type = data.substr(at + 4, 4);
        if (type == "moov" && moov == std::string::npos)
            moov = at;
        if (type == "mdat" && mdat == std::string::npos)
            mdat = at;
        if (length < 8)
            break;
        at += length;
    }
    ASSERT_NE(moov, std::string::npos);
    ASSERT_NE(mdat, std::string::npos);
    EXPECT_LT(moov, mdat);
}

} // namespace
