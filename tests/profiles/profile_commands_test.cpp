#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "FreshProgramTest.h"
#include "app/AppUtils.h"
#include "support/TempDir.h"
#include "app/Settings.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "profiles/ProfileCheck.h"
#include "profiles/ProfileCommands.h"

namespace fs = std::filesystem;

#ifndef EXPECT_CONTAINS
#define EXPECT_CONTAINS(text, part) \
    EXPECT_NE((text).find(part), std::string::npos) << "missing: " << (part) << "\nin:\n" << (text)
#endif

namespace {

// Answers every dialog from queues and records what was shown.
class TFakeUI : public TProfileCommandUI {
public:
    struct TEditor : TProfileEditorSession {
        TFakeUI& ui;
        explicit TEditor(TFakeUI& u) : ui(u) {}
        bool ShowModal() override
        {
            if (ui.whileOpen)
                ui.whileOpen();
            return ui.editorOk;
        }
        void CollectSettings(TProfileRecord& record) override
        {
            ++ui.collects;
            SetField(record, "Description", ui.collectedDescription);
        }
    };

    std::unique_ptr<TProfileEditorSession> OpenEditor(int format, const TProfileRecord& record) override
    {
        EXPECT_EQ(BusyDepthAtOpen = busy, busy);
        editorFormat = format;
        shown.push_back(GetText(record, "Description"));
        return std::make_unique<TEditor>(*this);
    }
    std::optional<std::string> AskProfileName(const std::string& name) override
    {
        presets.push_back(name);
        if (names.empty())
            return std::nullopt;
        std::string n = names.front();
        names.pop_front();
        return n;
    }
    TAnswer Confirm(const std::string& title, const std::string& text) override
    {
        questions.push_back(title + "|" + text);
        return answer;
    }
    void Inform(const std::string& title, const std::string& text) override { messages.push_back(title + "|" + text); }
    void BeginBusy() override { ++busy; }
    void EndBusy() override { --busy; }

    bool editorOk = true;
    std::function<void()> whileOpen; // what another program does while the editor is open
    std::string collectedDescription = "made in the editor";
    std::deque<std::string> names;
    TAnswer answer = TAnswer::Yes;

    int editorFormat = -1;
    int collects = 0;
    int busy = 0;
    int BusyDepthAtOpen = 0;
    std::vector<std::string> shown, presets, questions, messages;
    bool Untouched() const { return editorFormat < 0 && presets.empty() && questions.empty() && messages.empty(); }
};

class ProfileCommandsTest : public FreshProgramTest {
protected:
    void SetUp() override
    {
        FreshProgramTest::SetUp();
        ASSERT_TRUE(RefreshProfileLists());
    }
    std::string Avi() const { return Root() + "avi/"; }
    // Writes profiles with a description each and refills the AVI list selecting select.
    void Profiles(const std::vector<std::string>& files, const std::string& select = "")
    {
        for (const std::string& f : files)
            qvtest::WriteFile(Avi() + f, "[General]\nDescription=" + f + "\n");
        Refill(select);
    }
    void Refill(const std::string& select = "")
    {
        FillProfileList(ProfileLists[0], Avi() + "*.avo", select);
    }
    std::string Description(const std::string& file) const
    {
        return GetText(LoadRecord(0, Avi() + file), "Description");
    }

    TFakeUI ui;
};

TEST(ProfileCommandFormat, MainFormatsByDisabledActionThenOthersByCheckedAction)
{
    auto states = [] {
        TFormatActionStates s{};
        for (int i = 0; i < OutputFormatCount; ++i)
            s.Enabled[i] = true;
        return s;
    };
    TFormatActionStates s = states();
    EXPECT_EQ(ProfileCommandFormat(s), -1); // nothing chosen (stored format 22)
    for (int newer = 16; newer < OutputFormatCount; ++newer) {
        TFormatActionStates one = states();
        one.Checked[newer] = true; // the newer formats are reached like the others
        EXPECT_EQ(ProfileCommandFormat(one), newer);
    }
    s.Checked[13] = true;                   // MP3
    EXPECT_EQ(ProfileCommandFormat(s), 13);
    s.Checked[14] = true; // AMR comes before MP3 in the search
    EXPECT_EQ(ProfileCommandFormat(s), 14);
    s.Enabled[6] = false; // a disabled main format wins over any checked other
    EXPECT_EQ(ProfileCommandFormat(s), 6);
    s.Enabled[2] = false;
    EXPECT_EQ(ProfileCommandFormat(s), 2);
}

TEST_F(ProfileCommandsTest, NoFormatChosenDoesNothing)
{
    Profiles({"a.avo", "b.avo"});
    ui.names = {"c"};
    for (int format : {22, 200, -1}) {
        EXPECT_EQ(AddNewProfile(format, ui), TProfileCommandResult::NoFormat);
        EXPECT_EQ(EditProfile(format, ui), TProfileCommandResult::NoFormat);
        EXPECT_EQ(RenameProfile(format, ui), TProfileCommandResult::NoFormat);
        EXPECT_EQ(DeleteProfile(format, ui), TProfileCommandResult::NoFormat);
    }
    EXPECT_TRUE(ui.Untouched());
    EXPECT_EQ(ui.busy, 0);
    EXPECT_TRUE(fs::exists(Avi() + "a.avo"));
    EXPECT_TRUE(fs::exists(Avi() + "b.avo"));
}

TEST_F(ProfileCommandsTest, AddSavesTheEditorsSettingsAndSelectsTheNewName)
{
    Profiles({"a.avo", "c.avo"});
    ui.names = {"b"};
    EXPECT_EQ(AddNewProfile(0, ui), TProfileCommandResult::Done);
    EXPECT_EQ(ui.shown, std::vector<std::string>{IDS_NO_DESCRIPTION}); // the editor shows the defaults
    EXPECT_EQ(ui.presets, std::vector<std::string>{""});              // the name dialog starts empty
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(Description("b.avo"), "made in the editor");
    EXPECT_EQ(ProfileLists[0].Items, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(ProfileLists[0].Text(), "b");
}

// Only Yes replaces the file; a question closed without an answer (Other) is No.
TEST_F(ProfileCommandsTest, AddOverwriteQuestion)
{
    struct TCase {
        TAnswer Answer;
        bool Replaced;
    };
    for (const TCase c : {TCase{TAnswer::No, false}, TCase{TAnswer::Yes, true}, TCase{TAnswer::Other, false}}) {
        TFakeUI fake;
        fake.answer = c.Answer;
        fake.names = {"b"};
        Profiles({"a.avo", "b.avo"}, "a");
        const std::string before = qvtest::ReadFile(Avi() + "b.avo");
        EXPECT_EQ(AddNewProfile(0, fake), c.Replaced ? TProfileCommandResult::Done : TProfileCommandResult::Declined);
        ASSERT_EQ(fake.questions.size(), 1u);
        EXPECT_EQ(fake.questions[0], "Overwrite file?|File \"" + Avi() +
                                         "b.avo\" already exists.\r\n\r\nAre you sure you want to overwrite it?");
        if (c.Replaced) {
            EXPECT_EQ(Description("b.avo"), "made in the editor");
            EXPECT_EQ(ProfileLists[0].Text(), "b");
        } else {
            EXPECT_EQ(fake.collects, 0); // the editor's settings are dropped
            EXPECT_EQ(qvtest::ReadFile(Avi() + "b.avo"), before);
            EXPECT_EQ(ProfileLists[0].Text(), "a");
        }
        EXPECT_EQ(ProfileLists[0].Items, (std::vector<std::string>{"a", "b"}));
    }
}

TEST_F(ProfileCommandsTest, AddStopsWhenEditorOrNameIsNotAccepted)
{
    Profiles({"a.avo"});
    ui.editorOk = false;
    ui.names = {"b"};
    EXPECT_EQ(AddNewProfile(0, ui), TProfileCommandResult::Cancelled);
    EXPECT_TRUE(ui.presets.empty()); // no name asked after Close
    ui.editorOk = true;
    ui.names.clear();
    EXPECT_EQ(AddNewProfile(0, ui), TProfileCommandResult::Cancelled);
    EXPECT_EQ(ui.collects, 0);
    EXPECT_EQ(ProfileLists[0].Items, std::vector<std::string>{"a"});
}

// A profile name is one name whatever its letter case: adding it again asks
// about the existing file and replaces that file, keeping its spelling.
TEST_F(ProfileCommandsTest, AddOverAnExistingNameInAnyCaseReplacesThatFile)
{
    struct TCase {
        std::vector<std::string> Files;
        const char* Name;
        const char* Replaced;   // the file written
        const char* Untouched;  // a file that must not appear or change ("" for none)
        const char* Selected;
    } cases[] = {
        {{"Fast.AVO"}, "Fast", "Fast.AVO", "Fast.avo", "Fast"},
        {{"Default.avo"}, "default", "Default.avo", "default.avo", "Default"},
        {{"Default.avo"}, "DEFAULT", "Default.avo", "DEFAULT.avo", "Default"},
        // A pair made by an earlier version: each spelling is its own profile.
        {{"Default.avo", "default.avo"}, "default", "default.avo", "Default.avo", "default"},
        {{"Default.avo", "default.avo"}, "Default", "Default.avo", "default.avo", "Default"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove_all(Avi());
        TFakeUI fake;
        fake.names = {c.Name};
        Profiles(c.Files);
        const bool untouchedExisted = fs::exists(Avi() + c.Untouched);
        EXPECT_EQ(AddNewProfile(0, fake), TProfileCommandResult::Done);
        ASSERT_EQ(fake.questions.size(), 1u);
        EXPECT_CONTAINS(fake.questions[0], "File \"" + Avi() + c.Replaced + "\" already exists.");
        EXPECT_EQ(Description(c.Replaced), "made in the editor");
        if (untouchedExisted) {
            EXPECT_EQ(Description(c.Untouched), c.Untouched);
        } else {
            EXPECT_FALSE(fs::exists(Avi() + c.Untouched));
        }
        EXPECT_EQ(ProfileLists[0].Text(), c.Selected);
        EXPECT_EQ(ProfileLists[0].Items.size(), c.Files.size());
    }
}

// Replacing a file that is no profile text gives a clean profile, not the
// new keys among the old bytes; a named pipe under the name is never replaced.
TEST_F(ProfileCommandsTest, AddOverAFileThatIsNoProfileTextReplacesItWhole)
{
    for (const std::string& old : {std::string("\xFF\xFE[\0G\0]\0", 8), std::string("\x89PNG\r\n\x1a\n\0\0", 10),
                                   "[General]\n;" + std::string(1024 * 1024, 'x') + "\n"}) {
        fs::remove_all(Avi());
        qvtest::WriteFile(Avi() + "a.avo", old);
        Refill();
        TFakeUI fake;
        fake.names = {"a"};
        EXPECT_EQ(AddNewProfile(0, fake), TProfileCommandResult::Done);
        EXPECT_EQ(fake.questions.size(), 1u);
        EXPECT_TRUE(ProfileFileProblems(0, Avi() + "a.avo", true).empty());
        EXPECT_EQ(Description("a.avo"), "made in the editor");
        EXPECT_EQ(std::distance(fs::directory_iterator(Avi()), fs::directory_iterator()), 1); // nothing left beside it
    }
    fs::remove(Avi() + "a.avo");
    ASSERT_EQ(::mkfifo((Avi() + "a.avo").c_str(), 0600), 0);
    qvtest::WriteFile(Avi() + "b.avo", "[General]\n");
    Refill();
    ui.names = {"a"};
    EXPECT_THROW(AddNewProfile(0, ui), EIniWriteError);
    EXPECT_TRUE(fs::is_fifo(Avi() + "a.avo"));
}

TEST_F(ProfileCommandsTest, AddAndRenameRefuseNamesWithControlCharactersOrBytesThatAreNoUtf8)
{
    for (const char* name : {"tab\tname", "bell\a", "\nnewline first", "esc\x1b[31m", "latin1 \xe9t\xe9", "cut \xc3"}) {
        SCOPED_TRACE(name);
        fs::remove_all(Avi());
        Profiles({"a.avo", "b.avo"}, "b");
        TFakeUI fake;
        fake.names = {name, name};
        EXPECT_EQ(AddNewProfile(0, fake), TProfileCommandResult::InvalidName);
        EXPECT_EQ(RenameProfile(0, fake), TProfileCommandResult::InvalidName);
        ASSERT_EQ(fake.messages.size(), 2u);
        EXPECT_CONTAINS(fake.messages[0], "Invalid File Name|");
        EXPECT_EQ(fake.collects, 0);
        std::vector<std::string> files;
        for (const auto& e : fs::directory_iterator(Avi()))
            files.push_back(e.path().filename().string());
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, (std::vector<std::string>{"a.avo", "b.avo"}));
    }
}

TEST_F(ProfileCommandsTest, EditSavesToTheSameFileOnlyOnOkWithTheBusyCursor)
{
    Profiles({"a.avo", "Fast.AVO"}, "Fast");
    ui.editorOk = false;
    EXPECT_EQ(EditProfile(0, ui), TProfileCommandResult::Cancelled);
    EXPECT_EQ(Description("Fast.AVO"), "Fast.AVO");
    EXPECT_EQ(ui.busy, 0);
    EXPECT_EQ(ui.BusyDepthAtOpen, 1);

    ui.editorOk = true;
    EXPECT_EQ(EditProfile(0, ui), TProfileCommandResult::Done);
    EXPECT_EQ(ui.shown.back(), "Fast.AVO"); // the real file was loaded
    EXPECT_EQ(Description("Fast.AVO"), "made in the editor");
    EXPECT_FALSE(fs::exists(Avi() + "Fast.avo"));
    EXPECT_EQ(ui.busy, 0);
    EXPECT_EQ(ProfileLists[0].Text(), "Fast");
}

// Another program (quorvex-cli, a second window) that changes other keys of
// the profile while the editor is open keeps its change: only what the editor
// changed is written over the file as it is then.
TEST_F(ProfileCommandsTest, EditKeepsAChangeMadeMeanwhileToOtherKeys)
{
    qvtest::WriteFile(Avi() + "a.avo", "[General]\nDescription=old\nVideoBitRatePresetDivX=512\n");
    Refill("a");
    ui.whileOpen = [&] {
        TProfileRecord other = LoadRecord(0, Avi() + "a.avo");
        SetField(other, "VideoBitRatePresetDivX", int32_t{1500});
        SaveRecord(other, Avi() + "a.avo");
    };
    EXPECT_EQ(EditProfile(0, ui), TProfileCommandResult::Done);
    const TProfileRecord saved = LoadRecord(0, Avi() + "a.avo");
    EXPECT_EQ(GetText(saved, "Description"), "made in the editor");
    EXPECT_EQ(GetNumber(saved, "VideoBitRatePresetDivX"), 1500);
    EXPECT_EQ(GetNumber(CurrentRecord(0), "VideoBitRatePresetDivX"), 1500); // the record saved is current
}

// A file that is no profile text is neither opened as the defaults nor
// written over with them; the user is told which file and why.
TEST_F(ProfileCommandsTest, EditRefusesAFileThatIsNoProfileText)
{
    const std::string utf16("\xFF\xFE[\0G\0e\0n\0]\0", 10);
    qvtest::WriteFile(Avi() + "a.avo", utf16);
    qvtest::WriteFile(Avi() + "b.avo", "[General]\n");
    Refill("a");
    EXPECT_EQ(EditProfile(0, ui), TProfileCommandResult::Unreadable);
    EXPECT_EQ(ui.editorFormat, -1); // no editor opened
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_CONTAINS(ui.messages[0], "Error|The profile \"" + Avi() + "a.avo\" cannot be used: it is UTF-16 text");
    EXPECT_EQ(qvtest::ReadFile(Avi() + "a.avo"), utf16);
    EXPECT_EQ(ui.busy, 0);
    // A value out of range is shown and mended by saving.
    qvtest::WriteFile(Avi() + "b.avo", "[General]\nVideoCodec=-1\n");
    Refill("b");
    EXPECT_EQ(EditProfile(0, ui), TProfileCommandResult::Done);
}

TEST_F(ProfileCommandsTest, EditEndsTheBusyCursorWhenSavingFails)
{
    Profiles({"a.avo"});
    fs::permissions(Avi() + "a.avo", fs::perms::owner_read | fs::perms::group_read); // read-only for anyone
    EXPECT_THROW(EditProfile(0, ui), EIniWriteError);
    EXPECT_EQ(ui.busy, 0);
}

TEST_F(ProfileCommandsTest, RenameSelectsTheNewName)
{
    Profiles({"a.avo", "b.avo"}, "b");
    ui.names = {"z"};
    EXPECT_EQ(RenameProfile(0, ui), TProfileCommandResult::Done);
    EXPECT_EQ(ui.presets, std::vector<std::string>{"b"});
    EXPECT_FALSE(fs::exists(Avi() + "b.avo"));
    EXPECT_EQ(Description("z.avo"), "b.avo");
    EXPECT_EQ(ProfileLists[0].Items, (std::vector<std::string>{"a", "z"}));
    EXPECT_EQ(ProfileLists[0].Text(), "z");
}

TEST_F(ProfileCommandsTest, RenameOntoAnExistingNameFailsAndKeepsBothFiles)
{
    for (const char* existing : {"a.avo", "a.AVO", "A.avo", "A.AVO"}) {
        fs::remove_all(Avi());
        TFakeUI fake;
        Profiles({existing, "b.avo"}, "b");
        fake.names = {"a"};
        EXPECT_EQ(RenameProfile(0, fake), TProfileCommandResult::Exists) << existing;
        EXPECT_EQ(fake.messages, std::vector<std::string>{
                                     "Rename Faild|Rename faild! Please check if the profile name is already exist!"});
        EXPECT_EQ(Description(existing), existing);
        EXPECT_EQ(Description("b.avo"), "b.avo");
        EXPECT_EQ(ProfileLists[0].Text(), "b");
    }
}

// The profile's own name again is no change; a change of letter case only
// renames the one file.
TEST_F(ProfileCommandsTest, RenameOntoItsOwnNameInAnyCase)
{
    struct TCase {
        const char* File;
        const char* NewName;
        const char* After; // the file afterwards
    } cases[] = {
        {"b.avo", "b", "b.avo"},
        {"Fast.AVO", "Fast", "Fast.AVO"}, // not even the extension's spelling changes
        {"Default.avo", "default", "default.avo"},
        {"Default.AVO", "DEFAULT", "DEFAULT.avo"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.NewName);
        fs::remove_all(Avi());
        TFakeUI fake;
        Profiles({"a.avo", c.File}, ExtractFileBaseName(c.File));
        fake.names = {c.NewName};
        EXPECT_EQ(RenameProfile(0, fake), TProfileCommandResult::Done);
        EXPECT_TRUE(fake.messages.empty());
        std::vector<std::string> files;
        for (const auto& e : fs::directory_iterator(Avi()))
            files.push_back(e.path().filename().string());
        std::vector<std::string> expected = {"a.avo", c.After};
        std::sort(files.begin(), files.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(files, expected);
        EXPECT_EQ(Description(c.After), c.File);
        EXPECT_EQ(ProfileLists[0].Text(), c.NewName);
    }
}

TEST_F(ProfileCommandsTest, RenameOfACapitalsFileWritesTheLowerCaseExtension)
{
    Profiles({"Fast.AVO", "b.avo"}, "Fast");
    ui.names = {"Quick"};
    EXPECT_EQ(RenameProfile(0, ui), TProfileCommandResult::Done);
    EXPECT_FALSE(fs::exists(Avi() + "Fast.AVO"));
    EXPECT_EQ(Description("Quick.avo"), "Fast.AVO");
    EXPECT_EQ(ProfileLists[0].Text(), "Quick");
}

TEST_F(ProfileCommandsTest, DeleteRefusesTheLastProfile)
{
    Profiles({"a.avo"});
    EXPECT_EQ(DeleteProfile(0, ui), TProfileCommandResult::LastProfile);
    EXPECT_EQ(ui.messages,
              std::vector<std::string>{"Can not be delete!|This is the last profile, can not be deleted!"});
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(fs::exists(Avi() + "a.avo"));
}

TEST_F(ProfileCommandsTest, DeleteAsksAndSelectsTheRemainingProfile)
{
    Profiles({"a.avo", "b.avo"}, "b");
    ui.answer = TAnswer::No;
    EXPECT_EQ(DeleteProfile(0, ui), TProfileCommandResult::Declined);
    EXPECT_EQ(ui.questions, std::vector<std::string>{"Delete file|Are you sure you want to delete profile \"b\"?"});
    EXPECT_TRUE(fs::exists(Avi() + "b.avo"));
    ui.answer = TAnswer::Other;
    EXPECT_EQ(DeleteProfile(0, ui), TProfileCommandResult::Declined);
    ui.answer = TAnswer::Yes;
    EXPECT_EQ(DeleteProfile(0, ui), TProfileCommandResult::Done);
    EXPECT_FALSE(fs::exists(Avi() + "b.avo"));
    EXPECT_EQ(ProfileLists[0].Items, std::vector<std::string>{"a"});
    EXPECT_EQ(ProfileLists[0].Text(), "a");
}

TEST_F(ProfileCommandsTest, DeleteRemovesEverySpellingOfTheName)
{
    Profiles({"a.avo", "b.avo", "b.AVO"}, "b");
    EXPECT_EQ(ProfileLists[0].Items, (std::vector<std::string>{"a", "b"})); // listed once
    EXPECT_EQ(DeleteProfile(0, ui), TProfileCommandResult::Done);
    EXPECT_FALSE(fs::exists(Avi() + "b.avo"));
    EXPECT_FALSE(fs::exists(Avi() + "b.AVO"));
    EXPECT_EQ(ProfileLists[0].Items, std::vector<std::string>{"a"});
}

TEST_F(ProfileCommandsTest, DeleteThatFailsTellsTheUser)
{
    Profiles({"a.avo", "b.avo"}, "b");
    fs::remove(Avi() + "b.avo"); // gone behind the list's back
    EXPECT_EQ(DeleteProfile(0, ui), TProfileCommandResult::Failed);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Error|The profile \"b\" could not be deleted."});
    EXPECT_EQ(ProfileLists[0].Text(), "b"); // the list stays as it was
}

TEST_F(ProfileCommandsTest, EmptyListGivesNothingToEditRenameOrDelete)
{
    ui.names = {"x"};
    EXPECT_EQ(EditProfile(0, ui), TProfileCommandResult::NoProfile);
    EXPECT_EQ(RenameProfile(0, ui), TProfileCommandResult::NoProfile);
    EXPECT_EQ(DeleteProfile(0, ui), TProfileCommandResult::NoProfile);
    EXPECT_TRUE(ui.Untouched());
    EXPECT_TRUE(fs::is_empty(Avi())); // no ".avo" written
}

TEST_F(ProfileCommandsTest, CapitalsExtensionIsTheFileTheBatchLoads)
{
    qvtest::WriteFile(app.dir() + "langs/English_Profile/3gp/Sony.3GO", "[General]\nTGPFormat=2\n");
    FillProfileList(ProfileLists[2], ProfileFolder(2) + "*.3go", "Sony");
    EXPECT_EQ(SelectedProfilePath(2), ProfileFolder(2) + "Sony.3GO");
    Options.OutputFormat = 2;
    EXPECT_EQ(GetOutputExtension(), ".3g2");
    // With both spellings the lower-case file is the profile.
    qvtest::WriteFile(ProfileFolder(2) + "Sony.3go", "[General]\nTGPFormat=0\n");
    FillProfileList(ProfileLists[2], ProfileFolder(2) + "*.3go", "Sony");
    EXPECT_EQ(ProfileLists[2].Items, std::vector<std::string>{"Sony"});
    EXPECT_EQ(GetOutputExtension(), ".3gp");
    // Any letter case of the name reaches the same file.
    EXPECT_EQ(ProfileFilePath(2, "SONY"), ProfileFolder(2) + "Sony.3go");
    EXPECT_EQ(ProfileFilePath(2, "sony"), ProfileFolder(2) + "Sony.3go");
    // A name without any file is written with the lower-case extension.
    EXPECT_EQ(ProfileFilePath(2, "New"), ProfileFolder(2) + "New.3go");
}

TEST(RenameNoReplace, NeverReplacesAndKeepsTheSourceOnFailure)
{
    qvtest::TempDir dir;
    qvtest::WriteFile(dir.file("a"), "A");
    qvtest::WriteFile(dir.file("b"), "B");
    int error = 0;
    EXPECT_FALSE(RenameNoReplace(dir.file("a"), dir.file("b"), error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(qvtest::ReadFile(dir.file("a")), "A");
    EXPECT_EQ(qvtest::ReadFile(dir.file("b")), "B");
    EXPECT_FALSE(RenameNoReplace(dir.file("missing"), dir.file("c"), error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_TRUE(RenameNoReplace(dir.file("a"), dir.file("c"), error));
    EXPECT_FALSE(fs::exists(dir.file("a")));
    EXPECT_EQ(qvtest::ReadFile(dir.file("c")), "A");
}

// ---- Filling empty profile folders from the shipped copy ----

class ShippedFillTest : public ::testing::Test {
protected:
    void SetUp() override { InitApplication(app.dir()); }
    std::string Shipped() const { return app.dir() + "shipped/"; }
    std::string Langs() const { return app.dir() + "langs/"; }
    qvtest::TempDir app;
};

TEST_F(ShippedFillTest, EmptyFoldersGetTheLanguagesOwnOrTheEnglishProfiles)
{
    qvtest::WriteFile(Shipped() + "English_Profile/avi/Default.avo", "[General]\nDescription=en avi\n");
    qvtest::WriteFile(Shipped() + "English_Profile/avi/Fast.AVO", "[General]\nDescription=en fast\n");
    qvtest::WriteFile(Shipped() + "English_Profile/mp3/Default.mpo", "[General]\nDescription=en mp3\n");
    qvtest::WriteFile(Shipped() + "English_Profile/wav/Default.wao", "[General]\nDescription=en wav\n");
    qvtest::WriteFile(Shipped() + "Deutsch_Profile/mp3/Standard.mpo", "[General]\nDescription=de mp3\n");
    // The user's Deutsch tree: WAV already has a profile of its own.
    qvtest::WriteFile(Langs() + "Deutsch_Profile/wav/Mine.wao", "[General]\nDescription=mine\n");

    EXPECT_EQ(FillEmptyProfileFolders(Shipped(), Langs() + "Deutsch_Profile/"), 3);
    const std::string de = Langs() + "Deutsch_Profile/";
    EXPECT_TRUE(fs::exists(de + "avi/Default.avo"));
    EXPECT_TRUE(fs::exists(de + "avi/Fast.avo")); // copies get the lower-case extension
    EXPECT_TRUE(fs::exists(de + "mp3/Standard.mpo"));
    EXPECT_FALSE(fs::exists(de + "mp3/Default.mpo")); // the language's own, not English
    EXPECT_FALSE(fs::exists(de + "wav/Default.wao"));  // a folder with a profile is left alone
    EXPECT_EQ(qvtest::ReadFile(de + "wav/Mine.wao"), "[General]\nDescription=mine\n");
    // A second run copies nothing.
    EXPECT_EQ(FillEmptyProfileFolders(Shipped(), de), 0);
}

TEST_F(ShippedFillTest, RefreshFillsTheCurrentLanguagesEmptyFolders)
{
    qvtest::WriteFile(Shipped() + "English_Profile/avi/Default.avo", "[General]\n");
    qvtest::WriteFile(app.dir() + "config.ini", "[DazadUVI_Form]\nLanguageFile=Deutsch.ini\n");
    InitApplication(app.dir());
    LanguageFilePath = Langs() + "Deutsch.ini";
    ASSERT_TRUE(RefreshProfileLists());
    EXPECT_EQ(ProfileLists[0].Items, std::vector<std::string>{"Default"});
    EXPECT_TRUE(ProfileLists[1].Items.empty()); // nothing shipped for MP4
    // A deleted file is never brought back while the folder holds another.
    qvtest::WriteFile(Langs() + "Deutsch_Profile/avi/Other.avo", "[General]\n");
    fs::remove(Langs() + "Deutsch_Profile/avi/Default.avo");
    ASSERT_TRUE(RefreshProfileLists());
    EXPECT_EQ(ProfileLists[0].Items, std::vector<std::string>{"Other"});
}

// ---- Field values given as text ----

struct TValueCase {
    int Format;
    const char* Key;
    const char* Text;
    bool Accepted;
    TFieldValue Value;
};

class FieldValueTest : public ::testing::TestWithParam<TValueCase> {};

TEST_P(FieldValueTest, ReadsOrRefuses)
{
    const TValueCase& c = GetParam();
    std::string error;
    const auto value = ParseFieldValue(c.Format, c.Key, c.Text, error);
    ASSERT_EQ(value.has_value(), c.Accepted) << c.Key << "=" << c.Text << " " << error;
    if (value)
        EXPECT_EQ(*value, c.Value);
    else
        EXPECT_NE(error.find(c.Key), std::string::npos) << error; // the message names the key
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FieldValueTest,
    ::testing::Values(
        TValueCase{0, "Description", "any text", true, std::string("any text")},
        TValueCase{0, "Description", "two\nlines", false, {}},
        TValueCase{0, "NoSuchKey", "1", false, {}},
        TValueCase{13, "VideoCodec", "0", false, {}}, // MP3 has no video
        TValueCase{0, "EnableTimeControl", "1", true, true},
        TValueCase{0, "EnableTimeControl", "0", true, false},
        TValueCase{0, "EnableTimeControl", "yes", false, {}},
        TValueCase{0, "VideoCodec", "0x6", true, uint8_t{6}},
        TValueCase{0, "VideoCodec", "10", true, uint8_t{10}},
        TValueCase{0, "VideoCodec", "11", false, {}}, // eleven entries
        TValueCase{0, "VideoCodec", "-1", false, {}},
        TValueCase{0, "VideoFrameRateDivX", "12", true, uint8_t{12}},
        TValueCase{0, "VideoFrameRateDivX", "13", false, {}},
        TValueCase{0, "VideoAspectH263", "4", true, uint8_t{4}},
        TValueCase{0, "VideoAspectDivX", "3", false, {}},
        TValueCase{3, "PresetType", "2", true, uint8_t{2}},
        TValueCase{3, "PresetType", "3", false, {}},
        TValueCase{0, "VideoBitRatePresetDivX", "0x10", true, int32_t{16}},
        TValueCase{0, "VideoBitRatePresetDivX", "12a", false, {}},
        TValueCase{0, "VideoBitRatePresetDivX", "-1", false, {}},
        TValueCase{0, "VideoBitRateSpecifyDivX", "0", false, {}},
        TValueCase{0, "VideoBitRateSpecifyDivX", "1", true, int32_t{1}},
        TValueCase{0, "VideoBitRateSpecifyDivX", "100000", true, int32_t{100000}},
        TValueCase{0, "VideoBitRateSpecifyDivX", "100001", false, {}},
        TValueCase{13, "AudioBitRatePresetMp3", "-128", false, {}},
        TValueCase{3, "DVDAudioBitRatePreset", "0xFFFFFFFF", false, {}}, // -1 as 32 bits
        TValueCase{0, "VideoWidthDivX", "2", true, int32_t{2}},
        TValueCase{0, "VideoWidthDivX", "1600", true, int32_t{1600}},
        TValueCase{0, "VideoWidthDivX", "1", false, {}},
        TValueCase{0, "VideoHeightDivX", "1601", false, {}},
        TValueCase{0, "StartTime", "0:01:30.500", true, std::string("0:01:30.500")},
        TValueCase{0, "Duration", "soon", false, {}}));

// ---- Profile files that cannot be used ----

struct TFileCase {
    const char* Name;
    int Format;
    std::function<void(const std::string&)> Make; // makes the file under the path given
    bool OwnKeysRequired;
    const char* Key;    // the key at fault, "" for the file, nullptr when usable
    const char* Reason; // a part of the reason
};

class ProfileFileTest : public ::testing::TestWithParam<TFileCase> {};

TEST_P(ProfileFileTest, RefusedWithTheKeyAndTheReason)
{
    const TFileCase& c = GetParam();
    qvtest::TempDir dir;
    const std::string file = dir.file("p.mpo");
    c.Make(file);
    const std::vector<TProfileProblem> problems = ProfileFileProblems(c.Format, file, c.OwnKeysRequired);
    if (!c.Key) {
        EXPECT_TRUE(problems.empty()) << problems.front().Key << ": " << problems.front().Reason;
        EXPECT_EQ(ProfileProblemText(file, problems), "");
        return;
    }
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(problems.front().Key, c.Key);
    EXPECT_CONTAINS(problems.front().Reason, c.Reason);
    const std::string text = ProfileProblemText(file, problems);
    EXPECT_CONTAINS(text, "The profile \"" + file + "\" cannot be used: ");
    EXPECT_CONTAINS(text, c.Reason);
}

std::function<void(const std::string&)> Text(std::string content)
{
    return [content](const std::string& path) { qvtest::WriteFile(path, content); };
}

const std::string Utf16Profile("\xFF\xFE[\0G\0e\0n\0e\0r\0a\0l\0]\0\r\0\n\0", 22);
const std::string Utf16NoMark("[\0G\0e\0n\0e\0r\0a\0l\0]\0", 18);

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileFileTest,
    ::testing::Values(
        TFileCase{"Usable", 13, Text("[General]\nAudioBitRatePresetMp3=320\nAudioCodec=0\n"), true, nullptr, ""},
        TFileCase{"Missing", 13, [](const std::string&) {}, true, nullptr, ""},
        TFileCase{"UnknownKeysAndOtherSectionsIgnored", 13,
                  Text("[General]\nFoo=bar\nAudioSampleRateMp3=1\n[Other]\nAudioCodec=-1\n"), true, nullptr, ""},
        TFileCase{"QuotedValueAndUtf8Mark", 13, Text("\xEF\xBB\xBF[General]\r\nAudioChannelsMp3=\"1\"\r\n"), true,
                  nullptr, ""},
        TFileCase{"LegacyEightBitDescription", 13, Text("[General]\nDescription=K\xF6ln\nAudioCodec=0\n"), false,
                  nullptr, ""},
        TFileCase{"Utf16WithMark", 13, Text(Utf16Profile), false, "", "UTF-16"},
        TFileCase{"Utf16WithoutMark", 13, Text(Utf16NoMark), false, "", "UTF-16"},
        TFileCase{"Binary", 13, Text(std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)), false, "", "binary"},
        TFileCase{"ControlBytes", 13, Text("[General]\nDescription=a\x1b[2Jb\n"), false, "", "binary"},
        TFileCase{"OverOneMiB", 13, Text("[General]\n;" + std::string(1024 * 1024, 'x') + "\n"), false, "",
                  "larger than 1 MiB"},
        TFileCase{"NamedPipe", 13, [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, false, "",
                  "not a regular file (a named pipe)"},
        TFileCase{"Folder", 13, [](const std::string& p) { fs::create_directory(p); }, false, "",
                  "not a regular file (a folder)"},
        TFileCase{"IndexBelowItsList", 0, Text("[General]\nVideoCodec=-1\n"), false, "VideoCodec", "from 0 to 10"},
        TFileCase{"IndexBeyondItsList", 0, Text("[General]\nVideoCodec=258\n"), false, "VideoCodec", "not \"258\""},
        TFileCase{"NegativeBitrate", 13, Text("[General]\nAudioBitRatePresetMp3=-128\n"), false,
                  "AudioBitRatePresetMp3", "bitrate"},
        TFileCase{"ZeroVideoBitrate", 3, Text("[General]\nDVDVideoBitRateSpecify=0\n"), false,
                  "DVDVideoBitRateSpecify", "bitrate"},
        TFileCase{"SizeOutOfRange", 1, Text("[General]\nVideoWidthH264=0\n"), false, "VideoWidthH264", "2 to 1600"},
        TFileCase{"NoNumber", 13, Text("[General]\nAudioChannelsMp3=two\n"), false, "AudioChannelsMp3", "two"},
        TFileCase{"EmptyNumber", 13, Text("[General]\nAudioSampleRateMp3=\n"), false, "AudioSampleRateMp3", ""},
        // Times are the option line's to refuse, and only with time control on.
        TFileCase{"NoTimeLeftToTheLine", 13, Text("[General]\nStartTime=later\nAudioCodec=0\n"), false, nullptr, ""},
        TFileCase{"KeyCaseIgnored", 13, Text("[general]\naudiocodec=7\n"), false, "AudioCodec", "not \"7\""},
        // Extensions are shared (.mpo: MP4, MPEG, MP2, MP3), so only the keys tell.
        TFileCase{"OtherFormatsProfile", 13,
                  Text("[General]\nDescription=mp4\nFormat=3\nVideoCodec=0\nAudioCodec=0\nAudioBitRatePresetAACMP4=64\n"),
                  true, "", "none of this format's own keys"},
        TFileCase{"OtherAudioFormatsProfile", 13, Text("[General]\nAudioCodec=0\naudiobitratepresetmp2=192\n"), true, "",
                  "keys of another format's profiles (such as \"audiobitratepresetmp2\")"},
        // Only shared keys: a sparse profile of any format, its other keys the defaults.
        TFileCase{"OnlySharedKeys", 12, Text("[General]\nDescription=x\nAudioCodec=0\nNoSuchKey=1\n"), true, nullptr,
                  ""},
        TFileCase{"OtherFormatsKeysAsSelectedProfile", 12, Text("[General]\nAudioBitRatePresetMp3=1\n"), false,
                  nullptr, ""}),
    [](const ::testing::TestParamInfo<TFileCase>& info) { return std::string(info.param.Name); });

TEST(ProfileText, IsAProfileFileThatLoadsAsTheSameRecord)
{
    qvtest::TempDir dir;
    for (int format = 0; format < OutputFormatCount; ++format) {
        TProfileRecord record = DefaultRecord(format);
        SetField(record, "Description", std::string("shown"));
        const std::string text = ProfileText(record);
        EXPECT_EQ(text.rfind("[General]\nDescription=shown\n", 0), 0u) << text;
        const std::string file = dir.file("p" + std::to_string(format));
        qvtest::WriteFile(file, text);
        for (const std::string& key : RecordKeys(format))
            EXPECT_EQ(GetField(LoadRecord(format, file), key), GetField(record, key)) << format << " " << key;
    }
}

} // namespace
