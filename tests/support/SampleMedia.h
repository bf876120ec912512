#pragma once

// Sample media for the tests, made by ffmpeg from its own generators
// (testsrc pictures, sine tones): every test that needs a clip makes it here.

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qvtest {

// Runs ffmpeg quietly (no banner, errors only, no standard input, outputs
// overwritten) with Args: inputs, options and the output file. The program is
// started directly, so names need no quoting. True when it ended with 0 within
// two minutes; one that takes longer is ended.
inline bool MakeMedia(const std::vector<std::string>& args)
{
    std::vector<std::string> all = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The generator inputs: a test picture of Size ("160x120") at Rate frames a
// second, and a sine tone, each Seconds long ("1.5").
inline std::vector<std::string> TestPicture(const std::string& size, int rate, const std::string& seconds)
{
    return {"-f", "lavfi", "-i", "testsrc=size=" + size + ":rate=" + std::to_string(rate) + ":duration=" + seconds};
}

inline std::vector<std::string> SineTone(const std::string& seconds, const std::string& more = "")
{
    return {"-f", "lavfi", "-i", "sine=duration=" + seconds + (more.empty() ? "" : ":" + more)};
}

// Joins argument lists.
inline std::vector<std::string> JoinArgs(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace qvtest
