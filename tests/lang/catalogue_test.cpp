#include "app/Settings.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "platform/TextRules.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using qvtest::ReadFile;
using qvtest::TempDir;
using qvtest::WriteFile;

namespace {

// The format places of a text, in order ("%s", "%d"; "%%" is none).
std::vector<std::string> Places(const std::string& text)
{
    std::vector<std::string> places;
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '%') {
            if (text[i + 1] != '%')
                places.push_back(text.substr(i, 2));
            ++i;
        }
    return places;
}

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetCatalogue();
        LanguageFilePath = dir.file("English.ini");
        SetLanguageMessageHandler([this](const std::string& m) { messages.push_back(m); });
    }
    void TearDown() override
    {
        SetLanguageMessageHandler([](const std::string&) {});
        ResetCatalogue();
    }
    TempDir dir;
    std::vector<std::string> messages;
};

// The keys of the shipped English file, the one translators start from, in
// the catalogue's order; every key is written once and, but for "Show
// window", read under its own name.
TEST_F(CatalogueTest, KeysAreUniqueAndInTheOrderOfTheShippedFile)
{
    const auto& entries = CatalogueEntries();
    ASSERT_EQ(entries.size(), 289u);
    std::vector<std::string> catalogueKeys;
    std::set<std::string> written;
    int endingInBlank = 0;
    for (const auto& e : entries) {
        const std::string key = e.WriteKey;
        EXPECT_TRUE(written.insert(LowerAscii(TrimIniBlanks(key))).second) << "written twice: " << key;
        EXPECT_EQ(std::string(e.ReadKey), key == "IDS_MAIN_MENUITEM_ShowWindow" ? "IDS_MAIN_MENUITEM_Exit" : key);
        EXPECT_FALSE(std::string(e.English).empty()) << key;
        endingInBlank += key.back() == ' ';
        catalogueKeys.push_back(TrimIniBlanks(key)); // the file keeps the blank; reading trims it
    }
    EXPECT_EQ(endingInBlank, 10);
    const TIniFile shipped(qvtest::SourceDir() + "/data/langs/English.ini");
    std::vector<std::string> shippedKeys;
    for (const std::string& key : shipped.ReadSection("DazadUVI_Convert"))
        if (written.count(LowerAscii(key)))
            shippedKeys.push_back(key);
    EXPECT_EQ(shippedKeys, catalogueKeys);
}

TEST_F(CatalogueTest, ExtraTextsDoNotCollideWithCatalogueKeys)
{
    for (const auto& extra : CatalogueExtraEntries())
        for (const auto& e : CatalogueEntries())
            EXPECT_FALSE(SameTextAscii(extra.ReadKey, e.ReadKey)) << extra.ReadKey;
}

TEST(CatalogueCoding, DecodeAndEncode)
{
    struct Case {
        const char* stored;
        const char* text;
    } decode[] = {
        {"one#13two", "one\r\ntwo"},
        {"  Status=  ", "Status="},
        {"\tx#13#13y ", "x\r\n\r\ny"},
        {"", ""},
    };
    for (const auto& c : decode)
        EXPECT_EQ(DecodeCatalogueText(c.stored), c.text) << c.stored;

    struct EncCase {
        const char* text;
        const char* stored;
    } encode[] = {
        {"a\r\nb", "a#13b"},
        {"a\nb", "a#13b"},
        {"a\rb", "a#13b"},
        {"a\n\rb", "a#13#13b"}, // LF then CR: two breaks
        {" Status= ", "Status="},
    };
    for (const auto& c : encode)
        EXPECT_EQ(EncodeCatalogueText(c.text), c.stored) << c.text;
}

TEST_F(CatalogueTest, DefaultFileHoldsEveryKeyEncodedAndTheShippedLists)
{
    // The start writes the English file and loads it; so does every later start.
    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE(start);
        ResetCatalogue();
        ASSERT_TRUE(LoadLanguage());
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(DirectShowExtensions, std::vector<std::string>{".rmvb"});
    }

    TIniFile ini(LanguageFilePath);
    auto keys = ini.ReadSection("DazadUVI_Convert");
    EXPECT_EQ(keys.size(), 289u);
    EXPECT_FALSE(ini.ValueExists("DazadUVI_Convert", "LanguageName"));
    // The two lists are those of the shipped English file.
    const TIniFile shipped(qvtest::SourceDir() + "/data/langs/English.ini");
    for (const char* section : {"DazadUVI_AVSExt", "DazadUVI_Filters"}) {
        EXPECT_FALSE(ini.ReadSectionValues(section).empty()) << section;
        EXPECT_EQ(ini.ReadSectionValues(section), shipped.ReadSectionValues(section)) << section;
    }
    EXPECT_EQ(AcceptedFilters, shipped.ReadSectionValues("DazadUVI_Filters"));
    const std::string file = ReadFile(LanguageFilePath);
    EXPECT_NE(file.find("IDS_PROFILE_LABEL_LowQuality=Low quality,#13small size"), std::string::npos);
    EXPECT_NE(file.find("IDS_BITTATE_FORMAT =%s"), std::string::npos);
    EXPECT_NE(file.find("IDS_MAIN_MENUITEM_ShowWindow=Show window"), std::string::npos);
    EXPECT_EQ(file.find("IDS_MESSAGEBOX_NoFormat"), std::string::npos);
}

// A language file that is not a small regular file is refused with its
// reason (never read, never replaced by the English file) and is not offered
// in the Language menu.
TEST_F(CatalogueTest, LanguageFileThatIsNoRegularFileIsRefused)
{
    ASSERT_EQ(::mkfifo(LanguageFilePath.c_str(), 0644), 0);
    EXPECT_FALSE(LoadLanguage());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "The language file \"" + LanguageFilePath
                               + "\" cannot be read: it is not a regular file (a named pipe). The program will exit!");
    EXPECT_TRUE(std::filesystem::is_fifo(LanguageFilePath));

    WriteFile(dir.file("Deutsch.ini"), "[DazadUVI_Convert]\nLanguageName=Deutsch\n");
    std::filesystem::create_symlink("/dev/zero", dir.file("Zero.ini"));
    TKestMultiLanguages list(dir.path().string(), "LanguageName", "DazadUVI_Convert");
    ASSERT_EQ(list.LanguageCount(), 1);
    EXPECT_EQ(list.LanguageDisplayName(0), "Deutsch");
}

TEST_F(CatalogueTest, WrittenFileReadsBackTrimmedWithLineBreaks)
{
    WriteDefaultLanguage();
    ASSERT_TRUE(LoadLanguage());
    // Texts come back trimmed; a line feed followed by a carriage return is
    // stored as two breaks and so reads back as two CR LF pairs.
    for (const auto& e : CatalogueEntries())
        EXPECT_EQ(*e.Text, DecodeCatalogueText(EncodeCatalogueText(e.English))) << e.WriteKey;
    EXPECT_EQ(IDS_CONVERTING_Status, "Status=");
    EXPECT_EQ(IDS_PROFILE_MESSAGEBOX_MPEG4.substr(0, 14), "ATTENTION!\r\n\r\n");
    EXPECT_EQ(IDS_PROFILE_LABEL_LowQuality, "Low quality,\r\nsmall size");
    EXPECT_EQ(DirectShowExtensions, std::vector<std::string>{".rmvb"});
}

TEST_F(CatalogueTest, ShowWindowTextIsReadFromTheExitKey)
{
    WriteFile(LanguageFilePath, "[DazadUVI_AVSExt]\n1=.x\n[DazadUVI_Filters]\nA=*.a\n[DazadUVI_Convert]\n"
                                "IDS_MAIN_MENUITEM_ShowWindow=Fenster\nIDS_MAIN_MENUITEM_Exit=Zeigen\n"
                                "IDS_BITTATE_FORMAT =%s kbit/s\n");
    ASSERT_TRUE(LoadLanguage());
    EXPECT_EQ(IDS_MAIN_MENUITEM_ShowWindow, "Zeigen");
    // A key whose name ends in a blank can be translated too.
    EXPECT_EQ(IDS_BITTATE_FORMAT, "%s kbit/s");
}

TEST_F(CatalogueTest, ExtensionListStopsAtTheFirstGap)
{
    WriteFile(LanguageFilePath, "[DazadUVI_AVSExt]\n1=.a\n2=.b\n4=.d\n[DazadUVI_Filters]\nA=*.a\n");
    ASSERT_TRUE(LoadLanguage());
    EXPECT_EQ(DirectShowExtensions, (std::vector<std::string>{".a", ".b"}));
}

TEST_F(CatalogueTest, MissingFilterListIsRefused)
{
    WriteFile(LanguageFilePath, "[DazadUVI_AVSExt]\n1=.a\n");
    EXPECT_FALSE(LoadLanguage());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "Invalid input file type. Make sure you have correct language file. The program  will exit!");
}

TEST_F(CatalogueTest, KeyMissingFromTheNextLanguageKeepsThePreviousText)
{
    WriteFile(LanguageFilePath, "[DazadUVI_AVSExt]\n1=.a\n[DazadUVI_Filters]\nA=*.a\n[DazadUVI_Convert]\n"
                                "IDS_MAIN_BUTTON_Open=Datei wählen\nIDS_NoFiles=Keine Dateien\n");
    ASSERT_TRUE(LoadLanguage());
    EXPECT_EQ(IDS_MAIN_BUTTON_Open, "Datei wählen");
    LanguageFilePath = dir.file("Other.ini");
    WriteFile(LanguageFilePath, "[DazadUVI_AVSExt]\n1=.a\n[DazadUVI_Filters]\nA=*.a\n[DazadUVI_Convert]\n"
                                "IDS_NoFiles=Aucun fichier\n");
    ASSERT_TRUE(LoadLanguage());
    EXPECT_EQ(IDS_MAIN_BUTTON_Open, "Datei wählen");
    EXPECT_EQ(IDS_NoFiles, "Aucun fichier");
}

TEST_F(CatalogueTest, ShippedEnglishFileLoadsWithTheBuiltInTexts)
{
    // The shipped file corrects the spelling and the wording of the built-in
    // texts (which stay as they are for a file written at start); every
    // other text is the built-in one, and a corrected one keeps its places.
    const std::map<std::string, std::string> corrected = {
        {"IDS_MAIN_LABEL_ProFile", "Profile:"},
        {"IDS_MAIN_LABEL_PlayTime", "Duration:"},
        {"IDS_CONVERTING_LABEL_Converting", "Converting..."},
        {"IDS_CONVERTING_CHECK_Shutdown", "When done, perform the chosen action (Settings)"},
        {"IDS_CONVERTING_Status", "Status:"},
        {"IDS_SHUTDOWN_LABEL_WarningDetail", "Unless you press Cancel now, the program will perform the chosen action:"},
        {"IDS_PROFILE_LABEL_HighQuliaty", "High quality,\r\nlarge size"},
        {"IDS_SETTINGS_LABEL_ShutDown", "When a batch is done, the chosen action is:"},
        {"IDS_MESSAGEBOX_SureToCreateDir", "The output folder does not exist. Do you want to create it?"},
        {"IDS_ID_BATCH", "Batch:"},
        {"IDS_MESSAGEBOX_TrayConvertComplete", "Conversion complete!"},
        {"IDS_MESSAGEBOX_RenameFailedTitle", "Rename failed"},
        {"IDS_MESSAGEBX_RenameFailed", "Rename failed! Please check whether a profile of that name already exists."},
        {"IDS_NAME_FORM_Title", "Enter Value"},
    };
    LanguageFilePath = qvtest::SourceDir() + "/data/langs/English.ini";
    ASSERT_TRUE(LoadLanguage());
    int changed = 0;
    for (const auto* entries : {&CatalogueEntries(), &CatalogueExtraEntries()})
        for (const auto& e : *entries) {
            const std::string key = TrimIniBlanks(e.WriteKey);
            const std::string builtIn = DecodeCatalogueText(EncodeCatalogueText(e.English));
            SCOPED_TRACE(key + " = " + *e.Text);
            if (const auto it = corrected.find(key); it != corrected.end())
                EXPECT_EQ(*e.Text, it->second);
            else if (*e.Text != builtIn)
                ++changed;
            EXPECT_EQ(Places(*e.Text), Places(builtIn));
            // Linux wording, and none of the old misspellings.
            for (const char* wrong : {"Windows", "Conveting", "Convertion", "quliaty", "faild", "Faild",
                                      "is already exist", "do not exist", "ProFile", "PlayTime", "Status=", "Batch=", "Vaule",
                                      "ARM-", "Can not", "  ", "etc.."})
                EXPECT_EQ(e.Text->find(wrong), std::string::npos) << wrong;
        }
    EXPECT_GT(changed, 20);
    EXPECT_FALSE(DirectShowExtensions.empty());
    EXPECT_GE(AcceptedFilters.size(), 1u);
    TIniFile ini(LanguageFilePath);
    EXPECT_EQ(ini.ReadString("DazadUVI_Convert", "LanguageName", ""), "English");
    // Translators start from this file, so it carries every text.
    for (const auto& e : CatalogueEntries())
        EXPECT_TRUE(ini.ValueExists("DazadUVI_Convert", e.WriteKey)) << e.WriteKey;
    for (const auto& e : CatalogueExtraEntries())
        EXPECT_TRUE(ini.ValueExists("DazadUVI_Convert", e.WriteKey)) << e.WriteKey;
}

TEST(LanguageList, ListsIniFilesWithTheirDisplayNames)
{
    TempDir dir;
    WriteFile(dir.file("English.ini"), "[DazadUVI_Convert]\nLanguageName=English\n");
    WriteFile(dir.file("deutsch.INI"), "[DazadUVI_Convert]\nLanguageName=Deutsch (Schweiz)\n");
    WriteFile(dir.file("Plain.ini"), "[DazadUVI_Convert]\nLanguageName=\n");
    WriteFile(dir.file("notes.txt"), "");
    std::filesystem::create_directory(dir.file("Folder.ini"));

    TKestMultiLanguages list(dir.path().string(), "LanguageName", "DazadUVI_Convert");
    ASSERT_EQ(list.LanguageCount(), 3);
    EXPECT_EQ(list.LanguageDisplayName(0), "Deutsch (Schweiz)");
    EXPECT_EQ(list.LanguageDisplayName(1), "English");
    EXPECT_EQ(list.LanguageDisplayName(2), "Plain"); // empty name: the file name
    EXPECT_EQ(list.LanguagePath(1), dir.file("English.ini"));
    EXPECT_EQ(list.LanguagePath(3), "");
    EXPECT_EQ(list.LanguageDisplayName(-1), "");
    list.SetItemIndex(2);
    list.SetItemIndex(7);
    EXPECT_EQ(list.ItemIndex(), 2);

    TKestMultiLanguages none(dir.file("missing"), "LanguageName", "DazadUVI_Convert");
    EXPECT_EQ(none.LanguageCount(), 0);
    EXPECT_EQ(none.ItemIndex(), 0);
}

TEST(FilterString, EntriesThenAllFilesFromTheCatalogue)
{
    ResetCatalogue();
    EXPECT_EQ(BuildFilterString({}), "All Files|*.*");
    EXPECT_EQ(BuildFilterString({"Video=*.avi;*.mpg", "Audio=*.mp3"}), "Video|*.avi;*.mpg|Audio|*.mp3|All Files|*.*");
}

TEST(FormatText, FillsPlacesAndNeverReadsPastTheArguments)
{
    struct Case {
        std::string fmt;
        std::string expected;
    } cases[] = {
        {"%s: %d%%", "in.avi: 42%"},
        {"Working on file %d of %d: %s", "Working on file in.avi of 42: "},
        {"100%% done %n %x", "100% done %n %x"},
        {"trailing %", "trailing %"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatText(c.fmt, {"in.avi", 42}), c.expected) << c.fmt;
    EXPECT_EQ(FormatText("Summary: %d files", {5}), "Summary: 5 files");
}

TEST(FormatText, CaptionAndFigureReadAsWords)
{
    struct Case {
        std::string caption;
        std::string shown;
    } cases[] = {
        {"Batch:", "Batch: 88%"},   // shipped wording
        {"Gesamt:", "Gesamt: 88%"}, //
        {"Batch=", "Batch=88%"},    // older files keep their look
        {"Status= ", "Status= 88%"},
        {"", "88%"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CaptionedFigure(c.caption, "88%"), c.shown) << c.caption;
}

} // namespace
