// The pure parts of the encoder: reading the old command line, turning it
// into ffmpeg options, AMR modes, scripts, progress and probe reading.

#include "encoder/Amr.h"
#include "encoder/CommandLine.h"
#include "encoder/Console.h"
#include "encoder/Plan.h"
#include "encoder/Probe.h"
#include "encoder/SourceFacts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace avcore;

namespace {

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> out;
    size_t from = 0;
    while (from < line.size()) {
        size_t blank = line.find(' ', from);
        if (blank == std::string::npos)
            blank = line.size();
        if (blank > from)
            out.push_back(line.substr(from, blank - from));
        from = blank + 1;
    }
    return out;
}

// True when the words appear one after the other somewhere in args.
bool HasSequence(const std::vector<std::string>& args, const std::string& words)
{
    std::vector<std::string> w = Split(words);
    return std::search(args.begin(), args.end(), w.begin(), w.end()) != args.end();
}

TEST(ParseRequest, ReadsNamesThatLookLikeOptionsAndEmptyTimes)
{
    TRequest req;
    std::string error;
    ASSERT_TRUE(ParseRequest({"-p", "5260718", "-i", "-y", "-y", "-f", "avi", "-sameq", "-an"}, req, error)) << error;
    EXPECT_EQ(req.input, "-y");
    EXPECT_EQ(req.output, "-an");
    EXPECT_TRUE(req.sameQuality);
    EXPECT_FALSE(req.noAudio) << "the last argument is the output name, not an option";

    // " -t  -ss  " (empty time texts) splits into two bare time options.
    ASSERT_TRUE(ParseRequest(Split("-p 5260718 -i in.wav -y -f mp3 -t -ss -vn -acodec mp3 out.mp3"), req, error));
    EXPECT_EQ(req.duration, "");
    EXPECT_EQ(req.start, "");
    EXPECT_TRUE(req.noVideo);
    EXPECT_EQ(req.audioCodec, "mp3");

    // The grant the batch adds last is the one that counts.
    ASSERT_TRUE(ParseRequest(Split("-p 5260718 -i in.wav -replace any -y -f mp3 -replace 8:42 out.mp3"), req, error));
    EXPECT_EQ(req.replace, "8:42");
}

TEST(ParseRequest, RefusesBrokenLines)
{
    const char* lines[] = {
        "-p 5260718 -i in.avi -foo bar out.avi", // unknown option
        "-p 5260718 -i in.avi -vcodec out.avi",  // option without value
        "-p 5260718 -y out.avi",                 // no input
        "-p 5260718 -i",                         // nothing after -i
        "-p 5260718 -i in.avi -replace all out.avi",     // no grant
        "-p 5260718 -i in.avi -replace 12 out.avi",      // a device without an inode
        "-p 5260718 -i in.avi -replace out.avi",         // no value
        "-p 5260718 -i in.wav -loudness -4 out.mp3",       // target above -5 LUFS
        "-p 5260718 -i in.wav -loudness -70.5 out.mp3",    // below -70 LUFS
        "-p 5260718 -i in.wav -loudness loud out.mp3",     // no number
        "-p 5260718 -i in.wav -truepeak 0.5 out.mp3",      // ceiling above 0 dBTP
        "-p 5260718 -i in.wav -truepeak -10 out.mp3",      // below -9 dBTP
        "-p 5260718 -i in.wav -loudness-of -20,5 out.mp3", // two figures of three
        "-p 5260718 -i in.wav -loudness-of a,b,c out.mp3", // no figures
    };
    for (const char* line : lines) {
        TRequest req;
        std::string error;
        EXPECT_FALSE(ParseRequest(Split(line), req, error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
}

TEST(ParseValues, TimesBitratesNumbers)
{
    struct {
        const char* text;
        double seconds; // -1: refused
    } times[] = {{"0:01:30.500", 90.5}, {"1:30", 90}, {"12.5", 12.5}, {"0:00:00.000", 0}, {"", -1},
                 {"abc", -1},           {"-1", -1},  {"1:2:3:4", -1}, {"1::2", -1},       {"0:1.5:00", -1}};
    for (const auto& t : times) {
        auto v = ParseTimeText(t.text);
        if (t.seconds < 0) {
            EXPECT_FALSE(v) << t.text;
        } else {
            EXPECT_NEAR(v.value_or(-99), t.seconds, 1e-9) << t.text;
        }
    }
    struct {
        const char* text;
        bool allowZero;
        long long bits; // -1: refused
    } rates[] = {{"1200k", false, 1200000}, {"128", false, 128000},  {"128000", false, 128000}, {"1.5M", false, 1500000},
                 {"0k", true, 0},           {"0k", false, -1},       {"-5k", true, -1},         {"x", true, -1},
                 {"", true, -1},            {"12.2k", false, 12200}, {"0.0001k", false, -1}, {"0.0001k", true, 0}};
    for (const auto& r : rates) {
        auto v = ParseBitrate(r.text, r.allowZero);
        if (r.bits < 0) {
            EXPECT_FALSE(v) << r.text;
        } else {
            EXPECT_EQ(v.value_or(-99), r.bits) << r.text;
        }
    }
}

TEST(AmrModes, PresetsGoToTheNearestMode)
{
    struct {
        bool wide;
        long long bits;
        int mode;
    } cases[] = {{false, 8000, 5},  {false, 9000, 5},  {false, 10000, 6}, {false, 11000, 6}, {false, 12000, 7},
                 {false, 13000, 7}, {false, 0, 7},     {false, 1000, 0},  {true, 7000, 0},   {true, 23000, 7},
                 {true, 24000, 8},  {true, 16000, 4},  {true, 0, 8},      {true, 13000, 2},  {true, 64000, 8}};
    for (const auto& c : cases)
        EXPECT_EQ(NearestAmrMode(c.wide, c.bits).mode, c.mode) << (c.wide ? "WB " : "NB ") << c.bits;
}

TSourceFacts Source(bool video, bool audio, int width = 176, int height = 144, int rate = 44100, int channels = 2,
                    double fps = 0)
{
    return MadeUpSource(video, audio, width, height, fps, rate, channels, "matroska");
}

struct TPlanCase {
    const char* name;
    const char* options; // between the input and the output
    const char* output;
    int source;          // 0 audio+video, 1 audio only, 2 video only, 3 odd video size 321x241 + 48 kHz audio,
                         // 4 96 kHz six-channel audio with video, 5 1280x720 at 30 fps with audio
    const char* expect;  // words that must appear in order in the ffmpeg options
    const char* muxer;
    const char* absent = ""; // a word that must not appear
};

const TPlanCase PlanCases[] = {
    {"msmpeg4_in_mov_becomes_mpeg4", "-y -f mov -vcodec msmpeg4 -s 320x240", "o.mov", 0, "-c:v mpeg4 -s 320x240", "mov"},
    {"msmpeg4_stays_in_avi", "-y -f avi -vcodec msmpeg4", "o.avi", 0, "-c:v msmpeg4", "avi"},
    {"msmpeg4_in_3gp_becomes_mpeg4", "-y -f 3gp -vcodec msmpeg4", "o.3gp", 0, "-c:v mpeg4", "3gp"},
    {"3gp_line_with_3g2_name", "-y -f 3gp -vcodec xvid", "o.3g2", 0, "-c:v libxvid", "3g2"},
    {"h264_gets_420", "-y -f mp4 -vcodec h264 -b 600k", "o.mp4", 0, "-c:v libx264 -pix_fmt yuv420p -b:v 600000", "mp4"},
    {"h263_size_to_nearest_legal", "-y -f avi -vcodec h263 -s 320x240", "o.avi", 0, "-c:v h263 -s 352x288", "avi"},
    {"h263p_size_multiple_of_4", "-y -f avi -vcodec h263p -s 322x242", "o.avi", 0, "-s 324x244", "avi"},
    {"rv10_size_multiple_of_16", "-y -f rm -vcodec rv10 -s 330x250", "o.rm", 0, "-s 336x256", "rm"},
    {"odd_source_size_made_even", "-y -f avi -vcodec xvid", "o.avi", 3, "-s 322x242", "avi"},
    {"video_bitrate_in_kbit", "-y -f avi -vcodec xvid -b 1200k -r 29.97 -aspect 4:3", "o.avi", 0,
     "-b:v 1200000 -r 30000/1001 -aspect 4:3", "avi"},
    {"sameq_x264_is_crf", "-y -f mp4 -sameq -vcodec h264 -b 600k", "o.mp4", 0, "-crf 18", "mp4", "-b:v"},
    {"sameq_other_is_qscale", "-y -f avi -sameq -vcodec xvid -b 600k", "o.avi", 0, "-q:v 2", "avi", "-b:v"},
    {"audio_bitrate_plain_kbit", "-y -f mp3 -vn -acodec mp3 -ac 2 -ab 128 -ar 44100", "o.mp3", 0,
     "-vn -c:a libmp3lame -ac 2 -b:a 128000 -ar 44100", "mp3"},
    {"ac3_51_is_six_channels", "-y -f ac3 -vn -acodec ac3 -ab 256 -ac 5:1 -ar 48000", "o.ac3", 0, "-ac 6 -b:a 256000",
     "ac3"},
    {"ac3_low_rate_raised", "-y -f ac3 -vn -acodec ac3 -ac 2 -ar 22050", "o.ac3", 0, "-ar 32000", "ac3"},
    {"mp2_bitrate_to_legal", "-y -f mp2 -vn -acodec mp2 -ab 100 -ar 22050", "o.mp2", 0, "-b:a 96000 -ar 22050", "mp2"},
    {"mp2_bitrate_full_rate", "-y -f mp2 -vn -acodec mp2 -ab 150 -ar 48000", "o.mp2", 0, "-b:a 160000", "mp2"},
    {"aac_is_adts", "-y -f aac -vn -acodec aac", "o.aac", 0, "-c:a aac", "adts"},
    {"wmv_by_extension", "-y -vcodec wmv2", "o.wmv", 0, "-c:v wmv2", "asf"},
    {"swf_rate_from_source", "-y -vcodec flv -acodec mp3 -ab 64", "o.swf", 3, "-c:a libmp3lame -b:a 64000 -ar 44100",
     "swf"},
    {"mpeg1_low_frame_rate", "-y -vcodec mpeg1video -r 15", "o.mpg", 0, "-r 15 -strict unofficial", "mpeg"},
    {"mov_without_audio_codec_gets_aac", "-y -f mov -vcodec svq1 -ac 2", "o.mov", 0, "-c:a aac -ac 2", "mov"},
    {"target_first", "-target pal-dvd -b 6000k -ab 192", "o.mpg", 0, "-target pal-dvd -b:v 6000000 -b:a 192000", ""},
    {"audio_format_drops_video", "-y -f wav -acodec pcm_s16le", "o.wav", 0, "-vn -c:a pcm_s16le", "wav"},
    {"no_audio", "-y -f avi -vcodec xvid -an", "o.avi", 0, "-c:v libxvid -an", "avi"},
    {"time_range", "-y -f avi -t 0:00:01.500 -ss 0:00:02.000 -vcodec xvid", "o.avi", 0, "-c:v libxvid", "avi"},
    {"amr_nb_piped_into_3gp", "-y -f 3gp -vcodec h263 -s 176x144 -acodec amr_nb -ac 1 -ar 8000 -ab 12", "o.3gp", 0,
     "-c:a copy", "3gp"},
    {"amr_direct", "-y -f amr -vn -acodec amr_wb -ab 23", "o.amr", 0, "-vn", "amr", "-c:a"},
    {"huffyuv_odd_size_made_even", "-y -f avi -vcodec ffvhuff -strict -2", "o.avi", 3, "-c:v ffvhuff -s 322x242", "avi"},
    {"mjpeg_keeps_odd_size", "-y -f avi -vcodec mjpeg", "o.avi", 3, "-c:v mjpeg", "avi", "-s"},
    {"rv10_frames_capped_by_the_buffer", "-y -f rm -vcodec rv10 -b 768k -r 25", "o.rm", 0,
     "-b:v 768000 -r 25 -bufsize 480000 -maxrate 12000000", "rm"},
    {"rv10_sameq_still_capped", "-y -f rm -sameq -vcodec rv10 -r 10", "o.rm", 0, "-bufsize 480000 -maxrate 4800000",
     "rm"},
    {"rv10_bitrate_beyond_the_cap_lowered", "-y -f rm -vcodec rv10 -b 8000k -r 25", "o.rm", 0, "-b:v 6000000", "rm"},
    {"mpeg1_19_98_written_at_23_976", "-y -vcodec mpeg1video -r 19.98", "o.mpg", 0, "-r 24000/1001", "mpeg", "-strict"},
    {"mpeg1_14_985_written_at_15", "-y -vcodec mpeg1video -r 14.985", "o.mpg", 0, "-r 15", "mpeg"},
    {"mpeg_default_codec_is_mpeg1", "-y -b 1000k -r 19.98", "o.mpg", 0, "-r 24000/1001", "mpeg"},
    {"mpeg2_keeps_19_98", "-y -vcodec mpeg2video -r 19.98", "o.mpg", 0, "-r 20000/1001", "mpeg"},
    {"psp_is_main_level_30", "-y -f psp -vcodec h264 -s 320x240 -b 600k -r 29.97 -acodec aac", "o.mp4", 0,
     "-profile:v main -level:v 3.0 -maxrate 10000000 -bufsize 10000000", "psp"},
    {"psp_large_source_scaled_to_the_level", "-y -f psp -vcodec h264 -b 600k -r 30 -acodec aac", "o.mp4", 5,
     "-s 768x432", "psp"},
    {"psp_without_sound_gets_silence", "-y -f psp -vcodec h264 -s 320x240 -acodec aac", "o.mp4", 2,
     "-f lavfi -i anullsrc=r=48000:cl=stereo -map 0:v:0 -map 1:a:0", "psp", "-an"},
    {"mp4_index_first", "-y -f mp4 -vcodec h264", "o.mp4", 0, "-movflags +faststart", "mp4"},
    {"mov_index_first_and_metadata_keys", "-y -f mov -vcodec svq1", "o.mov", 0,
     "-movflags +faststart+use_metadata_tags", "mov"},
    {"mp3_id3v23_and_id3v1", "-y -f mp3 -vn -acodec mp3", "o.mp3", 0, "-id3v2_version 3 -write_id3v1 1", "mp3"},
    {"adts_id3v2_header", "-y -f aac -vn -acodec aac", "o.aac", 0, "-write_id3v2 1", "adts"},
    {"audio_stream_tags_to_the_container", "-y -f mp3 -vn -acodec mp3", "o.mp3", 1, "-map_metadata 0:s:a:0", "mp3"},
    {"video_source_keeps_container_tags", "-y -f avi -vcodec xvid", "o.avi", 0, "-c:v", "avi", "-map_metadata"},
    {"keep_tags_off", "-y -f mp3 -vn -acodec mp3 -map_metadata -1", "o.mp3", 1, "-map_metadata -1", "mp3",
     "-id3v2_version"},
    {"3gp_index_first", "-y -f 3gp -vcodec h263 -s 176x144", "o.3gp", 0, "-movflags +faststart", "3gp"},
    {"avi_has_no_index_flag", "-y -f avi -vcodec xvid", "o.avi", 0, "-c:v libxvid", "avi", "-movflags"},
    {"mp3_320_at_22050_is_160", "-y -f mp3 -vn -acodec mp3 -ab 320 -ar 22050", "o.mp3", 0, "-b:a 160000 -ar 22050",
     "mp3"},
    {"mp3_100_at_44100_is_96", "-y -f mp3 -vn -acodec mp3 -ab 100 -ar 44100", "o.mp3", 0, "-b:a 96000", "mp3"},
    {"mp3_from_96k_six_channels", "-y -f mp3 -vn -acodec mp3 -ab 128", "o.mp3", 4, "-ac 2 -b:a 128000 -ar 48000",
     "mp3"},
    {"avi_default_audio_is_mp3_limited", "-y -f avi -vcodec xvid", "o.avi", 4, "-ac 2 -ar 48000", "avi"},
    // VBR quality 0 .. 10 (higher is better) runs against LAME's V9 .. V0, without a bitrate.
    {"mp3_aq_9_is_lame_v0", "-y -f mp3 -vn -acodec mp3 -ac 2 -ar 44100 -aq 9", "o.mp3", 0, "-c:a libmp3lame -q:a 0 -ac 2", "mp3", "-b:a"},
    {"mp3_aq_0_is_lame_v9", "-y -f mp3 -vn -acodec mp3 -aq 0", "o.mp3", 0, "-c:a libmp3lame -q:a 9", "mp3", "-b:a"},
    {"mkv_sound_only", "-y -f matroska -vn -acodec aac -ab 128", "o.mkv", 0, "-vn -c:a aac -b:a 128000", "matroska", "-c:v"},
    {"avi_h264_crf_and_speed", "-y -f avi -vcodec h264 -b 1080k -r 25 -crf 22 -speed smaller", "o.avi", 0,
     "-c:v libx264 -pix_fmt yuv420p -crf 22 -preset slow -r 25", "avi", "-b:v"},
    {"mov_h264_crf_and_speed", "-y -f mov -vcodec h264 -b 1200k -r 25 -crf 20 -speed faster", "o.mov", 0,
     "-crf 20 -preset veryfast", "mov", "-b:v"},
    {"ac3_keeps_six_channels", "-y -f ac3 -vn -acodec ac3 -ab 384", "o.ac3", 4, "-b:a 384000 -ar 48000", "ac3", "-ac"},
};

class PlanTable : public ::testing::TestWithParam<TPlanCase> {};

TEST_P(PlanTable, FfmpegOptions)
{
    const TPlanCase& c = GetParam();
    TRequest req;
    std::string error;
    std::vector<std::string> args = Split(std::string("-p 5260718 -i in.mkv ") + c.options);
    args.push_back(c.output);
    ASSERT_TRUE(ParseRequest(args, req, error)) << error;
    TSourceFacts facts = c.source == 1   ? Source(false, true)
                         : c.source == 2 ? Source(true, false)
                         : c.source == 3 ? Source(true, true, 321, 241, 48000)
                         : c.source == 4 ? Source(true, true, 176, 144, 96000, 6)
                         : c.source == 5 ? Source(true, true, 1280, 720, 44100, 2, 30)
                                         : Source(true, true);
    TPlan plan;
    ASSERT_TRUE(MakePlan(req, facts, plan, error)) << error;
    std::vector<std::string> ff = MainFfmpegArgs(plan, "ffmpeg", "in.mkv", c.output);
    std::string joined;
    for (const std::string& a : ff)
        joined += a + " ";
    EXPECT_TRUE(HasSequence(ff, c.expect)) << joined;
    EXPECT_EQ(plan.muxer, c.muxer);
    if (*c.absent) {
        EXPECT_EQ(std::find(ff.begin(), ff.end(), c.absent), ff.end()) << joined;
    }
    // The names reach ffmpeg as plain files, the output last.
    EXPECT_EQ(ff.back(), std::string("file:") + c.output);
    EXPECT_TRUE(HasSequence(ff, "-i file:in.mkv") || plan.amr) << joined;
}

INSTANTIATE_TEST_SUITE_P(Cases, PlanTable, ::testing::ValuesIn(PlanCases),
                         [](const ::testing::TestParamInfo<TPlanCase>& info) { return std::string(info.param.name); });

TEST(Plan, AdjustmentsAreNotedAndTimesPlaced)
{
    TRequest req;
    std::string error;
    TPlan plan;
    ASSERT_TRUE(ParseRequest(Split("-p 5260718 -i in.mkv -y -f avi -t 0:00:01.500 -ss 0:00:02.000 -vcodec h263 -s "
                                   "320x240 o.avi"),
                             req, error));
    ASSERT_TRUE(MakePlan(req, Source(true, true), plan, error)) << error;
    auto ff = MainFfmpegArgs(plan, "ffmpeg", "in.mkv", "o.avi");
    EXPECT_TRUE(HasSequence(ff, "-ss 2.000 -i file:in.mkv")) << "the start seeks in the input";
    EXPECT_TRUE(HasSequence(ff, "-t 1.500 -f avi")) << "the duration limits the output";
    ASSERT_EQ(plan.notes.size(), 1u);
    EXPECT_NE(plan.notes[0].find("352x288"), std::string::npos);

    // A zero duration converts to the end, with a note.
    ASSERT_TRUE(ParseRequest(Split("-p 5260718 -i in.mkv -y -f mp3 -t 0:00:00.000 -ss 0:00:00.000 -vn o.mp3"), req, error));
    ASSERT_TRUE(MakePlan(req, Source(true, true), plan, error)) << error;
    EXPECT_FALSE(plan.duration);
    EXPECT_EQ(plan.notes.size(), 1u);

    // AMR: mono at the AMR rate, nearest mode, the decoder delivers raw PCM.
    ASSERT_TRUE(ParseRequest(Split("-p 5260718 -i in.mkv -y -f amr -vn -acodec amr_nb -ac 2 -ar 44100 -ab 9 o.amr"), req,
                             error));
    ASSERT_TRUE(MakePlan(req, Source(true, true), plan, error)) << error;
    EXPECT_TRUE(plan.amr && plan.amrDirect && !plan.amrWideBand);
    EXPECT_EQ(plan.amrMode.mode, 5);
    EXPECT_EQ(plan.notes.size(), 3u); // bitrate, channels, sample rate
    auto dec = AmrDecoderArgs(plan, "ffmpeg", "in.mkv", true);
    EXPECT_TRUE(HasSequence(dec, "-ac 1 -ar 8000 -c:a pcm_s16le -f s16le pipe:1"));
}

// Every adjustment that changes the result is told, and in words that name
// what was asked and what is written; what works as asked is not.
TEST(Plan, AdjustmentsThatChangeTheResultAreNoted)
{
    struct {
        const char* options;
        const char* output;
        TSourceFacts source;
        const char* note; // part of the one expected note; "" = no note
    } cases[] = {
        {"-y -f mp3 -vn -acodec mp3 -ac 2 -ab 320 -ar 22050", "o.mp3", Source(true, true),
         "MP3 has no bitrate of 320 kbit/s at 22050 Hz; written at 160 kbit/s"},
        {"-y -f mp3 -vn -acodec mp3 -ac 2 -ab 64 -ar 11025", "o.mp3", Source(true, true), ""},
        {"-y -f ac3 -vn -acodec ac3 -ac 2 -ar 48000 -ab 100", "o.ac3", Source(true, true),
         "AC3 has no bitrate of 100 kbit/s; written at 96 kbit/s"},
        {"-y -f ac3 -vn -acodec ac3 -ac 5:1 -ar 48000 -ab 384", "o.ac3", Source(true, true), ""},
        {"-y -f mp3 -vn -acodec mp3 -ac 2 -ab 192 -ar 44100", "o.mp3", Source(true, true), ""},
        {"-y -f mp3 -vn -acodec mp3 -ab 32", "o.mp3", Source(false, true, 0, 0, 7350, 2),
         "MP3 cannot be sampled at 7350 Hz; written at 8000 Hz"},
        {"-y -f mp2 -vn -acodec mp2 -ab 128", "o.mp2", Source(false, true, 0, 0, 11025, 2),
         "MP2 cannot be sampled at 11025 Hz; written at 16000 Hz"},
        {"-y -f avi -vcodec xvid -acodec mp2 -ab 128 -ac 2", "o.avi", Source(true, true, 176, 144, 44100, 6), ""},
        {"-y -f mp3 -vn -acodec mp3", "o.mp3", Source(false, true, 0, 0, 44100, 6),
         "MP3 holds at most 2 channels; written with 2"},
        {"-y -f vob -vcodec mpeg2video -b 6000k -r 25 -aspect 5:4", "o.vob", Source(true, true, 320, 240),
         "MPEG-2 cannot show 320x240 at 5:4; it shows at 4:3"},
        {"-y -f vob -vcodec mpeg2video -b 6000k -r 25 -aspect 5:4", "o.vob", Source(true, true, 176, 144),
         "MPEG-2 cannot show 176x144 at 5:4; it shows at 11:9"},
        {"-y -f vob -vcodec mpeg2video -s 720x576 -b 6000k -aspect 5:4", "o.vob", Source(true, true), ""},
        {"-y -f vob -vcodec mpeg2video -s 720x576 -b 6000k -aspect 16:9", "o.vob", Source(true, true), ""},
        {"-target pal-dvd -b 5000k -aspect 1:1", "o.mpg", Source(true, true),
         "MPEG-2 cannot show 720x576 at 1:1; it shows at 5:4"},
        {"-y -vcodec mpeg1video -s 720x480 -aspect 4:3", "o.mpg", Source(true, true),
         "MPEG-1 cannot show 720x480 at 4:3; it shows at 1.37:1"},
        {"-y -vcodec mpeg1video -s 352x288 -b 1150k -r 19.98", "o.mpg", Source(true, true),
         "MPEG-1 has no frame rate of 19.98 fps; written at 23.976 fps"},
        {"-y -vcodec mpeg1video -s 352x288 -r 15", "o.mpg", Source(true, true),
         "MPEG-1 has no standard frame rate of 15 fps; written with an unofficial frame-rate code"},
        {"-y -vcodec mpeg1video -s 352x288", "o.mpg", Source(true, true, 176, 144, 44100, 2, 12.5),
         "MPEG-1 has no frame rate of 12.5 fps; written at 12 fps with an unofficial frame-rate code"},
        {"-y -vcodec mpeg1video -s 352x288 -r 25", "o.mpg", Source(true, true), ""},
        {"-y -f avi -vcodec ffvhuff -strict -2", "o.avi", Source(true, true, 201, 149),
         "ffvhuff cannot write 201x149; written as 202x150"},
        {"-y -f psp -vcodec h264 -b 600k -r 25 -acodec aac", "o.mp4", Source(true, true, 1920, 1080),
         "1920x1080 written as 854x480"},
        {"-y -f psp -vcodec h264 -s 480x272 -b 12000k -r 25 -acodec aac", "o.mp4", Source(true, true),
         "the PSP plays at most 10000 kbit/s of video"},
        {"-y -f psp -vcodec h264 -s 480x272 -b 768k -r 29.97 -acodec aac", "o.mp4", Source(true, true), ""},
        {"-y -f rm -vcodec rv10 -b 768k -r 25 -acodec ac3 -ac 2 -ar 48000 -ab 256", "o.rm", Source(true, true), ""},
    };
    for (const auto& c : cases) {
        TRequest req;
        std::string error;
        std::vector<std::string> args = Split(std::string("-p 5260718 -i in.mkv ") + c.options);
        args.push_back(c.output);
        ASSERT_TRUE(ParseRequest(args, req, error)) << c.options << ": " << error;
        TPlan plan;
        ASSERT_TRUE(MakePlan(req, c.source, plan, error)) << c.options << ": " << error;
        std::string all;
        for (const std::string& n : plan.notes)
            all += n + "\n";
        if (!*c.note) {
            EXPECT_TRUE(plan.notes.empty()) << c.options << "\n" << all;
        } else {
            ASSERT_EQ(plan.notes.size(), 1u) << c.options << "\n" << all;
            EXPECT_NE(plan.notes[0].find(c.note), std::string::npos) << c.options << "\n" << all;
        }
    }
}

TEST(ParseRequest, OnlyDocumentedContainers)
{
    struct {
        const char* options;
        const char* output;
        bool accepted;
    } cases[] = {
        {"-f avi", "o.avi", true},          {"-f AVI", "o.bin", true},          {"-f psp", "o.mp4", true},
        {"-f mpg", "o.mpg", true},          {"-f wmv", "o.wmv", true},          {"-f aac", "o.aac", true},
        {"-f matroska", "o.mkv", true},     {"", "o.WMV", true},                {"", "o.swf", true},
        {"-target pal-vcd", "o", true},     {"-f image2", "out%d.jpg", false},  {"-f null", "o.avi", false},
        {"-f tee", "o.avi", false},         {"-f rtp", "o.avi", false},         {"-f avi,mp4", "o.avi", false},
        {"-f", "o.avi", false},             {"", "out%d.jpg", false},           {"", "o", false},
        {"", "dir.d/o", false},
    };
    for (const auto& c : cases) {
        TRequest req;
        std::string error;
        std::vector<std::string> args = Split(std::string("-p 5260718 -i in.mkv -y ") + c.options);
        args.push_back(c.output);
        EXPECT_EQ(ParseRequest(args, req, error), c.accepted) << c.options << " " << c.output << ": " << error;
        if (!c.accepted) {
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(error.find('\n'), std::string::npos);
        }
    }
    // The refusal names the known containers, and each of them is in "--help".
    TRequest req;
    std::string error;
    ASSERT_FALSE(ParseRequest(Split("-p 5260718 -i in.mkv -f image2 out%d.jpg"), req, error));
    const std::string help = HelpText();
    for (const TContainer& c : Containers()) {
        std::string first = c.names;
        first = first.substr(0, first.find(' '));
        EXPECT_NE(error.find(first), std::string::npos) << first;
        EXPECT_NE(help.find("\n    " + first + " "), std::string::npos) << first;
    }
    // A value quoted in the message cannot start a line of its own.
    ASSERT_FALSE(ParseRequest({"-p", "5260718", "-i", "in.mkv", "-f", "x\nError: fake", "o.avi"}, req, error));
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

TEST(Plan, RefusesWhatCannotWork)
{
    struct {
        const char* options;
        const char* output;
        int source; // 0 audio+video, 1 audio only, 2 video only
    } cases[] = {
        {"-y -f mp3 -vn -acodec mp3", "o.mp3", 2},         // no audio to write
        {"-y -f avi -vcodec xvid -an", "o.avi", 1},        // nothing left
        {"-y -f avi -vn -an", "o.avi", 0},                 // both disabled
        {"-y -f avi -s 320y240", "o.avi", 0},              // bad size
        {"-y -f avi -b -5k", "o.avi", 0},                  // negative bitrate
        {"-y -f avi -r 0", "o.avi", 0},                    // bad frame rate
        {"-y -f mp3 -vn -ac 5:2", "o.mp3", 0},             // bad channels
        {"-y -f mp3 -vn -ar 44k", "o.mp3", 0},             // bad sample rate
        {"-y -f avi -t 0:00:01 -ss 0:00:30 ", "o.avi", 0}, // start beyond the 10 s source
        {"-y -f avi -t 1:xx", "o.avi", 0},                 // bad duration
        {"-target pal-xyz", "o.mpg", 0},                   // unknown target
        {"-y -f avi -strict sloppy", "o.avi", 0},          // bad strictness
    };
    for (const auto& c : cases) {
        TRequest req;
        std::string error;
        std::vector<std::string> args = Split(std::string("-p 5260718 -i in.mkv ") + c.options);
        args.push_back(c.output);
        ASSERT_TRUE(ParseRequest(args, req, error)) << c.options << ": " << error;
        TPlan plan;
        TSourceFacts facts = c.source == 1 ? Source(false, true) : c.source == 2 ? Source(true, false) : Source(true, true);
        EXPECT_FALSE(MakePlan(req, facts, plan, error)) << c.options;
        EXPECT_FALSE(error.empty()) << c.options;
    }
}

TEST(Script, SourceNameRunsFromTheMarkerToTheNextQuote)
{
    struct {
        const char* text;
        const char* source; // "" = refused
    } cases[] = {
        {"# made for one file\nDirectShowSource(\"/data/a b.avi\")\n", "/data/a b.avi"},
        {"DirectShowSource(\"/data/we\")ird.avi\")\r\n", "/data/we"}, // a name cannot hold a quote
        {"DirectShowSource(\"/data/a.avi\", fps=25)\n", "/data/a.avi"},
        // A name broken by a line break never lets a later line name the source.
        {"DirectShowSource(\"/data/x\nDirectShowSource(\"/etc/passwd\")\n", ""},
        {"# DirectShowSource(\"/not/this\") is a comment\n", "/not/this"}, // the first line with the marker counts
        {"# nothing here\nVersion()\n", ""},
        {"DirectShowSource(\"\")\n", ""},
        {"DirectShowSource(\"/data/unclosed.avi\n", ""},
    };
    qvtest::TempDir dir;
    for (const auto& c : cases) {
        std::string path = dir.file("DirectShow.avs");
        qvtest::WriteFile(path, c.text);
        std::string source, error;
        bool ok = ReadScriptSource(path, source, error);
        EXPECT_EQ(ok, *c.source != 0) << c.text;
        if (ok) {
            EXPECT_EQ(source, c.source);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
    std::string source, error;
    EXPECT_FALSE(ReadScriptSource(dir.file("missing.avs"), source, error));
    EXPECT_TRUE(IsScriptName("x.AVS"));
    EXPECT_FALSE(IsScriptName("x.avi"));
}

TEST(Progress, BlocksInPiecesMakeRisingTimes)
{
    TProgressReader reader;
    EXPECT_EQ(reader.feed("out_time_us=-23220\nprogress=continue\n"), 1);
    EXPECT_EQ(reader.last().outTime, 0) << "priming never shows a negative time";
    EXPECT_EQ(reader.feed("frame=10\nfps=5.0\nstream_0_0_q=2.0\ntotal_size=20480\nout_time_us=1500000\nout_t"), 0);
    EXPECT_EQ(reader.feed("ime=00:00:01.500000\nprogress=continue\n"), 1);
    EXPECT_EQ(reader.last().frame, 10);
    EXPECT_NEAR(reader.last().outTime, 1.5, 1e-9);
    EXPECT_EQ(ProgressLine(reader.last()), "frame=   10 fps=  5 q=2.0 size=      20kB time=1.50 bitrate= 109.2kbits/s");
    // A block with unknown values keeps the known ones; time never goes back.
    EXPECT_EQ(reader.feed("frame=12\ntotal_size=N/A\nout_time_us=N/A\nprogress=continue\n"
                          "frame=20\nout_time_us=1000000\nprogress=end\n"),
              2);
    EXPECT_EQ(reader.last().frame, 20);
    EXPECT_NEAR(reader.last().outTime, 1.5, 1e-9);
    EXPECT_TRUE(reader.last().end);
    TProgress unknown;
    EXPECT_NE(ProgressLine(unknown).find(" time=N/A "), std::string::npos);
}

TEST(Console, DurationAndHeaders)
{
    EXPECT_EQ(DurationText(83.45), "00:01:23.45");
    EXPECT_EQ(DurationText(3600 * 26 + 0.004), "26:00:00.00");
    EXPECT_EQ(DurationText(-1), "N/A");

    TSourceFacts facts;
    std::string error;
    ASSERT_TRUE(ParseProbeJson(R"({"streams":[{"codec_type":"video","codec_name":"mpeg4","width":176,"height":144,
        "avg_frame_rate":"30000/1001","disposition":{"attached_pic":0}},{"codec_type":"audio","codec_name":"pcm_s16le",
        "sample_rate":"44100","channels":2}],"format":{"format_name":"matroska,webm","duration":"2.000000",
        "start_time":"0.000000","bit_rate":"1500000","tags":{"title":"caf\u00e9 \"x\""}}})",
                               facts, error))
        << error;
    EXPECT_EQ(facts.formatName, "matroska");
    EXPECT_TRUE(facts.containerTags);
    EXPECT_NEAR(facts.firstVideo()->frameRate, 29.97, 0.01);
    EXPECT_EQ(facts.firstAudio()->sampleRate, 44100);
    std::string header = InputHeader("-odd name.mkv", facts);
    EXPECT_EQ(header.rfind("Input #0, matroska, from '-odd name.mkv':\n  Duration: 00:00:02.00, start: 0.000000, ", 0), 0u)
        << header;
    EXPECT_FALSE(ParseProbeJson("{\"streams\":[}", facts, error));
}

// A stream's bitrate measured from its packets where the container states none.
TEST(Probe, PacketBitRate)
{
    struct {
        const char* csv;
        long long bitRate;
    } cases[] = {
        {"duration_time=0.500000|size=1000\nduration_time=0.500000|size=1000\n", 16000},
        {"size=4000|duration_time=1.000000\n", 32000}, // the fields in either order
        {"duration_time=N/A|size=100\nduration_time=0.100000|size=300\n", 24000}, // no duration: not counted
        {"", 0},
        {"garbage\nsize=12|duration_time=\nsize=|duration_time=0.1\nxsize=5|duration_time=1\n", 0},
        {"duration_time=0.250000|size=500", 16000}, // the last line needs no line break
    };
    for (const auto& c : cases)
        EXPECT_EQ(PacketBitRate(c.csv), c.bitRate) << c.csv;
}

} // namespace

namespace {

TEST(InputDump, FactsFromFfmpegsHeader)
{
    const std::vector<std::string> dump = {
        "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'file:av.mp4':",
        "  Metadata:",
        "    major_brand     : isom",
        "  Duration: 00:01:02.50, start: 0.021333, bitrate: 428 kb/s",
        "  Stream #0:0[0x1](und): Video: mpeg4 (Simple Profile) (mp4v / 0x7634706D), yuv420p, 176x144 [SAR 1:1 DAR "
        "11:9], 288 kb/s, 29.97 fps, 25 tbr, 12800 tbn (default)",
        "    Metadata:",
        "      handler_name    : VideoHandler",
        "  Stream #0:1[0x2](und): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, 5.1(side), fltp, 127 kb/s (default)",
        "  Stream #0:2: Video: mjpeg (Baseline), yuvj420p(pc, bt470bg/unknown/unknown), 300x300, 90k tbr, 90k tbn "
        "(attached pic)",
        "  Stream #0:3(eng): Subtitle: mov_text (tx3g / 0x67337874)",
        "Output #0, avi, to 'file:x.avi':",
        "  Stream #0:0: Audio: mp3, 8000 Hz, mono",
    };
    TSourceFacts f;
    ASSERT_TRUE(ParseInputDump(dump, f));
    EXPECT_EQ(f.formatName, "mov");
    EXPECT_NEAR(f.duration, 62.5, 1e-9);
    EXPECT_NEAR(f.start, 0.021333, 1e-9);
    EXPECT_EQ(f.bitRate, 428000);
    ASSERT_EQ(f.streams.size(), 4u) << "the output dump is not read";
    EXPECT_EQ(f.streams[0].type, "video");
    EXPECT_EQ(f.streams[0].codec, "mpeg4");
    EXPECT_EQ(f.streams[0].pixelFormat, "yuv420p");
    EXPECT_EQ(f.streams[0].width, 176) << "the hexadecimal tag 0x7634706D is no size";
    EXPECT_EQ(f.streams[0].height, 144);
    EXPECT_NEAR(f.streams[0].frameRate, 29.97, 1e-9);
    EXPECT_EQ(f.streams[1].sampleRate, 44100);
    EXPECT_EQ(f.streams[1].channels, 6);
    EXPECT_EQ(f.streams[1].sampleFormat, "fltp");
    EXPECT_TRUE(f.streams[2].attachedPicture);
    EXPECT_EQ(f.firstVideo(), &f.streams[0]);
    EXPECT_EQ(f.streams[3].type, "subtitle");
    EXPECT_EQ(f.coverIndex(), 2);
    EXPECT_FALSE(f.containerTags) << "a brand is no tag of the work";

    // Tags of the container, not of a stream (Ogg keeps Vorbis comments there).
    const std::string stream = "  Stream #0:0: Audio: vorbis, 44100 Hz, stereo, fltp, 80 kb/s";
    struct {
        std::vector<std::string> lines;
        bool containerTags;
    } tagCases[] = {
        {{"Input #0, ogg, from 'a.ogg':", "  Duration: 00:00:02.00, start: 0.000000, bitrate: 80 kb/s", stream,
          "    Metadata:", "      TITLE           : x"},
         false},
        {{"Input #0, mp3, from 'a.mp3':", "  Metadata:", "    encoder         : Lavf59", "    title           : x",
          "  Duration: 00:00:02.00, start: 0.000000, bitrate: 80 kb/s", stream},
         true},
        {{"Input #0, flac, from 'a.flac':", "  Metadata:", "    ENCODER         : Lavf59",
          "  Duration: 00:00:02.00, start: 0.000000, bitrate: 80 kb/s", stream},
         false},
    };
    for (const auto& c : tagCases) {
        TSourceFacts g;
        ASSERT_TRUE(ParseInputDump(c.lines, g)) << c.lines[0];
        EXPECT_EQ(g.containerTags, c.containerTags) << c.lines[0];
    }

    // A 24-bit source shows its depth after its sample format; the lossless
    // encoders need the format to keep the depth.
    TSourceFacts deep;
    ASSERT_TRUE(ParseInputDump({"Input #0, wav, from 'file:deep.wav':", "  Duration: 00:00:02.00, bitrate: 4608 kb/s",
                                "  Stream #0:0: Audio: pcm_s24le ([1][0][0][0] / 0x0001), 96000 Hz, 2 channels, s32 (24 bit), 4608 kb/s"},
                               deep));
    ASSERT_EQ(deep.streams.size(), 1u);
    EXPECT_EQ(deep.streams[0].sampleFormat, "s32");
    EXPECT_EQ(deep.streams[0].bitRate, 4608000);

    struct {
        std::vector<std::string> lines;
        bool ok;
        double duration;
    } cases[] = {
        {{"Input #0, wav, from 'a.wav':", "  Duration: N/A, bitrate: N/A",
          "  Stream #0:0: Audio: pcm_s16le ([1][0][0][0] / 0x0001), 8000 Hz, 2 channels, s16, 256 kb/s"},
         true,
         -1},
        {{"Input #0, wav, from 'a.wav':", "  Stream #0:0: Audio: pcm_s16le, 8000 Hz, mono, s16"}, false, 0},
        {{"  Duration: 00:00:01.00, start: 0.000000, bitrate: N/A"}, false, 0},
        {{}, false, 0},
    };
    for (const auto& c : cases) {
        TSourceFacts g;
        EXPECT_EQ(ParseInputDump(c.lines, g), c.ok);
        if (c.ok) {
            EXPECT_EQ(g.duration, c.duration);
            EXPECT_EQ(g.firstAudio()->channels, 2);
        }
    }
}

} // namespace

// A batch that runs several encoders gives each a thread count; ffmpeg gets
// it for decoding and encoding, and a value that is no count is ignored.
TEST(Plan, SharedThreadCountReachesFfmpeg)
{
    TRequest req;
    std::string error;
    TPlan plan;
    ASSERT_TRUE(ParseRequest(Split("-p 5260718 -i in.wav -y -f mp3 -vn o.mp3"), req, error));
    ASSERT_TRUE(MakePlan(req, Source(false, true), plan, error)) << error;
    const struct {
        const char* value; // nullptr: unset
        const char* threads; // nullptr: no -threads
    } cases[] = {
        {nullptr, nullptr}, {"", nullptr}, {"2", "2"}, {"16", "16"},
        {"0", nullptr},     {"-3", nullptr}, {"4x", nullptr}, {"257", nullptr},
    };
    for (const auto& c : cases) {
        if (c.value)
            setenv("QV_THREADS", c.value, 1);
        else
            unsetenv("QV_THREADS");
        const auto ff = MainFfmpegArgs(plan, "ffmpeg", "in.wav", "o.mp3");
        const std::string shown = c.value ? c.value : "<unset>";
        if (c.threads) {
            EXPECT_TRUE(HasSequence(ff, std::string("-threads ") + c.threads + " -i file:in.wav")) << shown;
            EXPECT_TRUE(HasSequence(ff, std::string("-threads ") + c.threads + " -y file:o.mp3")) << shown;
        } else {
            EXPECT_EQ(std::find(ff.begin(), ff.end(), "-threads"), ff.end()) << shown;
        }
        EXPECT_EQ(ff.back(), "file:o.mp3");
    }
    unsetenv("QV_THREADS");
}
