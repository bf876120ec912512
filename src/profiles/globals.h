#pragma once

// The profile records, their process-wide instances and the bitrate
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

// Blocks that recur across the records. Every member's key is its name; a
// block's keys are its prefixes followed by the codec suffix S.

// "EnableTimeControl", "Duration" and "StartTime".
#define QV_TIME_CONTROL       \
    bool EnableTimeControl{}; \
    std::string Duration{};   \
    std::string StartTime{};
// A video codec block: bitrate (preset or specified), size, frame rate, aspect.
#define QV_VIDEO_BLOCK(S)             \
    bool VideoBitRateUsePresert##S{}; \
    int32_t VideoBitRatePreset##S{};  \
    int32_t VideoBitRateSpecify##S{}; \
    bool VideoSizeUseSource##S{};     \
    int32_t VideoWidth##S{};          \
    int32_t VideoHeight##S{};         \
    bool VideoKeepFrameRate##S{};     \
    uint8_t VideoFrameRate##S{};      \
    uint8_t VideoAspect##S{};
// The H263 block: its size is always the stored one, so no VideoSizeUseSource.
#define QV_H263_BLOCK(S)              \
    bool VideoBitRateUsePresert##S{}; \
    int32_t VideoBitRatePreset##S{};  \
    int32_t VideoBitRateSpecify##S{}; \
    int32_t VideoWidth##S{};          \
    int32_t VideoHeight##S{};         \
    bool VideoKeepFrameRate##S{};     \
    uint8_t VideoFrameRate##S{};      \
    uint8_t VideoAspect##S{};
// An audio codec block: automatic or preset bitrate, sample rate, channels.
#define QV_AUDIO_BLOCK(S)             \
    bool AudioBitRateUseAutoSet##S{}; \
    int32_t AudioBitRatePreset##S{};  \
    uint8_t AudioSampleRate##S{};     \
    uint8_t AudioChannels##S{};
// Keys that every record has after its own ones; appended last so that files
// written before they existed read as they did (a missing key is its default).
// KeepTags: the source's tags and cover art go into the output.
// CopyFitting: copy a source stream that already fits instead of encoding it.
// Loudness: on/off, the target in tenths of LUFS, the true-peak ceiling in
// tenths of dBTP, and one gain for all files of a folder.
#define QV_COMMON_KEYS              \
    bool KeepTags{};                \
    bool CopyFitting{};             \
    bool NormaliseLoudness{};       \
    int32_t LoudnessTarget{};       \
    int32_t TruePeakCeiling{};      \
    bool LoudnessAlbumMode{};
// PCM and A-law blocks: no bitrate.
#define QV_PCM_BLOCK(S)           \
    uint8_t AudioSampleRate##S{}; \
    uint8_t AudioChannels##S{};

// Ranges of the loudness keys, in tenths (LUFS and dBTP).
inline constexpr int32_t MinLoudnessTarget = -700;
inline constexpr int32_t MaxLoudnessTarget = -50;
inline constexpr int32_t DefaultLoudnessTarget = -230;
inline constexpr int32_t MinTruePeakCeiling = -90;
inline constexpr int32_t MaxTruePeakCeiling = 0;
inline constexpr int32_t DefaultTruePeakCeiling = -10;

// AVI profile.
struct TAVISettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    QV_VIDEO_BLOCK(DivX)
    QV_VIDEO_BLOCK(XviD)
    QV_VIDEO_BLOCK(MsMPEG4)
    QV_VIDEO_BLOCK(MsMPEG4v2)
    QV_H263_BLOCK(H263)
    QV_VIDEO_BLOCK(H263P)
    QV_VIDEO_BLOCK(H264)
    QV_VIDEO_BLOCK(DV)
    QV_VIDEO_BLOCK(huffYUV)
    QV_VIDEO_BLOCK(Mjpeg)
    QV_VIDEO_BLOCK(MPEG1)
    QV_VIDEO_BLOCK(MPEG2)
    QV_VIDEO_BLOCK(Svq1)
    QV_VIDEO_BLOCK(Flv)
    QV_AUDIO_BLOCK(AC3)
    QV_AUDIO_BLOCK(Mp2)
    QV_AUDIO_BLOCK(Mp3)
    QV_PCM_BLOCK(Pcm16le)
    QV_PCM_BLOCK(Pcmu8)
    uint8_t VideoQuality{}; // H.264 only; 0: the bitrate; n: constant quality (CRF) n
    uint8_t VideoSpeed{};   // H.264 only; 0 balanced, 1 faster, 2 smaller files
    QV_COMMON_KEYS
};

// MP4 profile.
struct TMP4Settings {
    std::string Description{};
    uint8_t Format{}; // 0 Apple iPod, 1 Sony PSP, 2 Mobile Movie, 3 Mp4
    QV_TIME_CONTROL
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    QV_VIDEO_BLOCK(DivX)
    QV_VIDEO_BLOCK(XviD)
    QV_VIDEO_BLOCK(H264)
    QV_AUDIO_BLOCK(AACMP4)
    QV_AUDIO_BLOCK(AACPsp)
    // Later additions, after the original keys: H.265 and AV1 (video list
    // positions 1 and 2), constant quality and speed (0: as before).
    QV_VIDEO_BLOCK(H265)
    QV_VIDEO_BLOCK(AV1)
    uint8_t VideoQuality{}; // 0: the bitrate; n: constant quality (CRF) n
    uint8_t VideoSpeed{};   // 0 balanced (the encoder's default), 1 faster, 2 smaller files
    QV_COMMON_KEYS
};

// 3GP profile.
struct TTGPSettings {
    std::string Description{};
    uint8_t TGPFormat{}; // 0 3gp (Nokia/NEC/Siemens), 1 3gp (Sony Ericsson), 2 3gp2 (Sony Ericsson)
    QV_TIME_CONTROL
    uint8_t VideoCodecNokia{};
    uint8_t VideoCodecSony{};
    bool VideoSameQuality{};
    uint8_t AudioCodecNokia{};
    uint8_t AudioCodecSony{};
    bool AudioDisableAudio{};
    QV_H263_BLOCK(H263)
    QV_VIDEO_BLOCK(DivX)
    QV_VIDEO_BLOCK(XviD)
    QV_AUDIO_BLOCK(AACMP4)
    QV_AUDIO_BLOCK(Armnb)
    QV_AUDIO_BLOCK(Armwb)
    QV_COMMON_KEYS
};

// MPEG profile.
struct TMPEGSettings {
    std::string Description{};
    bool UsePresetFormats{};
    uint8_t TargetFormat{}; // 0 Auto, 1 NTSC, 2 PAL
    uint8_t PresetType{}; // 0 VCD, 1 SVCD, 2 DVD
    QV_TIME_CONTROL
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    uint8_t AudioCodecMPEG1{};
    uint8_t AudioCodecMPEG2{};
    bool AudioDisableAudio{};
    QV_VIDEO_BLOCK(MPEG1)
    QV_VIDEO_BLOCK(MPEG2)
    QV_AUDIO_BLOCK(AC3)
    QV_AUDIO_BLOCK(Mp2)
    QV_AUDIO_BLOCK(Mp3)
    bool DVDVideoBitRateUsePresert{};
    int32_t DVDVideoBitRatePreset{};
    int32_t DVDVideoBitRateSpecify{};
    bool DVDVideoKeepAspect{};
    uint8_t DVDVideoAspect{};
    bool DVDAudioBitRateUseAutoSet{};
    int32_t DVDAudioBitRatePreset{};
    QV_COMMON_KEYS
};

// MOV profile.
struct TMovSettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    QV_VIDEO_BLOCK(DivX)
    QV_VIDEO_BLOCK(XviD)
    QV_H263_BLOCK(H263)
    QV_VIDEO_BLOCK(H264)
    QV_VIDEO_BLOCK(Svq1)
    QV_AUDIO_BLOCK(AACMP4)
    QV_PCM_BLOCK(Alaw)
    QV_AUDIO_BLOCK(Armnb)
    QV_PCM_BLOCK(Pcm16le)
    QV_PCM_BLOCK(Pcm16be)
    uint8_t VideoQuality{}; // H.264 only; 0: the bitrate; n: constant quality (CRF) n
    uint8_t VideoSpeed{};   // H.264 only; 0 balanced, 1 faster, 2 smaller files
    QV_COMMON_KEYS
};

// WMV profile.
struct TWmvSettings {
    std::string Description{};
    QV_TIME_CONTROL
    bool AudioDisableAudio{};
    uint8_t AudioCodec{};
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    QV_VIDEO_BLOCK(MsMPEG4)
    QV_VIDEO_BLOCK(MsMPEG4v2)
    QV_VIDEO_BLOCK(Wmv7)
    QV_VIDEO_BLOCK(Wmv8)
    QV_AUDIO_BLOCK(Mp3)
    QV_COMMON_KEYS
};

// RM profile.
struct TRmSettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    QV_VIDEO_BLOCK(Rm10)
    QV_AUDIO_BLOCK(AC3)
    QV_COMMON_KEYS
};

// SWF profile.
struct TSwfSettings {
    std::string Description{};
    QV_TIME_CONTROL
    bool VideoSameQuality{};
    uint8_t VideoCodec{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    QV_VIDEO_BLOCK(Flv)
    QV_AUDIO_BLOCK(Mp3)
    QV_COMMON_KEYS
};

// ASF profile.
struct TAsfSettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    QV_VIDEO_BLOCK(MsMPEG4)
    QV_VIDEO_BLOCK(MsMPEG4v2)
    QV_AUDIO_BLOCK(Mp3)
    QV_COMMON_KEYS
};

// VOB profile.
struct TVobSettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    QV_VIDEO_BLOCK(MPEG2)
    QV_AUDIO_BLOCK(AC3)
    QV_AUDIO_BLOCK(Mp2)
    QV_COMMON_KEYS
};

// AAC profile.
struct TAacSettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t AudioCodec{};
    QV_AUDIO_BLOCK(AACMP4)
    QV_COMMON_KEYS
};

// AC3 profile.
struct TAc3Settings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t AudioCodec{};
    QV_AUDIO_BLOCK(AC3)
    QV_COMMON_KEYS
};

// MP2 profile.
struct TMp2Settings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t AudioCodec{};
    QV_AUDIO_BLOCK(Mp2)
    QV_COMMON_KEYS
};

// MP3 profile.
struct TMp3Settings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t AudioCodec{};
    QV_AUDIO_BLOCK(Mp3)
    uint8_t AudioQuality{}; // 0: the bitrate; n: LAME VBR, n 1 (V9, smallest) .. 10 (V0, best)
    QV_COMMON_KEYS
};

// AMR profile.
struct TAmrSettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t AudioCodec{}; // 0 Armnb, 1 Armwb
    QV_AUDIO_BLOCK(Armnb)
    QV_AUDIO_BLOCK(Armwb)
    QV_COMMON_KEYS
};

// WAV profile.
struct TWavSettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t AudioCodec{}; // 0 Pcm16le, 1 Pcmu8
    QV_PCM_BLOCK(Pcm16le)
    QV_PCM_BLOCK(Pcmu8)
    QV_COMMON_KEYS
};

// MKV profile: video H.264, H.265, AV1 or VP9; audio AAC, Opus, FLAC, AC3 or Vorbis.
struct TMkvSettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    uint8_t VideoQuality{}; // 0: the bitrate; n: constant quality (CRF) n
    uint8_t VideoSpeed{};   // 0 balanced, 1 faster, 2 smaller files
    QV_VIDEO_BLOCK(H264)
    QV_VIDEO_BLOCK(H265)
    QV_VIDEO_BLOCK(AV1)
    QV_VIDEO_BLOCK(VP9)
    QV_AUDIO_BLOCK(AACMP4)
    QV_AUDIO_BLOCK(Opus)
    QV_PCM_BLOCK(Flac)
    QV_AUDIO_BLOCK(AC3)
    QV_AUDIO_BLOCK(Vorbis)
    QV_COMMON_KEYS
};

// WEBM profile: video VP9 or AV1; audio Opus or Vorbis.
struct TWebmSettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t VideoCodec{};
    bool VideoSameQuality{};
    uint8_t AudioCodec{};
    bool AudioDisableAudio{};
    uint8_t VideoQuality{}; // 0: the bitrate; n: constant quality (CRF) n
    uint8_t VideoSpeed{};   // 0 balanced, 1 faster, 2 smaller files
    QV_VIDEO_BLOCK(VP9)
    QV_VIDEO_BLOCK(AV1)
    QV_AUDIO_BLOCK(Opus)
    QV_AUDIO_BLOCK(Vorbis)
    QV_COMMON_KEYS
};

// OPUS profile (Ogg Opus).
struct TOpusSettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t AudioCodec{};
    QV_AUDIO_BLOCK(Opus)
    QV_COMMON_KEYS
};

// FLAC profile; FlacLevel is the compression level 0..8.
struct TFlacSettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t AudioCodec{};
    uint8_t FlacLevel{};
    QV_PCM_BLOCK(Flac)
    QV_COMMON_KEYS
};

// M4A profile: AAC or ALAC in an MP4 file.
struct TM4aSettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t AudioCodec{}; // 0 AAC, 1 ALAC
    QV_AUDIO_BLOCK(AACMP4)
    QV_PCM_BLOCK(Alac)
    QV_COMMON_KEYS
};

// OGG profile (Vorbis); VorbisQuality (0..10) is in force when the bitrate
// is set automatically.
struct TOggSettings {
    std::string Description{};
    QV_TIME_CONTROL
    uint8_t AudioCodec{};
    uint8_t VorbisQuality{};
    QV_AUDIO_BLOCK(Vorbis)
    QV_COMMON_KEYS
};

#undef QV_TIME_CONTROL
#undef QV_VIDEO_BLOCK
#undef QV_H263_BLOCK
#undef QV_AUDIO_BLOCK
#undef QV_PCM_BLOCK

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
extern TMkvSettings MkvSettings;
extern TWebmSettings WebmSettings;
extern TOpusSettings OpusSettings;
extern TFlacSettings FlacSettings;
extern TM4aSettings M4aSettings;
extern TOggSettings OggSettings;

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
extern const TPresetTable OpusAudioBitRates;   // Opus blocks, 16 .. 256
extern const TPresetTable VorbisAudioBitRates; // Vorbis blocks, 64 .. 320
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
