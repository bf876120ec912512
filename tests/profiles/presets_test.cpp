#include <gtest/gtest.h>

#include <string>

#include "profiles/globals.h"

namespace {

const TPresetTable EmptyTable;

struct TTableCase {
    const char* Name;
    const TPresetTable* Table;
    size_t Size;
    int32_t First;
    int32_t Last;
};

class PresetTableTest : public ::testing::TestWithParam<TTableCase> {};

TEST_P(PresetTableTest, SizeAndBounds)
{
    const TTableCase& c = GetParam();
    EXPECT_EQ(c.Table->size(), c.Size);
    EXPECT_EQ(PresetMinimum(*c.Table), c.First);
    EXPECT_EQ(PresetMaximum(*c.Table), c.Last);
    EXPECT_EQ(PresetValue(*c.Table, 1), c.First);
    EXPECT_EQ(PresetValue(*c.Table, static_cast<int>(c.Size)), c.Last);
}

TEST_P(PresetTableTest, EntriesAreAscendingWholeNumbers)
{
    const TPresetTable& t = *GetParam().Table;
    for (size_t p = 2; p <= t.size(); ++p)
        EXPECT_LE(PresetValue(t, static_cast<int>(p) - 1), PresetValue(t, static_cast<int>(p))) << "position " << p;
}

INSTANTIATE_TEST_SUITE_P(
    Tables, PresetTableTest,
    ::testing::Values(TTableCase{"StandardVideo", &StandardVideoBitRates, 13, 64, 9600},
                      TTableCase{"WindowsVideo", &WindowsVideoBitRates, 12, 64, 6000},
                      TTableCase{"FlashVideo", &FlashVideoBitRates, 11, 64, 3600},
                      TTableCase{"Ac3", &Ac3AudioBitRates, 14, 32, 448},
                      TTableCase{"Mp2", &Mp2AudioBitRates, 13, 32, 384},
                      TTableCase{"Mp3", &Mp3AudioBitRates, 12, 32, 320},
                      TTableCase{"Aac", &AacAudioBitRates, 12, 24, 256},
                      TTableCase{"AacPsp", &AacPspAudioBitRates, 12, 24, 256},
                      TTableCase{"AmrNb", &AmrNbAudioBitRates, 6, 8, 13},
                      TTableCase{"AmrWb", &AmrWbAudioBitRates, 7, 7, 24},
                      TTableCase{"DvdAudio", &DvdAudioBitRates, 10, 64, 320}),
    [](const ::testing::TestParamInfo<TTableCase>& info) { return std::string(info.param.Name); });

struct TValueCase {
    const char* Name;
    const TPresetTable* Table;
    int Position;
    int32_t Value;
};

class SliderToValueTest : public ::testing::TestWithParam<TValueCase> {};

TEST_P(SliderToValueTest, PositionGivesEntry)
{
    const TValueCase& c = GetParam();
    EXPECT_EQ(PresetValue(*c.Table, c.Position), c.Value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SliderToValueTest,
    ::testing::Values(TValueCase{"StandardFirst", &StandardVideoBitRates, 1, 64},
                      TValueCase{"StandardLast", &StandardVideoBitRates, 13, 9600},
                      TValueCase{"StandardSixth", &StandardVideoBitRates, 6, 1080},
                      TValueCase{"BelowRangeClampsToFirst", &StandardVideoBitRates, 0, 64},
                      TValueCase{"AboveRangeClampsToLast", &WindowsVideoBitRates, 13, 6000},
                      TValueCase{"DvdFourth", &DvdAudioBitRates, 4, 128},
                      TValueCase{"DvdFifth", &DvdAudioBitRates, 5, 128},
                      TValueCase{"AmrWbThird", &AmrWbAudioBitRates, 3, 13},
                      TValueCase{"EmptyTable", &EmptyTable, 1, 0}),
    [](const ::testing::TestParamInfo<TValueCase>& info) { return std::string(info.param.Name); });

struct TPositionCase {
    const char* Name;
    const TPresetTable* Table;
    int32_t Value;
    int Start;
    int Position;
};

class ValueToSliderTest : public ::testing::TestWithParam<TPositionCase> {};

TEST_P(ValueToSliderTest, LastMatchingEntryOrStart)
{
    const TPositionCase& c = GetParam();
    EXPECT_EQ(PresetPosition(*c.Table, c.Value, c.Start), c.Position);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValueToSliderTest,
    ::testing::Values(TPositionCase{"StandardEntry", &StandardVideoBitRates, 1080, 1, 6},
                      TPositionCase{"LastEntry", &StandardVideoBitRates, 9600, 3, 13},
                      TPositionCase{"NotAnEntryKeepsStart", &StandardVideoBitRates, 144, 4, 4},
                      TPositionCase{"ThreeGpXviDDefault", &StandardVideoBitRates, 96, 2, 2},
                      TPositionCase{"DvdAudioDefaultNotAnEntry", &DvdAudioBitRates, 384, 7, 7},
                      TPositionCase{"DvdAudioRepeatedEntryLastWins", &DvdAudioBitRates, 128, 1, 5},
                      TPositionCase{"FlashHasNo9600", &FlashVideoBitRates, 9600, 5, 5},
                      TPositionCase{"NegativeValue", &Mp3AudioBitRates, -64, 2, 2},
                      TPositionCase{"EmptyTableKeepsStart", &EmptyTable, 64, 3, 3}),
    [](const ::testing::TestParamInfo<TPositionCase>& info) { return std::string(info.param.Name); });

} // namespace
