#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ExpectedRecords.h"
#include "support/TempDir.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "profiles/profiles.h"

namespace {

using expected::TKeys;

// The "key=value" lines of section General, in file order.
std::vector<std::string> GeneralLines(const std::string& file)
{
    return TIniFile(file).ReadSectionValues("General");
}

std::vector<std::string> Lines(const TKeys& keys)
{
    std::vector<std::string> lines;
    for (const auto& k : keys)
        lines.push_back(k.Key + "=" + k.Default);
    return lines;
}

// A value that differs from the key's default and from every other key's
// value; pattern 1 sets flags to a pattern instead of the negation, so that
// two flags sharing one field cannot both look right.
std::string OtherValue(const expected::TKey& k, size_t i, int pattern)
{
    switch (k.Kind) {
    case 's': return "Text of key " + std::to_string(i);
    case 't': return std::to_string(i) + ":01:02.003";
    case 'f':
        if (pattern == 0)
            return k.Default == "1" ? "0" : "1";
        return i % 3 == 0 ? "1" : "0";
    case 'i': return std::to_string(20 + i % 200); // no index default is that large
    default: return std::to_string(100000 + static_cast<int>(i) * 7);
    }
}

class RecordTest : public ::testing::TestWithParam<int> {
protected:
    qvtest::TempDir dir;
};

TEST_P(RecordTest, DefaultsAreWrittenInOrderWithTheirValues)
{
    const int format = GetParam();
    // Whatever was loaded before, the defaults replace it.
    std::string scrambled = "[General]\n";
    for (const auto& k : expected::Record(format))
        scrambled += k.Key + "=" + (k.Kind == 's' || k.Kind == 't' ? "junk" : "77") + "\n";
    qvtest::WriteFile(dir.file("before.ini"), scrambled);
    LoadFormatSettings(format, dir.file("before.ini"));

    DefaultFormatSettings(format);
    SaveFormatSettings(format, dir.file("defaults.ini"));
    EXPECT_EQ(GeneralLines(dir.file("defaults.ini")), Lines(expected::Record(format)));
}

TEST_P(RecordTest, SaveThenLoadReproducesEveryField)
{
    const int format = GetParam();
    const TKeys keys = expected::Record(format);
    for (int pattern = 0; pattern < 2; ++pattern) {
        SCOPED_TRACE("flag pattern " + std::to_string(pattern));
        std::string text = "[General]\n";
        std::vector<std::string> wanted;
        for (size_t i = 0; i < keys.size(); ++i) {
            const std::string v = OtherValue(keys[i], i, pattern);
            text += keys[i].Key + "=" + v + "\n";
            wanted.push_back(keys[i].Key + "=" + v);
        }
        qvtest::WriteFile(dir.file("in.ini"), text);
        LoadFormatSettings(format, dir.file("in.ini"));
        const std::string out = dir.file("out" + std::to_string(pattern) + ".ini");
        SaveFormatSettings(format, out);
        EXPECT_EQ(GeneralLines(out), wanted);

        // And the saved file loads back to the same record.
        DefaultFormatSettings(format);
        LoadFormatSettings(format, out);
        SaveFormatSettings(format, dir.file("again.ini"));
        EXPECT_EQ(GeneralLines(dir.file("again.ini")), wanted);
    }
}

TEST_P(RecordTest, MissingFileGivesDefaultsAndCreatesNothing)
{
    const int format = GetParam();
    const std::string missing = dir.file("missing.ini");
    LoadFormatSettings(format, missing);
    EXPECT_FALSE(std::filesystem::exists(missing));
    SaveFormatSettings(format, dir.file("saved.ini"));
    EXPECT_EQ(GeneralLines(dir.file("saved.ini")), Lines(expected::Record(format)));
}

INSTANTIATE_TEST_SUITE_P(AllFormats, RecordTest, ::testing::Range(0, OutputFormatCount),
                         [](const ::testing::TestParamInfo<int>& info) { return expected::FormatName(info.param); });

// One key of an AVI profile, the text stored, and what Save writes back after a Load.
struct TLoadCase {
    const char* Name;
    const char* Key;
    const char* Stored;
    const char* WrittenBack;
};

class AviLoadTest : public ::testing::TestWithParam<TLoadCase> {};

TEST_P(AviLoadTest, ValueIsReadByTheIniRules)
{
    const TLoadCase& c = GetParam();
    qvtest::TempDir dir;
    qvtest::WriteFile(dir.file("p.avo"), std::string("[General]\n") + c.Key + "=" + c.Stored + "\n");
    LoadAVISettings(dir.file("p.avo"));
    SaveAVISettings(dir.file("out.avo"));
    EXPECT_EQ(TIniFile(dir.file("out.avo")).ReadString("General", c.Key, "<missing>"), c.WrittenBack);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AviLoadTest,
    ::testing::Values(TLoadCase{"HexIndex", "VideoCodec", "0x2", "2"},
                      TLoadCase{"HexUpperCase", "VideoCodec", "0X0A", "10"},
                      TLoadCase{"LettersKeepDefault", "AudioCodec", "two", "1"},
                      TLoadCase{"EmptyKeepsDefault", "AudioCodec", "", "1"},
                      TLoadCase{"IndexKeepsLowEightBits", "VideoCodec", "258", "2"},
                      TLoadCase{"IndexOf256IsZero", "AudioCodec", "256", "0"},
                      TLoadCase{"NegativeIndexWraps", "VideoCodec", "-1", "255"},
                      TLoadCase{"BlanksAroundNumber", "VideoCodec", "  3  ", "3"},
                      TLoadCase{"NumberInHex", "VideoBitRatePresetXviD", "0x10", "16"},
                      TLoadCase{"NegativeNumber", "VideoWidthDivX", "-5", "-5"},
                      TLoadCase{"NumberNotIndex", "VideoBitRateSpecifyH264", "258", "258"},
                      TLoadCase{"MalformedNumberKeepsDefault", "VideoHeightH263", "12abc", "288"},
                      TLoadCase{"AnyNonZeroFlagIsTrue", "EnableTimeControl", "5", "1"},
                      TLoadCase{"ZeroFlagIsFalse", "VideoSizeUseSourceDivX", "0", "0"},
                      TLoadCase{"WordFlagKeepsDefault", "VideoKeepFrameRateXviD", "no", "1"},
                      TLoadCase{"DescriptionTrimmed", "Description", "   abc   ", "abc"},
                      TLoadCase{"DescriptionDoubleQuotes", "Description", "\"quoted text\"", "quoted text"},
                      TLoadCase{"DescriptionSingleQuotes", "Description", "'single'", "single"},
                      TLoadCase{"KeyNameCaseIgnored", "description", "lower-case key", "lower-case key"},
                      TLoadCase{"TimeKeptAsText", "StartTime", "0:01:30.500", "0:01:30.500"}),
    [](const ::testing::TestParamInfo<TLoadCase>& info) { return std::string(info.param.Name); });

TEST(ProfileLoad, OnlyDescriptionGivesDefaultsElsewhere)
{
    qvtest::TempDir dir;
    qvtest::WriteFile(dir.file("p.avo"), "[General]\nDescription=abc\n");
    AVISettings.VideoCodec = 9;
    LoadAVISettings(dir.file("p.avo"));
    EXPECT_EQ(AVISettings.Description, "abc");
    EXPECT_EQ(AVISettings.VideoCodec, 0);
    EXPECT_EQ(AVISettings.AudioCodec, 1);
    EXPECT_EQ(AVISettings.VideoWidthH263, 352);
}

TEST(ProfileLoad, MissingBlockKeepsItsDefaults)
{
    qvtest::TempDir dir;
    qvtest::WriteFile(dir.file("p.avo"), "[General]\nVideoBitRatePresetXviD=2496\nVideoWidthXviD=720\n");
    AVISettings.VideoBitRatePresetDV = 1;
    AVISettings.VideoSizeUseSourceDV = false;
    LoadAVISettings(dir.file("p.avo"));
    EXPECT_EQ(AVISettings.VideoBitRatePresetXviD, 2496);
    EXPECT_EQ(AVISettings.VideoWidthXviD, 720);
    EXPECT_EQ(AVISettings.VideoBitRatePresetDV, 1080);
    EXPECT_TRUE(AVISettings.VideoSizeUseSourceDV);
    EXPECT_EQ(AVISettings.VideoWidthDV, 640);
}

TEST(ProfileLoad, MpegFrameRatesDefaultPerBlock)
{
    qvtest::TempDir dir;
    qvtest::WriteFile(dir.file("p.mpo"), "[General]\nVideoFrameRateMPEG1=7\nVideoCodec=1\n");
    LoadMPEGSettings(dir.file("p.mpo"));
    EXPECT_EQ(MPEGSettings.VideoFrameRateMPEG2, 8); // "29.97"
    EXPECT_EQ(MPEGSettings.VideoFrameRateMPEG1, 7); // "25"
}

TEST(ProfileLoad, WavWithOnlyAudioCodec)
{
    qvtest::TempDir dir;
    qvtest::WriteFile(dir.file("p.wao"), "[General]\nAudioCodec=1\n");
    LoadWavSettings(dir.file("p.wao"));
    EXPECT_EQ(WavSettings.AudioCodec, 1);
    EXPECT_EQ(WavSettings.AudioSampleRatePcmu8, 6);
    EXPECT_EQ(WavSettings.AudioChannelsPcmu8, 1);
}

TEST(ProfileLoad, DescriptionDefaultFollowsTheCatalogue)
{
    const std::string english = IDS_NO_DESCRIPTION;
    IDS_NO_DESCRIPTION = "Keine Beschreibung";
    DefaultMp3Settings();
    const std::string description = Mp3Settings.Description;
    IDS_NO_DESCRIPTION = english;
    EXPECT_EQ(description, "Keine Beschreibung");
}

TEST(ProfileSave, AmrFileHoldsThirteenOwnKeysAndTheCommonOnes)
{
    qvtest::TempDir dir;
    DefaultAmrSettings();
    SaveAmrSettings(dir.file("p.amo"));
    EXPECT_EQ(TIniFile(dir.file("p.amo")).ReadSection("General").size(), 13u + expected::Common().size());
}

TEST(ProfileSave, KeepsForeignKeysAndSectionsAndReplacesInPlace)
{
    qvtest::TempDir dir;
    const std::string file = dir.file("p.aco");
    qvtest::WriteFile(file, "; note\n[Other]\nx=1\n[general]\nMine=kept\nDESCRIPTION=old\n");
    DefaultAc3Settings();
    Ac3Settings.Description = "new";
    SaveAc3Settings(file);

    const TIniFile ini(file);
    EXPECT_EQ(ini.ReadString("Other", "x", ""), "1");
    EXPECT_EQ(ini.ReadString("General", "Mine", ""), "kept");
    EXPECT_EQ(ini.ReadString("General", "Description", ""), "new");
    const auto keys = ini.ReadSection("General");
    EXPECT_EQ(keys.size(), expected::Record(static_cast<int>(OutputFormatKind::AC3)).size() + 1);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "DESCRIPTION") + std::count(keys.begin(), keys.end(), "Description"), 1);
    EXPECT_NE(qvtest::ReadFile(file).find("; note"), std::string::npos);
}

TEST(ProfileSave, UnwritableFileRaisesAndLeavesNothing)
{
    qvtest::TempDir dir;
    const std::string file = dir.file("no-such-folder/p.mpo");
    DefaultMp2Settings();
    try {
        SaveMp2Settings(file);
        FAIL() << "no error raised";
    } catch (const EIniWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + file);
    }
    EXPECT_FALSE(std::filesystem::exists(file));
}

} // namespace
