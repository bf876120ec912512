// The encoder output parser, fed text directly, with a recording view.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "EngineFakes.h"
#include "engine/OutputParser.h"
#include "lang/MultiLanguages.h"

using qvtest::TFakePrompter;
using qvtest::TFakeView;
using qvtest::TViewRecord;

namespace {

const std::string Cmd = R"("/app/avcore.dll" -p 5260718 -i "/in/clip.avi" -y -f avi  -vcodec xvid  "/out/clip.avi")";

class OutputParser : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetCatalogue();
        Options = TOptions{};
        file = TFileProgress{};
        file.CurrentFile = "/in/clip.avi";
        Options.FileCount = 3;
        file.FileStartTime = MonotonicNow();
        Options.BatchStartTime = MonotonicNow();
    }
    void Feed(const std::string& text, bool exited = false, const std::string& cmd = Cmd)
    {
        ParseEncoderText(text, exited, cmd, file, &view, prompter);
    }
    TFileProgress file;
    std::shared_ptr<TViewRecord> rec = std::make_shared<TViewRecord>();
    TFakeView view{rec};
    TFakePrompter prompter;
};

} // namespace

TEST(OutputParserHelpers, TextBetween)
{
    struct {
        std::string text, start, end, expected;
    } cases[] = {
        {"Input #0, avi, from 'a b.avi':", "from '", "':", "a b.avi"},
        {"x time=  12.5  bitrate", " time=", " bitrate", "12.5"},
        {"size=kB rest", "size=", "kB", ""},  // the end marker must start after the first character
        {"size=1kB rest", "size=", "kB", "1"},
        {"from 'never closed", "from '", "':", ""},
        {"marker at end size=", "size=", "kB ", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextBetween(c.text, c.start, c.end), c.expected) << c.text;
}

TEST(OutputParserHelpers, DurationTextToMs)
{
    struct {
        std::string text;
        int64_t ms;
    } cases[] = {
        {"00:01:23.45", 83450}, {"1:00:00", 3600000}, {"0:0:1.5", 1500}, {"0:x:10", 10000},
        {"N/A", 0},             {"", 0},             {"5", 18000000}, {"0:01", 60000},
        {"0:0:0.0005", 0},      // half a millisecond goes to the even neighbour, 0
        // Values no real encoder prints are held at +-2^60 instead of overflowing.
        {"9000000000000:00:00", int64_t(1) << 60}, {"-9000000000000:00:00", -(int64_t(1) << 60)},
        {"0:0:1e300", int64_t(1) << 60},            {"9000000000000:9000000000000:1e300", int64_t(1) << 60},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DurationTextToMs(c.text), c.ms) << c.text;
    EXPECT_EQ(RoundHalfEven(1e300), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(RoundHalfEven(-1e300), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
}

TEST(OutputParserHelpers, SpansShowTheTimeWithinOneDay)
{
    const double second = 1.0 / 86400;
    EXPECT_EQ(FormatSpan(-5 * second), "0:00:00");
    EXPECT_EQ(FormatSpan(3723 * second), "1:02:03");
    EXPECT_EQ(FormatSpan(1 + 61 * second), "0:01:01");
}

TEST_F(OutputParser, HeaderDurationAndProgress)
{
    Feed("Input #0, avi, from '/in/clip.avi':\n  Duration: 00:00:10.00, start: 0.0, bitrate: 100 kb/s\n"
         "Output #0, avi, to '/out/clip.avi':\n");
    EXPECT_EQ(file.ReportedInputFile, "/in/clip.avi");
    EXPECT_EQ(file.ReportedOutputFile, "/out/clip.avi");
    EXPECT_EQ(file.FileDuration, 10000);
    EXPECT_EQ(rec->Labels[TProgressLabel::Working], "Working on file 1 of 3: clip.avi");
    EXPECT_EQ(rec->Labels[TProgressLabel::Output], "Output file: clip.avi");
    EXPECT_EQ(rec->Labels[TProgressLabel::Covnerting], "Conveting...");
    EXPECT_TRUE(rec->Animation);

    file.CurrentFileSize = 1000;
    Options.FinishedSize = 1000;
    Options.BatchTotalSize = 3000;
    Feed("frame=  50 fps=0 q=2.0 size=     120kB time=5.00 bitrate= 196.6kbits/s    \r");
    EXPECT_EQ(file.FileTime, 5000);
    EXPECT_EQ(file.ReportedSize, 120);
    EXPECT_EQ(file.ReportedBitrate, 197);
    EXPECT_EQ(file.FilePercent, 50);
    EXPECT_EQ(rec->Labels[TProgressLabel::Status], "Status= 50%");
    EXPECT_EQ(rec->StatusProgress, 50);
    EXPECT_EQ(Options.BatchDoneSize, 1500);
    EXPECT_EQ(Options.BatchPercent, 50);
    EXPECT_EQ(rec->Labels[TProgressLabel::Batch], "Batch=50%");
    EXPECT_EQ(rec->BatchProgress, 50);
    EXPECT_EQ(rec->TrayHints.back(), "/in/clip.avi: 50%");
    EXPECT_FALSE(file.CurrentFileFailed);
}

// Elapsed, remaining and estimated times are spans of the monotonic clock:
// a wall clock put an hour forward (the spring clock change) during a 3 s
// wait changes none of them.
TEST_F(OutputParser, TimesComeFromTheMonotonicClockNotTheWallClock)
{
    using namespace std::chrono;
    const auto wallStart = system_clock::now();
    const steady_clock::time_point steadyStart{hours(1000)};
    WallClock = [&] { return wallStart; };
    MonotonicClock = [&] { return steadyStart; };
    Options.BatchStartTime = MonotonicNow();
    file.FileStartTime = MonotonicNow();
    const double nowBefore = Now();
    WallClock = [&] { return wallStart + hours(1) + seconds(3); };
    MonotonicClock = [&] { return steadyStart + seconds(3); };
    EXPECT_NEAR((Now() - nowBefore) * 86400, 3603, 0.01) << "the wall clock did not jump";
    file.CurrentFileSize = 1000;
    Options.BatchTotalSize = 4000;

    Feed("  Duration: 00:00:10.00, start: 0.0, bitrate: 100 kb/s\n"
         "frame=  50 fps=0 q=2.0 size=     120kB time=5.00 bitrate= 196.6kbits/s    \r");
    WallClock = nullptr;
    MonotonicClock = nullptr;

    EXPECT_EQ(rec->Labels[TProgressLabel::BatchElapsed], "0:00:03");
    // Half the file in 3 s: 3 s to go for it; an eighth of the batch: 24 s in all.
    EXPECT_EQ(rec->Labels[TProgressLabel::StatusRemaining], "0:00:03");
    EXPECT_EQ(rec->Labels[TProgressLabel::BatchEstimated], "0:00:24");
    EXPECT_EQ(rec->Labels[TProgressLabel::BatchRemaining], "0:00:21");
}

TEST_F(OutputParser, LineSplitAcrossChunksAndStreamsIsExaminedOnceWhenComplete)
{
    file.FileDuration = 10000;
    Feed("frame=  50 size=  10kB ti");
    Feed("me=2.50 bitrate= 100.0k");
    EXPECT_EQ(file.FileTime, 0);
    EXPECT_EQ(rec->LabelSets[TProgressLabel::Working], 0);
    Feed("bits/s\r");
    EXPECT_EQ(file.FileTime, 2500);
    EXPECT_EQ(rec->LabelSets[TProgressLabel::Working], 1);
    EXPECT_EQ(file.PendingOutput, "");
}

TEST_F(OutputParser, FinalDrainExaminesTheUnfinishedLine)
{
    Feed("Error at the very end");
    EXPECT_FALSE(file.CurrentFileFailed);
    EXPECT_EQ(file.PendingOutput, "Error at the very end");
    Feed("", true);
    EXPECT_TRUE(file.CurrentFileFailed);
    EXPECT_EQ(file.PendingOutput, "");
}

TEST_F(OutputParser, ErrorLines)
{
    struct {
        std::string line;
        bool error;
    } cases[] = {
        {"Error while decoding stream #0.1", false},
        {"Error while opening codec for output stream", true},
        {"Error", true},
        {" Error with a blank in front", false},
        {"[avi] Could not open the file", true},
        {"No audio or video streams available here", true},
        {"av_interleaved_write_frame(): I/O error occured", true},
        {"error in lower case", false},
        {"frame=  10 size= 1kB time=1.00 bitrate= 8.0kbits/s", false},
    };
    for (const auto& c : cases) {
        file.CurrentFileFailed = false;
        prompter.Messages.clear();
        Feed(c.line + "\r\n");
        EXPECT_EQ(file.CurrentFileFailed, c.error) << c.line;
        ASSERT_EQ(prompter.Messages.size(), c.error ? 1u : 0u) << c.line;
        if (c.error) {
            EXPECT_EQ(prompter.Messages[0].Text, c.line);
            EXPECT_EQ(prompter.Messages[0].Caption, "Error");
            EXPECT_EQ(prompter.Messages[0].Icon, TMsgIcon::Information);
        }
    }
}

// File names are data: their words never make a line an error line.
TEST_F(OutputParser, NamesOfTheConversionNeverCountAsErrors)
{
    const std::string source = "/in/Could not open\nError I/O error occured.avi";
    const std::string output = "/out/No audio or video streams available.avi";
    const std::string cmd = "\"/app/avcore.dll\" -p 5260718 -i \"" + source + "\" -y -f avi  \"" + output + "\"";
    file.CurrentFile = source;
    struct {
        std::string line;
        bool error;
    } cases[] = {
        {"Input #0, avi, from '/in/Could not open\\nError I/O error occured.avi':", false},
        {"Output #0, avi, to '" + output + "':", false},
        {"ffmpeg: /in/Could not open\\nError I/O error occured.avi: Invalid data", false},
        {"ffmpeg: Could not open encoder before EOF", true},
        {"Error: converting '/in/Could not open\\nError I/O error occured.avi' failed", true},
        {"ffmpeg: '" + output + "': Could not open file", true}, // the phrase outside the name still counts
    };
    for (const auto& c : cases) {
        file.CurrentFileFailed = false;
        Feed(c.line + "\n", false, cmd);
        EXPECT_EQ(file.CurrentFileFailed, c.error) << c.line;
    }
    EXPECT_EQ(LineWithoutNames("a /x/y b /x/y", {"/x/y"}), "a '' b ''");
    // Names that the replacement itself contains end too.
    EXPECT_EQ(LineWithoutNames("it's", {"'"}), "it''s");
    EXPECT_EQ(LineWithoutNames("x''y", {"''", "'"}), "x''''y");
}

TEST_F(OutputParser, NoteLinesAreKeptForTheFileAndNeverErrors)
{
    Feed("Input #0, avi, from '/in/clip.avi':\r\n"
         "Note: MP3 has no bitrate of 320 kbit/s at 22050 Hz; written at 160 kbit/s\r\n"
         "Note: a value quoting Could not open and I/O error occured\r\n"
         "Note: Error in a note is no error\n"
         "Note: MP3 has no bitrate of 320 kbit/s at 22050 Hz; written at 160 kbit/s\r\n"
         "Note: with a \x1b[2J control\r\n"
         "Note:   \r\n"
         " Note: a leading blank makes no note\r\n");
    EXPECT_FALSE(file.CurrentFileFailed);
    EXPECT_TRUE(prompter.Messages.empty());
    EXPECT_EQ(file.FileNotes,
              (std::vector<std::string>{"MP3 has no bitrate of 320 kbit/s at 22050 Hz; written at 160 kbit/s",
                                        "a value quoting Could not open and I/O error occured",
                                        "Error in a note is no error", "with a ?[2J control"}));

    // The loudness figures go onto the file's result, never into its notes,
    // and a measured "error" in them is none.
    Feed("Loudness: measured -30.1 LUFS, range 5.0 LU, true peak -3.0 dBTP; gain +7.1 dB (linear); reached "
         "-23.0 LUFS, true peak -10.0 dBTP\r\n");
    EXPECT_EQ(file.Loudness, "measured -30.1 LUFS, range 5.0 LU, true peak -3.0 dBTP; gain +7.1 dB (linear); "
                             "reached -23.0 LUFS, true peak -10.0 dBTP");
    EXPECT_EQ(file.FileNotes.size(), 4u);
    EXPECT_FALSE(file.CurrentFileFailed);

    // An error line that merely mentions a note is still an error.
    Feed("Error: Note: not a note\r\n");
    EXPECT_TRUE(file.CurrentFileFailed);
    EXPECT_EQ(file.FileNotes.size(), 4u);

    // A note arriving in two pieces is kept once, complete.
    file.FileNotes.clear();
    Feed("Note: split ");
    Feed("in two\n");
    EXPECT_EQ(file.FileNotes, (std::vector<std::string>{"split in two"}));

    // Without a progress window, as every other line, a note is skipped.
    file.FileNotes.clear();
    ParseEncoderText("Note: nobody watches\r\n", false, Cmd, file, nullptr, prompter);
    EXPECT_TRUE(file.FileNotes.empty());

    // A flood of notes is bounded.
    for (int i = 0; i < 200; ++i)
        Feed("Note: " + std::to_string(i) + "\r\n");
    EXPECT_EQ(file.FileNotes.size(), 50u);
}

TEST_F(OutputParser, LineBreaksOfEveryKindEndLines)
{
    Feed("Error 1\rError 2\r\nError 3\n\rError 4\n");
    ASSERT_EQ(prompter.Messages.size(), 4u);
    EXPECT_EQ(prompter.Messages[3].Text, "Error 4");
}

TEST_F(OutputParser, TextBeforeTheInputHeaderOfAChunkIsDropped)
{
    Feed("Error from a previous run\nInput #0, avi, from '/in/clip.avi':\n");
    EXPECT_FALSE(file.CurrentFileFailed);
    EXPECT_EQ(file.ReportedInputFile, "/in/clip.avi");
}

TEST_F(OutputParser, NotAvailableValuesLeaveFieldsUnchanged)
{
    file.FileDuration = 1234;
    file.FileTime = 77;
    file.ReportedBitrate = 5;
    file.ReportedInputFile = "/in/clip.avi";
    Feed("Input #0, avi, from 'N/A':\n  Duration: N/A, start: 0\nframe= 1 size=N/A kB  time=N/A bitrate=N/A kbits/s\n");
    EXPECT_EQ(file.FileDuration, 1234);
    EXPECT_EQ(file.FileTime, 77);
    EXPECT_EQ(file.ReportedBitrate, 5);
    EXPECT_EQ(file.ReportedInputFile, "/in/clip.avi");

    // With no duration no percentage is shown.
    file.FileDuration = 0;
    rec->LabelSets.clear();
    rec->StatusProgress = -1;
    Feed("frame= 1 size= 1kB time=3.00 bitrate= 1.0kbits/s\n");
    EXPECT_EQ(rec->LabelSets[TProgressLabel::Status], 0);
    EXPECT_EQ(rec->StatusProgress, -1);
}

TEST_F(OutputParser, TimeValues)
{
    struct {
        std::string time;
        int32_t before, after;
    } cases[] = {
        {"10000000000.0", 500, 0}, {"12.3456", 0, 12346}, {"0.0005", 9, 0},
        {"00:00:05.00", 42, 42},  // not a number of seconds: unchanged
        {"abc", 42, 42},
    };
    for (const auto& c : cases) {
        file.FileTime = c.before;
        Feed("frame= 1 size= 1kB time=" + c.time + " bitrate= 1.0kbits/s\n");
        EXPECT_EQ(file.FileTime, c.after) << c.time;
    }
}

TEST_F(OutputParser, PercentRoundsHalvesToEvenAndStaysWithin0To100)
{
    struct {
        std::string time;
        int percent;
    } cases[] = {{"0.125", 12}, {"0.375", 38}, {"1.0", 100}, {"2.5", 100},
                 // a position before the start shows 0 %, also for a file size that
                 // times the negative percent would overflow
                 {"-0.04", 0}, {"-2000000", 0}};
    file.CurrentFileSize = 8'000'000'000;
    Options.BatchTotalSize = 16'000'000'000;
    for (const auto& c : cases) {
        file.FileDuration = 1000;
        Feed("frame= 1 size= 1kB time=" + c.time + " bitrate= 1.0kbits/s\n");
        EXPECT_EQ(file.FilePercent, c.percent) << c.time;
        EXPECT_EQ(rec->StatusProgress, c.percent) << c.time;
        EXPECT_GE(rec->BatchProgress, 0) << c.time;
    }
    EXPECT_EQ(rec->Labels[TProgressLabel::StatusRemaining], "0:00:00");
}

TEST_F(OutputParser, TimeRangeOfTheProfileCapsTheDuration)
{
    const std::string ranged =
        R"("/app/avcore.dll" -p 5260718 -i "/in/clip.avi" -y -f avi  -t 0:01:00.000 -ss 0:02:00.000 -vcodec xvid  "/out/clip.avi")";
    Feed("  Duration: 00:10:00.00, start: 0.0\n", false, ranged);
    EXPECT_EQ(file.FileDuration, 60000);
    Feed("frame= 1 size= 1kB time=30.00 bitrate= 1.0kbits/s\n", false, ranged);
    EXPECT_EQ(file.FilePercent, 50);
    Feed("frame= 1 size= 1kB time=60.00 bitrate= 1.0kbits/s\n", false, ranged);
    EXPECT_EQ(file.FilePercent, 100);

    // A range past the end of the input leaves the duration alone.
    file.FileDuration = 0;
    Feed("  Duration: 00:02:30.00, start: 0.0\n", false, ranged);
    EXPECT_EQ(file.FileDuration, 150000);

    // A " -t " inside a quoted file name is no range.
    file.FileDuration = 0;
    const std::string named = R"("/app/avcore.dll" -p 5260718 -i "/in/a -t 1 -ss 2 .avi" -y -f avi  "/out/a.avi")";
    Feed("  Duration: 00:10:00.00, start: 0.0\n", false, named);
    EXPECT_EQ(file.FileDuration, 600000);
}

TEST_F(OutputParser, ScriptInputShowsTheRealSource)
{
    file.CurrentFile = "/in/real name.mpg";
    Feed("Input #0, avs, from '/app/DirectShow.avs':\n");
    EXPECT_EQ(file.ReportedInputFile, "/in/real name.mpg");
    EXPECT_EQ(rec->Labels[TProgressLabel::Working], "Working on file 1 of 3: real name.mpg");
}

TEST_F(OutputParser, WithoutAViewLinesAreSkipped)
{
    ParseEncoderText("Error while opening\n", false, Cmd, file, nullptr, prompter);
    EXPECT_FALSE(file.CurrentFileFailed);
    EXPECT_TRUE(prompter.Messages.empty());
}
