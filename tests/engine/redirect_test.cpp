// The process runner with real child processes (the qv_test_child program).

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "support/TempDir.h"
#include "engine/Redirect.h"

namespace {

const std::string Child = QV_TEST_CHILD;

// What one run delivered, in order: "out:" / "err:" pieces and "end".
struct TRun {
    TEventLoop loop;
    TRedirector runner{loop};
    std::vector<std::string> events;
    std::string out, err;
    int ends = 0;

    TRun()
    {
        runner.OnData = [this](TRedirector&, const char* b, uint32_t n) {
            out.append(b, n);
            events.push_back("out");
        };
        runner.OnErrorData = [this](TRedirector&, const char* b, uint32_t n) {
            err.append(b, n);
            events.push_back("err");
        };
        runner.OnTerminated = [this](TRedirector&) {
            ++ends;
            events.push_back("end");
        };
    }
    // Runs the loop until the end event, at most TimeoutMs; true when it came.
    bool Wait(int timeoutMs = 10000)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (ends == 0 && std::chrono::steady_clock::now() < deadline)
            loop.ProcessEvents(20);
        // Anything after the end event would show up now.
        loop.ProcessEvents(150);
        return ends > 0;
    }
    bool Execute(const std::string& args)
    {
        runner.SetCommandLine(QuoteArgument(Child) + " " + args);
        runner.Execute();
        return Wait();
    }
};

std::string ErrorOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

bool ProcessGone(pid_t pid)
{
    if (kill(pid, 0) != 0)
        return true;
    // A zombie waiting for its new parent has ended as well.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string all;
    std::getline(stat, all);
    size_t p = all.rfind(')');
    return p != std::string::npos && p + 2 < all.size() && all[p + 2] == 'Z';
}

} // namespace

TEST(CommandLineQuoting, SplitsByTheDocumentedRule)
{
    struct {
        std::string line;
        std::vector<std::string> args;
    } cases[] = {
        {"a b  c", {"a", "b", "c"}},
        {"  lead\ttab  ", {"lead", "tab"}},
        {"\"with blank\" x", {"with blank", "x"}},
        {"pre\"mid dle\"post", {"premid dlepost"}},
        {"\"\" x", {"", "x"}},
        {R"("a \"q\" b")", {"a \"q\" b"}},
        {R"("back\\slash")", {"back\\slash"}},
        {R"("lone\x")", {"lone\\x"}},
        {R"(out\side)", {"out\\side"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

TEST(CommandLineQuoting, AnyNameSurvivesQuoting)
{
    const std::string names[] = {"plain.avi",         "with blank.avi",   "q\"uo\"te.avi", "back\\slash\\",
                                 "100% done/%s %d.avi", "-leading-dash.avi", "ünïcödé 名前.mp4", "",
                                 "\\\"", "tab\there"};
    std::string line;
    for (const auto& n : names)
        line += QuoteArgument(n) + " ";
    auto args = SplitCommandLine(line);
    ASSERT_EQ(args.size(), std::size(names));
    for (size_t i = 0; i < args.size(); ++i)
        EXPECT_EQ(args[i], names[i]);
}

TEST(Redirect, DeliversStreamsInOrderAndEndsLastOnce)
{
    TRun run;
    ASSERT_TRUE(run.Execute("out one sleep 150 err two sleep 150 out three exit 0"));
    EXPECT_EQ(run.out, "one\nthree\n");
    EXPECT_EQ(run.err, "two\n");
    EXPECT_EQ(run.ends, 1);
    ASSERT_GE(run.events.size(), 4u);
    EXPECT_EQ(run.events.back(), "end");
    // one, two, three arrive in the order written.
    std::vector<std::string> kinds(run.events.begin(), run.events.end() - 1);
    EXPECT_EQ(kinds, (std::vector<std::string>{"out", "err", "out"}));
    EXPECT_FALSE(run.runner.Active());
    EXPECT_TRUE(run.runner.ProcessExited());
}

TEST(Redirect, NothingLostAtAFastExit)
{
    TRun run;
    ASSERT_TRUE(run.Execute("lines 20000 raw tail-without-break exit 0"));
    std::string expected;
    for (int k = 0; k < 20000; ++k)
        expected += "line " + std::to_string(k) + "\n";
    expected += "tail-without-break";
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.ends, 1);
    EXPECT_EQ(run.events.back(), "end");
}

TEST(Redirect, SilentChildGivesOnlyTheEndEvent)
{
    TRun run;
    ASSERT_TRUE(run.Execute("exit 0"));
    EXPECT_EQ(run.events, std::vector<std::string>{"end"});
}

TEST(Redirect, ReportsExitCodesAndSignals)
{
    struct {
        std::string args;
        bool exited;
        int code;
        int signal;
    } cases[] = {
        {"exit 0", true, 0, 0},
        {"exit 3", true, 3, 0},
        {"out x exit 255", true, 255, 0},
        {"kill", false, 0, SIGKILL},
    };
    for (const auto& c : cases) {
        TRun run;
        ASSERT_TRUE(run.Execute(c.args)) << c.args;
        const TExitStatus& s = run.runner.ExitStatus();
        EXPECT_EQ(s.Exited, c.exited) << c.args;
        EXPECT_EQ(s.Code, c.code) << c.args;
        EXPECT_EQ(s.Signal, c.signal) << c.args;
        EXPECT_EQ(s.Success(), c.exited && c.code == 0) << c.args;
    }
}

TEST(Redirect, PropertyRulesAndMessages)
{
    TRun run;
    EXPECT_EQ(ErrorOf([&] { run.runner.Terminate(); }), "Cannot Terminate an inactive process");
    EXPECT_EQ(ErrorOf([&] { run.runner.Execute(); }), "No commandline to run");
    run.runner.SetCommandLine("   ");
    EXPECT_EQ(ErrorOf([&] { run.runner.Execute(); }), "No commandline to run");

    const std::string line = QuoteArgument(Child) + " sleep 3000";
    run.runner.SetCommandLine(line);
    run.runner.Execute();
    EXPECT_TRUE(run.runner.Active());
    EXPECT_EQ(ErrorOf([&] { run.runner.Execute(); }), "Process is already active");
    EXPECT_EQ(ErrorOf([&] { run.runner.SetCommandLine("other"); }),
              "Cannot change Commandline while process is active");
    // The same text in other letter case is accepted.
    std::string upper = line;
    for (auto& ch : upper)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_EQ(ErrorOf([&] { run.runner.SetCommandLine(upper); }), "");
    EXPECT_EQ(ErrorOf([&] { run.runner.SetInitialPriority(3); }),
              "Cannot change InititalPriority while process is active");
    run.runner.Terminate();
    ASSERT_TRUE(run.Wait());
    EXPECT_TRUE(run.runner.ExitStatus().Terminated);
    EXPECT_FALSE(run.runner.ExitStatus().Success());
    EXPECT_EQ(run.ends, 1);
    // Idle again: a new child can run.
    EXPECT_EQ(ErrorOf([&] { run.runner.SetInitialPriority(1); }), "");
}

TEST(Redirect, ExecFailureIsReportedWithTheErrorCode)
{
    qvtest::TempDir tmp;
    qvtest::WriteFile(tmp.file("not-executable"), "#!/bin/sh\n");
    struct {
        std::string line;
        std::string message;
    } cases[] = {
        {QuoteArgument(tmp.file("missing")), "Error creating process : 2 (No such file or directory)"},
        {"no-such-program-anywhere-qv", "Error creating process : 2 (No such file or directory)"},
        {QuoteArgument(tmp.file("not-executable")), "Error creating process : 13 (Permission denied)"},
    };
    for (const auto& c : cases) {
        TRun run;
        run.runner.SetCommandLine(c.line);
        EXPECT_EQ(ErrorOf([&] { run.runner.Execute(); }), c.message) << c.line;
        EXPECT_FALSE(run.runner.Active());
    }
    // A working folder that does not exist fails the start too.
    TRun run;
    run.runner.Directory = tmp.file("no-folder");
    run.runner.SetCommandLine(QuoteArgument(Child) + " exit 0");
    EXPECT_EQ(ErrorOf([&] { run.runner.Execute(); }), "Error creating process : 2 (No such file or directory)");
}

TEST(Redirect, ArgumentsReachTheChildUnchanged)
{
    TRun run;
    const std::vector<std::string> odd = {"a \"quoted\" name", "back\\slash", "100% done", "-leading", "ünï"};
    std::string line = QuoteArgument(Child) + " args";
    for (const auto& a : odd)
        line += " " + QuoteArgument(a);
    run.runner.SetCommandLine(line);
    run.runner.Execute();
    ASSERT_TRUE(run.Wait());
    std::string expected = Child + "\nargs\n";
    for (const auto& a : odd)
        expected += a + "\n";
    EXPECT_EQ(run.out, expected);
}

TEST(Redirect, EnvironmentFolderAndApplicationName)
{
    qvtest::TempDir tmp;
    const std::string folder = std::filesystem::canonical(tmp.path()).string();
    TRun run;
    run.runner.Environment = std::vector<std::string>{"QV_PROBE=given value"};
    run.runner.Directory = folder;
    // The program named apart from the arguments; a blank in it needs no quotes.
    run.runner.SetApplicationName(Child);
    run.runner.SetCommandLine("env QV_PROBE env HOME cwd");
    EXPECT_EQ(run.runner.FullCommandLine(), Child + " env QV_PROBE env HOME cwd");
    run.runner.Execute();
    ASSERT_TRUE(run.Wait());
    EXPECT_EQ(run.out, "given value\n<unset>\n" + folder + "\n");
}

TEST(Redirect, PriorityClassesBecomeNiceValues)
{
    const int own = getpriority(PRIO_PROCESS, 0);
    struct {
        uint8_t priority;
        int nice;
    } cases[] = {{TRedirector::PriorityIdle, 19}, {TRedirector::PriorityDefault, own}};
    for (const auto& c : cases) {
        TRun run;
        run.runner.SetInitialPriority(c.priority);
        ASSERT_TRUE(run.Execute("nice"));
        EXPECT_EQ(run.out, std::to_string(c.nice) + "\n");
    }
    // A raise that the system refuses still runs the child.
    TRun run;
    run.runner.SetInitialPriority(TRedirector::PriorityRealTime);
    ASSERT_TRUE(run.Execute("nice"));
    EXPECT_FALSE(run.out.empty());
    EXPECT_EQ(run.runner.ExitStatus().Code, 0);
}

TEST(Redirect, TerminateEndsTheWholeProcessGroup)
{
    qvtest::TempDir tmp;
    const std::string pidFile = tmp.file("grandchild.pid");
    TRun run;
    run.runner.SetCommandLine(QuoteArgument(Child) + " grandchild " + QuoteArgument(pidFile) + " out ready sleep 20000");
    run.runner.Execute();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (run.out.find("ready") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        run.loop.ProcessEvents(20);
    ASSERT_NE(run.out.find("ready"), std::string::npos);
    pid_t grandchild = 0;
    std::ifstream(pidFile) >> grandchild;
    ASSERT_GT(grandchild, 0);
    EXPECT_FALSE(ProcessGone(grandchild));

    run.runner.Terminate();
    ASSERT_TRUE(run.Wait());
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!ProcessGone(grandchild) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(ProcessGone(grandchild));
}

TEST(Redirect, RunnerIsReusedAndDestructionKillsTheChild)
{
    TRun run;
    ASSERT_TRUE(run.Execute("out first"));
    run.ends = 0;
    ASSERT_TRUE(run.Execute("out second"));
    EXPECT_EQ(run.out, "first\nsecond\n");

    pid_t pid = 0;
    {
        TEventLoop loop;
        TRedirector runner(loop);
        runner.KillOnDestroy = true;
        bool ended = false;
        runner.OnTerminated = [&](TRedirector&) { ended = true; };
        runner.SetCommandLine(QuoteArgument(Child) + " sleep 20000");
        runner.Execute();
        pid = runner.ProcessId();
        ASSERT_GT(pid, 0);
        loop.ProcessEvents(50);
        EXPECT_FALSE(ended);
    }
    EXPECT_TRUE(ProcessGone(pid));
}

TEST(EventLoop, InvokeFromAnotherThreadRunsOnTheLoopThread)
{
    TEventLoop loop;
    std::thread::id ranOn;
    std::thread worker([&] {
        loop.Invoke([&] { ranOn = std::this_thread::get_id(); });
        loop.Quit();
    });
    loop.Run();
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(Redirect, WaitForEndSettlesATerminatedChildAtOnce)
{
    TRun run;
    run.runner.SetCommandLine(QuoteArgument(Child) + " out started sleep 20000");
    run.runner.Execute();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (run.out.empty() && std::chrono::steady_clock::now() < deadline)
        run.loop.ProcessEvents(20);
    run.runner.Terminate();
    run.runner.WaitForEnd();
    EXPECT_FALSE(run.runner.Active());
    EXPECT_EQ(run.ends, 1);
    EXPECT_EQ(run.runner.ExitStatus().Signal, SIGKILL);
    // The end handed over by the reader thread is not reported a second time.
    run.loop.ProcessEvents(200);
    EXPECT_EQ(run.ends, 1);
    // And the runner starts the next child normally.
    run.ends = 0;
    ASSERT_TRUE(run.Execute("out next"));
    EXPECT_EQ(run.ends, 1);
    EXPECT_EQ(run.out, "started\nnext\n");
}
