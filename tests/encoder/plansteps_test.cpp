// The steps of the encoder's plan, each called on its own: what they decide
// and the note each adjustment leaves.

#include "encoder/PlanSteps.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace avcore;

namespace {

TRequest Request(std::vector<std::string> options, const std::string& output)
{
    TRequest req;
    std::string error;
    std::vector<std::string> args = {"-p", "5260718", "-i", "in.mkv"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(output);
    EXPECT_TRUE(ParseRequest(args, req, error)) << error;
    return req;
}

TEST(PlanSteps, ContainerFromTargetFormatOrExtension)
{
    struct {
        std::vector<std::string> options;
        const char* output;
        const char* muxer;      // "" with a target: ffmpeg's "-target" chooses
        const char* formatName; // shown in the output header
    } cases[] = {
        {{"-f", "AVI"}, "o.bin", "avi", "avi"},
        {{"-f", "3gp"}, "o.3G2", "3g2", "3g2"},
        {{"-f", "3gp"}, "o.3gp", "3gp", "3gp"},
        {{"-f", "aac"}, "o.aac", "adts", "adts"},
        {{}, "dir.x/o.WMV", "asf", "asf"},
        {{"-target", "pal-dvd"}, "o.avi", "", "dvd"},
        {{"-target", "ntsc-dv50"}, "o.dv", "", "dv"},
        {{"-target", "film-svcd", "-f", "vob"}, "o.mpg", "vob", "svcd"},
    };
    for (const auto& c : cases) {
        TPlanDraft draft;
        std::string error;
        ASSERT_TRUE(PlanContainer(Request(c.options, c.output), draft, error)) << c.output << ": " << error;
        EXPECT_EQ(draft.plan.muxer, c.muxer) << c.output;
        EXPECT_EQ(draft.plan.formatName, c.formatName) << c.output;
    }
    TPlanDraft draft;
    std::string error;
    EXPECT_FALSE(PlanContainer(Request({"-target", "secam-dvd"}, "o.mpg"), draft, error));
    EXPECT_EQ(error, "unknown target 'secam-dvd'");
}

TStreamFacts Stream(const char* type)
{
    TStreamFacts s;
    s.type = type;
    return s;
}

TSourceFacts Source(bool video, bool audio)
{
    TSourceFacts f;
    f.duration = 10;
    if (video)
        f.streams.push_back(Stream("video"));
    if (audio)
        f.streams.push_back(Stream("audio"));
    return f;
}

TEST(PlanSteps, StreamsLeftAndWhyNoneIsLeft)
{
    struct {
        std::vector<std::string> options;
        const char* muxer;
        bool video, audio;   // in the source
        const char* written; // "va", "v", "a"; or the refusal's end
    } cases[] = {
        {{}, "avi", true, true, "va"},
        {{"-an"}, "avi", true, true, "v"},
        {{}, "mp3", true, true, "a"},
        {{}, "mp3", true, false, "the input has no audio stream"},
        {{"-vn"}, "avi", true, false, "the input has no audio stream"},
        {{"-an"}, "avi", false, true, "the input has no video stream and audio is disabled"},
        {{"-an", "-vn"}, "avi", true, true, "both video and audio are disabled"},
    };
    for (const auto& c : cases) {
        TPlan plan;
        plan.muxer = c.muxer;
        std::string error;
        const bool ok = PlanStreams(Request(c.options, "o.avi"), Source(c.video, c.audio), plan, error);
        const std::string written = std::string(plan.writeVideo ? "v" : "") + (plan.writeAudio ? "a" : "");
        if (ok) {
            EXPECT_EQ(written, c.written) << c.muxer;
        } else {
            EXPECT_EQ(error, std::string("the output would hold no stream: ") + c.written) << c.muxer;
        }
    }
    // Video dropped by an audio-only container is told.
    TPlan plan;
    plan.muxer = "wav";
    std::string error;
    ASSERT_TRUE(PlanStreams(Request({}, "o.wav"), Source(true, true), plan, error));
    ASSERT_EQ(plan.notes.size(), 1u);
    EXPECT_EQ(plan.notes[0], "the wav container holds no video; video left out");
}

TEST(PlanSteps, AudioValuesAreReadOrRefused)
{
    struct {
        std::vector<std::string> options;
        int channels;
        long long bitrate;
        int rate;
        const char* refused; // "" = read
    } cases[] = {
        {{"-ac", "5:1", "-ab", "128", "-ar", "44100"}, 6, 128000, 44100, ""},
        {{"-ac", "5.1", "-ab", "12.2k"}, 6, 12200, 0, ""},
        {{"-ac", "8", "-ab", "0"}, 8, 0, 0, ""},
        {{"-ac", "9"}, 0, 0, 0, "invalid channel count '9'"},
        {{"-ac", "1.5"}, 0, 0, 0, "invalid channel count '1.5'"},
        {{"-ab", "-5k"}, 0, 0, 0, "invalid audio bitrate '-5k'"},
        {{"-ar", "44k"}, 0, 0, 0, "invalid sample rate '44k'"},
        {{"-ar", "999"}, 0, 0, 0, "invalid sample rate '999'"},
        {{"-ar", "384001"}, 0, 0, 0, "invalid sample rate '384001'"},
    };
    for (const auto& c : cases) {
        TAudioValues v;
        std::string error;
        const bool ok = ReadAudioValues(Request(c.options, "o.mp3"), v, error);
        EXPECT_EQ(ok, !*c.refused) << c.refused;
        if (ok) {
            EXPECT_EQ(v.channels, c.channels);
            EXPECT_EQ(v.bitrate, c.bitrate);
            EXPECT_EQ(v.rate, c.rate);
        } else {
            EXPECT_EQ(error, c.refused);
        }
    }
}

// Rates, channels and bitrates fitted to encoder and container, one note per change.
TEST(PlanSteps, AudioFittedToEncoderAndContainer)
{
    struct {
        const char* name;
        const char* encoder;
        const char* muxer;
        int sourceRate, sourceChannels;
        TAudioValues asked;
        TAudioValues written;
        size_t notes;
    } cases[] = {
        {"mp3 keeps what it holds", "libmp3lame", "mp3", 44100, 2, {2, 128000, 44100}, {2, 128000, 44100}, 0},
        {"source rate below mp3", "libmp3lame", "mp3", 7350, 2, {0, 32000, 0}, {0, 32000, 8000}, 1},
        {"six source channels into mp3", "libmp3lame", "mp3", 44100, 6, {}, {2, 0, 0}, 1},
        {"asked channels beyond mp2", "mp2", "mp2", 44100, 2, {6, 0, 0}, {2, 0, 0}, 1},
        {"ac3 holds six", "ac3", "ac3", 48000, 6, {0, 384000, 0}, {0, 384000, 0}, 0},
        {"ac3 low rate raised", "ac3_fixed", "ac3", 22050, 2, {}, {0, 0, 32000}, 1},
        {"mp2 bitrate at a low rate", "mp2", "mp2", 22050, 2, {0, 100000, 0}, {0, 96000, 0}, 1},
        {"mp2 bitrate at full rate", "mp2", "mp2", 48000, 2, {0, 150000, 0}, {0, 160000, 0}, 1},
        {"ac3 bitrate off its table", "ac3", "ac3", 48000, 2, {0, 100000, 0}, {0, 96000, 0}, 1},
        {"ac3 bitrate not in whole kbit", "ac3", "ac3", 48000, 2, {0, 96500, 0}, {0, 96000, 0}, 1},
        {"mp3 bitrate at 22050 Hz", "libmp3lame", "mp3", 44100, 2, {0, 320000, 22050}, {0, 160000, 22050}, 1},
        {"no source rate means 44100", "libmp3lame", "mp3", 0, 2, {0, 320000, 0}, {0, 320000, 0}, 0},
        {"flv rates", "", "flv", 48000, 2, {}, {0, 0, 44100}, 1},
        // The container's rate comes after the encoder's, and the bitrate
        // table follows the rate finally written.
        {"flv rate lowers the mp3 bitrate", "libmp3lame", "flv", 16000, 1, {0, 128000, 0}, {0, 64000, 11025}, 2},
        {"encoder without limits", "aac", "mp4", 96000, 8, {0, 12345, 0}, {0, 12345, 0}, 0},
    };
    for (const auto& c : cases) {
        TStreamFacts src = Stream("audio");
        src.sampleRate = c.sourceRate;
        src.channels = c.sourceChannels;
        TAudioValues v = c.asked;
        std::vector<std::string> notes;
        FitAudio(c.encoder, c.muxer, &src, v, notes);
        EXPECT_EQ(v.channels, c.written.channels) << c.name;
        EXPECT_EQ(v.bitrate, c.written.bitrate) << c.name;
        EXPECT_EQ(v.rate, c.written.rate) << c.name;
        EXPECT_EQ(notes.size(), c.notes) << c.name;
    }
    // Without an audio stream in the facts, channels are not guessed.
    TAudioValues v;
    std::vector<std::string> notes;
    FitAudio("libmp3lame", "mp3", nullptr, v, notes);
    EXPECT_EQ(v.channels, 0);
    EXPECT_TRUE(notes.empty());
}

TEST(PlanSteps, AmrIsMonoAtItsRateInTheNearestMode)
{
    struct {
        const char* codec;
        const char* muxer;
        TAudioValues asked;
        int mode;
        int rate;
        size_t notes;
        bool copied; // the main ffmpeg copies the piped AMR stream
    } cases[] = {
        {"amr_nb", "3gp", {1, 12200, 8000}, 7, 8000, 0, true},
        {"amr_nb", "amr", {2, 9000, 44100}, 5, 8000, 3, false},
        {"libvo_amrwbenc", "3gp", {0, 0, 0}, 8, 16000, 0, true},
        {"amr_wb", "amr", {0, 23000, 16000}, 7, 16000, 1, false},
    };
    for (const auto& c : cases) {
        TPlanDraft draft;
        draft.plan.muxer = c.muxer;
        draft.plan.writeVideo = true;
        draft.plan.writeAudio = true;
        const std::string encoder = ChooseAudioEncoder(Request({"-acodec", c.codec}, "o.avi"), draft);
        ASSERT_TRUE(draft.plan.amr) << c.codec;
        EXPECT_EQ(encoder, draft.plan.amrWideBand ? "amr_wb" : "amr_nb");
        PlanAmrAudio(c.asked, draft);
        EXPECT_EQ(draft.plan.amrMode.mode, c.mode) << c.codec;
        EXPECT_EQ(draft.plan.channels, 1);
        EXPECT_EQ(draft.plan.sampleRate, c.rate);
        EXPECT_EQ(draft.plan.notes.size(), c.notes) << c.codec;
        EXPECT_EQ(draft.audioArgs == std::vector<std::string>({"-c:a", "copy"}), c.copied) << c.codec;
        // A bare AMR stream holds no video.
        EXPECT_EQ(draft.plan.writeVideo, c.copied) << c.codec;
        EXPECT_EQ(draft.plan.amrDirect, !c.copied) << c.codec;
    }
}

TEST(PlanSteps, Mpeg1FrameRates)
{
    struct {
        const char* asked;  // "" = the source's 12.5 fps
        const char* target; // "" = none
        const char* strict; // "" = none
        const char* rateArg;
        bool unofficial;    // "-strict unofficial" added
        size_t notes;
    } cases[] = {
        {"25", "", "", "25", false, 0},
        {"19.98", "", "", "24000/1001", false, 1},
        {"15", "", "", "15", true, 1},
        {"15", "", "-2", "15", false, 1}, // a strictness asked for stays the only one
        {"14.985", "", "", "15", true, 1},
        {"", "", "", "12", true, 1},
        {"19.98", "pal-vcd", "", "20000/1001", false, 0}, // a target keeps what is asked
    };
    for (const auto& c : cases) {
        std::vector<std::string> options;
        if (*c.asked)
            options = {"-r", c.asked};
        if (*c.target)
            options.insert(options.end(), {"-target", c.target});
        if (*c.strict)
            options.insert(options.end(), {"-strict", c.strict});
        TRequest req = Request(options, "o.mpg");
        TPlanDraft draft;
        std::string error;
        ASSERT_TRUE(PlanContainer(req, draft, error));
        TVideoShape shape;
        shape.checked = CheckedVideoEncoder("", draft);
        ASSERT_EQ(shape.checked, "mpeg1video");
        TStreamFacts src = Stream("video");
        src.frameRate = 12.5;
        ASSERT_TRUE(PlanFrameRate(req, &src, draft, shape, error)) << error;
        EXPECT_EQ(draft.videoArgs, std::vector<std::string>({"-r", c.rateArg})) << c.asked;
        const bool strict = std::find(draft.tailArgs.begin(), draft.tailArgs.end(), "unofficial") != draft.tailArgs.end();
        EXPECT_EQ(strict, c.unofficial) << c.asked;
        EXPECT_EQ(draft.plan.notes.size(), c.notes) << c.asked;
    }
}

} // namespace
