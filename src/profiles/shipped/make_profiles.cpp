// Writes the shipped profiles of all formats, for each shipped
// language (English_Profile, German_Profile), into
// <program folder>/shipped/<Language>_Profile/<format folder>/ (the program's
// untouched copy) and into <program folder>/langs/<Language>_Profile/<format
// folder>/, there only profiles that do not exist yet.
//
// Usage: qv_make_profiles <program folder>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "profiles/EditorDescriptions.h"
#include "profiles/EditorRules.h"
#include "profiles/RecordFields.h"
#include "profiles/profiles.h"

namespace {

using F = OutputFormatKind;

struct TShippedProfile {
    OutputFormatKind Format;
    const char* Name;
    const char* Description;       // English
    const char* DescriptionGerman; // the same text in German
    void (*Adjust)(); // changes to the record defaults; nullptr keeps them
};

// Sample-rate and channel values are list positions:
// S4 "22050", "24000", "44100", "48000"; S8 "11025", "12000", "16000",
// "22050", "24000", "32000", "44100", "48000"; channels 0 mono, 1 stereo.
const std::vector<TShippedProfile>& ShippedProfiles()
{
    static const std::vector<TShippedProfile> profiles = {
        // AVI
        {F::AVI, "Default", "DivX video at 1080 kbps in the source picture size, MP3 audio at 96 kbps",
         "DivX-Video mit 1080 kbit/s in der Bildgröße der Quelle, MP3-Audio mit 96 kbit/s", nullptr},
        {F::AVI, "XviD 1200 kbps MP3", "XviD video at 1200 kbps in the source picture size, MP3 audio at 128 kbps, 44100 Hz stereo",
         "XviD-Video mit 1200 kbit/s in der Bildgröße der Quelle, MP3-Audio mit 128 kbit/s, 44100 Hz Stereo",
         [] {
             AVISettings.VideoCodec = 1;
             AVISettings.VideoBitRatePresetXviD = 1200;
             AVISettings.AudioCodec = 1;
             AVISettings.AudioBitRatePresetMp3 = 128;
             AVISettings.AudioSampleRateMp3 = 2;
         }},
        {F::AVI, "H.264 high quality", "H.264 video at 2496 kbps in the source picture size, MP3 audio at 192 kbps, 44100 Hz stereo",
         "H.264-Video mit 2496 kbit/s in der Bildgröße der Quelle, MP3-Audio mit 192 kbit/s, 44100 Hz Stereo",
         [] {
             AVISettings.VideoCodec = 6;
             AVISettings.VideoBitRatePresetH264 = 2496;
             AVISettings.AudioCodec = 1;
             AVISettings.AudioBitRatePresetMp3 = 192;
             AVISettings.AudioSampleRateMp3 = 2;
         }},
        {F::AVI, "DivX 640x480 for TV players", "DivX video at 1500 kbps, 640x480 at 25 fps, MP3 audio at 128 kbps, 44100 Hz stereo",
         "DivX-Video mit 1500 kbit/s, 640x480 bei 25 Bildern/s, MP3-Audio mit 128 kbit/s, 44100 Hz Stereo",
         [] {
             AVISettings.VideoBitRatePresetDivX = 1500;
             AVISettings.VideoSizeUseSourceDivX = false;
             AVISettings.VideoKeepFrameRateDivX = false;
             AVISettings.AudioBitRatePresetMp3 = 128;
             AVISettings.AudioSampleRateMp3 = 2;
         }},

        // MP4
        {F::MP4, "Default", "H.264 video at 1200 kbps, 320x240, AAC audio at 64 kbps, 22050 Hz stereo",
         "H.264-Video mit 1200 kbit/s, 320x240, AAC-Audio mit 64 kbit/s, 22050 Hz Stereo", nullptr},
        {F::MP4, "iPod 320x240", "For the Apple iPod: H.264 video at 768 kbps, 320x240, AAC audio at 128 kbps, 44100 Hz stereo",
         "Für den Apple iPod: H.264-Video mit 768 kbit/s, 320x240, AAC-Audio mit 128 kbit/s, 44100 Hz Stereo",
         [] {
             MP4Settings.Format = 0;
             MP4Settings.VideoBitRatePresetH264 = 768;
             MP4Settings.AudioBitRatePresetAACMP4 = 128;
             MP4Settings.AudioSampleRateAACMP4 = 6;
         }},
        {F::MP4, "PSP 480x272", "For the Sony PSP: H.264 video at 768 kbps, 480x272, AAC audio at 128 kbps, 48000 Hz stereo",
         "Für die Sony PSP: H.264-Video mit 768 kbit/s, 480x272, AAC-Audio mit 128 kbit/s, 48000 Hz Stereo",
         [] {
             MP4Settings.Format = 1;
             MP4Settings.VideoBitRatePresetH264 = 768;
             MP4Settings.VideoWidthH264 = 480;
             MP4Settings.VideoHeightH264 = 272;
             MP4Settings.AudioBitRatePresetAACPsp = 128;
             MP4Settings.AudioSampleRateAACPsp = 0;
         }},
        {F::MP4, "MP4 640x480 high quality", "H.264 video at 1500 kbps, 640x480, AAC audio at 128 kbps, 44100 Hz stereo",
         "H.264-Video mit 1500 kbit/s, 640x480, AAC-Audio mit 128 kbit/s, 44100 Hz Stereo",
         [] {
             MP4Settings.VideoBitRatePresetH264 = 1500;
             MP4Settings.VideoWidthH264 = 640;
             MP4Settings.VideoHeightH264 = 480;
             MP4Settings.AudioBitRatePresetAACMP4 = 128;
             MP4Settings.AudioSampleRateAACMP4 = 6;
         }},

        // 3GP
        {F::TGP, "Default", "For Nokia, NEC and Siemens phones: H.263 video at 144 kbps, 176x144, AMR narrow-band audio",
         "Für Handys von Nokia, NEC und Siemens: H.263-Video mit 144 kbit/s, 176x144, AMR-Schmalband-Audio", nullptr},
        {F::TGP, "Nokia H.263 AMR", "For Nokia phones: H.263 video at 128 kbps, 176x144 at 15 fps, AMR narrow-band audio, mono",
         "Für Nokia-Handys: H.263-Video mit 128 kbit/s, 176x144 bei 15 Bildern/s, AMR-Schmalband-Audio, Mono",
         [] {
             TGPSettings.TGPFormat = 0;
             TGPSettings.VideoBitRatePresetH263 = 128;
             TGPSettings.VideoKeepFrameRateH263 = false;
             TGPSettings.VideoFrameRateH263 = 3;
         }},
        {F::TGP, "Nokia MPEG-4 AAC 320x240", "For newer Nokia phones: MPEG-4 video at 512 kbps, 320x240 at 15 fps, AAC audio at 96 kbps, 44100 Hz stereo",
         "Für neuere Nokia-Handys: MPEG-4-Video mit 512 kbit/s, 320x240 bei 15 Bildern/s, AAC-Audio mit 96 kbit/s, 44100 Hz Stereo",
         [] {
             TGPSettings.TGPFormat = 0;
             TGPSettings.VideoCodecNokia = 1;
             TGPSettings.VideoBitRatePresetDivX = 512;
             TGPSettings.VideoWidthDivX = 320;
             TGPSettings.VideoHeightDivX = 240;
             TGPSettings.VideoKeepFrameRateDivX = false;
             TGPSettings.VideoFrameRateDivX = 3;
             TGPSettings.AudioCodecNokia = 2;
             TGPSettings.AudioBitRatePresetAACMP4 = 96;
             TGPSettings.AudioSampleRateAACMP4 = 6;
         }},
        {F::TGP, "Sony Ericsson MPEG-4 AAC", "For Sony Ericsson phones: MPEG-4 video at 256 kbps, 176x144 at 15 fps, AAC audio at 64 kbps, 22050 Hz stereo",
         "Für Sony-Ericsson-Handys: MPEG-4-Video mit 256 kbit/s, 176x144 bei 15 Bildern/s, AAC-Audio mit 64 kbit/s, 22050 Hz Stereo",
         [] {
             TGPSettings.TGPFormat = 1;
             TGPSettings.VideoCodecSony = 0;
             TGPSettings.VideoBitRatePresetDivX = 256;
             TGPSettings.VideoKeepFrameRateDivX = false;
             TGPSettings.VideoFrameRateDivX = 3;
             TGPSettings.AudioCodecSony = 0;
             TGPSettings.AudioBitRatePresetAACMP4 = 64;
         }},
        {F::TGP, "Sony Ericsson 3G2 320x240", "3gp2 files for Sony Ericsson phones: MPEG-4 video at 512 kbps, 320x240, AAC audio at 96 kbps, 44100 Hz stereo",
         "3gp2-Dateien für Sony-Ericsson-Handys: MPEG-4-Video mit 512 kbit/s, 320x240, AAC-Audio mit 96 kbit/s, 44100 Hz Stereo",
         [] {
             TGPSettings.TGPFormat = 2;
             TGPSettings.VideoCodecSony = 0;
             TGPSettings.VideoBitRatePresetDivX = 512;
             TGPSettings.VideoWidthDivX = 320;
             TGPSettings.VideoHeightDivX = 240;
             TGPSettings.AudioCodecSony = 0;
             TGPSettings.AudioBitRatePresetAACMP4 = 96;
             TGPSettings.AudioSampleRateAACMP4 = 6;
         }},

        // MPEG
        {F::MPEG, "Default", "MPEG-2 video at 2496 kbps in the source picture size, AC3 audio at 256 kbps, 48000 Hz stereo",
         "MPEG-2-Video mit 2496 kbit/s in der Bildgröße der Quelle, AC3-Audio mit 256 kbit/s, 48000 Hz Stereo", nullptr},
        {F::MPEG, "VCD PAL", "Video CD for PAL players (Europe): 352x288 at 25 fps",
         "Video-CD für PAL-Abspielgeräte (Europa): 352x288 bei 25 Bildern/s", [] {
             MPEGSettings.UsePresetFormats = true;
             MPEGSettings.PresetType = 0;
             MPEGSettings.TargetFormat = 2;
         }},
        {F::MPEG, "VCD NTSC", "Video CD for NTSC players (America, Japan): 352x240 at 29.97 fps",
         "Video-CD für NTSC-Abspielgeräte (Amerika, Japan): 352x240 bei 29,97 Bildern/s", [] {
             MPEGSettings.UsePresetFormats = true;
             MPEGSettings.PresetType = 0;
             MPEGSettings.TargetFormat = 1;
         }},
        {F::MPEG, "SVCD PAL", "Super Video CD for PAL players (Europe): 480x576 at 25 fps",
         "Super-Video-CD für PAL-Abspielgeräte (Europa): 480x576 bei 25 Bildern/s", [] {
             MPEGSettings.UsePresetFormats = true;
             MPEGSettings.PresetType = 1;
             MPEGSettings.TargetFormat = 2;
         }},
        {F::MPEG, "SVCD NTSC", "Super Video CD for NTSC players (America, Japan): 480x480 at 29.97 fps",
         "Super-Video-CD für NTSC-Abspielgeräte (Amerika, Japan): 480x480 bei 29,97 Bildern/s", [] {
             MPEGSettings.UsePresetFormats = true;
             MPEGSettings.PresetType = 1;
             MPEGSettings.TargetFormat = 1;
         }},
        {F::MPEG, "DVD PAL", "DVD video for PAL players (Europe): 720x576 at 25 fps, video at 6000 kbps, audio at 256 kbps",
         "DVD-Video für PAL-Abspielgeräte (Europa): 720x576 bei 25 Bildern/s, Video mit 6000 kbit/s, Audio mit 256 kbit/s", [] {
             MPEGSettings.UsePresetFormats = true;
             MPEGSettings.PresetType = 2;
             MPEGSettings.TargetFormat = 2;
             MPEGSettings.DVDAudioBitRatePreset = 256;
         }},
        {F::MPEG, "DVD NTSC", "DVD video for NTSC players (America, Japan): 720x480 at 29.97 fps, video at 6000 kbps, audio at 256 kbps",
         "DVD-Video für NTSC-Abspielgeräte (Amerika, Japan): 720x480 bei 29,97 Bildern/s, Video mit 6000 kbit/s, Audio mit 256 kbit/s", [] {
             MPEGSettings.UsePresetFormats = true;
             MPEGSettings.PresetType = 2;
             MPEGSettings.TargetFormat = 1;
             MPEGSettings.DVDAudioBitRatePreset = 256;
         }},
        {F::MPEG, "MPEG-1 1152 kbps MP2", "MPEG-1 video at 1152 kbps in the source picture size, MP2 audio at 224 kbps, 44100 Hz stereo",
         "MPEG-1-Video mit 1152 kbit/s in der Bildgröße der Quelle, MP2-Audio mit 224 kbit/s, 44100 Hz Stereo", [] {
             MPEGSettings.VideoCodec = 0;
             MPEGSettings.AudioCodecMPEG1 = 0;
             MPEGSettings.AudioBitRatePresetMp2 = 224;
         }},

        // MOV
        {F::MOV, "Default", "QuickTime with H.264 video at 1200 kbps in the source picture size, AAC audio",
         "QuickTime mit H.264-Video mit 1200 kbit/s in der Bildgröße der Quelle, AAC-Audio", nullptr},
        {F::MOV, "QuickTime H.264 640x480", "QuickTime with H.264 video at 1500 kbps, 640x480, AAC audio at 128 kbps, 44100 Hz stereo",
         "QuickTime mit H.264-Video mit 1500 kbit/s, 640x480, AAC-Audio mit 128 kbit/s, 44100 Hz Stereo", [] {
             MovSettings.VideoBitRatePresetH264 = 1500;
             MovSettings.VideoSizeUseSourceH264 = false;
             MovSettings.AudioBitRatePresetAACMP4 = 128;
             MovSettings.AudioSampleRateAACMP4 = 6;
         }},
        {F::MOV, "Sorenson Video 320x240", "QuickTime with Sorenson video at 768 kbps, 320x240, AAC audio at 96 kbps, 44100 Hz stereo",
         "QuickTime mit Sorenson-Video mit 768 kbit/s, 320x240, AAC-Audio mit 96 kbit/s, 44100 Hz Stereo", [] {
             MovSettings.VideoCodec = 0;
             MovSettings.VideoBitRatePresetSvq1 = 768;
             MovSettings.VideoSizeUseSourceSvq1 = false;
             MovSettings.VideoWidthSvq1 = 320;
             MovSettings.VideoHeightSvq1 = 240;
             MovSettings.AudioBitRatePresetAACMP4 = 96;
             MovSettings.AudioSampleRateAACMP4 = 6;
         }},

        // WMV
        {F::WMV, "Default", "Windows Media video 8 at 768 kbps in the source picture size, MP3 audio",
         "Windows-Media-Video 8 mit 768 kbit/s in der Bildgröße der Quelle, MP3-Audio", nullptr},
        {F::WMV, "WMV8 1500 kbps 640x480", "Windows Media video 8 at 1500 kbps, 640x480, MP3 audio at 128 kbps, 44100 Hz stereo",
         "Windows-Media-Video 8 mit 1500 kbit/s, 640x480, MP3-Audio mit 128 kbit/s, 44100 Hz Stereo", [] {
             WmvSettings.VideoBitRatePresetWmv8 = 1500;
             WmvSettings.VideoSizeUseSourceWmv8 = false;
             WmvSettings.AudioBitRateUseAutoSetMp3 = false;
             WmvSettings.AudioBitRatePresetMp3 = 128;
             WmvSettings.AudioSampleRateMp3 = 2;
         }},
        {F::WMV, "WMV7 320x240 for the web", "Windows Media video 7 at 512 kbps, 320x240, MP3 audio at 64 kbps, 22050 Hz stereo",
         "Windows-Media-Video 7 mit 512 kbit/s, 320x240, MP3-Audio mit 64 kbit/s, 22050 Hz Stereo", [] {
             WmvSettings.VideoCodec = 2;
             WmvSettings.VideoBitRatePresetWmv7 = 512;
             WmvSettings.VideoSizeUseSourceWmv7 = false;
             WmvSettings.VideoWidthWmv7 = 320;
             WmvSettings.VideoHeightWmv7 = 240;
             WmvSettings.AudioBitRateUseAutoSetMp3 = false;
             WmvSettings.AudioBitRatePresetMp3 = 64;
         }},

        // RM
        {F::RM, "Default", "Real video at 768 kbps in the source picture size, AC3 audio at 256 kbps",
         "Real-Video mit 768 kbit/s in der Bildgröße der Quelle, AC3-Audio mit 256 kbit/s", nullptr},
        {F::RM, "Real video 320x240 for the web", "Real video at 512 kbps, 320x240, AC3 audio at 96 kbps, 48000 Hz stereo",
         "Real-Video mit 512 kbit/s, 320x240, AC3-Audio mit 96 kbit/s, 48000 Hz Stereo", [] {
             RmSettings.VideoBitRatePresetRm10 = 512;
             RmSettings.VideoSizeUseSourceRm10 = false;
             RmSettings.AudioBitRatePresetAC3 = 96;
         }},

        // SWF
        {F::SWF, "Default", "Flash video at 768 kbps in the source picture size, MP3 audio, 22050 Hz stereo",
         "Flash-Video mit 768 kbit/s in der Bildgröße der Quelle, MP3-Audio, 22050 Hz Stereo", nullptr},
        {F::SWF, "Flash 320x240 for the web", "Flash video at 512 kbps, 320x240, MP3 audio at 64 kbps, 22050 Hz stereo",
         "Flash-Video mit 512 kbit/s, 320x240, MP3-Audio mit 64 kbit/s, 22050 Hz Stereo", [] {
             SwfSettings.VideoBitRatePresetFlv = 512;
             SwfSettings.VideoSizeUseSourceFlv = false;
             SwfSettings.VideoWidthFlv = 320;
             SwfSettings.VideoHeightFlv = 240;
             SwfSettings.AudioBitRateUseAutoSetMp3 = false;
             SwfSettings.AudioBitRatePresetMp3 = 64;
         }},

        // VOB
        {F::VOB, "Default", "DVD video (PAL), MPEG-2 at 6000 kbps, 720x576, AC3 audio at 384 kbps",
         "DVD-Video (PAL), MPEG-2 mit 6000 kbit/s, 720x576, AC3-Audio mit 384 kbit/s", nullptr},
        {F::VOB, "DVD NTSC 720x480", "DVD video (NTSC), MPEG-2 at 6000 kbps, 720x480 at 29.97 fps, AC3 audio at 384 kbps",
         "DVD-Video (NTSC), MPEG-2 mit 6000 kbit/s, 720x480 bei 29,97 Bildern/s, AC3-Audio mit 384 kbit/s", [] {
             VobSettings.VideoHeightMPEG2 = 480;
             VobSettings.VideoKeepFrameRateMPEG2 = false;
             VobSettings.VideoFrameRateMPEG2 = 4;
         }},
        {F::VOB, "DVD PAL MP2 audio", "DVD video (PAL), MPEG-2 at 6000 kbps, 720x576 at 25 fps, MP2 audio at 224 kbps, 48000 Hz stereo",
         "DVD-Video (PAL), MPEG-2 mit 6000 kbit/s, 720x576 bei 25 Bildern/s, MP2-Audio mit 224 kbit/s, 48000 Hz Stereo", [] {
             VobSettings.VideoKeepFrameRateMPEG2 = false;
             VobSettings.VideoFrameRateMPEG2 = 3;
             VobSettings.AudioCodec = 0;
             VobSettings.AudioBitRatePresetMp2 = 224;
         }},

        // ASF
        {F::ASF, "Default", "MS-MPEG4 video at 768 kbps in the source picture size, MP3 audio at 64 kbps",
         "MS-MPEG4-Video mit 768 kbit/s in der Bildgröße der Quelle, MP3-Audio mit 64 kbit/s", nullptr},
        {F::ASF, "MS-MPEG4 v2 1200 kbps", "MS-MPEG4 v2 video at 1200 kbps in the source picture size, MP3 audio at 128 kbps, 44100 Hz stereo",
         "MS-MPEG4-v2-Video mit 1200 kbit/s in der Bildgröße der Quelle, MP3-Audio mit 128 kbit/s, 44100 Hz Stereo", [] {
             AsfSettings.VideoCodec = 1;
             AsfSettings.VideoBitRatePresetMsMPEG4v2 = 1200;
             AsfSettings.AudioBitRatePresetMp3 = 128;
             AsfSettings.AudioSampleRateMp3 = 2;
         }},

        // AAC
        {F::AAC, "Default", "AAC audio at 128 kbps, 44100 Hz stereo",
         "AAC-Audio mit 128 kbit/s, 44100 Hz Stereo", nullptr},
        {F::AAC, "AAC 128 kbps", "AAC audio at 128 kbps, 44100 Hz stereo",
         "AAC-Audio mit 128 kbit/s, 44100 Hz Stereo", nullptr},
        {F::AAC, "AAC 192 kbps", "AAC audio at 192 kbps, 44100 Hz stereo",
         "AAC-Audio mit 192 kbit/s, 44100 Hz Stereo", [] { AacSettings.AudioBitRatePresetAACMP4 = 192; }},
        {F::AAC, "AAC 64 kbps mono speech", "AAC audio at 64 kbps, 22050 Hz mono, for speech and audio books",
         "AAC-Audio mit 64 kbit/s, 22050 Hz Mono, für Sprache und Hörbücher", [] {
             AacSettings.AudioBitRatePresetAACMP4 = 64;
             AacSettings.AudioSampleRateAACMP4 = 3;
             AacSettings.AudioChannelsAACMP4 = 0;
         }},

        // AC3
        {F::AC3, "Default", "AC3 audio at 384 kbps, 48000 Hz stereo",
         "AC3-Audio mit 384 kbit/s, 48000 Hz Stereo", nullptr},
        {F::AC3, "AC3 5.1 448 kbps", "AC3 surround audio, 5.1 channels at 448 kbps, 48000 Hz",
         "AC3-Raumklang, 5.1 Kanäle mit 448 kbit/s, 48000 Hz", [] {
             Ac3Settings.AudioBitRatePresetAC3 = 448;
             Ac3Settings.AudioChannelsAC3 = 2;
         }},
        {F::AC3, "AC3 192 kbps stereo", "AC3 audio at 192 kbps, 48000 Hz stereo",
         "AC3-Audio mit 192 kbit/s, 48000 Hz Stereo", [] { Ac3Settings.AudioBitRatePresetAC3 = 192; }},

        // MP2
        {F::MP2, "Default", "MP2 audio at 160 kbps, 44100 Hz stereo",
         "MP2-Audio mit 160 kbit/s, 44100 Hz Stereo", nullptr},
        {F::MP2, "MP2 224 kbps", "MP2 audio at 224 kbps, 44100 Hz stereo",
         "MP2-Audio mit 224 kbit/s, 44100 Hz Stereo", [] { Mp2Settings.AudioBitRatePresetMp2 = 224; }},
        {F::MP2, "MP2 384 kbps 48000 Hz", "MP2 audio at 384 kbps, 48000 Hz stereo, for broadcast quality",
         "MP2-Audio mit 384 kbit/s, 48000 Hz Stereo, in Rundfunkqualität", [] {
             Mp2Settings.AudioBitRatePresetMp2 = 384;
             Mp2Settings.AudioSampleRateMp2 = 3;
         }},

        // MP3
        {F::MP3, "Default", "MP3 audio at 128 kbps, 44100 Hz stereo",
         "MP3-Audio mit 128 kbit/s, 44100 Hz Stereo", nullptr},
        {F::MP3, "MP3 128 kbps", "MP3 audio at 128 kbps, 44100 Hz stereo: good quality, small files",
         "MP3-Audio mit 128 kbit/s, 44100 Hz Stereo: gute Qualität, kleine Dateien", nullptr},
        {F::MP3, "MP3 192 kbps", "MP3 audio at 192 kbps, 44100 Hz stereo: high quality",
         "MP3-Audio mit 192 kbit/s, 44100 Hz Stereo: hohe Qualität", [] { Mp3Settings.AudioBitRatePresetMp3 = 192; }},
        {F::MP3, "MP3 320 kbps", "MP3 audio at 320 kbps, 44100 Hz stereo: the best MP3 quality",
         "MP3-Audio mit 320 kbit/s, 44100 Hz Stereo: die beste MP3-Qualität", [] { Mp3Settings.AudioBitRatePresetMp3 = 320; }},
        {F::MP3, "MP3 64 kbps mono speech", "MP3 audio at 64 kbps, 22050 Hz mono, for speech and audio books",
         "MP3-Audio mit 64 kbit/s, 22050 Hz Mono, für Sprache und Hörbücher", [] {
             Mp3Settings.AudioBitRatePresetMp3 = 64;
             Mp3Settings.AudioSampleRateMp3 = 0;
             Mp3Settings.AudioChannelsMp3 = 0;
         }},

        // AMR
        {F::AMR, "Default", "AMR narrow-band audio, 8000 Hz mono, the highest narrow-band bitrate",
         "AMR-Schmalband-Audio, 8000 Hz Mono, mit der höchsten Schmalband-Bitrate", nullptr},
        {F::AMR, "AMR narrow band", "AMR narrow-band audio for phones, 8000 Hz mono, the highest narrow-band bitrate",
         "AMR-Schmalband-Audio für Handys, 8000 Hz Mono, mit der höchsten Schmalband-Bitrate", nullptr},
        {F::AMR, "AMR wide band", "AMR wide-band audio for phones, 16000 Hz mono, the highest wide-band bitrate",
         "AMR-Breitband-Audio für Handys, 16000 Hz Mono, mit der höchsten Breitband-Bitrate", [] {
             AmrSettings.AudioCodec = 1;
             AmrSettings.AudioBitRatePresetArmwb = 24;
         }},

        // WAV
        {F::WAV, "Default", "Uncompressed 16-bit audio, 44100 Hz stereo",
         "Unkomprimiertes 16-Bit-Audio, 44100 Hz Stereo", nullptr},
        {F::WAV, "CD quality", "Uncompressed 16-bit audio, 44100 Hz stereo, as on an audio CD",
         "Unkomprimiertes 16-Bit-Audio, 44100 Hz Stereo, wie auf einer Audio-CD", nullptr},
        {F::WAV, "DVD quality 48000 Hz", "Uncompressed 16-bit audio, 48000 Hz stereo, as on a DVD",
         "Unkomprimiertes 16-Bit-Audio, 48000 Hz Stereo, wie auf einer DVD", [] {
             WavSettings.AudioSampleRatePcm16le = 7;
         }},
        {F::WAV, "8-bit mono 22050 Hz", "Uncompressed 8-bit audio, 22050 Hz mono: small files for speech",
         "Unkomprimiertes 8-Bit-Audio, 22050 Hz Mono: kleine Dateien für Sprache", [] {
             WavSettings.AudioCodec = 1;
             WavSettings.AudioSampleRatePcmu8 = 3;
             WavSettings.AudioChannelsPcmu8 = 0;
         }},

        // The newer formats: sample rate and channels list position 0 is
        // "same as source", so these keep the source's unless they say so.
        // MKV
        {F::MKV, "Default", "H.264 video at constant quality 23 in the source size and frame rate, AAC audio at 128 kbps",
         "H.264-Video mit konstanter Qualität 23 in Größe und Bildrate der Quelle, AAC-Audio mit 128 kbit/s", nullptr},
        {F::MKV, "H.265 CRF 24, Opus 128 kbps", "H.265 video at constant quality 24 in the source size and frame rate, Opus audio at 128 kbps",
         "H.265-Video mit konstanter Qualität 24 in Größe und Bildrate der Quelle, Opus-Audio mit 128 kbit/s", [] {
             MkvSettings.VideoCodec = 1;
             MkvSettings.VideoQuality = 24;
             MkvSettings.AudioCodec = 1;
             MkvSettings.AudioBitRatePresetOpus = 128;
         }},
        // WEBM
        {F::WEBM, "Default", "VP9 video at constant quality 32 in the source size and frame rate, Opus audio at 128 kbps",
         "VP9-Video mit konstanter Qualität 32 in Größe und Bildrate der Quelle, Opus-Audio mit 128 kbit/s", nullptr},
        {F::WEBM, "VP9 CRF 32, Opus", "VP9 video at constant quality 32 in the source size and frame rate, Opus audio at 128 kbps",
         "VP9-Video mit konstanter Qualität 32 in Größe und Bildrate der Quelle, Opus-Audio mit 128 kbit/s", nullptr},
        {F::WEBM, "AV1 CRF 35, Opus 96 kbps", "AV1 video at constant quality 35 in the source size and frame rate, Opus audio at 96 kbps",
         "AV1-Video mit konstanter Qualität 35 in Größe und Bildrate der Quelle, Opus-Audio mit 96 kbit/s", [] {
             WebmSettings.VideoCodec = 1;
             WebmSettings.VideoQuality = 35;
             WebmSettings.AudioBitRatePresetOpus = 96;
         }},
        // OPUS
        {F::OPUS, "Default", "Opus audio at 128 kbps, the source's channels",
         "Opus-Audio mit 128 kbit/s, Kanäle wie die Quelle", nullptr},
        {F::OPUS, "Music 128 kbps", "Opus audio at 128 kbps for music, the source's channels",
         "Opus-Audio mit 128 kbit/s für Musik, Kanäle wie die Quelle", nullptr},
        {F::OPUS, "Speech 32 kbps", "Opus audio at 32 kbps mono for speech",
         "Opus-Audio mit 32 kbit/s Mono für Sprache", [] {
             OpusSettings.AudioBitRatePresetOpus = 32;
             OpusSettings.AudioChannelsOpus = 1;
         }},
        // FLAC
        {F::FLAC, "Default", "Lossless FLAC at compression level 5, the source's sample rate, channels and bit depth",
         "Verlustfreies FLAC mit Kompressionsstufe 5, Abtastrate, Kanäle und Bittiefe wie die Quelle", nullptr},
        {F::FLAC, "Level 5", "Lossless FLAC at compression level 5 (the usual balance of speed and size)",
         "Verlustfreies FLAC mit Kompressionsstufe 5 (das übliche Mittel aus Tempo und Größe)", nullptr},
        {F::FLAC, "Level 8", "Lossless FLAC at compression level 8: the smallest files, slower",
         "Verlustfreies FLAC mit Kompressionsstufe 8: die kleinsten Dateien, langsamer", [] {
             FlacSettings.FlacLevel = 8;
         }},
        // M4A
        {F::M4A, "Default", "AAC audio at 256 kbps in an M4A file, the source's sample rate and channels",
         "AAC-Audio mit 256 kbit/s in einer M4A-Datei, Abtastrate und Kanäle wie die Quelle", nullptr},
        {F::M4A, "AAC 256 kbps", "AAC audio at 256 kbps in an M4A file, the source's sample rate and channels",
         "AAC-Audio mit 256 kbit/s in einer M4A-Datei, Abtastrate und Kanäle wie die Quelle", nullptr},
        {F::M4A, "ALAC lossless", "Lossless Apple audio (ALAC) in an M4A file, the source's sample rate, channels and bit depth",
         "Verlustfreies Apple-Audio (ALAC) in einer M4A-Datei, Abtastrate, Kanäle und Bittiefe wie die Quelle", [] {
             M4aSettings.AudioCodec = 1;
         }},
        // OGG
        {F::OGG, "Default", "Ogg Vorbis audio at 160 kbps, the source's sample rate and channels",
         "Ogg-Vorbis-Audio mit 160 kbit/s, Abtastrate und Kanäle wie die Quelle", nullptr},
        {F::OGG, "Quality 5", "Ogg Vorbis audio at quality 5 (about 160 kbps, varying with the music)",
         "Ogg-Vorbis-Audio mit Qualität 5 (etwa 160 kbit/s, je nach Musik)", [] {
             OggSettings.AudioBitRateUseAutoSetVorbis = true;
             OggSettings.VorbisQuality = 5;
         }},
    };
    return profiles;
}

// The entry a trackbar shows for a stored bitrate.
int32_t ShownEntry(const TPresetTable& table, int32_t value, int start, int max, TPositionRange range = { 1, 0 })
{
    int position = ShownPresetPosition(table, value, start, max);
    if (range.Max >= range.Min)
        position = ClampPosition(position, range);
    return PresetValue(table, position);
}

// Every bitrate of a shipped profile is one its editor shows. A video
// bitrate that no trackbar position stands for (the 3GP 144 and 96 kbps, the
// DVD 6000 kbps beyond the DVD trackbar) is shipped as the specified bitrate,
// which carries any value, so the option line stays as it was; the preset
// key then holds the entry the trackbar shows. Audio has no specified
// bitrate: an audio preset the trackbar cannot show is an error of the
// table above.
void ShowableBitrates(TProfileRecord& r, const char* name)
{
    const TEditorDescription& d = EditorDescription(RecordFormat(r));
    auto video
        = [&r](const std::string& prefix, const std::string& suffix, const TPresetTable& table, int start, int max) {
              const std::string preset = prefix + "BitRatePreset" + suffix;
              const int32_t value = GetNumber(r, preset);
              const int32_t shown = ShownEntry(table, value, start, max);
              if (shown == value)
                  return;
              if (GetFlag(r, prefix + "BitRateUsePresert" + suffix)) {
                  SetField(r, prefix + "BitRateUsePresert" + suffix, false);
                  SetField(r, prefix + "BitRateSpecify" + suffix, value);
              }
              SetField(r, preset, shown);
          };
    auto audio
        = [&r, name](const std::string& preset, const TPresetTable& table, int start, int max, TPositionRange range) {
              const int32_t value = GetNumber(r, preset);
              if (ShownEntry(table, value, start, max, range) != value)
                  throw std::runtime_error(std::string(name) + ": " + preset + "=" + std::to_string(value)
                      + " is no bitrate its editor can show");
          };
    for (const TCodecPage& p : d.VideoPages)
        video("Video", p.Suffix, *p.Presets, p.StartPosition, p.TrackBarMax);
    for (const TCodecPage& p : d.AudioPages)
        if (p.Kind == TPageKind::Audio)
            audio("AudioBitRatePreset" + p.Suffix, *p.Presets, p.StartPosition, p.TrackBarMax,
                AudioBitrateRange(p.RangeRule, p.TrackBarMax, GetIndex(r, "AudioSampleRate" + p.Suffix),
                    GetIndex(r, "AudioChannels" + p.Suffix)));
    if (d.Extra == TEditorExtra::MpegPresets) {
        video("DVDVideo", "", StandardVideoBitRates, DvdStartPosition, DvdVideoTrackBarMax);
        const int dvdAudioMax = static_cast<int>(DvdAudioBitRates.size());
        audio("DVDAudioBitRatePreset", DvdAudioBitRates, DvdStartPosition, dvdAudioMax, { 1, dvdAudioMax });
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <program folder>\n", argv[0]);
        return 2;
    }
    // The user's tree gets only missing profiles; the untouched copy in
    // "shipped" (from which empty profile folders are filled) is rewritten.
    // Every language has its own tree with the same profiles; only the
    // descriptions differ.
    struct TLanguageTree {
        const char* Tree;
        const char* TShippedProfile::*Description;
    };
    const TLanguageTree languages[] = {
        {"English_Profile", &TShippedProfile::Description},
        {"German_Profile", &TShippedProfile::DescriptionGerman},
    };
    int written = 0;
    try {
        for (const TLanguageTree& language : languages) {
            const std::filesystem::path userRoot = std::filesystem::path(argv[1]) / "langs" / language.Tree;
            const std::filesystem::path shippedRoot = std::filesystem::path(argv[1]) / "shipped" / language.Tree;
            for (const TShippedProfile& p : ShippedProfiles()) {
                const int format = static_cast<int>(p.Format);
                const std::string folderName = ProfileFolderName(format);
                DefaultFormatSettings(format);
                if (p.Format == F::MPEG) {
                    // The DVD block's audio default, 384, lies beyond the DVD
                    // audio table; profiles without the DVD preset ship its
                    // highest entry.
                    MPEGSettings.DVDAudioBitRatePreset = 320;
                }
                if (p.Adjust)
                    p.Adjust();
                TProfileRecord record = CurrentRecord(format);
                ShowableBitrates(record, p.Name);
                SetField(record, "Description", std::string(p.*language.Description));
                for (const auto& root : {shippedRoot, userRoot}) {
                    const std::filesystem::path folder = root / folderName;
                    const std::filesystem::path file
                        = folder / (std::string(p.Name) + "." + ProfileExtension(folderName));
                    std::error_code ec;
                    if (root == shippedRoot) {
                        std::filesystem::remove(file, ec);
                    } else if (std::filesystem::exists(file, ec) || ec) {
                        continue; // never replace a profile of the user's tree
                    }
                    std::filesystem::create_directories(folder, ec);
                    if (ec) {
                        std::fprintf(stderr, "Cannot create %s: %s\n", folder.string().c_str(), ec.message().c_str());
                        return 1;
                    }
                    SaveRecord(record, file.string());
                    if (root == userRoot)
                        ++written;
                }
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    if (written > 0)
        std::printf("Wrote %d shipped profile(s) into %s\n", written, (std::filesystem::path(argv[1]) / "langs").string().c_str());
    return 0;
}
