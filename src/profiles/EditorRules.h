#pragma once

// The rules of the profile editors that need no widget: bitrate trackbar
// ranges and positions, size presets, the time edits, list and radio
// conventions, enabled and visible states. The editor window calls these and
// only moves their results into its controls, so every rule is testable
// without a display.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "profiles/globals.h"

// ---- Bitrate trackbars ----

// Trackbar positions are 1-based: position p stands for entry p of the
// codec's preset table. Before the stored value is searched (PresetPosition),
// a trackbar starts from the position of its kind.
constexpr int VideoStartPosition = 2;
constexpr int AudioStartPosition = 4;
constexpr int DvdStartPosition = 6; // both trackbars of the MPEG DVD tab
constexpr int DvdVideoTrackBarMax = 11; // the first 11 entries of the standard video table

// A usable part of a trackbar, both ends included.
struct TPositionRange {
    int Min = 1;
    int Max = 1;
    bool operator==(const TPositionRange&) const = default;
};

// The position that shows a stored value: the start position moved to the
// last entry equal to the value, then brought into 1..trackBarMax (the 3GP
// trackbars offer fewer positions than their tables hold).
int ShownPresetPosition(const TPresetTable& table, int32_t value, int startPosition, int trackBarMax);

// Which usable part of an audio bitrate trackbar a sample rate (and for AC3
// the channels) allow.
enum class TBitrateRangeRule { None, Ac3, Mp2, Mp3, Aac, AacPsp, SwfMp3 };

// The AC3 channel list's entry "6 (5.1 AC3 48000kHz)".
constexpr int Ac3SixChannelsIndex = 2;

// The usable positions of an audio trackbar with trackBarMax positions, for
// the sample-rate and channel list indexes shown (-1: no selection). A rule
// of None, or a sample rate the rule does not name, gives the whole trackbar.
TPositionRange AudioBitrateRange(TBitrateRangeRule rule, int trackBarMax, int sampleRateIndex, int channelsIndex);

// A position brought to the nearest end of a range.
int ClampPosition(int position, TPositionRange range);

// AC3 with 5.1 channels: the sample-rate list is covered by the fixed "48000".
bool Ac3FixedSampleRate(TBitrateRangeRule rule, int channelsIndex);

// ---- Video size ----

constexpr int MinVideoDimension = 2;
constexpr int MaxVideoDimension = 1600;

// A width or height as stored when its edit is left: brought into 2..1600,
// then an odd number is increased by one, so stored sizes are even.
int32_t EvenVideoDimension(int32_t value);

// The two numbers of a size preset entry: "720x576" and "352 x 240 (VCD
// NTSC)" give (720, 576) and (352, 240); text after the numbers is ignored.
// nullopt for "..." or any entry without two numbers.
std::optional<std::pair<int32_t, int32_t>> SizePresetValue(const std::string& entry);

// The size list entry for a width and height: the first entry whose two
// numbers equal them, otherwise the last entry ("..."); -1 for an empty list.
int SizePresetIndex(const std::vector<std::string>& entries, int32_t width, int32_t height);

// The H263 size radios "128 x 96", "176 x 144", "352 x 288".
constexpr int H263SizeCount = 3;
// The radio of a stored pair, -1 when the pair is none of the three.
int H263SizeRadio(int32_t width, int32_t height);
// The pair of a radio; nullopt for a radio outside 0..2 (the fields stay).
std::optional<std::pair<int32_t, int32_t>> H263SizeOfRadio(int radio);

// ---- Lists and radio groups ----

// A list shows a stored index when it lies inside the list, else no
// selection (-1).
int ListShowIndex(uint8_t stored, int itemCount);
// A list collects its item index; no selection (-1) is stored as 255.
uint8_t ListCollectIndex(int itemIndex);

// A radio group shows a stored index when a radio has it, else none (-1).
int RadioShowIndex(uint8_t stored, int radioCount);
// A radio group collects the first checked radio; none checked keeps the field.
uint8_t RadioCollectIndex(int checkedRadio, uint8_t stored);

// Aspect radios: three on a video page (Auto, 4:3, 16:9), five on an H263
// page (Auto, 1:1, 4:3, 11:9, 16:9).
constexpr int VideoAspectCount = 3;
constexpr int H263AspectCount = 5;

// ---- Time edits ----

// The largest time an edit accepts: 200 hours.
constexpr int64_t MaxEditorTimeMs = 720000000;

// The texts of the start, duration and end edits.
struct TTimeEdits {
    std::string Start;
    std::string Duration;
    std::string End;
    bool operator==(const TTimeEdits&) const = default;
};

// The end time shown with a record: start + duration in canonical form. An
// unreadable start or duration counts as 0.
std::string EndTimeText(const std::string& startTime, const std::string& duration);

// The rules run when a time edit loses the focus. The edit holds the typed
// text and `remembered` the text it had when it got the focus. A rejected
// value restores the remembered text and changes nothing else (false);
// otherwise the edit is rewritten in canonical form and the others follow
// (true). Unreadable texts in the other edits count as 0.
//  - start: rejected below 0 or above the limit; when at or after the end,
//    the end becomes the start; duration = end - start.
//  - end: rejected below 0, below the start or above the limit;
//    duration = end - start.
//  - duration: rejected below 0 or above the limit; end = start + duration.
bool StartTimeExit(TTimeEdits& edits, const std::string& remembered);
bool EndTimeExit(TTimeEdits& edits, const std::string& remembered);
bool DurationExit(TTimeEdits& edits, const std::string& remembered);

// ---- Enabled and visible states ----

// A video page's dependent controls.
struct TVideoPageEnables {
    bool PresetControls; // "Current bitrate:", value label, range captions, trackbar, its "kbps"
    bool SpecifyControls; // specify label, its "kbps", "&Configure"
    bool SizeControls; // width, height, their labels, "X", "Video Dimensions", size list
    bool FrameRateList;
    bool operator==(const TVideoPageEnables&) const = default;
};
TVideoPageEnables VideoPageEnables(bool usePreset, bool keepSourceSize, bool keepFrameRate);

// An audio page's bitrate controls are enabled unless the bitrate is set
// automatically.
inline bool AudioBitrateControlsEnabled(bool autoSet) { return !autoSet; }

// The MPEG editor's preset group and what it hides.
struct TMpegPresetView {
    bool PresetRadiosEnabled; // "Type " and "Target format"
    bool CodecGroupsVisible; // video codec, both audio codec, same-quality, disable-audio groups
    bool VideoTabVisible;
    bool AudioTabVisible;
    bool DvdTabVisible;
    bool AudioListsEnabled;
    bool operator==(const TMpegPresetView&) const = default;
};
constexpr uint8_t MpegPresetDvd = 2; // PresetType: 0 VCD, 1 SVCD, 2 DVD
TMpegPresetView MpegPresetView(bool usePresetFormats, uint8_t presetType, bool disableAudio);

// ---- 3GP ----

// Which pair of codec lists is in front: 0 Nokia (format 0), 1 Sony.
int TgpFrontPair(uint8_t tgpFormat);

// A notice shown when the user picks a Nokia codec entry.
struct TTgpNotice {
    const std::string* Text;
    const std::string* Title;
};
// The notice for choosing entry `index` of the Nokia video list ("MPEG-4")
// or audio list ("AMR Narrow-Wide", "AAC"); nullopt for the other entries.
std::optional<TTgpNotice> TgpNokiaVideoNotice(int index);
std::optional<TTgpNotice> TgpNokiaAudioNotice(int index);
