#include "profiles/EditorRules.h"

#include <algorithm>
#include <cctype>

#include "app/AppUtils.h"
#include "lang/MultiLanguages.h"

// ---- Bitrate trackbars ----

int ShownPresetPosition(const TPresetTable& table, int32_t value, int startPosition, int trackBarMax)
{
    return std::clamp(PresetPosition(table, value, startPosition), 1, std::max(1, trackBarMax));
}

namespace {

// One row of a range rule: sample-rate indexes first..last allow positions min..max.
struct TRangeRow {
    int FirstRate;
    int LastRate;
    int Min;
    int Max;
};

const std::vector<TRangeRow>& RangeRows(TBitrateRangeRule rule)
{
    static const std::vector<TRangeRow> none;
    // AC3: 22050 and 24000 up to 320 kbit/s; 44100 and 48000 from 48 to 448.
    static const std::vector<TRangeRow> ac3 = {{0, 1, 1, 12}, {2, 3, 2, 14}};
    // MPEG audio at the half rates reaches 160 kbit/s.
    static const std::vector<TRangeRow> mp2 = {{0, 1, 1, 8}, {2, 3, 1, 13}};
    static const std::vector<TRangeRow> mp3 = {{0, 1, 1, 8}, {2, 3, 1, 12}};
    // AAC by sample rate: 11025/12000, 16000, 22050/24000, 32000, 44100/48000.
    static const std::vector<TRangeRow> aac = {{0, 1, 1, 5}, {2, 2, 1, 6}, {3, 4, 1, 8}, {5, 5, 1, 10}, {6, 7, 1, 12}};
    static const std::vector<TRangeRow> aacPsp = {{0, 0, 1, 12}};
    // SWF Mp3 rates: 11025, 22050, 44100.
    static const std::vector<TRangeRow> swfMp3 = {{0, 1, 1, 8}, {2, 2, 1, 12}};
    switch (rule) {
    case TBitrateRangeRule::Ac3: return ac3;
    case TBitrateRangeRule::Mp2: return mp2;
    case TBitrateRangeRule::Mp3: return mp3;
    case TBitrateRangeRule::Aac: return aac;
    case TBitrateRangeRule::AacPsp: return aacPsp;
    case TBitrateRangeRule::SwfMp3: return swfMp3;
    case TBitrateRangeRule::None: break;
    }
    return none;
}

} // namespace

TPositionRange AudioBitrateRange(TBitrateRangeRule rule, int trackBarMax, int sampleRateIndex, int channelsIndex)
{
    const int top = std::max(1, trackBarMax);
    // 5.1 AC3 is always 48000 Hz and needs at least 96 kbit/s, whatever rate the hidden list holds.
    if (Ac3FixedSampleRate(rule, channelsIndex))
        return {std::min(6, top), top};
    for (const TRangeRow& row : RangeRows(rule))
        if (sampleRateIndex >= row.FirstRate && sampleRateIndex <= row.LastRate)
            return {std::min(row.Min, top), std::min(row.Max, top)};
    return {1, top};
}

int ClampPosition(int position, TPositionRange range)
{
    return std::clamp(position, range.Min, std::max(range.Min, range.Max));
}

bool Ac3FixedSampleRate(TBitrateRangeRule rule, int channelsIndex)
{
    return rule == TBitrateRangeRule::Ac3 && channelsIndex == Ac3SixChannelsIndex;
}

// ---- Video size ----

int32_t EvenVideoDimension(int32_t value)
{
    value = std::clamp(value, MinVideoDimension, MaxVideoDimension);
    return (value % 2 != 0) ? value + 1 : value;
}

std::optional<std::pair<int32_t, int32_t>> SizePresetValue(const std::string& entry)
{
    // <digits> [blanks] x [blanks] <digits>, then anything.
    size_t i = 0;
    auto readNumber = [&](int32_t& out) {
        const size_t start = i;
        int64_t n = 0;
        while (i < entry.size() && std::isdigit(static_cast<unsigned char>(entry[i])) && i - start < 9)
            n = n * 10 + (entry[i++] - '0');
        out = static_cast<int32_t>(n);
        return i > start;
    };
    auto skipBlanks = [&] {
        while (i < entry.size() && entry[i] == ' ')
            ++i;
    };
    int32_t width = 0, height = 0;
    if (!readNumber(width))
        return std::nullopt;
    skipBlanks();
    if (i >= entry.size() || (entry[i] != 'x' && entry[i] != 'X'))
        return std::nullopt;
    ++i;
    skipBlanks();
    if (!readNumber(height))
        return std::nullopt;
    return std::make_pair(width, height);
}

int SizePresetIndex(const std::vector<std::string>& entries, int32_t width, int32_t height)
{
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto size = SizePresetValue(entries[i]);
        if (size && size->first == width && size->second == height)
            return static_cast<int>(i);
    }
    return static_cast<int>(entries.size()) - 1;
}

namespace {
const std::pair<int32_t, int32_t> H263Sizes[H263SizeCount] = {{128, 96}, {176, 144}, {352, 288}};
}

int H263SizeRadio(int32_t width, int32_t height)
{
    for (int i = 0; i < H263SizeCount; ++i)
        if (H263Sizes[i].first == width && H263Sizes[i].second == height)
            return i;
    return -1;
}

std::optional<std::pair<int32_t, int32_t>> H263SizeOfRadio(int radio)
{
    if (radio < 0 || radio >= H263SizeCount)
        return std::nullopt;
    return H263Sizes[radio];
}

// ---- Lists and radio groups ----

int ListShowIndex(uint8_t stored, int itemCount)
{
    return stored < itemCount ? stored : -1;
}

uint8_t ListCollectIndex(int itemIndex)
{
    return (itemIndex < 0 || itemIndex > 254) ? 255 : static_cast<uint8_t>(itemIndex);
}

int RadioShowIndex(uint8_t stored, int radioCount)
{
    return stored < radioCount ? stored : -1;
}

uint8_t RadioCollectIndex(int checkedRadio, uint8_t stored)
{
    return (checkedRadio < 0 || checkedRadio > 255) ? stored : static_cast<uint8_t>(checkedRadio);
}

// ---- Time edits ----

namespace {

bool TimeInRange(int64_t ms)
{
    return ms >= 0 && ms <= MaxEditorTimeMs;
}

// The time of another edit; one that cannot be read counts as 0.
int64_t OtherTime(const std::string& text)
{
    return std::max<int64_t>(0, TimeTextToMs(text));
}

} // namespace

std::string EndTimeText(const std::string& startTime, const std::string& duration)
{
    return MsToTimeText(OtherTime(startTime) + OtherTime(duration));
}

bool StartTimeExit(TTimeEdits& edits, const std::string& remembered)
{
    const int64_t start = TimeTextToMs(edits.Start);
    if (!TimeInRange(start)) {
        edits.Start = remembered;
        return false;
    }
    edits.Start = MsToTimeText(start);
    int64_t end = OtherTime(edits.End);
    if (start >= end) {
        end = start;
        edits.End = MsToTimeText(end);
    }
    edits.Duration = MsToTimeText(end - start);
    return true;
}

bool EndTimeExit(TTimeEdits& edits, const std::string& remembered)
{
    const int64_t end = TimeTextToMs(edits.End);
    const int64_t start = OtherTime(edits.Start);
    if (!TimeInRange(end) || end < start) {
        edits.End = remembered;
        return false;
    }
    edits.End = MsToTimeText(end);
    edits.Duration = MsToTimeText(end - start);
    return true;
}

bool DurationExit(TTimeEdits& edits, const std::string& remembered)
{
    const int64_t duration = TimeTextToMs(edits.Duration);
    if (!TimeInRange(duration)) {
        edits.Duration = remembered;
        return false;
    }
    edits.Duration = MsToTimeText(duration);
    edits.End = MsToTimeText(OtherTime(edits.Start) + duration);
    return true;
}

// ---- Enabled and visible states ----

TVideoPageEnables VideoPageEnables(bool usePreset, bool keepSourceSize, bool keepFrameRate)
{
    return {usePreset, !usePreset, !keepSourceSize, !keepFrameRate};
}

TMpegPresetView MpegPresetView(bool usePresetFormats, uint8_t presetType, bool disableAudio)
{
    TMpegPresetView v{};
    v.PresetRadiosEnabled = usePresetFormats;
    v.CodecGroupsVisible = !usePresetFormats;
    v.VideoTabVisible = !usePresetFormats;
    v.AudioTabVisible = !usePresetFormats && !disableAudio;
    v.DvdTabVisible = usePresetFormats && presetType == MpegPresetDvd;
    v.AudioListsEnabled = !disableAudio;
    return v;
}

// ---- 3GP ----

int TgpFrontPair(uint8_t tgpFormat)
{
    return tgpFormat == 0 ? 0 : 1;
}

std::optional<TTgpNotice> TgpNokiaVideoNotice(int index)
{
    if (index == 1) // "MPEG-4"
        return TTgpNotice{&IDS_PROFILE_MESSAGEBOX_MPEG4, &IDS_PROFILE_MESSAGEBOX_MPEG4Select};
    return std::nullopt;
}

std::optional<TTgpNotice> TgpNokiaAudioNotice(int index)
{
    if (index == 1) // "AMR Narrow-Wide"
        return TTgpNotice{&IDS_PROFILE_MESSAGEBOX_ATTENTION, &IDS_PROFILE_AMRNBSELECTED_TITLE};
    if (index == 2) // "AAC"
        return TTgpNotice{&IDS_PROFILE_MESSAGEBOX_ATTENTIONACC, &IDS_PROFILE_AACSELECTED_TITLE};
    return std::nullopt;
}
