#include "platform/StartProcess.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using qvtest::TempDir;

// Everything that arrives on Fd until its writers have gone.
std::string ReadAll(int fd)
{
    std::string text;
    char buffer[256];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return text;
        text.append(buffer, static_cast<size_t>(n));
    }
}

struct TPipe {
    int Read = -1;
    int Write = -1;
    TPipe()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) == 0) {
            Read = fds[0];
            Write = fds[1];
        }
    }
    ~TPipe()
    {
        CloseRead();
        CloseWrite();
    }
    void CloseRead()
    {
        if (Read >= 0)
            ::close(Read);
        Read = -1;
    }
    void CloseWrite()
    {
        if (Write >= 0)
            ::close(Write);
        Write = -1;
    }
};

// Runs a shell line with StartProcess and returns its standard output.
std::string OutputOf(TProcessStart start, TProcessEnd* end = nullptr)
{
    TPipe out;
    start.StdOut = out.Write;
    const TStartedProcess child = StartProcess(start);
    out.CloseWrite();
    if (!child.Started())
        return "not started: " + std::to_string(child.Error);
    std::string text = ReadAll(out.Read);
    TProcessEnd e;
    EXPECT_TRUE(WaitForProcess(child.Pid, e));
    if (end)
        *end = e;
    return text;
}

TEST(RunProcess, ReturnsTheExitCodeOrMinusOneWithoutOne)
{
    const struct {
        const char* Line;
        int Expected;
    } cases[] = {
        {"exit 0", 0},
        {"exit 3", 3},
        {"exit 255", 255},
        {"kill -TERM $$", -1}, // ended by a signal: no exit code
        {"kill -KILL $$", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RunProcess({"sh", "-c", c.Line}, nullptr), c.Expected) << c.Line;
}

TEST(RunProcess, CollectsStandardOutputOnlyAndGivesNoInput)
{
    std::string output;
    // Standard input is /dev/null: cat ends at once instead of waiting.
    EXPECT_EQ(RunProcess({"sh", "-c", "cat; printf 'one\\ntwo'; echo hidden >&2"}, &output), 0);
    EXPECT_EQ(output, "one\ntwo");
}

TEST(StartProcess, ChildReadsAndWritesThroughTheGivenPipes)
{
    TPipe in, out, err;
    TProcessStart start;
    start.Args = {"sh", "-c", "cat; echo to-error >&2"};
    start.StdIn = in.Read;
    start.StdOut = out.Write;
    start.StdErr = err.Write;
    const TStartedProcess child = StartProcess(start);
    ASSERT_TRUE(child.Started()) << child.Error;
    // The caller's copies of the child's ends must go, or the reads never end.
    in.CloseRead();
    out.CloseWrite();
    err.CloseWrite();
    ASSERT_EQ(::write(in.Write, "hello", 5), 5);
    in.CloseWrite();
    EXPECT_EQ(ReadAll(out.Read), "hello");
    EXPECT_EQ(ReadAll(err.Read), "to-error\n");
    TProcessEnd end;
    ASSERT_TRUE(WaitForProcess(child.Pid, end));
    EXPECT_TRUE(end.Exited);
    EXPECT_EQ(end.Code, 0);
    EXPECT_FALSE(WaitForProcess(child.Pid, end)) << "a child is waited for once";
}

TEST(StartProcess, ProgramThatCannotRunIsReportedWithItsReason)
{
    TempDir dir;
    qvtest::WriteFile(dir.file("not-executable"), "#!/bin/sh\nexit 0\n");
    ::chmod(dir.file("not-executable").c_str(), 0644);
    const struct {
        std::vector<std::string> Args;
        std::string Directory;
        int Error;
    } cases[] = {
        {{}, "", EINVAL},
        {{"quorvex-no-such-program"}, "", ENOENT},
        {{dir.file("missing")}, "", ENOENT},
        {{dir.file("not-executable")}, "", EACCES},
        {{"sh", "-c", "exit 0"}, dir.file("no-such-folder"), ENOENT},
    };
    for (const auto& c : cases) {
        TProcessStart start;
        start.Args = c.Args;
        start.Directory = c.Directory;
        const TStartedProcess child = StartProcess(start);
        EXPECT_FALSE(child.Started()) << (c.Args.empty() ? "" : c.Args[0]);
        EXPECT_EQ(child.Error, c.Error) << (c.Args.empty() ? "" : c.Args[0]);
    }
    EXPECT_EQ(RunProcess({"quorvex-no-such-program"}, nullptr), -1);
}

TEST(StartProcess, ChildRunsInTheGivenFolderWithTheGivenEnvironment)
{
    TempDir dir;
    TProcessStart start;
    start.Args = {"sh", "-c", "pwd; echo \"[$QV_ONLY][$HOME]\""};
    start.Directory = dir.path().string();
    start.Environment = std::vector<std::string>{"QV_ONLY=yes"};
    const std::string expected = std::filesystem::canonical(dir.path()).string() + "\n[yes][]\n";
    EXPECT_EQ(OutputOf(start), expected);
}

TEST(StartProcess, OwnProcessGroupAndPriority)
{
    TProcessStart start;
    start.Args = {"cat", "/proc/self/stat"};
    start.OwnProcessGroup = true;
    const int ours = ::getpriority(PRIO_PROCESS, 0);
    start.Nice = ours < 7 ? 7 : ours; // lowering the priority is always allowed
    TProcessEnd end;
    // /proc/self/stat: pid (comm) state ppid pgrp session ... field 19 is the nice value.
    std::istringstream stat(OutputOf(start, &end));
    std::string pid, comm, state, ppid, pgrp;
    stat >> pid >> comm >> state >> ppid >> pgrp;
    EXPECT_EQ(pgrp, pid) << "the child leads its own group";
    std::string field;
    for (int i = 6; i <= 19; ++i)
        stat >> field;
    EXPECT_EQ(field, std::to_string(*start.Nice));
}

TEST(StartProcess, HandlesAlreadyOnStandardDescriptorsReachTheChild)
{
    // Standard input of this program is taken over by a pipe's write end,
    // which becomes the child's standard output while its input is
    // /dev/null: moving one handle into place must not overwrite another.
    TPipe out;
    const int savedStdIn = ::dup(STDIN_FILENO);
    ASSERT_GE(savedStdIn, 0);
    ASSERT_EQ(::dup2(out.Write, STDIN_FILENO), STDIN_FILENO);
    out.CloseWrite();
    TProcessStart start;
    start.Args = {"sh", "-c", "echo through-zero"};
    start.StdOut = STDIN_FILENO;
    const TStartedProcess child = StartProcess(start);
    ::dup2(savedStdIn, STDIN_FILENO);
    ::close(savedStdIn);
    ASSERT_TRUE(child.Started()) << child.Error;
    EXPECT_EQ(ReadAll(out.Read), "through-zero\n");
    TProcessEnd end;
    EXPECT_TRUE(WaitForProcess(child.Pid, end));
}

TEST(StartProcess, FourthHandleBecomesDescriptorThree)
{
    // As the encoder starts ffmpeg: output on 1, progress on 3. In the second
    // run this program's descriptor 3 is the child's standard output, which
    // the progress handle must not overwrite. Descriptor 3 is held open for
    // the whole test, so that no pipe lands on it.
    const bool threeWasOpen = ::fcntl(3, F_GETFD) >= 0;
    if (!threeWasOpen) {
        const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ASSERT_GE(null, 3);
        if (null != 3) {
            ASSERT_EQ(::dup3(null, 3, O_CLOEXEC), 3);
            ::close(null);
        }
    }
    for (const bool outputOnThree : {false, true}) {
        TPipe out, progress;
        const int saved3 = ::fcntl(3, F_DUPFD_CLOEXEC, 10);
        ASSERT_GE(saved3, 0);
        if (outputOnThree) {
            ASSERT_EQ(::dup3(out.Write, 3, O_CLOEXEC), 3);
        }
        TProcessStart start;
        start.Args = {"sh", "-c", "echo to-output; echo to-progress >&3"};
        start.StdOut = outputOnThree ? 3 : out.Write;
        start.Handle3 = progress.Write;
        const TStartedProcess child = StartProcess(start);
        ::dup3(saved3, 3, O_CLOEXEC);
        ::close(saved3);
        ASSERT_TRUE(child.Started()) << child.Error;
        out.CloseWrite();
        progress.CloseWrite();
        EXPECT_EQ(ReadAll(out.Read), "to-output\n") << outputOnThree;
        EXPECT_EQ(ReadAll(progress.Read), "to-progress\n") << outputOnThree;
        TProcessEnd end;
        ASSERT_TRUE(WaitForProcess(child.Pid, end));
        EXPECT_EQ(end.Code, 0) << outputOnThree;
    }
    if (!threeWasOpen)
        ::close(3);
}

TEST(StartProcess, FailureIsReportedWhereverTheStatusPipeLands)
{
    // With descriptor 0 closed and 3 free, the start's own status pipe gets
    // descriptors 0 and 3, and 3 is where the fourth handle goes: a program
    // that cannot run must still be reported as not started.
    TempDir dir;
    qvtest::WriteFile(dir.file("not-executable"), "#!/bin/sh\nexit 0\n");
    ::chmod(dir.file("not-executable").c_str(), 0644);
    const int saved3 = ::fcntl(3, F_GETFD) >= 0 ? ::fcntl(3, F_DUPFD_CLOEXEC, 10) : -1;
    const int holder = ::open("/dev/null", O_RDONLY | O_CLOEXEC); // keeps the pipes off 3
    if (holder != 3) {
        ASSERT_EQ(::dup3(holder, 3, O_CLOEXEC), 3);
        ::close(holder);
    }
    TPipe out, progress;
    const int saved0 = ::fcntl(0, F_DUPFD_CLOEXEC, 10);
    ASSERT_GE(saved0, 0);
    ::close(3);
    ::close(0);
    TProcessStart start;
    start.Args = {dir.file("not-executable")};
    start.StdIn = out.Read;
    start.StdOut = out.Write;
    start.StdErr = out.Write;
    start.Handle3 = progress.Write;
    const TStartedProcess child = StartProcess(start);
    ::dup3(saved0, 0, 0);
    ::close(saved0);
    if (saved3 >= 0) {
        ::dup3(saved3, 3, O_CLOEXEC);
        ::close(saved3);
    }
    EXPECT_FALSE(child.Started());
    EXPECT_EQ(child.Error, EACCES);
}

TEST(StartProcess, ChildEndsWithTheThreadThatStartedIt)
{
    // The death signal follows the thread that forks: when it ends, a child
    // started with EndWithParent receives SIGTERM, as it would when the
    // whole program ends.
    TStartedProcess child;
    std::thread starter([&] {
        TProcessStart start;
        start.Args = {"sleep", "60"};
        start.EndWithParent = true;
        child = StartProcess(start);
    });
    starter.join();
    ASSERT_TRUE(child.Started()) << child.Error;
    TProcessEnd end;
    ASSERT_TRUE(WaitForProcess(child.Pid, end));
    EXPECT_FALSE(end.Exited);
    EXPECT_EQ(end.Signal, SIGTERM);
}

TEST(StartProcess, ChildGetsDefaultSignalHandling)
{
    // Ignored and blocked signals of this program are not passed on.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGTERM, &ignore, &previous);
    TProcessStart start;
    start.Args = {"sh", "-c", "kill -TERM $$; exit 0"};
    TProcessEnd end;
    OutputOf(start, &end);
    ::sigaction(SIGTERM, &previous, nullptr);
    EXPECT_FALSE(end.Exited);
    EXPECT_EQ(end.Signal, SIGTERM);
}

} // namespace
