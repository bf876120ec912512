#include "encoder/Meter.h"

#include "encoder/Process.h"
#include "encoder/RunSteps.h"

#include <cerrno>
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

} // namespace avcore
