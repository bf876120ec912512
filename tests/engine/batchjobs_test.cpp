// The batch driver converting several files at once, with fake windows and
// the child program as the encoder.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <regex>
#include <thread>

#include "EngineFakes.h"
#include "app/Settings.h"
#include "engine/BatchDriver.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "platform/PartialOutput.h"
#include "support/TempDir.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

const std::string Child = QV_TEST_CHILD;

class BatchJobs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetCatalogue();
        Options = TOptions{};
        AppFolder = tmp.dir() + "app/";
        LanguagesFolder = AppFolder + "langs/";
        fs::create_directories(LanguagesFolder);
        Options.EncoderFile = Child;
        Options.OutputFormat = 0;
        Options.Priority = 1;
        Options.ParallelJobs = 2;
        OutputFolder = tmp.dir() + "out/";
        fs::create_directories(OutputFolder);
        driver.OutputExtension = [] { return std::string(".avi"); };
        driver.EncoderOptions = [] { return std::string("-y -f avi -vcodec xvid "); };
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
        return OutputFolder + fs::path(source).stem().string() + ".avi";
    }
    std::vector<std::string> QueueNames() const
    {
        std::vector<std::string> names;
        for (const auto& e : queue.Entries)
            names.push_back(e.FullName);
        return names;
    }
    // The process ids in the names of the temporary outputs in the output folder.
    std::vector<int> PartialPids() const
    {
        std::vector<int> pids;
        const std::regex pid("qvpart-(?:[A-Za-z0-9_-]+-)?([0-9]+)"); // after the host name, if any
        for (const auto& entry : fs::directory_iterator(OutputFolder)) {
            std::smatch m;
            const std::string name = entry.path().filename().string();
            if (std::regex_search(name, m, pid))
                pids.push_back(std::stoi(m[1]));
        }
        return pids;
    }

    TempDir tmp;
    std::string OutputFolder;
    TEventLoop loop;
    TRedirector runner{loop};
    TSimpleFileQueue queue;
    TFakeHost host{loop};
    TFakePrompter prompter;
    TBatchDriver driver{runner, queue, host, prompter, loop};
    std::vector<std::string> powerCalls;
    std::unique_ptr<TPowerActions> oldPower;
};

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + part.size()))
        ++count;
    return count;
}

} // namespace

TEST_F(BatchJobs, OneFailsTheOtherConvertsAndErrorsWaitForTheEnd)
{
    Options.DeleteFileAfterProcessing = true;
    const std::string bad = Source("bad.mpg", "fail");
    const std::string slow = Source("slow.mpg", "sleep 300");
    const std::string quick = Source("quick.mpg");
    size_t messagesWhileRunning = 0;
    host.OnView = [&](TFakeView& view) {
        view.OnRunning = [&](const std::vector<TRunningFile>& files) {
            if (!files.empty())
                messagesWhileRunning += prompter.Messages.size() + prompter.Errors.size();
        };
    };
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));

    EXPECT_EQ(driver.JobCount(), 2);
    EXPECT_EQ(host.Record->MostRunning, 2u);
    EXPECT_EQ(messagesWhileRunning, 0u) << "no message box while files convert";
    EXPECT_EQ(Options.DoneCount, 2);
    EXPECT_EQ(Options.FailedCount, 1);
    // The failed file stays, moved to the end, and was started once.
    EXPECT_EQ(QueueNames(), (std::vector<std::string>{bad}));
    EXPECT_TRUE(fs::exists(bad));
    EXPECT_FALSE(fs::exists(OutputOf(bad)));
    // Each converted file lost its source only after its own success.
    for (const std::string& s : {slow, quick}) {
        EXPECT_FALSE(fs::exists(s)) << s;
        EXPECT_TRUE(fs::exists(OutputOf(s))) << s;
    }
    // Its error line is shown once, under its name, after the batch's own
    // message in the one summary box, and is its entry's reason.
    ASSERT_EQ(prompter.Messages.size(), 1u);
    const std::string& kept = prompter.Messages[0].Text;
    EXPECT_EQ(kept.rfind(IDS_MESSAGEBOX_AnErrorOccurred + "\n\n" + IDS_MESSAGEBOX_JobErrors, 0), 0u) << kept;
    EXPECT_EQ(Occurrences(kept, "bad.mpg: Error while opening codec"), 1u) << kept;
    EXPECT_EQ(queue.Entries[0].FailureReason, "Error while opening codec for output stream #0.0");
    EXPECT_TRUE(host.Record->Running.back().empty()) << "the running lines go when the batch ends";
}

TEST_F(BatchJobs, StopNowEndsEveryRunningEncoder)
{
    Options.DeleteFileAfterProcessing = true;
    Options.ShutdownWindowsWhenDone = true;
    const std::string a = Source("a.mpg", "partial 20000"), b = Source("b.mpg", "partial 20000");
    const std::string c = Source("c.mpg");
    std::vector<int> pids;
    host.OnView = [&](TFakeView& view) {
        view.OnRunning = [&, v = &view](const std::vector<TRunningFile>& files) {
            // Both encoders run and have begun their temporary outputs.
            if (files.size() == 2 && pids.empty() && PartialPids().size() == 2) {
                pids = PartialPids();
                v->Cancel();
            }
        };
    };
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));

    EXPECT_EQ(host.Record->ModalResult, mrCancel);
    ASSERT_EQ(pids.size(), 2u);
    for (int pid : pids)
        EXPECT_TRUE(kill(pid, 0) == -1 && errno == ESRCH) << "encoder " << pid << " outlived the stop";
    // Nothing under a final name, no temporary output, every source kept and listed.
    EXPECT_TRUE(fs::is_empty(OutputFolder));
    for (const std::string& s : {a, b, c})
        EXPECT_TRUE(fs::exists(s)) << s;
    EXPECT_EQ(QueueNames(), (std::vector<std::string>{a, b, c}));
    std::vector<std::string> stopped = driver.StoppedFiles();
    std::sort(stopped.begin(), stopped.end());
    EXPECT_EQ(stopped, (std::vector<std::string>{a, b}));
    EXPECT_EQ(Options.DoneCount + Options.FailedCount, 0);
    EXPECT_EQ(host.Countdowns, 0);
    EXPECT_TRUE(powerCalls.empty());
}

TEST_F(BatchJobs, WhenDoneLetsTheRunningFilesFinishAndStartsNoMore)
{
    const std::string a = Source("a.mpg", "sleep 400"), b = Source("b.mpg", "sleep 400");
    const std::string c = Source("c.mpg"), d = Source("d.mpg");
    host.OnView = [&](TFakeView& view) {
        view.OnRunning = [&](const std::vector<TRunningFile>& files) {
            if (files.size() == 2)
                Options.StopWhenDone = true; // the window's "When done"
        };
    };
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));

    EXPECT_EQ(host.Record->ModalResult, mrOk);
    EXPECT_TRUE(fs::exists(OutputOf(a)));
    EXPECT_TRUE(fs::exists(OutputOf(b)));
    EXPECT_FALSE(fs::exists(OutputOf(c)));
    EXPECT_FALSE(fs::exists(OutputOf(d)));
    EXPECT_EQ(QueueNames(), (std::vector<std::string>{c, d}));
    EXPECT_EQ(Options.DoneCount, 2);
    EXPECT_EQ(Options.FailedCount, 0);
    // The stop notice speaks of the running files, not of one current file.
    EXPECT_EQ(host.Record->Labels[TProgressLabel::StopWhenDone], IDS_ID_StopEncodingSeveral);

    // "When done" before any file has started ends the batch without starting one.
    host.OnView = [&](TFakeView&) { loop.Post([] { Options.StopWhenDone = true; }); };
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(host.Record->ModalResult, mrOk);
    EXPECT_EQ(QueueNames(), (std::vector<std::string>{c, d}));
    EXPECT_FALSE(fs::exists(OutputOf(c)));
}

TEST_F(BatchJobs, ChecksComeBeforeAnyFileStarts)
{
    Options.ParallelJobs = 4;
    // Two sources of one output name.
    const std::string first = Source("clip.mpg"), second = Source("clip.mov");
    EXPECT_FALSE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(prompter.Messages.back().Text,
              FormatText(IDS_MESSAGE_SameOutput, {first, second, OutputFolder + "clip.avi"}));
    EXPECT_EQ(host.ViewsCreated, 0);
    EXPECT_EQ(prompter.ChoiceCalls, 0);

    // Existing outputs: every question is asked before the batch, and a Cancel starts nothing.
    queue.Entries.clear();
    const std::string a = Source("a.mpg"), b = Source("b.mpg"), c = Source("c.mpg");
    WriteFile(OutputOf(b), "old");
    WriteFile(OutputOf(c), "old");
    prompter = TFakePrompter{};
    prompter.ChoiceAnswers = {mrYes, mrCancel};
    EXPECT_FALSE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(prompter.ChoiceCalls, 2);
    EXPECT_EQ(host.ViewsCreated, 0);
    EXPECT_FALSE(fs::exists(OutputOf(a)));
    EXPECT_EQ(ReadFile(OutputOf(b)), "old");

    prompter = TFakePrompter{};
    prompter.ChoiceAnswers = {mrYes, mrYes};
    std::vector<int> choicesWhileRunning;
    host.OnView = [&](TFakeView& view) {
        view.OnRunning = [&](const std::vector<TRunningFile>&) { choicesWhileRunning.push_back(prompter.ChoiceCalls); };
    };
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_EQ(prompter.ChoiceCalls, 2);
    ASSERT_FALSE(choicesWhileRunning.empty());
    EXPECT_EQ(choicesWhileRunning.front(), 2);
    EXPECT_EQ(driver.JobCount(), 3) << "more jobs than files: one per file";
    EXPECT_EQ(host.Record->MostRunning, 3u);
    EXPECT_TRUE(queue.Entries.empty());
    EXPECT_NE(ReadFile(OutputOf(c)), "old");
}

TEST_F(BatchJobs, EachEncoderGetsItsShareOfTheCores)
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    struct {
        int jobs;
        std::string expected;
    } cases[] = {
        {2, std::to_string(std::max(1u, cores / 2))},
        {1, "<unset>"}, // one file at a time leaves the encoder as it always was
        {0, std::to_string(std::max(1u, cores / std::min(cores, 2u)))}, // one per core, two files
    };
    for (const auto& c : cases) {
        Options.ParallelJobs = c.jobs;
        queue.Entries.clear();
        const std::string a = Source("a.mpg", "threads"), b = Source("b.mpg", "threads");
        ASSERT_TRUE(driver.ConvertFiles(OutputFolder)) << c.jobs;
        for (const std::string& s : {a, b}) {
            const std::string text = ReadFile(OutputOf(s));
            EXPECT_NE(text.find("QV_THREADS=" + c.expected + "\n"), std::string::npos) << c.jobs << ": " << text;
            fs::remove(OutputOf(s));
        }
    }
}

TEST_F(BatchJobs, FilesThatCannotStartAreReportedOnceEachAtTheEnd)
{
    WriteFile(AppFolder + "not-executable", "#!/bin/sh\n");
    Options.EncoderFile = "not-executable";
    Source("a.mpg");
    Source("b.mpg");
    Source("c.mpg");
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    EXPECT_TRUE(prompter.Errors.empty()) << "no error box while the batch runs";
    EXPECT_EQ(Options.FailedCount, 3);
    EXPECT_EQ(queue.Entries.size(), 3u);
    ASSERT_EQ(prompter.Messages.size(), 1u);
    const std::string& kept = prompter.Messages[0].Text;
    for (const char* name : {"a.mpg: ", "b.mpg: ", "c.mpg: "})
        EXPECT_EQ(Occurrences(kept, std::string(name) + "Error creating process : 13 (Permission denied)"), 1u) << kept;
}

// Each converting file has a progress record of its own: whatever the
// parser writes for one file (names, duration, position, percent, notes)
// stays with that file while another converts at the same time.
TEST_F(BatchJobs, EachFileKeepsItsOwnProgressWhileOthersConvert)
{
    const std::string a = Source("a.mpg", "sleep 300"), b = Source("b.mpg", "sleep 100");
    bool bothSeen = false, ownValues = true;
    auto check = [&](int job) {
        const TFileProgress& f = driver.FileProgress(job);
        if (!f.ReportedInputFile.empty())
            ownValues &= f.ReportedInputFile == f.CurrentFile;
        if (!f.ReportedOutputFile.empty())
            ownValues &= f.ReportedOutputFile == OutputOf(f.CurrentFile);
    };
    host.OnView = [&](TFakeView& view) {
        view.OnRunning = [&](const std::vector<TRunningFile>& files) {
            if (files.size() != 2)
                return;
            bothSeen = true;
            check(0);
            check(1);
        };
    };
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));

    EXPECT_TRUE(bothSeen);
    EXPECT_TRUE(ownValues) << "one file's values showed in the other's record";
    const std::string sources[] = {a, b};
    for (int job = 0; job < 2; ++job) {
        const TFileProgress& f = driver.FileProgress(job);
        EXPECT_EQ(f.CurrentFile, sources[job]);
        EXPECT_EQ(f.ReportedInputFile, sources[job]);
        EXPECT_EQ(f.ReportedOutputFile, OutputOf(sources[job]));
        EXPECT_EQ(f.FileDuration, 10000);
        EXPECT_EQ(f.FilePercent, 100);
        EXPECT_FALSE(f.CurrentFileFailed);
    }
}

TEST_F(BatchJobs, TrayHintAndLinesShowTheBatchAndEachFile)
{
    const std::string a = Source("a.mpg", "sleep 200"), b = Source("b.mpg");
    ASSERT_TRUE(driver.ConvertFiles(OutputFolder));
    bool batchHint = false;
    for (const std::string& hint : host.Record->TrayHints)
        batchHint |= hint.rfind("Batch: ", 0) == 0 && hint.back() == '%';
    EXPECT_TRUE(batchHint);
    // Each line names its file; a file at 100% is shown as such before it ends.
    bool bothNamed = false, full = false;
    for (const auto& files : host.Record->Running) {
        if (files.size() == 2)
            bothNamed |= files[0].Name == "a.mpg" && files[1].Name == "b.mpg";
        for (const auto& f : files)
            full |= f.Percent == 100;
    }
    EXPECT_TRUE(bothNamed);
    EXPECT_TRUE(full);
    // The single file's displays are left alone while several convert.
    EXPECT_EQ(host.Record->LabelSets[TProgressLabel::Output], 0);
    EXPECT_EQ(host.Record->Labels[TProgressLabel::Batch], IDS_CONVERTING_Status + "100%");
}
