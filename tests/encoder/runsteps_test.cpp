// The decisions of one encoder run, checked without starting ffmpeg: the
// first checks of the command line, the early start and its re-plan, the
// stop escalation, the last progress line and the verdict on a finished run.

#include "encoder/RunSteps.h"
#include "encoder/SourceFacts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <unistd.h>

using namespace avcore;

namespace {

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> out;
    std::string word;
    for (char c : line + " ") {
        if (c != ' ') {
            word += c;
        } else if (!word.empty()) {
            out.push_back(word);
            word.clear();
        }
    }
    return out;
}

TRequest Request(const std::string& options, const std::string& output)
{
    TRequest req;
    std::string error;
    std::vector<std::string> args = Words("-p 5260718 -i in.mkv " + options);
    args.push_back(output);
    EXPECT_TRUE(ParseRequest(args, req, error)) << options << ": " << error;
    return req;
}

TEST(RunSteps, TheAccessCodeComesFirstAndHelpNeedsNone)
{
    struct {
        const char* args;
        const char* failure; // "" = accepted
    } cases[] = {
        {"-p 5260718 -i a.avi b.avi", ""},
        {"-i a.avi -p 5260718 b.avi", ""},
        {"-i a.avi b.avi", "no access code given (-p)"},
        {"-i a.avi -p", "no access code given (-p)"}, // "-p" as the output name carries no code
        {"-p 5260719 -i a.avi b.avi", "wrong access code"},
        {"-p 1 -p 5260718 -i a.avi b.avi", "wrong access code"}, // the first code counts
        {"-p  -i a.avi b.avi", "wrong access code"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AccessCodeFailure(Words(c.args)), c.failure) << c.args;
    EXPECT_TRUE(HelpAsked(Words("-i a.avi --help")));
    EXPECT_TRUE(HelpAsked(Words("-h")));
    EXPECT_TRUE(HelpAsked(Words("-help")));
    EXPECT_FALSE(HelpAsked(Words("-p 5260718 -i a.avi --helpful.avi")));
}

TEST(RunSteps, SameFileFollowsLinks)
{
    qvtest::TempDir dir;
    const std::string source = dir.file("in.avi");
    qvtest::WriteFile(source, "data");
    qvtest::WriteFile(dir.file("copy.avi"), "data");
    ASSERT_EQ(link(source.c_str(), dir.file("hard.avi").c_str()), 0);
    std::filesystem::create_symlink(source, dir.file("soft.avi"));
    EXPECT_TRUE(SameFile(source, source));
    EXPECT_TRUE(SameFile(source, dir.file("hard.avi")));
    EXPECT_TRUE(SameFile(source, dir.file("soft.avi")));
    EXPECT_TRUE(SameFile(source, dir.dir() + "./in.avi"));
    EXPECT_FALSE(SameFile(source, dir.file("copy.avi")));
    EXPECT_FALSE(SameFile(source, dir.file("missing.avi")));
    EXPECT_FALSE(SameFile(dir.file("missing.avi"), dir.file("missing.avi")));
}

TSourceFacts Facts(int width, int height, double fps, int rate, int channels, bool video = true, bool audio = true)
{
    return MadeUpSource(video, audio, width, height, fps, rate, channels, "");
}

// The early run keeps going when the real facts change nothing, and is
// started again when they change an option.
TEST(RunSteps, EarlyRunIsKeptOnlyWhenTheRealPlanIsTheSame)
{
    struct {
        const char* name;
        const char* options;
        const char* output;
        TSourceFacts facts;
        bool early; // an early run is started at all
        bool fits;  // the real plan keeps it
    } cases[] = {
        {"typical avi", "-y -f avi -vcodec xvid -b 800k -acodec mp3 -ab 128", "o.avi", Facts(176, 144, 25, 44100, 2), true,
         true},
        {"even size asked", "-y -f mp4 -vcodec h264 -s 320x240 -acodec aac", "o.mp4", Facts(321, 241, 25, 48000, 2), true,
         true},
        {"odd source size", "-y -f avi -vcodec xvid", "o.avi", Facts(321, 241, 25, 44100, 2), true, false},
        {"source without video", "-y -f avi -vcodec xvid -acodec mp3", "o.avi", Facts(0, 0, 0, 44100, 2, false), true,
         false},
        {"source without audio", "-y -f avi -vcodec xvid -acodec mp3", "o.avi", Facts(176, 144, 25, 0, 0, true, false),
         true, false},
        {"six channels into mp3", "-y -f mp3 -vn -acodec mp3 -ab 128", "o.mp3", Facts(176, 144, 25, 48000, 6), true,
         false},
        {"96 kHz into avi's mp3", "-y -f avi -vcodec xvid", "o.avi", Facts(176, 144, 25, 96000, 2), true, false},
        {"12.5 fps into mpeg-1", "-y -vcodec mpeg1video -s 352x288", "o.mpg", Facts(176, 144, 12.5, 44100, 2), true,
         false},
        {"psp without sound", "-y -f psp -vcodec h264 -s 320x240 -acodec aac", "o.mp4",
         Facts(320, 240, 25, 0, 0, true, false), true, false},
        {"amr needs the decoder", "-y -f 3gp -vcodec h263 -s 176x144 -acodec amr_nb", "o.3gp",
         Facts(176, 144, 25, 8000, 1), false, false},
        {"bare amr", "-y -f amr -vn -acodec amr_wb", "o.amr", Facts(176, 144, 25, 16000, 1), false, false},
        {"unreadable value", "-y -f avi -s 320y240", "o.avi", Facts(176, 144, 25, 44100, 2), false, false},
    };
    for (const auto& c : cases) {
        const TRequest req = Request(c.options, c.output);
        const std::vector<std::string> early = EarlyRunArgs(req, "ffmpeg", "in.mkv", ".o.part");
        EXPECT_EQ(!early.empty(), c.early) << c.name;
        if (early.empty())
            continue;
        TPlan plan;
        std::string error;
        ASSERT_TRUE(MakePlan(req, c.facts, plan, error)) << c.name << ": " << error;
        EXPECT_EQ(EarlyRunFits(plan, early, "ffmpeg", "in.mkv", ".o.part"), c.fits) << c.name;
        // The same plan written elsewhere is another run.
        EXPECT_FALSE(EarlyRunFits(plan, early, "ffmpeg", "in.mkv", ".other.part")) << c.name;
    }
    // A plan with AMR audio needs the decoder and the pump: no run started
    // without them does its work.
    TPlan amr;
    std::string error;
    ASSERT_TRUE(MakePlan(Request("-y -f 3gp -vcodec h263 -s 176x144 -acodec amr_nb", "o.3gp"),
                         Facts(176, 144, 25, 8000, 1), amr, error));
    EXPECT_FALSE(EarlyRunFits(amr, MainFfmpegArgs(amr, "ffmpeg", "in.mkv", ".o.part"), "ffmpeg", "in.mkv", ".o.part"));
}

TEST(RunSteps, ProbeFailureNamesTheSourceOnce)
{
    struct {
        const char* errors;
        const char* message;
    } cases[] = {
        {"file:in.mkv: No such file or directory\n", "could not open input file 'in.mkv': No such file or directory"},
        {"[matroska,webm @ 0x55d0] file:in.mkv: Invalid data found when processing input\nmore\n",
         "could not open input file 'in.mkv': Invalid data found when processing input"},
        {"", "could not open input file 'in.mkv': unreadable"},
        {"\nsecond line only\n", "could not open input file 'in.mkv': unreadable"},
        {"other.mkv: Permission denied", "could not open input file 'in.mkv': other.mkv: Permission denied"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProbeFailure("in.mkv", c.errors), c.message) << c.errors;
}

TEST(RunSteps, StopSendsTermThenKillAfterFiveSeconds)
{
    using namespace std::chrono_literals;
    const auto t0 = std::chrono::steady_clock::time_point() + 100s;
    TStopEscalation stop;
    EXPECT_EQ(stop.next(t0), SIGTERM);
    EXPECT_EQ(stop.next(t0 + 1s), 0);
    EXPECT_EQ(stop.next(t0 + 5s), 0);
    EXPECT_EQ(stop.next(t0 + 5001ms), SIGKILL);
    EXPECT_EQ(stop.next(t0 + 60s), 0) << "SIGKILL is sent once";
}

TEST(RunSteps, LastProgressLineNeverGoesBack)
{
    TProgress none;
    TProgress block;
    block.outTime = 2.5;
    block.totalSize = 1000;
    TProgress shown;
    shown.outTime = 3;

    TProgress p = FinalProgress(none, TProgress(), false, -1);
    EXPECT_EQ(p.outTime, 0) << "nothing told, nothing shown: time 0";
    EXPECT_EQ(p.totalSize, -1);
    p = FinalProgress(none, shown, true, 4096);
    EXPECT_EQ(p.outTime, 3);
    EXPECT_EQ(p.totalSize, 4096) << "the file's size wins over ffmpeg's count";
    p = FinalProgress(block, shown, true, -1);
    EXPECT_EQ(p.outTime, 3) << "never before a time already shown";
    EXPECT_EQ(p.totalSize, 1000);
    p = FinalProgress(block, TProgress(), true, 0);
    EXPECT_EQ(p.outTime, 2.5);
    EXPECT_EQ(p.totalSize, 0);
}

TEST(RunSteps, StatusTexts)
{
    // Wait statuses as Linux encodes them.
    EXPECT_TRUE(StatusOk(0));
    EXPECT_FALSE(StatusOk(1 << 8));
    EXPECT_FALSE(StatusOk(SIGKILL));
    EXPECT_EQ(DescribeStatus(1 << 8), "exit code 1");
    EXPECT_EQ(DescribeStatus(255 << 8), "exit code 255");
    EXPECT_EQ(DescribeStatus(SIGKILL), "killed by signal 9 (Killed)");
}

TMuxedStream Muxed(const char* type, long long packets)
{
    TMuxedStream s;
    s.type = type;
    s.packets = packets;
    return s;
}

// Every way a finished run fails, in the order they are looked at: the
// first that applies is the one told.
TEST(RunSteps, VerdictOnAFinishedRun)
{
    TRunResult good;
    good.mainRan = true;
    good.outputSize = 5000;
    good.muxed = {Muxed("video", 50), Muxed("audio", 40)};

    TPlan whole;
    TPlan ranged;
    ranged.start = 2;
    TPlan limited;
    limited.duration = 1.0;
    TPlan direct;
    direct.amr = direct.amrDirect = true;

    struct {
        const char* name;
        TRunResult run;
        const TPlan& plan;
        const char* failure; // "" = kept
    } cases[] = {
        {"complete", good, whole, ""},
        {"decoder failed first", [&] {
             TRunResult r = good;
             r.decoderRan = true;
             r.decoderStatus = 1 << 8;
             r.decoderWhy = "bad audio";
             r.mainStatus = 2 << 8;
             return r;
         }(),
         whole, "decoding the audio of 'in.mkv' failed (exit code 1): bad audio"},
        {"decoder killed, no message", [&] {
             TRunResult r = good;
             r.decoderRan = true;
             r.decoderStatus = SIGKILL;
             return r;
         }(),
         whole, "decoding the audio of 'in.mkv' failed (killed by signal 9 (Killed))"},
        {"main failed", [&] {
             TRunResult r = good;
             r.mainStatus = 1 << 8;
             r.mainWhy = "No space left on device";
             r.pumpError = "Broken pipe";
             return r;
         }(),
         whole, "converting 'in.mkv' failed (exit code 1): No space left on device"},
        {"a failed status of a run that was dropped counts not", [&] {
             TRunResult r = good;
             r.decoderStatus = 1 << 8;
             return r;
         }(),
         whole, ""},
        {"trailer not written, exit code 0", [&] {
             TRunResult r = good;
             r.mainWriteError = "Error writing trailer of o.avi: File too large";
             return r;
         }(),
         whole, "writing 'o.avi' failed: Error writing trailer of o.avi: File too large"},
        {"pump failed", [&] {
             TRunResult r = good;
             r.pumpError = "Broken pipe";
             r.outputSize = 0;
             return r;
         }(),
         whole, "writing the AMR audio of 'o.avi' failed: Broken pipe"},
        {"nothing written", [&] {
             TRunResult r = good;
             r.outputSize = 0;
             return r;
         }(),
         whole, "no output was written to 'o.avi'"},
        {"output vanished", [&] {
             TRunResult r = good;
             r.outputSize = -1;
             return r;
         }(),
         whole, "no output was written to 'o.avi'"},
        {"no statistics", [&] {
             TRunResult r = good;
             r.muxed.clear();
             return r;
         }(),
         whole, "ffmpeg did not report what it wrote to 'o.avi'; the output is not kept"},
        {"empty audio", [&] {
             TRunResult r = good;
             r.muxed[1].packets = 0;
             return r;
         }(),
         whole, "the output would hold no audio (the source's audio gave nothing to encode); 'o.avi' was not written"},
        {"both empty after a start", [&] {
             TRunResult r = good;
             r.muxed = {Muxed("video", 0), Muxed("audio", 0)};
             return r;
         }(),
         ranged,
         "the output would hold no video and audio (nothing of the source's video and audio lies in the chosen time "
         "range); 'o.avi' was not written"},
        {"empty within a duration", [&] {
             TRunResult r = good;
             r.muxed = {Muxed("video", 0)};
             return r;
         }(),
         limited, "the output would hold no video (nothing of the source's video lies in the chosen time range)"},
        {"bare amr without frames", [&] {
             TRunResult r = good;
             r.mainRan = false;
             r.decoderRan = true;
             r.muxed.clear();
             return r;
         }(),
         direct, "the output would hold no audio (the source's audio gave nothing to encode)"},
        {"bare amr needs no statistics", [&] {
             TRunResult r = good;
             r.mainRan = false;
             r.decoderRan = true;
             r.muxed.clear();
             r.amrFrames = 3;
             return r;
         }(),
         direct, ""},
    };
    for (const auto& c : cases) {
        const std::string failure = RunFailure(c.run, c.plan, "in.mkv", "o.avi");
        if (!*c.failure)
            EXPECT_EQ(failure, "") << c.name;
        else
            EXPECT_EQ(failure.rfind(c.failure, 0), 0u) << c.name << ": " << failure;
    }
}

} // namespace
