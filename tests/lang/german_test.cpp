// The shipped German language file against the English one: every key, the
// same format places and line breaks per key, nothing left in English by
// mistake; the locale key, and the help page of a language.

#include "app/Settings.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

using qvtest::TempDir;
using qvtest::WriteFile;

namespace {

const char* const kConvert = "DazadUVI_Convert";

std::string LangFile(const std::string& name)
{
    return qvtest::SourceDir() + "/data/langs/" + name;
}

// The "%s", "%d" and "%%" places of a text, in order.
std::vector<std::string> Places(const std::string& text)
{
    static const std::regex place("%[sd%]");
    std::vector<std::string> out;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), place); it != std::sregex_iterator(); ++it)
        out.push_back(it->str());
    return out;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + what.size()))
        ++n;
    return n;
}

// Texts that are the same in German: format and codec names, product names,
// units and words German shares with English.
const std::set<std::string>& SameInGerman()
{
    static const std::set<std::string> keys = {
        // Names of loudness targets.
        "IDS_PROFILE_LIST_LoudnessEbu", "IDS_PROFILE_LIST_LoudnessPodcast", "IDS_PROFILE_LIST_LoudnessStreaming",
        "IDS_MAIN_MENUITEM_Hint", "IDS_MAIN_LABEL_Format", "IDS_MAIN_LABEL_Video", "IDS_MAIN_LABEL_Codec",
        "IDS_MAIN_LABEL_Audio", "IDS_MAIN_LABEL_Bitrate", "IDS_ABOUT_BUTTON_OK", "IDS_FILEINFORMATION_BUTTON_OK",
        "IDS_CONVERTING_Status", "IDS_CONVERTING_BUTTON_Status", "IDS_PROFILE_PAGECONTROL_Video",
        "IDS_PROFILE_PAGECONTROL_Divx", "IDS_PROFILE_PAGECONTROL_Xvid", "IDS_PROFILE_PAGECONTROL_Mpeg4",
        "IDS_PROFILE_PAGECONTROL_Mpeg4v2", "IDS_PROFILE_PAGECONTROL_H263", "IDS_PROFILE_PAGECONTROL_H263P",
        "IDS_PROFILE_PAGECONTROL_H264", "IDS_PROFILE_PAGECONTROL_HuffYUV", "IDS_PROFILE_PAGECONTROL_Jpeg",
        "IDS_PROFILE_PAGECONTROL_Svq1", "IDS_PROFILE_PAGECONTROL_Flv", "IDS_PROFILE_PAGECONTROL_Mpeg1",
        "IDS_PROFILE_PAGECONTROL_Mpeg2", "IDS_PROFILE_PAGECONTROL_DV",
        "IDS_PROFILE_PAGECONTROL_Audio", "IDS_PROFILE_PAGECONTROL_Mp2", "IDS_PROFILE_PAGECONTROL_Mp3",
        "IDS_PROFILE_PAGECONTROL_Ac3", "IDS_PROFILE_GROUPBOX_RealVideo", "IDS_PROFILE_GROUPBOX_WMV7",
        "IDS_PROFILE_GROUPBOX_WMV8", "IDS_PROFILE_PAGECONTROL_Aac", "IDS_PROFILE_CHECKBOX_AppleiPod",
        "IDS_PROFILE_CHECKBOX_SonyPSP", "IDS_PROFILE_CHECKBOX_Mp4", "IDS_PROFILE_CHECKBOX_DVD",
        "IDS_PROFILE_LABEL_Ntsc", "IDS_PROFILE_LABEL_Pal", "IDS_PROFILE_GROUPBOX_Type_Nokia",
        "IDS_PROFILE_GROUPBOX_Type_3Gp", "IDS_PROFILE_GROUPBOX_Type_3Gp2", "IDS_PROFILE_LABEL_AVI",
        "IDS_PROFILE_LABEL_MP4", "IDS_PROFILE_LABEL_3GP", "IDS_PROFILE_LABEL_MPEG", "IDS_PROFILE_LABEL_MOV",
        "IDS_PROFILE_LABEL_WMV", "IDS_PROFILE_LABEL_RM", "IDS_PROFILE_LABEL_SWF", "IDS_PROFILE_LABEL_ASF",
        "IDS_PROFILE_LABEL_VOB", "IDS_PROFILE_LABEL_AAC", "IDS_PROFILE_LABEL_AC3", "IDS_PROFILE_LABEL_MP2",
        "IDS_PROFILE_LABEL_MP3", "IDS_PROFILE_LABEL_AMR", "IDS_PROFILE_LABEL_WAV", "IDS_SETTINGS_GROUPBOX_DirectShow",
        "IDS_SETTINGS_COMBOBOX_Normal", "IDS_LABEL_Information", "IDS_SuspensionPoint", "IDS_BITTATE_FORMAT",
        "IDS_OK", "IDS_PROFILE_CODEC_DivX", "IDS_PROFILE_CODEC_XviD", "IDS_PROFILE_CODEC_MsMpeg4",
        "IDS_PROFILE_CODEC_MsMpeg4v2", "IDS_PROFILE_CODEC_H263", "IDS_PROFILE_CODEC_H263P", "IDS_PROFILE_CODEC_H264",
        "IDS_PROFILE_CODEC_Svq1", "IDS_PROFILE_CODEC_FlashVideo", "IDS_PROFILE_CODEC_Flv", "IDS_PROFILE_CODEC_Mpeg4",
        "IDS_PROFILE_CODEC_Mpeg1", "IDS_PROFILE_CODEC_Mpeg2", "IDS_PROFILE_CODEC_ALaw",
        "IDS_PROFILE_PAGECONTROL_AacPsp", "IDS_PROFILE_RADIOBUTTON_Vcd", "IDS_PROFILE_RADIOBUTTON_Svcd",
        "IDS_MAIN_COLUMN_Name",
        // The newer formats' and codecs' names.
        "IDS_PROFILE_LABEL_MKV", "IDS_PROFILE_LABEL_WEBM", "IDS_PROFILE_LABEL_OPUS", "IDS_PROFILE_LABEL_FLAC",
        "IDS_PROFILE_LABEL_M4A", "IDS_PROFILE_LABEL_OGG", "IDS_PROFILE_CODEC_H265", "IDS_PROFILE_CODEC_AV1",
        "IDS_PROFILE_CODEC_VP9", "IDS_PROFILE_PAGECONTROL_Opus", "IDS_PROFILE_PAGECONTROL_Vorbis",
        "IDS_PROFILE_PAGECONTROL_Flac", "IDS_PROFILE_LIST_Channels51",
    };
    return keys;
}

class GermanFileTest : public ::testing::Test {
protected:
    TIniFile english{LangFile("English.ini")};
    TIniFile german{LangFile("German.ini")};
};

TEST_F(GermanFileTest, HasEveryEnglishKeyAndNoOther)
{
    ASSERT_EQ(english.Problem(), "");
    ASSERT_EQ(german.Problem(), "");
    const std::vector<std::string> en = english.ReadSection(kConvert);
    const std::vector<std::string> de = german.ReadSection(kConvert);
    ASSERT_GT(en.size(), 300u);
    for (const std::string& key : en)
        EXPECT_TRUE(german.ValueExists(kConvert, key)) << key;
    for (const std::string& key : de)
        EXPECT_TRUE(english.ValueExists(kConvert, key)) << "not in English.ini: " << key;
    // Every text the program reads is in the English file, so in the German one too.
    for (const auto* entries : {&CatalogueEntries(), &CatalogueExtraEntries()})
        for (const TCatalogueEntry& e : *entries)
            EXPECT_TRUE(german.ValueExists(kConvert, e.ReadKey)) << e.ReadKey;
    EXPECT_EQ(german.ReadString(kConvert, "LanguageName", ""), "Deutsch");
    EXPECT_EQ(german.ReadString(kConvert, "LanguageLocale", ""), "de");
}

// One row per key: the same format places in the same order, the same line
// breaks, and a German text unless the key is on the list of same texts.
TEST_F(GermanFileTest, EveryKeyKeepsPlacesAndIsTranslated)
{
    int translated = 0;
    for (const std::string& key : english.ReadSection(kConvert)) {
        if (key == "LanguageName" || key == "LanguageLocale")
            continue;
        const std::string en = english.ReadString(kConvert, key, "");
        const std::string de = german.ReadString(kConvert, key, "");
        SCOPED_TRACE(key + " = " + de);
        EXPECT_FALSE(de.empty());
        EXPECT_EQ(Places(de), Places(en));
        EXPECT_EQ(Count(de, "#13"), Count(en, "#13"));
        EXPECT_LE(Count(de, "&"), 1u) << "at most one accelerator";
        if (SameInGerman().count(key))
            EXPECT_EQ(de, en) << "on the list of same texts but changed";
        else if (de != en)
            ++translated;
        else
            ADD_FAILURE() << "left in English";
    }
    EXPECT_GT(translated, 250);
}

TEST_F(GermanFileTest, ListSectionsHoldTheEnglishPatterns)
{
    for (int n = 1;; ++n) {
        const std::string en = english.ReadString("DazadUVI_AVSExt", std::to_string(n), "");
        EXPECT_EQ(german.ReadString("DazadUVI_AVSExt", std::to_string(n), ""), en) << n;
        if (en.empty())
            break;
    }
    // The filter names are shown in the open dialog and translated; the patterns stay.
    auto patterns = [](const TIniFile& ini) {
        std::vector<std::string> out;
        for (const std::string& line : ini.ReadSectionValues("DazadUVI_Filters"))
            out.push_back(line.substr(line.find('=') + 1));
        return out;
    };
    EXPECT_EQ(patterns(german), patterns(english));
    EXPECT_EQ(german.ReadSection("DazadUVI_Filters").size(), english.ReadSection("DazadUVI_Filters").size());
}

class LanguageLocaleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetCatalogue();
        SetLanguageMessageHandler([](const std::string&) {});
    }
    void TearDown() override
    {
        SetLanguageLoadedHandler({});
        SetLanguageMessageHandler({});
        ResetCatalogue();
    }
    TempDir dir;
};

TEST_F(LanguageLocaleTest, LoadedFromTheFileAndNotCarriedToAFileWithoutOne)
{
    int loaded = 0;
    SetLanguageLoadedHandler([&] { ++loaded; });
    LanguageFilePath = LangFile("German.ini");
    ASSERT_TRUE(LoadLanguage());
    EXPECT_EQ(LanguageLocale, "de");
    EXPECT_EQ(IDS_MESSAGE_BUTTON_Yes, "Ja");
    EXPECT_EQ(IDS_PROFILE_LABEL_LowQuality, "Niedrige Qualität,\r\nkleine Datei");
    EXPECT_EQ(loaded, 1);

    // A language file without the key: Qt's texts are not left in German.
    WriteFile(dir.file("Plain.ini"), "[DazadUVI_AVSExt]\n1=.rmvb\n[DazadUVI_Filters]\nAll=*.*\n"
                                     "[DazadUVI_Convert]\nLanguageLocale=  \nIDS_OK=Okay\n");
    LanguageFilePath = dir.file("Plain.ini");
    ASSERT_TRUE(LoadLanguage());
    EXPECT_EQ(LanguageLocale, "");
    EXPECT_EQ(IDS_OK, "Okay");
    EXPECT_EQ(loaded, 2);

    // A refused file keeps the handler from running.
    WriteFile(dir.file("Broken.ini"), "[DazadUVI_Convert]\nLanguageLocale=fr\n");
    LanguageFilePath = dir.file("Broken.ini");
    EXPECT_FALSE(LoadLanguage());
    EXPECT_EQ(loaded, 2);
}

TEST(LanguageHelpFileTest, OwnPageElseEnglishElseOwnName)
{
    struct Row {
        const char* pages; // help pages present, separated by '|'
        const char* language;
        const char* expected;
    } rows[] = {
        {"German_help.html|English_help.html", "German.ini", "German_help.html"},
        {"English_help.html", "Klingon.ini", "English_help.html"},
        {"English_help.html", "English.ini", "English_help.html"},
        {"", "Klingon.ini", "Klingon_help.html"},
        // A folder of the page's name is no page.
        {"German_help.html/", "German.ini", "German_help.html"},
    };
    for (const Row& r : rows) {
        TempDir case_;
        const std::string folder = case_.file("langs") + "/";
        std::filesystem::create_directories(folder);
        std::string pages = r.pages;
        bool folderOnly = false;
        for (size_t start = 0; start < pages.size();) {
            size_t end = pages.find('|', start);
            std::string name = pages.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!name.empty() && name.back() == '/') {
                std::filesystem::create_directories(folder + name);
                folderOnly = true;
            } else if (!name.empty()) {
                WriteFile(folder + name, "<html></html>");
            }
            start = end == std::string::npos ? pages.size() : end + 1;
        }
        SCOPED_TRACE(std::string(r.pages) + " / " + r.language);
        EXPECT_EQ(LanguageHelpFile(folder + r.language), folder + r.expected);
        if (folderOnly) {
            EXPECT_FALSE(std::filesystem::is_regular_file(LanguageHelpFile(folder + r.language)));
        }
    }
}

} // namespace
