#include "encoder/Console.h"
#include "encoder/OutputCheck.h"

#include <gtest/gtest.h>

using namespace avcore;

namespace {

TEST(OutputCheck, ReadsThePacketsMuxedIntoEachStream)
{
    struct {
        const char* line;
        bool ok;
        const char* id;
        const char* type;
        long long packets;
    } cases[] = {
        {"  Output stream #0:0 (video): 25 frames encoded; 25 packets muxed (27947 bytes); ", true, "0:0", "video", 25},
        {"  Output stream #0:1 (audio): 0 frames encoded (0 samples); 0 packets muxed (0 bytes); ", true, "0:1", "audio",
         0},
        {"  Output stream #0:1 (audio): 12 packets muxed (4000 bytes); ", true, "0:1", "audio", 12}, // stream copy
        {"  Input stream #0:1 (audio): 45 packets read (8989 bytes); ", false, "", "", 0},
        {"  Total: 70 packets (37131 bytes) muxed", false, "", "", 0},
        {"Output file #0 (o.mp4):", false, "", "", 0},
        {"  Output stream #0:0 (video): some packets muxed", false, "", "", 0},
    };
    for (const auto& c : cases) {
        TMuxedStream s;
        ASSERT_EQ(ParseMuxedStreamLine(c.line, s), c.ok) << c.line;
        if (!c.ok)
            continue;
        EXPECT_EQ(s.id, c.id);
        EXPECT_EQ(s.type, c.type);
        EXPECT_EQ(s.packets, c.packets);
    }
}

TEST(OutputCheck, EveryPictureAndSoundStreamMustHoldSomething)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(EmptyStreamKinds({{"0:0", "video", 25}, {"0:1", "audio", 45}}), V{});
    EXPECT_EQ(EmptyStreamKinds({{"0:0", "video", 25}, {"0:1", "audio", 0}}), V{"audio"});
    EXPECT_EQ(EmptyStreamKinds({{"0:0", "audio", 0}}), V{"audio"});
    EXPECT_EQ(EmptyStreamKinds({{"0:0", "video", 0}, {"0:1", "audio", 0}, {"0:2", "audio", 0}}), (V{"video", "audio"}));
    // Subtitles and data may well be empty in a time range.
    EXPECT_EQ(EmptyStreamKinds({{"0:0", "video", 3}, {"0:1", "subtitle", 0}}), V{});
}

TEST(OutputCheck, LevelTagFollowsContextPrefixes)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"[info] Stream mapping:", "info", "Stream mapping:"},
        {"[verbose]   Output stream #0:0 (audio): 1 packets muxed (9 bytes); ", "verbose",
         "  Output stream #0:0 (audio): 1 packets muxed (9 bytes); "},
        {"[aac @ 0x55d0c8] [info] Qavg: 102.287", "info", "Qavg: 102.287"},
        {"[out#0/mp3 @ 0x1] [verbose] Output file #0 (o.mp3):", "verbose", "Output file #0 (o.mp3):"},
        {"[mp3 @ 0x1] [graph @ 0x2] [error] Could not open", "error", "Could not open"},
        {"[mp3 @ 0x1] no level tag", "", "[mp3 @ 0x1] no level tag"},
        {"[notalevel] text", "", "[notalevel] text"},
        {"plain text", "", "plain text"},
    };
    for (const auto& [line, level, rest] : cases) {
        std::string gotLevel, gotText;
        const bool tagged = SplitLevelTag(line, gotLevel, gotText);
        EXPECT_EQ(tagged, *level != '\0') << line;
        if (tagged) {
            EXPECT_EQ(gotLevel, level) << line;
            EXPECT_EQ(gotText, rest) << line;
        }
    }
}

} // namespace
