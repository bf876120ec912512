#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ExpectedRecords.h"
#include "FreshProgramTest.h"
#include "support/TempDir.h"
#include "app/Settings.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "profiles/ProfileCheck.h"
#include "profiles/profiles.h"

namespace fs = std::filesystem;

namespace {

using Items = std::vector<std::string>;

using StoreTest = FreshProgramTest;

struct TFolderCase {
    int Format;
    const char* Folder;
    const char* ProfileExt;
    const char* OutputExt;
};

class FormatFolderTest : public StoreTest, public ::testing::WithParamInterface<TFolderCase> {};

TEST_P(FormatFolderTest, FolderExtensionAndOutputExtension)
{
    const TFolderCase& c = GetParam();
    ASSERT_TRUE(BuildProfileFolders());
    const std::string folder = Root() + c.Folder + "/";
    EXPECT_EQ(ProfileFolder(c.Format), folder);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(ProfileFolderName(c.Format), c.Folder);
    EXPECT_EQ(ProfileExtension(c.Folder), c.ProfileExt);
    Options.OutputFormat = static_cast<uint8_t>(c.Format);
    EXPECT_EQ(GetOutputExtension(), c.OutputExt);
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, FormatFolderTest,
    ::testing::Values(TFolderCase{0, "avi", "avo", ".avi"}, TFolderCase{1, "mp4", "mpo", ".mp4"},
                      TFolderCase{2, "3gp", "3go", ".3gp"}, TFolderCase{3, "mpg", "mpo", ".mpg"},
                      TFolderCase{4, "mov", "moo", ".mov"}, TFolderCase{5, "wmv", "wmo", ".wmv"},
                      TFolderCase{6, "rm", "rmo", ".rm"}, TFolderCase{7, "swf", "swo", ".swf"},
                      TFolderCase{8, "vob", "voo", ".vob"}, TFolderCase{9, "asf", "aso", ".asf"},
                      TFolderCase{10, "aac", "aao", ".aac"}, TFolderCase{11, "ac3", "aco", ".ac3"},
                      TFolderCase{12, "mp2", "mpo", ".mp2"}, TFolderCase{13, "mp3", "mpo", ".mp3"},
                      TFolderCase{14, "amr", "amo", ".amr"}, TFolderCase{15, "wav", "wao", ".wav"},
                      TFolderCase{16, "mkv", "mko", ".mkv"}, TFolderCase{17, "webm", "weo", ".webm"},
                      TFolderCase{18, "opus", "opo", ".opus"}, TFolderCase{19, "flac", "flo", ".flac"},
                      TFolderCase{20, "m4a", "m4o", ".m4a"}, TFolderCase{21, "ogg", "ogo", ".ogg"}),
    [](const ::testing::TestParamInfo<TFolderCase>& info) { return std::string(expected::FormatName(info.param.Format)); });

TEST_F(StoreTest, OptionsFieldsHoldTheFolders)
{
    ComputeProfileFolders();
    EXPECT_EQ(Options.ProfileRoot, Root());
    EXPECT_EQ(Options.AVIProfileFolder, Root() + "avi/");
    EXPECT_EQ(Options.TGPProfileFolder, Root() + "3gp/");
    EXPECT_EQ(Options.MPEGProfileFolder, Root() + "mpg/");
    EXPECT_EQ(Options.VobProfileFolder, Root() + "vob/");
    EXPECT_EQ(Options.AsfProfileFolder, Root() + "asf/");
    EXPECT_EQ(Options.WavProfileFolder, Root() + "wav/");
    EXPECT_EQ(Options.WebmProfileFolder, Root() + "webm/");
    EXPECT_EQ(Options.OggProfileFolder, Root() + "ogg/");
    EXPECT_EQ(SelectedProfilePath(0), Root() + "avi/.avo"); // nothing selected yet
}

TEST_F(StoreTest, LanguageFileChoosesTheRoot)
{
    qvtest::WriteFile(app.file("config.ini"), "[DazadUVI_Form]\nLanguageFile=Deutsch.ini\n");
    InitApplication(app.dir());
    ASSERT_TRUE(BuildProfileFolders());
    EXPECT_EQ(Options.ProfileRoot, app.dir() + "langs/Deutsch_Profile/");
    EXPECT_TRUE(fs::is_directory(app.dir() + "langs/Deutsch_Profile/amr"));
    EXPECT_FALSE(fs::exists(Root()));
}

TEST_F(StoreTest, BuildStopsAtTheFirstFolderItCannotCreate)
{
    // A file where the mov folder belongs: avi, mp4, 3gp and mpg come first.
    qvtest::WriteFile(Root() + "mov", "not a folder");
    EXPECT_FALSE(BuildProfileFolders());
    EXPECT_TRUE(fs::is_directory(Root() + "mpg"));
    EXPECT_FALSE(fs::exists(Root() + "wmv"));
    EXPECT_FALSE(fs::exists(Root() + "asf"));

    qvtest::WriteFile(Root() + "avi/Keep.avo", "[General]\n");
    ProfileLists[0].Items = {"Keep"};
    ProfileLists[0].ItemIndex = 0;
    EXPECT_FALSE(RefreshProfileLists());
    EXPECT_EQ(ProfileLists[0].Text(), "Keep"); // lists untouched
}

struct TListCase {
    const char* Name;
    std::vector<std::string> Files;   // created in the folder; a trailing "/" makes a folder
    const char* SelectName;
    Items Expected;
    int ItemIndex;
};

class FillListTest : public StoreTest, public ::testing::WithParamInterface<TListCase> {};

TEST_P(FillListTest, ListsMatchingProfiles)
{
    const TListCase& c = GetParam();
    const std::string folder = app.dir() + "profiles/";
    fs::create_directories(folder);
    for (const std::string& f : c.Files) {
        if (f.back() == '/')
            fs::create_directories(folder + f);
        else
            qvtest::WriteFile(folder + f, "[General]\n");
    }
    TProfileList list;
    list.Items = {"stale"};
    list.ItemIndex = 0;
    FillProfileList(list, folder + "*.avo", c.SelectName);
    EXPECT_EQ(list.Items, c.Expected);
    EXPECT_EQ(list.ItemIndex, c.ItemIndex);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FillListTest,
    ::testing::Values(
        TListCase{"OtherExtensionsLeftOut", {"a.avo", "b.avo", "c.txt"}, "", {"a", "b"}, 0},
        TListCase{"UpperCaseExtensionListed", {"X.AVO", "y.avo"}, "", {"X", "y"}, 0},
        TListCase{"SortedWithoutRegardToCase", {"b.avo", "C.avo", "a.avo", "B2.avo"}, "", {"a", "b", "B2", "C"}, 0},
        TListCase{"FoldersLeftOut", {"dir.avo/", "real.avo"}, "", {"real"}, 0},
        TListCase{"ExtensionMustBeWhole", {"a.avox", "b.av", "cavo", "d.avo"}, "", {"d"}, 0},
        TListCase{"DotsInName", {"H.264 high quality.avo"}, "", {"H.264 high quality"}, 0},
        TListCase{"SelectNameIgnoresCase", {"a.avo", "Bee.avo"}, "bEE", {"a", "Bee"}, 1},
        // Names that differ only in case (made by earlier versions) stay listed,
        // each reached by its own spelling.
        TListCase{"CasePairBothListed", {"default.avo", "Default.avo"}, "", {"Default", "default"}, 0},
        TListCase{"CasePairExactSpellingFirst", {"Default.avo", "default.avo"}, "default", {"Default", "default"}, 1},
        TListCase{"CasePairOtherSpellingFindsTheFirst", {"Default.avo", "default.avo"}, "DEFAULT",
                  {"Default", "default"}, 0},
        TListCase{"UnknownSelectNameSelectsNothing", {"a.avo"}, "zzz", {"a"}, -1},
        // Without a name the list opens on Default, wherever sorting puts it.
        TListCase{"DefaultPreselected", {"8-bit mono 22050 Hz.avo", "Default.avo", "16-bit.avo"}, "",
                  {"16-bit", "8-bit mono 22050 Hz", "Default"}, 2},
        TListCase{"DefaultInAnyCasePreselected", {"a.avo", "DEFAULT.avo", "z.avo"}, "", {"a", "DEFAULT", "z"}, 1},
        TListCase{"DefaultNamePrefixIsNotDefault", {"a.avo", "Default 2.avo"}, "", {"a", "Default 2"}, 0},
        TListCase{"EmptyFolderHasNoSelection", {"c.txt"}, "", {}, -1}),
    [](const ::testing::TestParamInfo<TListCase>& info) { return std::string(info.param.Name); });

TEST_F(StoreTest, MissingFolderGivesEmptyList)
{
    TProfileList list;
    FillProfileList(list, app.dir() + "nowhere/*.avo", "");
    EXPECT_TRUE(list.Items.empty());
    EXPECT_EQ(list.ItemIndex, -1);
    EXPECT_EQ(list.Text(), "");
}

TEST_F(StoreTest, RefreshFillsEveryListFromItsOwnFolder)
{
    ASSERT_TRUE(BuildProfileFolders());
    qvtest::WriteFile(Root() + "mp3/Loud.mpo", "[General]\n");
    qvtest::WriteFile(Root() + "mp3/Calm.mpo", "[General]\n");
    qvtest::WriteFile(Root() + "mp2/Only mp2.mpo", "[General]\n");
    qvtest::WriteFile(Root() + "vob/Disc.voo", "[General]\n");
    ASSERT_TRUE(RefreshProfileLists());
    EXPECT_EQ(ProfileLists[13].Items, (Items{"Calm", "Loud"}));
    EXPECT_EQ(ProfileLists[13].ItemIndex, 0);
    EXPECT_EQ(ProfileLists[12].Items, (Items{"Only mp2"}));
    EXPECT_EQ(ProfileLists[8].Items, (Items{"Disc"}));
    EXPECT_TRUE(ProfileLists[1].Items.empty()); // mp4 shares the extension, not the folder
    EXPECT_EQ(SelectedProfilePath(13), Root() + "mp3/Calm.mpo");
}

struct TRememberedCase {
    const char* Name;
    std::vector<std::string> Files; // in the wav folder
    const char* Remembered;         // Options.LastProfile of WAV
    const char* Selected;           // "" for no selection
};

class RememberedProfileTest : public StoreTest, public ::testing::WithParamInterface<TRememberedCase> {};

TEST_P(RememberedProfileTest, RefreshSelectsRememberedThenDefaultThenFirst)
{
    const TRememberedCase& c = GetParam();
    ASSERT_TRUE(BuildProfileFolders());
    for (const std::string& f : c.Files)
        qvtest::WriteFile(Root() + "wav/" + f, "[General]\n");
    Options.LastProfile[15] = c.Remembered;
    Options.LastProfile[13] = "Default"; // another format's memory does not leak
    ASSERT_TRUE(RefreshProfileLists());
    EXPECT_EQ(ProfileLists[15].Text(), c.Selected);
    EXPECT_EQ(Options.LastProfile[15], c.Remembered); // selecting never rewrites the memory
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RememberedProfileTest,
    ::testing::Values(
        TRememberedCase{"RememberedWins", {"8-bit mono 22050 Hz.wao", "Default.wao", "Loud.wao"}, "Loud", "Loud"},
        TRememberedCase{"RememberedInOtherCase", {"Default.wao", "Loud.wao"}, "LOUD", "Loud"},
        TRememberedCase{"NothingRememberedGivesDefault", {"8-bit mono 22050 Hz.wao", "Default.wao"}, "", "Default"},
        TRememberedCase{"StaleNameGivesDefault", {"8-bit mono 22050 Hz.wao", "Default.wao"}, "Deleted", "Default"},
        TRememberedCase{"StaleNameWithoutDefaultGivesFirst", {"b.wao", "a.wao"}, "Deleted", "a"},
        TRememberedCase{"EmptyFolderSelectsNothing", {}, "Loud", ""}),
    [](const ::testing::TestParamInfo<TRememberedCase>& info) { return std::string(info.param.Name); });

struct TExtensionCase {
    const char* Name;
    int OutputFormat;
    const char* ProfileText; // the selected 3GP profile, nullptr for none
    const char* Extension;
};

class OutputExtensionTest : public StoreTest, public ::testing::WithParamInterface<TExtensionCase> {};

TEST_P(OutputExtensionTest, FollowsFormatAndSelected3gpProfile)
{
    const TExtensionCase& c = GetParam();
    ASSERT_TRUE(BuildProfileFolders());
    if (c.ProfileText)
        qvtest::WriteFile(Root() + "3gp/Phone.3go", c.ProfileText);
    ASSERT_TRUE(RefreshProfileLists());
    Options.OutputFormat = static_cast<uint8_t>(c.OutputFormat);
    EXPECT_EQ(GetOutputExtension(), c.Extension);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputExtensionTest,
    ::testing::Values(TExtensionCase{"ThreeGp2", 2, "[General]\nTGPFormat=2\n", ".3g2"},
                      TExtensionCase{"SonyEricsson3gp", 2, "[General]\nTGPFormat=1\n", ".3gp"},
                      TExtensionCase{"ThreeGp2InHex", 2, "[General]\nTGPFormat=0x102\n", ".3g2"},
                      TExtensionCase{"No3gpProfile", 2, nullptr, ".3gp"},
                      TExtensionCase{"VobIsEight", 8, nullptr, ".vob"},
                      TExtensionCase{"AsfIsNine", 9, nullptr, ".asf"},
                      TExtensionCase{"MkvIsSixteen", 16, nullptr, ".mkv"},
                      TExtensionCase{"NoFormatTwentyTwo", 22, nullptr, ""},
                      TExtensionCase{"NoFormat255", 255, nullptr, ""}),
    [](const ::testing::TestParamInfo<TExtensionCase>& info) { return std::string(info.param.Name); });

TEST_F(StoreTest, OutputExtensionLoadsTheSelected3gpProfile)
{
    ASSERT_TRUE(BuildProfileFolders());
    qvtest::WriteFile(Root() + "3gp/A.3go", "[General]\nTGPFormat=0\n");
    qvtest::WriteFile(Root() + "3gp/B.3go", "[General]\nTGPFormat=2\nDescription=second\n");
    ASSERT_TRUE(RefreshProfileLists());
    Options.OutputFormat = 2;
    EXPECT_EQ(GetOutputExtension(), ".3gp");
    FillProfileList(ProfileLists[2], Root() + "3gp/*.3go", "b");
    EXPECT_EQ(GetOutputExtension(), ".3g2");
    EXPECT_EQ(TGPSettings.Description, "second");
}

// The program folder of the build ships a set of profiles for every format.
TEST(ShippedProfiles, EveryFormatHasDescribedProfilesWithAllKeys)
{
    // The build's program folder; beside the tests folder when the variable is not passed on.
    const char* appDir = std::getenv("QV_APP_DIR");
    const std::string app = appDir ? std::string(appDir)
                                   : (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "Quorvex").string();
    // The untouched copy: the langs tree keeps the files an earlier build
    // wrote there, which lack keys added since.
    const std::string root = app + "/shipped/English_Profile/";
    for (int format = 0; format < OutputFormatCount; ++format) {
        SCOPED_TRACE(expected::FormatName(format));
        const std::string folderName = ProfileFolderName(format);
        TProfileList list;
        FillProfileList(list, root + folderName + "/*." + ProfileExtension(folderName), "Default");
        ASSERT_GE(list.Items.size(), 2u);
        EXPECT_EQ(list.Text(), "Default");

        std::vector<std::string> keys;
        for (const auto& k : expected::Record(format))
            keys.push_back(k.Key);
        for (const std::string& name : list.Items) {
            SCOPED_TRACE(name);
            const TIniFile ini(root + folderName + "/" + name + "." + ProfileExtension(folderName));
            EXPECT_EQ(ini.ReadSection("General"), keys);
            const std::string description = ini.ReadString("General", "Description", "");
            EXPECT_FALSE(description.empty());
            EXPECT_NE(description, "No Description");
            // Every value is one its format can use: a shipped profile is never refused.
            const std::vector<TProfileProblem> problems =
                ProfileFileProblems(format, root + folderName + "/" + name + "." + ProfileExtension(folderName), true);
            EXPECT_TRUE(problems.empty()) << problems.front().Key << ": " << problems.front().Reason;
        }
    }
}

} // namespace
