// avcore.dll: converts one file. It reads the old encoder command line,
// runs ffmpeg for the work and reports on its console in the old shapes.

#include "encoder/Amr.h"
#include "encoder/CommandLine.h"
#include "encoder/Console.h"
#include "encoder/Loudness.h"
#include "encoder/Meter.h"
#include "encoder/OutputCheck.h"
#include "encoder/Plan.h"
#include "encoder/Probe.h"
#include "encoder/Process.h"
#include "encoder/RunSteps.h"
#include "platform/PartialOutput.h"

#include "app/VisibleText.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/stat.h>
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
            error = "cannot start the AMR encoder: " + encoder.error();
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

// Everything one conversion holds while it runs. The partial output is
// declared first so that it outlives the children writing into it.
struct TConversion {
    TPartialOutput partial;
    TRequest req;
    std::string ffmpeg;
    std::string ffprobe;
    std::string source; // the file read (a script's source)
    std::string target; // the partial output the children write
    TWatched mainRun;
    TWatched decoderRun;
    std::vector<std::string> earlyArgs; // the early run's arguments
    TSourceFacts facts;
    TPlan plan;
    TAmrPump pump;
    std::thread pumpThread;
    int outputFd = -1; // a bare ".amr" stream written here
    // The conversion's progress within the file's whole work: the loudness
    // measurements come first, so the encoding's times are shifted behind
    // them (seconds of the written length).
    double progressOffset = 0;
    double progressFactor = 1;
    // The loudness decision in force; checked on the output once it is written.
    bool loudnessSet = false;
    bool loudnessProgramme = false;
    TLoudness loudnessMeasured;
    TGainDecision loudness;

    // The run whose progress is shown.
    TWatched& progressRun() { return plan.amrDirect ? decoderRun : mainRun; }
};

// What the progress lines have shown so far.
struct TShownProgress {
    TProgress last;
    bool any = false;
};

// Help, the access code and the options. A value means: end with that code.
std::optional<int> ReadCommandLine(const std::vector<std::string>& args, TRequest& req)
{
    if (HelpAsked(args)) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    // The access code is checked before anything else is looked at.
    if (std::string refused = AccessCodeFailure(args); !refused.empty())
        return Fail(refused);
    std::string error;
    if (!ParseRequest(args, req, error))
        return Fail(error);
    return std::nullopt;
}

// The file read, and the partial output beside the output.
std::optional<int> PrepareFiles(TConversion& c)
{
    std::string error;
    c.source = c.req.input;
    if (IsScriptName(c.req.input) && !ReadScriptSource(c.req.input, c.source, error))
        return Fail("could not read the script '" + c.req.input + "': " + error);
    TErrorLog::knownNames = {c.source, c.req.input, c.req.output};

    // Only a regular file (or a symbolic link, which is replaced as a link)
    // may stand under the output name: a folder, FIFO, socket or device
    // there is never turned into a file.
    // With "-replace number" nothing is replaced: such a name is passed over.
    if (std::string kind = NotRegularOutput(c.req.output); !kind.empty() && c.req.replace != "number")
        return Fail("the output '" + c.req.output + "' is " + kind + ", not a regular file; it is not replaced");
    // A name the file system cannot take fails now, not after the work.
    if (struct stat st; lstat(c.req.output.c_str(), &st) != 0 && errno == ENAMETOOLONG)
        return Fail("the output name '" + c.req.output + "' is too long for the file system (" +
                    std::strerror(ENAMETOOLONG) + ")");

    // Writing over the source while reading it would destroy it.
    if (SameFile(c.source, c.req.output))
        return Fail("input file and output file are the same file: '" + c.req.output + "'");

    // The output is written under a temporary name beside it and gets its
    // name only when it is complete; an existing file stays untouched until
    // then. Temporary files that no running conversion holds are leftovers.
    RemoveLeftoverPartials(FolderOf(c.req.output));
    if (!c.partial.Create(c.req.output, error))
        return Fail(error);
    c.target = c.partial.Path();
    TErrorLog::knownNames.push_back(c.target);
    return std::nullopt;
}

// The plan rarely depends on the source's facts (odd sizes, missing
// streams, a few sample-rate limits). So the main ffmpeg starts at once
// with a plan for a typical source, and its input dump tells the real
// facts; if the real plan differs, the early run is dropped and started
// again. This spares a second process start for the common case.
void StartEarlyRun(TConversion& c)
{
    TSpawnSpec spec;
    spec.argv = EarlyRunArgs(c.req, c.ffmpeg, c.source, c.target);
    spec.pipeProgress = true;
    std::string error;
    if (!spec.argv.empty() && Spawn(spec, c.mainRun.child, error)) {
        c.mainRun.running = true;
        c.earlyArgs = spec.argv;
    }
}

// Ends the early run; what it wrote is replaced by the next run.
void DropEarlyRun(TWatched& mainRun)
{
    if (!mainRun.running)
        return;
    kill(mainRun.child.pid, SIGKILL);
    WaitChild(mainRun.child.pid);
    CloseFd(mainRun.child.err);
    CloseFd(mainRun.child.progress);
    mainRun = TWatched();
}

int DropAndFail(TWatched& mainRun, const std::string& message)
{
    DropEarlyRun(mainRun);
    return Fail(message);
}

int StoppedBeforeStart(int sig)
{
    Fail("stopped by signal " + std::to_string(sig) + " before the conversion began");
    return 128 + sig;
}

// The early run's input dump gives the facts without a second process.
// False when it gives none (no early run, the run failed, or the dump's
// shape is unknown).
bool ReadEarlyFacts(TWatched& mainRun, TSourceFacts& facts)
{
    if (!mainRun.running)
        return false;
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
    return mainRun.log.headerDone && ParseInputDump(mainRun.log.header, facts);
}

// Copying a stream depends on its bitrate; where the container states none
// (Matroska), the packets of its first 30 seconds tell it.
void MeasureStreamBitRates(TConversion& c)
{
    if (!c.req.copyFitting)
        return;
    std::string error;
    for (const std::string type : {"video", "audio"}) {
        // The first stream of the type that is no cover art, and its
        // number among the streams of its type.
        int number = 0;
        TStreamFacts* first = nullptr;
        for (TStreamFacts& s : c.facts.streams) {
            if (s.type != type)
                continue;
            if (!s.attachedPicture) {
                first = &s;
                break;
            }
            ++number;
        }
        if (!first || first->bitRate > 0)
            continue;
        const std::string select = type.substr(0, 1) + ":" + std::to_string(number);
        std::string packets, packetErr;
        int packetCode = 0;
        if (RunCapture({c.ffprobe, "-v", "error", "-select_streams", select, "-show_entries",
                        "packet=size,duration_time", "-read_intervals", "%+30", "-of", "compact=p=0", "-i",
                        FfmpegFileName(c.source)},
                       packets, packetErr, packetCode, error)
            && packetCode == 0)
            first->bitRate = PacketBitRate(packets);
    }
}

// The facts from ffprobe's machine-readable report.
std::optional<int> ProbeFacts(TConversion& c)
{
    std::string probeOut, probeErr, error;
    int probeCode = 0;
    if (!RunCapture({c.ffprobe, "-v", "error", "-of", "json", "-show_format", "-show_streams", "-i",
                     FfmpegFileName(c.source)},
                    probeOut, probeErr, probeCode, error))
        return DropAndFail(c.mainRun, error);
    if (int sig = StopSignal()) {
        DropEarlyRun(c.mainRun);
        return StoppedBeforeStart(sig);
    }
    if (probeCode != 0)
        return DropAndFail(c.mainRun, ProbeFailure(c.source, probeErr));
    if (!ParseProbeJson(probeOut, c.facts, error))
        return DropAndFail(c.mainRun, "could not read the facts of '" + c.source + "': " + error);
    return std::nullopt;
}

// The plan for the real facts, told with the headers and notes; the early
// run goes when it does something else.
std::optional<int> DecidePlan(TConversion& c)
{
    Say(InputHeader(c.req.input, c.facts));
    if (!c.facts.firstVideo() && !c.facts.firstAudio())
        return DropAndFail(c.mainRun, "No audio or video streams available in '" + c.source + "'");
    std::string error;
    if (!MakePlan(c.req, c.facts, c.plan, error))
        return DropAndFail(c.mainRun, error);
    if (c.mainRun.running && !EarlyRunFits(c.plan, c.earlyArgs, c.ffmpeg, c.source, c.target))
        DropEarlyRun(c.mainRun);
    for (const std::string& note : c.plan.notes)
        Say("Note: " + note + "\n");
    Say(OutputHeader(c.req.output, c.plan, c.facts));
    return std::nullopt;
}

// The seconds the conversion writes, 0 when unknown.
double WrittenLength(const TConversion& c)
{
    if (c.plan.duration)
        return *c.plan.duration;
    return c.facts.duration > 0 ? std::max(0.0, c.facts.duration - c.plan.start) : 0;
}

// Runs one measuring decode through Chain; its progress fills the share of
// the file's work from Done to Done + Share (fractions).
std::optional<int> Measure(TConversion& c, const std::string& chain, double done, double share, TLoudness& out)
{
    const double length = WrittenLength(c);
    auto show = [&](const TProgress& p) {
        TProgress scaled = p;
        scaled.totalSize = 0;
        if (length > 0 && p.outTime >= 0)
            scaled.outTime = length * done + std::min(p.outTime, length) * share;
        else
            scaled.outTime = 0;
        Say(ProgressLine(scaled) + "\r");
    };
    std::string error;
    const std::string filter = MeterFilter(AudioFormatFilter(c.plan), chain);
    if (!RunMeter(MeterFfmpegArgs(c.plan, c.ffmpeg, c.source, filter), show, out, error)) {
        if (int sig = StopSignal())
            return StoppedBeforeStart(sig);
        return Fail(error + " for '" + c.source + "'");
    }
    return std::nullopt;
}

// Loudness normalisation: measure, choose one gain, and with limiting
// measure the limited result and correct the gain. The figures are told on
// a "Loudness:" line (for the batch's report); limiting and a missed target
// are told as notes.
std::optional<int> PlanLoudness(TConversion& c)
{
    if (c.req.loudness.empty() || !c.plan.writeAudio || c.plan.silentAudio)
        return std::nullopt;
    const double target = *ParseNumber(c.req.loudness);
    const double ceiling = c.req.truePeak.empty() ? -1.0 : *ParseNumber(c.req.truePeak);
    const bool programme = !c.req.loudnessOf.empty() || !c.req.loudnessAlbum.empty();
    // Each measuring decode counts for a fifth of the file's work.
    const double share = 0.2;
    double done = share;
    TLoudness measured;
    if (!c.req.loudnessOf.empty()) {
        measured = *ParseLoudnessFigures(c.req.loudnessOf);
        done = 0;
    } else if (!c.req.loudnessAlbum.empty()) {
        const double length = WrittenLength(c);
        auto show = [&](double part) {
            TProgress p;
            p.outTime = length * share * part;
            Say(ProgressLine(p) + "\r");
        };
        std::string error;
        if (!ProgrammeLoudness(c.req.loudnessAlbum, c.ffmpeg, c.ffprobe, show, measured, error)) {
            if (int sig = StopSignal())
                return StoppedBeforeStart(sig);
            return Fail(error);
        }
    } else if (auto code = Measure(c, "", 0, share, measured)) {
        return code;
    }
    TGainDecision d = DecideGain(measured, target, ceiling);
    const TStreamFacts* audio = c.facts.firstAudio();
    const int rate = c.plan.amr ? AmrSampleRate(c.plan.amrWideBand)
                                : c.plan.sampleRate > 0 ? c.plan.sampleRate : audio ? audio->sampleRate : 0;
    // One programme keeps one gain for all its files: no correction per file.
    if (!programme && (d.mode == TGainMode::Limited || d.mode == TGainMode::Capped)) {
        TLoudness limited;
        if (auto code = Measure(c, GainFilter(d, rate, ""), done, share, limited))
            return code;
        done += share;
        d = CorrectGain(d, measured, limited, target, ceiling);
    }
    c.plan.audioFilter = GainFilter(d, rate, AudioFormatFilter(c.plan));
    if (const double length = WrittenLength(c); length > 0) {
        c.progressOffset = length * done;
        c.progressFactor = 1 - done;
    }
    c.loudnessSet = d.mode != TGainMode::Silent;
    c.loudnessProgramme = programme;
    c.loudnessMeasured = measured;
    c.loudness = d;
    Say(LoudnessLine(measured, d) + (programme ? " (one gain for the folder)" : "") + "\n");
    if (const std::string note = LoudnessNote(measured, d, target, ceiling); !note.empty())
        Say("Note: " + note + "\n");
    return std::nullopt;
}

// A bare ".amr" stream: the decoder's PCM is encoded here into the output.
std::optional<int> StartDirectAmr(TConversion& c)
{
    std::string error;
    c.outputFd = open(c.target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (c.outputFd < 0)
        return Fail("could not open output file '" + c.target + "': " + std::strerror(errno));
    TSpawnSpec spec;
    spec.argv = AmrDecoderArgs(c.plan, c.ffmpeg, c.source, true);
    spec.pipeStdout = spec.pipeProgress = true;
    if (!Spawn(spec, c.decoderRun.child, error)) {
        CloseFd(c.outputFd);
        return Fail(error);
    }
    c.decoderRun.running = true;
    c.pump.sinkFd = c.outputFd;
    return std::nullopt;
}

// The main ffmpeg; with AMR audio also the decoder whose PCM the pump
// encodes into the main ffmpeg's standard input.
std::optional<int> StartMainRun(TConversion& c)
{
    std::string error;
    int amrPipe[2] = {-1, -1};
    TSpawnSpec spec;
    spec.argv = MainFfmpegArgs(c.plan, c.ffmpeg, c.source, c.target);
    spec.pipeProgress = true;
    if (c.plan.amr) {
        if (pipe2(amrPipe, O_CLOEXEC) != 0)
            return Fail(std::string("cannot create a pipe: ") + std::strerror(errno));
        spec.stdinFd = amrPipe[0];
    }
    bool started = Spawn(spec, c.mainRun.child, error);
    CloseFd(amrPipe[0]);
    if (!started) {
        CloseFd(amrPipe[1]);
        return Fail(error);
    }
    c.mainRun.running = true;
    if (c.plan.amr) {
        TSpawnSpec dec;
        dec.argv = AmrDecoderArgs(c.plan, c.ffmpeg, c.source, false);
        dec.pipeStdout = true;
        if (!Spawn(dec, c.decoderRun.child, error)) {
            CloseFd(amrPipe[1]);
            SignalChildren(SIGTERM);
            WaitChild(c.mainRun.child.pid);
            return Fail(error);
        }
        c.decoderRun.running = true;
        c.pump.sinkFd = amrPipe[1];
        c.pump.closeSink = true;
    }
    return std::nullopt;
}

void StartPump(TConversion& c)
{
    TAmrPump& pump = c.pump;
    pump.pcmFd = c.decoderRun.child.out;
    fcntl(pump.pcmFd, F_SETFL, fcntl(pump.pcmFd, F_GETFL) & ~O_NONBLOCK);
    pump.wideBand = c.plan.amrWideBand;
    pump.mode = c.plan.amrMode.mode;
    c.pumpThread = std::thread([&pump] {
        pump.run();
        // The end of the AMR stream tells the muxing ffmpeg that audio is complete.
        if (pump.closeSink)
            close(pump.sinkFd);
    });
}

// Starts the work (unless the early run already does it).
std::optional<int> StartWork(TConversion& c)
{
    if (c.mainRun.running) {
        // The early run is the conversion.
    } else if (c.plan.amr && c.plan.amrDirect) {
        if (auto code = StartDirectAmr(c))
            return code;
    } else if (auto code = StartMainRun(c)) {
        return code;
    }
    if (c.plan.amr)
        StartPump(c);
    return std::nullopt;
}

// Takes what one child wrote on Fd: messages into its log, progress onto
// the console.
void TakeChildOutput(TConversion& c, TWatched& w, int& fd, TShownProgress& shown)
{
    std::string text;
    bool open = ReadAvailable(fd, text);
    if (&fd == &w.child.err) {
        w.log.feed(text, !open);
    } else if (w.progress.feed(text) > 0 && &w == &c.progressRun()) {
        TProgress p = w.progress.last();
        if (c.plan.amrDirect)
            p.totalSize = c.pump.written;
        if (p.outTime >= 0)
            p.outTime = c.progressOffset + p.outTime * c.progressFactor;
        if (!p.end) {
            Say(ProgressLine(p) + "\r");
            shown.last = p;
            shown.any = true;
        }
    }
    if (!open)
        CloseFd(fd);
}

// Follows the work until every child has closed its pipes; a stop signal is
// passed on to the children.
void FollowChildren(TConversion& c, TShownProgress& shown)
{
    TStopEscalation stop;
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<std::pair<TWatched*, int*>> owners;
        for (TWatched* w : {&c.mainRun, &c.decoderRun})
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
        for (size_t i = 0; i < owners.size(); ++i)
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                TakeChildOutput(c, *owners[i].first, *owners[i].second, shown);
        if (StopSignal()) {
            char drain[64];
            while (read(StopWakeFd(), drain, sizeof drain) > 0) {
            }
            if (int sig = stop.next(std::chrono::steady_clock::now()))
                SignalChildren(sig);
        }
    }
}

// Waits for the children and the pump.
void EndChildren(TConversion& c)
{
    for (TWatched* w : {&c.mainRun, &c.decoderRun})
        if (w->running)
            w->status = WaitChild(w->child.pid);
    // The pump reads the decoder's output to its end, which may still sit in the pipe.
    if (c.pumpThread.joinable())
        c.pumpThread.join();
    CloseFd(c.decoderRun.child.out);
    if (c.outputFd >= 0 && close(c.outputFd) != 0 && c.pump.error.empty())
        c.pump.error = std::strerror(errno);
}

void FollowChildren(TConversion& c, TShownProgress& shown);
void EndChildren(TConversion& c);

// Lossy encoders change the loudness and the peaks a little (a low-pass
// filter takes loudness, the coding adds peaks): the written output is
// measured, and one that misses the target by more than 0.3 LU or passes the
// ceiling by more than 0.2 dB is written once more with the gain and the
// limiter corrected.
// Not for AMR (its own encoder) nor for a folder's shared gain.
std::optional<int> CheckLoudness(TConversion& c, TShownProgress& shown)
{
    if (!c.loudnessSet || c.loudnessProgramme || c.plan.amr || !c.mainRun.running || !StatusOk(c.mainRun.status) ||
        StopSignal())
        return std::nullopt;
    const double target = *ParseNumber(c.req.loudness);
    const double ceiling = c.req.truePeak.empty() ? -1.0 : *ParseNumber(c.req.truePeak);
    TPlan whole;
    TLoudness written;
    std::string error;
    if (!RunMeter(MeterFfmpegArgs(whole, c.ffmpeg, c.target, MeterFilter("", "")), [](const TProgress&) {}, written,
                  error)) {
        if (int sig = StopSignal())
            return StoppedBeforeStart(sig);
        return std::nullopt; // the output is checked as any other by the verdict
    }
    TGainDecision d = c.loudness;
    const double missing = d.targetReached ? target - written.integrated : 0;
    const double overshoot = written.truePeak - ceiling;
    if (std::fabs(missing) <= 0.3 && overshoot <= 0.2)
        return std::nullopt;
    d.gain += missing;
    if (overshoot > 0 || (d.peakReduction > 0 && missing > 0)) {
        // Peaks the coding raised: the limiter holds them lower by as much.
        if (d.peakReduction <= 0)
            d.limit = ceiling;
        d.limit = std::max(d.limit - std::max(overshoot, 0.0) - 0.1, MinLimiterLevel);
        d.peakReduction = std::max(d.peakReduction + missing, 0.1);
    }
    d.reached = written.integrated + missing;
    d.reachedPeak = std::min(written.truePeak, ceiling);
    const TStreamFacts* audio = c.facts.firstAudio();
    const int rate = c.plan.sampleRate > 0 ? c.plan.sampleRate : audio ? audio->sampleRate : 0;
    c.plan.audioFilter = GainFilter(d, rate, AudioFormatFilter(c.plan));
    c.loudness = d;
    // The second encoding shows as the end of the file's work.
    c.progressOffset = WrittenLength(c);
    c.progressFactor = 0;
    c.mainRun = TWatched();
    if (auto code = StartMainRun(c))
        return code;
    FollowChildren(c, shown);
    EndChildren(c);
    Say(LoudnessLine(c.loudnessMeasured, d) + " (written again: the first encoding measured " +
        Decibels(written.integrated) + " LUFS, true peak " + Decibels(written.truePeak) + " dBTP)\n");
    return std::nullopt;
}

// The last progress line and the verdict: the output gets its name only
// when the run is complete.
int Finish(TConversion& c, const TShownProgress& shown)
{
    const long long size = FileSize(c.target);
    TProgress last = c.progressRun().progress.last();
    if (last.outTime >= 0)
        last.outTime = c.progressOffset + last.outTime * c.progressFactor;
    Say(ProgressLine(FinalProgress(last, shown.last, shown.any, size)) + "\n");

    if (StopSignal()) {
        int sig = StopSignal();
        Say("Error: conversion stopped by signal " + std::to_string(sig) + " (" + strsignal(sig)
            + "); nothing was written to '" + qvtext::VisibleText(c.req.output) + "'\n");
        return 128 + sig;
    }
    TRunResult run;
    run.decoderRan = c.decoderRun.running;
    run.decoderStatus = c.decoderRun.status;
    run.decoderWhy = c.decoderRun.log.summary();
    run.mainRan = c.mainRun.running;
    run.mainStatus = c.mainRun.status;
    run.mainWhy = c.mainRun.log.summary();
    run.mainWriteError = c.mainRun.log.writeError;
    run.pumpError = c.pump.error;
    run.outputSize = size;
    run.amrFrames = c.pump.frames;
    run.muxed = c.mainRun.log.muxed;
    if (std::string failure = RunFailure(run, c.plan, c.source, c.req.output); !failure.empty())
        return Fail(failure + RemovedFolderNote(c.req.output));
    std::string error;
    TReplaceGrant grant;
    ParseReplaceGrant(c.req.replace.empty() ? "none" : c.req.replace, grant);
    if (!c.partial.Commit(grant, error))
        return Fail(error);
    // Under a number the output has another name than the one asked for:
    // the caller reports that name (and its number, which needs no parsing
    // of a name).
    if (grant.Kind == TReplaceGrant::TKind::Number)
        Say("Output number: " + std::to_string(c.partial.CommittedNumber()) + " '"
            + qvtext::VisibleText(c.partial.CommittedName()) + "'\n");
    return 0;
}

// "-p CODE -measure-loudness [-programme] FILE...": the figures of each
// file (with "-programme": of all of them joined as one programme), one
// line each on standard output, "I,LRA,TP" or "error: why"; progress goes to
// standard error. Ends with 1 when any file could not be measured.
int MeasureMode(const std::vector<std::string>& args)
{
    std::vector<std::string> files;
    bool programme = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-p")
            ++i;
        else if (args[i] == "-programme")
            programme = true;
        else if (args[i] != "-measure-loudness")
            files.push_back(args[i]);
    }
    if (files.empty())
        return Fail("-measure-loudness needs at least one file");
    const std::string ffmpeg = Program("QV_FFMPEG", "ffmpeg");
    const std::string meter = MeterFilter("", "");
    auto show = [](const TProgress& p) { Say(ProgressLine(p) + "\r"); };
    int code = 0;
    auto measure = [&](const std::vector<std::string>& argv) {
        TLoudness l;
        std::string error;
        if (RunMeter(argv, show, l, error)) {
            std::printf("%s\n", LoudnessFiguresText(l).c_str());
        } else {
            std::printf("error: %s\n", qvtext::VisibleText(error).c_str());
            code = 1;
        }
        std::fflush(stdout);
    };
    if (programme) {
        measure(ProgrammeMeterArgs(ffmpeg, files, meter));
    } else {
        for (const std::string& f : files) {
            TPlan whole;
            measure(MeterFfmpegArgs(whole, ffmpeg, f, meter));
            if (StopSignal())
                break;
        }
    }
    Say("\n");
    return StopSignal() ? 128 + StopSignal() : code;
}

} // namespace

int main(int argc, char** argv)
{
    TConversion c;
    if (const std::vector<std::string> args(argv + 1, argv + argc);
        std::find(args.begin(), args.end(), "-measure-loudness") != args.end() && !HelpAsked(args)) {
        if (std::string refused = AccessCodeFailure(args); !refused.empty())
            return Fail(refused);
        InstallStopHandlers();
        return MeasureMode(args);
    }
    if (auto code = ReadCommandLine(std::vector<std::string>(argv + 1, argv + argc), c.req))
        return *code;
    InstallStopHandlers();
    c.ffmpeg = Program("QV_FFMPEG", "ffmpeg");
    c.ffprobe = Program("QV_FFPROBE", "ffprobe");
    if (auto code = PrepareFiles(c))
        return *code;

    StartEarlyRun(c);
    const bool haveFacts = ReadEarlyFacts(c.mainRun, c.facts);
    if (int sig = StopSignal(); sig && !haveFacts) {
        DropEarlyRun(c.mainRun);
        return StoppedBeforeStart(sig);
    }
    if (!haveFacts)
        if (auto code = ProbeFacts(c))
            return *code;
    MeasureStreamBitRates(c);
    if (auto code = DecidePlan(c))
        return *code;
    if (auto code = PlanLoudness(c))
        return *code;
    if (auto code = StartWork(c))
        return *code;

    TShownProgress shown;
    FollowChildren(c, shown);
    EndChildren(c);
    if (auto code = CheckLoudness(c, shown))
        return *code;
    return Finish(c, shown);
}
