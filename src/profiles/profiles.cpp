#include "profiles/profiles.h"

#include <variant>

#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"

// Every record is described once, as a table of rows (key, kind, member,
// default). One routine each assigns the defaults, loads and saves by walking
// a table, so the key a field is read from is always the key it is written to.

namespace {

const char* const ProfileSection = "General";
const char* const ZeroTime = "0:00:00.000";

enum class TFieldKind { Text, Time, Flag, Index, Number };

template <class R>
struct TField {
    const char* Key;
    TFieldKind Kind;
    std::variant<std::string R::*, bool R::*, uint8_t R::*, int32_t R::*> Member;
    int32_t NumberDefault = 0;            // flag, index, number
    const char* TimeDefault = nullptr;    // time
    const std::string* TextDefault = nullptr; // text: read when the defaults are assigned
};

template <class R>
TField<R> TextRow(const char* key, std::string R::*m, const std::string* def)
{
    return {key, TFieldKind::Text, m, 0, nullptr, def};
}
template <class R>
TField<R> TimeRow(const char* key, std::string R::*m, const char* def)
{
    return {key, TFieldKind::Time, m, 0, def, nullptr};
}
template <class R>
TField<R> FlagRow(const char* key, bool R::*m, bool def)
{
    return {key, TFieldKind::Flag, m, def ? 1 : 0, nullptr, nullptr};
}
template <class R>
TField<R> IndexRow(const char* key, uint8_t R::*m, int32_t def)
{
    return {key, TFieldKind::Index, m, def, nullptr, nullptr};
}
template <class R>
TField<R> NumberRow(const char* key, int32_t R::*m, int32_t def)
{
    return {key, TFieldKind::Number, m, def, nullptr, nullptr};
}

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

template <class R>
using TFields = std::vector<TField<R>>;

// The usual AVI/MOV block defaults: preset bitrate, source size 640 x 480, "Auto" frame rate at "25".
#define PF_AVI_BLOCK(S) PF_VIDEO_BLOCK(TAVISettings, S, true, 1080, 1080, true, 640, 480, true, 7, 0)

const TFields<TAVISettings>& AVIFields()
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
    };
    return fields;
}

const TFields<TMP4Settings>& MP4Fields()
{
    using R = TMP4Settings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_INDEX(R, Format, 3), PF_TIME_CONTROL(R), PF_STREAMS(R, 0, 0),
        PF_VIDEO_BLOCK(R, DivX, true, 1200, 1200, false, 320, 240, true, 7, 0),
        PF_VIDEO_BLOCK(R, XviD, true, 1200, 1200, false, 320, 240, true, 7, 0),
        PF_VIDEO_BLOCK(R, H264, true, 1200, 1200, false, 320, 240, true, 7, 0),
        PF_AUDIO_BLOCK(R, AACMP4, false, 64, 3, 1),
        PF_AUDIO_BLOCK(R, AACPsp, false, 64, 0, 1),
    };
    return fields;
}

const TFields<TTGPSettings>& TGPFields()
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
    };
    return fields;
}

const TFields<TMPEGSettings>& MPEGFields()
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
    };
    return fields;
}

const TFields<TMovSettings>& MovFields()
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
    };
    return fields;
}

const TFields<TWmvSettings>& WmvFields()
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
    };
    return fields;
}

const TFields<TRmSettings>& RmFields()
{
    using R = TRmSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_STREAMS(R, 0, 0),
        PF_VIDEO_BLOCK(R, Rm10, true, 768, 768, true, 320, 240, true, 7, 0),
        PF_AUDIO_BLOCK(R, AC3, false, 256, 3, 1),
    };
    return fields;
}

const TFields<TSwfSettings>& SwfFields()
{
    using R = TSwfSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R),
        PF_FLAG(R, VideoSameQuality, false), PF_INDEX(R, VideoCodec, 0),
        PF_INDEX(R, AudioCodec, 0), PF_FLAG(R, AudioDisableAudio, false),
        PF_VIDEO_BLOCK(R, Flv, true, 768, 768, true, 640, 480, true, 7, 0),
        PF_AUDIO_BLOCK(R, Mp3, true, 64, 1, 1),
    };
    return fields;
}

const TFields<TAsfSettings>& AsfFields()
{
    using R = TAsfSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R),
        PF_INDEX(R, AudioCodec, 0), PF_FLAG(R, AudioDisableAudio, false),
        PF_INDEX(R, VideoCodec, 0), PF_FLAG(R, VideoSameQuality, false),
        PF_VIDEO_BLOCK(R, MsMPEG4, true, 768, 768, true, 640, 480, true, 7, 0),
        PF_VIDEO_BLOCK(R, MsMPEG4v2, true, 768, 768, true, 640, 480, true, 7, 0),
        PF_AUDIO_BLOCK(R, Mp3, false, 64, 0, 1),
    };
    return fields;
}

const TFields<TVobSettings>& VobFields()
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
    };
    return fields;
}

const TFields<TAacSettings>& AacFields()
{
    using R = TAacSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_AUDIO_BLOCK(R, AACMP4, false, 128, 6, 1),
    };
    return fields;
}

const TFields<TAc3Settings>& Ac3Fields()
{
    using R = TAc3Settings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_AUDIO_BLOCK(R, AC3, false, 384, 3, 1),
    };
    return fields;
}

const TFields<TMp2Settings>& Mp2Fields()
{
    using R = TMp2Settings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_AUDIO_BLOCK(R, Mp2, false, 160, 2, 1),
    };
    return fields;
}

const TFields<TMp3Settings>& Mp3Fields()
{
    using R = TMp3Settings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_AUDIO_BLOCK(R, Mp3, false, 128, 2, 1),
    };
    return fields;
}

const TFields<TAmrSettings>& AmrFields()
{
    using R = TAmrSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_AUDIO_BLOCK(R, Armnb, false, 13, 0, 0),
        PF_AUDIO_BLOCK(R, Armwb, false, 13, 0, 0),
    };
    return fields;
}

const TFields<TWavSettings>& WavFields()
{
    using R = TWavSettings;
    static const TFields<R> fields = {
        PF_DESCRIPTION(R), PF_TIME_CONTROL(R), PF_INDEX(R, AudioCodec, 0),
        PF_PCM_BLOCK(R, Pcm16le, 6, 1),
        PF_PCM_BLOCK(R, Pcmu8, 6, 1),
    };
    return fields;
}

template <class R>
void AssignDefaults(R& record, const TFields<R>& fields)
{
    for (const TField<R>& f : fields) {
        switch (f.Kind) {
        case TFieldKind::Text:
            record.*std::get<std::string R::*>(f.Member) = f.TextDefault ? *f.TextDefault : std::string();
            break;
        case TFieldKind::Time:
            record.*std::get<std::string R::*>(f.Member) = f.TimeDefault ? f.TimeDefault : "";
            break;
        case TFieldKind::Flag:
            record.*std::get<bool R::*>(f.Member) = f.NumberDefault != 0;
            break;
        case TFieldKind::Index:
            record.*std::get<uint8_t R::*>(f.Member) = static_cast<uint8_t>(f.NumberDefault);
            break;
        case TFieldKind::Number:
            record.*std::get<int32_t R::*>(f.Member) = f.NumberDefault;
            break;
        }
    }
}

template <class R>
void LoadRecord(R& record, const TFields<R>& fields, const std::string& fileName)
{
    AssignDefaults(record, fields);
    const TIniFile ini(fileName); // a missing file reads as empty and is not created
    for (const TField<R>& f : fields) {
        switch (f.Kind) {
        case TFieldKind::Text:
        case TFieldKind::Time: {
            std::string& field = record.*std::get<std::string R::*>(f.Member);
            field = ini.ReadString(ProfileSection, f.Key, field);
            break;
        }
        case TFieldKind::Flag: {
            bool& field = record.*std::get<bool R::*>(f.Member);
            field = ini.ReadBool(ProfileSection, f.Key, field);
            break;
        }
        case TFieldKind::Index: {
            // An index keeps the low 8 bits of the number read: 258 reads as 2.
            uint8_t& field = record.*std::get<uint8_t R::*>(f.Member);
            field = static_cast<uint8_t>(ini.ReadInteger(ProfileSection, f.Key, field) & 0xFF);
            break;
        }
        case TFieldKind::Number: {
            int32_t& field = record.*std::get<int32_t R::*>(f.Member);
            field = ini.ReadInteger(ProfileSection, f.Key, field);
            break;
        }
        }
    }
}

template <class R>
void SaveRecord(const R& record, const TFields<R>& fields, const std::string& fileName)
{
    TIniFile ini(fileName);
    for (const TField<R>& f : fields) {
        switch (f.Kind) {
        case TFieldKind::Text:
        case TFieldKind::Time:
            ini.WriteString(ProfileSection, f.Key, record.*std::get<std::string R::*>(f.Member));
            break;
        case TFieldKind::Flag:
            ini.WriteBool(ProfileSection, f.Key, record.*std::get<bool R::*>(f.Member));
            break;
        case TFieldKind::Index:
            ini.WriteInteger(ProfileSection, f.Key, record.*std::get<uint8_t R::*>(f.Member));
            break;
        case TFieldKind::Number:
            ini.WriteInteger(ProfileSection, f.Key, record.*std::get<int32_t R::*>(f.Member));
            break;
        }
    }
    ini.UpdateFile(); // throws EIniWriteError; the old file then stays as it was
}

} // namespace

#define PF_ROUTINES(X)                                                                          \
    void Default##X##Settings() { AssignDefaults(X##Settings, X##Fields()); }                   \
    void Load##X##Settings(const std::string& fileName) { LoadRecord(X##Settings, X##Fields(), fileName); } \
    void Save##X##Settings(const std::string& fileName) { SaveRecord(X##Settings, X##Fields(), fileName); }

PF_ROUTINES(AVI)
PF_ROUTINES(MP4)
PF_ROUTINES(TGP)
PF_ROUTINES(MPEG)
PF_ROUTINES(Mov)
PF_ROUTINES(Wmv)
PF_ROUTINES(Rm)
PF_ROUTINES(Swf)
PF_ROUTINES(Asf)
PF_ROUTINES(Vob)
PF_ROUTINES(Aac)
PF_ROUTINES(Ac3)
PF_ROUTINES(Mp2)
PF_ROUTINES(Mp3)
PF_ROUTINES(Amr)
PF_ROUTINES(Wav)

namespace {

struct TFormatRoutines {
    void (*Default)();
    void (*Load)(const std::string&);
    void (*Save)(const std::string&);
};

// Indexed by OutputFormatKind value (VOB 8, ASF 9).
const TFormatRoutines FormatRoutines[OutputFormatCount] = {
    {DefaultAVISettings, LoadAVISettings, SaveAVISettings},
    {DefaultMP4Settings, LoadMP4Settings, SaveMP4Settings},
    {DefaultTGPSettings, LoadTGPSettings, SaveTGPSettings},
    {DefaultMPEGSettings, LoadMPEGSettings, SaveMPEGSettings},
    {DefaultMovSettings, LoadMovSettings, SaveMovSettings},
    {DefaultWmvSettings, LoadWmvSettings, SaveWmvSettings},
    {DefaultRmSettings, LoadRmSettings, SaveRmSettings},
    {DefaultSwfSettings, LoadSwfSettings, SaveSwfSettings},
    {DefaultVobSettings, LoadVobSettings, SaveVobSettings},
    {DefaultAsfSettings, LoadAsfSettings, SaveAsfSettings},
    {DefaultAacSettings, LoadAacSettings, SaveAacSettings},
    {DefaultAc3Settings, LoadAc3Settings, SaveAc3Settings},
    {DefaultMp2Settings, LoadMp2Settings, SaveMp2Settings},
    {DefaultMp3Settings, LoadMp3Settings, SaveMp3Settings},
    {DefaultAmrSettings, LoadAmrSettings, SaveAmrSettings},
    {DefaultWavSettings, LoadWavSettings, SaveWavSettings},
};

bool ValidFormat(int format)
{
    return format >= 0 && format < OutputFormatCount;
}

} // namespace

void DefaultFormatSettings(int format)
{
    if (ValidFormat(format))
        FormatRoutines[format].Default();
}

void LoadFormatSettings(int format, const std::string& fileName)
{
    if (ValidFormat(format))
        FormatRoutines[format].Load(fileName);
}

void SaveFormatSettings(int format, const std::string& fileName)
{
    if (ValidFormat(format))
        FormatRoutines[format].Save(fileName);
}
