#include "cmdline/OptionDetails.h"

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "app/VisibleText.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "profiles/EditorDescriptions.h"
#include "profiles/ProfileCheck.h"
#include "profiles/RecordFields.h"
#include "profiles/globals.h"
#include "profiles/profiles.h"

#include <cstdint>
#include <iterator>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Every builder is its format's table of codecs: which literal names the
// codec, which block of the profile record it reads and which lookup tables
// turn the block's indexes into pieces. The routines below walk those tables.
// The order of the codecs is not the builder's: it is the order of the
// editor's lists (EditorDescriptions), so a stored index names the same codec
// in the editor and on the line.

namespace {

// ---- Lookup tables: stored index -> piece; nullptr is "no piece" ----

using TPieceTable = std::span<const char* const>;

constexpr const char* FrameRatePieces[] = {
    "-r 10 ",
    "-r 12 ",
    "-r 14.985 ",
    "-r 15 ",
    "-r 19.98 ",
    "-r 23.976 ",
    "-r 24 ",
    "-r 25 ",
    "-r 29.97 ",
    "-r 30 ",
    "-r 50 ",
    "-r 59.94 ",
    "-r 60 ",
};
constexpr const char* VobFrameRatePieces[] = {
    "-r 19.98 ",
    "-r 23.976 ",
    "-r 24 ",
    "-r 25 ",
    "-r 29.97 ",
    "-r 30 ",
    "-r 50 ",
    "-r 59.94 ",
    "-r 60 ",
};
// What the editors' "Auto" frame-rate choice puts on the line.
constexpr const char* KeepFrameRatePiece = "-r 25 ";

constexpr const char* StandardAspectPieces[] = { nullptr, "-aspect 4:3 ", "-aspect 16:9 " };
// H.263 pages offer Auto, 1:1, 4:3, 11:9, 16:9; only two of them reach the line.
constexpr const char* H263AspectPieces[] = { nullptr, nullptr, "-aspect 4:3 ", nullptr, "-aspect 16:9 " };
constexpr const char* TgpAspectPieces[] = { "-aspect 11:9 ", "-aspect 4:3 ", "-aspect 16:9 " };
constexpr const char* TgpH263AspectPieces[] = { "-aspect 11:9 ", nullptr, "-aspect 4:3 ", nullptr, "-aspect 16:9 " };
constexpr const char* VobAspectPieces[] = { "-aspect 5:4 ", "-aspect 4:3 ", "-aspect 16:9 " };
constexpr TPieceTable NoAspect {};

constexpr const char* FourRatePieces[] = { "-ar 22050 ", "-ar 24000 ", "-ar 44100 ", "-ar 48000 " };
constexpr const char* EightRatePieces[] = {
    "-ar 11025 ",
    "-ar 12000 ",
    "-ar 16000 ",
    "-ar 22050 ",
    "-ar 24000 ",
    "-ar 32000 ",
    "-ar 44100 ",
    "-ar 48000 ",
};
constexpr const char* SwfMp3RatePieces[] = { "-ar 11025 ", "-ar 22050 ", "-ar 44100 " };
constexpr const char* PspAacRatePieces[] = { "-ar 48000 " };
constexpr const char* AmrNbRatePieces[] = { "-ar 8000 " };
constexpr const char* AmrWbRatePieces[] = { "-ar 16000 " };

// The newer formats' lists: entry 0 ("same as source") writes nothing.
constexpr const char* SourceRatePieces[] = {
    nullptr,
    "-ar 8000 ",
    "-ar 11025 ",
    "-ar 12000 ",
    "-ar 16000 ",
    "-ar 22050 ",
    "-ar 24000 ",
    "-ar 32000 ",
    "-ar 44100 ",
    "-ar 48000 ",
    "-ar 88200 ",
    "-ar 96000 ",
};
constexpr const char* OpusRatePieces[] = { nullptr, "-ar 8000 ", "-ar 12000 ", "-ar 16000 ", "-ar 24000 ", "-ar 48000 " };
constexpr const char* SourceChannelPieces[] = { nullptr, "-ac 1 ", "-ac 2 ", "-ac 6 " };

constexpr const char* StereoChannelPieces[] = { "-ac 1 ", "-ac 2 " };
constexpr const char* MonoChannelPieces[] = { "-ac 1 " };
// The AC3 channel list's third entry: 5.1 channels always at 48000 Hz, so it
// carries its own rate and the stored rate index is not consulted.
constexpr const char* Ac3SurroundPiece = "-ac 5:1 -ar 48000 ";
constexpr uint8_t Ac3SurroundIndex = 2;

void AppendPiece(std::string& options, TPieceTable table, unsigned index)
{
    if (index < table.size() && table[index])
        options += table[index];
}

// ---- Time piece ----

// The time texts go on the line as stored. Blanks and quotes inside one would
// split it into further encoder options (a hand-edited or foreign profile
// could smuggle in output files that way), so those characters are left out
// and the text stays a single argument.
std::string TimeArgument(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '"' || c == '\'')
            continue;
        result += c;
    }
    return result;
}

// A time text for the line: empty (the encoder then takes no range), or one
// that TimeTextToMs reads, which holds only digits, ":" and "."; anything else
// could begin an option of its own ("-i") and is refused naming its key.
std::string CheckedTimeArgument(const std::string& key, const std::string& text, const std::string& profileFileName)
{
    std::string value = TimeArgument(text);
    if (!value.empty() && TimeTextToMs(value) < 0)
        throw TProfileValueError(FormatText(IDS_MESSAGEBOX_BadProfileTime,
                                            {qvtext::VisibleText(profileFileName), key, qvtext::VisibleText(text)}));
    return value;
}

template <class TRecord>
void AppendTimePiece(std::string& options, const TRecord& r, const std::string& profileFileName)
{
    if (r.EnableTimeControl)
        options += " -t " + CheckedTimeArgument("Duration", r.Duration, profileFileName) + " -ss " +
                   CheckedTimeArgument("StartTime", r.StartTime, profileFileName) + " ";
}

// ---- Video block ----

// The nine fields of one video codec block, copied out of the record.
struct TVideoBlock {
    bool UsePresert;
    int32_t Preset;
    int32_t Specify;
    bool SizeUseSource; // H.263 blocks have no such key: always false, so the size is always written
    int32_t Width;
    int32_t Height;
    bool KeepFrameRate;
    uint8_t FrameRate;
    uint8_t Aspect;
};

#define QV_VIDEO_BLOCK(r, C)                                                                                           \
    TVideoBlock                                                                                                        \
    {                                                                                                                  \
        r.VideoBitRateUsePresert##C, r.VideoBitRatePreset##C, r.VideoBitRateSpecify##C, r.VideoSizeUseSource##C,       \
            r.VideoWidth##C, r.VideoHeight##C, r.VideoKeepFrameRate##C, r.VideoFrameRate##C, r.VideoAspect##C          \
    }
#define QV_H263_BLOCK(r)                                                                                               \
    TVideoBlock                                                                                                        \
    {                                                                                                                  \
        r.VideoBitRateUsePresertH263, r.VideoBitRatePresetH263, r.VideoBitRateSpecifyH263, false, r.VideoWidthH263,    \
            r.VideoHeightH263, r.VideoKeepFrameRateH263, r.VideoFrameRateH263, r.VideoAspectH263                       \
    }

enum class TVideoOrder {
    SizeFirst, // size, bitrate, frame rate, aspect
    BitRateFirst, // bitrate, size, frame rate (RM)
};

struct TVideoCodec {
    const char* Piece; // "-vcodec xvid "
    TVideoBlock Block;
    TPieceTable Aspects = StandardAspectPieces;
    TPieceTable FrameRates = FrameRatePieces;
    TVideoOrder Order = TVideoOrder::SizeFirst;
    // What "keep the frame rate" writes: "Auto" (25 fps) for the sixteen,
    // nothing (the source's rate) for the newer formats.
    const char* KeepPiece = KeepFrameRatePiece;
};

void AppendSize(std::string& options, const TVideoBlock& b)
{
    if (!b.SizeUseSource)
        options += "-s " + std::to_string(b.Width) + "x" + std::to_string(b.Height) + " ";
}

void AppendVideoBitRate(std::string& options, bool usePreset, int32_t preset, int32_t specify)
{
    options += "-b " + std::to_string(usePreset ? preset : specify) + "k ";
}

void AppendVideoCodec(std::string& options, const TVideoCodec& c)
{
    const TVideoBlock& b = c.Block;
    options += c.Piece;
    if (c.Order == TVideoOrder::SizeFirst) {
        AppendSize(options, b);
        AppendVideoBitRate(options, b.UsePresert, b.Preset, b.Specify);
    } else {
        AppendVideoBitRate(options, b.UsePresert, b.Preset, b.Specify);
        AppendSize(options, b);
    }
    if (b.KeepFrameRate) {
        if (c.KeepPiece)
            options += c.KeepPiece;
    }
    else
        AppendPiece(options, c.FrameRates, b.FrameRate);
    AppendPiece(options, c.Aspects, b.Aspect);
}

void AppendVideoPart(std::string& options, std::span<const TVideoCodec> codecs, unsigned index)
{
    if (index < codecs.size())
        AppendVideoCodec(options, codecs[index]);
}

// ---- Audio block ----

struct TAudioBlock {
    bool HasBitRate; // PCM and A-law blocks have no bitrate keys
    bool UseAutoSet;
    int32_t Preset;
    uint8_t SampleRate;
    uint8_t Channels;
};

#define QV_AUDIO_BLOCK(r, A)                                                                                           \
    TAudioBlock { true, r.AudioBitRateUseAutoSet##A, r.AudioBitRatePreset##A, r.AudioSampleRate##A, r.AudioChannels##A }
#define QV_PCM_BLOCK(r, A)                                                                                             \
    TAudioBlock { false, true, 0, r.AudioSampleRate##A, r.AudioChannels##A }

enum class TAudioOrder {
    RateLast, // channels, bitrate, rate (MP2, MP3, AAC)
    RateFirst, // channels, rate, bitrate (AMR; PCM and A-law have no bitrate)
    Ac3, // channels with their rate (or 5.1 at 48000), bitrate
};

// A kind of audio codec: its channel list, its rate list and its piece order.
struct TAudioKind {
    TPieceTable Channels;
    TPieceTable Rates;
    TAudioOrder Order;
};

constexpr TAudioKind MpegAudio { StereoChannelPieces, FourRatePieces, TAudioOrder::RateLast }; // MP2 and MP3
constexpr TAudioKind SwfMp3 { StereoChannelPieces, SwfMp3RatePieces, TAudioOrder::RateLast };
constexpr TAudioKind Aac { StereoChannelPieces, EightRatePieces, TAudioOrder::RateLast };
constexpr TAudioKind PspAac { StereoChannelPieces, PspAacRatePieces, TAudioOrder::RateLast };
constexpr TAudioKind Ac3 { StereoChannelPieces, FourRatePieces, TAudioOrder::Ac3 };
constexpr TAudioKind AmrNb { MonoChannelPieces, AmrNbRatePieces, TAudioOrder::RateFirst };
constexpr TAudioKind AmrWb { MonoChannelPieces, AmrWbRatePieces, TAudioOrder::RateFirst };
constexpr TAudioKind Pcm { StereoChannelPieces, EightRatePieces, TAudioOrder::RateFirst }; // also A-law
constexpr TAudioKind SourceAudio { SourceChannelPieces, SourceRatePieces, TAudioOrder::RateLast }; // AAC, Vorbis
constexpr TAudioKind OpusAudio { SourceChannelPieces, OpusRatePieces, TAudioOrder::RateLast };
constexpr TAudioKind Lossless { SourceChannelPieces, SourceRatePieces, TAudioOrder::RateFirst }; // FLAC, ALAC

struct TAudioCodec {
    const char* Piece; // "-acodec mp3 "; nullptr writes no codec piece
    TAudioBlock Block;
    const TAudioKind& Kind;
};

void AppendAudioBitRate(std::string& options, const TAudioBlock& b)
{
    if (b.HasBitRate && !b.UseAutoSet)
        options += "-ab " + std::to_string(b.Preset) + " ";
}

void AppendAudioCodec(std::string& options, const TAudioCodec& c)
{
    const TAudioBlock& b = c.Block;
    const TAudioKind& k = c.Kind;
    if (c.Piece)
        options += c.Piece;
    switch (k.Order) {
    case TAudioOrder::RateLast:
        AppendPiece(options, k.Channels, b.Channels);
        AppendAudioBitRate(options, b);
        AppendPiece(options, k.Rates, b.SampleRate);
        break;
    case TAudioOrder::RateFirst:
        AppendPiece(options, k.Channels, b.Channels);
        AppendPiece(options, k.Rates, b.SampleRate);
        AppendAudioBitRate(options, b);
        break;
    case TAudioOrder::Ac3:
        if (b.Channels == Ac3SurroundIndex) {
            options += Ac3SurroundPiece;
        } else if (b.Channels < k.Channels.size()) {
            AppendPiece(options, k.Channels, b.Channels);
            AppendPiece(options, k.Rates, b.SampleRate);
        }
        AppendAudioBitRate(options, b);
        break;
    }
}

void AppendAudioChoice(std::string& options, std::span<const TAudioCodec> codecs, unsigned index)
{
    if (index < codecs.size())
        AppendAudioCodec(options, codecs[index]);
}

// The audio part of a video line: "-an " or the chosen codec's pieces.
void AppendAudioPart(std::string& options, bool disableAudio, std::span<const TAudioCodec> codecs, unsigned index)
{
    if (disableAudio)
        options += "-an ";
    else
        AppendAudioChoice(options, codecs, index);
}

// ---- Codec rows in the editor's list order ----

// A builder's row for the record block with this key suffix.
template <class TRow> struct TBlockRow {
    std::string_view Suffix;
    TRow Row;
};

// The rows of one codec list, entry by entry: each entry's page names the
// block, which picks the row. An entry without a row is a fault of the
// program, not of the profile. Entries without a page (MKV's "sound only")
// have no row; they come last, so that the rows keep the entries' positions.
template <class TRow>
std::vector<TRow> InListOrder(
    const TCodecList& list, const std::vector<TCodecPage>& pages, std::initializer_list<TBlockRow<TRow>> rows)
{
    std::vector<TRow> ordered;
    ordered.reserve(list.Entries.size());
    for (const TCodecEntry& entry : list.Entries) {
        if (entry.Page < 0) {
            if (&entry != &list.Entries.back())
                throw std::logic_error("an entry without a page must come last in " + list.Key);
            continue;
        }
        const std::string& suffix = pages.at(static_cast<size_t>(entry.Page)).Suffix;
        const TBlockRow<TRow>* found = nullptr;
        for (const TBlockRow<TRow>& row : rows)
            if (row.Suffix == suffix)
                found = &row;
        if (!found)
            throw std::logic_error("no option row for the codec block " + suffix + " of " + list.Key);
        ordered.push_back(found->Row);
    }
    return ordered;
}

template <class TRow> std::vector<TRow> VideoRows(int format, size_t list, std::initializer_list<TBlockRow<TRow>> rows)
{
    const TEditorDescription& d = EditorDescription(format);
    return InListOrder(d.VideoLists.at(list), d.VideoPages, rows);
}

template <class TRow> std::vector<TRow> AudioRows(int format, size_t list, std::initializer_list<TBlockRow<TRow>> rows)
{
    const TEditorDescription& d = EditorDescription(format);
    return InListOrder(d.AudioLists.at(list), d.AudioPages, rows);
}

constexpr int FormatOf(OutputFormatKind k) { return static_cast<int>(k); }

using V = TBlockRow<TVideoCodec>;
using A = TBlockRow<TAudioCodec>;

// ---- Frames ----

template <class TRecord> void AppendSameQuality(std::string& options, const TRecord& r)
{
    if (r.VideoSameQuality)
        options += "-sameq ";
}

// Constant quality and speed (the newer formats, MP4), after the video
// codec's pieces: "-crf n" for VideoQuality n (0 keeps the bitrate),
// "-speed faster" or "-speed smaller" (balanced is the encoder's default).
template <class TRecord> void AppendQualityAndSpeed(std::string& options, const TRecord& r)
{
    constexpr uint8_t HighestQuality = 63;
    if (r.VideoQuality > 0 && r.VideoQuality <= HighestQuality)
        options += "-crf " + std::to_string(r.VideoQuality) + " ";
    constexpr const char* SpeedPieces[] = { nullptr, "-speed faster ", "-speed smaller " };
    AppendPiece(options, SpeedPieces, r.VideoSpeed);
}

// Whether the chosen entry of the format's first video list shows the page
// of this block, such as "H264".
bool ChosenVideoIs(int format, unsigned index, std::string_view suffix)
{
    const TEditorDescription& d = EditorDescription(format);
    const int page = EntryPage(d.VideoLists.at(0), static_cast<int>(index));
    return page >= 0 && d.VideoPages.at(static_cast<size_t>(page)).Suffix == suffix;
}

// Head, time piece and same-quality piece of a video line.
template <class TRecord>
void AppendVideoFrame(std::string& options, const char* head, const TRecord& r, const std::string& profileFileName)
{
    options += head;
    AppendTimePiece(options, r, profileFileName);
    AppendSameQuality(options, r);
}

// A whole audio-format line: head, time piece, "-vn ", the chosen codec.
template <class TRecord>
void AppendAudioLine(std::string& options, const char* head, const TRecord& r, std::span<const TAudioCodec> codecs,
                     const std::string& profileFileName)
{
    options += head;
    AppendTimePiece(options, r, profileFileName);
    options += "-vn ";
    AppendAudioChoice(options, codecs, r.AudioCodec);
}

} // namespace

// ---- Loudness ----

TLoudnessOverride LoudnessOverride;

namespace {

// Tenths as a decimal text: -230 -> "-23.0".
std::string Tenths(int32_t v)
{
    const int32_t a = v < 0 ? -v : v;
    return std::string(v < 0 ? "-" : "") + std::to_string(a / 10) + "." + std::to_string(a % 10);
}

} // namespace

std::string LoudnessPiece(bool on, int32_t target, int32_t peak, bool album, const TLoudnessOverride& override)
{
    if (override.SetOn) {
        on = override.On;
        target = override.Target;
    }
    if (override.SetPeak)
        peak = override.Peak;
    if (!on)
        return {};
    return "-loudness " + Tenths(target) + " -truepeak " + Tenths(peak) + " " + (album ? "-loudness-album " : "");
}

// ---- Dispatcher ----

bool ForceCopyFitting = false;

void BuildEncoderOptions(const std::string& profileFileName, std::string& options)
{
    using TBuilder = void (*)(const std::string&, std::string&);
    // In OutputFormatKind order.
    static constexpr TBuilder Builders[OutputFormatCount] = {
        BuildAVIOptions,
        BuildMP4Options,
        BuildTGPOptions,
        BuildMPEGOptions,
        BuildMovOptions,
        BuildWmvOptions,
        BuildRmOptions,
        BuildSwfOptions,
        BuildVobOptions,
        BuildAsfOptions,
        BuildAacOptions,
        BuildAc3Options,
        BuildMp2Options,
        BuildMp3Options,
        BuildAmrOptions,
        BuildWavOptions,
        BuildMkvOptions,
        BuildWebmOptions,
        BuildOpusOptions,
        BuildFlacOptions,
        BuildM4aOptions,
        BuildOggOptions,
    };
    options.clear();
    if (Options.OutputFormat < OutputFormatCount) {
        Builders[Options.OutputFormat](profileFileName, options);
        // Without "Keep tags" the output gets neither tags nor cover art.
        if (!GetFlag(CurrentRecord(Options.OutputFormat), "KeepTags", true))
            options += "-map_metadata -1 ";
        // The builder has just loaded the profile into the format's record.
        if (ForceCopyFitting || GetFlag(CurrentRecord(Options.OutputFormat), "CopyFitting"))
            options += "-copyfit ";
        // Every format has sound: the loudness keys are common to all records.
        const TProfileRecord r = CurrentRecord(Options.OutputFormat);
        options += LoudnessPiece(GetFlag(r, "NormaliseLoudness"), GetNumber(r, "LoudnessTarget", DefaultLoudnessTarget),
                                 GetNumber(r, "TruePeakCeiling", DefaultTruePeakCeiling),
                                 GetFlag(r, "LoudnessAlbumMode"), LoudnessOverride);
    }
}

void BuildCheckedEncoderOptions(const std::string& profileFileName, std::string& options)
{
    options.clear();
    // A profile that cannot be read as it stands would otherwise convert
    // with default settings, as if nothing were wrong.
    if (Options.OutputFormat < OutputFormatCount) {
        const std::vector<TProfileProblem> problems = ProfileFileProblems(Options.OutputFormat, profileFileName);
        if (!problems.empty())
            throw TProfileValueError(ProfileProblemText(profileFileName, problems));
    }
    BuildEncoderOptions(profileFileName, options);
}

// ---- Video formats ----

void BuildAVIOptions(const std::string& profileFileName, std::string& options)
{
    LoadAVISettings(profileFileName);
    const TAVISettings s = AVISettings;
    constexpr int F = FormatOf(OutputFormatKind::AVI);
    // The record's DV, MPEG1 and MPEG2 blocks belong to no codec choice.
    const auto video = VideoRows<TVideoCodec>(F, 0,
        {
            V { "DivX", { "-vcodec msmpeg4 ", QV_VIDEO_BLOCK(s, DivX) } },
            V { "XviD", { "-vcodec xvid ", QV_VIDEO_BLOCK(s, XviD) } },
            V { "MsMPEG4", { "-vcodec msmpeg4 ", QV_VIDEO_BLOCK(s, MsMPEG4) } },
            V { "MsMPEG4v2", { "-vcodec msmpeg4v2 ", QV_VIDEO_BLOCK(s, MsMPEG4v2) } },
            V { "H263", { "-vcodec h263 ", QV_H263_BLOCK(s), H263AspectPieces } },
            V { "H263P", { "-vcodec h263p ", QV_VIDEO_BLOCK(s, H263P) } },
            V { "H264", { "-vcodec h264 ", QV_VIDEO_BLOCK(s, H264) } },
            V { "huffYUV", { "-vcodec ffvhuff ", QV_VIDEO_BLOCK(s, huffYUV) } },
            V { "Mjpeg", { "-vcodec mjpeg ", QV_VIDEO_BLOCK(s, Mjpeg) } },
            V { "Svq1", { "-vcodec svq1 ", QV_VIDEO_BLOCK(s, Svq1) } },
            V { "Flv", { "-vcodec flv ", QV_VIDEO_BLOCK(s, Flv) } },
        });
    const auto audio = AudioRows<TAudioCodec>(F, 0,
        {
            A { "Mp2", { "-acodec mp2 ", QV_AUDIO_BLOCK(s, Mp2), MpegAudio } },
            A { "Mp3", { "-acodec mp3 ", QV_AUDIO_BLOCK(s, Mp3), MpegAudio } },
            A { "Pcm16le", { "-acodec pcm_s16le ", QV_PCM_BLOCK(s, Pcm16le), Pcm } },
            A { "Pcmu8", { "-acodec pcm_u8 ", QV_PCM_BLOCK(s, Pcmu8), Pcm } },
            A { "AC3", { "-acodec ac3 ", QV_AUDIO_BLOCK(s, AC3), Ac3 } },
        });
    AppendVideoFrame(options, "-y -f avi ", s, profileFileName);
    AppendVideoPart(options, video, s.VideoCodec);
    if (ChosenVideoIs(F, s.VideoCodec, "H264"))
        AppendQualityAndSpeed(options, s);
    AppendAudioPart(options, s.AudioDisableAudio, audio, s.AudioCodec);
}

void BuildMP4Options(const std::string& profileFileName, std::string& options)
{
    LoadMP4Settings(profileFileName);
    const TMP4Settings s = MP4Settings;
    constexpr int F = FormatOf(OutputFormatKind::MP4);
    constexpr const char* ContainerPieces[] = { "-f mp4 ", "-f psp ", "-f mp4 ", "-f mp4 " };
    constexpr uint8_t PspFormat = 1;
    // The DivX and XviD blocks of the record belong to no codec choice.
    const auto video = VideoRows<TVideoCodec>(F, 0,
        {
            V { "H264", { "-vcodec h264 ", QV_VIDEO_BLOCK(s, H264) } },
            V { "H265", { "-vcodec hevc ", QV_VIDEO_BLOCK(s, H265) } },
            V { "AV1", { "-vcodec av1 ", QV_VIDEO_BLOCK(s, AV1) } },
        });
    // The PSP target reads the AAC block of its own.
    const auto audio = AudioRows<TAudioCodec>(F, 0,
        { A { "AACMP4",
            s.Format == PspFormat ? TAudioCodec { "-acodec aac ", QV_AUDIO_BLOCK(s, AACPsp), PspAac }
                                  : TAudioCodec { "-acodec aac ", QV_AUDIO_BLOCK(s, AACMP4), Aac } } });
    options += "-y ";
    AppendPiece(options, ContainerPieces, s.Format);
    AppendTimePiece(options, s, profileFileName);
    AppendSameQuality(options, s);
    AppendVideoPart(options, video, s.VideoCodec);
    if (s.VideoCodec < video.size())
        AppendQualityAndSpeed(options, s);
    AppendAudioPart(options, s.AudioDisableAudio, audio, s.AudioCodec);
}

void BuildTGPOptions(const std::string& profileFileName, std::string& options)
{
    LoadTGPSettings(profileFileName);
    const TTGPSettings s = TGPSettings;
    constexpr int F = FormatOf(OutputFormatKind::TGP);
    const std::initializer_list<V> videoRows = {
        V { "H263", { "-vcodec h263 ", QV_H263_BLOCK(s), TgpH263AspectPieces } },
        V { "DivX", { "-vcodec msmpeg4 ", QV_VIDEO_BLOCK(s, DivX), TgpAspectPieces } },
        V { "XviD", { "-vcodec xvid ", QV_VIDEO_BLOCK(s, XviD), TgpAspectPieces } },
    };
    const std::initializer_list<A> audioRows = {
        A { "Armnb", { "-acodec amr_nb ", QV_AUDIO_BLOCK(s, Armnb), AmrNb } },
        A { "Armwb", { "-acodec amr_wb ", QV_AUDIO_BLOCK(s, Armwb), AmrWb } },
        A { "AACMP4", { "-acodec aac ", QV_AUDIO_BLOCK(s, AACMP4), Aac } },
    };
    // Format 0 reads the Nokia pair of codec keys, every other format the Sony pair.
    const TPageChoice pair = SelectPages(EditorDescription(F), TPageState { s.TGPFormat, {}, {} });
    const auto video = VideoRows<TVideoCodec>(F, static_cast<size_t>(pair.VideoList), videoRows);
    const auto audio = AudioRows<TAudioCodec>(F, static_cast<size_t>(pair.AudioList), audioRows);
    const bool nokia = pair.VideoList == 0;

    AppendVideoFrame(options, "-y -f 3gp ", s, profileFileName);
    AppendVideoPart(options, video, nokia ? s.VideoCodecNokia : s.VideoCodecSony);
    AppendAudioPart(options, s.AudioDisableAudio, audio, nokia ? s.AudioCodecNokia : s.AudioCodecSony);
}

void BuildMPEGOptions(const std::string& profileFileName, std::string& options)
{
    LoadMPEGSettings(profileFileName);
    const TMPEGSettings s = MPEGSettings;
    constexpr int F = FormatOf(OutputFormatKind::MPEG);
    AppendTimePiece(options, s, profileFileName);

    if (s.UsePresetFormats) {
        // A disc preset is written by its target alone; only DVD adds its own
        // bitrate, aspect and audio bitrate.
        constexpr const char* TargetPieces[3][3] = {
            { "-target film-vcd ", "-target ntsc-vcd ", "-target pal-vcd " },
            { "-target film-svcd ", "-target ntsc-svcd ", "-target pal-svcd " },
            { "-target film-dvd ", "-target ntsc-dvd ", "-target pal-dvd " },
        };
        constexpr uint8_t DvdPreset = 2;
        constexpr const char* DvdAspectPieces[] = { "-aspect 1:1 ", "-aspect 4:3 ", "-aspect 16:9 " };
        if (s.PresetType < std::size(TargetPieces))
            AppendPiece(options, TargetPieces[s.PresetType], s.TargetFormat);
        if (s.PresetType != DvdPreset)
            return;
        AppendVideoBitRate(options, s.DVDVideoBitRateUsePresert, s.DVDVideoBitRatePreset, s.DVDVideoBitRateSpecify);
        if (!s.DVDVideoKeepAspect)
            AppendPiece(options, DvdAspectPieces, s.DVDVideoAspect);
        AppendAudioBitRate(options, TAudioBlock { true, s.DVDAudioBitRateUseAutoSet, s.DVDAudioBitRatePreset, 0, 0 });
        return;
    }

    const auto video = VideoRows<TVideoCodec>(F, 0,
        {
            V { "MPEG1", { "-vcodec mpeg1video ", QV_VIDEO_BLOCK(s, MPEG1) } },
            V { "MPEG2", { "-vcodec mpeg2video ", QV_VIDEO_BLOCK(s, MPEG2) } },
        });
    // The audio list in front follows the video codec: its own list for
    // MPEG-2, the MPEG-1 list for any other index.
    const TPageChoice choice = SelectPages(EditorDescription(F), TPageState { 0, { s.VideoCodec }, {} });
    const auto audio = AudioRows<TAudioCodec>(F, static_cast<size_t>(choice.AudioList),
        {
            A { "AC3", { "-acodec ac3 ", QV_AUDIO_BLOCK(s, AC3), Ac3 } },
            A { "Mp2", { "-acodec mp2 ", QV_AUDIO_BLOCK(s, Mp2), MpegAudio } },
            A { "Mp3", { "-acodec mp3 ", QV_AUDIO_BLOCK(s, Mp3), MpegAudio } },
        });
    const uint8_t audioCodec = choice.AudioList == 1 ? s.AudioCodecMPEG2 : s.AudioCodecMPEG1;

    options += "-y "; // the time piece is already in front
    AppendSameQuality(options, s);
    AppendVideoPart(options, video, s.VideoCodec);
    AppendAudioPart(options, s.AudioDisableAudio, audio, audioCodec);
}

void BuildMovOptions(const std::string& profileFileName, std::string& options)
{
    LoadMovSettings(profileFileName);
    const TMovSettings s = MovSettings;
    constexpr int F = FormatOf(OutputFormatKind::MOV);
    // H.263 and H.264 in a MOV file carry no aspect option; their stored
    // aspect choices are not written.
    const auto video = VideoRows<TVideoCodec>(F, 0,
        {
            V { "Svq1", { "-vcodec svq1 ", QV_VIDEO_BLOCK(s, Svq1) } },
            V { "DivX", { "-vcodec msmpeg4 ", QV_VIDEO_BLOCK(s, DivX) } },
            V { "XviD", { "-vcodec xvid ", QV_VIDEO_BLOCK(s, XviD) } },
            V { "H263", { "-vcodec h263 ", QV_H263_BLOCK(s), NoAspect } },
            V { "H264", { "-vcodec h264 ", QV_VIDEO_BLOCK(s, H264), NoAspect } },
        });
    // AAC names no codec: the encoder picks its own for the container.
    const auto audio = AudioRows<TAudioCodec>(F, 0,
        {
            A { "AACMP4", { nullptr, QV_AUDIO_BLOCK(s, AACMP4), Aac } },
            A { "Alaw", { "-acodec pcm_alaw ", QV_PCM_BLOCK(s, Alaw), Pcm } },
            A { "Armnb", { "-acodec amr_nb ", QV_AUDIO_BLOCK(s, Armnb), AmrNb } },
            A { "Pcm16le", { "-acodec pcm_s16le ", QV_PCM_BLOCK(s, Pcm16le), Pcm } },
            A { "Pcm16be", { "-acodec pcm_s16be ", QV_PCM_BLOCK(s, Pcm16be), Pcm } },
        });
    AppendVideoFrame(options, "-y -f mov ", s, profileFileName);
    AppendVideoPart(options, video, s.VideoCodec);
    if (ChosenVideoIs(F, s.VideoCodec, "H264"))
        AppendQualityAndSpeed(options, s);
    AppendAudioPart(options, s.AudioDisableAudio, audio, s.AudioCodec);
}

void BuildWmvOptions(const std::string& profileFileName, std::string& options)
{
    LoadWmvSettings(profileFileName);
    const TWmvSettings s = WmvSettings;
    constexpr int F = FormatOf(OutputFormatKind::WMV);
    const auto video = VideoRows<TVideoCodec>(F, 0,
        {
            V { "MsMPEG4", { "-vcodec msmpeg4 ", QV_VIDEO_BLOCK(s, MsMPEG4) } },
            V { "MsMPEG4v2", { "-vcodec msmpeg4v2 ", QV_VIDEO_BLOCK(s, MsMPEG4v2) } },
            V { "Wmv7", { "-vcodec wmv1 ", QV_VIDEO_BLOCK(s, Wmv7) } },
            V { "Wmv8", { "-vcodec wmv2 ", QV_VIDEO_BLOCK(s, Wmv8) } },
        });
    const auto audio
        = AudioRows<TAudioCodec>(F, 0, { A { "Mp3", { "-acodec mp3 ", QV_AUDIO_BLOCK(s, Mp3), MpegAudio } } });
    AppendVideoFrame(options, "-y ", s, profileFileName); // no container: the output name tells the encoder
    AppendVideoPart(options, video, s.VideoCodec);
    AppendAudioPart(options, s.AudioDisableAudio, audio, s.AudioCodec);
}

void BuildRmOptions(const std::string& profileFileName, std::string& options)
{
    LoadRmSettings(profileFileName);
    const TRmSettings s = RmSettings;
    constexpr int F = FormatOf(OutputFormatKind::RM);
    // Real Video writes its bitrate before the size and takes no aspect option.
    const auto video = VideoRows<TVideoCodec>(F, 0,
        { V { "Rm10",
            { "-vcodec rv10 ", QV_VIDEO_BLOCK(s, Rm10), NoAspect, FrameRatePieces, TVideoOrder::BitRateFirst } } });
    const auto audio = AudioRows<TAudioCodec>(F, 0, { A { "AC3", { "-acodec ac3 ", QV_AUDIO_BLOCK(s, AC3), Ac3 } } });
    AppendVideoFrame(options, "-y -f rm ", s, profileFileName);
    AppendVideoPart(options, video, s.VideoCodec);
    AppendAudioPart(options, s.AudioDisableAudio, audio, s.AudioCodec);
}

void BuildSwfOptions(const std::string& profileFileName, std::string& options)
{
    LoadSwfSettings(profileFileName);
    const TSwfSettings s = SwfSettings;
    constexpr int F = FormatOf(OutputFormatKind::SWF);
    const auto video = VideoRows<TVideoCodec>(F, 0, { V { "Flv", { "-vcodec flv ", QV_VIDEO_BLOCK(s, Flv) } } });
    const auto audio
        = AudioRows<TAudioCodec>(F, 0, { A { "Mp3", { "-acodec mp3 ", QV_AUDIO_BLOCK(s, Mp3), SwfMp3 } } });
    AppendVideoFrame(options, "-y ", s, profileFileName); // no container: the output name tells the encoder
    AppendVideoPart(options, video, s.VideoCodec);
    AppendAudioPart(options, s.AudioDisableAudio, audio, s.AudioCodec);
}

void BuildVobOptions(const std::string& profileFileName, std::string& options)
{
    LoadVobSettings(profileFileName);
    const TVobSettings s = VobSettings;
    constexpr int F = FormatOf(OutputFormatKind::VOB);
    const auto video = VideoRows<TVideoCodec>(F, 0,
        { V { "MPEG2", { "-vcodec mpeg2video ", QV_VIDEO_BLOCK(s, MPEG2), VobAspectPieces, VobFrameRatePieces } } });
    const auto audio = AudioRows<TAudioCodec>(F, 0,
        {
            A { "Mp2", { "-acodec mp2 ", QV_AUDIO_BLOCK(s, Mp2), MpegAudio } },
            A { "AC3", { "-acodec ac3 ", QV_AUDIO_BLOCK(s, AC3), Ac3 } },
        });
    AppendVideoFrame(options, "-y -f vob ", s, profileFileName);
    AppendVideoPart(options, video, s.VideoCodec);
    AppendAudioPart(options, s.AudioDisableAudio, audio, s.AudioCodec);
}

void BuildAsfOptions(const std::string& profileFileName, std::string& options)
{
    LoadAsfSettings(profileFileName);
    const TAsfSettings s = AsfSettings;
    constexpr int F = FormatOf(OutputFormatKind::ASF);
    const auto video = VideoRows<TVideoCodec>(F, 0,
        {
            V { "MsMPEG4", { "-vcodec msmpeg4 ", QV_VIDEO_BLOCK(s, MsMPEG4) } },
            V { "MsMPEG4v2", { "-vcodec msmpeg4v2 ", QV_VIDEO_BLOCK(s, MsMPEG4v2) } },
        });
    const auto audio
        = AudioRows<TAudioCodec>(F, 0, { A { "Mp3", { "-acodec mp3 ", QV_AUDIO_BLOCK(s, Mp3), MpegAudio } } });
    AppendVideoFrame(options, "-y -f asf ", s, profileFileName);
    AppendVideoPart(options, video, s.VideoCodec);
    AppendAudioPart(options, s.AudioDisableAudio, audio, s.AudioCodec);
}

// ---- Audio formats ----

void BuildAacOptions(const std::string& profileFileName, std::string& options)
{
    LoadAacSettings(profileFileName);
    const TAacSettings s = AacSettings;
    const auto audio = AudioRows<TAudioCodec>(
        FormatOf(OutputFormatKind::AAC), 0, { A { "AACMP4", { "-acodec aac ", QV_AUDIO_BLOCK(s, AACMP4), Aac } } });
    AppendAudioLine(options, "-y -f aac ", s, audio, profileFileName);
}

void BuildAc3Options(const std::string& profileFileName, std::string& options)
{
    LoadAc3Settings(profileFileName);
    const TAc3Settings s = Ac3Settings;
    const auto audio = AudioRows<TAudioCodec>(
        FormatOf(OutputFormatKind::AC3), 0, { A { "AC3", { "-acodec ac3 ", QV_AUDIO_BLOCK(s, AC3), Ac3 } } });
    AppendAudioLine(options, "-y -f ac3 ", s, audio, profileFileName);
}

void BuildMp2Options(const std::string& profileFileName, std::string& options)
{
    LoadMp2Settings(profileFileName);
    const TMp2Settings s = Mp2Settings;
    const auto audio = AudioRows<TAudioCodec>(
        FormatOf(OutputFormatKind::MP2), 0, { A { "Mp2", { "-acodec mp2 ", QV_AUDIO_BLOCK(s, Mp2), MpegAudio } } });
    AppendAudioLine(options, "-y -f mp2 ", s, audio, profileFileName);
}

void BuildMp3Options(const std::string& profileFileName, std::string& options)
{
    LoadMp3Settings(profileFileName);
    TMp3Settings s = Mp3Settings;
    // VBR quality n (1 .. 10) is "-aq n-1" (the encoder's 0 .. 9 is LAME's V9 .. V0)
    // and takes the bitrate's place, which would otherwise override it.
    constexpr uint8_t HighestQuality = 10;
    const bool vbr = s.AudioQuality > 0 && s.AudioQuality <= HighestQuality;
    if (vbr)
        s.AudioBitRateUseAutoSetMp3 = true;
    const auto audio = AudioRows<TAudioCodec>(
        FormatOf(OutputFormatKind::MP3), 0, { A { "Mp3", { "-acodec mp3 ", QV_AUDIO_BLOCK(s, Mp3), MpegAudio } } });
    AppendAudioLine(options, "-y -f mp3 ", s, audio, profileFileName);
    if (vbr && s.AudioCodec == 0)
        options += "-aq " + std::to_string(s.AudioQuality - 1) + " ";
}

void BuildAmrOptions(const std::string& profileFileName, std::string& options)
{
    LoadAmrSettings(profileFileName);
    const TAmrSettings s = AmrSettings;
    const auto audio = AudioRows<TAudioCodec>(FormatOf(OutputFormatKind::AMR), 0,
        {
            A { "Armnb", { "-acodec amr_nb ", QV_AUDIO_BLOCK(s, Armnb), AmrNb } },
            A { "Armwb", { "-acodec amr_wb ", QV_AUDIO_BLOCK(s, Armwb), AmrWb } },
        });
    AppendAudioLine(options, "-y -f amr ", s, audio, profileFileName);
}

void BuildWavOptions(const std::string& profileFileName, std::string& options)
{
    LoadWavSettings(profileFileName);
    const TWavSettings s = WavSettings;
    const auto audio = AudioRows<TAudioCodec>(FormatOf(OutputFormatKind::WAV), 0,
        {
            A { "Pcm16le", { "-acodec pcm_s16le ", QV_PCM_BLOCK(s, Pcm16le), Pcm } },
            A { "Pcmu8", { "-acodec pcm_u8 ", QV_PCM_BLOCK(s, Pcmu8), Pcm } },
        });
    AppendAudioLine(options, "-y -f wav ", s, audio, profileFileName);
}

// ---- The newer formats ----

namespace {

// A video row of the newer formats: the source's frame rate when kept.
#define QV_MODERN_VIDEO(piece, r, C) TVideoCodec { piece, QV_VIDEO_BLOCK(r, C), StandardAspectPieces, FrameRatePieces, TVideoOrder::SizeFirst, nullptr }

} // namespace

void BuildMkvOptions(const std::string& profileFileName, std::string& options)
{
    LoadFormatSettings(FormatOf(OutputFormatKind::MKV), profileFileName);
    const TMkvSettings s = MkvSettings;
    constexpr int F = FormatOf(OutputFormatKind::MKV);
    const auto video = VideoRows<TVideoCodec>(F, 0,
        {
            V { "H264", QV_MODERN_VIDEO("-vcodec h264 ", s, H264) },
            V { "H265", QV_MODERN_VIDEO("-vcodec hevc ", s, H265) },
            V { "AV1", QV_MODERN_VIDEO("-vcodec av1 ", s, AV1) },
            V { "VP9", QV_MODERN_VIDEO("-vcodec vp9 ", s, VP9) },
        });
    const auto audio = AudioRows<TAudioCodec>(F, 0,
        {
            A { "AACMP4", { "-acodec aac ", QV_AUDIO_BLOCK(s, AACMP4), SourceAudio } },
            A { "Opus", { "-acodec opus ", QV_AUDIO_BLOCK(s, Opus), OpusAudio } },
            A { "Flac", { "-acodec flac ", QV_PCM_BLOCK(s, Flac), Lossless } },
            A { "AC3", { "-acodec ac3 ", QV_AUDIO_BLOCK(s, AC3), Ac3 } },
            A { "Vorbis", { "-acodec vorbis ", QV_AUDIO_BLOCK(s, Vorbis), SourceAudio } },
        });
    AppendVideoFrame(options, "-y -f matroska ", s, profileFileName);
    // The last list entry, "None (sound only)", has no page: no video stream.
    const TCodecList& videoList = EditorDescription(F).VideoLists.at(0);
    if (s.VideoCodec < videoList.Entries.size() && EntryPage(videoList, s.VideoCodec) < 0) {
        options += "-vn ";
    } else {
        AppendVideoPart(options, video, s.VideoCodec);
        AppendQualityAndSpeed(options, s);
    }
    AppendAudioPart(options, s.AudioDisableAudio, audio, s.AudioCodec);
}

void BuildWebmOptions(const std::string& profileFileName, std::string& options)
{
    LoadFormatSettings(FormatOf(OutputFormatKind::WEBM), profileFileName);
    const TWebmSettings s = WebmSettings;
    constexpr int F = FormatOf(OutputFormatKind::WEBM);
    const auto video = VideoRows<TVideoCodec>(F, 0,
        {
            V { "VP9", QV_MODERN_VIDEO("-vcodec vp9 ", s, VP9) },
            V { "AV1", QV_MODERN_VIDEO("-vcodec av1 ", s, AV1) },
        });
    const auto audio = AudioRows<TAudioCodec>(F, 0,
        {
            A { "Opus", { "-acodec opus ", QV_AUDIO_BLOCK(s, Opus), OpusAudio } },
            A { "Vorbis", { "-acodec vorbis ", QV_AUDIO_BLOCK(s, Vorbis), SourceAudio } },
        });
    AppendVideoFrame(options, "-y -f webm ", s, profileFileName);
    AppendVideoPart(options, video, s.VideoCodec);
    AppendQualityAndSpeed(options, s);
    AppendAudioPart(options, s.AudioDisableAudio, audio, s.AudioCodec);
}

void BuildOpusOptions(const std::string& profileFileName, std::string& options)
{
    LoadFormatSettings(FormatOf(OutputFormatKind::OPUS), profileFileName);
    const TOpusSettings s = OpusSettings;
    const auto audio = AudioRows<TAudioCodec>(FormatOf(OutputFormatKind::OPUS), 0,
        { A { "Opus", { "-acodec opus ", QV_AUDIO_BLOCK(s, Opus), OpusAudio } } });
    AppendAudioLine(options, "-y -f opus ", s, audio, profileFileName);
}

void BuildFlacOptions(const std::string& profileFileName, std::string& options)
{
    LoadFormatSettings(FormatOf(OutputFormatKind::FLAC), profileFileName);
    const TFlacSettings s = FlacSettings;
    const auto audio = AudioRows<TAudioCodec>(FormatOf(OutputFormatKind::FLAC), 0,
        { A { "Flac", { "-acodec flac ", QV_PCM_BLOCK(s, Flac), Lossless } } });
    AppendAudioLine(options, "-y -f flac ", s, audio, profileFileName);
    constexpr uint8_t HighestLevel = 8;
    if (s.FlacLevel <= HighestLevel)
        options += "-compression_level " + std::to_string(s.FlacLevel) + " ";
}

void BuildM4aOptions(const std::string& profileFileName, std::string& options)
{
    LoadFormatSettings(FormatOf(OutputFormatKind::M4A), profileFileName);
    const TM4aSettings s = M4aSettings;
    const auto audio = AudioRows<TAudioCodec>(FormatOf(OutputFormatKind::M4A), 0,
        {
            A { "AACMP4", { "-acodec aac ", QV_AUDIO_BLOCK(s, AACMP4), SourceAudio } },
            A { "Alac", { "-acodec alac ", QV_PCM_BLOCK(s, Alac), Lossless } },
        });
    AppendAudioLine(options, "-y -f ipod ", s, audio, profileFileName);
}

void BuildOggOptions(const std::string& profileFileName, std::string& options)
{
    LoadFormatSettings(FormatOf(OutputFormatKind::OGG), profileFileName);
    const TOggSettings s = OggSettings;
    const auto audio = AudioRows<TAudioCodec>(FormatOf(OutputFormatKind::OGG), 0,
        { A { "Vorbis", { "-acodec vorbis ", QV_AUDIO_BLOCK(s, Vorbis), SourceAudio } } });
    AppendAudioLine(options, "-y -f ogg ", s, audio, profileFileName);
    // With the bitrate set automatically, the quality setting rules.
    constexpr uint8_t HighestQuality = 10;
    if (s.AudioBitRateUseAutoSetVorbis && s.VorbisQuality <= HighestQuality)
        options += "-aq " + std::to_string(s.VorbisQuality) + " ";
}
