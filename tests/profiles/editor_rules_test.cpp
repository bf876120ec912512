#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/MultiLanguages.h"
#include "profiles/EditorRules.h"

namespace {

using R = TBitrateRangeRule;

struct TRangeCase {
    R Rule;
    int Max;
    int SampleRate;
    int Channels;
    TPositionRange Expected;
};

TEST(EditorRules, AudioBitrateRanges)
{
    const TRangeCase cases[] = {
        // AC3 (14 positions): half rates up to 320, full rates from 48 to 448.
        {R::Ac3, 14, 0, 1, {1, 12}}, {R::Ac3, 14, 1, 0, {1, 12}},
        {R::Ac3, 14, 2, 1, {2, 14}}, {R::Ac3, 14, 3, 1, {2, 14}},
        // 5.1 at any rate, even one the hidden list cannot show.
        {R::Ac3, 14, 0, 2, {6, 14}}, {R::Ac3, 14, 3, 2, {6, 14}}, {R::Ac3, 14, -1, 2, {6, 14}},
        // Mp2 (13) and Mp3 (12).
        {R::Mp2, 13, 0, 1, {1, 8}}, {R::Mp2, 13, 1, 1, {1, 8}}, {R::Mp2, 13, 2, 1, {1, 13}}, {R::Mp2, 13, 3, 0, {1, 13}},
        {R::Mp3, 12, 0, 1, {1, 8}}, {R::Mp3, 12, 1, 1, {1, 8}}, {R::Mp3, 12, 2, 1, {1, 12}}, {R::Mp3, 12, 3, 1, {1, 12}},
        // A channel index of 2 means 5.1 only on AC3 pages.
        {R::Mp2, 13, 0, 2, {1, 8}},
        // AAC by the eight rates.
        {R::Aac, 12, 0, 1, {1, 5}}, {R::Aac, 12, 1, 1, {1, 5}}, {R::Aac, 12, 2, 1, {1, 6}},
        {R::Aac, 12, 3, 1, {1, 8}}, {R::Aac, 12, 4, 1, {1, 8}}, {R::Aac, 12, 5, 1, {1, 10}},
        {R::Aac, 12, 6, 1, {1, 12}}, {R::Aac, 12, 7, 1, {1, 12}},
        {R::AacPsp, 12, 0, 1, {1, 12}},
        // SWF Mp3: 11025, 22050, 44100.
        {R::SwfMp3, 12, 0, 1, {1, 8}}, {R::SwfMp3, 12, 1, 1, {1, 8}}, {R::SwfMp3, 12, 2, 1, {1, 12}},
        // No rule, or a rate the rule does not name (no selection, past the list): the whole trackbar.
        {R::None, 6, 0, 0, {1, 6}}, {R::None, 7, 5, 0, {1, 7}},
        {R::Aac, 12, -1, 1, {1, 12}}, {R::Aac, 12, 8, 1, {1, 12}}, {R::Mp3, 12, 255, 1, {1, 12}},
        {R::AacPsp, 12, 1, 1, {1, 12}}, {R::SwfMp3, 12, 3, 1, {1, 12}},
        // A rule never reaches past the trackbar's own maximum.
        {R::Ac3, 10, 3, 1, {2, 10}}, {R::Ac3, 4, 0, 2, {4, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "rule " << static_cast<int>(c.Rule) << " max " << c.Max << " rate "
                                        << c.SampleRate << " channels " << c.Channels);
        EXPECT_EQ(AudioBitrateRange(c.Rule, c.Max, c.SampleRate, c.Channels), c.Expected);
    }
}

TEST(EditorRules, PositionsOutsideARangeMoveToTheNearestEnd)
{
    const TPositionRange sixChannels = AudioBitrateRange(R::Ac3, 14, 3, Ac3SixChannelsIndex);
    EXPECT_EQ(ClampPosition(3, sixChannels), 6); // switching to 5.1 at position 3
    EXPECT_EQ(ClampPosition(14, AudioBitrateRange(R::Mp3, 12, 0, 1)), 8);
    EXPECT_EQ(ClampPosition(5, {1, 8}), 5);
    EXPECT_EQ(ClampPosition(0, {2, 14}), 2);
}

TEST(EditorRules, Ac3SampleRateIsFixedOnlyForFivePointOne)
{
    EXPECT_TRUE(Ac3FixedSampleRate(R::Ac3, 2));
    EXPECT_FALSE(Ac3FixedSampleRate(R::Ac3, 1));
    EXPECT_FALSE(Ac3FixedSampleRate(R::Ac3, -1));
    EXPECT_FALSE(Ac3FixedSampleRate(R::Mp2, 2));
}

TEST(EditorRules, ShownPresetPositions)
{
    struct {
        const TPresetTable* Table;
        int32_t Value;
        int Start;
        int Max;
        int Expected;
    } cases[] = {
        {&StandardVideoBitRates, 1080, VideoStartPosition, 13, 6},
        {&StandardVideoBitRates, 1081, VideoStartPosition, 13, 2}, // no entry: the start position
        {&StandardVideoBitRates, 144, VideoStartPosition, 10, 2},  // 3GP default, not in the table
        {&StandardVideoBitRates, 9600, VideoStartPosition, 10, 10}, // 3GP offers only 10 positions
        {&StandardVideoBitRates, 64, VideoStartPosition, 13, 1},
        {&Mp3AudioBitRates, 128, AudioStartPosition, 12, 7},
        {&Mp3AudioBitRates, 129, AudioStartPosition, 12, 4},
        {&AmrNbAudioBitRates, 14, AudioStartPosition, 6, 4},
        {&DvdAudioBitRates, 128, DvdStartPosition, 10, 5}, // "128" twice: the last match wins
        {&DvdAudioBitRates, 384, DvdStartPosition, 10, 6},
        {&StandardVideoBitRates, 6000, DvdStartPosition, 11, 11}, // the DVD video default
        {&StandardVideoBitRates, 7000, DvdStartPosition, 11, 6},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShownPresetPosition(*c.Table, c.Value, c.Start, c.Max), c.Expected) << c.Value;
    // A value that is no entry is collected as the start position's entry.
    EXPECT_EQ(PresetValue(StandardVideoBitRates, ShownPresetPosition(StandardVideoBitRates, 1000, 2, 13)), 128);
}

TEST(EditorRules, VideoDimensionsAreEvenAndInRange)
{
    const std::pair<int32_t, int32_t> cases[] = {
        {721, 722}, {720, 720}, {1, 2}, {2, 2}, {3, 4}, {1599, 1600}, {1600, 1600},
        {1601, 1600}, {5000, 1600}, {0, 2}, {-7, 2},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(EvenVideoDimension(in), out) << in;
}

TEST(EditorRules, SizePresetEntries)
{
    using P = std::pair<int32_t, int32_t>;
    EXPECT_EQ(SizePresetValue("720x576"), P(720, 576));
    EXPECT_EQ(SizePresetValue("1280x720"), P(1280, 720));
    EXPECT_EQ(SizePresetValue("352 x 240 (VCD NTSC)"), P(352, 240));
    EXPECT_EQ(SizePresetValue("160 x 320"), P(160, 320));
    EXPECT_EQ(SizePresetValue("176x144 (Mobile Movie)"), P(176, 144));
    EXPECT_EQ(SizePresetValue("368x208 (PSP Vollbild 1x2)"), P(368, 208)); // digits in the note are ignored
    EXPECT_FALSE(SizePresetValue("..."));
    EXPECT_FALSE(SizePresetValue(""));
    EXPECT_FALSE(SizePresetValue("720"));
    EXPECT_FALSE(SizePresetValue("720x"));
    EXPECT_FALSE(SizePresetValue("x576"));
}

TEST(EditorRules, SizeListFollowsTheEdits)
{
    const std::vector<std::string> standard = {"320x240", "352x240", "352x288", "384x288", "480x480",
                                               "480x576", "640x368", "640x480", "704x480", "704x576",
                                               "720x480", "720x576", "1280x720", "..."};
    EXPECT_EQ(SizePresetIndex(standard, 320, 240), 0);
    EXPECT_EQ(SizePresetIndex(standard, 1280, 720), 12);
    EXPECT_EQ(SizePresetIndex(standard, 722, 576), 13); // no entry: "..."
    EXPECT_EQ(SizePresetIndex(standard, 240, 320), 13); // width and height are not swapped
    const std::vector<std::string> mpeg = {"352 x 240 (VCD NTSC)", "352 x 288 (VCD PAL)", "..."};
    EXPECT_EQ(SizePresetIndex(mpeg, 352, 288), 1);
    EXPECT_EQ(SizePresetIndex({}, 320, 240), -1);
    // The first of two equal entries is chosen.
    EXPECT_EQ(SizePresetIndex({"a", "320x240 (one)", "320x240 (two)", "..."}, 320, 240), 1);
}

TEST(EditorRules, H263SizeRadios)
{
    EXPECT_EQ(H263SizeRadio(128, 96), 0);
    EXPECT_EQ(H263SizeRadio(176, 144), 1);
    EXPECT_EQ(H263SizeRadio(352, 288), 2);
    EXPECT_EQ(H263SizeRadio(320, 240), -1);
    EXPECT_EQ(H263SizeRadio(144, 176), -1);
    for (int radio = 0; radio < H263SizeCount; ++radio) {
        const auto size = H263SizeOfRadio(radio);
        ASSERT_TRUE(size);
        EXPECT_EQ(H263SizeRadio(size->first, size->second), radio);
    }
    EXPECT_FALSE(H263SizeOfRadio(-1));
    EXPECT_FALSE(H263SizeOfRadio(3));
}

TEST(EditorRules, ListAndRadioConventions)
{
    // Lists: past the list shows no selection, which collects as 255.
    EXPECT_EQ(ListShowIndex(0, 13), 0);
    EXPECT_EQ(ListShowIndex(12, 13), 12);
    EXPECT_EQ(ListShowIndex(13, 13), -1);
    EXPECT_EQ(ListShowIndex(255, 13), -1);
    EXPECT_EQ(ListShowIndex(0, 0), -1);
    EXPECT_EQ(ListCollectIndex(-1), 255);
    EXPECT_EQ(ListCollectIndex(0), 0);
    EXPECT_EQ(ListCollectIndex(12), 12);
    EXPECT_EQ(ListCollectIndex(ListShowIndex(200, 3)), 255);
    // Radio groups: none checked keeps the stored value.
    EXPECT_EQ(RadioShowIndex(2, VideoAspectCount), 2);
    EXPECT_EQ(RadioShowIndex(3, VideoAspectCount), -1);
    EXPECT_EQ(RadioShowIndex(4, H263AspectCount), 4);
    EXPECT_EQ(RadioCollectIndex(-1, 7), 7);
    EXPECT_EQ(RadioCollectIndex(RadioShowIndex(7, VideoAspectCount), 7), 7);
    EXPECT_EQ(RadioCollectIndex(1, 7), 1);
}

struct TTimeCase {
    const char* Name;
    bool (*Rule)(TTimeEdits&, const std::string&);
    TTimeEdits Before; // the edited field holds the typed text
    std::string Remembered;
    bool Accepted;
    TTimeEdits After;
};

TEST(EditorRules, TimeEdits)
{
    const std::string z = "0:00:00.000";
    const TTimeCase cases[] = {
        // Start at or after the end drags the end along.
        {"start after end", StartTimeExit, {"0:01:00.000", "0:00:30.000", "0:00:30.000"}, "0:00:00.000", true,
         {"0:01:00.000", z, "0:01:00.000"}},
        {"start equal to end", StartTimeExit, {"30", "0:00:00.000", "0:00:30.000"}, "0:00:00.000", true,
         {"0:00:30.000", z, "0:00:30.000"}},
        {"start before end", StartTimeExit, {"1:30", "0:02:00.000", "0:02:00.000"}, z, true,
         {"0:01:30.000", "0:00:30.000", "0:02:00.000"}},
        {"start unreadable", StartTimeExit, {"abc", "0:00:05.000", "0:00:15.000"}, "0:00:10.000", false,
         {"0:00:10.000", "0:00:05.000", "0:00:15.000"}},
        {"start at the limit", StartTimeExit, {"200:00:00.000", z, z}, z, true,
         {"200:00:00.000", z, "200:00:00.000"}},
        {"start past the limit", StartTimeExit, {"200:00:00.001", z, z}, z, false, {z, z, z}},
        {"start with unreadable end", StartTimeExit, {"5", "junk", "junk"}, z, true,
         {"0:00:05.000", z, "0:00:05.000"}},
        // Duration sets the end.
        {"duration", DurationExit, {"0:00:10.000", "0:01:00.000", "0:00:10.000"}, z, true,
         {"0:00:10.000", "0:01:00.000", "0:01:10.000"}},
        {"duration seconds only", DurationExit, {z, "90", z}, z, true, {z, "0:01:30.000", "0:01:30.000"}},
        {"duration unreadable", DurationExit, {z, "1.2.3", "0:00:07.000"}, "0:00:07.000", false,
         {z, "0:00:07.000", "0:00:07.000"}},
        {"duration past the limit", DurationExit, {z, "720001", z}, z, false, {z, z, z}},
        {"duration with unreadable start", DurationExit, {"junk", "10", z}, z, true,
         {"junk", "0:00:10.000", "0:00:10.000"}},
        // End sets the duration; an end before the start returns to its text.
        {"end", EndTimeExit, {"0:00:10.000", z, "0:01:00.000"}, "0:00:10.000", true,
         {"0:00:10.000", "0:00:50.000", "0:01:00.000"}},
        {"end before start", EndTimeExit, {"0:00:10.000", "0:00:05.000", "0:00:05.000"}, "0:00:15.000", false,
         {"0:00:10.000", "0:00:05.000", "0:00:15.000"}},
        {"end equal to start", EndTimeExit, {"0:00:10.000", "0:00:05.000", "10"}, "0:00:15.000", true,
         {"0:00:10.000", z, "0:00:10.000"}},
        {"end unreadable", EndTimeExit, {z, z, ""}, "0:00:01.000", false, {z, z, "0:00:01.000"}},
        {"end past the limit", EndTimeExit, {z, z, "200:00:01.000"}, z, false, {z, z, z}},
        // An unreadable start counts as 0, so the duration is never end + 1 ms.
        {"end with unreadable start", EndTimeExit, {"junk", z, "4"}, z, true, {"junk", "0:00:04.000", "0:00:04.000"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTimeEdits edits = c.Before;
        EXPECT_EQ(c.Rule(edits, c.Remembered), c.Accepted);
        EXPECT_EQ(edits.Start, c.After.Start);
        EXPECT_EQ(edits.Duration, c.After.Duration);
        EXPECT_EQ(edits.End, c.After.End);
    }
}

TEST(EditorRules, EndTimeShownWithARecord)
{
    EXPECT_EQ(EndTimeText("0:00:10.000", "0:01:00.000"), "0:01:10.000");
    EXPECT_EQ(EndTimeText("0:00:00.000", "0:00:00.000"), "0:00:00.000");
    EXPECT_EQ(EndTimeText("199:00:00.000", "2:00:00.500"), "201:00:00.500");
    EXPECT_EQ(EndTimeText("junk", "0:00:02.000"), "0:00:02.000");
    EXPECT_EQ(EndTimeText("0:00:02.000", ""), "0:00:02.000");
}

TEST(EditorRules, VideoPageEnabledStates)
{
    EXPECT_EQ(VideoPageEnables(true, true, true), (TVideoPageEnables{true, false, false, false}));
    EXPECT_EQ(VideoPageEnables(false, false, false), (TVideoPageEnables{false, true, true, true}));
    EXPECT_EQ(VideoPageEnables(true, false, true), (TVideoPageEnables{true, false, true, false}));
    EXPECT_TRUE(AudioBitrateControlsEnabled(false));
    EXPECT_FALSE(AudioBitrateControlsEnabled(true));
}

TEST(EditorRules, MpegPresetGroup)
{
    struct {
        bool Use;
        uint8_t Type;
        bool DisableAudio;
        TMpegPresetView Expected;
    } cases[] = {
        // radios, codec groups, video tab, audio tab, DVD tab, audio lists
        {false, 0, false, {false, true, true, true, false, true}},
        {false, 2, false, {false, true, true, true, false, true}}, // DVD type without presets: no DVD tab
        {false, 0, true, {false, true, true, false, false, false}},
        {true, 0, false, {true, false, false, false, false, true}},
        {true, 1, false, {true, false, false, false, false, true}}, // SVCD hides all three tabs
        {true, 2, false, {true, false, false, false, true, true}},
        {true, 2, true, {true, false, false, false, true, false}},
        {true, 7, false, {true, false, false, false, false, true}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MpegPresetView(c.Use, c.Type, c.DisableAudio), c.Expected)
            << c.Use << " " << int(c.Type) << " " << c.DisableAudio;
}

TEST(EditorRules, TgpPairsAndNotices)
{
    EXPECT_EQ(TgpFrontPair(0), 0);
    EXPECT_EQ(TgpFrontPair(1), 1);
    EXPECT_EQ(TgpFrontPair(2), 1);
    EXPECT_EQ(TgpFrontPair(255), 1);
    EXPECT_FALSE(TgpNokiaVideoNotice(0)); // "H.263"
    ASSERT_TRUE(TgpNokiaVideoNotice(1));  // "MPEG-4"
    EXPECT_EQ(TgpNokiaVideoNotice(1)->Text, &IDS_PROFILE_MESSAGEBOX_MPEG4);
    EXPECT_EQ(TgpNokiaVideoNotice(1)->Title, &IDS_PROFILE_MESSAGEBOX_MPEG4Select);
    EXPECT_FALSE(TgpNokiaVideoNotice(-1));
    EXPECT_FALSE(TgpNokiaAudioNotice(0)); // "AMR Narrow-Band"
    ASSERT_TRUE(TgpNokiaAudioNotice(1));
    EXPECT_EQ(TgpNokiaAudioNotice(1)->Title, &IDS_PROFILE_AMRNBSELECTED_TITLE);
    ASSERT_TRUE(TgpNokiaAudioNotice(2));
    EXPECT_EQ(TgpNokiaAudioNotice(2)->Text, &IDS_PROFILE_MESSAGEBOX_ATTENTIONACC);
    EXPECT_FALSE(TgpNokiaAudioNotice(3));
}

} // namespace
