// How the encoder reads ffmpeg's standard error: only real errors are shown
// and counted, names never break a message into lines, and the failure's
// summary names the system's cause.

#include <gtest/gtest.h>

#include <cstring>

#include "encoder/Console.h"

using namespace avcore;

namespace {

// A log whose shown lines are collected instead of written.
struct TCollected {
    TCollected(std::vector<std::string> names = {})
    {
        TErrorLog::knownNames = std::move(names);
        TErrorLog::echo = [this](const std::string& line) { shown += line; };
    }
    ~TCollected()
    {
        TErrorLog::echo = nullptr;
        TErrorLog::knownNames.clear();
    }
    TErrorLog log;
    std::string shown;
};

TEST(ErrorLog, LevelTagsWithAndWithoutContext)
{
    struct {
        const char* raw;
        const char* level; // nullptr: no level tag
        const char* text;
    } cases[] = {
        {"[error] Error writing trailer", "error", "Error writing trailer"},
        {"[mp3 @ 0x55d0aa] [warning] Could not open the side file", "warning", "Could not open the side file"},
        {"[out @ 0x1] [mux @ 0x2] [info] muxing", "info", "muxing"},
        {"[libx264 @ 0x5566] [info] using cpu capabilities", "info", "using cpu capabilities"},
        {"[h264 @ 0x1] error while decoding", nullptr, nullptr}, // a run without level tags
        {"[not a tag] [info] x", nullptr, nullptr},
        {"plain text", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        std::string level, text;
        const bool tagged = SplitLevelTag(c.raw, level, text);
        EXPECT_EQ(tagged, c.level != nullptr) << c.raw;
        if (tagged) {
            EXPECT_EQ(level, c.level) << c.raw;
            EXPECT_EQ(text, c.text) << c.raw;
        }
    }
}

TEST(ErrorLog, OnlyRealErrorsAreShownAndCounted)
{
    TCollected c;
    c.log.feed("[libx264 @ 0x5566] [info] using cpu capabilities: MMX2\n"
               "[mp3 @ 0x55d0aa] [warning] Could not open the side file, skipping\n"
               "[avi @ 0x1] [warning] a warning\nthat goes on over two lines\n"
               "[mp4 @ 0x2] [error] av_interleaved_write_frame(): No space left on device\n"
               "[error] Error writing trailer: No space left on device\n"
               "[aac @ 0x3] [info] Qavg: 117.232\n",
               true);
    EXPECT_EQ(c.log.messages, (std::vector<std::string>{"av_interleaved_write_frame(): No space left on device",
                                                        "Error writing trailer: No space left on device"}));
    EXPECT_EQ(c.shown, "ffmpeg: av_interleaved_write_frame(): No space left on device\n"
                       "ffmpeg: Error writing trailer: No space left on device\n");
    EXPECT_EQ(c.log.writeError, "av_interleaved_write_frame(): No space left on device");
}

// ffmpeg ends with exit code 0 after these: each one fails the output.
TEST(ErrorLog, ErrorsWritingTheOutputAreKeptApart)
{
    const std::pair<const char*, const char*> cases[] = {
        {"[error] Error writing trailer of /o/.a.mp3.qvpart-9.mp3: File too large\n",
         "Error writing trailer of /o/.a.mp3.qvpart-9.mp3: File too large"},
        {"[error] Error closing file /o/a.mp4: Disk quota exceeded\n", "Error closing file /o/a.mp4: Disk quota exceeded"},
        {"[mp4 @ 0x5] [error] Unable to re-open /o/a.mp4 output file for the second pass (faststart)\n",
         "Unable to re-open /o/a.mp4 output file for the second pass (faststart)"},
        {"[warning] Error writing trailer of a.mp3: File too large\n", ""},     // not an error
        {"[mp3 @ 0x5] [error] Header missing\n", ""},                          // damaged input
        {"[error] Error while decoding stream #0:0: Invalid data found\n", ""}, // damaged input
    };
    for (const auto& [text, expected] : cases) {
        TCollected c;
        c.log.feed(text, true);
        EXPECT_EQ(c.log.writeError, expected) << text;
    }
}

TEST(ErrorLog, SummaryNamesTheSystemsCause)
{
    TCollected c;
    c.log.feed("[error] Conversion failed!\n[error] Invalid argument given to the muxer\n"
               "[error] Error closing file /out/a.mp4: No space left on device\n",
               true);
    EXPECT_EQ(c.log.summary(), "Error closing file /out/a.mp4: No space left on device");
    TCollected other;
    other.log.feed("[error] Conversion failed!\n[error] Unknown encoder 'x'\n", true);
    EXPECT_EQ(other.log.summary(), "Unknown encoder 'x'");
}

TEST(ErrorLog, ANameWithALineBreakStaysInsideItsMessage)
{
    const std::string name = "/in/a\nError boom\n[error] Could not open.avi";
    TCollected c({name});
    // The message arrives in pieces, one of them ending inside the name.
    const std::string text = "[error] /in/a\nError boom\n[error] Could not open.avi: Invalid data found\n";
    const size_t cut = text.find("boom") + 2;
    c.log.feed(text.substr(0, cut), false);
    c.log.feed(text.substr(cut), true);
    ASSERT_EQ(c.log.messages.size(), 1u);
    EXPECT_EQ(c.shown, "ffmpeg: /in/a\\nError boom\\n[error] Could not open.avi: Invalid data found\n");

    // An unknown name with a line break: the rest keeps the level of its message.
    TCollected unknown;
    unknown.log.feed("[warning] /x/y\nError Could not open.avi: skipped\n", true);
    EXPECT_TRUE(unknown.log.messages.empty());
    EXPECT_EQ(unknown.shown, "");
}

TEST(ErrorLog, ShownLinesHoldNoControlCharacters)
{
    TCollected c;
    c.log.feed("[error] bad \x1b[2J name\r\n[error] caf\xe9\n", true);
    EXPECT_EQ(c.shown, "ffmpeg: bad \\x1B[2J name\nffmpeg: caf\\xE9\n");
}

} // namespace
