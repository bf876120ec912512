#pragma once

// The sixteen profile records, their process-wide instances and the bitrate
// preset tables.
//
// Every field bears the name of its INI key in section "General" of a profile
// file and the fields are declared in the order the keys are written. Kinds:
// text and time (e.g. "0:00:00.000") are std::string, flags bool, indexes
// (0-based list positions) uint8_t, numbers int32_t. Bitrates are kbit/s,
// sizes pixels; sample rates, channels, frame rates and aspects are list
// positions. The first key of every video block is spelled "...UsePresert".
// Defaults and the INI routines are in profiles.h.

#include <cstdint>
#include <string>
#include <vector>

// AVI profile.
struct TAVISettings {
    std::string Description{};
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    // video block DivX
    bool VideoBitRateUsePresertDivX{};
    int32_t VideoBitRatePresetDivX{};
    int32_t VideoBitRateSpecifyDivX{};
    bool VideoSizeUseSourceDivX{};
    int32_t VideoWidthDivX{};
    int32_t VideoHeightDivX{};
    bool VideoKeepFrameRateDivX{};
    uint8_t VideoFrameRateDivX{};
    uint8_t VideoAspectDivX{};
    // video block XviD
    bool VideoBitRateUsePresertXviD{};
    int32_t VideoBitRatePresetXviD{};
    int32_t VideoBitRateSpecifyXviD{};
    bool VideoSizeUseSourceXviD{};
    int32_t VideoWidthXviD{};
    int32_t VideoHeightXviD{};
    bool VideoKeepFrameRateXviD{};
    uint8_t VideoFrameRateXviD{};
    uint8_t VideoAspectXviD{};
    // video block MsMPEG4
    bool VideoBitRateUsePresertMsMPEG4{};
    int32_t VideoBitRatePresetMsMPEG4{};
    int32_t VideoBitRateSpecifyMsMPEG4{};
    bool VideoSizeUseSourceMsMPEG4{};
    int32_t VideoWidthMsMPEG4{};
    int32_t VideoHeightMsMPEG4{};
    bool VideoKeepFrameRateMsMPEG4{};
    uint8_t VideoFrameRateMsMPEG4{};
    uint8_t VideoAspectMsMPEG4{};
    // video block MsMPEG4v2
    bool VideoBitRateUsePresertMsMPEG4v2{};
    int32_t VideoBitRatePresetMsMPEG4v2{};
    int32_t VideoBitRateSpecifyMsMPEG4v2{};
    bool VideoSizeUseSourceMsMPEG4v2{};
    int32_t VideoWidthMsMPEG4v2{};
    int32_t VideoHeightMsMPEG4v2{};
    bool VideoKeepFrameRateMsMPEG4v2{};
    uint8_t VideoFrameRateMsMPEG4v2{};
    uint8_t VideoAspectMsMPEG4v2{};
    // video block H263
    bool VideoBitRateUsePresertH263{};
    int32_t VideoBitRatePresetH263{};
    int32_t VideoBitRateSpecifyH263{};
    int32_t VideoWidthH263{};
    int32_t VideoHeightH263{};
    bool VideoKeepFrameRateH263{};
    uint8_t VideoFrameRateH263{};
    uint8_t VideoAspectH263{};
    // video block H263P
    bool VideoBitRateUsePresertH263P{};
    int32_t VideoBitRatePresetH263P{};
    int32_t VideoBitRateSpecifyH263P{};
    bool VideoSizeUseSourceH263P{};
    int32_t VideoWidthH263P{};
    int32_t VideoHeightH263P{};
    bool VideoKeepFrameRateH263P{};
    uint8_t VideoFrameRateH263P{};
    uint8_t VideoAspectH263P{};
    // video block H264
    bool VideoBitRateUsePresertH264{};
    int32_t VideoBitRatePresetH264{};
    int32_t VideoBitRateSpecifyH264{};
    bool VideoSizeUseSourceH264{};
    int32_t VideoWidthH264{};
    int32_t VideoHeightH264{};
    bool VideoKeepFrameRateH264{};
    uint8_t VideoFrameRateH264{};
    uint8_t VideoAspectH264{};
    // video block DV
    bool VideoBitRateUsePresertDV{};
    int32_t VideoBitRatePresetDV{};
    int32_t VideoBitRateSpecifyDV{};
    bool VideoSizeUseSourceDV{};
    int32_t VideoWidthDV{};
    int32_t VideoHeightDV{};
    bool VideoKeepFrameRateDV{};
    uint8_t VideoFrameRateDV{};
    uint8_t VideoAspectDV{};
    // video block huffYUV
    bool VideoBitRateUsePreserthuffYUV{};
    int32_t VideoBitRatePresethuffYUV{};
    int32_t VideoBitRateSpecifyhuffYUV{};
    bool VideoSizeUseSourcehuffYUV{};
    int32_t VideoWidthhuffYUV{};
    int32_t VideoHeighthuffYUV{};
    bool VideoKeepFrameRatehuffYUV{};
    uint8_t VideoFrameRatehuffYUV{};
    uint8_t VideoAspecthuffYUV{};
    // video block Mjpeg
    bool VideoBitRateUsePresertMjpeg{};
    int32_t VideoBitRatePresetMjpeg{};
    int32_t VideoBitRateSpecifyMjpeg{};
    bool VideoSizeUseSourceMjpeg{};
    int32_t VideoWidthMjpeg{};
    int32_t VideoHeightMjpeg{};
    bool VideoKeepFrameRateMjpeg{};
    uint8_t VideoFrameRateMjpeg{};
    uint8_t VideoAspectMjpeg{};
    // video block MPEG1
    bool VideoBitRateUsePresertMPEG1{};
    int32_t VideoBitRatePresetMPEG1{};
    int32_t VideoBitRateSpecifyMPEG1{};
    bool VideoSizeUseSourceMPEG1{};
    int32_t VideoWidthMPEG1{};
    int32_t VideoHeightMPEG1{};
    bool VideoKeepFrameRateMPEG1{};
    uint8_t VideoFrameRateMPEG1{};
    uint8_t VideoAspectMPEG1{};
    // video block MPEG2
    bool VideoBitRateUsePresertMPEG2{};
    int32_t VideoBitRatePresetMPEG2{};
    int32_t VideoBitRateSpecifyMPEG2{};
    bool VideoSizeUseSourceMPEG2{};
    int32_t VideoWidthMPEG2{};
    int32_t VideoHeightMPEG2{};
    bool VideoKeepFrameRateMPEG2{};
    uint8_t VideoFrameRateMPEG2{};
    uint8_t VideoAspectMPEG2{};
    // video block Svq1
    bool VideoBitRateUsePresertSvq1{};
    int32_t VideoBitRatePresetSvq1{};
    int32_t VideoBitRateSpecifySvq1{};
    bool VideoSizeUseSourceSvq1{};
    int32_t VideoWidthSvq1{};
    int32_t VideoHeightSvq1{};
    bool VideoKeepFrameRateSvq1{};
    uint8_t VideoFrameRateSvq1{};
    uint8_t VideoAspectSvq1{};
    // video block Flv
    bool VideoBitRateUsePresertFlv{};
    int32_t VideoBitRatePresetFlv{};
    int32_t VideoBitRateSpecifyFlv{};
    bool VideoSizeUseSourceFlv{};
    int32_t VideoWidthFlv{};
    int32_t VideoHeightFlv{};
    bool VideoKeepFrameRateFlv{};
    uint8_t VideoFrameRateFlv{};
    uint8_t VideoAspectFlv{};
    // audio block AC3
    bool AudioBitRateUseAutoSetAC3{};
    int32_t AudioBitRatePresetAC3{};
    uint8_t AudioSampleRateAC3{};
    uint8_t AudioChannelsAC3{};
    // audio block Mp2
    bool AudioBitRateUseAutoSetMp2{};
    int32_t AudioBitRatePresetMp2{};
    uint8_t AudioSampleRateMp2{};
    uint8_t AudioChannelsMp2{};
    // audio block Mp3
    bool AudioBitRateUseAutoSetMp3{};
    int32_t AudioBitRatePresetMp3{};
    uint8_t AudioSampleRateMp3{};
    uint8_t AudioChannelsMp3{};
    // audio block Pcm16le
    uint8_t AudioSampleRatePcm16le{};
    uint8_t AudioChannelsPcm16le{};
    // audio block Pcmu8
    uint8_t AudioSampleRatePcmu8{};
    uint8_t AudioChannelsPcmu8{};
};

// MP4 profile.
struct TMP4Settings {
    std::string Description{};
    uint8_t Format{}; // 0 Apple iPod, 1 Sony PSP, 2 Mobile Movie, 3 Mp4
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    // video block DivX
    bool VideoBitRateUsePresertDivX{};
    int32_t VideoBitRatePresetDivX{};
    int32_t VideoBitRateSpecifyDivX{};
    bool VideoSizeUseSourceDivX{};
    int32_t VideoWidthDivX{};
    int32_t VideoHeightDivX{};
    bool VideoKeepFrameRateDivX{};
    uint8_t VideoFrameRateDivX{};
    uint8_t VideoAspectDivX{};
    // video block XviD
    bool VideoBitRateUsePresertXviD{};
    int32_t VideoBitRatePresetXviD{};
    int32_t VideoBitRateSpecifyXviD{};
    bool VideoSizeUseSourceXviD{};
    int32_t VideoWidthXviD{};
    int32_t VideoHeightXviD{};
    bool VideoKeepFrameRateXviD{};
    uint8_t VideoFrameRateXviD{};
    uint8_t VideoAspectXviD{};
    // video block H264
    bool VideoBitRateUsePresertH264{};
    int32_t VideoBitRatePresetH264{};
    int32_t VideoBitRateSpecifyH264{};
    bool VideoSizeUseSourceH264{};
    int32_t VideoWidthH264{};
    int32_t VideoHeightH264{};
    bool VideoKeepFrameRateH264{};
    uint8_t VideoFrameRateH264{};
    uint8_t VideoAspectH264{};
    // audio block AACMP4
    bool AudioBitRateUseAutoSetAACMP4{};
    int32_t AudioBitRatePresetAACMP4{};
    uint8_t AudioSampleRateAACMP4{};
    uint8_t AudioChannelsAACMP4{};
    // audio block AACPsp
    bool AudioBitRateUseAutoSetAACPsp{};
    int32_t AudioBitRatePresetAACPsp{};
    uint8_t AudioSampleRateAACPsp{};
    uint8_t AudioChannelsAACPsp{};
};

// 3GP profile.
struct TTGPSettings {
    std::string Description{};
    uint8_t TGPFormat{}; // 0 3gp (Nokia/NEC/Siemens), 1 3gp (Sony Ericsson), 2 3gp2 (Sony Ericsson)
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t VideoCodecNokia{};
    uint8_t VideoCodecSony{};
    bool VideoSameQuality{};
    uint8_t AudioCodecNokia{};
    uint8_t AudioCodecSony{};
    bool AudioDisableAudio{};
    // video block H263
    bool VideoBitRateUsePresertH263{};
    int32_t VideoBitRatePresetH263{};
    int32_t VideoBitRateSpecifyH263{};
    int32_t VideoWidthH263{};
    int32_t VideoHeightH263{};
    bool VideoKeepFrameRateH263{};
    uint8_t VideoFrameRateH263{};
    uint8_t VideoAspectH263{};
    // video block DivX
    bool VideoBitRateUsePresertDivX{};
    int32_t VideoBitRatePresetDivX{};
    int32_t VideoBitRateSpecifyDivX{};
    bool VideoSizeUseSourceDivX{};
    int32_t VideoWidthDivX{};
    int32_t VideoHeightDivX{};
    bool VideoKeepFrameRateDivX{};
    uint8_t VideoFrameRateDivX{};
    uint8_t VideoAspectDivX{};
    // video block XviD
    bool VideoBitRateUsePresertXviD{};
    int32_t VideoBitRatePresetXviD{};
    int32_t VideoBitRateSpecifyXviD{};
    bool VideoSizeUseSourceXviD{};
    int32_t VideoWidthXviD{};
    int32_t VideoHeightXviD{};
    bool VideoKeepFrameRateXviD{};
    uint8_t VideoFrameRateXviD{};
    uint8_t VideoAspectXviD{};
    // audio block AACMP4
    bool AudioBitRateUseAutoSetAACMP4{};
    int32_t AudioBitRatePresetAACMP4{};
    uint8_t AudioSampleRateAACMP4{};
    uint8_t AudioChannelsAACMP4{};
    // audio block Armnb
    bool AudioBitRateUseAutoSetArmnb{};
    int32_t AudioBitRatePresetArmnb{};
    uint8_t AudioSampleRateArmnb{};
    uint8_t AudioChannelsArmnb{};
    // audio block Armwb
    bool AudioBitRateUseAutoSetArmwb{};
    int32_t AudioBitRatePresetArmwb{};
    uint8_t AudioSampleRateArmwb{};
    uint8_t AudioChannelsArmwb{};
};

// MPEG profile.
struct TMPEGSettings {
    std::string Description{};
    bool UsePresetFormats{};
    uint8_t TargetFormat{}; // 0 Auto, 1 NTSC, 2 PAL
    uint8_t PresetType{}; // 0 VCD, 1 SVCD, 2 DVD
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    uint8_t AudioCodecMPEG1{};
    uint8_t AudioCodecMPEG2{};
    bool AudioDisableAudio{};
    // video block MPEG1
    bool VideoBitRateUsePresertMPEG1{};
    int32_t VideoBitRatePresetMPEG1{};
    int32_t VideoBitRateSpecifyMPEG1{};
    bool VideoSizeUseSourceMPEG1{};
    int32_t VideoWidthMPEG1{};
    int32_t VideoHeightMPEG1{};
    bool VideoKeepFrameRateMPEG1{};
    uint8_t VideoFrameRateMPEG1{};
    uint8_t VideoAspectMPEG1{};
    // video block MPEG2
    bool VideoBitRateUsePresertMPEG2{};
    int32_t VideoBitRatePresetMPEG2{};
    int32_t VideoBitRateSpecifyMPEG2{};
    bool VideoSizeUseSourceMPEG2{};
    int32_t VideoWidthMPEG2{};
    int32_t VideoHeightMPEG2{};
    bool VideoKeepFrameRateMPEG2{};
    uint8_t VideoFrameRateMPEG2{};
    uint8_t VideoAspectMPEG2{};
    // audio block AC3
    bool AudioBitRateUseAutoSetAC3{};
    int32_t AudioBitRatePresetAC3{};
    uint8_t AudioSampleRateAC3{};
    uint8_t AudioChannelsAC3{};
    // audio block Mp2
    bool AudioBitRateUseAutoSetMp2{};
    int32_t AudioBitRatePresetMp2{};
    uint8_t AudioSampleRateMp2{};
    uint8_t AudioChannelsMp2{};
    // audio block Mp3
    bool AudioBitRateUseAutoSetMp3{};
    int32_t AudioBitRatePresetMp3{};
    uint8_t AudioSampleRateMp3{};
    uint8_t AudioChannelsMp3{};
    bool DVDVideoBitRateUsePresert{};
    int32_t DVDVideoBitRatePreset{};
    int32_t DVDVideoBitRateSpecify{};
    bool DVDVideoKeepAspect{};
    uint8_t DVDVideoAspect{};
    bool DVDAudioBitRateUseAutoSet{};
    int32_t DVDAudioBitRatePreset{};
};

// MOV profile.
struct TMovSettings {
    std::string Description{};
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    // video block DivX
    bool VideoBitRateUsePresertDivX{};
    int32_t VideoBitRatePresetDivX{};
    int32_t VideoBitRateSpecifyDivX{};
    bool VideoSizeUseSourceDivX{};
    int32_t VideoWidthDivX{};
    int32_t VideoHeightDivX{};
    bool VideoKeepFrameRateDivX{};
    uint8_t VideoFrameRateDivX{};
    uint8_t VideoAspectDivX{};
    // video block XviD
    bool VideoBitRateUsePresertXviD{};
    int32_t VideoBitRatePresetXviD{};
    int32_t VideoBitRateSpecifyXviD{};
    bool VideoSizeUseSourceXviD{};
    int32_t VideoWidthXviD{};
    int32_t VideoHeightXviD{};
    bool VideoKeepFrameRateXviD{};
    uint8_t VideoFrameRateXviD{};
    uint8_t VideoAspectXviD{};
    // video block H263
    bool VideoBitRateUsePresertH263{};
    int32_t VideoBitRatePresetH263{};
    int32_t VideoBitRateSpecifyH263{};
    int32_t VideoWidthH263{};
    int32_t VideoHeightH263{};
    bool VideoKeepFrameRateH263{};
    uint8_t VideoFrameRateH263{};
    uint8_t VideoAspectH263{};
    // video block H264
    bool VideoBitRateUsePresertH264{};
    int32_t VideoBitRatePresetH264{};
    int32_t VideoBitRateSpecifyH264{};
    bool VideoSizeUseSourceH264{};
    int32_t VideoWidthH264{};
    int32_t VideoHeightH264{};
    bool VideoKeepFrameRateH264{};
    uint8_t VideoFrameRateH264{};
    uint8_t VideoAspectH264{};
    // video block Svq1
    bool VideoBitRateUsePresertSvq1{};
    int32_t VideoBitRatePresetSvq1{};
    int32_t VideoBitRateSpecifySvq1{};
    bool VideoSizeUseSourceSvq1{};
    int32_t VideoWidthSvq1{};
    int32_t VideoHeightSvq1{};
    bool VideoKeepFrameRateSvq1{};
    uint8_t VideoFrameRateSvq1{};
    uint8_t VideoAspectSvq1{};
    // audio block AACMP4
    bool AudioBitRateUseAutoSetAACMP4{};
    int32_t AudioBitRatePresetAACMP4{};
    uint8_t AudioSampleRateAACMP4{};
    uint8_t AudioChannelsAACMP4{};
    // audio block Alaw
    uint8_t AudioSampleRateAlaw{};
    uint8_t AudioChannelsAlaw{};
    // audio block Armnb
    bool AudioBitRateUseAutoSetArmnb{};
    int32_t AudioBitRatePresetArmnb{};
    uint8_t AudioSampleRateArmnb{};
    uint8_t AudioChannelsArmnb{};
    // audio block Pcm16le
    uint8_t AudioSampleRatePcm16le{};
    uint8_t AudioChannelsPcm16le{};
    // audio block Pcm16be
    uint8_t AudioSampleRatePcm16be{};
    uint8_t AudioChannelsPcm16be{};
};

// WMV profile.
struct TWmvSettings {
    std::string Description{};
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    bool AudioDisableAudio{};
    uint8_t AudioCodec{};
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    // video block MsMPEG4
    bool VideoBitRateUsePresertMsMPEG4{};
    int32_t VideoBitRatePresetMsMPEG4{};
    int32_t VideoBitRateSpecifyMsMPEG4{};
    bool VideoSizeUseSourceMsMPEG4{};
    int32_t VideoWidthMsMPEG4{};
    int32_t VideoHeightMsMPEG4{};
    bool VideoKeepFrameRateMsMPEG4{};
    uint8_t VideoFrameRateMsMPEG4{};
    uint8_t VideoAspectMsMPEG4{};
    // video block MsMPEG4v2
    bool VideoBitRateUsePresertMsMPEG4v2{};
    int32_t VideoBitRatePresetMsMPEG4v2{};
    int32_t VideoBitRateSpecifyMsMPEG4v2{};
    bool VideoSizeUseSourceMsMPEG4v2{};
    int32_t VideoWidthMsMPEG4v2{};
    int32_t VideoHeightMsMPEG4v2{};
    bool VideoKeepFrameRateMsMPEG4v2{};
    uint8_t VideoFrameRateMsMPEG4v2{};
    uint8_t VideoAspectMsMPEG4v2{};
    // video block Wmv7
    bool VideoBitRateUsePresertWmv7{};
    int32_t VideoBitRatePresetWmv7{};
    int32_t VideoBitRateSpecifyWmv7{};
    bool VideoSizeUseSourceWmv7{};
    int32_t VideoWidthWmv7{};
    int32_t VideoHeightWmv7{};
    bool VideoKeepFrameRateWmv7{};
    uint8_t VideoFrameRateWmv7{};
    uint8_t VideoAspectWmv7{};
    // video block Wmv8
    bool VideoBitRateUsePresertWmv8{};
    int32_t VideoBitRatePresetWmv8{};
    int32_t VideoBitRateSpecifyWmv8{};
    bool VideoSizeUseSourceWmv8{};
    int32_t VideoWidthWmv8{};
    int32_t VideoHeightWmv8{};
    bool VideoKeepFrameRateWmv8{};
    uint8_t VideoFrameRateWmv8{};
    uint8_t VideoAspectWmv8{};
    // audio block Mp3
    bool AudioBitRateUseAutoSetMp3{};
    int32_t AudioBitRatePresetMp3{};
    uint8_t AudioSampleRateMp3{};
    uint8_t AudioChannelsMp3{};
};

// RM profile.
struct TRmSettings {
    std::string Description{};
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    // video block Rm10
    bool VideoBitRateUsePresertRm10{};
    int32_t VideoBitRatePresetRm10{};
    int32_t VideoBitRateSpecifyRm10{};
    bool VideoSizeUseSourceRm10{};
    int32_t VideoWidthRm10{};
    int32_t VideoHeightRm10{};
    bool VideoKeepFrameRateRm10{};
    uint8_t VideoFrameRateRm10{};
    uint8_t VideoAspectRm10{};
    // audio block AC3
    bool AudioBitRateUseAutoSetAC3{};
    int32_t AudioBitRatePresetAC3{};
    uint8_t AudioSampleRateAC3{};
    uint8_t AudioChannelsAC3{};
};

// SWF profile.
struct TSwfSettings {
    std::string Description{};
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    bool VideoSameQuality{};
    uint8_t VideoCodec{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    // video block Flv
    bool VideoBitRateUsePresertFlv{};
    int32_t VideoBitRatePresetFlv{};
    int32_t VideoBitRateSpecifyFlv{};
    bool VideoSizeUseSourceFlv{};
    int32_t VideoWidthFlv{};
    int32_t VideoHeightFlv{};
    bool VideoKeepFrameRateFlv{};
    uint8_t VideoFrameRateFlv{};
    uint8_t VideoAspectFlv{};
    // audio block Mp3
    bool AudioBitRateUseAutoSetMp3{};
    int32_t AudioBitRatePresetMp3{};
    uint8_t AudioSampleRateMp3{};
    uint8_t AudioChannelsMp3{};
};

// ASF profile.
struct TAsfSettings {
    std::string Description{};
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    // video block MsMPEG4
    bool VideoBitRateUsePresertMsMPEG4{};
    int32_t VideoBitRatePresetMsMPEG4{};
    int32_t VideoBitRateSpecifyMsMPEG4{};
    bool VideoSizeUseSourceMsMPEG4{};
    int32_t VideoWidthMsMPEG4{};
    int32_t VideoHeightMsMPEG4{};
    bool VideoKeepFrameRateMsMPEG4{};
    uint8_t VideoFrameRateMsMPEG4{};
    uint8_t VideoAspectMsMPEG4{};
    // video block MsMPEG4v2
    bool VideoBitRateUsePresertMsMPEG4v2{};
    int32_t VideoBitRatePresetMsMPEG4v2{};
    int32_t VideoBitRateSpecifyMsMPEG4v2{};
    bool VideoSizeUseSourceMsMPEG4v2{};
    int32_t VideoWidthMsMPEG4v2{};
    int32_t VideoHeightMsMPEG4v2{};
    bool VideoKeepFrameRateMsMPEG4v2{};
    uint8_t VideoFrameRateMsMPEG4v2{};
    uint8_t VideoAspectMsMPEG4v2{};
    // audio block Mp3
    bool AudioBitRateUseAutoSetMp3{};
    int32_t AudioBitRatePresetMp3{};
    uint8_t AudioSampleRateMp3{};
    uint8_t AudioChannelsMp3{};
};

// VOB profile.
struct TVobSettings {
    std::string Description{};
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    // video block MPEG2
    bool VideoBitRateUsePresertMPEG2{};
    int32_t VideoBitRatePresetMPEG2{};
    int32_t VideoBitRateSpecifyMPEG2{};
    bool VideoSizeUseSourceMPEG2{};
    int32_t VideoWidthMPEG2{};
    int32_t VideoHeightMPEG2{};
    bool VideoKeepFrameRateMPEG2{};
    uint8_t VideoFrameRateMPEG2{};
    uint8_t VideoAspectMPEG2{};
    // audio block AC3
    bool AudioBitRateUseAutoSetAC3{};
    int32_t AudioBitRatePresetAC3{};
    uint8_t AudioSampleRateAC3{};
    uint8_t AudioChannelsAC3{};
    // audio block Mp2
    bool AudioBitRateUseAutoSetMp2{};
    int32_t AudioBitRatePresetMp2{};
    uint8_t AudioSampleRateMp2{};
    uint8_t AudioChannelsMp2{};
};

// AAC profile.
struct TAacSettings {
    std::string Description{};
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t AudioCodec{};
    // audio block AACMP4
    bool AudioBitRateUseAutoSetAACMP4{};
    int32_t AudioBitRatePresetAACMP4{};
    uint8_t AudioSampleRateAACMP4{};
    uint8_t AudioChannelsAACMP4{};
};

// AC3 profile.
struct TAc3Settings {
    std::string Description{};
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t AudioCodec{};
    // audio block AC3
    bool AudioBitRateUseAutoSetAC3{};
    int32_t AudioBitRatePresetAC3{};
    uint8_t AudioSampleRateAC3{};
    uint8_t AudioChannelsAC3{};
};

// MP2 profile.
struct TMp2Settings {
    std::string Description{};
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t AudioCodec{};
    // audio block Mp2
    bool AudioBitRateUseAutoSetMp2{};
    int32_t AudioBitRatePresetMp2{};
    uint8_t AudioSampleRateMp2{};
    uint8_t AudioChannelsMp2{};
};

// MP3 profile.
struct TMp3Settings {
    std::string Description{};
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t AudioCodec{};
    // audio block Mp3
    bool AudioBitRateUseAutoSetMp3{};
    int32_t AudioBitRatePresetMp3{};
    uint8_t AudioSampleRateMp3{};
    uint8_t AudioChannelsMp3{};
};

// AMR profile.
struct TAmrSettings {
    std::string Description{};
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t AudioCodec{}; // 0 Armnb, 1 Armwb
    // audio block Armnb
    bool AudioBitRateUseAutoSetArmnb{};
    int32_t AudioBitRatePresetArmnb{};
    uint8_t AudioSampleRateArmnb{};
    uint8_t AudioChannelsArmnb{};
    // audio block Armwb
    bool AudioBitRateUseAutoSetArmwb{};
    int32_t AudioBitRatePresetArmwb{};
    uint8_t AudioSampleRateArmwb{};
    uint8_t AudioChannelsArmwb{};
};

// WAV profile.
struct TWavSettings {
    std::string Description{};
    bool EnableTimeControl{};
    std::string Duration{};
    std::string StartTime{};
    uint8_t AudioCodec{}; // 0 Pcm16le, 1 Pcmu8
    // audio block Pcm16le
    uint8_t AudioSampleRatePcm16le{};
    uint8_t AudioChannelsPcm16le{};
    // audio block Pcmu8
    uint8_t AudioSampleRatePcmu8{};
    uint8_t AudioChannelsPcmu8{};
};

// The current settings of each format.
extern TAVISettings AVISettings;
extern TMP4Settings MP4Settings;
extern TTGPSettings TGPSettings;
extern TMPEGSettings MPEGSettings;
extern TMovSettings MovSettings;
extern TWmvSettings WmvSettings;
extern TRmSettings RmSettings;
extern TSwfSettings SwfSettings;
extern TAsfSettings AsfSettings;
extern TVobSettings VobSettings;
extern TAacSettings AacSettings;
extern TAc3Settings Ac3Settings;
extern TMp2Settings Mp2Settings;
extern TMp3Settings Mp3Settings;
extern TAmrSettings AmrSettings;
extern TWavSettings WavSettings;

// Bitrate preset tables (kbit/s, as decimal texts). An editor slider position
// p (1-based) stands for entry p.
using TPresetTable = std::vector<std::string>;

// Video: DivX, XviD, MsMPEG4, MsMPEG4v2 (AVI), H263, H263P, H264, DV, huffYUV,
// Mjpeg, MPEG1, MPEG2, Svq1, Flv (AVI), Rm10 and the MPEG record's DVD video.
extern const TPresetTable StandardVideoBitRates; // 64 .. 9600, 13 entries
// MsMPEG4 and MsMPEG4v2 of ASF and WMV, Wmv7, Wmv8.
extern const TPresetTable WindowsVideoBitRates;  // 64 .. 6000, 12 entries
// Flv of SWF.
extern const TPresetTable FlashVideoBitRates;    // 64 .. 3600, 11 entries

// Audio.
extern const TPresetTable Ac3AudioBitRates;    // AC3 blocks, 32 .. 448
extern const TPresetTable Mp2AudioBitRates;    // Mp2 blocks, 32 .. 384
extern const TPresetTable Mp3AudioBitRates;    // Mp3 blocks, 32 .. 320
extern const TPresetTable AacAudioBitRates;    // AACMP4 blocks, 24 .. 256
extern const TPresetTable AacPspAudioBitRates; // AACPsp block of MP4, same entries as AAC
extern const TPresetTable AmrNbAudioBitRates;  // Armnb blocks, 8 .. 13
extern const TPresetTable AmrWbAudioBitRates;  // Armwb blocks, 7 .. 24
extern const TPresetTable DvdAudioBitRates;    // MPEG DVD audio; "128" at positions 4 and 5

// The value of slider position p (1-based). A position outside the table is
// brought to the nearest end; an empty table gives 0.
int32_t PresetValue(const TPresetTable& table, int position);
// The slider position that shows a stored value: startPosition, moved to every
// entry whose text equals the value written in decimal, so the last match wins.
int PresetPosition(const TPresetTable& table, int32_t value, int startPosition);
// Bounds of a user-specified bitrate: the first and the last entry.
int32_t PresetMinimum(const TPresetTable& table);
int32_t PresetMaximum(const TPresetTable& table);
