#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "lang/MultiLanguages.h"
#include "profiles/EditorDescriptions.h"
#include "profiles/RecordFields.h"

// The editor descriptions checked against the records they edit: an editor
// that binds a key its record lacks, binds a key twice, or leaves a key
// without a control would lose or corrupt a setting without any message.

namespace {

// Keys a record holds that no editor control shows. Every field of every
// record is editable today; a key may only be added here deliberately.
const std::map<int, std::set<std::string>> KeysWithoutControl = {};

std::set<std::string> NoControl(int format)
{
    const auto it = KeysWithoutControl.find(format);
    return it == KeysWithoutControl.end() ? std::set<std::string>{} : it->second;
}

int ListSize(TFrameRateList list) { return static_cast<int>(FrameRateTexts(list).size()); }
int ListSize(TSampleRateList list) { return static_cast<int>(SampleRateTexts(list).size()); }
int ListSize(TChannelList list) { return static_cast<int>(ChannelTexts(list).size()); }

class RecordsEditorBinding : public ::testing::TestWithParam<int> {};

TEST_P(RecordsEditorBinding, EveryKeyIsBoundExactlyOnceOrListed)
{
    const int format = GetParam();
    const TEditorDescription& d = EditorDescription(format);
    EXPECT_EQ(d.Format, format);

    std::map<std::string, int> bound;
    for (const std::string& key : BoundKeys(d)) {
        EXPECT_NE(FindField(format, key), nullptr) << d.ClassName << " binds " << key << ", which its record lacks";
        ++bound[key];
    }
    const std::set<std::string> noControl = NoControl(format);
    for (const std::string& key : RecordKeys(format)) {
        const int times = bound.count(key) ? bound[key] : 0;
        if (noControl.count(key))
            EXPECT_EQ(times, 0) << key << " is listed as having no control but " << d.ClassName << " binds it";
        else
            EXPECT_EQ(times, 1) << d.ClassName << " binds " << key << " " << times << " times";
    }
    for (const std::string& key : noControl)
        EXPECT_NE(FindField(format, key), nullptr) << "listed key " << key << " is no key of the record";
}

TEST_P(RecordsEditorBinding, ListKeysAreIndexesAndDefaultsAreShowable)
{
    const int format = GetParam();
    const TEditorDescription& d = EditorDescription(format);
    const TProfileRecord defaults = DefaultRecord(format);
    auto expectIndexInside = [&](const std::string& key, int size) {
        const TFieldInfo* f = FindField(format, key);
        ASSERT_NE(f, nullptr) << key;
        EXPECT_EQ(f->Kind, TFieldKind::Index) << key;
        // A default that no list entry shows would be stored as 255 by the first save.
        EXPECT_LT(GetIndex(defaults, key), size) << d.ClassName << " " << key;
    };
    if (!d.FormatKey.empty())
        expectIndexInside(d.FormatKey, static_cast<int>(d.FormatEntries.size()));
    for (const TCodecList& list : d.VideoLists)
        expectIndexInside(list.Key, static_cast<int>(list.Entries.size()));
    for (const TCodecList& list : d.AudioLists)
        expectIndexInside(list.Key, static_cast<int>(list.Entries.size()));
    for (const TSettingList& list : d.SettingLists)
        expectIndexInside(list.Key, static_cast<int>(list.Entries().size()));
    for (const TCodecPage& page : d.VideoPages) {
        if (page.FrameRates != TFrameRateList::None)
            expectIndexInside("VideoFrameRate" + page.Suffix, ListSize(page.FrameRates));
        const int aspects = page.Kind == TPageKind::H263 ? 5 : 3;
        EXPECT_LT(GetIndex(defaults, "VideoAspect" + page.Suffix), aspects) << page.Suffix;
    }
    for (const TCodecPage& page : d.AudioPages) {
        if (page.SampleRates != TSampleRateList::None)
            expectIndexInside("AudioSampleRate" + page.Suffix, ListSize(page.SampleRates));
        if (page.Channels != TChannelList::None)
            expectIndexInside("AudioChannels" + page.Suffix, ListSize(page.Channels));
    }
}

TEST_P(RecordsEditorBinding, PageKindsMatchTheRecordBlocks)
{
    const int format = GetParam();
    const TEditorDescription& d = EditorDescription(format);
    auto has = [format](const std::string& key) { return FindField(format, key) != nullptr; };
    for (const TCodecPage& page : d.VideoPages) {
        SCOPED_TRACE(d.ClassName + " video page " + page.Suffix);
        ASSERT_NE(page.Presets, nullptr);
        EXPECT_TRUE(has("VideoBitRatePreset" + page.Suffix));
        // Only the H263 block lacks the keep-source-size flag.
        EXPECT_EQ(has("VideoSizeUseSource" + page.Suffix), page.Kind == TPageKind::Video);
        EXPECT_TRUE(page.Kind == TPageKind::Video || page.Kind == TPageKind::H263);
        EXPECT_GE(page.TrackBarMax, 1);
        EXPECT_LE(page.TrackBarMax, static_cast<int>(page.Presets->size()));
    }
    for (const TCodecPage& page : d.AudioPages) {
        SCOPED_TRACE(d.ClassName + " audio page " + page.Suffix);
        EXPECT_TRUE(has("AudioSampleRate" + page.Suffix));
        // PCM and A-law blocks have no bitrate keys and their pages no trackbar.
        const bool bitrate = has("AudioBitRatePreset" + page.Suffix);
        EXPECT_EQ(bitrate, page.Kind == TPageKind::Audio);
        if (page.Kind == TPageKind::Audio) {
            ASSERT_NE(page.Presets, nullptr);
            EXPECT_EQ(page.TrackBarMax, static_cast<int>(page.Presets->size()));
        }
    }
    // Every list entry shows a page that exists, but for "no video", which is last.
    for (const TCodecList& list : d.VideoLists)
        for (const TCodecEntry& e : list.Entries) {
            if (e.Caption == &IDS_PROFILE_CODEC_NoVideo)
                EXPECT_TRUE(e.Page == -1 && &e == &list.Entries.back()) << list.Key;
            else
                EXPECT_TRUE(e.Page >= 0 && e.Page < static_cast<int>(d.VideoPages.size())) << list.Key;
        }
    for (const TCodecList& list : d.AudioLists)
        for (const TCodecEntry& e : list.Entries)
            EXPECT_TRUE(e.Page >= 0 && e.Page < static_cast<int>(d.AudioPages.size())) << list.Key;
}

INSTANTIATE_TEST_SUITE_P(AllFormats, RecordsEditorBinding, ::testing::Range(0, OutputFormatCount));

TEST(RecordsEditorBinding, OneEditorPerFormatInFormatOrder)
{
    ASSERT_EQ(EditorDescriptions().size(), static_cast<size_t>(OutputFormatCount));
    for (int f = 0; f < OutputFormatCount; ++f)
        EXPECT_EQ(EditorDescriptions()[static_cast<size_t>(f)].Format, f);
}

} // namespace
