#include "LineHarness.h"

#include <filesystem>

using qvtest::TLineCase;
using K = OutputFormatKind;

namespace {

class AudioLines : public qvtest::LineTest { };

TEST_P(AudioLines, BuildsTheExpectedLine)
{
    EXPECT_EQ(qvtest::BuildLine(GetParam().Format, GetParam().Setup), GetParam().Expected);
}

// clang-format off
const TLineCase AudioCases[] = {
    {"AacDefaults", K::AAC, nullptr, "-y -f aac -vn -acodec aac -ac 2 -ab 128 -ar 44100 "},
    {"AacAutoMonoRate7", K::AAC, [] { auto& s = AacSettings; s.AudioBitRateUseAutoSetAACMP4 = true; s.AudioChannelsAACMP4 = 0; s.AudioSampleRateAACMP4 = 7; },
     "-y -f aac -vn -acodec aac -ac 1 -ar 48000 "},
    {"AacCodecOutOfRange", K::AAC, [] { AacSettings.AudioCodec = 1; }, "-y -f aac -vn "},
    {"Ac3Defaults", K::AC3, nullptr, "-y -f ac3 -vn -acodec ac3 -ac 2 -ar 48000 -ab 384 "},
    {"Ac3SurroundIgnoresRate", K::AC3, [] { Ac3Settings.AudioChannelsAC3 = 2; Ac3Settings.AudioSampleRateAC3 = 0; }, "-y -f ac3 -vn -acodec ac3 -ac 5:1 -ar 48000 -ab 384 "},
    {"Ac3MonoAuto", K::AC3, [] { auto& s = Ac3Settings; s.AudioChannelsAC3 = 0; s.AudioSampleRateAC3 = 0; s.AudioBitRateUseAutoSetAC3 = true; },
     "-y -f ac3 -vn -acodec ac3 -ac 1 -ar 22050 "},
    {"Ac3CodecOutOfRange", K::AC3, [] { Ac3Settings.AudioCodec = 1; }, "-y -f ac3 -vn "},
    {"Mp2Defaults", K::MP2, nullptr, "-y -f mp2 -vn -acodec mp2 -ac 2 -ab 160 -ar 44100 "},
    {"Mp2MonoAuto", K::MP2, [] { auto& s = Mp2Settings; s.AudioChannelsMp2 = 0; s.AudioBitRateUseAutoSetMp2 = true; s.AudioSampleRateMp2 = 1; },
     "-y -f mp2 -vn -acodec mp2 -ac 1 -ar 24000 "},
    {"Mp2CodecOutOfRange", K::MP2, [] { Mp2Settings.AudioCodec = 1; }, "-y -f mp2 -vn "},
    {"Mp3WorkedExample", K::MP3, [] { auto& s = Mp3Settings; s.EnableTimeControl = true; s.Duration = "0:00:45.000"; s.StartTime = "0:01:00.000"; s.AudioBitRatePresetMp3 = 192; },
     "-y -f mp3  -t 0:00:45.000 -ss 0:01:00.000 -vn -acodec mp3 -ac 2 -ab 192 -ar 44100 "},
    {"Mp3CodecOutOfRange", K::MP3, [] { Mp3Settings.AudioCodec = 1; }, "-y -f mp3 -vn "},
    // VBR quality replaces the bitrate: list position n is "-aq n-1".
    {"Mp3VbrLowest", K::MP3, [] { Mp3Settings.AudioQuality = 1; }, "-y -f mp3 -vn -acodec mp3 -ac 2 -ar 44100 -aq 0 "},
    {"Mp3VbrBest", K::MP3, [] { Mp3Settings.AudioQuality = 10; }, "-y -f mp3 -vn -acodec mp3 -ac 2 -ar 44100 -aq 9 "},
    {"Mp3VbrPastList", K::MP3, [] { Mp3Settings.AudioQuality = 11; }, "-y -f mp3 -vn -acodec mp3 -ac 2 -ab 128 -ar 44100 "},
    {"AmrDefaults", K::AMR, nullptr, "-y -f amr -vn -acodec amr_nb -ac 1 -ar 8000 -ab 13 "},
    {"AmrNbAuto", K::AMR, [] { AmrSettings.AudioBitRateUseAutoSetArmnb = true; }, "-y -f amr -vn -acodec amr_nb -ac 1 -ar 8000 "},
    {"AmrWbPreset23", K::AMR, [] { AmrSettings.AudioCodec = 1; AmrSettings.AudioBitRatePresetArmwb = 23; }, "-y -f amr -vn -acodec amr_wb -ac 1 -ar 16000 -ab 23 "},
    {"AmrWbOnlyMonoAndFirstRate", K::AMR, [] { auto& s = AmrSettings; s.AudioCodec = 1; s.AudioChannelsArmwb = 1; s.AudioSampleRateArmwb = 1; },
     "-y -f amr -vn -acodec amr_wb -ab 13 "},
    {"AmrCodecOutOfRange", K::AMR, [] { AmrSettings.AudioCodec = 2; }, "-y -f amr -vn "},
    {"WavDefaults", K::WAV, nullptr, "-y -f wav -vn -acodec pcm_s16le -ac 2 -ar 44100 "},
    {"WavPcmu8", K::WAV, [] { WavSettings.AudioCodec = 1; WavSettings.AudioChannelsPcmu8 = 0; }, "-y -f wav -vn -acodec pcm_u8 -ac 1 -ar 44100 "},
    {"WavCodecOutOfRange", K::WAV, [] { WavSettings.AudioCodec = 2; }, "-y -f wav -vn "},
    // The newer formats: list position 0 of rate and channels writes nothing (the source's).
    {"OpusDefaults", K::OPUS, nullptr, "-y -f opus -vn -acodec opus -ab 128 "},
    {"OpusSpeechMono24k", K::OPUS, [] { auto& s = OpusSettings; s.AudioChannelsOpus = 1; s.AudioBitRatePresetOpus = 32; s.AudioSampleRateOpus = 4; },
     "-y -f opus -vn -acodec opus -ac 1 -ab 32 -ar 24000 "},
    {"OpusSurroundRatePastList", K::OPUS, [] { OpusSettings.AudioChannelsOpus = 3; OpusSettings.AudioSampleRateOpus = 6; }, "-y -f opus -vn -acodec opus -ac 6 -ab 128 "},
    {"FlacDefaults", K::FLAC, nullptr, "-y -f flac -vn -acodec flac -compression_level 5 "},
    {"FlacLevel8Stereo96k", K::FLAC, [] { auto& s = FlacSettings; s.FlacLevel = 8; s.AudioChannelsFlac = 2; s.AudioSampleRateFlac = 11; },
     "-y -f flac -vn -acodec flac -ac 2 -ar 96000 -compression_level 8 "},
    {"FlacLevelPastList", K::FLAC, [] { FlacSettings.FlacLevel = 9; }, "-y -f flac -vn -acodec flac "},
    {"M4aDefaults", K::M4A, nullptr, "-y -f ipod -vn -acodec aac -ab 256 "},
    {"M4aAlac", K::M4A, [] { M4aSettings.AudioCodec = 1; M4aSettings.AudioSampleRateAlac = 8; }, "-y -f ipod -vn -acodec alac -ar 44100 "},
    {"OggDefaults", K::OGG, nullptr, "-y -f ogg -vn -acodec vorbis -ab 160 "},
    {"OggQuality5WhenAuto", K::OGG, [] { OggSettings.AudioBitRateUseAutoSetVorbis = true; }, "-y -f ogg -vn -acodec vorbis -aq 5 "},
    {"OggQualityPastList", K::OGG, [] { OggSettings.AudioBitRateUseAutoSetVorbis = true; OggSettings.VorbisQuality = 11; }, "-y -f ogg -vn -acodec vorbis "},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Audio, AudioLines, ::testing::ValuesIn(AudioCases), qvtest::CaseName);

// ---- The dispatcher and the frame around the builders ----

TEST(Dispatcher, FormatsPastTheListGiveAnEmptyLine)
{
    qvtest::TempDir dir;
    for (int format : { 22, 23, 255 }) {
        Options.OutputFormat = static_cast<uint8_t>(format);
        std::string line = "stale ";
        BuildEncoderOptions(dir.file("none.avo"), line);
        EXPECT_EQ(line, "") << format;
    }
}

TEST(Dispatcher, MissingProfileBuildsFromTheDefaultsAndCreatesNothing)
{
    qvtest::TempDir dir;
    const std::string file = dir.file("absent.mpo");
    Options.OutputFormat = static_cast<uint8_t>(K::MP3);
    Mp3Settings.AudioBitRatePresetMp3 = 320;
    std::string line = "stale ";
    BuildEncoderOptions(file, line);
    EXPECT_EQ(line, "-y -f mp3 -vn -acodec mp3 -ac 2 -ab 128 -ar 44100 ");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(Dispatcher, RecordHoldsTheProfileJustBuiltAndBuildersAppend)
{
    qvtest::TempDir dir;
    const std::string file = dir.file("p.ac3");
    DefaultAc3Settings();
    Ac3Settings.AudioBitRatePresetAC3 = 192;
    SaveAc3Settings(file);
    DefaultAc3Settings();
    std::string line = "head ";
    BuildAc3Options(file, line);
    EXPECT_EQ(line, "head -y -f ac3 -vn -acodec ac3 -ac 2 -ar 48000 -ab 192 ");
    EXPECT_EQ(Ac3Settings.AudioBitRatePresetAC3, 192);
}

TEST(TimePiece, BlanksAndQuotesInsideTimeTextsAreLeftOut)
{
    const std::string line = qvtest::BuildLine(K::WAV, [] {
        WavSettings.EnableTimeControl = true;
        WavSettings.Duration = "0:00: 10.000";
        WavSettings.StartTime = "0:00:0\"1.0\t00";
    });
    EXPECT_EQ(line, "-y -f wav  -t 0:00:10.000 -ss 0:00:01.000 -vn -acodec pcm_s16le -ac 2 -ar 44100 ");
}

// A time text that is no time never reaches the line: it could begin an
// option of its own ("-ss -i -vn" takes the next word as the input).
TEST(TimePiece, TextsThatAreNoTimeAreRefusedNamingTheKey)
{
    struct {
        const char* duration;
        const char* start;
        const char* key; // named in the message; nullptr: accepted
    } cases[] = {
        {"0:00:10.000", "-i", "StartTime"},
        {"-i", "0:00:01.000", "Duration"},
        {"0:00:10.000 -f null", "0", "Duration"},
        {"10", "-1", "StartTime"},
        {"1e3", "0", "Duration"},
        {"0:00:10.000", "0:00:01.000", nullptr},
        {"90", "1:30", nullptr},
        {"", "", nullptr}, // empty texts: no range, as before
    };
    static const char* duration;
    static const char* start;
    auto set = [] {
        WavSettings.EnableTimeControl = true;
        WavSettings.Duration = duration;
        WavSettings.StartTime = start;
    };
    for (const auto& c : cases) {
        duration = c.duration;
        start = c.start;
        if (!c.key) {
            EXPECT_NO_THROW(qvtest::BuildLine(K::WAV, set)) << c.duration << " / " << c.start;
            continue;
        }
        try {
            qvtest::BuildLine(K::WAV, set);
            ADD_FAILURE() << "accepted: " << c.duration << " / " << c.start;
        } catch (const TProfileValueError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(std::string(c.key) + "=\""), std::string::npos) << message;
        }
    }
}

} // namespace
