#pragma once

// The decisions of one conversion run that need no child process: the
// command line's first checks, the early start and its re-plan, the stop
// escalation, the last progress line and the verdict on the finished run.

#include "encoder/CommandLine.h"
#include "encoder/Console.h"
#include "encoder/OutputCheck.h"
#include "encoder/Plan.h"
#include "encoder/Probe.h"

#include <chrono>
#include <string>
#include <vector>

namespace avcore {

// True when an argument asks for the usage text.
bool HelpAsked(const std::vector<std::string>& args);

// Why the access code is refused ("" when it is right). It is the first
// thing checked, before the rest of the command line is read.
std::string AccessCodeFailure(const std::vector<std::string>& args);

// True when both names lead to one file (also through a link).
bool SameFile(const std::string& a, const std::string& b);

// " (the output folder 'F/' was removed during the conversion)" when the
// output's folder is gone, the cause behind ffmpeg's "No such file or
// directory"; "" otherwise.
std::string RemovedFolderNote(const std::string& output);

// What stands under an output name that no output may replace ("a folder",
// "a FIFO", ...); "" for nothing, a regular file or a symbolic link.
std::string NotRegularOutput(const std::string& output);

// The source the early run assumes: one video and one audio stream, nothing
// else known.
TSourceFacts TypicalSource();

// The arguments of the main ffmpeg started before the source's facts are
// known: the plan for a typical source. Empty when that plan fails or needs
// the AMR decoder, so that the work starts only when the facts are known.
std::vector<std::string> EarlyRunArgs(const TRequest& req, const std::string& ffmpeg, const std::string& source,
                                      const std::string& target);

// True when the early run already does what the plan for the real facts asks.
bool EarlyRunFits(const TPlan& plan, const std::vector<std::string>& earlyArgs, const std::string& ffmpeg,
                  const std::string& source, const std::string& target);

// The failure line for a source that ffprobe cannot open: the first line of
// its messages, without the source's name in front.
std::string ProbeFailure(const std::string& source, const std::string& probeErrors);

// "exit code 1" or "killed by signal 9 (Killed)" for a wait status.
std::string DescribeStatus(int status);
bool StatusOk(int status);

// After a stop signal the children get SIGTERM at once and SIGKILL when
// they still run five seconds later.
class TStopEscalation {
public:
    // The signal to send now for a stop signal seen at Now; 0 for none.
    int next(std::chrono::steady_clock::time_point now);

private:
    bool stopping_ = false;
    bool killed_ = false;
    std::chrono::steady_clock::time_point since_;
};

// The values of the last progress line: the final block, the output's size
// (when known, -1 otherwise), never a time before one already shown, and a
// time of 0 when nothing was shown and ffmpeg told none.
TProgress FinalProgress(TProgress last, const TProgress& lastShown, bool shownAny, long long outputSize);

// What the children of a finished run left behind.
struct TRunResult {
    bool decoderRan = false; // the AMR decoder
    int decoderStatus = 0;
    std::string decoderWhy;  // its error log's summary
    bool mainRan = false;    // the main ffmpeg
    int mainStatus = 0;
    std::string mainWhy;
    std::string mainWriteError; // writing the output failed, whatever the exit code
    std::string pumpError;   // writing the AMR stream
    long long outputSize = -1;
    long long amrFrames = 0;           // AMR frames written into a bare ".amr" stream
    std::vector<TMuxedStream> muxed;   // the main ffmpeg's end-of-run statistics
};

// Why the output of a run that was not stopped is not kept; "" when it is
// complete. A playable output holds something of every stream put into it.
std::string RunFailure(const TRunResult& run, const TPlan& plan, const std::string& source,
                       const std::string& output);

} // namespace avcore
