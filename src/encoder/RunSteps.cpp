#include "encoder/RunSteps.h"

#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>

namespace avcore {

bool HelpAsked(const std::vector<std::string>& args)
{
    for (const std::string& a : args)
        if (a == "--help" || a == "-h" || a == "-help")
            return true;
    return false;
}

std::string AccessCodeFailure(const std::vector<std::string>& args)
{
    std::string code;
    bool found = false;
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "-p") {
            code = args[i + 1];
            found = true;
            break;
        }
    if (!found || code != AccessCode)
        return found ? "wrong access code" : "no access code given (-p)";
    return {};
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat in, out;
    return stat(a.c_str(), &in) == 0 && stat(b.c_str(), &out) == 0 && in.st_dev == out.st_dev
           && in.st_ino == out.st_ino;
}

std::string RemovedFolderNote(const std::string& output)
{
    const size_t slash = output.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "./" : output.substr(0, slash + 1);
    struct stat st;
    if (stat(folder.c_str(), &st) == 0)
        return {};
    return " (the output folder '" + folder + "' was removed during the conversion)";
}

std::string NotRegularOutput(const std::string& output)
{
    struct stat st;
    if (lstat(output.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))
        return {};
    if (S_ISDIR(st.st_mode))
        return "a folder";
    if (S_ISFIFO(st.st_mode))
        return "a FIFO";
    if (S_ISSOCK(st.st_mode))
        return "a socket";
    if (S_ISCHR(st.st_mode))
        return "a character device";
    if (S_ISBLK(st.st_mode))
        return "a block device";
    return "a special file";
}

TSourceFacts TypicalSource()
{
    TSourceFacts typical;
    TStreamFacts v, a;
    v.type = "video";
    a.type = "audio";
    typical.streams = {v, a};
    typical.containerTags = true;
    return typical;
}

std::vector<std::string> EarlyRunArgs(const TRequest& req, const std::string& ffmpeg, const std::string& source,
                                      const std::string& target)
{
    // Loudness is measured before the conversion can start.
    if (!req.loudness.empty())
        return {};
    TPlan early;
    std::string earlyError;
    // An early plan that fails is decided again with the real facts.
    if (MakePlan(req, TypicalSource(), early, earlyError) && !early.amr)
        return MainFfmpegArgs(early, ffmpeg, source, target);
    return {};
}

bool EarlyRunFits(const TPlan& plan, const std::vector<std::string>& earlyArgs, const std::string& ffmpeg,
                  const std::string& source, const std::string& target)
{
    return !plan.amr && MainFfmpegArgs(plan, ffmpeg, source, target) == earlyArgs;
}

std::string ProbeFailure(const std::string& source, const std::string& probeErrors)
{
    std::string reason = CleanMessage(probeErrors.substr(0, probeErrors.find('\n')));
    if (reason.rfind(source + ": ", 0) == 0)
        reason.erase(0, source.size() + 2);
    return "could not open input file '" + source + "': " + (reason.empty() ? "unreadable" : reason);
}

std::string DescribeStatus(int status)
{
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
    return "exit code " + std::to_string(WEXITSTATUS(status));
}

bool StatusOk(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

int TStopEscalation::next(std::chrono::steady_clock::time_point now)
{
    if (!stopping_) {
        stopping_ = true;
        since_ = now;
        return SIGTERM;
    }
    if (!killed_ && now - since_ > std::chrono::seconds(5)) {
        killed_ = true;
        return SIGKILL;
    }
    return 0;
}

TProgress FinalProgress(TProgress last, const TProgress& lastShown, bool shownAny, long long outputSize)
{
    if (!shownAny && last.outTime < 0)
        last.outTime = 0;
    if (outputSize >= 0)
        last.totalSize = outputSize;
    if (last.outTime < lastShown.outTime)
        last.outTime = lastShown.outTime;
    return last;
}

namespace {

// "converting 'x' failed (exit code 1): why".
std::string ChildFailure(const std::string& what, int status, const std::string& why)
{
    return what + " failed (" + DescribeStatus(status) + ")" + (why.empty() ? "" : ": " + why);
}

} // namespace

std::string RunFailure(const TRunResult& run, const TPlan& plan, const std::string& source,
                       const std::string& output)
{
    if (run.decoderRan && !StatusOk(run.decoderStatus))
        return ChildFailure("decoding the audio of '" + source + "'", run.decoderStatus, run.decoderWhy);
    if (run.mainRan && !StatusOk(run.mainStatus))
        return ChildFailure("converting '" + source + "'", run.mainStatus, run.mainWhy);
    if (run.mainRan && !run.mainWriteError.empty())
        return "writing '" + output + "' failed: " + run.mainWriteError;
    if (!run.pumpError.empty())
        return "writing the AMR audio of '" + output + "' failed: " + run.pumpError;
    if (run.outputSize <= 0)
        return "no output was written to '" + output + "'";
    std::vector<std::string> empty;
    if (plan.amrDirect) {
        if (run.amrFrames == 0)
            empty.push_back("audio");
    } else if (run.muxed.empty()) {
        return "ffmpeg did not report what it wrote to '" + output + "'; the output is not kept";
    } else {
        empty = EmptyStreamKinds(run.muxed);
    }
    if (empty.empty())
        return {};
    std::string kinds = empty[0];
    for (size_t i = 1; i < empty.size(); ++i)
        kinds += " and " + empty[i];
    const bool ranged = plan.start > 0 || plan.duration.has_value();
    return "the output would hold no " + kinds + " ("
           + (ranged ? "nothing of the source's " + kinds + " lies in the chosen time range"
                     : "the source's " + kinds + " gave nothing to encode")
           + "); '" + output + "' was not written";
}

} // namespace avcore
