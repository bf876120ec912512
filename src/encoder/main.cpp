// avcore.dll: converts one file. It reads the old encoder command line,
// runs ffmpeg for the work and reports on its console in the old shapes.

#include "encoder/Amr.h"
#include "encoder/CommandLine.h"
#include "encoder/Console.h"
#include "encoder/OutputCheck.h"
#include "encoder/Plan.h"
#include "encoder/Probe.h"
#include "encoder/Process.h"
#include "platform/PartialOutput.h"

#include "app/VisibleText.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace avcore;

namespace {

void Say(const std::string& text)
{
    WriteAll(2, text.data(), text.size());
}

// A failure's line; the names in Message are written visibly (VisibleText).
int Fail(const std::string& message)
{
    Say("Error: " + qvtext::VisibleText(message) + "\n");
    return 1;
}

std::string Program(const char* envName, const char* fallback)
{
    const char* v = std::getenv(envName);
    return v && *v ? v : fallback;
}

std::string DescribeStatus(int status)
{
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
    return "exit code " + std::to_string(WEXITSTATUS(status));
}

bool StatusOk(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

// Reads raw PCM from the decoder, encodes AMR frames and writes them on.
struct TAmrPump {
    int pcmFd = -1;
    int sinkFd = -1;
    bool wideBand = false;
    int mode = 7;
    bool closeSink = false; // the sink is a pipe whose end marks the end of the stream
    std::atomic<long long> written{0};
    std::atomic<long long> frames{0}; // AMR frames written
    std::string error; // read after join

    void run()
    {
        TAmrEncoder encoder(wideBand, mode);
        if (!encoder.ok()) {
            error = "cannot start the AMR encoder";
            drain();
            return;
        }
        // The storage-format magic, for ".amr" files and for the muxing ffmpeg's "amr" reader.
        const char* magic = AmrFileMagic(wideBand);
        if (!put(magic, std::strlen(magic)))
            return;
        const size_t frameBytes = AmrFrameSamples(wideBand) * 2;
        std::vector<char> frame(frameBytes);
        size_t have = 0;
        uint8_t out[128];
        for (;;) {
            ssize_t n = read(pcmFd, frame.data() + have, frameBytes - have);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            have += static_cast<size_t>(n);
            if (have < frameBytes)
                continue;
            if (!encodeFrame(encoder, frame, out))
                return;
            have = 0;
        }
        if (have > 0) {
            std::fill(frame.begin() + static_cast<long>(have), frame.end(), 0);
            encodeFrame(encoder, frame, out);
        }
    }

    bool encodeFrame(TAmrEncoder& encoder, std::vector<char>& frame, uint8_t* out)
    {
        // The decoder writes native little-endian samples.
        std::vector<int16_t> samples(frame.size() / 2);
        std::memcpy(samples.data(), frame.data(), frame.size());
        int bytes = encoder.encode(samples.data(), out);
        if (bytes < 0) {
            error = "the AMR encoder failed";
            drain();
            return false;
        }
        if (!put(out, static_cast<size_t>(bytes)))
            return false;
        ++frames;
        return true;
    }

    bool put(const void* data, size_t size)
    {
        if (!WriteAll(sinkFd, data, size)) {
            error = std::strerror(errno);
            drain();
            return false;
        }
        written += static_cast<long long>(size);
        return true;
    }

    // Keeps the decoder from blocking on a full pipe once we stop using its output.
    void drain()
    {
        char buf[65536];
        for (;;) {
            ssize_t n = read(pcmFd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
        }
    }
};

struct TWatched {
    TChild child;
    TErrorLog log;
    TProgressReader progress;
    int status = 0;
    bool running = false;
};

long long FileSize(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    TRequest req;
    std::string error;
    for (const std::string& a : args)
        if (a == "--help" || a == "-h" || a == "-help") {
            std::fputs(HelpText().c_str(), stdout);
            return 0;
        }
    {
        // The access code is checked before anything else is looked at.
        std::string code;
        bool found = false;
        for (size_t i = 0; i + 1 < args.size(); ++i)
            if (args[i] == "-p") {
                code = args[i + 1];
                found = true;
                break;
            }
        if (!found || code != AccessCode)
            return Fail(found ? "wrong access code" : "no access code given (-p)");
    }
    if (!ParseRequest(args, req, error))
        return Fail(error);

    InstallStopHandlers();
    const std::string ffmpeg = Program("QV_FFMPEG", "ffmpeg");
    const std::string ffprobe = Program("QV_FFPROBE", "ffprobe");

    std::string source = req.input;
    if (IsScriptName(req.input) && !ReadScriptSource(req.input, source, error))
        return Fail("could not read the script '" + req.input + "': " + error);
    TErrorLog::knownNames = {source, req.input, req.output};

    {
        // Writing over the source while reading it would destroy it.
        struct stat in, out;
        if (stat(source.c_str(), &in) == 0 && stat(req.output.c_str(), &out) == 0 && in.st_dev == out.st_dev
            && in.st_ino == out.st_ino)
            return Fail("input file and output file are the same file: '" + req.output + "'");
    }

    // The output is written under a temporary name beside it and gets its
    // name only when it is complete; an existing file stays untouched until
    // then. Temporary files that no running conversion holds are leftovers.
    RemoveLeftoverPartials(FolderOf(req.output));
    TPartialOutput partial;
    if (!partial.Create(req.output, error))
        return Fail(error);
    const std::string target = partial.Path();
    TErrorLog::knownNames.push_back(target);

    // The plan rarely depends on the source's facts (odd sizes, missing
    // streams, a few sample-rate limits). So the main ffmpeg starts at once
    // with a plan for a typical source, and its input dump tells the real
    // facts; if the real plan differs, the early run is dropped and started
    // again. This spares a second process start for the common case.
    TWatched mainRun, decoderRun;
    std::vector<std::string> earlyArgs;
    {
        TSourceFacts typical;
        TStreamFacts v, a;
        v.type = "video";
        a.type = "audio";
        typical.streams = {v, a};
        TPlan early;
        std::string earlyError;
        // An early plan that fails is decided again with the real facts.
        if (MakePlan(req, typical, early, earlyError) && !early.amr) {
            TSpawnSpec spec;
            spec.argv = MainFfmpegArgs(early, ffmpeg, source, target);
            spec.pipeProgress = true;
            if (Spawn(spec, mainRun.child, error)) {
                mainRun.running = true;
                earlyArgs = spec.argv;
            }
        }
    }
    // Ends the early run; what it wrote is replaced by the next run.
    auto dropEarlyRun = [&] {
        if (!mainRun.running)
            return;
        kill(mainRun.child.pid, SIGKILL);
        WaitChild(mainRun.child.pid);
        CloseFd(mainRun.child.err);
        CloseFd(mainRun.child.progress);
        mainRun = TWatched();
    };

    // The early run's input dump gives the facts without a second process;
    // when it gives none (the run failed, or the dump's shape is unknown),
    // ffprobe's machine-readable report is asked.
    TSourceFacts facts;
    bool haveFacts = false;
    if (mainRun.running) {
        mainRun.log.capturing = true;
        while (mainRun.log.capturing && mainRun.child.err >= 0 && !StopSignal()) {
            pollfd fds[2] = {{mainRun.child.err, POLLIN, 0}, {StopWakeFd(), POLLIN, 0}};
            if (poll(fds, StopWakeFd() >= 0 ? 2 : 1, 250) <= 0)
                continue;
            std::string text;
            bool open = ReadAvailable(mainRun.child.err, text);
            mainRun.log.feed(text, !open);
            if (!open)
                CloseFd(mainRun.child.err);
        }
        haveFacts = mainRun.log.headerDone && ParseInputDump(mainRun.log.header, facts);
    }
    if (int sig = StopSignal(); sig && !haveFacts) {
        dropEarlyRun();
        Fail("stopped by signal " + std::to_string(sig) + " before the conversion began");
        return 128 + sig;
    }
    std::string probeOut, probeErr;
    if (!haveFacts) {
        int probeCode = 0;
        if (!RunCapture({ffprobe, "-v", "error", "-of", "json", "-show_format", "-show_streams", "-i",
                         FfmpegFileName(source)},
                        probeOut, probeErr, probeCode, error)) {
            dropEarlyRun();
            return Fail(error);
        }
        if (int sig = StopSignal()) {
            dropEarlyRun();
            Fail("stopped by signal " + std::to_string(sig) + " before the conversion began");
            return 128 + sig;
        }
        if (probeCode != 0) {
            dropEarlyRun();
            std::string reason = CleanMessage(probeErr.substr(0, probeErr.find('\n')));
            if (reason.rfind(source + ": ", 0) == 0)
                reason.erase(0, source.size() + 2);
            return Fail("could not open input file '" + source + "': " + (reason.empty() ? "unreadable" : reason));
        }
        if (!ParseProbeJson(probeOut, facts, error)) {
            dropEarlyRun();
            return Fail("could not read the facts of '" + source + "': " + error);
        }
    }
    Say(InputHeader(req.input, facts));
    if (!facts.firstVideo() && !facts.firstAudio()) {
        dropEarlyRun();
        return Fail("No audio or video streams available in '" + source + "'");
    }

    TPlan plan;
    if (!MakePlan(req, facts, plan, error)) {
        dropEarlyRun();
        return Fail(error);
    }
    if (mainRun.running && (plan.amr || MainFfmpegArgs(plan, ffmpeg, source, target) != earlyArgs))
        dropEarlyRun();
    for (const std::string& note : plan.notes)
        Say("Note: " + note + "\n");
    Say(OutputHeader(req.output, plan, facts));

    // Start the work (unless the early run already does it).
    TAmrPump pump;
    std::thread pumpThread;
    int outputFd = -1;
    int amrPipe[2] = {-1, -1};
    if (mainRun.running) {
        // The early run is the conversion.
    } else if (plan.amr && plan.amrDirect) {
        outputFd = open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (outputFd < 0)
            return Fail("could not open output file '" + target + "': " + std::strerror(errno));
        TSpawnSpec spec;
        spec.argv = AmrDecoderArgs(plan, ffmpeg, source, true);
        spec.pipeStdout = spec.pipeProgress = true;
        if (!Spawn(spec, decoderRun.child, error)) {
            CloseFd(outputFd);
            return Fail(error);
        }
        decoderRun.running = true;
        pump.sinkFd = outputFd;
    } else {
        TSpawnSpec spec;
        spec.argv = MainFfmpegArgs(plan, ffmpeg, source, target);
        spec.pipeProgress = true;
        if (plan.amr) {
            if (pipe2(amrPipe, O_CLOEXEC) != 0)
                return Fail(std::string("cannot create a pipe: ") + std::strerror(errno));
            spec.stdinFd = amrPipe[0];
        }
        bool started = Spawn(spec, mainRun.child, error);
        CloseFd(amrPipe[0]);
        if (!started) {
            CloseFd(amrPipe[1]);
            return Fail(error);
        }
        mainRun.running = true;
        if (plan.amr) {
            TSpawnSpec dec;
            dec.argv = AmrDecoderArgs(plan, ffmpeg, source, false);
            dec.pipeStdout = true;
            if (!Spawn(dec, decoderRun.child, error)) {
                CloseFd(amrPipe[1]);
                SignalChildren(SIGTERM);
                WaitChild(mainRun.child.pid);
                return Fail(error);
            }
            decoderRun.running = true;
            pump.sinkFd = amrPipe[1];
            pump.closeSink = true;
        }
    }
    if (plan.amr) {
        pump.pcmFd = decoderRun.child.out;
        fcntl(pump.pcmFd, F_SETFL, fcntl(pump.pcmFd, F_GETFL) & ~O_NONBLOCK);
        pump.wideBand = plan.amrWideBand;
        pump.mode = plan.amrMode.mode;
        pumpThread = std::thread([&pump] {
            pump.run();
            // The end of the AMR stream tells the muxing ffmpeg that audio is complete.
            if (pump.closeSink)
                close(pump.sinkFd);
        });
    }
    TWatched& progressRun = plan.amrDirect ? decoderRun : mainRun;

    // Follow the work until every child has ended.
    bool stopping = false;
    auto stopSince = std::chrono::steady_clock::now();
    bool killed = false;
    TProgress lastShown;
    bool shownAny = false;
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<std::pair<TWatched*, int*>> owners;
        for (TWatched* w : {&mainRun, &decoderRun})
            for (int* fd : {&w->child.progress, &w->child.err}) {
                if (*fd < 0)
                    continue;
                fds.push_back({*fd, POLLIN, 0});
                owners.push_back({w, fd});
            }
        if (fds.empty())
            break;
        if (StopWakeFd() >= 0)
            fds.push_back({StopWakeFd(), POLLIN, 0});
        int ready = poll(fds.data(), fds.size(), 250);
        if (ready < 0 && errno != EINTR)
            break;
        for (size_t i = 0; i < owners.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            auto [w, fd] = owners[i];
            std::string text;
            bool open = ReadAvailable(*fd, text);
            if (fd == &w->child.err) {
                w->log.feed(text, !open);
            } else if (w->progress.feed(text) > 0 && w == &progressRun) {
                TProgress p = w->progress.last();
                if (plan.amrDirect)
                    p.totalSize = pump.written;
                if (!p.end) {
                    Say(ProgressLine(p) + "\r");
                    lastShown = p;
                    shownAny = true;
                }
            }
            if (!open)
                CloseFd(*fd);
        }
        if (StopSignal()) {
            char drain[64];
            while (read(StopWakeFd(), drain, sizeof drain) > 0) {
            }
            if (!stopping) {
                stopping = true;
                stopSince = std::chrono::steady_clock::now();
                SignalChildren(SIGTERM);
            } else if (!killed && std::chrono::steady_clock::now() - stopSince > std::chrono::seconds(5)) {
                killed = true;
                SignalChildren(SIGKILL);
            }
        }
    }
    for (TWatched* w : {&mainRun, &decoderRun})
        if (w->running)
            w->status = WaitChild(w->child.pid);
    // The pump reads the decoder's output to its end, which may still sit in the pipe.
    if (pumpThread.joinable())
        pumpThread.join();
    CloseFd(decoderRun.child.out);
    if (outputFd >= 0 && close(outputFd) != 0 && pump.error.empty())
        pump.error = std::strerror(errno);

    // The final progress line.
    TProgress final = progressRun.progress.last();
    if (!shownAny && final.outTime < 0)
        final.outTime = 0;
    long long size = FileSize(target);
    if (size >= 0)
        final.totalSize = size;
    if (final.outTime < lastShown.outTime)
        final.outTime = lastShown.outTime;
    Say(ProgressLine(final) + "\n");

    if (StopSignal()) {
        int sig = StopSignal();
        Say("Error: conversion stopped by signal " + std::to_string(sig) + " (" + strsignal(sig)
            + "); nothing was written to '" + qvtext::VisibleText(req.output) + "'\n");
        return 128 + sig;
    }
    if (decoderRun.running && !StatusOk(decoderRun.status)) {
        std::string why = decoderRun.log.summary();
        return Fail("decoding the audio of '" + source + "' failed (" + DescribeStatus(decoderRun.status) + ")"
                    + (why.empty() ? "" : ": " + why));
    }
    if (mainRun.running && !StatusOk(mainRun.status)) {
        std::string why = mainRun.log.summary();
        return Fail("converting '" + source + "' failed (" + DescribeStatus(mainRun.status) + ")"
                    + (why.empty() ? "" : ": " + why));
    }
    if (!pump.error.empty())
        return Fail("writing the AMR audio of '" + req.output + "' failed: " + pump.error);
    if (size <= 0)
        return Fail("no output was written to '" + req.output + "'");
    // A playable output holds something of every stream put into it.
    std::vector<std::string> empty;
    if (plan.amrDirect) {
        if (pump.frames == 0)
            empty.push_back("audio");
    } else if (mainRun.log.muxed.empty()) {
        return Fail("ffmpeg did not report what it wrote to '" + req.output + "'; the output is not kept");
    } else {
        empty = EmptyStreamKinds(mainRun.log.muxed);
    }
    if (!empty.empty()) {
        std::string kinds = empty[0];
        for (size_t i = 1; i < empty.size(); ++i)
            kinds += " and " + empty[i];
        const bool ranged = plan.start > 0 || plan.duration.has_value();
        return Fail("the output would hold no " + kinds + " ("
                    + (ranged ? "nothing of the source's " + kinds + " lies in the chosen time range"
                              : "the source's " + kinds + " gave nothing to encode")
                    + "); '" + req.output + "' was not written");
    }
    if (!partial.Commit(error))
        return Fail(error);
    return 0;
}
