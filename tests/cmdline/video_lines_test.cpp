#include "LineHarness.h"

#include <filesystem>

using qvtest::TLineCase;
using K = OutputFormatKind;

namespace {

class VideoLines : public qvtest::LineTest { };

TEST_P(VideoLines, BuildsTheExpectedLine)
{
    EXPECT_EQ(qvtest::BuildLine(GetParam().Format, GetParam().Setup), GetParam().Expected);
}

// clang-format off
const TLineCase AviCases[] = {
    {"AviWorkedExample", K::AVI, [] { auto& s = AVISettings; s.EnableTimeControl = true; s.Duration = "0:01:00.000"; s.StartTime = "0:00:30.000";
         s.VideoCodec = 1; s.VideoBitRatePresetXviD = 1200; s.VideoSizeUseSourceXviD = false; s.VideoKeepFrameRateXviD = false; s.VideoFrameRateXviD = 8;
         s.VideoAspectXviD = 1; s.AudioBitRatePresetMp3 = 128; s.AudioSampleRateMp3 = 2; },
     "-y -f avi  -t 0:01:00.000 -ss 0:00:30.000 -vcodec xvid -s 640x480 -b 1200k -r 29.97 -aspect 4:3 -acodec mp3 -ac 2 -ab 128 -ar 44100 "},
    {"AviDefaults", K::AVI, nullptr, "-y -f avi -vcodec msmpeg4 -b 1080k -r 25 -acodec mp3 -ac 2 -ab 96 -ar 22050 "},
    {"AviDivXSameQualitySpecified", K::AVI, [] { auto& s = AVISettings; s.VideoSameQuality = true; s.VideoBitRateUsePresertDivX = false; s.VideoBitRateSpecifyDivX = 800; s.VideoAspectDivX = 2; },
     "-y -f avi -sameq -vcodec msmpeg4 -b 800k -r 25 -aspect 16:9 -acodec mp3 -ac 2 -ab 96 -ar 22050 "},
    {"AviMsMpeg4v2", K::AVI, [] { auto& s = AVISettings; s.VideoCodec = 3; s.VideoKeepFrameRateMsMPEG4v2 = false; s.VideoFrameRateMsMPEG4v2 = 0; },
     "-y -f avi -vcodec msmpeg4v2 -b 1080k -r 10 -acodec mp3 -ac 2 -ab 96 -ar 22050 "},
    {"AviH263SizeAlwaysAspect1None", K::AVI, [] { auto& s = AVISettings; s.VideoCodec = 4; s.VideoWidthH263 = 176; s.VideoHeightH263 = 144; s.VideoAspectH263 = 1; },
     "-y -f avi -vcodec h263 -s 176x144 -b 1080k -r 25 -acodec mp3 -ac 2 -ab 96 -ar 22050 "},
    {"AviH263PFrameRatePastTable", K::AVI, [] { auto& s = AVISettings; s.VideoCodec = 5; s.VideoKeepFrameRateH263P = false; s.VideoFrameRateH263P = 13; },
     "-y -f avi -vcodec h263p -b 1080k -acodec mp3 -ac 2 -ab 96 -ar 22050 "},
    {"AviH264CrfSmaller", K::AVI, [] { auto& s = AVISettings; s.VideoCodec = 6; s.VideoQuality = 22; s.VideoSpeed = 2; },
     "-y -f avi -vcodec h264 -b 1080k -r 25 -crf 22 -speed smaller -acodec mp3 -ac 2 -ab 96 -ar 22050 "},
    {"AviXvidIgnoresCrf", K::AVI, [] { auto& s = AVISettings; s.VideoCodec = 1; s.VideoQuality = 22; s.VideoSpeed = 2; },
     "-y -f avi -vcodec xvid -b 1080k -r 25 -acodec mp3 -ac 2 -ab 96 -ar 22050 "},
    {"AviH264KeepRateWinsAspect3None", K::AVI, [] { auto& s = AVISettings; s.VideoCodec = 6; s.VideoFrameRateH264 = 13; s.VideoAspectH264 = 3; },
     "-y -f avi -vcodec h264 -b 1080k -r 25 -acodec mp3 -ac 2 -ab 96 -ar 22050 "},
    {"AviHuffYuvZeroBitRate", K::AVI, [] { AVISettings.VideoCodec = 7; AVISettings.VideoBitRatePresethuffYUV = 0; }, "-y -f avi -vcodec ffvhuff -b 0k -r 25 -acodec mp3 -ac 2 -ab 96 -ar 22050 "},
    {"AviMjpegNegativeNumbers", K::AVI, [] { auto& s = AVISettings; s.VideoCodec = 8; s.VideoBitRatePresetMjpeg = -300; s.VideoSizeUseSourceMjpeg = false; s.VideoWidthMjpeg = -2; },
     "-y -f avi -vcodec mjpeg -s -2x480 -b -300k -r 25 -acodec mp3 -ac 2 -ab 96 -ar 22050 "},
    {"AviVideoCodecOutOfRange", K::AVI, [] { AVISettings.VideoCodec = 11; AVISettings.VideoSameQuality = true; }, "-y -f avi -sameq -acodec mp3 -ac 2 -ab 96 -ar 22050 "},
    {"AviMp2MonoAutoBitRate", K::AVI, [] { auto& s = AVISettings; s.AudioCodec = 0; s.AudioChannelsMp2 = 0; s.AudioBitRateUseAutoSetMp2 = true; s.AudioSampleRateMp2 = 3; },
     "-y -f avi -vcodec msmpeg4 -b 1080k -r 25 -acodec mp2 -ac 1 -ar 48000 "},
    {"AviMp3ChannelPastList", K::AVI, [] { AVISettings.AudioChannelsMp3 = 2; }, "-y -f avi -vcodec msmpeg4 -b 1080k -r 25 -acodec mp3 -ab 96 -ar 22050 "},
    {"AviPcmu8", K::AVI, [] { auto& s = AVISettings; s.AudioCodec = 3; s.AudioChannelsPcmu8 = 0; s.AudioSampleRatePcmu8 = 7; },
     "-y -f avi -vcodec msmpeg4 -b 1080k -r 25 -acodec pcm_u8 -ac 1 -ar 48000 "},
    {"AviAc3Surround", K::AVI, [] { auto& s = AVISettings; s.AudioCodec = 4; s.AudioChannelsAC3 = 2; s.AudioSampleRateAC3 = 1; },
     "-y -f avi -vcodec msmpeg4 -b 1080k -r 25 -acodec ac3 -ac 5:1 -ar 48000 -ab 96 "},
    {"AviAudioDisabled", K::AVI, [] { AVISettings.AudioDisableAudio = true; }, "-y -f avi -vcodec msmpeg4 -b 1080k -r 25 -an "},
    {"AviEmptyTimeTexts", K::AVI, [] { AVISettings.EnableTimeControl = true; AVISettings.Duration = AVISettings.StartTime = ""; }, "-y -f avi  -t  -ss  -vcodec msmpeg4 -b 1080k -r 25 -acodec mp3 -ac 2 -ab 96 -ar 22050 "},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Avi, VideoLines, ::testing::ValuesIn(AviCases), qvtest::CaseName);

// clang-format off
const TLineCase Mp4And3gpCases[] = {
    {"Mp4Defaults", K::MP4, nullptr, "-y -f mp4 -vcodec h264 -s 320x240 -b 1200k -r 25 -acodec aac -ac 2 -ab 64 -ar 22050 "},
    {"Mp4IpodWithTime", K::MP4, [] { auto& s = MP4Settings; s.Format = 0; s.EnableTimeControl = true; s.Duration = "0:00:10.000"; s.StartTime = "0:00:05.000"; },
     "-y -f mp4  -t 0:00:10.000 -ss 0:00:05.000 -vcodec h264 -s 320x240 -b 1200k -r 25 -acodec aac -ac 2 -ab 64 -ar 22050 "},
    {"Mp4Psp", K::MP4, [] { MP4Settings.Format = 1; MP4Settings.AudioBitRatePresetAACMP4 = 128; }, "-y -f psp -vcodec h264 -s 320x240 -b 1200k -r 25 -acodec aac -ac 2 -ab 64 -ar 48000 "},
    {"Mp4PspRateIndex1None", K::MP4, [] { MP4Settings.Format = 1; MP4Settings.AudioSampleRateAACPsp = 1; }, "-y -f psp -vcodec h264 -s 320x240 -b 1200k -r 25 -acodec aac -ac 2 -ab 64 "},
    {"Mp4MobileMovieAspect", K::MP4, [] { MP4Settings.Format = 2; MP4Settings.VideoAspectH264 = 1; }, "-y -f mp4 -vcodec h264 -s 320x240 -b 1200k -r 25 -aspect 4:3 -acodec aac -ac 2 -ab 64 -ar 22050 "},
    {"Mp4FormatOutOfRange", K::MP4, [] { MP4Settings.Format = 4; }, "-y -vcodec h264 -s 320x240 -b 1200k -r 25 -acodec aac -ac 2 -ab 64 -ar 22050 "},
    // Positions 1 and 2 are H.265 and AV1 now; 3 is past the list.
    {"Mp4CodecsOutOfRange", K::MP4, [] { MP4Settings.VideoCodec = 3; MP4Settings.AudioCodec = 1; }, "-y -f mp4 "},
    {"TgpDefaultsNokiaH263AutoAspect", K::TGP, nullptr, "-y -f 3gp -vcodec h263 -s 176x144 -b 144k -r 25 -aspect 11:9 -acodec amr_nb -ac 1 -ar 8000 -ab 13 "},
    {"TgpNokiaMpeg4", K::TGP, [] { TGPSettings.VideoCodecNokia = 1; TGPSettings.VideoAspectDivX = 1; }, "-y -f 3gp -vcodec msmpeg4 -s 176x144 -b 144k -r 25 -aspect 4:3 -acodec amr_nb -ac 1 -ar 8000 -ab 13 "},
    {"TgpNokiaAmrWb", K::TGP, [] { TGPSettings.VideoCodecNokia = 2; TGPSettings.AudioCodecNokia = 1; }, "-y -f 3gp -acodec amr_wb -ac 1 -ar 16000 -ab 13 "},
    {"TgpNokiaAac", K::TGP, [] { TGPSettings.VideoCodecNokia = 2; TGPSettings.AudioCodecNokia = 2; }, "-y -f 3gp -acodec aac -ac 2 -ab 56 -ar 22050 "},
    {"TgpNokiaAudioOutOfRange", K::TGP, [] { TGPSettings.VideoCodecNokia = 2; TGPSettings.AudioCodecNokia = 3; }, "-y -f 3gp "},
    {"TgpAmrNbOnlyMonoAndFirstRate", K::TGP, [] { auto& s = TGPSettings; s.VideoCodecNokia = 2; s.AudioChannelsArmnb = 1; s.AudioSampleRateArmnb = 1; },
     "-y -f 3gp -acodec amr_nb -ab 13 "},
    {"Tgp2SonyKeys", K::TGP, [] { TGPSettings.TGPFormat = 2; TGPSettings.VideoCodecNokia = 1; TGPSettings.AudioCodecNokia = 1; },
     "-y -f 3gp -vcodec msmpeg4 -s 176x144 -b 144k -r 25 -aspect 11:9 -acodec aac -ac 2 -ab 56 -ar 22050 "},
    {"TgpSonyXviD", K::TGP, [] { auto& s = TGPSettings; s.TGPFormat = 1; s.VideoCodecSony = 1; s.VideoAspectXviD = 2; s.AudioCodecSony = 1; },
     "-y -f 3gp -vcodec xvid -s 176x144 -b 96k -r 25 -aspect 16:9 "},
    {"TgpOtherFormatSonyOutOfRange", K::TGP, [] { TGPSettings.TGPFormat = 7; TGPSettings.VideoCodecSony = 2; }, "-y -f 3gp -acodec aac -ac 2 -ab 56 -ar 22050 "},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Mp4And3gp, VideoLines, ::testing::ValuesIn(Mp4And3gpCases), qvtest::CaseName);

// clang-format off
const TLineCase MpegCases[] = {
    {"MpegCustomDefaults", K::MPEG, nullptr, "-y -vcodec mpeg2video -b 2496k -r 25 -acodec ac3 -ac 2 -ar 48000 -ab 256 "},
    {"MpegCustomTimeBeforeHead", K::MPEG, [] { auto& s = MPEGSettings; s.EnableTimeControl = true; s.Duration = "0:00:10.000"; s.StartTime = "0:00:01.000"; s.VideoSameQuality = true; },
     " -t 0:00:10.000 -ss 0:00:01.000 -y -sameq -vcodec mpeg2video -b 2496k -r 25 -acodec ac3 -ac 2 -ar 48000 -ab 256 "},
    {"MpegMpeg2Mp2", K::MPEG, [] { MPEGSettings.AudioCodecMPEG2 = 1; }, "-y -vcodec mpeg2video -b 2496k -r 25 -acodec mp2 -ac 2 -ab 160 -ar 44100 "},
    {"MpegMpeg2Mp3", K::MPEG, [] { MPEGSettings.AudioCodecMPEG2 = 2; MPEGSettings.AudioCodecMPEG1 = 0; }, "-y -vcodec mpeg2video -b 2496k -r 25 -acodec mp3 -ac 2 -ab 160 -ar 44100 "},
    {"MpegMpeg2AudioOutOfRange", K::MPEG, [] { MPEGSettings.AudioCodecMPEG2 = 3; }, "-y -vcodec mpeg2video -b 2496k -r 25 "},
    {"MpegMpeg1IgnoresMpeg2Audio", K::MPEG, [] { MPEGSettings.VideoCodec = 0; MPEGSettings.AudioCodecMPEG1 = 1; MPEGSettings.AudioCodecMPEG2 = 1; },
     "-y -vcodec mpeg1video -b 1152k -r 25 -acodec mp3 -ac 2 -ab 160 -ar 44100 "},
    {"MpegMpeg1Mp2", K::MPEG, [] { MPEGSettings.VideoCodec = 0; MPEGSettings.VideoAspectMPEG1 = 2; }, "-y -vcodec mpeg1video -b 1152k -r 25 -aspect 16:9 -acodec mp2 -ac 2 -ab 160 -ar 44100 "},
    {"MpegMpeg1AudioOutOfRange", K::MPEG, [] { MPEGSettings.VideoCodec = 0; MPEGSettings.AudioCodecMPEG1 = 2; }, "-y -vcodec mpeg1video -b 1152k -r 25 "},
    {"MpegVideoOutOfRangeUsesMpeg1Audio", K::MPEG, [] { MPEGSettings.VideoCodec = 2; }, "-y -acodec mp2 -ac 2 -ab 160 -ar 44100 "},
    {"MpegCustomAudioDisabled", K::MPEG, [] { MPEGSettings.AudioDisableAudio = true; }, "-y -vcodec mpeg2video -b 2496k -r 25 -an "},
    {"MpegPresetPalSvcd", K::MPEG, [] { auto& s = MPEGSettings; s.UsePresetFormats = true; s.PresetType = 1; s.TargetFormat = 2; s.VideoSameQuality = true; s.AudioDisableAudio = true; },
     "-target pal-svcd "},
    {"MpegPresetFilmVcdWithTime", K::MPEG, [] { auto& s = MPEGSettings; s.UsePresetFormats = true; s.EnableTimeControl = true; s.Duration = "0:00:10.000"; s.StartTime = "0:00:02.000"; },
     " -t 0:00:10.000 -ss 0:00:02.000 -target film-vcd "},
    {"MpegPresetNtscDvd", K::MPEG, [] { auto& s = MPEGSettings; s.UsePresetFormats = true; s.PresetType = 2; s.TargetFormat = 1; s.DVDAudioBitRateUseAutoSet = true; },
     "-target ntsc-dvd -b 6000k "},
    {"MpegPresetPalDvdFull", K::MPEG, [] { auto& s = MPEGSettings; s.UsePresetFormats = true; s.PresetType = 2; s.TargetFormat = 2; s.DVDVideoBitRateUsePresert = false;
         s.DVDVideoBitRateSpecify = 4000; s.DVDVideoKeepAspect = false; s.DVDVideoAspect = 2; },
     "-target pal-dvd -b 4000k -aspect 16:9 -ab 384 "},
    {"MpegPresetDvdSquareAspect", K::MPEG, [] { auto& s = MPEGSettings; s.UsePresetFormats = true; s.PresetType = 2; s.DVDVideoKeepAspect = false; s.DVDVideoAspect = 0; },
     "-target film-dvd -b 6000k -aspect 1:1 -ab 384 "},
    {"MpegPresetDvdNoTargetNoAspect", K::MPEG, [] { auto& s = MPEGSettings; s.UsePresetFormats = true; s.PresetType = 2; s.TargetFormat = 3; s.DVDVideoKeepAspect = false; s.DVDVideoAspect = 3; },
     "-b 6000k -ab 384 "},
    {"MpegPresetVcdTargetOutOfRange", K::MPEG, [] { MPEGSettings.UsePresetFormats = true; MPEGSettings.TargetFormat = 3; }, ""},
    {"MpegPresetTypeOutOfRange", K::MPEG, [] { auto& s = MPEGSettings; s.UsePresetFormats = true; s.PresetType = 3; s.EnableTimeControl = true; s.Duration = "1"; s.StartTime = "2"; },
     " -t 1 -ss 2 "},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Mpeg, VideoLines, ::testing::ValuesIn(MpegCases), qvtest::CaseName);

// clang-format off
const TLineCase MovCases[] = {
    {"MovDefaultsAacHasNoCodecPiece", K::MOV, nullptr, "-y -f mov -vcodec h264 -b 1200k -r 25 -ac 2 -ab 64 -ar 22050 "},
    // Constant quality and speed are H.264's only.
    {"MovH264CrfFaster", K::MOV, [] { MovSettings.VideoQuality = 20; MovSettings.VideoSpeed = 1; },
     "-y -f mov -vcodec h264 -b 1200k -r 25 -crf 20 -speed faster -ac 2 -ab 64 -ar 22050 "},
    {"MovSvq1IgnoresCrf", K::MOV, [] { MovSettings.VideoCodec = 0; MovSettings.VideoQuality = 20; MovSettings.VideoSpeed = 1; },
     "-y -f mov -vcodec svq1 -b 1200k -r 25 -ac 2 -ab 64 -ar 22050 "},
    {"MovAacAutoBitRate", K::MOV, [] { MovSettings.AudioBitRateUseAutoSetAACMP4 = true; MovSettings.AudioSampleRateAACMP4 = 6; }, "-y -f mov -vcodec h264 -b 1200k -r 25 -ac 2 -ar 44100 "},
    {"MovXviDSize", K::MOV, [] { auto& s = MovSettings; s.VideoCodec = 2; s.VideoSizeUseSourceXviD = false; s.VideoWidthXviD = 320; s.VideoHeightXviD = 240; },
     "-y -f mov -vcodec xvid -s 320x240 -b 1200k -r 25 -ac 2 -ab 64 -ar 22050 "},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Mov, VideoLines, ::testing::ValuesIn(MovCases), qvtest::CaseName);

// clang-format off
const TLineCase OtherVideoCases[] = {
    {"WmvDefaults", K::WMV, nullptr, "-y -vcodec wmv2 -b 768k -r 25 -acodec mp3 -ac 2 -ar 22050 "},
    {"WmvWmv7", K::WMV, [] { WmvSettings.VideoCodec = 2; }, "-y -vcodec wmv1 -b 768k -r 25 -acodec mp3 -ac 2 -ar 22050 "},
    {"WmvMsMpeg4v2Mp3Preset", K::WMV, [] { auto& s = WmvSettings; s.VideoCodec = 1; s.AudioBitRateUseAutoSetMp3 = false; s.AudioBitRatePresetMp3 = 128; s.AudioSampleRateMp3 = 3; },
     "-y -vcodec msmpeg4v2 -b 768k -r 25 -acodec mp3 -ac 2 -ab 128 -ar 48000 "},
    {"WmvCodecsOutOfRange", K::WMV, [] { WmvSettings.VideoCodec = 4; WmvSettings.AudioCodec = 1; }, "-y "},
    {"RmDefaults", K::RM, nullptr, "-y -f rm -vcodec rv10 -b 768k -r 25 -acodec ac3 -ac 2 -ar 48000 -ab 256 "},
    {"RmBitRateBeforeSizeNoAspect", K::RM, [] { auto& s = RmSettings; s.VideoSizeUseSourceRm10 = false; s.VideoBitRateUsePresertRm10 = false; s.VideoBitRateSpecifyRm10 = 500;
         s.VideoAspectRm10 = 1; s.VideoKeepFrameRateRm10 = false; s.VideoFrameRateRm10 = 5; },
     "-y -f rm -vcodec rv10 -b 500k -s 320x240 -r 23.976 -acodec ac3 -ac 2 -ar 48000 -ab 256 "},
    {"RmAc3Surround", K::RM, [] { RmSettings.AudioChannelsAC3 = 2; RmSettings.AudioSampleRateAC3 = 0; }, "-y -f rm -vcodec rv10 -b 768k -r 25 -acodec ac3 -ac 5:1 -ar 48000 -ab 256 "},
    {"RmAc3ChannelPastList", K::RM, [] { RmSettings.AudioChannelsAC3 = 3; }, "-y -f rm -vcodec rv10 -b 768k -r 25 -acodec ac3 -ab 256 "},
    {"RmCodecsOutOfRange", K::RM, [] { RmSettings.VideoCodec = 1; RmSettings.AudioCodec = 1; }, "-y -f rm "},
    {"SwfDefaults", K::SWF, nullptr, "-y -vcodec flv -b 768k -r 25 -acodec mp3 -ac 2 -ar 22050 "},
    {"SwfRate3None", K::SWF, [] { SwfSettings.AudioSampleRateMp3 = 3; SwfSettings.VideoAspectFlv = 2; }, "-y -vcodec flv -b 768k -r 25 -aspect 16:9 -acodec mp3 -ac 2 "},
    {"SwfCodecsOutOfRange", K::SWF, [] { SwfSettings.VideoCodec = 1; SwfSettings.AudioCodec = 1; }, "-y "},
    {"VobWorkedExample", K::VOB, [] { auto& s = VobSettings; s.VideoSizeUseSourceMPEG2 = true; s.VideoKeepFrameRateMPEG2 = false; s.VideoFrameRateMPEG2 = 3; },
     "-y -f vob -vcodec mpeg2video -b 6000k -r 25 -aspect 5:4 -acodec ac3 -ac 2 -ar 48000 -ab 384 "},
    {"VobDefaults", K::VOB, nullptr, "-y -f vob -vcodec mpeg2video -s 720x576 -b 6000k -r 25 -aspect 5:4 -acodec ac3 -ac 2 -ar 48000 -ab 384 "},
    {"VobOwnFrameRateTable", K::VOB, [] { auto& s = VobSettings; s.VideoKeepFrameRateMPEG2 = false; s.VideoFrameRateMPEG2 = 0; s.VideoAspectMPEG2 = 1; s.AudioCodec = 0; },
     "-y -f vob -vcodec mpeg2video -s 720x576 -b 6000k -r 19.98 -aspect 4:3 -acodec mp2 -ac 2 -ab 320 -ar 48000 "},
    {"VobFrameRatePastTableAspect3", K::VOB, [] { auto& s = VobSettings; s.VideoKeepFrameRateMPEG2 = false; s.VideoFrameRateMPEG2 = 9; s.VideoAspectMPEG2 = 3; s.AudioCodec = 2; },
     "-y -f vob -vcodec mpeg2video -s 720x576 -b 6000k "},
    {"VobWideAspectNoAudio", K::VOB, [] { VobSettings.VideoAspectMPEG2 = 2; VobSettings.AudioDisableAudio = true; }, "-y -f vob -vcodec mpeg2video -s 720x576 -b 6000k -r 25 -aspect 16:9 -an "},
    {"VobVideoOutOfRange", K::VOB, [] { VobSettings.VideoCodec = 1; }, "-y -f vob -acodec ac3 -ac 2 -ar 48000 -ab 384 "},
    {"AsfDefaults", K::ASF, nullptr, "-y -f asf -vcodec msmpeg4 -b 768k -r 25 -acodec mp3 -ac 2 -ab 64 -ar 22050 "},
    {"AsfMsMpeg4v2NoAudioCodec", K::ASF, [] { AsfSettings.VideoCodec = 1; AsfSettings.AudioCodec = 1; }, "-y -f asf -vcodec msmpeg4v2 -b 768k -r 25 "},
    {"AsfVideoOutOfRange", K::ASF, [] { AsfSettings.VideoCodec = 2; AsfSettings.VideoSameQuality = true; }, "-y -f asf -sameq -acodec mp3 -ac 2 -ab 64 -ar 22050 "},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(WmvRmSwfVobAsf, VideoLines, ::testing::ValuesIn(OtherVideoCases), qvtest::CaseName);

// clang-format off
// The newer formats keep the source's frame rate ("Auto" writes no rate) and
// write constant quality and speed after the video codec.
const TLineCase ModernVideoCases[] = {
    // MP4's later video codecs, appended to its list.
    {"Mp4H265Crf", K::MP4, [] { auto& s = MP4Settings; s.VideoCodec = 1; s.VideoQuality = 26; s.VideoSpeed = 1; },
     "-y -f mp4 -vcodec hevc -s 320x240 -b 768k -r 25 -crf 26 -speed faster -acodec aac -ac 2 -ab 64 -ar 22050 "},
    {"Mp4Av1", K::MP4, [] { MP4Settings.VideoCodec = 2; }, "-y -f mp4 -vcodec av1 -s 320x240 -b 768k -r 25 -acodec aac -ac 2 -ab 64 -ar 22050 "},
    {"MkvDefaults", K::MKV, nullptr, "-y -f matroska -vcodec h264 -b 1500k -crf 23 -acodec aac -ab 128 "},
    {"MkvH265Opus", K::MKV, [] { auto& s = MkvSettings; s.VideoCodec = 1; s.VideoQuality = 24; s.AudioCodec = 1; },
     "-y -f matroska -vcodec hevc -b 1080k -crf 24 -acodec opus -ab 128 "},
    {"MkvAv1FasterBitrateFlac", K::MKV, [] { auto& s = MkvSettings; s.VideoCodec = 2; s.VideoQuality = 0; s.VideoSpeed = 1; s.AudioCodec = 2; s.AudioChannelsFlac = 1; },
     "-y -f matroska -vcodec av1 -b 1080k -speed faster -acodec flac -ac 1 "},
    {"MkvVp9SizeRateAc3", K::MKV, [] { auto& s = MkvSettings; s.VideoCodec = 3; s.VideoSizeUseSourceVP9 = false; s.VideoKeepFrameRateVP9 = false; s.VideoFrameRateVP9 = 3; s.VideoSpeed = 2; s.AudioCodec = 3; },
     "-y -f matroska -vcodec vp9 -s 640x480 -b 1080k -r 15 -crf 23 -speed smaller -acodec ac3 -ac 2 -ar 48000 -ab 192 "},
    {"MkvVorbisNoAudio", K::MKV, [] { MkvSettings.AudioCodec = 4; MkvSettings.AudioDisableAudio = true; }, "-y -f matroska -vcodec h264 -b 1500k -crf 23 -an "},
    {"MkvVideoPastList", K::MKV, [] { MkvSettings.VideoCodec = 5; MkvSettings.VideoQuality = 64; MkvSettings.VideoSpeed = 3; }, "-y -f matroska -acodec aac -ab 128 "},
    // "None (sound only)": no video stream, so no quality or speed either.
    {"MkvSoundOnly", K::MKV, [] { MkvSettings.VideoCodec = 4; MkvSettings.VideoSpeed = 1; }, "-y -f matroska -vn -acodec aac -ab 128 "},
    {"WebmDefaults", K::WEBM, nullptr, "-y -f webm -vcodec vp9 -b 1080k -crf 32 -acodec opus -ab 128 "},
    {"WebmAv1Vorbis", K::WEBM, [] { auto& s = WebmSettings; s.VideoCodec = 1; s.VideoQuality = 35; s.AudioCodec = 1; s.AudioSampleRateVorbis = 9; },
     "-y -f webm -vcodec av1 -b 1080k -crf 35 -acodec vorbis -ab 128 -ar 48000 "},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(MkvWebm, VideoLines, ::testing::ValuesIn(ModernVideoCases), qvtest::CaseName);

// The option lines of the newer formats' shipped profiles, as the program
// folder holds them (English tree; the German one has the same settings).
TEST(ShippedProfileLines, NewerFormats)
{
    struct {
        OutputFormatKind format;
        const char* name;
        const char* line;
    } rows[] = {
        {K::MKV, "Default", "-y -f matroska -vcodec h264 -b 1500k -crf 23 -acodec aac -ab 128 "},
        {K::MKV, "H.265 CRF 24, Opus 128 kbps", "-y -f matroska -vcodec hevc -b 1080k -crf 24 -acodec opus -ab 128 "},
        {K::WEBM, "VP9 CRF 32, Opus", "-y -f webm -vcodec vp9 -b 1080k -crf 32 -acodec opus -ab 128 "},
        {K::WEBM, "AV1 CRF 35, Opus 96 kbps", "-y -f webm -vcodec av1 -b 1080k -crf 35 -acodec opus -ab 96 "},
        {K::OPUS, "Music 128 kbps", "-y -f opus -vn -acodec opus -ab 128 "},
        {K::OPUS, "Speech 32 kbps", "-y -f opus -vn -acodec opus -ac 1 -ab 32 "},
        {K::FLAC, "Level 5", "-y -f flac -vn -acodec flac -compression_level 5 "},
        {K::FLAC, "Level 8", "-y -f flac -vn -acodec flac -compression_level 8 "},
        {K::M4A, "AAC 256 kbps", "-y -f ipod -vn -acodec aac -ab 256 "},
        {K::M4A, "ALAC lossless", "-y -f ipod -vn -acodec alac "},
        {K::OGG, "Quality 5", "-y -f ogg -vn -acodec vorbis -aq 5 "},
        {K::OGG, "Default", "-y -f ogg -vn -acodec vorbis -ab 160 "},
    };
    for (const auto& row : rows) {
        const int format = static_cast<int>(row.format);
        const std::string folder = ProfileFolderName(format);
        const std::string file = (std::filesystem::path(qvtest::AppDir()) / "shipped" / "English_Profile" / folder
                                  / (std::string(row.name) + "." + ProfileExtension(folder)))
                                     .string();
        ASSERT_TRUE(std::filesystem::is_regular_file(file)) << file;
        Options.OutputFormat = static_cast<uint8_t>(format);
        std::string line;
        BuildCheckedEncoderOptions(file, line);
        EXPECT_EQ(line, row.line) << file;
    }
}

} // namespace
