#pragma once

// Running the built quorvex-cli end to end: a copy of the program folder in a
// temporary folder, clips made with ffmpeg, started runs with their output
// and exit code, and the processes they leave (read from /proc).

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "support/SampleMedia.h"
#include "support/TempDir.h"

#define EXPECT_CONTAINS(text, part) \
    EXPECT_NE((text).find(part), std::string::npos) << "missing: " << (part) << "\nin:\n" << (text)

namespace qvtest {

inline bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

// Text quoted for the shell.
inline std::string Quoted(const std::string& text)
{
    std::string q = "'";
    for (char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// A clip of the test picture (Size, Rate frames a second, mpeg4 with
// VideoOptions such as {"-q:v", "5"}) and a sine tone in mp3, Seconds long.
inline bool MakeClip(const std::string& path, const std::string& size, int rate, const std::string& seconds,
                     const std::vector<std::string>& videoOptions = {})
{
    return MakeMedia(JoinArgs({TestPicture(size, rate, seconds), SineTone(seconds), {"-c:v", "mpeg4"}, videoOptions,
                           {"-c:a", "libmp3lame", "-shortest", path}}));
}

// A copy of an AVI whose video codec tag no decoder knows: the media
// library still describes it, the encoder refuses it.
inline void WriteDamagedCopy(const std::string& avi, const std::string& to)
{
    std::string data = ReadFile(avi);
    for (size_t p = data.find("FMP4"); p != std::string::npos; p = data.find("FMP4", p))
        data.replace(p, 4, "QQQQ");
    WriteFile(to, data);
}

// The program folder as shipped; the files a run writes there are left behind.
inline void CopyProgramFolder(const std::string& built, const std::string& app)
{
    namespace fs = std::filesystem;
    fs::create_directories(app);
    for (const auto& entry : fs::directory_iterator(built)) {
        const std::string name = entry.path().filename().string();
        if (name == "options.ini" || name == "config.ini" || name == "DirectShow.avs")
            continue;
        fs::copy(entry.path(), app + name, fs::copy_options::recursive);
    }
}

// Every living (not zombie) process: pid, command name, parent, group.
struct ProcessInfo {
    pid_t Pid, Parent, Group;
    std::string Name;
};

inline std::vector<ProcessInfo> LivingProcesses()
{
    std::vector<ProcessInfo> all;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string stat = ReadFile(entry.path().string() + "/stat"); // pid (comm) state ppid pgrp
        const auto open = stat.find('('), close = stat.rfind(')');
        ProcessInfo p{};
        char state = 0;
        if (open == std::string::npos || close == std::string::npos ||
            std::sscanf(stat.c_str() + close + 1, " %c %d %d", &state, &p.Parent, &p.Group) != 3 || state == 'Z')
            continue;
        p.Pid = std::stoi(stat);
        p.Name = stat.substr(open + 1, close - open - 1);
        all.push_back(p);
    }
    return all;
}

inline std::optional<pid_t> ChildNamed(pid_t parent, const std::string& name)
{
    for (const ProcessInfo& p : LivingProcesses())
        if (p.Parent == parent && p.Name == name)
            return p.Pid;
    return std::nullopt;
}

inline bool Alive(pid_t pid)
{
    for (const ProcessInfo& p : LivingProcesses())
        if (p.Pid == pid)
            return true;
    return false;
}

inline int LivingInGroup(pid_t group)
{
    int count = 0;
    for (const ProcessInfo& p : LivingProcesses())
        count += p.Group == group;
    return count;
}

// Waits until Check holds, up to Limit.
template <class F> bool WaitFor(F check, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!check()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

struct RunResult {
    int Code = -1; // the exit code, or 1000 + the signal that ended it
    std::string Out;
    std::string Err;
};

// One started program, its standard output and error in files. It is
// killed when dropped before it ended.
class Running {
public:
    Running(pid_t pid, std::string outFile, std::string errFile)
        : pid_(pid), outFile_(std::move(outFile)), errFile_(std::move(errFile))
    {
    }
    Running(Running&& other) noexcept
        : pid_(std::exchange(other.pid_, -1)), outFile_(other.outFile_), errFile_(other.errFile_)
    {
    }
    ~Running()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t Pid() const { return pid_; }

    // Waits for the end (it is killed after the time-out, which fails the test).
    RunResult Wait(std::chrono::seconds timeout = std::chrono::seconds(300))
    {
        RunResult r;
        const auto end = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        for (;;) {
            if (waitpid(pid_, &status, WNOHANG) == pid_)
                break;
            if (std::chrono::steady_clock::now() > end) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                ADD_FAILURE() << "quorvex-cli did not end in time";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        pid_ = -1;
        r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        r.Out = ReadFile(outFile_);
        r.Err = ReadFile(errFile_);
        return r;
    }

private:
    pid_t pid_;
    std::string outFile_;
    std::string errFile_;
};

// Starts Program with Args, standard input from /dev/null, in Cwd when
// given and with TMPDIR set to TmpDir when given, under Limits.
struct RunLimits {
    // Bytes each file the program and its children write may hold, as
    // "ulimit -f" sets, with SIGXFSZ ignored so that writes fail with EFBIG.
    rlim_t FileSize = 0;
    // Descriptors each of them may hold open ("ulimit -n").
    rlim_t OpenFiles = 0;
};

inline Running StartProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::string& outFile, const std::string& errFile, const std::string& cwd = "",
                            const std::string& tmpDir = "", const RunLimits& limits = {})
{
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    const pid_t pid = fork();
    if (pid == 0) {
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(126);
        if (!tmpDir.empty())
            setenv("TMPDIR", tmpDir.c_str(), 1);
        const int in = open("/dev/null", O_RDONLY);
        const int o = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(in, 0);
        dup2(o, 1);
        dup2(e, 2);
        if (limits.FileSize > 0) {
            const rlimit limit{limits.FileSize, limits.FileSize};
            signal(SIGXFSZ, SIG_IGN);
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(126);
        }
        if (limits.OpenFiles > 0) {
            const rlimit limit{limits.OpenFiles, limits.OpenFiles};
            if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
                _exit(126);
        }
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return Running(pid, outFile, errFile);
}

// A test with its own copy of the built program folder (tmp/Quorvex/) that
// runs the copy's quorvex-cli.
class ProgramFolderTest : public ::testing::Test {
protected:
    void CopyProgram()
    {
        app = tmp.dir() + "Quorvex/";
        CopyProgramFolder(AppDir(), app);
        ASSERT_TRUE(std::filesystem::exists(app + "quorvex-cli")) << "no quorvex-cli in " << AppDir();
    }

    void WriteOptions(const std::string& body) { WriteFile(app + "options.ini", "[VideoConvertoptions]\n" + body); }

    // quorvex-cli with Args, run in Cwd when given; its TMPDIR is runTmpDir when set.
    Running Start(const std::vector<std::string>& args, const std::string& cwd = "")
    {
        const std::string n = std::to_string(++runs_);
        return StartProgram(app + "quorvex-cli", args, tmp.file("stdout-" + n), tmp.file("stderr-" + n), cwd,
                            runTmpDir, runLimits);
    }

    RunResult Run(const std::vector<std::string>& args, const std::string& cwd = "") { return Start(args, cwd).Wait(); }

    TempDir tmp;
    std::string app;
    std::string runTmpDir;
    RunLimits runLimits; // none unless set

private:
    int runs_ = 0;
};

} // namespace qvtest
