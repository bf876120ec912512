#include "encoder/Meter.h"

#include "encoder/Plan.h"
#include "encoder/Process.h"
#include "encoder/RunSteps.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace avcore {

bool RunMeter(const std::vector<std::string>& argv, const std::function<void(const TProgress&)>& onProgress,
              TLoudness& out, std::string& error)
{
    TSpawnSpec spec;
    spec.argv = argv;
    spec.pipeProgress = true;
    TChild child;
    if (!Spawn(spec, child, error))
        return false;
    // Only the end of the messages matters (the summary); the rest is kept
    // short so that a chatty decoder cannot fill the memory.
    const size_t keep = 256 * 1024;
    std::string messages;
    TProgressReader progress;
    TStopEscalation stop;
    while (child.err >= 0 || child.progress >= 0) {
        std::vector<pollfd> fds;
        for (int fd : {child.err, child.progress})
            if (fd >= 0)
                fds.push_back({fd, POLLIN, 0});
        if (StopWakeFd() >= 0)
            fds.push_back({StopWakeFd(), POLLIN, 0});
        if (poll(fds.data(), fds.size(), 250) < 0 && errno != EINTR)
            break;
        for (const pollfd& p : fds) {
            if (!(p.revents & (POLLIN | POLLHUP | POLLERR)) || p.fd == StopWakeFd())
                continue;
            std::string text;
            const bool open = ReadAvailable(p.fd, text);
            if (p.fd == child.err) {
                messages += text;
                if (messages.size() > 2 * keep)
                    messages.erase(0, messages.size() - keep);
                if (!open)
                    CloseFd(child.err);
            } else {
                if (progress.feed(text) > 0 && !progress.last().end)
                    onProgress(progress.last());
                if (!open)
                    CloseFd(child.progress);
            }
        }
        if (StopSignal()) {
            char drain[64];
            while (read(StopWakeFd(), drain, sizeof drain) > 0) {
            }
            if (int sig = stop.next(std::chrono::steady_clock::now()))
                SignalChildren(sig);
        }
    }
    const int status = WaitChild(child.pid);
    if (int sig = StopSignal()) {
        error = "the loudness measurement was stopped by signal " + std::to_string(sig);
        return false;
    }
    if (!StatusOk(status)) {
        std::string why;
        for (size_t start = 0; start < messages.size();) {
            size_t end = messages.find('\n', start);
            if (end == std::string::npos)
                end = messages.size();
            const std::string line = CleanMessage(messages.substr(start, end - start));
            if (!line.empty())
                why = line;
            start = end + 1;
        }
        error = "the loudness measurement failed (" + DescribeStatus(status) + ")" + (why.empty() ? "" : ": " + why);
        return false;
    }
    if (!ParseLoudnessSummary(messages, out)) {
        error = "the loudness meter reported no figures";
        return false;
    }
    return true;
}

namespace {

// The seconds of a file as ffprobe reads them from its container; 0 when unknown.
double FileLength(const std::string& ffprobe, const std::string& file)
{
    std::string out, err, error;
    int code = 0;
    if (!RunCapture({ffprobe, "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0",
                     FfmpegFileName(file)},
                    out, err, code, error) ||
        code != 0)
        return 0;
    const std::optional<double> d = ParseNumber(out.substr(0, out.find_first_of("\r\n")));
    return d && *d > 0 ? *d : 0;
}

// Closes the list and so releases its lock.
struct TListLock {
    int fd = -1;
    ~TListLock()
    {
        if (fd >= 0)
            close(fd);
    }
};

} // namespace

bool ProgrammeLoudness(const std::string& listFile, const std::string& ffmpeg, const std::string& ffprobe,
                       const std::function<void(double)>& onProgress, TLoudness& out, std::string& error)
{
    TListLock lock;
    lock.fd = open(listFile.c_str(), O_RDWR | O_CLOEXEC);
    if (lock.fd < 0) {
        error = "cannot open the folder's file list '" + listFile + "': " + std::strerror(errno);
        return false;
    }
    // Another encoder of the same folder may be measuring: wait, but stay
    // stoppable.
    while (flock(lock.fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = std::string("cannot lock the folder's file list: ") + std::strerror(errno);
            return false;
        }
        if (StopSignal()) {
            error = "stopped while waiting for the folder's loudness";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::string text;
    char buf[65536];
    for (ssize_t n; (n = read(lock.fd, buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = std::string("cannot read the folder's file list: ") + std::strerror(errno);
            return false;
        }
        text.append(buf, static_cast<size_t>(n));
    }
    std::vector<std::string> files;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty())
            continue;
        if (line[0] == '=') {
            if (const std::optional<TLoudness> known = ParseLoudnessFigures(line.substr(1))) {
                out = *known;
                return true;
            }
            continue;
        }
        files.push_back(line);
    }
    if (files.empty()) {
        error = "the folder's file list names no file";
        return false;
    }
    double total = 0;
    for (const std::string& f : files)
        total += FileLength(ffprobe, f);
    auto progress = [&](const TProgress& p) {
        if (total > 0 && p.outTime >= 0)
            onProgress(std::min(1.0, p.outTime / total));
    };
    if (!RunMeter(ProgrammeMeterArgs(ffmpeg, files, MeterFilter("", "")), progress, out, error))
        return false;
    const std::string line = "=" + LoudnessFiguresText(out) + "\n";
    if (!WriteAll(lock.fd, line.data(), line.size())) {
        error = std::string("cannot write the folder's loudness: ") + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace avcore
