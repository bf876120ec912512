#pragma once

// Running the built encoder and ffmpeg/ffprobe from the tests.

#include "support/SampleMedia.h"
#include "support/TempDir.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace enctest {

inline const char* EncoderPath() { return AVCORE_PATH; }

struct TRunResult {
    int exitCode = -1; // -1: ended by a signal or did not end in time
    std::string output; // standard output and error together, in arrival order
};

// A started program with its standard output and error on one pipe.
class TRunning {
public:
    explicit TRunning(const std::vector<std::string>& argv, const std::string& cwd = "")
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
        if (!cwd.empty())
            posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        int rc = posix_spawnp(&pid_, args[0], &fa, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        fd_ = fds[0];
        if (rc != 0) {
            close(fd_);
            throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
        }
    }
    ~TRunning()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0)
            close(fd_);
    }
    TRunning(const TRunning&) = delete;
    TRunning& operator=(const TRunning&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& output() const { return output_; }

    // Reads output for up to the given time; false when the pipe has closed.
    bool pump(int ms)
    {
        if (fd_ < 0)
            return false;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0)
            return true;
        char buf[8192];
        ssize_t n = read(fd_, buf, sizeof buf);
        if (n > 0) {
            output_.append(buf, static_cast<size_t>(n));
            return true;
        }
        if (n < 0 && errno == EINTR)
            return true;
        close(fd_);
        fd_ = -1;
        return false;
    }

    // Waits for the end (killing the program after the time limit).
    TRunResult finish(int limitSeconds)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
        while (pump(200))
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid_, SIGKILL);
                break;
            }
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        TRunResult r;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.output = output_;
        return r;
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string output_;
};

inline TRunResult RunProgram(const std::vector<std::string>& argv, int limitSeconds = 120, const std::string& cwd = "")
{
    TRunning p(argv, cwd);
    return p.finish(limitSeconds);
}

// The encoder's command line: access code, input, the option line split at
// blanks (as the process runner splits it), output.
inline std::vector<std::string> EncoderArgs(const std::string& input, const std::string& optionLine,
                                            const std::string& output, const std::string& code = "5260718")
{
    std::vector<std::string> a = {EncoderPath(), "-p", code, "-i", input};
    size_t from = 0;
    while (from < optionLine.size()) {
        size_t blank = optionLine.find(' ', from);
        if (blank == std::string::npos)
            blank = optionLine.size();
        if (blank > from)
            a.push_back(optionLine.substr(from, blank - from));
        from = blank + 1;
    }
    a.push_back(output);
    return a;
}

// ffprobe's "flat" report as key → value (quotes removed).
inline std::map<std::string, std::string> ProbeFlat(const std::string& file)
{
    TRunResult r = RunProgram({"ffprobe", "-v", "error", "-of", "flat", "-show_format", "-show_streams", file}, 60);
    std::map<std::string, std::string> facts;
    size_t from = 0;
    while (from < r.output.size()) {
        size_t nl = r.output.find('\n', from);
        if (nl == std::string::npos)
            nl = r.output.size();
        std::string line = r.output.substr(from, nl - from);
        from = nl + 1;
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        facts[line.substr(0, eq)] = value;
    }
    return facts;
}

// Small test sources made with ffmpeg's generators: 2 s, 176x144 at 25 fps,
// a 440 Hz stereo tone at 44100 Hz.
// Deep: 24-bit audio at 96000 Hz, as a studio master.
enum class TSourceKind { AudioVideo, AudioOnly, VideoOnly, Long, Deep };

inline std::string MakeSource(const qvtest::TempDir& dir, TSourceKind kind)
{
    const std::string video = "testsrc=size=176x144:rate=25:duration=2";
    const std::string audio = "sine=frequency=440:sample_rate=44100:duration=2";
    std::vector<std::string> a;
    std::string name;
    switch (kind) {
    case TSourceKind::AudioVideo:
        name = dir.file("av.mkv");
        a.insert(a.end(), {"-f", "lavfi", "-i", video, "-f", "lavfi", "-i", audio, "-ac", "2", "-c:v", "mpeg4", "-q:v",
                           "3", "-c:a", "pcm_s16le", name});
        break;
    case TSourceKind::AudioOnly:
        name = dir.file("a.wav");
        a.insert(a.end(), {"-f", "lavfi", "-i", audio, "-ac", "2", name});
        break;
    case TSourceKind::VideoOnly:
        name = dir.file("v.mkv");
        a.insert(a.end(), {"-f", "lavfi", "-i", video, "-c:v", "mpeg4", "-q:v", "3", name});
        break;
    case TSourceKind::Long:
        name = dir.file("long.mkv");
        a.insert(a.end(), {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=60", "-f", "lavfi", "-i",
                           "sine=frequency=440:sample_rate=44100:duration=60", "-c:v", "mpeg4", "-q:v", "5", "-c:a",
                           "pcm_s16le", name});
        break;
    case TSourceKind::Deep:
        name = dir.file("deep.wav");
        a.insert(a.end(), {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=96000:duration=2", "-ac", "2", "-c:a",
                           "pcm_s24le", name});
        break;
    }
    if (!qvtest::MakeMedia(a))
        throw std::runtime_error("cannot make a test source " + name);
    return name;
}

} // namespace enctest
