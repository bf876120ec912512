// The batch driver with fake windows and the child program as the encoder.

#include <gtest/gtest.h>

#include <optional>

#include <map>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

#include "EngineFakes.h"
#include "app/Settings.h"
#include "engine/BatchDriver.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "platform/PartialOutput.h"
#include "profiles/profiles.h"
#include "support/SpecialFiles.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

const std::string Child = QV_TEST_CHILD;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        lines.push_back(text.substr(start, nl - start));
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    return lines;
}

class BatchDriver : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetCatalogue();
        Options = TOptions{};
        AppFolder = tmp.dir() + "app/";
        LanguagesFolder = AppFolder + "langs/";
        WriteFile(LanguagesFolder + "English_Profile/DirectShow.avs",
                  "# script for one source\nDirectShowSource(\"<%InputFile%>\")\n# again: <%inputfile%>\n");
        DirectShowExtensions = {".dsx"};
        Options.EncoderFile = Child;
        Options.OutputFormat = 0;
        Options.Priority = 1;
        OutputFolder = tmp.dir() + "out/";
        fs::create_directories(OutputFolder);
        driver.OutputExtension = [this] { return extension; };
        driver.EncoderOptions = [this] { return options; };
        oldPower = SetPowerActions(std::make_unique<TFakePower>(&powerCalls));
        // Converted sources go to a Trash inside the test's own folder.
        if (const char* data = std::getenv("XDG_DATA_HOME"))
            oldDataHome = data;
        setenv("XDG_DATA_HOME", (tmp.dir() + "data").c_str(), 1);
    }
    void TearDown() override
    {
        SetPowerActions(std::move(oldPower));
        oldDataHome ? setenv("XDG_DATA_HOME", oldDataHome->c_str(), 1) : unsetenv("XDG_DATA_HOME");
    }
    std::optional<std::string> oldDataHome;

    // A source whose first line tells the fake encoder what to do.
    std::string Source(const std::string& name, const std::string& behaviour = "convert")
    {
        std::string path = tmp.dir() + "src/" + name;
        WriteFile(path, behaviour + "\nsome media bytes\n");
        queue.Add(path);
        return path;
    }
    std::string OutputOf(const std::string& source)
    {
        return OutputFolder + fs::path(source).stem().string() + extension;
    }
    // The arguments the fake encoder received, from its output file.
    std::vector<std::string> EncoderArgs(const std::string& output) { return Lines(ReadFile(output)); }

    TempDir tmp;
    std::string OutputFolder;
    std::string extension = ".avi";
    std::string options = "-y -f avi  -vcodec xvid -b 800k ";
    TEventLoop loop;
    TRedirector runner{loop};
    TSimpleFileQueue queue;
    TFakeHost host{loop};
    TFakePrompter prompter;
    TBatchDriver driver{runner, queue, host, prompter, loop};
    std::vector<std::string> powerCalls;
    std::unique_ptr<TPowerActions> oldPower;
};

} // namespace

TEST_F(BatchDriver, ChecksBeforeTheBatch)
{
    // Encoder missing.
    Options.EncoderFile = "no-such-encoder";
    Source("a.mpg");
    EXPECT_FALSE(driver.ConvertFiles(OutputFolder));
    EXPECT_TRUE(prompter.Shown("The file \"no-such-encoder\" couldn't be found."));
    // No files.
    Options.EncoderFile = Child;
    queue.Entries.clear();
    EXPECT_FALSE(driver.ConvertFiles(OutputFolder));
    EXPECT_TRUE(prompter.Shown("There are no files to encode!"));
    // No format chosen.
    Source("a.mpg");
    Options.OutputFormat = 22; // 16..21 are formats too
    EXPECT_FALSE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(prompter.Messages.back().Text, IDS_MESSAGEBOX_NoFormat);
    EXPECT_EQ(prompter.Messages.back().Caption, IDS_MESSAGEBOX_NoFormatTitle);
    // An AVI into its own folder as AVI.
    Options.OutputFormat = 0;
    queue.Entries.clear();
    WriteFile(OutputFolder + "same.avi", "x");
    queue.Add(OutputFolder + "same.avi");
    EXPECT_FALSE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(prompter.Messages.back().Text,
              FormatText(IDS_MESSAGE_MustBeDiffer, {OutputFolder + "same.avi"}));
    EXPECT_EQ(prompter.Messages.back().Caption, "Error!");
    // The same file under another spelling of its folder.
    EXPECT_FALSE(driver.ConvertFiles(tmp.dir() + "out/./"));
    EXPECT_EQ(host.ViewsCreated, 0);
    EXPECT_EQ(ReadFile(OutputFolder + "same.avi"), "x");
    // Two sources that would write one output.
    queue.Entries.clear();
    const std::string first = Source("clip.mpg"), second = Source("clip.mov");
    EXPECT_FALSE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(prompter.Messages.back().Text,
              FormatText(IDS_MESSAGE_SameOutput, {first, second, OutputFolder + "clip.avi"}));
    EXPECT_EQ(host.ViewsCreated, 0);
    EXPECT_FALSE(fs::exists(OutputFolder + "clip.avi"));

    // An output name no file system takes is refused before any work.
    queue.Entries.clear();
    const std::string longName = Source(std::string(253, 'n') + ".m");
    EXPECT_FALSE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(prompter.Messages.back().Text, FormatText(IDS_MESSAGE_OutputNameTooLong, {OutputOf(longName)}));
    EXPECT_EQ(host.ViewsCreated, 0);
}

// Outputs are regular files: what else stands under an output name is
// refused before any question, also when every overwrite would be agreed.
TEST_F(BatchDriver, OutputNamesThatAreNoRegularFilesAreRefused)
{
    for (qvtest::TSpecialKind kind : qvtest::AllSpecialKinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        queue.Entries.clear();
        prompter = TFakePrompter{};
        prompter.ChoiceAnswers = {mrYesToAll};
        prompter.YesNoAnswers = {mrYes};
        const std::string output = OutputOf(Source("a.mpg"));
        fs::remove_all(output);
        qvtest::TSpecialFile special(kind, output);
        if (!special.Made()) {
            ASSERT_EQ(kind, qvtest::TSpecialKind::Device);
            continue;
        }
        const auto type = fs::symlink_status(output).type();

        EXPECT_FALSE(driver.ConvertFiles(OutputFolder));

        EXPECT_EQ(prompter.Messages.back().Text, FormatText(IDS_MESSAGE_OutputNotAFile, {output}));
        EXPECT_EQ(prompter.ChoiceCalls, 0);
        EXPECT_EQ(host.ViewsCreated, 0);
        EXPECT_EQ(fs::symlink_status(output).type(), type);
    }
}

// The five answers: Yes (this very file), Yes to All (after a confirmation),
// Skip (this file is left out, the batch goes on), Skip All (every file
// whose output exists), Cancel (the close box too: nothing starts).
TEST_F(BatchDriver, OverwriteQuestions)
{
    struct {
        const char* name;
        std::vector<int> choices;
        std::vector<int> confirms;
        bool started;   // ConvertFiles went ahead (also with every file skipped)
        bool aReplaced; // the outputs of a and b were converted anew
        bool bReplaced;
        int choiceCalls;
        const char* grant; // what the encoder may replace: "any", or "" for the file asked about
    } cases[] = {
        {"yes then cancel", {mrYes, mrCancel}, {}, false, false, false, 2, ""},
        {"yes to all then no", {mrYesToAll}, {mrNo}, false, false, false, 1, ""},
        {"yes to all confirmed", {mrYesToAll}, {mrYes}, true, true, true, 1, "any"},
        {"cancel", {mrCancel}, {}, false, false, false, 1, ""},
        {"yes for both", {mrYes, mrYes}, {}, true, true, true, 2, ""},
        {"skip then yes", {mrNo, mrYes}, {}, true, false, true, 2, ""},
        {"yes then skip", {mrYes, mrNo}, {}, true, true, false, 2, ""},
        {"skip all", {mrNoToAll}, {}, true, false, false, 1, ""},
    };
    for (const auto& c : cases) {
        queue.Entries.clear();
        prompter = TFakePrompter{};
        const std::string a = Source("a.mpg"), b = Source("b.mpg");
        WriteFile(OutputOf(a), "old");
        WriteFile(OutputOf(b), "old");
        struct stat old {};
        ASSERT_EQ(lstat(OutputOf(b).c_str(), &old), 0);
        const std::string agreed = *c.grant ? c.grant : ReplaceGrantText(TReplaceGrant::Only(old.st_dev, old.st_ino));
        prompter.ChoiceAnswers.assign(c.choices.begin(), c.choices.end());
        prompter.YesNoAnswers.assign(c.confirms.begin(), c.confirms.end());
        EXPECT_EQ(driver.ConvertFiles(OutputFolder), c.started) << c.name;
        EXPECT_EQ(prompter.ChoiceCalls, c.choiceCalls) << c.name;
        EXPECT_EQ(ReadFile(OutputOf(a)) != "old", c.aReplaced) << c.name;
        EXPECT_EQ(ReadFile(OutputOf(b)) != "old", c.bReplaced) << c.name;
        EXPECT_EQ(host.ViewsCreated > 0, c.aReplaced || c.bReplaced) << c.name << ": no batch without a file";
        host.ViewsCreated = 0;
        if (c.bReplaced) {
            // The grant comes right before the output name.
            const auto args = EncoderArgs(OutputOf(b));
            ASSERT_GE(args.size(), 3u);
            EXPECT_EQ(std::vector<std::string>(args.end() - 3, args.end() - 1),
                      (std::vector<std::string>{"-replace", agreed}))
                << c.name;
        }
        // A skipped file stays in the list, neither converted nor failed.
        EXPECT_EQ(queue.Entries.size(), size_t(2 - c.aReplaced - c.bReplaced)) << c.name;
        for (const auto& e : queue.Entries)
            EXPECT_FALSE(e.Failed) << c.name;
        if (!c.confirms.empty()) {
            EXPECT_EQ(prompter.YesNoDefaults.front(), 2) << c.name;
        }
        EXPECT_EQ(prompter.Messages.front().Text, FormatText(IDS_MESSAGEBOX_FileExists, {OutputOf(a)})) << c.name;
        if (c.started && !c.aReplaced && !c.bReplaced) {
            EXPECT_EQ(prompter.Messages.back().Text, IDS_MESSAGEBOX_AllSkipped) << c.name;
        }
    }
}

// The stored policy answers for every existing output without a question.
TEST_F(BatchDriver, ExistingOutputPolicies)
{
    struct {
        const char* name;
        TExistingOutputs policy;
        const char* grant; // nullptr: the file whose output exists is skipped
    } cases[] = {
        {"skip", TExistingOutputs::Skip, nullptr},
        {"overwrite", TExistingOutputs::Overwrite, "any"},
        {"number", TExistingOutputs::Number, "number"},
    };
    for (const auto& c : cases) {
        queue.Entries.clear();
        prompter = TFakePrompter{};
        Options.ExistingOutputs = static_cast<uint8_t>(c.policy);
        const std::string a = Source("a.mpg"), b = Source("b.mpg");
        WriteFile(OutputOf(a), "old");
        fs::remove(OutputOf(b));
        EXPECT_TRUE(driver.ConvertFiles(OutputFolder)) << c.name;
        EXPECT_EQ(prompter.ChoiceCalls, 0) << c.name;
        EXPECT_EQ(ReadFile(OutputOf(a)) == "old", c.grant == nullptr) << c.name;
        EXPECT_EQ(driver.SkippedFiles(), c.grant ? std::vector<std::string>{} : std::vector<std::string>{a}) << c.name;
        const auto args = EncoderArgs(OutputOf(b));
        const bool granted = std::find(args.begin(), args.end(), "-replace") != args.end();
        EXPECT_EQ(granted, c.policy != TExistingOutputs::Skip) << c.name;
        if (granted) {
            EXPECT_EQ(args[args.size() - 2], c.grant) << c.name;
        }
    }

    // Two sources of one output name are refused, except when numbered.
    queue.Entries.clear();
    const std::string first = Source("clip.mpg"), second = Source("clip.mov");
    Options.ExistingOutputs = static_cast<uint8_t>(TExistingOutputs::Overwrite);
    prompter = TFakePrompter{};
    EXPECT_FALSE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(prompter.Messages.back().Text,
              FormatText(IDS_MESSAGE_SameOutput, {first, second, OutputFolder + "clip.avi"}));
    Options.ExistingOutputs = static_cast<uint8_t>(TExistingOutputs::Number);
    EXPECT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_TRUE(queue.Entries.empty());
}

// Beside its source, an output that would be the source itself is skipped
// with a message and the others convert; no output folder is needed.
TEST_F(BatchDriver, BesideTheSourceSkipsAnOutputThatIsItsSource)
{
    Options.OutputBesideSource = true;
    extension = ".mpg";
    const std::string same = Source("same.mpg"), other = Source("other.mov");
    EXPECT_TRUE(driver.ConvertFiles(""));
    EXPECT_EQ(driver.SkippedFiles(), std::vector<std::string>{same});
    EXPECT_EQ(ReadFile(same).rfind("convert\n", 0), 0u) << "the source is untouched";
    const std::string output = tmp.dir() + "src/other.mpg";
    ASSERT_TRUE(fs::exists(output));
    EXPECT_EQ(EncoderArgs(output).back(), output);
    ASSERT_EQ(queue.Entries.size(), 1u);
    EXPECT_EQ(queue.Entries[0].FullName, same);
}

TEST_F(BatchDriver, OutputFolderReady)
{
    EXPECT_FALSE(driver.OutputFolderReady("   "));
    EXPECT_EQ(prompter.Messages.back().Text, "You must choose an output folder first!");
    EXPECT_EQ(prompter.Messages.back().Icon, TMsgIcon::Warning); // a notice, no question

    const std::string missing = tmp.dir() + "new/deeper";
    prompter.YesNoAnswers = {mrNo};
    EXPECT_FALSE(driver.OutputFolderReady(missing));
    EXPECT_FALSE(fs::exists(missing));
    prompter.YesNoAnswers = {mrYes};
    EXPECT_TRUE(driver.OutputFolderReady(" " + missing + " "));
    EXPECT_TRUE(fs::is_directory(missing));

    WriteFile(tmp.file("a-file"), "x");
    prompter.YesNoAnswers = {mrYes};
    EXPECT_FALSE(driver.OutputFolderReady(tmp.file("a-file") + "/sub"));
    EXPECT_EQ(prompter.Messages.back().Text,
              "Fail to create directory! Please check if output folder have the right format!\r\n\r\n\"" +
                  tmp.file("a-file") + "\" is a file, not a folder");
    EXPECT_EQ(prompter.Messages.back().Icon, TMsgIcon::Error);
}

// A folder nothing can be written into is refused before any question or
// encoder, with the system's reason; access() would say yes to root on a
// read-only file system, so the check writes a file.
TEST_F(BatchDriver, UnwritableOutputFolderIsRefusedBeforeTheBatch)
{
    const std::string locked = tmp.dir() + "locked/", readOnly = tmp.dir() + "ro/", full = tmp.dir() + "full/";
    fs::create_directories(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    TSmallDisk roDisk(readOnly, "1m", /*readOnly=*/true);
    TSmallDisk fullDisk(full, "256k");
    if (fullDisk.Mounted()) {
        std::ofstream filler(full + "filler", std::ios::binary);
        const std::string block(64 * 1024, 'x');
        for (int i = 0; i < 8 && filler.write(block.data(), block.size()) && filler.flush(); ++i) {
        }
    }
    const struct {
        const char* name;
        std::string folder;
        std::string skipWhy;
        std::string reason;
    } cases[] = {
        {"no permission", locked, access(locked.c_str(), W_OK) == 0 ? "root writes anyway" : "",
         IDS_MESSAGE_ReasonPermission + " (Permission denied)"},
        {"read-only", readOnly, roDisk.Mounted() ? "" : roDisk.Why(),
         IDS_MESSAGE_ReasonReadOnly + " (Read-only file system)"},
        {"disk full", full, fullDisk.Mounted() ? "" : fullDisk.Why(),
         IDS_MESSAGE_ReasonNoSpace + " (No space left on device)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.skipWhy.empty()) {
            std::cout << "[  SKIPPED ] " << c.name << ": " << c.skipWhy << "\n";
            continue;
        }
        queue.Entries.clear();
        const std::string source = Source("a.mpg");
        prompter.Messages.clear();
        EXPECT_FALSE(driver.ConvertFiles(" " + c.folder));
        ASSERT_EQ(prompter.Messages.size(), 1u);
        EXPECT_EQ(prompter.Messages.back().Text, FormatText(IDS_MESSAGEBOX_OutputNotWritable, {c.folder, c.reason}));
        EXPECT_EQ(prompter.Messages.back().Caption, IDS_MESSAGEBOX_OutputNotWritableTitle);
        EXPECT_EQ(host.ViewsCreated, 0);
        EXPECT_TRUE(fs::exists(source));
        EXPECT_FALSE(fs::exists(c.folder + "a.avi"));
        // The probe leaves nothing behind.
        for (const auto& entry : fs::directory_iterator(c.folder))
            EXPECT_EQ(entry.path().filename(), "filler");
    }
    fs::permissions(locked, fs::perms::owner_all);
}

TEST_F(BatchDriver, ThreeFilesWithTheSecondFailing)
{
    const std::string a = Source("a.mpg"), b = Source("b.mpg", "fail"), c = Source("c.mpg");
    Options.ShutdownWindowsWhenDone = true;
    // No box may wait for an answer while files are still to be converted.
    size_t boxesWhileRunning = 0;
    host.OnView = [&](TFakeView& view) {
        view.OnLabel = [&](TProgressLabel, const std::string&) {
            boxesWhileRunning += prompter.Messages.size() + prompter.Errors.size();
        };
    };
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(boxesWhileRunning, 0u);
    ASSERT_EQ(queue.Entries.size(), 1u);
    EXPECT_EQ(queue.Entries[0].FullName, b);
    EXPECT_TRUE(queue.Entries[0].Failed);
    EXPECT_EQ(queue.Entries[0].FailureReason, "Error while opening codec for output stream #0.0");
    EXPECT_TRUE(fs::exists(OutputOf(a)));
    EXPECT_TRUE(fs::exists(OutputOf(c)));
    EXPECT_FALSE(fs::exists(OutputOf(b)));
    // One summary box at the end: the batch's message, then each file's errors.
    ASSERT_EQ(prompter.Messages.size(), 1u);
    EXPECT_EQ(prompter.Messages[0].Text, "At least one error occurred.\n\nErrors of the files:\n"
                                         "b.mpg: Error while opening codec for output stream #0.0");
    EXPECT_TRUE(prompter.Errors.empty());
    EXPECT_EQ(Options.DoneCount, 2);
    EXPECT_EQ(Options.FailedCount, 1);
    EXPECT_EQ(host.Countdowns, 0);
    EXPECT_TRUE(host.Balloons.empty());
    // The host may tell a user away from the window, once, before the message box.
    EXPECT_EQ(host.ErrorAnnouncements,
              std::vector<std::string>{"Oops, something wasn't as expected!|At least one error occurred."});
    EXPECT_TRUE(powerCalls.empty());
    EXPECT_EQ(host.Record->TrayHints.back(), "Finished converting");
    EXPECT_EQ(Options.LastOutputOpenDir, OutputFolder);
    EXPECT_EQ(host.Inhibits, (std::vector<bool>{true, false}));
    EXPECT_EQ(driver.Progress(), nullptr);
}

TEST_F(BatchDriver, EncoderNotesReachTheHostPerFileAndOnceForTheBatch)
{
    const std::string a = Source("a.mpg", "note MP3 has no bitrate of 320 kbit/s at 22050 Hz; written at 160 kbit/s");
    const std::string b = Source("b.mpg");
    const std::string c = Source("c.mpg", "note Could not open is quoted, not reported");
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    // Notes are no errors: every file converted.
    EXPECT_TRUE(queue.Entries.empty());
    EXPECT_EQ(Options.FailedCount, 0);
    EXPECT_FALSE(prompter.Shown("At least one error occurred."));
    EXPECT_EQ(host.FileNotes,
              (std::vector<std::string>{a + "|MP3 has no bitrate of 320 kbit/s at 22050 Hz; written at 160 kbit/s",
                                        c + "|Could not open is quoted, not reported"}));
    ASSERT_EQ(host.BatchNotes.size(), 1u);
    ASSERT_EQ(host.BatchNotes[0].size(), 2u);
    EXPECT_EQ(host.BatchNotes[0][0].File, a);
    EXPECT_EQ(host.BatchNotes[0][1].File, c);
    EXPECT_EQ(driver.BatchNotes().size(), 2u);

    // The next batch starts without the old notes, and one without notes shows none.
    Source("d.mpg");
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_TRUE(driver.BatchNotes().empty());
    EXPECT_EQ(host.BatchNotes.size(), 1u);
    EXPECT_TRUE(driver.FileProgress(0).FileNotes.empty());
}

TEST_F(BatchDriver, CompleteBatchShowsBalloonAndRunsTheAfterBatchAction)
{
    Source("a.mpg");
    Source("b.mpg");
    Options.ShutdownWindowsWhenDone = true;
    Options.ShutdownFlag = 5;
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_TRUE(queue.Entries.empty());
    EXPECT_EQ(host.Balloons, std::vector<std::string>{"Quorvex Information|Convertion complete!"});
    EXPECT_TRUE(host.ErrorAnnouncements.empty());
    EXPECT_EQ(host.Record->Caption, "Encoding finished");
    EXPECT_EQ(host.Record->Labels[TProgressLabel::Batch], "Status= 100%");
    EXPECT_EQ(host.Countdowns, 1);
    EXPECT_EQ(powerCalls, (std::vector<std::string>{"CanPerform 5", "Suspend"}));
    EXPECT_TRUE(host.ErrorAnnouncements.empty());

    // A cancelled countdown does nothing.
    powerCalls.clear();
    host.CountdownRunsOut = false;
    Source("c.mpg");
    prompter.ChoiceAnswers = {mrYes};
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(powerCalls, std::vector<std::string>{"CanPerform 5"}); // asked, not done
}

// An action the system refuses or that fails is reported, in a message box
// and a notification, with the system's answer; a refused one gets no countdown.
TEST_F(BatchDriver, RefusedOrFailedAfterBatchActionIsReported)
{
    struct Case {
        int flag;
        std::map<int, std::string> answers, failures;
        int countdowns;
        std::vector<std::string> calls;
        std::string reported; // "" nothing
    } cases[] = {
        {1, {{1, "no"}}, {}, 0, {"CanPerform 1"}, "The chosen action (Shutdown) was not performed: logind answers \"no\""},
        {5, {{5, "logind could not be asked: Failed to connect to bus"}}, {}, 0, {"CanPerform 5"},
         "The chosen action (Suspend) was not performed: logind could not be asked: Failed to connect to bus"},
        {3, {{3, "challenge"}}, {}, 1, {"CanPerform 3", "Reboot"}, ""},
        {4, {}, {{4, "Failed to hibernate system via logind: Not enough swap space for hibernation"}}, 1,
         {"CanPerform 4", "Hibernate"},
         "The chosen action (Hibernate) was not performed: Failed to hibernate system via logind: Not enough swap "
         "space for hibernation"},
        {2, {{1, "no"}}, {}, 1, {"LogOff"}, ""}, // logging off asks nobody
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flag);
        powerCalls.clear();
        host.Countdowns = 0;
        host.ErrorAnnouncements.clear();
        prompter.Messages.clear();
        SetPowerActions(std::make_unique<TFakePower>(&powerCalls, c.answers, c.failures));
        Options.ShutdownWindowsWhenDone = true;
        Options.ShutdownFlag = static_cast<uint8_t>(c.flag);
        Source("action" + std::to_string(c.flag) + ".mpg");
        ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
        EXPECT_EQ(host.Countdowns, c.countdowns);
        EXPECT_EQ(powerCalls, c.calls);
        if (c.reported.empty()) {
            EXPECT_TRUE(host.ErrorAnnouncements.empty());
            EXPECT_TRUE(prompter.Messages.empty());
            continue;
        }
        EXPECT_EQ(host.ErrorAnnouncements, std::vector<std::string>{"Action not performed|" + c.reported});
        ASSERT_EQ(prompter.Messages.size(), 1u);
        EXPECT_EQ(prompter.Messages[0].Text, c.reported);
        EXPECT_EQ(prompter.Messages[0].Icon, TMsgIcon::Error);
    }
}

TEST_F(BatchDriver, StopWhenDoneEndsAfterTheCurrentFile)
{
    const std::string a = Source("a.mpg", "sleep 300"), b = Source("b.mpg"), c = Source("c.mpg");
    host.OnView = [](TFakeView& view) {
        view.OnLabel = [](TProgressLabel label, const std::string&) {
            if (label == TProgressLabel::Working)
                Options.StopWhenDone = true;
        };
    };
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    ASSERT_EQ(queue.Entries.size(), 2u);
    EXPECT_EQ(queue.Entries[0].FullName, b);
    EXPECT_EQ(queue.Entries[1].FullName, c);
    EXPECT_FALSE(queue.Entries[0].Failed);
    EXPECT_TRUE(fs::exists(OutputOf(a)));
    EXPECT_EQ(host.Record->ModalResult, mrOk);
    EXPECT_EQ(host.Balloons.size(), 1u);
}

// One file at a time: when a file starts, the window names it, its output
// and a bar at 0, not the output and the 100 % of the file before.
TEST_F(BatchDriver, EachFileShowsItsOwnOutputAndBarFromItsStart)
{
    Source("a.mpg");
    Source("b.mpg", "fail");
    Source("c.mpg");
    // At each "Working" line naming another file: that line | the output line | the bar.
    std::vector<std::string> seen;
    host.OnView = [&](TFakeView& view) {
        view.OnLabel = [&](TProgressLabel label, const std::string& text) {
            if (label == TProgressLabel::Working && (seen.empty() || seen.back().rfind(text + "|", 0) != 0))
                seen.push_back(text + "|" + host.Record->Labels[TProgressLabel::Output] + "|" +
                               std::to_string(host.Record->StatusProgress));
        };
    };
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(seen, (std::vector<std::string>{"Working on file 1 of 3: a.mpg|Output file: a.avi|0",
                                              "Working on file 2 of 3: b.mpg|Output file: b.avi|0",
                                              "Working on file 3 of 3: c.mpg|Output file: c.avi|0"}));
}

TEST_F(BatchDriver, StopNowEndsTheEncoderAndLeavesTheFileFirst)
{
    Options.UseDirectShow = true;
    Options.DeleteFileAfterProcessing = true;
    Options.ShutdownWindowsWhenDone = true;
    const std::string a = Source("a.mpg", "sleep 20000"), b = Source("b.mpg");
    TFakeView* shown = nullptr;
    std::string script;
    host.OnView = [&](TFakeView& view) {
        shown = &view;
        view.OnLabel = [&](TProgressLabel label, const std::string&) {
            if (label == TProgressLabel::Working) {
                script = driver.ScriptPath();
                shown->Cancel();
            }
        };
    };
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(host.Record->ModalResult, mrCancel);
    ASSERT_EQ(queue.Entries.size(), 2u);
    EXPECT_EQ(queue.Entries[0].FullName, a);
    EXPECT_TRUE(fs::exists(a));
    EXPECT_EQ(Options.DoneCount + Options.FailedCount, 0);
    // The stopped file's script went with its private folder.
    ASSERT_FALSE(script.empty());
    EXPECT_FALSE(fs::exists(fs::path(script).parent_path()));
    EXPECT_EQ(host.Countdowns, 0);
    // The runner is idle at once, and its end settles no file later.
    EXPECT_FALSE(runner.Active());
    EXPECT_TRUE(runner.ExitStatus().Terminated);
    loop.ProcessEvents(100);
    EXPECT_EQ(queue.Entries.size(), 2u);
    EXPECT_EQ(Options.DoneCount + Options.FailedCount, 0);
}

TEST_F(BatchDriver, FailureByExitStatusKeepsTheSource)
{
    struct {
        const char* behaviour;
        bool failed;
        bool sourceKept;
        std::string reason; // on the failed file's entry
    } cases[] = {
        {"convert", false, false, ""},
        {"crash", true, true, "The encoder ended with exit code 3."}, // no error line
        {"signal", true, true, "The encoder was ended by signal 9."}, // killed
        {"fail", true, true, "Error while opening codec for output stream #0.0"}, // error line and exit code 1
        {"empty", false, true, ""}, // exit 0 but an empty output: converted, source kept
    };
    Options.DeleteFileAfterProcessing = true;
    for (const auto& c : cases) {
        queue.Entries.clear();
        prompter = TFakePrompter{};
        const std::string src = Source(std::string(c.behaviour) + ".mpg", c.behaviour);
        fs::remove(OutputOf(src));
        ASSERT_TRUE(driver.ConvertFiles(OutputFolder)) << c.behaviour;
        EXPECT_EQ(Options.FailedCount == 1, c.failed) << c.behaviour;
        EXPECT_EQ(queue.Entries.size(), c.failed ? 1u : 0u) << c.behaviour;
        EXPECT_EQ(fs::exists(src), c.sourceKept) << c.behaviour;
        ASSERT_EQ(prompter.Messages.size(), c.failed ? 1u : 0u) << c.behaviour;
        if (!c.failed)
            continue;
        EXPECT_EQ(queue.Entries[0].FailureReason, c.reason) << c.behaviour;
        EXPECT_EQ(prompter.Messages[0].Text.rfind("At least one error occurred.", 0), 0u) << c.behaviour;
    }
}

// A converted source goes to the Trash, or for good where the options say so
// (quorvex-cli --delete-source); with no usable trash it stays, the file
// still counts as converted and a note says why.
TEST_F(BatchDriver, ConvertedSourceGoesToTheTrashOrStays)
{
    struct {
        const char* what;
        bool toTrash;
        bool trashBlocked; // a file where the trash folder would be
        bool inTrash;
        bool kept;
    } cases[] = {
        {"to the Trash", true, false, true, false},
        {"for good", false, false, false, false},
        {"no usable trash", true, true, false, true},
    };
    Options.DeleteFileAfterProcessing = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        queue.Entries.clear();
        host.FileNotes.clear();
        fs::remove_all(tmp.dir() + "data");
        fs::create_directories(tmp.dir() + "data");
        if (c.trashBlocked)
            WriteFile(tmp.dir() + "data/Trash", "no folder");
        Options.SourceToTrash = c.toTrash;
        const std::string src = Source("song.mpg");
        fs::remove(OutputOf(src));
        ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
        EXPECT_EQ(Options.DoneCount, 1);
        EXPECT_EQ(Options.FailedCount, 0);
        EXPECT_EQ(fs::exists(src), c.kept);
        EXPECT_EQ(fs::exists(tmp.dir() + "data/Trash/files/song.mpg"), c.inTrash);
        EXPECT_EQ(fs::exists(tmp.dir() + "data/Trash/info/song.mpg.trashinfo"), c.inTrash);
        if (c.kept) {
            ASSERT_EQ(host.FileNotes.size(), 1u);
            EXPECT_EQ(host.FileNotes[0].rfind(src + "|The source was kept: it could not be moved to the Trash (", 0), 0u)
                << host.FileNotes[0];
        } else {
            EXPECT_TRUE(host.FileNotes.empty());
        }
    }
}

// A format with no room for tags says so once per batch, not per file, and
// only while the profile keeps tags.
TEST_F(BatchDriver, TaglessFormatGetsOneNotePerBatch)
{
    Options.OutputFormat = static_cast<uint8_t>(OutputFormatKind::AC3);
    Source("a.mpg");
    Source("b.mpg");
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(Options.DoneCount, 2);
    EXPECT_EQ(host.FileNotes,
              (std::vector<std::string>{"|The AC3 format holds no tags: the outputs of this batch carry none."}));
    ASSERT_EQ(host.BatchNotes.size(), 1u);
    EXPECT_EQ(host.BatchNotes[0].size(), 1u);

    Options.OutputFormat = static_cast<uint8_t>(OutputFormatKind::MP3);
    host.FileNotes.clear();
    Source("c.mpg");
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_TRUE(host.FileNotes.empty());
}

// The encoder's temporary output goes when the encoder could not remove it
// itself (killed, stopped at once); a file that was under the output name
// before the run stays, even an empty one.
TEST_F(BatchDriver, TemporaryOutputGoesAndAnEarlierOutputStays)
{
    struct {
        const char* behaviour;
        bool stopNow;
    } cases[] = {
        {"partial 0", false},     // killed by a signal while writing
        {"partial 20000", true},  // "Stop now" while writing
        {"fail", false},          // an ordinary failure
    };
    for (const auto& c : cases) {
        queue.Entries.clear();
        prompter = TFakePrompter{};
        prompter.ChoiceAnswers = {mrYes};
        const std::string src = Source("a.mpg", c.behaviour);
        WriteFile(OutputOf(src), ""); // agreed to be overwritten
        TFakeView* shown = nullptr;
        bool partialSeen = false;
        host.OnView = [&](TFakeView& view) {
            shown = &view;
            view.OnLabel = [&](TProgressLabel label, const std::string&) {
                // The encoder made its temporary file before its first line
                // (whose figures start with the elapsed time).
                if (label != TProgressLabel::BatchElapsed || !runner.Active())
                    return;
                partialSeen = fs::exists(PartialOutputName(OutputOf(src), runner.ProcessId()));
                if (c.stopNow)
                    shown->Cancel();
            };
        };
        ASSERT_TRUE(driver.ConvertFiles(OutputFolder)) << c.behaviour;
        EXPECT_EQ(partialSeen, std::string(c.behaviour) != "fail") << c.behaviour;
        EXPECT_TRUE(fs::exists(OutputOf(src))) << c.behaviour;
        EXPECT_EQ(ReadFile(OutputOf(src)), "") << c.behaviour;
        for (const auto& entry : fs::directory_iterator(OutputFolder)) {
            EXPECT_FALSE(IsPartialOutputName(entry.path().filename().string()))
                << c.behaviour << ": " << entry.path();
        }
        EXPECT_TRUE(fs::exists(src)) << c.behaviour;
    }
}

TEST_F(BatchDriver, NamesReachTheEncoderUnchanged)
{
    OutputFolder = tmp.dir() + "100% done/%s %d %%/";
    fs::create_directories(OutputFolder);
    const std::string names[] = {"50%% off %s %d.mpg", "-dash \"quoted\" back\\slash.mpg", "ünïcödé name.mpg",
                                 "a -ac 5 b.mpg"};
    for (const auto& n : names)
        Source(n);
    options = "-y -f avi  -acodec ac3 -ac 5:1 ";
    ASSERT_TRUE(driver.ConvertFiles(" " + OutputFolder + " "));
    EXPECT_TRUE(queue.Entries.empty());
    for (const auto& n : names) {
        const std::string src = tmp.dir() + "src/" + n;
        const std::string out = OutputOf(src);
        ASSERT_TRUE(fs::exists(out)) << out;
        auto args = EncoderArgs(out);
        ASSERT_GE(args.size(), 6u) << n;
        EXPECT_EQ(args[0], Child);
        EXPECT_EQ(args[1], "-p");
        EXPECT_EQ(args[2], "5260718");
        EXPECT_EQ(args[3], "-i");
        EXPECT_EQ(args[4], src);
        EXPECT_EQ(args.back(), out);
        // The 5.1 correction works on the options, not on names.
        std::vector<std::string> opts(args.begin() + 5, args.end() - 1);
        EXPECT_EQ(opts, (std::vector<std::string>{"-y", "-f", "avi", "-acodec", "ac3", "-ab", "256", "-ac", "5:1"}));
    }
}

TEST_F(BatchDriver, CommandLineShapeAndCorrections)
{
    const std::string src = Source("clip.mpg");
    driver.OutputFolder = OutputFolder;
    options = "-y -f avi  -vcodec xvid ";
    extension = ".avi";
    driver.PrepareOutput(" " + OutputFolder);
    EXPECT_EQ(driver.BuildCommandLine(src), QuoteArgument(Child) + " -p 5260718 -i " + QuoteArgument(src) +
                                                " -y -f avi  -vcodec xvid  " + QuoteArgument(OutputOf(src)));

    struct {
        std::string in, out;
    } cases[] = {
        {"-acodec ac3 -ac 5:1 -ar 48000 ", "-acodec ac3 -ab 256 -ac 5:1 -ar 48000 "},
        {"-acodec ac3 -ab 384 -ac 5:1 ", "-acodec ac3 -ab 384 -ac 5:1 "},
        {"-ac 2 -ar 44100 ", "-ac 2 -ar 44100 "},
        {"-ac 5:1 ", "-ab 256 -ac 5:1 "},
        {"-y -vcodec ffvhuff -s 320x240 ", "-y -vcodec ffvhuff -strict -2 -s 320x240 "},
        {"-vcodec ffvhuffx ", "-vcodec ffvhuffx "},
        // Only the batch grants replacing an output, never a profile's line.
        {"-y -replace any -f mp3 ", "-y -f mp3 "},
        {"-y -f mp3 -replace 1:2 -replace any ", "-y -f mp3 "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CorrectEncoderOptions(c.in), c.out) << c.in;
}

TEST_F(BatchDriver, DirectShowScriptLivesInAPrivateFolderOfItsOwn)
{
    const std::string src = tmp.dir() + "src/my clip (1) 'x'.mpg";
    WriteFile(src, "x");
    driver.OutputFolder = OutputFolder;
    Options.UseDirectShow = true;
    auto args = SplitCommandLine(driver.BuildCommandLine(src));
    ASSERT_GE(args.size(), 5u);
    const std::string script = driver.ScriptPath();
    EXPECT_EQ(args[4], script);
    EXPECT_EQ(fs::path(script).filename(), "DirectShow.avs");
    const fs::path folder = fs::path(script).parent_path();
    EXPECT_NE(folder.string() + "/", AppFolder);
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(ReadFile(script), "# script for one source\nDirectShowSource(\"" + src + "\")\n# again: " + src + "\n");

    // Every command line gets a script of its own; the one before goes with its folder.
    TSimpleFileQueue otherQueue;
    TBatchDriver other{runner, otherQueue, host, prompter, loop};
    other.OutputFolder = OutputFolder;
    other.EncoderOptions = driver.EncoderOptions;
    other.OutputExtension = driver.OutputExtension;
    other.BuildCommandLine(src);
    driver.BuildCommandLine(src);
    EXPECT_NE(driver.ScriptPath(), script);
    EXPECT_NE(driver.ScriptPath(), other.ScriptPath());
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::exists(other.ScriptPath()));
    const std::string otherScript = other.ScriptPath();
    other.DeleteScript();
    EXPECT_FALSE(fs::exists(fs::path(otherScript).parent_path()));

    // An extension of the list goes through the script too, compared exactly.
    Options.UseDirectShow = false;
    EXPECT_EQ(SplitCommandLine(driver.BuildCommandLine(tmp.dir() + "src/a.dsx"))[4], driver.ScriptPath());
    EXPECT_EQ(SplitCommandLine(driver.BuildCommandLine(tmp.dir() + "src/a.DSX"))[4], tmp.dir() + "src/a.DSX");
    EXPECT_EQ(driver.ScriptPath(), "");

    // A whole batch through the script leaves no script behind.
    Options.UseDirectShow = true;
    const std::string a = Source("a.mpg");
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_TRUE(queue.Entries.empty());
    const std::string used = EncoderArgs(OutputOf(a))[4];
    EXPECT_EQ(fs::path(used).filename(), "DirectShow.avs");
    EXPECT_FALSE(fs::exists(fs::path(used).parent_path()));
}

TEST_F(BatchDriver, NamesAScriptCannotCarryAreReadDirectly)
{
    driver.OutputFolder = OutputFolder;
    Options.UseDirectShow = true;
    const std::string names[] = {
        "my \"clip\").mpg",                                   // a quote would end the name early
        "a\")\nDirectShowSource(\"/etc/passwd\")\n.mpg",       // a line break would start a line of its own
        "cr\rhere.mpg",
        "tab\there.mpg",
    };
    for (const std::string& name : names) {
        const std::string src = tmp.dir() + "src/" + name;
        WriteFile(src, "x");
        const auto args = SplitCommandLine(driver.BuildCommandLine(src));
        ASSERT_GE(args.size(), 5u);
        EXPECT_EQ(args[4], src) << name;
        EXPECT_EQ(driver.ScriptPath(), "") << name;
    }
}

TEST_F(BatchDriver, TemplateThatNamesAnotherFileIsRefused)
{
    driver.OutputFolder = OutputFolder;
    Options.UseDirectShow = true;
    const std::string src = tmp.dir() + "src/a.mpg";
    WriteFile(src, "x");
    const std::string templates[] = {
        "DirectShowSource(\"/fixed.avi\")\n# <%InputFile%>\n",
        "DirectShowSource(\"<%InputFile%>.old\")\n",
        "# no source line: <%InputFile%>\n",
    };
    for (const std::string& text : templates) {
        WriteFile(LanguagesFolder + "English_Profile/DirectShow.avs", text);
        EXPECT_THROW(driver.BuildCommandLine(src), std::runtime_error) << text;
        EXPECT_EQ(driver.ScriptPath(), "");
    }
}

TEST_F(BatchDriver, EncoderThatCannotStartFailsEachFileAndEndsTheBatch)
{
    WriteFile(AppFolder + "not-executable", "#!/bin/sh\n");
    Options.EncoderFile = "not-executable";
    Source("a.mpg");
    Source("b.mpg");
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_TRUE(prompter.Errors.empty());
    EXPECT_EQ(Options.FailedCount, 2);
    ASSERT_EQ(prompter.Messages.size(), 1u);
    EXPECT_EQ(prompter.Messages[0].Text, "At least one error occurred.\n\nErrors of the files:\n"
                                         "a.mpg: Error creating process : 13 (Permission denied)\n"
                                         "b.mpg: Error creating process : 13 (Permission denied)");
    ASSERT_EQ(queue.Entries.size(), 2u);
    for (const auto& e : queue.Entries)
        EXPECT_EQ(e.FailureReason, "Error creating process : 13 (Permission denied)");

    // A missing script template is reported the same way.
    Options.EncoderFile = Child;
    Options.UseDirectShow = true;
    fs::remove_all(LanguagesFolder);
    prompter = TFakePrompter{};
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    ASSERT_EQ(queue.Entries.size(), 2u);
    EXPECT_NE(queue.Entries[0].FailureReason.find("DirectShow.avs"), std::string::npos);
}

// The batch's own option line (the window's) refuses a selected profile that
// cannot be read as it stands: each file fails naming the profile, the key and
// the reason, and no encoder runs with default settings in its place.
TEST_F(BatchDriver, UnusableSelectedProfileFailsEachFileWithItsReason)
{
    Options.AVIProfileFolder = tmp.dir() + "profiles/avi/";
    ProfileLists[0].Items = {"Hand"};
    ProfileLists[0].ItemIndex = 0;
    const std::string profile = Options.AVIProfileFolder + "Hand.avo";
    struct {
        std::string content;
        std::string reason;
    } cases[] = {
        {std::string("\xFF\xFE[\0G\0]\0", 8), "it is UTF-16 text"},
        {"[General]\nVideoCodec=-1\n", "\"VideoCodec\" needs a list position"},
        {"[General]\nVideoBitRatePresetXviD=-800\n", "\"VideoBitRatePresetXviD\" needs a bitrate"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        WriteFile(profile, c.content);
        TBatchDriver own{runner, queue, host, prompter, loop};
        own.OutputExtension = [this] { return extension; };
        prompter = TFakePrompter{};
        queue.Entries.clear();
        const std::string src = Source("a.mpg");
        ASSERT_TRUE(own.ConvertFiles(OutputFolder));
        ASSERT_EQ(queue.Entries.size(), 1u);
        const std::string& reason = queue.Entries[0].FailureReason;
        EXPECT_EQ(reason.rfind("The profile \"" + profile + "\" cannot be used: " + c.reason, 0), 0u) << reason;
        EXPECT_EQ(Options.FailedCount, 1);
        EXPECT_TRUE(fs::exists(src));
        EXPECT_FALSE(fs::exists(OutputOf(src)));
    }
    ProfileLists[0] = TProfileList{};
}
