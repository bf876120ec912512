#include "profiles/EditorDescriptions.h"

#include "lang/MultiLanguages.h"

#include <stdexcept>

namespace {

constexpr int F(OutputFormatKind k) { return static_cast<int>(k); }

// ---- Page makers ----

TCodecPage VideoPage(const char* suffix, const std::string& caption, const TPresetTable& presets, int max,
    TSizeList sizes = TSizeList::Standard, TFrameRateList rates = TFrameRateList::Standard)
{
    return { suffix, &caption, TPageKind::Video, &presets, max, 2, sizes, rates };
}

TCodecPage H263Page(const std::string& caption, int max)
{
    return { "H263", &caption, TPageKind::H263, &StandardVideoBitRates, max, 2, TSizeList::None,
        TFrameRateList::Standard };
}

TCodecPage AudioPage(const char* suffix, const std::string& caption, const TPresetTable& presets, TSampleRateList rates,
    TChannelList channels, TBitrateRangeRule rule)
{
    return { suffix, &caption, TPageKind::Audio, &presets, static_cast<int>(presets.size()), 4, TSizeList::None,
        TFrameRateList::None, rates, channels, rule };
}

TCodecPage PcmPage(const char* suffix, const std::string& caption)
{
    return { suffix, &caption, TPageKind::Pcm, nullptr, 0, 0, TSizeList::None, TFrameRateList::None,
        TSampleRateList::Eight, TChannelList::Stereo, TBitrateRangeRule::None };
}

TCodecPage Mp2Page()
{
    return AudioPage("Mp2", IDS_PROFILE_PAGECONTROL_Mp2, Mp2AudioBitRates, TSampleRateList::Four, TChannelList::Stereo,
        TBitrateRangeRule::Mp2);
}
TCodecPage Mp3Page()
{
    return AudioPage("Mp3", IDS_PROFILE_PAGECONTROL_Mp3, Mp3AudioBitRates, TSampleRateList::Four, TChannelList::Stereo,
        TBitrateRangeRule::Mp3);
}
TCodecPage Ac3Page()
{
    return AudioPage("AC3", IDS_PROFILE_PAGECONTROL_Ac3, Ac3AudioBitRates, TSampleRateList::Four, TChannelList::Ac3,
        TBitrateRangeRule::Ac3);
}
TCodecPage AacPage()
{
    return AudioPage("AACMP4", IDS_PROFILE_PAGECONTROL_Aac, AacAudioBitRates, TSampleRateList::Eight,
        TChannelList::Stereo, TBitrateRangeRule::Aac);
}
TCodecPage AmrNbPage()
{
    return AudioPage("Armnb", IDS_PROFILE_PAGECONTROL_AmrBand, AmrNbAudioBitRates, TSampleRateList::AmrNb,
        TChannelList::Mono, TBitrateRangeRule::None);
}
TCodecPage AmrWbPage()
{
    return AudioPage("Armwb", IDS_PROFILE_PAGECONTROL_AmrWide, AmrWbAudioBitRates, TSampleRateList::AmrWb,
        TChannelList::Mono, TBitrateRangeRule::None);
}

TCodecList VideoList(
    std::vector<TCodecEntry> entries, std::string key = "VideoCodec", std::string control = "ComboBoxVideoCodec")
{
    return { std::move(key), std::move(control), std::move(entries) };
}

TCodecList AudioList(
    std::vector<TCodecEntry> entries, std::string key = "AudioCodec", std::string control = "ComboBoxAudioCodec")
{
    return { std::move(key), std::move(control), std::move(entries) };
}

TEditorDescription Video(int format, const char* cls, const std::string& name)
{
    TEditorDescription d;
    d.Format = format;
    d.ClassName = cls;
    d.FormatName = &name;
    d.HasVideo = true;
    return d;
}

TEditorDescription AudioOnly(int format, const char* cls, const std::string& name, std::vector<TCodecPage> pages,
    std::vector<TCodecEntry> entries)
{
    TEditorDescription d;
    d.Format = format;
    d.ClassName = cls;
    d.FormatName = &name;
    d.HasVideo = false;
    d.AudioPages = std::move(pages);
    d.AudioLists = { AudioList(std::move(entries)) };
    return d;
}

// Pages of the newer formats: rate and channels may stay as the source's.
TCodecPage SourceAudioPage(const char* suffix, const std::string& caption, const TPresetTable& presets,
    TSampleRateList rates = TSampleRateList::Source)
{
    return AudioPage(suffix, caption, presets, rates, TChannelList::SourceChannels, TBitrateRangeRule::None);
}
TCodecPage LosslessPage(const char* suffix, const std::string& caption)
{
    TCodecPage page = PcmPage(suffix, caption);
    page.SampleRates = TSampleRateList::Source;
    page.Channels = TChannelList::SourceChannels;
    return page;
}
TCodecPage ModernVideoPage(const char* suffix, const std::string& caption)
{
    TCodecPage page = VideoPage(suffix, caption, StandardVideoBitRates, 13);
    page.SourceFrameRate = true;
    return page;
}

std::vector<std::string> NumberTexts(int from, int to)
{
    std::vector<std::string> texts;
    for (int i = from; i <= to; ++i)
        texts.push_back(std::to_string(i));
    return texts;
}

// Constant quality and speed of the newer video formats: "VideoQuality" 0
// uses the bitrate, n is constant quality (CRF) n; "VideoSpeed" 0 balanced,
// 1 faster, 2 smaller files.
std::vector<TSettingList> ModernVideoSettings()
{
    return { { "VideoQuality", "ComboBoxVideoQuality", &IDS_PROFILE_GROUPBOX_VideoQuality,
                 [] {
                     std::vector<std::string> texts = NumberTexts(0, 63);
                     texts[0] = IDS_PROFILE_LIST_UseBitrate;
                     return texts;
                 } },
        { "VideoSpeed", "ComboBoxVideoSpeed", &IDS_PROFILE_GROUPBOX_VideoSpeed,
            [] {
                return std::vector<std::string> { IDS_PROFILE_LIST_SpeedBalanced, IDS_PROFILE_LIST_SpeedFaster,
                    IDS_PROFILE_LIST_SpeedSmaller };
            } } };
}

// ---- The editors ----

std::vector<TEditorDescription> MakeDescriptions()
{
    const TPresetTable& Std = StandardVideoBitRates;
    const TPresetTable& Win = WindowsVideoBitRates;
    std::vector<TEditorDescription> all;

    { // AVI: the Mpeg-1, Mpeg-2 and DV pages belong to no list entry.
        TEditorDescription d = Video(F(OutputFormatKind::AVI), "TfrmAVIProfile", IDS_PROFILE_LABEL_AVI);
        d.VideoPages = {
            VideoPage("DivX", IDS_PROFILE_PAGECONTROL_Divx, Std, 13),
            VideoPage("XviD", IDS_PROFILE_PAGECONTROL_Xvid, Std, 13),
            VideoPage("MsMPEG4", IDS_PROFILE_PAGECONTROL_Mpeg4, Std, 13),
            VideoPage("MsMPEG4v2", IDS_PROFILE_PAGECONTROL_Mpeg4v2, Std, 13),
            H263Page(IDS_PROFILE_PAGECONTROL_H263, 13),
            VideoPage("H263P", IDS_PROFILE_PAGECONTROL_H263P, Std, 13),
            VideoPage("H264", IDS_PROFILE_PAGECONTROL_H264, Std, 13),
            VideoPage("huffYUV", IDS_PROFILE_PAGECONTROL_HuffYUV, Std, 13),
            VideoPage("Mjpeg", IDS_PROFILE_PAGECONTROL_Jpeg, Std, 13),
            VideoPage("Svq1", IDS_PROFILE_PAGECONTROL_Svq1, Std, 13),
            VideoPage("Flv", IDS_PROFILE_PAGECONTROL_Flv, Std, 13),
            VideoPage("MPEG1", IDS_PROFILE_PAGECONTROL_Mpeg1, Std, 13),
            VideoPage("MPEG2", IDS_PROFILE_PAGECONTROL_Mpeg2, Std, 13),
            VideoPage("DV", IDS_PROFILE_PAGECONTROL_DV, Std, 13),
        };
        d.VideoLists = { VideoList({ { &IDS_PROFILE_CODEC_DivX, 0 }, { &IDS_PROFILE_CODEC_XviD, 1 },
            { &IDS_PROFILE_CODEC_MsMpeg4, 2 }, { &IDS_PROFILE_CODEC_MsMpeg4v2, 3 }, { &IDS_PROFILE_CODEC_H263, 4 },
            { &IDS_PROFILE_CODEC_H263P, 5 }, { &IDS_PROFILE_CODEC_H264, 6 }, { &IDS_PROFILE_PAGECONTROL_HuffYUV, 7 },
            { &IDS_PROFILE_PAGECONTROL_Jpeg, 8 }, { &IDS_PROFILE_CODEC_Svq1, 9 },
            { &IDS_PROFILE_CODEC_FlashVideo, 10 } }) };
        d.AudioPages = { Mp2Page(), Mp3Page(), PcmPage("Pcm16le", IDS_PROFILE_PAGECONTROL_Pcm16Little),
            PcmPage("Pcmu8", IDS_PROFILE_PAGECONTROL_PcmU8), Ac3Page() };
        d.AudioLists = { AudioList({ { &IDS_PROFILE_PAGECONTROL_Mp2, 0 }, { &IDS_PROFILE_PAGECONTROL_Mp3, 1 },
            { &IDS_PROFILE_PAGECONTROL_Pcm16Little, 2 }, { &IDS_PROFILE_PAGECONTROL_PcmU8, 3 },
            { &IDS_PROFILE_PAGECONTROL_Ac3, 4 } }) };
        d.SettingLists = ModernVideoSettings(); // used with H.264 only
        all.push_back(d);
    }
    { // MP4: the DivX and XviD pages are never shown.
        TEditorDescription d = Video(F(OutputFormatKind::MP4), "TfrmMp4Profile", IDS_PROFILE_LABEL_MP4);
        d.Extra = TEditorExtra::Mp4Psp;
        d.FormatKey = "Format";
        d.FormatControl = "ComboBoxMp4Format";
        d.FormatEntries = { &IDS_PROFILE_CHECKBOX_AppleiPod, &IDS_PROFILE_CHECKBOX_SonyPSP,
            &IDS_PROFILE_CHECKBOX_MobileMovie, &IDS_PROFILE_CHECKBOX_Mp4 };
        d.VideoPages = { VideoPage("H264", IDS_PROFILE_PAGECONTROL_H264, Std, 13, TSizeList::Mp4),
            VideoPage("DivX", IDS_PROFILE_PAGECONTROL_Divx, Std, 13, TSizeList::Mp4),
            VideoPage("XviD", IDS_PROFILE_PAGECONTROL_Xvid, Std, 13, TSizeList::Mp4),
            VideoPage("H265", IDS_PROFILE_CODEC_H265, Std, 13, TSizeList::Mp4),
            VideoPage("AV1", IDS_PROFILE_CODEC_AV1, Std, 13, TSizeList::Mp4) };
        // H.265 and AV1 came later: appended, so stored positions keep their codec.
        d.VideoLists = { VideoList(
            { { &IDS_PROFILE_CODEC_H264, 0 }, { &IDS_PROFILE_CODEC_H265, 3 }, { &IDS_PROFILE_CODEC_AV1, 4 } }) };
        d.SettingLists = ModernVideoSettings();
        d.AudioPages = { AacPage(),
            AudioPage("AACPsp", IDS_PROFILE_PAGECONTROL_AacPsp, AacPspAudioBitRates, TSampleRateList::Psp,
                TChannelList::Stereo, TBitrateRangeRule::AacPsp) };
        d.AudioLists = { AudioList({ { &IDS_PROFILE_PAGECONTROL_Aac, 0 } }) };
        all.push_back(d);
    }
    { // 3GP: the 13-entry tables, of which the trackbars offer the first 10.
        TEditorDescription d = Video(F(OutputFormatKind::TGP), "TfrmTGPProfile", IDS_PROFILE_LABEL_3GP);
        d.Extra = TEditorExtra::TgpPairs;
        d.FormatKey = "TGPFormat";
        d.FormatControl = "ComboBox3GPFormat";
        d.FormatEntries
            = { &IDS_PROFILE_GROUPBOX_Type_Nokia, &IDS_PROFILE_GROUPBOX_Type_3Gp, &IDS_PROFILE_GROUPBOX_Type_3Gp2 };
        d.VideoPages = { VideoPage("DivX", IDS_PROFILE_PAGECONTROL_Divx, Std, 10, TSizeList::Tgp),
            VideoPage("XviD", IDS_PROFILE_PAGECONTROL_Xvid, Std, 10, TSizeList::Tgp),
            H263Page(IDS_PROFILE_PAGECONTROL_H263, 10) };
        d.VideoLists = {
            VideoList({ { &IDS_PROFILE_CODEC_H263, 2 }, { &IDS_PROFILE_CODEC_Mpeg4, 0 } }, "VideoCodecNokia",
                "ComboBoxVideoCodecNokia"),
            VideoList({ { &IDS_PROFILE_CODEC_Mpeg4, 0 }, { &IDS_PROFILE_CODEC_XviD, 1 } }, "VideoCodecSony",
                "ComboBoxVideoCodecSony"),
        };
        d.AudioPages = { AmrNbPage(), AmrWbPage(), AacPage() };
        d.AudioLists = {
            AudioList({ { &IDS_PROFILE_PAGECONTROL_AmrBand, 0 }, { &IDS_PROFILE_PAGECONTROL_AmrWide, 1 },
                          { &IDS_PROFILE_PAGECONTROL_Aac, 2 } },
                "AudioCodecNokia", "ComboBoxAudioCodeNokia"),
            AudioList({ { &IDS_PROFILE_PAGECONTROL_Aac, 2 } }, "AudioCodecSony", "ComboBoxAudioCodeSony"),
        };
        all.push_back(d);
    }
    { // MPEG: the audio list in front follows the video codec.
        TEditorDescription d = Video(F(OutputFormatKind::MPEG), "TfrmMPEGProfile", IDS_PROFILE_LABEL_MPEG);
        d.Extra = TEditorExtra::MpegPresets;
        d.VideoPages = { VideoPage("MPEG1", IDS_PROFILE_PAGECONTROL_Mpeg1, Std, 13, TSizeList::Mpeg),
            VideoPage("MPEG2", IDS_PROFILE_PAGECONTROL_Mpeg2, Std, 13, TSizeList::Mpeg) };
        d.VideoLists = { VideoList({ { &IDS_PROFILE_CODEC_Mpeg1, 0 }, { &IDS_PROFILE_CODEC_Mpeg2, 1 } }) };
        d.AudioPages = { Ac3Page(), Mp2Page(), Mp3Page() };
        d.AudioLists = {
            AudioList({ { &IDS_PROFILE_PAGECONTROL_Mp2, 1 }, { &IDS_PROFILE_PAGECONTROL_Mp3, 2 } }, "AudioCodecMPEG1",
                "ComboBoxAudioCodecMPEG1"),
            AudioList({ { &IDS_PROFILE_PAGECONTROL_Ac3, 0 }, { &IDS_PROFILE_PAGECONTROL_Mp2, 1 },
                          { &IDS_PROFILE_PAGECONTROL_Mp3, 2 } },
                "AudioCodecMPEG2", "ComboBoxAudioCodecMPEG2"),
        };
        all.push_back(d);
    }
    {
        TEditorDescription d = Video(F(OutputFormatKind::MOV), "TfrmMovProfile", IDS_PROFILE_LABEL_MOV);
        d.VideoPages = { VideoPage("Svq1", IDS_PROFILE_PAGECONTROL_Svq1, Std, 13),
            VideoPage("DivX", IDS_PROFILE_PAGECONTROL_Divx, Std, 13),
            VideoPage("XviD", IDS_PROFILE_PAGECONTROL_Xvid, Std, 13), H263Page(IDS_PROFILE_PAGECONTROL_H263, 13),
            VideoPage("H264", IDS_PROFILE_PAGECONTROL_H264, Std, 13) };
        d.VideoLists = { VideoList({ { &IDS_PROFILE_CODEC_Svq1, 0 }, { &IDS_PROFILE_CODEC_DivX, 1 },
            { &IDS_PROFILE_CODEC_XviD, 2 }, { &IDS_PROFILE_CODEC_H263, 3 }, { &IDS_PROFILE_CODEC_H264, 4 } }) };
        d.AudioPages = { AacPage(), PcmPage("Alaw", IDS_PROFILE_PAGECONTROL_ALaw), AmrNbPage(),
            PcmPage("Pcm16le", IDS_PROFILE_PAGECONTROL_Pcm16Little),
            PcmPage("Pcm16be", IDS_PROFILE_PAGECONTROL_Pcm16Big) };
        d.AudioLists = { AudioList({ { &IDS_PROFILE_PAGECONTROL_Aac, 0 }, { &IDS_PROFILE_CODEC_ALaw, 1 },
            { &IDS_PROFILE_PAGECONTROL_AmrBand, 2 }, { &IDS_PROFILE_PAGECONTROL_Pcm16Little, 3 },
            { &IDS_PROFILE_PAGECONTROL_Pcm16Big, 4 } }) };
        d.SettingLists = ModernVideoSettings(); // used with H.264 only
        all.push_back(d);
    }
    {
        TEditorDescription d = Video(F(OutputFormatKind::WMV), "TfrmWmvProfile", IDS_PROFILE_LABEL_WMV);
        d.VideoPages = { VideoPage("MsMPEG4", IDS_PROFILE_PAGECONTROL_Mpeg4, Win, 12),
            VideoPage("MsMPEG4v2", IDS_PROFILE_PAGECONTROL_Mpeg4v2, Win, 12),
            VideoPage("Wmv7", IDS_PROFILE_GROUPBOX_WMV7, Win, 12),
            VideoPage("Wmv8", IDS_PROFILE_GROUPBOX_WMV8, Win, 12) };
        d.VideoLists = { VideoList({ { &IDS_PROFILE_CODEC_MsMpeg4, 0 }, { &IDS_PROFILE_CODEC_MsMpeg4v2, 1 },
            { &IDS_PROFILE_GROUPBOX_WMV7, 2 }, { &IDS_PROFILE_GROUPBOX_WMV8, 3 } }) };
        d.AudioPages = { Mp3Page() };
        d.AudioLists = { AudioList({ { &IDS_PROFILE_PAGECONTROL_Mp3, 0 } }) };
        all.push_back(d);
    }
    {
        TEditorDescription d = Video(F(OutputFormatKind::RM), "TfrmRMProfile", IDS_PROFILE_LABEL_RM);
        d.VideoPages = { VideoPage("Rm10", IDS_PROFILE_GROUPBOX_RealVideo, Std, 13, TSizeList::Rm) };
        d.VideoLists = { VideoList({ { &IDS_PROFILE_GROUPBOX_RealVideo, 0 } }) };
        d.AudioPages = { Ac3Page() };
        d.AudioLists = { AudioList({ { &IDS_PROFILE_PAGECONTROL_Ac3, 0 } }) };
        all.push_back(d);
    }
    {
        TEditorDescription d = Video(F(OutputFormatKind::SWF), "TfrmSwfProfile", IDS_PROFILE_LABEL_SWF);
        d.VideoPages = { VideoPage("Flv", IDS_PROFILE_PAGECONTROL_Flv, FlashVideoBitRates, 11) };
        d.VideoLists = { VideoList({ { &IDS_PROFILE_CODEC_Flv, 0 } }) };
        d.AudioPages = { AudioPage("Mp3", IDS_PROFILE_PAGECONTROL_Mp3, Mp3AudioBitRates, TSampleRateList::Swf,
            TChannelList::Stereo, TBitrateRangeRule::SwfMp3) };
        d.AudioLists = { AudioList({ { &IDS_PROFILE_PAGECONTROL_Mp3, 0 } }) };
        all.push_back(d);
    }
    {
        TEditorDescription d = Video(F(OutputFormatKind::VOB), "TfrmVobProfile", IDS_PROFILE_LABEL_VOB);
        d.VideoPages
            = { VideoPage("MPEG2", IDS_PROFILE_PAGECONTROL_Mpeg2, Std, 13, TSizeList::Standard, TFrameRateList::Vob) };
        d.VideoLists = { VideoList({ { &IDS_PROFILE_PAGECONTROL_Mpeg2, 0 } }) };
        d.AudioPages = { Mp2Page(), Ac3Page() };
        d.AudioLists = { AudioList({ { &IDS_PROFILE_PAGECONTROL_Mp2, 0 }, { &IDS_PROFILE_PAGECONTROL_Ac3, 1 } }) };
        all.push_back(d);
    }
    {
        TEditorDescription d = Video(F(OutputFormatKind::ASF), "TfrmAsfProfile", IDS_PROFILE_LABEL_ASF);
        d.VideoPages = { VideoPage("MsMPEG4", IDS_PROFILE_PAGECONTROL_Mpeg4, Win, 12),
            VideoPage("MsMPEG4v2", IDS_PROFILE_PAGECONTROL_Mpeg4v2, Win, 12) };
        d.VideoLists = { VideoList({ { &IDS_PROFILE_CODEC_MsMpeg4, 0 }, { &IDS_PROFILE_CODEC_MsMpeg4v2, 1 } }) };
        d.AudioPages = { Mp3Page() };
        d.AudioLists = { AudioList({ { &IDS_PROFILE_PAGECONTROL_Mp3, 0 } }) };
        all.push_back(d);
    }
    {
        TEditorDescription d = AudioOnly(F(OutputFormatKind::AAC), "TfrmAacProfile", IDS_PROFILE_LABEL_AAC,
            { AacPage() }, { { &IDS_PROFILE_PAGECONTROL_Aac, 0 } });
        // This editor names its components with short prefixes.
        d.AudioLists[0].ControlName = "cmbAudioCodec";
        d.DescriptionControl = "txtDescription";
        d.EnableTimeControl = "chkEnableTimeControl";
        d.StartTimeControl = "txtStartTime";
        d.DurationControl = "txtDuration";
        d.EndTimeControl = "txtEndTime";
        all.push_back(d);
    }
    all.push_back(AudioOnly(F(OutputFormatKind::AC3), "TfrmAc3Profile", IDS_PROFILE_LABEL_AC3, { Ac3Page() },
        { { &IDS_PROFILE_PAGECONTROL_Ac3, 0 } }));
    all.push_back(AudioOnly(F(OutputFormatKind::MP2), "TfrmMp2Profile", IDS_PROFILE_LABEL_MP2, { Mp2Page() },
        { { &IDS_PROFILE_PAGECONTROL_Mp2, 0 } }));
    {
        TEditorDescription d = AudioOnly(F(OutputFormatKind::MP3), "TfrmMp3Profile", IDS_PROFILE_LABEL_MP3,
            { Mp3Page() }, { { &IDS_PROFILE_PAGECONTROL_Mp3, 0 } });
        // "AudioQuality" 0 uses the bitrate; 1 .. 10 are LAME's VBR levels V9 .. V0.
        d.SettingLists = { { "AudioQuality", "ComboBoxAudioQuality", &IDS_PROFILE_GROUPBOX_Mp3Quality, [] {
            std::vector<std::string> texts { IDS_PROFILE_LIST_UseAudioBitrate };
            for (int v = 9; v >= 0; --v)
                texts.push_back("V" + std::to_string(v));
            return texts;
        } } };
        all.push_back(d);
    }
    all.push_back(
        AudioOnly(F(OutputFormatKind::AMR), "TfrmAmrProfile", IDS_PROFILE_LABEL_AMR, { AmrNbPage(), AmrWbPage() },
            { { &IDS_PROFILE_PAGECONTROL_AmrBand, 0 }, { &IDS_PROFILE_PAGECONTROL_AmrWide, 1 } }));
    all.push_back(AudioOnly(F(OutputFormatKind::WAV), "TfrmWavProfile", IDS_PROFILE_LABEL_WAV,
        { PcmPage("Pcm16le", IDS_PROFILE_PAGECONTROL_Pcm16Little), PcmPage("Pcmu8", IDS_PROFILE_PAGECONTROL_PcmU8) },
        { { &IDS_PROFILE_PAGECONTROL_Pcm16Little, 0 }, { &IDS_PROFILE_PAGECONTROL_PcmU8, 1 } }));
    {
        TEditorDescription d = Video(F(OutputFormatKind::MKV), "TfrmMkvProfile", IDS_PROFILE_LABEL_MKV);
        d.VideoPages = { ModernVideoPage("H264", IDS_PROFILE_PAGECONTROL_H264),
            ModernVideoPage("H265", IDS_PROFILE_CODEC_H265), ModernVideoPage("AV1", IDS_PROFILE_CODEC_AV1),
            ModernVideoPage("VP9", IDS_PROFILE_CODEC_VP9) };
        d.VideoLists = { VideoList({ { &IDS_PROFILE_CODEC_H264, 0 }, { &IDS_PROFILE_CODEC_H265, 1 },
            { &IDS_PROFILE_CODEC_AV1, 2 }, { &IDS_PROFILE_CODEC_VP9, 3 }, { &IDS_PROFILE_CODEC_NoVideo, -1 } }) };
        d.AudioPages = { SourceAudioPage("AACMP4", IDS_PROFILE_PAGECONTROL_Aac, AacAudioBitRates),
            SourceAudioPage("Opus", IDS_PROFILE_PAGECONTROL_Opus, OpusAudioBitRates, TSampleRateList::Opus),
            LosslessPage("Flac", IDS_PROFILE_PAGECONTROL_Flac), Ac3Page(),
            SourceAudioPage("Vorbis", IDS_PROFILE_PAGECONTROL_Vorbis, VorbisAudioBitRates) };
        d.AudioLists = { AudioList({ { &IDS_PROFILE_PAGECONTROL_Aac, 0 }, { &IDS_PROFILE_PAGECONTROL_Opus, 1 },
            { &IDS_PROFILE_PAGECONTROL_Flac, 2 }, { &IDS_PROFILE_PAGECONTROL_Ac3, 3 },
            { &IDS_PROFILE_PAGECONTROL_Vorbis, 4 } }) };
        d.SettingLists = ModernVideoSettings();
        all.push_back(d);
    }
    {
        TEditorDescription d = Video(F(OutputFormatKind::WEBM), "TfrmWebmProfile", IDS_PROFILE_LABEL_WEBM);
        d.VideoPages = { ModernVideoPage("VP9", IDS_PROFILE_CODEC_VP9), ModernVideoPage("AV1", IDS_PROFILE_CODEC_AV1) };
        d.VideoLists = { VideoList({ { &IDS_PROFILE_CODEC_VP9, 0 }, { &IDS_PROFILE_CODEC_AV1, 1 } }) };
        d.AudioPages = { SourceAudioPage("Opus", IDS_PROFILE_PAGECONTROL_Opus, OpusAudioBitRates, TSampleRateList::Opus),
            SourceAudioPage("Vorbis", IDS_PROFILE_PAGECONTROL_Vorbis, VorbisAudioBitRates) };
        d.AudioLists = { AudioList({ { &IDS_PROFILE_PAGECONTROL_Opus, 0 }, { &IDS_PROFILE_PAGECONTROL_Vorbis, 1 } }) };
        d.SettingLists = ModernVideoSettings();
        all.push_back(d);
    }
    all.push_back(AudioOnly(F(OutputFormatKind::OPUS), "TfrmOpusProfile", IDS_PROFILE_LABEL_OPUS,
        { SourceAudioPage("Opus", IDS_PROFILE_PAGECONTROL_Opus, OpusAudioBitRates, TSampleRateList::Opus) },
        { { &IDS_PROFILE_PAGECONTROL_Opus, 0 } }));
    {
        TEditorDescription d = AudioOnly(F(OutputFormatKind::FLAC), "TfrmFlacProfile", IDS_PROFILE_LABEL_FLAC,
            { LosslessPage("Flac", IDS_PROFILE_PAGECONTROL_Flac) }, { { &IDS_PROFILE_PAGECONTROL_Flac, 0 } });
        d.SettingLists
            = { { "FlacLevel", "ComboBoxFlacLevel", &IDS_PROFILE_GROUPBOX_FlacLevel, [] { return NumberTexts(0, 8); } } };
        all.push_back(d);
    }
    all.push_back(AudioOnly(F(OutputFormatKind::M4A), "TfrmM4aProfile", IDS_PROFILE_LABEL_M4A,
        { SourceAudioPage("AACMP4", IDS_PROFILE_PAGECONTROL_Aac, AacAudioBitRates),
            LosslessPage("Alac", IDS_PROFILE_PAGECONTROL_Alac) },
        { { &IDS_PROFILE_PAGECONTROL_Aac, 0 }, { &IDS_PROFILE_PAGECONTROL_Alac, 1 } }));
    {
        TEditorDescription d = AudioOnly(F(OutputFormatKind::OGG), "TfrmOggProfile", IDS_PROFILE_LABEL_OGG,
            { SourceAudioPage("Vorbis", IDS_PROFILE_PAGECONTROL_Vorbis, VorbisAudioBitRates) },
            { { &IDS_PROFILE_PAGECONTROL_Vorbis, 0 } });
        d.SettingLists
            = { { "VorbisQuality", "ComboBoxVorbisQuality", &IDS_PROFILE_GROUPBOX_VorbisQuality,
                [] { return NumberTexts(0, 10); } } };
        all.push_back(d);
    }
    return all;
}

int ListIndex(const std::vector<int>& indexes, size_t list) { return list < indexes.size() ? indexes[list] : -1; }

std::vector<std::string> WithCaption(std::vector<std::string> sizes, size_t at, const std::string& caption)
{
    sizes[at] += " (" + caption + ")";
    return sizes;
}

} // namespace

const std::vector<TEditorDescription>& EditorDescriptions()
{
    static const std::vector<TEditorDescription> all = MakeDescriptions();
    return all;
}

const TEditorDescription& EditorDescription(int format)
{
    if (format < 0 || format >= static_cast<int>(EditorDescriptions().size()))
        throw std::out_of_range("no profile editor for format " + std::to_string(format));
    return EditorDescriptions()[static_cast<size_t>(format)];
}

int EntryPage(const TCodecList& list, int index)
{
    if (index < 0 || index >= static_cast<int>(list.Entries.size()))
        return -1;
    return list.Entries[static_cast<size_t>(index)].Page;
}

TPageChoice SelectPages(const TEditorDescription& d, const TPageState& state)
{
    constexpr int NokiaFormat = 0;
    constexpr int PspFormat = 1;
    constexpr int Mpeg2Codec = 1;
    TPageChoice c;
    switch (d.Extra) {
    case TEditorExtra::TgpPairs:
        c.VideoList = c.AudioList = state.Format == NokiaFormat ? 0 : 1;
        break;
    case TEditorExtra::MpegPresets:
        c.AudioList = ListIndex(state.VideoIndex, 0) == Mpeg2Codec ? 1 : 0;
        break;
    default:
        break;
    }
    if (!d.VideoLists.empty())
        c.VideoPage = EntryPage(d.VideoLists[static_cast<size_t>(c.VideoList)],
            ListIndex(state.VideoIndex, static_cast<size_t>(c.VideoList)));
    if (!d.AudioLists.empty())
        c.AudioPage = EntryPage(d.AudioLists[static_cast<size_t>(c.AudioList)],
            ListIndex(state.AudioIndex, static_cast<size_t>(c.AudioList)));
    // The PSP target has an AAC page of its own, whatever the list shows.
    if (d.Extra == TEditorExtra::Mp4Psp && state.Format == PspFormat && c.AudioPage >= 0)
        c.AudioPage = 1;
    return c;
}

std::vector<std::string> SizePresetTexts(TSizeList list)
{
    const std::vector<std::string> standard = { "320x240", "352x240", "352x288", "384x288", "480x480", "480x576",
        "640x368", "640x480", "704x480", "704x576", "720x480", "720x576", "1280x720" };
    std::vector<std::string> texts;
    switch (list) {
    case TSizeList::None:
        return {};
    case TSizeList::Standard:
        texts = standard;
        break;
    case TSizeList::Rm:
        texts.assign(standard.begin(), standard.end() - 1);
        break;
    case TSizeList::Mp4:
        texts = { "176x120", "176x144", "240x176", "320x176", "320x240", "368x208", "384x160", "400x192", "416x176",
            "480x160", "480x272" };
        texts = WithCaption(texts, 1, IDS_PROFILE_CHECKBOX_MobileMovie);
        texts = WithCaption(texts, 4, IDS_PROFILE_CHECKBOX_AppleiPod);
        texts = WithCaption(texts, 5, IDS_PROFILE_GROUPBOX_Type_FullScreen);
        break;
    case TSizeList::Tgp:
        texts = { "128x96", "176x144", "220x176", "240x192", "320x240", "352x288" };
        break;
    case TSizeList::Mpeg:
        texts = { "80 x 60", "96 x 72", "128 x 96", "160 x 320", "176 x 120", "176 x 144", "192 x 144", "240 x 180",
            "320 x 200", "320 x 240", "352 x 240 (VCD NTSC)", "352 x 288 (VCD PAL)", "480 x 480 (SVCD NTSC)",
            "480 x 576 (SVCD PAL)", "720 x 480 (DVD NTSC)", "720 x 576 (DVD PAL)" };
        break;
    }
    texts.push_back(IDS_SuspensionPoint);
    return texts;
}

std::vector<std::string> FrameRateTexts(TFrameRateList list)
{
    switch (list) {
    case TFrameRateList::Standard:
        return { "10 ", "12", "14.985", "15", "19.98", "23.976", "24", "25", "29.97", "30", "50", "59.94", "60" };
    case TFrameRateList::Vob:
        return { "19.98", "23.976", "24", "25", "29.97", "30", "50", "59.94", "60" };
    case TFrameRateList::None:
        break;
    }
    return {};
}

std::vector<std::string> SampleRateTexts(TSampleRateList list)
{
    switch (list) {
    case TSampleRateList::Four:
        return { "22050", "24000", "44100", "48000" };
    case TSampleRateList::Eight:
        return { "11025", "12000", "16000", "22050", "24000", "32000", "44100", "48000" };
    case TSampleRateList::Swf:
        return { "11025", "22050", "44100" };
    case TSampleRateList::Psp:
        return { "48000" };
    case TSampleRateList::AmrNb:
        return { "8000" };
    case TSampleRateList::AmrWb:
        return { "16000" };
    case TSampleRateList::Source:
        return { IDS_PROFILE_LIST_SameAsSource, "8000", "11025", "12000", "16000", "22050", "24000", "32000", "44100",
            "48000", "88200", "96000" };
    case TSampleRateList::Opus:
        return { IDS_PROFILE_LIST_SameAsSource, "8000", "12000", "16000", "24000", "48000" };
    case TSampleRateList::None:
        break;
    }
    return {};
}

std::vector<std::string> ChannelTexts(TChannelList list)
{
    switch (list) {
    case TChannelList::Stereo:
        return { IDS_PROFILE_GROUPBOX_Channels_1, IDS_PROFILE_GROUPBOX_Channels_2 };
    case TChannelList::Ac3:
        return { IDS_PROFILE_GROUPBOX_Channels_1, IDS_PROFILE_GROUPBOX_Channels_2, IDS_PROFILE_GROUPBOX_Channels_6 };
    case TChannelList::Mono:
        return { IDS_PROFILE_GROUPBOX_Channels_1 };
    case TChannelList::SourceChannels:
        return { IDS_PROFILE_LIST_SameAsSource, IDS_PROFILE_GROUPBOX_Channels_1, IDS_PROFILE_GROUPBOX_Channels_2,
            IDS_PROFILE_LIST_Channels51 };
    case TChannelList::None:
        break;
    }
    return {};
}

std::vector<std::string> PageKeys(const TCodecPage& page)
{
    const std::string& c = page.Suffix;
    switch (page.Kind) {
    case TPageKind::Video:
        return { "VideoBitRateUsePresert" + c, "VideoBitRatePreset" + c, "VideoBitRateSpecify" + c,
            "VideoSizeUseSource" + c, "VideoWidth" + c, "VideoHeight" + c, "VideoKeepFrameRate" + c,
            "VideoFrameRate" + c, "VideoAspect" + c };
    case TPageKind::H263:
        return { "VideoBitRateUsePresert" + c, "VideoBitRatePreset" + c, "VideoBitRateSpecify" + c, "VideoWidth" + c,
            "VideoHeight" + c, "VideoKeepFrameRate" + c, "VideoFrameRate" + c, "VideoAspect" + c };
    case TPageKind::Audio:
        return { "AudioBitRateUseAutoSet" + c, "AudioBitRatePreset" + c, "AudioSampleRate" + c, "AudioChannels" + c };
    case TPageKind::Pcm:
        return { "AudioSampleRate" + c, "AudioChannels" + c };
    }
    return {};
}

std::vector<std::string> BoundKeys(const TEditorDescription& d)
{
    std::vector<std::string> keys = { "Description", "EnableTimeControl", "Duration", "StartTime", "KeepTags" };
    if (!d.FormatKey.empty())
        keys.push_back(d.FormatKey);
    if (d.Extra == TEditorExtra::MpegPresets)
        keys.insert(keys.end(), { "UsePresetFormats", "TargetFormat", "PresetType" });
    for (const TCodecList& list : d.VideoLists)
        keys.push_back(list.Key);
    for (const TCodecList& list : d.AudioLists)
        keys.push_back(list.Key);
    for (const TSettingList& list : d.SettingLists)
        keys.push_back(list.Key);
    if (d.HasVideo)
        keys.insert(keys.end(), { "VideoSameQuality", "AudioDisableAudio" });
    for (const TCodecPage& page : d.VideoPages)
        for (std::string& key : PageKeys(page))
            keys.push_back(std::move(key));
    for (const TCodecPage& page : d.AudioPages)
        for (std::string& key : PageKeys(page))
            keys.push_back(std::move(key));
    keys.push_back("CopyFitting");
    if (d.Extra == TEditorExtra::MpegPresets)
        keys.insert(keys.end(),
            { "DVDVideoBitRateUsePresert", "DVDVideoBitRatePreset", "DVDVideoBitRateSpecify", "DVDVideoKeepAspect",
                "DVDVideoAspect", "DVDAudioBitRateUseAutoSet", "DVDAudioBitRatePreset" });
    // The loudness group of every editor.
    keys.insert(keys.end(), { "NormaliseLoudness", "LoudnessTarget", "TruePeakCeiling", "LoudnessAlbumMode" });
    return keys;
}
