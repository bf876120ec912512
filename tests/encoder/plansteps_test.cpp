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
        // Opus codes at 8, 12, 16, 24 or 48 kHz: any other rate goes to 48 kHz, not the nearest.
        {"opus keeps 24000", "libopus", "opus", 24000, 2, {}, {0, 0, 0}, 0},
        {"opus source 44100 to 48000", "libopus", "opus", 44100, 2, {0, 128000, 0}, {0, 128000, 48000}, 1},
        {"opus asked 22050 to 48000", "libopus", "webm", 48000, 1, {0, 32000, 22050}, {0, 32000, 48000}, 1},
        {"opus source 96000 to 48000", "libopus", "matroska", 96000, 6, {}, {0, 0, 48000}, 1},
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

// Which source streams a request copies instead of encoding.
TEST(PlanSteps, CopyRuleTable)
{
    auto video = [](const char* muxer, const char* codec) {
        TCopyQuestion q;
        q.muxer = muxer;
        q.video = true;
        q.codec = codec;
        q.width = 640;
        q.height = 480;
        q.fps = 25;
        q.bitRate = 900000;
        return q;
    };
    auto audio = [](const char* muxer, const char* codec) {
        TCopyQuestion q;
        q.muxer = muxer;
        q.codec = codec;
        q.sampleRate = 48000;
        q.channels = 2;
        q.bitRate = 128000;
        return q;
    };
    struct {
        const char* name;
        TCopyQuestion q;
        bool copies;
    } cases[] = {
        {"h264 from mkv into mp4", video("mp4", "h264"), true},
        {"hevc into mp4", video("mp4", "hevc"), true},
        {"h264 into mkv", video("matroska", "h264"), true},
        {"vp9 into webm", video("webm", "vp9"), true},
        {"h264 refused by webm", video("webm", "h264"), false},
        {"mpeg4 part 2 into mkv encodes", video("matroska", "mpeg4"), false},
        {"avi copies nothing", video("avi", "h264"), false},
        {"unknown codec", video("matroska", ""), false},
        {"same size asked", [&] { auto q = video("mp4", "h264"); q.askedWidth = 640; q.askedHeight = 480; return q; }(), true},
        {"other size asked", [&] { auto q = video("mp4", "h264"); q.askedWidth = 320; q.askedHeight = 240; return q; }(), false},
        {"same rate asked", [&] { auto q = video("mp4", "h264"); q.askedFps = 25; return q; }(), true},
        {"other rate asked", [&] { auto q = video("mp4", "h264"); q.askedFps = 30; return q; }(), false},
        {"aspect asked", [&] { auto q = video("mp4", "h264"); q.askedAspect = true; return q; }(), false},
        {"bitrate below target", [&] { auto q = video("mp4", "h264"); q.targetBitRate = 1200000; return q; }(), true},
        {"bitrate equal to target", [&] { auto q = video("mp4", "h264"); q.targetBitRate = 900000; return q; }(), true},
        {"bitrate above target", [&] { auto q = video("mp4", "h264"); q.targetBitRate = 600000; return q; }(), false},
        {"above target but quality asked", [&] { auto q = video("mp4", "h264"); q.targetBitRate = 600000; q.quality = true; return q; }(), true},
        {"unknown bitrate against a target", [&] { auto q = video("mp4", "h264"); q.bitRate = 0; q.targetBitRate = 600000; return q; }(), false},
        {"unknown bitrate without a target", [&] { auto q = video("mp4", "h264"); q.bitRate = 0; return q; }(), true},
        {"48 kHz opus into ogg", audio("ogg", "opus"), true},
        {"opus into opus", audio("opus", "opus"), true},
        {"aac into mp4", audio("mp4", "aac"), true},
        {"aac into m4a", audio("ipod", "aac"), true},
        {"alac into m4a", audio("ipod", "alac"), true},
        {"aac refused by ogg", audio("ogg", "aac"), false},
        {"mp3 into mkv encodes", audio("matroska", "mp3"), false},
        {"flac into flac", audio("flac", "flac"), true},
        {"other sample rate", [&] { auto q = audio("ogg", "opus"); q.askedSampleRate = 24000; return q; }(), false},
        {"same sample rate", [&] { auto q = audio("ogg", "opus"); q.askedSampleRate = 48000; return q; }(), true},
        {"other channels", [&] { auto q = audio("mp4", "aac"); q.askedChannels = 1; return q; }(), false},
        {"audio bitrate above target", [&] { auto q = audio("mp4", "aac"); q.targetBitRate = 96000; return q; }(), false},
        {"audio bitrate above target, vbr quality", [&] { auto q = audio("mp4", "aac"); q.targetBitRate = 96000; q.quality = true; return q; }(), true},
        {"loudness normalisation encodes", [&] { auto q = audio("mp4", "aac"); q.normalizeLoudness = true; return q; }(), false},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_EQ(StreamCopyFits(c.q, &why), c.copies) << c.name;
        EXPECT_EQ(why.empty(), c.copies) << c.name << ": " << why;
    }
}

// With -copyfit a fitting stream is copied with a note; time ranges say
// where a copy cuts; without -copyfit everything is encoded.
TEST(PlanSteps, CopyFittingInThePlan)
{
    TSourceFacts source;
    source.bitRate = 1000000;
    TStreamFacts v = Stream("video");
    v.codec = "h264";
    v.width = 640;
    v.height = 480;
    v.frameRate = 25;
    TStreamFacts a = Stream("audio");
    a.codec = "aac";
    a.sampleRate = 44100;
    a.channels = 2;
    a.bitRate = 128000;
    source.streams = {v, a};
    auto plan = [&](std::vector<std::string> options, const std::string& output) {
        TPlan p;
        std::string error;
        EXPECT_TRUE(MakePlan(Request(options, output), source, p, error)) << error;
        return p;
    };
    auto has = [](const TPlan& p, const std::vector<std::string>& seq) {
        return std::search(p.outputArgs.begin(), p.outputArgs.end(), seq.begin(), seq.end()) != p.outputArgs.end();
    };
    const TPlan both = plan({"-f", "mp4", "-copyfit", "-vcodec", "h264", "-b", "1200k", "-acodec", "aac", "-ab", "128"}, "o.mp4");
    EXPECT_TRUE(has(both, {"-c:v", "copy"}));
    EXPECT_TRUE(has(both, {"-c:a", "copy"}));
    EXPECT_EQ(both.notes.size(), 2u);
    const TPlan encoded = plan({"-f", "mp4", "-vcodec", "h264", "-b", "1200k", "-acodec", "aac", "-ab", "128"}, "o.mp4");
    EXPECT_FALSE(has(encoded, {"-c:v", "copy"}));
    EXPECT_FALSE(has(encoded, {"-c:a", "copy"}));
    // Video copied, audio above its target encoded; the copied video's cut is told.
    const TPlan ranged = plan({"-f", "matroska", "-copyfit", "-ss", "0.5", "-t", "1", "-vcodec", "hevc", "-crf", "24",
                               "-acodec", "opus", "-ab", "96"}, "o.mkv");
    EXPECT_TRUE(has(ranged, {"-c:v", "copy"}));
    EXPECT_TRUE(has(ranged, {"-c:a", "libopus"}));
    ASSERT_FALSE(ranged.notes.empty());
    EXPECT_NE(ranged.notes.front().find("key frame"), std::string::npos) << ranged.notes.front();
    // WebM takes the copy of neither: H.264 and AAC are not WebM codecs.
    const TPlan webm = plan({"-f", "webm", "-copyfit", "-vcodec", "vp9", "-acodec", "opus"}, "o.webm");
    EXPECT_TRUE(has(webm, {"-c:v", "libvpx-vp9"}));
    EXPECT_TRUE(has(webm, {"-c:a", "libopus"}));
}

// The newer encoders' options: speed presets, constant quality, refusals.
TEST(PlanSteps, NewerVideoEncoders)
{
    TSourceFacts source;
    TStreamFacts v = Stream("video");
    v.codec = "mpeg4";
    v.width = 50;
    v.height = 31;
    v.frameRate = 25;
    source.streams = {v};
    struct {
        std::vector<std::string> options;
        const char* output;
        std::vector<std::string> expected; // a run of the arguments
        const char* error;                 // "" = the plan is made
    } cases[] = {
        {{"-vcodec", "hevc", "-crf", "24"}, "o.mkv", {"-crf", "24", "-preset", "fast"}, ""},
        {{"-vcodec", "hevc"}, "o.mp4", {"-tag:v", "hvc1"}, ""},
        {{"-vcodec", "av1", "-speed", "faster"}, "o.mkv", {"-s", "64x64"}, ""},
        {{"-vcodec", "libaom-av1"}, "o.mkv", {"-c:v", "libsvtav1"}, ""},
        {{"-vcodec", "vp9", "-crf", "32", "-b", "1000k"}, "o.webm", {"-crf", "32", "-b:v", "0", "-deadline", "good", "-cpu-used", "5"}, ""},
        {{"-vcodec", "vp9", "-speed", "faster"}, "o.webm", {"-deadline", "realtime", "-cpu-used", "8"}, ""},
        {{"-vcodec", "h264", "-speed", "smaller"}, "o.mkv", {"-preset", "slow"}, ""},
        {{"-vcodec", "h264", "-crf", "60"}, "o.mkv", {"-crf", "51"}, ""},
        {{"-vcodec", "h264"}, "o.webm", {}, "the webm container holds only VP8, VP9 and AV1 video, not libx264"},
        {{"-vcodec", "vp9", "-speed", "fastest"}, "o.webm", {}, "invalid speed 'fastest' (faster, balanced or smaller)"},
        {{"-vcodec", "vp9", "-crf", "x"}, "o.webm", {}, "invalid constant quality 'x'"},
    };
    for (const auto& c : cases) {
        TPlan p;
        std::string error;
        const bool made = MakePlan(Request(c.options, c.output), source, p, error);
        EXPECT_EQ(error, c.error) << c.output;
        if (!made)
            continue;
        EXPECT_NE(std::search(p.outputArgs.begin(), p.outputArgs.end(), c.expected.begin(), c.expected.end()),
                  p.outputArgs.end())
            << c.options.front() << " " << c.output;
    }
}

} // namespace
