#include "LineHarness.h"

#include <ostream>
#include <vector>

using K = OutputFormatKind;

namespace {

// Each row walks one list of the builders: every index gives its piece
// between Before and After, and one index past the end gives nothing there.
// Codec lists give every block a bitrate of its own, so a codec that reads a
// neighbour's block shows up.
uint8_t g_index = 0; // the index under test, read by the captureless set-up routines

struct TTableCase {
    const char* Name;
    OutputFormatKind Format;
    void (*Setup)();
    std::string Before, After;
    std::vector<const char*> Pieces; // index -> piece; one index past the end must add nothing
};

// clang-format off
const TTableCase TableCases[] = {
    {"AviVideoCodecs", K::AVI, [] { auto& s = AVISettings; s.VideoCodec = g_index; s.VideoBitRatePresetDivX = 1; s.VideoBitRatePresetXviD = 2;
         s.VideoBitRatePresetMsMPEG4 = 3; s.VideoBitRatePresetMsMPEG4v2 = 4; s.VideoBitRatePresetH263 = 5; s.VideoBitRatePresetH263P = 6; s.VideoBitRatePresetH264 = 7;
         s.VideoBitRatePresethuffYUV = 8; s.VideoBitRatePresetMjpeg = 9; s.VideoBitRatePresetSvq1 = 10; s.VideoBitRatePresetFlv = 11; },
     "-y -f avi ", "-acodec mp3 -ac 2 -ab 96 -ar 22050 ",
     {"-vcodec msmpeg4 -b 1k -r 25 ", "-vcodec xvid -b 2k -r 25 ", "-vcodec msmpeg4 -b 3k -r 25 ", "-vcodec msmpeg4v2 -b 4k -r 25 ",
      "-vcodec h263 -s 352x288 -b 5k -r 25 ", "-vcodec h263p -b 6k -r 25 ", "-vcodec h264 -b 7k -r 25 ", "-vcodec ffvhuff -b 8k -r 25 ",
      "-vcodec mjpeg -b 9k -r 25 ", "-vcodec svq1 -b 10k -r 25 ", "-vcodec flv -b 11k -r 25 "}},
    {"AviAudioCodecs", K::AVI, [] { auto& s = AVISettings; s.AudioCodec = g_index; s.AudioBitRatePresetMp2 = 1; s.AudioBitRatePresetMp3 = 2;
         s.AudioSampleRatePcm16le = 0; s.AudioSampleRatePcmu8 = 1; s.AudioBitRatePresetAC3 = 5; },
     "-y -f avi -vcodec msmpeg4 -b 1080k -r 25 ", "",
     {"-acodec mp2 -ac 2 -ab 1 -ar 22050 ", "-acodec mp3 -ac 2 -ab 2 -ar 22050 ", "-acodec pcm_s16le -ac 2 -ar 11025 ", "-acodec pcm_u8 -ac 2 -ar 12000 ",
      "-acodec ac3 -ac 2 -ar 22050 -ab 5 "}},
    {"AviH263Aspects", K::AVI, [] { AVISettings.VideoCodec = 4; AVISettings.VideoAspectH263 = g_index; AVISettings.AudioCodec = 5; },
     "-y -f avi -vcodec h263 -s 352x288 -b 1080k -r 25 ", "", {"", "", "-aspect 4:3 ", "", "-aspect 16:9 "}},
    {"TgpH263Aspects", K::TGP, [] { TGPSettings.VideoAspectH263 = g_index; TGPSettings.AudioDisableAudio = true; },
     "-y -f 3gp -vcodec h263 -s 176x144 -b 144k -r 25 ", "-an ", {"-aspect 11:9 ", "", "-aspect 4:3 ", "", "-aspect 16:9 "}},
    {"MovVideoCodecs", K::MOV, [] { auto& s = MovSettings; s.VideoCodec = g_index; s.VideoBitRatePresetSvq1 = 1; s.VideoBitRatePresetDivX = 2;
         s.VideoBitRatePresetXviD = 3; s.VideoBitRatePresetH263 = 4; s.VideoBitRatePresetH264 = 5; s.VideoAspectSvq1 = s.VideoAspectDivX = s.VideoAspectXviD = 1;
         s.VideoAspectH263 = 2; s.VideoAspectH264 = 1; },
     "-y -f mov ", "-ac 2 -ab 64 -ar 22050 ",
     {"-vcodec svq1 -b 1k -r 25 -aspect 4:3 ", "-vcodec msmpeg4 -b 2k -r 25 -aspect 4:3 ", "-vcodec xvid -b 3k -r 25 -aspect 4:3 ",
      "-vcodec h263 -s 352x288 -b 4k -r 25 ", "-vcodec h264 -b 5k -r 25 "}},
    {"MovAudioCodecs", K::MOV, [] { auto& s = MovSettings; s.VideoCodec = 5; s.AudioCodec = g_index; s.AudioSampleRateAlaw = 0; s.AudioSampleRatePcm16le = 1;
         s.AudioSampleRatePcm16be = 5; },
     "-y -f mov ", "",
     {"-ac 2 -ab 64 -ar 22050 ", "-acodec pcm_alaw -ac 2 -ar 11025 ", "-acodec amr_nb -ac 1 -ar 8000 -ab 8 ", "-acodec pcm_s16le -ac 2 -ar 12000 ",
      "-acodec pcm_s16be -ac 2 -ar 32000 "}},
    {"WmvVideoCodecs", K::WMV, [] { auto& s = WmvSettings; s.VideoCodec = g_index; s.VideoBitRatePresetMsMPEG4 = 1; s.VideoBitRatePresetMsMPEG4v2 = 2;
         s.VideoBitRatePresetWmv7 = 3; s.VideoBitRatePresetWmv8 = 4; },
     "-y ", "-acodec mp3 -ac 2 -ar 22050 ",
     {"-vcodec msmpeg4 -b 1k -r 25 ", "-vcodec msmpeg4v2 -b 2k -r 25 ", "-vcodec wmv1 -b 3k -r 25 ", "-vcodec wmv2 -b 4k -r 25 "}},
    {"FrameRates", K::AVI, [] { auto& s = AVISettings; s.VideoCodec = 1; s.VideoKeepFrameRateXviD = false; s.VideoFrameRateXviD = g_index; },
     "-y -f avi -vcodec xvid -b 1080k ", "-acodec mp3 -ac 2 -ab 96 -ar 22050 ",
     {"-r 10 ", "-r 12 ", "-r 14.985 ", "-r 15 ", "-r 19.98 ", "-r 23.976 ", "-r 24 ", "-r 25 ", "-r 29.97 ", "-r 30 ", "-r 50 ", "-r 59.94 ", "-r 60 "}},
    {"VobFrameRates", K::VOB, [] { VobSettings.VideoKeepFrameRateMPEG2 = false; VobSettings.VideoFrameRateMPEG2 = g_index; VobSettings.AudioCodec = 2; },
     "-y -f vob -vcodec mpeg2video -s 720x576 -b 6000k ", "-aspect 5:4 ",
     {"-r 19.98 ", "-r 23.976 ", "-r 24 ", "-r 25 ", "-r 29.97 ", "-r 30 ", "-r 50 ", "-r 59.94 ", "-r 60 "}},
    {"FourRates", K::MP3, [] { Mp3Settings.AudioSampleRateMp3 = g_index; }, "-y -f mp3 -vn -acodec mp3 -ac 2 -ab 128 ", "",
     {"-ar 22050 ", "-ar 24000 ", "-ar 44100 ", "-ar 48000 "}},
    {"EightRates", K::WAV, [] { WavSettings.AudioCodec = 1; WavSettings.AudioSampleRatePcmu8 = g_index; }, "-y -f wav -vn -acodec pcm_u8 -ac 2 ", "",
     {"-ar 11025 ", "-ar 12000 ", "-ar 16000 ", "-ar 22050 ", "-ar 24000 ", "-ar 32000 ", "-ar 44100 ", "-ar 48000 "}},
    {"SwfMp3Rates", K::SWF, [] { SwfSettings.VideoCodec = 1; SwfSettings.AudioSampleRateMp3 = g_index; }, "-y -acodec mp3 -ac 2 ", "",
     {"-ar 11025 ", "-ar 22050 ", "-ar 44100 "}},
    {"StandardAspects", K::ASF, [] { AsfSettings.VideoAspectMsMPEG4 = g_index; AsfSettings.AudioCodec = 1; }, "-y -f asf -vcodec msmpeg4 -b 768k -r 25 ", "",
     {"", "-aspect 4:3 ", "-aspect 16:9 "}},
    {"TgpAspects", K::TGP, [] { auto& s = TGPSettings; s.TGPFormat = 1; s.VideoAspectDivX = g_index; s.AudioDisableAudio = true; },
     "-y -f 3gp -vcodec msmpeg4 -s 176x144 -b 144k -r 25 ", "-an ", {"-aspect 11:9 ", "-aspect 4:3 ", "-aspect 16:9 "}},
    {"VcdTargets", K::MPEG, [] { MPEGSettings.UsePresetFormats = true; MPEGSettings.TargetFormat = g_index; }, "", "",
     {"-target film-vcd ", "-target ntsc-vcd ", "-target pal-vcd "}},
    {"SvcdTargets", K::MPEG, [] { auto& s = MPEGSettings; s.UsePresetFormats = true; s.PresetType = 1; s.TargetFormat = g_index; }, "", "",
     {"-target film-svcd ", "-target ntsc-svcd ", "-target pal-svcd "}},
    {"DvdAspects", K::MPEG, [] { auto& s = MPEGSettings; s.UsePresetFormats = true; s.PresetType = 2; s.DVDVideoKeepAspect = false; s.DVDVideoAspect = g_index; },
     "-target film-dvd -b 6000k ", "-ab 384 ", {"-aspect 1:1 ", "-aspect 4:3 ", "-aspect 16:9 "}},
};
// clang-format on

void PrintTo(const TTableCase& c, std::ostream* out) { *out << c.Name; }

class LookupTables : public ::testing::TestWithParam<TTableCase> { };

TEST_P(LookupTables, EveryIndexAndOnePastTheEnd)
{
    const TTableCase& c = GetParam();
    for (size_t i = 0; i <= c.Pieces.size(); ++i) {
        SCOPED_TRACE("index " + std::to_string(i));
        g_index = static_cast<uint8_t>(i);
        const std::string piece = i < c.Pieces.size() ? c.Pieces[i] : "";
        EXPECT_EQ(qvtest::BuildLine(c.Format, c.Setup), c.Before + piece + c.After);
    }
}
INSTANTIATE_TEST_SUITE_P(All, LookupTables, ::testing::ValuesIn(TableCases),
    [](const ::testing::TestParamInfo<TTableCase>& info) { return std::string(info.param.Name); });

} // namespace
