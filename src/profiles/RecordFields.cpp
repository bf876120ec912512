#include "profiles/RecordFields.h"

#include <array>
#include <stdexcept>
#include <utility>

#include "app/Settings.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"

// Every record is described once, as a table of rows (key, kind, default,
// member). The public field lists are made from these tables, and getting or
// setting a field by key goes through the row's member pointer.

namespace {

const char* const ProfileSection = "General";
const char* const ZeroTime = "0:00:00.000";

template <class R>
struct TField {
    TFieldInfo Info;
    std::variant<std::string R::*, bool R::*, uint8_t R::*, int32_t R::*> Member;
};

template <class R>
using TFields = std::vector<TField<R>>;

template <class R>
TField<R> TextRow(const char* key, std::string R::*m, const std::string* def)
{
    return {{key, TFieldKind::Text, 0, nullptr, def}, m};
}
template <class R>
TField<R> TimeRow(const char* key, std::string R::*m, const char* def)
{
    return {{key, TFieldKind::Time, 0, def, nullptr}, m};
}
template <class R>
TField<R> FlagRow(const char* key, bool R::*m, bool def)
{
    return {{key, TFieldKind::Flag, def ? 1 : 0, nullptr, nullptr}, m};
}
template <class R>
TField<R> IndexRow(const char* key, uint8_t R::*m, int32_t def)
{
    return {{key, TFieldKind::Index, def, nullptr, nullptr}, m};
}
template <class R>
TField<R> NumberRow(const char* key, int32_t R::*m, int32_t def)
{
    return {{key, TFieldKind::Number, def, nullptr, nullptr}, m};
}

// The table of a record type.
template <class R>
const TFields<R>& FieldsOf();

// The process-wide current record of a record type.
template <class R>
R& CurrentOf();

// Rows whose key is the member's own name, so the two cannot drift apart.
#define PF_FLAG(R, name, def) FlagRow<R>(#name, &R::name, def)
#define PF_INDEX(R, name, def) IndexRow<R>(#name, &R::name, def)
#define PF_NUMBER(R, name, def) NumberRow<R>(#name, &R::name, def)

#define PF_DESCRIPTION(R) TextRow<R>("Description", &R::Description, &IDS_NO_DESCRIPTION)
#define PF_TIME_CONTROL(R)                                                                \
    PF_FLAG(R, EnableTimeControl, false), TimeRow<R>("Duration", &R::Duration, ZeroTime), \
        TimeRow<R>("StartTime", &R::StartTime, ZeroTime)

// "VideoCodec", "VideoSameQuality", "AudioCodec", "AudioDisableAudio".
#define PF_STREAMS(R, videoCodec, audioCodec)                                  \
    PF_INDEX(R, VideoCodec, videoCodec), PF_FLAG(R, VideoSameQuality, false), \
        PF_INDEX(R, AudioCodec, audioCodec), PF_FLAG(R, AudioDisableAudio, false)

#define PF_VIDEO_RATE(R, S, usePresert, preset, specify)                   \
    PF_FLAG(R, VideoBitRateUsePresert##S, usePresert),                     \
        PF_NUMBER(R, VideoBitRatePreset##S, preset), PF_NUMBER(R, VideoBitRateSpecify##S, specify)
#define PF_VIDEO_FRAME(R, S, width, height, keep, frameRate, aspect)                    \
    PF_NUMBER(R, VideoWidth##S, width), PF_NUMBER(R, VideoHeight##S, height),           \
        PF_FLAG(R, VideoKeepFrameRate##S, keep), PF_INDEX(R, VideoFrameRate##S, frameRate), \
        PF_INDEX(R, VideoAspect##S, aspect)

// The nine keys of a video codec block.
#define PF_VIDEO_BLOCK(R, S, usePresert, preset, specify, sizeUseSource, width, height, keep, frameRate, aspect) \
    PF_VIDEO_RATE(R, S, usePresert, preset, specify), PF_FLAG(R, VideoSizeUseSource##S, sizeUseSource),         \
        PF_VIDEO_FRAME(R, S, width, height, keep, frameRate, aspect)
// The H263 block: its size is always the stored one, so it has no VideoSizeUseSource key.
#define PF_H263_BLOCK(R, S, usePresert, preset, specify, width, height, keep, frameRate, aspect) \
    PF_VIDEO_RATE(R, S, usePresert, preset, specify), PF_VIDEO_FRAME(R, S, width, height, keep, frameRate, aspect)

// The four keys of an audio codec block.
#define PF_AUDIO_BLOCK(R, S, useAutoSet, preset, sampleRate, channels)                 \
    PF_FLAG(R, AudioBitRateUseAutoSet##S, useAutoSet), PF_NUMBER(R, AudioBitRatePreset##S, preset), \
        PF_INDEX(R, AudioSampleRate##S, sampleRate), PF_INDEX(R, AudioChannels##S, channels)
// PCM and A-law blocks: no bitrate.
#define PF_PCM_BLOCK(R, S, sampleRate, channels) \
    PF_INDEX(R, AudioSampleRate##S, sampleRate), PF_INDEX(R, AudioChannels##S, channels)

// The rows of the keys that every record has after its own ones (QV_COMMON_KEYS).
#define PF_COMMON_KEYS(R)                                                                            \
    PF_FLAG(R, KeepTags, true), PF_FLAG(R, CopyFitting, false), PF_FLAG(R, NormaliseLoudness, false),  \
        PF_NUMBER(R, LoudnessTarget, DefaultLoudnessTarget), PF_NUMBER(R, TruePeakCeiling, DefaultTruePeakCeiling), \
        PF_FLAG(R, LoudnessAlbumMode, false)

// The usual AVI/MOV block defaults: preset bitrate, source size 640 x 480, "Auto" frame rate at "25".
#define PF_AVI_BLOCK(S) PF_VIDEO_BLOCK(TAVISettings, S, true, 1080, 1080, true, 640, 480, true, 7, 0)

template <>
const TFields<TAVISettings>& FieldsOf<TAVISettings>()
{
    using R = TAVISettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_STREAMS(R, 0, 1),
        PF_AVI_BLOCK(DivX), PF_AVI_BLOCK(XviD), PF_AVI_BLOCK(MsMPEG4), PF_AVI_BLOCK(MsMPEG4v2),
        PF_H263_BLOCK(R, H263, true, 1080, 1080, 352, 288, true, 7, 0),
        PF_AVI_BLOCK(H263P), PF_AVI_BLOCK(H264), PF_AVI_BLOCK(DV), PF_AVI_BLOCK(huffYUV), PF_AVI_BLOCK(Mjpeg),
        PF_AVI_BLOCK(MPEG1), PF_AVI_BLOCK(MPEG2), PF_AVI_BLOCK(Svq1), PF_AVI_BLOCK(Flv),
        PF_AUDIO_BLOCK(R, AC3, false, 96, 0, 1),
        PF_AUDIO_BLOCK(R, Mp2, false, 96, 0, 1),
        PF_AUDIO_BLOCK(R, Mp3, false, 96, 0, 1),
        PF_PCM_BLOCK(R, Pcm16le, 3, 1),
        PF_PCM_BLOCK(R, Pcmu8, 3, 1),
        PF_INDEX(R, VideoQuality, 0), PF_INDEX(R, VideoSpeed, 0),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TMP4Settings>& FieldsOf<TMP4Settings>()
{
    using R = TMP4Settings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_INDEX(R, Format, 3), PF_TIME_CONTROL(R), PF_STREAMS(R, 0, 0),
        PF_VIDEO_BLOCK(R, DivX, true, 1200, 1200, false, 320, 240, true, 7, 0),
        PF_VIDEO_BLOCK(R, XviD, true, 1200, 1200, false, 320, 240, true, 7, 0),
        PF_VIDEO_BLOCK(R, H264, true, 1200, 1200, false, 320, 240, true, 7, 0),
        PF_AUDIO_BLOCK(R, AACMP4, false, 64, 3, 1),
        PF_AUDIO_BLOCK(R, AACPsp, false, 64, 0, 1),
        PF_VIDEO_BLOCK(R, H265, true, 768, 768, false, 320, 240, true, 7, 0),
        PF_VIDEO_BLOCK(R, AV1, true, 768, 768, false, 320, 240, true, 7, 0),
        PF_INDEX(R, VideoQuality, 0), PF_INDEX(R, VideoSpeed, 0),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TTGPSettings>& FieldsOf<TTGPSettings>()
{
    using R = TTGPSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_INDEX(R, TGPFormat, 0), PF_TIME_CONTROL(R),
        PF_INDEX(R, VideoCodecNokia, 0), PF_INDEX(R, VideoCodecSony, 0), PF_FLAG(R, VideoSameQuality, false),
        PF_INDEX(R, AudioCodecNokia, 0), PF_INDEX(R, AudioCodecSony, 0), PF_FLAG(R, AudioDisableAudio, false),
        PF_H263_BLOCK(R, H263, true, 144, 144, 176, 144, true, 1, 0),
        PF_VIDEO_BLOCK(R, DivX, true, 144, 144, false, 176, 144, true, 7, 0),
        PF_VIDEO_BLOCK(R, XviD, true, 96, 96, false, 176, 144, true, 7, 0),
        PF_AUDIO_BLOCK(R, AACMP4, false, 56, 3, 1),
        PF_AUDIO_BLOCK(R, Armnb, false, 13, 0, 0),
        PF_AUDIO_BLOCK(R, Armwb, false, 13, 0, 0),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TMPEGSettings>& FieldsOf<TMPEGSettings>()
{
    using R = TMPEGSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R),
        PF_FLAG(R, UsePresetFormats, false), PF_INDEX(R, TargetFormat, 0), PF_INDEX(R, PresetType, 0),
        PF_TIME_CONTROL(R),
        PF_INDEX(R, VideoCodec, 1), PF_FLAG(R, VideoSameQuality, false),
        PF_INDEX(R, AudioCodecMPEG1, 0), PF_INDEX(R, AudioCodecMPEG2, 0), PF_FLAG(R, AudioDisableAudio, false),
        PF_VIDEO_BLOCK(R, MPEG1, true, 1152, 1152, true, 640, 480, true, 7, 0),
        PF_VIDEO_BLOCK(R, MPEG2, true, 2496, 2496, true, 640, 480, true, 8, 0),
        PF_AUDIO_BLOCK(R, AC3, false, 256, 3, 1),
        PF_AUDIO_BLOCK(R, Mp2, false, 160, 2, 1),
        PF_AUDIO_BLOCK(R, Mp3, false, 160, 2, 1),
        // The DVD block, in force for the DVD disc preset.
        PF_FLAG(R, DVDVideoBitRateUsePresert, true), PF_NUMBER(R, DVDVideoBitRatePreset, 6000),
        PF_NUMBER(R, DVDVideoBitRateSpecify, 6000), PF_FLAG(R, DVDVideoKeepAspect, true),
        PF_INDEX(R, DVDVideoAspect, 1), PF_FLAG(R, DVDAudioBitRateUseAutoSet, false),
        PF_NUMBER(R, DVDAudioBitRatePreset, 384),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TMovSettings>& FieldsOf<TMovSettings>()
{
    using R = TMovSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_STREAMS(R, 4, 0),
        PF_VIDEO_BLOCK(R, DivX, true, 1200, 1200, true, 640, 480, true, 7, 0),
        PF_VIDEO_BLOCK(R, XviD, true, 1200, 1200, true, 640, 480, true, 7, 0),
        PF_H263_BLOCK(R, H263, true, 1200, 1200, 352, 288, true, 7, 0),
        PF_VIDEO_BLOCK(R, H264, true, 1200, 1200, true, 640, 480, true, 7, 0),
        PF_VIDEO_BLOCK(R, Svq1, true, 1200, 1200, true, 640, 480, true, 7, 0),
        PF_AUDIO_BLOCK(R, AACMP4, false, 64, 3, 1),
        PF_PCM_BLOCK(R, Alaw, 3, 1),
        PF_AUDIO_BLOCK(R, Armnb, false, 8, 0, 0),
        PF_PCM_BLOCK(R, Pcm16le, 3, 1),
        PF_PCM_BLOCK(R, Pcm16be, 3, 1),
        PF_INDEX(R, VideoQuality, 0), PF_INDEX(R, VideoSpeed, 0),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TWmvSettings>& FieldsOf<TWmvSettings>()
{
    using R = TWmvSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R),
        PF_FLAG(R, AudioDisableAudio, false), PF_INDEX(R, AudioCodec, 0),
        PF_INDEX(R, VideoCodec, 3), PF_FLAG(R, VideoSameQuality, false),
        PF_VIDEO_BLOCK(R, MsMPEG4, true, 768, 768, true, 640, 480, true, 7, 0),
        PF_VIDEO_BLOCK(R, MsMPEG4v2, true, 768, 768, true, 640, 480, true, 7, 0),
        PF_VIDEO_BLOCK(R, Wmv7, true, 768, 768, true, 640, 480, true, 7, 0),
        PF_VIDEO_BLOCK(R, Wmv8, true, 768, 768, true, 640, 480, true, 7, 0),
        PF_AUDIO_BLOCK(R, Mp3, true, 64, 0, 1),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TRmSettings>& FieldsOf<TRmSettings>()
{
    using R = TRmSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_STREAMS(R, 0, 0),
        PF_VIDEO_BLOCK(R, Rm10, true, 768, 768, true, 320, 240, true, 7, 0),
        PF_AUDIO_BLOCK(R, AC3, false, 256, 3, 1),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TSwfSettings>& FieldsOf<TSwfSettings>()
{
    using R = TSwfSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R),
        PF_FLAG(R, VideoSameQuality, false), PF_INDEX(R, VideoCodec, 0),
        PF_INDEX(R, AudioCodec, 0), PF_FLAG(R, AudioDisableAudio, false),
        PF_VIDEO_BLOCK(R, Flv, true, 768, 768, true, 640, 480, true, 7, 0),
        PF_AUDIO_BLOCK(R, Mp3, true, 64, 1, 1),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TAsfSettings>& FieldsOf<TAsfSettings>()
{
    using R = TAsfSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R),
        PF_INDEX(R, AudioCodec, 0), PF_FLAG(R, AudioDisableAudio, false),
        PF_INDEX(R, VideoCodec, 0), PF_FLAG(R, VideoSameQuality, false),
        PF_VIDEO_BLOCK(R, MsMPEG4, true, 768, 768, true, 640, 480, true, 7, 0),
        PF_VIDEO_BLOCK(R, MsMPEG4v2, true, 768, 768, true, 640, 480, true, 7, 0),
        PF_AUDIO_BLOCK(R, Mp3, false, 64, 0, 1),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TVobSettings>& FieldsOf<TVobSettings>()
{
    using R = TVobSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R),
        PF_INDEX(R, AudioCodec, 1), PF_FLAG(R, AudioDisableAudio, false),
        PF_INDEX(R, VideoCodec, 0), PF_FLAG(R, VideoSameQuality, false),
        // Frame rate 3 of the VOB list is "25".
        PF_VIDEO_BLOCK(R, MPEG2, true, 6000, 6000, false, 720, 576, true, 3, 0),
        PF_AUDIO_BLOCK(R, AC3, false, 384, 3, 1),
        PF_AUDIO_BLOCK(R, Mp2, false, 320, 3, 1),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TAacSettings>& FieldsOf<TAacSettings>()
{
    using R = TAacSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_AUDIO_BLOCK(R, AACMP4, false, 128, 6, 1),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TAc3Settings>& FieldsOf<TAc3Settings>()
{
    using R = TAc3Settings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_AUDIO_BLOCK(R, AC3, false, 384, 3, 1),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TMp2Settings>& FieldsOf<TMp2Settings>()
{
    using R = TMp2Settings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_AUDIO_BLOCK(R, Mp2, false, 160, 2, 1),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TMp3Settings>& FieldsOf<TMp3Settings>()
{
    using R = TMp3Settings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_AUDIO_BLOCK(R, Mp3, false, 128, 2, 1),
        PF_INDEX(R, AudioQuality, 0),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TAmrSettings>& FieldsOf<TAmrSettings>()
{
    using R = TAmrSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_AUDIO_BLOCK(R, Armnb, false, 13, 0, 0),
        PF_AUDIO_BLOCK(R, Armwb, false, 13, 0, 0),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TWavSettings>& FieldsOf<TWavSettings>()
{
    using R = TWavSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_PCM_BLOCK(R, Pcm16le, 6, 1),
        PF_PCM_BLOCK(R, Pcmu8, 6, 1),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

// The newer formats' blocks: the source's size and frame rate, list position
// 0 ("same as source") for sample rate and channels.
#define PF_SOURCE_VIDEO(R, S, kbps) PF_VIDEO_BLOCK(R, S, true, kbps, kbps, true, 640, 480, true, 7, 0)
#define PF_SOURCE_AUDIO(R, S, kbps) PF_AUDIO_BLOCK(R, S, false, kbps, 0, 0)

template <>
const TFields<TMkvSettings>& FieldsOf<TMkvSettings>()
{
    using R = TMkvSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_STREAMS(R, 0, 0),
        PF_INDEX(R, VideoQuality, 23), PF_INDEX(R, VideoSpeed, 0),
        PF_SOURCE_VIDEO(R, H264, 1500), PF_SOURCE_VIDEO(R, H265, 1080), PF_SOURCE_VIDEO(R, AV1, 1080),
        PF_SOURCE_VIDEO(R, VP9, 1080),
        PF_SOURCE_AUDIO(R, AACMP4, 128), PF_SOURCE_AUDIO(R, Opus, 128), PF_PCM_BLOCK(R, Flac, 0, 0),
        // AC3 keeps its own lists: 48000 Hz, stereo.
        PF_AUDIO_BLOCK(R, AC3, false, 192, 3, 1), PF_SOURCE_AUDIO(R, Vorbis, 128),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TWebmSettings>& FieldsOf<TWebmSettings>()
{
    using R = TWebmSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_STREAMS(R, 0, 0),
        PF_INDEX(R, VideoQuality, 32), PF_INDEX(R, VideoSpeed, 0),
        PF_SOURCE_VIDEO(R, VP9, 1080), PF_SOURCE_VIDEO(R, AV1, 1080),
        PF_SOURCE_AUDIO(R, Opus, 128), PF_SOURCE_AUDIO(R, Vorbis, 128),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TOpusSettings>& FieldsOf<TOpusSettings>()
{
    using R = TOpusSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_SOURCE_AUDIO(R, Opus, 128),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TFlacSettings>& FieldsOf<TFlacSettings>()
{
    using R = TFlacSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0), PF_INDEX(R, FlacLevel, 5),
        PF_PCM_BLOCK(R, Flac, 0, 0),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TM4aSettings>& FieldsOf<TM4aSettings>()
{
    using R = TM4aSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_SOURCE_AUDIO(R, AACMP4, 256), PF_PCM_BLOCK(R, Alac, 0, 0),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

template <>
const TFields<TOggSettings>& FieldsOf<TOggSettings>()
{
    using R = TOggSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0), PF_INDEX(R, VorbisQuality, 5),
        PF_SOURCE_AUDIO(R, Vorbis, 160),
        PF_COMMON_KEYS(R)
    };
    return fields;
}

#define PF_CURRENT(X) \
    template <>       \
    T##X##Settings& CurrentOf<T##X##Settings>() { return X##Settings; }
PF_CURRENT(AVI)
PF_CURRENT(MP4)
PF_CURRENT(TGP)
PF_CURRENT(MPEG)
PF_CURRENT(Mov)
PF_CURRENT(Wmv)
PF_CURRENT(Rm)
PF_CURRENT(Swf)
PF_CURRENT(Vob)
PF_CURRENT(Asf)
PF_CURRENT(Aac)
PF_CURRENT(Ac3)
PF_CURRENT(Mp2)
PF_CURRENT(Mp3)
PF_CURRENT(Amr)
PF_CURRENT(Wav)
PF_CURRENT(Mkv)
PF_CURRENT(Webm)
PF_CURRENT(Opus)
PF_CURRENT(Flac)
PF_CURRENT(M4a)
PF_CURRENT(Ogg)
#undef PF_CURRENT

template <class R>
const TField<R>* FindRow(std::string_view key)
{
    for (const TField<R>& f : FieldsOf<R>())
        if (f.Info.Key == key)
            return &f;
    return nullptr;
}

template <class R>
std::vector<TFieldInfo> InfosOf()
{
    std::vector<TFieldInfo> infos;
    for (const TField<R>& f : FieldsOf<R>())
        infos.push_back(f.Info);
    return infos;
}

constexpr std::size_t FormatCount = std::variant_size_v<TProfileRecord>;
static_assert(FormatCount == OutputFormatCount);

template <std::size_t... I>
std::array<std::vector<TFieldInfo>, FormatCount> BuildInfos(std::index_sequence<I...>)
{
    return {InfosOf<std::variant_alternative_t<I, TProfileRecord>>()...};
}

template <std::size_t... I>
TProfileRecord EmptyRecord(int format, std::index_sequence<I...>)
{
    using TMaker = TProfileRecord (*)();
    static const TMaker makers[] = {[]() -> TProfileRecord { return TProfileRecord(std::in_place_index<I>); }...};
    return makers[format]();
}

void CheckFormat(int format)
{
    if (!IsRecordFormat(format))
        throw std::out_of_range("No profile record for format " + std::to_string(format));
}

} // namespace

TFieldValue TFieldInfo::Default() const
{
    switch (Kind) {
    case TFieldKind::Text:
        return TextDefault ? *TextDefault : std::string();
    case TFieldKind::Time:
        return std::string(TimeDefault ? TimeDefault : "");
    case TFieldKind::Flag:
        return NumberDefault != 0;
    case TFieldKind::Index:
        return static_cast<uint8_t>(NumberDefault);
    case TFieldKind::Number:
        break;
    }
    return NumberDefault;
}

bool IsRecordFormat(int format)
{
    return format >= 0 && format < static_cast<int>(FormatCount);
}

int RecordFormat(const TProfileRecord& record)
{
    return static_cast<int>(record.index());
}

const std::vector<TFieldInfo>& RecordFields(int format)
{
    static const std::array<std::vector<TFieldInfo>, FormatCount> infos =
        BuildInfos(std::make_index_sequence<FormatCount>());
    static const std::vector<TFieldInfo> none;
    return IsRecordFormat(format) ? infos[static_cast<std::size_t>(format)] : none;
}

std::vector<std::string> RecordKeys(int format)
{
    std::vector<std::string> keys;
    for (const TFieldInfo& f : RecordFields(format))
        keys.emplace_back(f.Key);
    return keys;
}

const TFieldInfo* FindField(int format, std::string_view key)
{
    for (const TFieldInfo& f : RecordFields(format))
        if (f.Key == key)
            return &f;
    return nullptr;
}

TProfileRecord DefaultRecord(int format)
{
    CheckFormat(format);
    TProfileRecord record = EmptyRecord(format, std::make_index_sequence<FormatCount>());
    for (const TFieldInfo& f : RecordFields(format))
        SetField(record, f.Key, f.Default());
    return record;
}

TProfileRecord LoadRecord(int format, const std::string& fileName)
{
    TProfileRecord record = DefaultRecord(format);
    const TIniFile ini(fileName); // a missing file reads as empty and is not created
    for (const TFieldInfo& f : RecordFields(format)) {
        const std::string key(f.Key);
        switch (f.Kind) {
        case TFieldKind::Text:
        case TFieldKind::Time:
            SetField(record, key, ini.ReadString(ProfileSection, key, GetText(record, key)));
            break;
        case TFieldKind::Flag:
            SetField(record, key, ini.ReadBool(ProfileSection, key, GetFlag(record, key)));
            break;
        case TFieldKind::Index:
            // An index keeps the low 8 bits of the number read: 258 reads as 2.
            SetField(record, key, static_cast<uint8_t>(ini.ReadInteger(ProfileSection, key, GetIndex(record, key)) & 0xFF));
            break;
        case TFieldKind::Number:
            SetField(record, key, ini.ReadInteger(ProfileSection, key, GetNumber(record, key)));
            break;
        }
    }
    return record;
}

void SaveRecord(const TProfileRecord& record, const std::string& fileName)
{
    TIniFile ini(fileName);
    for (const TFieldInfo& f : RecordFields(RecordFormat(record))) {
        const std::string key(f.Key);
        switch (f.Kind) {
        case TFieldKind::Text:
        case TFieldKind::Time:
            ini.WriteString(ProfileSection, key, GetText(record, key));
            break;
        case TFieldKind::Flag:
            ini.WriteBool(ProfileSection, key, GetFlag(record, key));
            break;
        case TFieldKind::Index:
            ini.WriteInteger(ProfileSection, key, GetIndex(record, key));
            break;
        case TFieldKind::Number:
            ini.WriteInteger(ProfileSection, key, GetNumber(record, key));
            break;
        }
    }
    ini.UpdateFile(); // throws EIniWriteError; the old file then stays as it was
}

TProfileRecord CurrentRecord(int format)
{
    CheckFormat(format);
    TProfileRecord record = EmptyRecord(format, std::make_index_sequence<FormatCount>());
    std::visit([](auto& r) { r = CurrentOf<std::decay_t<decltype(r)>>(); }, record);
    return record;
}

void SetCurrentRecord(const TProfileRecord& record)
{
    std::visit([](const auto& r) { CurrentOf<std::decay_t<decltype(r)>>() = r; }, record);
}

std::optional<TFieldValue> GetField(const TProfileRecord& record, std::string_view key)
{
    return std::visit(
        [key](const auto& r) -> std::optional<TFieldValue> {
            using R = std::decay_t<decltype(r)>;
            const TField<R>* row = FindRow<R>(key);
            if (!row)
                return std::nullopt;
            return std::visit(
                [&r](auto member) -> TFieldValue {
                    using T = std::decay_t<decltype(r.*member)>;
                    return TFieldValue(std::in_place_type<T>, r.*member);
                },
                row->Member);
        },
        record);
}

bool SetField(TProfileRecord& record, std::string_view key, const TFieldValue& value)
{
    return std::visit(
        [key, &value](auto& r) -> bool {
            using R = std::decay_t<decltype(r)>;
            const TField<R>* row = FindRow<R>(key);
            if (!row)
                return false;
            return std::visit(
                [&r, &value](auto member) -> bool {
                    using T = std::decay_t<decltype(r.*member)>;
                    const T* v = std::get_if<T>(&value);
                    if (!v)
                        return false;
                    r.*member = *v;
                    return true;
                },
                row->Member);
        },
        record);
}

namespace {

template <class T>
T GetAs(const TProfileRecord& record, std::string_view key, const T& fallback)
{
    const std::optional<TFieldValue> v = GetField(record, key);
    if (v)
        if (const T* p = std::get_if<T>(&*v))
            return *p;
    return fallback;
}

} // namespace

std::string GetText(const TProfileRecord& record, std::string_view key, const std::string& fallback)
{
    return GetAs<std::string>(record, key, fallback);
}

bool GetFlag(const TProfileRecord& record, std::string_view key, bool fallback)
{
    return GetAs<bool>(record, key, fallback);
}

uint8_t GetIndex(const TProfileRecord& record, std::string_view key, uint8_t fallback)
{
    return GetAs<uint8_t>(record, key, fallback);
}

int32_t GetNumber(const TProfileRecord& record, std::string_view key, int32_t fallback)
{
    return GetAs<int32_t>(record, key, fallback);
}
