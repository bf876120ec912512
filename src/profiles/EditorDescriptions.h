#pragma once

// The profile editors described as data: which codec lists an editor
// has, which page each list entry shows, what each page holds and which keys
// of the record its controls are bound to. The editor window builds itself
// from this description, and the option-line builders take the order of
// their codec rows from the same lists, so an editor's list index and a
// builder's index always mean the same codec.

#include "app/Settings.h"
#include "profiles/EditorRules.h"
#include "profiles/globals.h"

#include <string>
#include <vector>

// What a codec page holds.
enum class TPageKind {
    Video, // bitrate, size (radios, edits, presets), frame rate, three aspects
    H263, // bitrate, three size radios, frame rate, five aspects
    Audio, // automatic bitrate, bitrate trackbar, sample rate, channels
    Pcm, // sample rate and channels only
};

// Lists shown on the pages.
enum class TSizeList { None, Standard, Rm, Mp4, Tgp, Mpeg };
enum class TFrameRateList { None, Standard, Vob };
// The lists of the newer formats (Source, Opus, SourceChannels) begin with
// "Same as source", which writes no rate or channel option.
enum class TSampleRateList { None, Four, Eight, Swf, Psp, AmrNb, AmrWb, Source, Opus };
enum class TChannelList { None, Stereo, Ac3, Mono, SourceChannels };

struct TCodecPage {
    std::string Suffix; // key suffix of the record block: "DivX", "AACMP4"
    const std::string* Caption; // catalogue text naming the page
    TPageKind Kind;
    const TPresetTable* Presets = nullptr; // bitrate table; none for PCM
    int TrackBarMax = 0; // highest trackbar position
    int StartPosition = 0; // trackbar position before the stored value is searched
    TSizeList Sizes = TSizeList::None;
    TFrameRateList FrameRates = TFrameRateList::None;
    TSampleRateList SampleRates = TSampleRateList::None;
    TChannelList Channels = TChannelList::None;
    TBitrateRangeRule RangeRule = TBitrateRangeRule::None;
    // Keeping the frame rate keeps the source's (the newer formats), not 25 fps.
    bool SourceFrameRate = false;
};

// One entry of a codec list: its caption and the page it shows.
struct TCodecEntry {
    const std::string* Caption;
    int Page;
};

// A codec list: the index key it is bound to, its control and its entries.
struct TCodecList {
    std::string Key; // "VideoCodec", "AudioCodecNokia"
    std::string ControlName; // "ComboBoxVideoCodec"
    std::vector<TCodecEntry> Entries;
};

// A list of settings on the General tab bound to an index key, such as the
// FLAC compression level; the window builds a group with one list for it.
struct TSettingList {
    std::string Key; // "FlacLevel"
    std::string ControlName; // "ComboBoxFlacLevel"
    const std::string* Caption; // catalogue text of the group
    std::vector<std::string> (*Entries)(); // the list's texts, in the language in force
};

// The editor's own addition to the common pattern.
enum class TEditorExtra {
    None,
    Mp4Psp, // format list; "Sony PSP" shows the AAC PSP page
    TgpPairs, // format list; Nokia and Sony codec list pairs
    MpegPresets, // preset group, DVD tab, one audio list per video codec
};

struct TEditorDescription {
    int Format; // OutputFormatKind value
    std::string ClassName; // "TfrmAVIProfile"
    const std::string* FormatName; // catalogue name for the title
    bool HasVideo;
    TEditorExtra Extra = TEditorExtra::None;
    // The format-selector list on the General tab (MP4, 3GP).
    std::string FormatKey; // "Format", "TGPFormat"; empty when none
    std::string FormatControl; // "ComboBoxMp4Format"
    std::vector<const std::string*> FormatEntries;
    std::vector<TCodecPage> VideoPages;
    std::vector<TCodecPage> AudioPages;
    std::vector<TCodecList> VideoLists; // 3GP: Nokia, Sony
    std::vector<TCodecList> AudioLists; // 3GP: Nokia, Sony; MPEG: with MPEG-1, with MPEG-2
    std::vector<TSettingList> SettingLists; // FLAC: compression level; OGG: quality
    // Control names of the common controls; the AAC editor has short ones.
    std::string DescriptionControl = "EditDescription";
    std::string EnableTimeControl = "CheckBoxEnableTimeControl";
    std::string StartTimeControl = "EditStartTime";
    std::string DurationControl = "EditDuration";
    std::string EndTimeControl = "EditEndTime";
    // "Keep tags" (the KeepTags key), on the General tab of every editor.
    std::string KeepTagsControl = "CheckBoxKeepTags";
};

// The descriptions in OutputFormatKind order.
const std::vector<TEditorDescription>& EditorDescriptions();
// The description of one format; format 22 or more is an error (std::out_of_range).
const TEditorDescription& EditorDescription(int format);

// Which list of a pair is in front and which pages are active.
struct TPageChoice {
    int VideoList = 0; // index into VideoLists
    int AudioList = 0; // index into AudioLists
    int VideoPage = -1; // index into VideoPages, -1 none
    int AudioPage = -1; // index into AudioPages, -1 none
};

// The state the page choice depends on. An index of -1 (or past the list)
// is no selection.
struct TPageState {
    int Format = 0; // MP4 Format, 3GP TGPFormat
    std::vector<int> VideoIndex; // one per video list
    std::vector<int> AudioIndex; // one per audio list
};

// Page selection: each list entry shows its page; 3GP takes the Nokia pair
// for format 0 and the Sony pair otherwise; MPEG's audio list follows the
// video codec (MPEG-2: second list, otherwise the first); MP4 shows the AAC
// PSP page for format 1 ("Sony PSP").
TPageChoice SelectPages(const TEditorDescription& d, const TPageState& state);

// The page a codec list entry shows, -1 for an index outside the list.
int EntryPage(const TCodecList& list, int index);

// The entries of the lists (texts from the catalogue in force).
std::vector<std::string> SizePresetTexts(TSizeList list);
std::vector<std::string> FrameRateTexts(TFrameRateList list);
std::vector<std::string> SampleRateTexts(TSampleRateList list);
std::vector<std::string> ChannelTexts(TChannelList list);

// Every record key an editor binds to a control, in the order the window
// binds them (common keys, format list, codec lists, setting lists, pages,
// extras).
std::vector<std::string> BoundKeys(const TEditorDescription& d);

// Keys of the video and audio blocks as bound by a page.
std::vector<std::string> PageKeys(const TCodecPage& page);
