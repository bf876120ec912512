#include "profiles/EditorDescriptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int F(OutputFormatKind k) { return static_cast<int>(k); }

std::vector<std::string> Captions(const TCodecList& list)
{
    std::vector<std::string> texts;
    for (const TCodecEntry& e : list.Entries)
        texts.push_back(*e.Caption);
    return texts;
}

std::string PageSuffix(const std::vector<TCodecPage>& pages, int page)
{
    return page < 0 ? "-" : pages.at(static_cast<size_t>(page)).Suffix;
}

} // namespace

// Trackbars start from position 2 on video pages and 4 on audio pages; the
// editor names and the format order are checked with the records.
TEST(EditorDescriptions, StartPositions)
{
    for (const TEditorDescription& d : EditorDescriptions()) {
        SCOPED_TRACE(d.ClassName);
        for (const TCodecPage& p : d.VideoPages)
            EXPECT_EQ(p.StartPosition, VideoStartPosition) << p.Suffix;
        for (const TCodecPage& p : d.AudioPages) {
            if (p.Kind == TPageKind::Audio) {
                EXPECT_EQ(p.StartPosition, AudioStartPosition) << p.Suffix;
            }
        }
    }
    EXPECT_THROW(EditorDescription(OutputFormatCount), std::out_of_range);
    EXPECT_THROW(EditorDescription(-1), std::out_of_range);
}

TEST(EditorDescriptions, ListsAsTheUserSeesThem)
{
    const TEditorDescription& avi = EditorDescription(F(OutputFormatKind::AVI));
    EXPECT_EQ(Captions(avi.VideoLists[0]),
        (std::vector<std::string> { "DivX (mpeg4)", "XviD", "MS-mpeg4", "MS-mpeg4-v2", "H.263", "H.263+", "H.264 (AVC)",
            "huffYUV", "M-JPEG", "Sorenson Video v1", "Flash-Video" }));
    EXPECT_EQ(Captions(avi.AudioLists[0]),
        (std::vector<std::string> { "Mp2", "Mp3", "WAV (pcm 16 little-endian)", "WAV (pcm U 8)", "AC3" }));
    EXPECT_EQ(avi.VideoPages.size(), 14u); // Mpeg-1, Mpeg-2 and DV are pages of no entry
    const TEditorDescription& tgp = EditorDescription(F(OutputFormatKind::TGP));
    EXPECT_EQ(Captions(tgp.VideoLists[0]), (std::vector<std::string> { "H.263", "MPEG-4" }));
    EXPECT_EQ(Captions(tgp.VideoLists[1]), (std::vector<std::string> { "MPEG-4", "XviD" }));
    EXPECT_EQ(Captions(tgp.AudioLists[0]), (std::vector<std::string> { "AMR Narrow-Band", "AMR Narrow-Wide", "AAC" }));
    EXPECT_EQ(tgp.AudioLists[1].ControlName, "ComboBoxAudioCodeSony");
    for (const TCodecPage& p : tgp.VideoPages) // 13-entry tables, 10 positions offered
        EXPECT_EQ(p.TrackBarMax, 10);
    EXPECT_EQ(Captions(EditorDescription(F(OutputFormatKind::MOV)).AudioLists[0]),
        (std::vector<std::string> {
            "AAC", "A-Law", "AMR Narrow-Band", "WAV (pcm 16 little-endian)", "WAV (pcm 16 big-endian)" }));
    EXPECT_EQ(EditorDescription(F(OutputFormatKind::SWF)).VideoPages[0].TrackBarMax, 11);
    EXPECT_EQ(EditorDescription(F(OutputFormatKind::WMV)).VideoPages[3].TrackBarMax, 12);
    EXPECT_EQ(EditorDescription(F(OutputFormatKind::AAC)).DescriptionControl, "txtDescription");
    EXPECT_EQ(EditorDescription(F(OutputFormatKind::AAC)).AudioLists[0].ControlName, "cmbAudioCodec");
}

TEST(EditorDescriptions, ListTexts)
{
    EXPECT_EQ(SizePresetTexts(TSizeList::Standard).size(), 14u);
    EXPECT_EQ(SizePresetTexts(TSizeList::Standard).back(), "...");
    EXPECT_EQ(SizePresetTexts(TSizeList::Rm).size(), 13u);
    EXPECT_EQ(SizePresetTexts(TSizeList::Rm)[11], "720x576");
    const auto mp4 = SizePresetTexts(TSizeList::Mp4);
    EXPECT_EQ(mp4[1], "176x144 (Mobile Movie)");
    EXPECT_EQ(mp4[4], "320x240 (Apple iPod)");
    EXPECT_EQ(mp4[5], "368x208 (PSP Full Screen)");
    EXPECT_EQ(mp4.size(), 12u);
    EXPECT_EQ(SizePresetTexts(TSizeList::Tgp).size(), 7u);
    EXPECT_EQ(SizePresetTexts(TSizeList::Mpeg)[15], "720 x 576 (DVD PAL)");
    EXPECT_EQ(FrameRateTexts(TFrameRateList::Vob)[0], "19.98");
    EXPECT_EQ(FrameRateTexts(TFrameRateList::Standard).size(), 13u);
    EXPECT_EQ(SampleRateTexts(TSampleRateList::Eight)[6], "44100");
    EXPECT_EQ(SampleRateTexts(TSampleRateList::Swf), (std::vector<std::string> { "11025", "22050", "44100" }));
    EXPECT_EQ(ChannelTexts(TChannelList::Ac3)[2], "6 (5.1 AC3 48000kHz)");
    EXPECT_EQ(ChannelTexts(TChannelList::Mono).size(), 1u);
}

// Page selection of every editor: list indexes (and the format list) to the
// list pair in front and the page suffixes shown.
struct TPageRow {
    OutputFormatKind Format;
    TPageState State;
    int VideoList, AudioList;
    const char* VideoPage;
    const char* AudioPage;
};

TEST(EditorDescriptions, PageSelection)
{
    using K = OutputFormatKind;
    const TPageRow rows[] = {
        { K::AVI, { 0, { 0 }, { 0 } }, 0, 0, "DivX", "Mp2" },
        { K::AVI, { 0, { 4 }, { 2 } }, 0, 0, "H263", "Pcm16le" },
        { K::AVI, { 0, { 10 }, { 4 } }, 0, 0, "Flv", "AC3" },
        { K::AVI, { 0, { 11 }, { 5 } }, 0, 0, "-", "-" }, // past the lists
        { K::AVI, { 0, { -1 }, { -1 } }, 0, 0, "-", "-" }, // no selection
        { K::MP4, { 3, { 0 }, { 0 } }, 0, 0, "H264", "AACMP4" },
        { K::MP4, { 1, { 0 }, { 0 } }, 0, 0, "H264", "AACPsp" }, // Sony PSP
        { K::MP4, { 0, { 0 }, { 0 } }, 0, 0, "H264", "AACMP4" },
        { K::MP4, { 1, { 0 }, { -1 } }, 0, 0, "H264", "-" },
        { K::TGP, { 0, { 0, 1 }, { 0, 0 } }, 0, 0, "H263", "Armnb" },
        { K::TGP, { 0, { 1, 0 }, { 1, 0 } }, 0, 0, "DivX", "Armwb" },
        { K::TGP, { 0, { 1, 0 }, { 2, 0 } }, 0, 0, "DivX", "AACMP4" },
        { K::TGP, { 1, { 0, 0 }, { 0, 0 } }, 1, 1, "DivX", "AACMP4" },
        { K::TGP, { 2, { 0, 1 }, { 1, 0 } }, 1, 1, "XviD", "AACMP4" },
        { K::MPEG, { 0, { 0 }, { 0, 0 } }, 0, 0, "MPEG1", "Mp2" },
        { K::MPEG, { 0, { 0 }, { 1, 0 } }, 0, 0, "MPEG1", "Mp3" },
        { K::MPEG, { 0, { 1 }, { 1, 0 } }, 0, 1, "MPEG2", "AC3" },
        { K::MPEG, { 0, { 1 }, { 0, 2 } }, 0, 1, "MPEG2", "Mp3" },
        { K::MPEG, { 0, { 7 }, { 1, 0 } }, 0, 0, "-", "Mp3" }, // unknown video codec: the MPEG-1 audio list
        { K::MOV, { 0, { 3 }, { 1 } }, 0, 0, "H263", "Alaw" },
        { K::MOV, { 0, { 0 }, { 4 } }, 0, 0, "Svq1", "Pcm16be" },
        { K::WMV, { 0, { 2 }, { 0 } }, 0, 0, "Wmv7", "Mp3" },
        { K::RM, { 0, { 0 }, { 0 } }, 0, 0, "Rm10", "AC3" },
        { K::SWF, { 0, { 0 }, { 0 } }, 0, 0, "Flv", "Mp3" },
        { K::VOB, { 0, { 0 }, { 1 } }, 0, 0, "MPEG2", "AC3" },
        { K::ASF, { 0, { 1 }, { 0 } }, 0, 0, "MsMPEG4v2", "Mp3" },
        { K::AAC, { 0, {}, { 0 } }, 0, 0, "-", "AACMP4" },
        { K::AC3, { 0, {}, { 0 } }, 0, 0, "-", "AC3" },
        { K::MP2, { 0, {}, { 0 } }, 0, 0, "-", "Mp2" },
        { K::MP3, { 0, {}, { 0 } }, 0, 0, "-", "Mp3" },
        { K::AMR, { 0, {}, { 1 } }, 0, 0, "-", "Armwb" },
        { K::WAV, { 0, {}, { 1 } }, 0, 0, "-", "Pcmu8" },
        { K::WAV, { 0, {}, { 2 } }, 0, 0, "-", "-" },
    };
    for (const TPageRow& row : rows) {
        const TEditorDescription& d = EditorDescription(F(row.Format));
        const TPageChoice c = SelectPages(d, row.State);
        SCOPED_TRACE(d.ClassName + " format " + std::to_string(row.State.Format));
        EXPECT_EQ(c.VideoList, row.VideoList);
        EXPECT_EQ(c.AudioList, row.AudioList);
        EXPECT_EQ(PageSuffix(d.VideoPages, c.VideoPage), row.VideoPage);
        EXPECT_EQ(PageSuffix(d.AudioPages, c.AudioPage), row.AudioPage);
    }
}
