// The encoder program's arguments: reading the request, planning the
// conversion for a typical source, and the ffmpeg arguments of the plan.
//
// Input: byte 0 picks the source (video and audio, video only, audio only,
// nothing readable; odd sizes); the rest is the argument list, one argument
// per NUL-separated part (the program name is not part of it).
//
// Checks: an accepted request keeps the last argument as the output name and
// names a non-empty input; the value readers give finite, in-range numbers;
// a plan's times are finite and not negative, and its ffmpeg run reads the
// input and writes the output as file names, never as options.

#include "FuzzSupport.h"
#include "encoder/CommandLine.h"
#include "encoder/Plan.h"
#include "encoder/Probe.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

avcore::TSourceFacts Source(uint8_t kind)
{
    avcore::TSourceFacts f;
    f.formatName = "avi";
    f.duration = (kind & 4) ? -1 : 10.0;
    avcore::TStreamFacts v;
    v.type = "video";
    v.codec = "mpeg4";
    v.pixelFormat = "yuv420p";
    v.width = (kind & 8) ? 201 : 320;
    v.height = (kind & 8) ? 149 : 240;
    v.frameRate = (kind & 16) ? 0 : 25;
    avcore::TStreamFacts a;
    a.type = "audio";
    a.codec = "mp3";
    a.sampleFormat = "fltp";
    a.sampleRate = (kind & 32) ? 8000 : 44100;
    a.channels = (kind & 64) ? 6 : 2;
    switch (kind & 3) {
    case 0:
        f.streams = {v, a};
        break;
    case 1:
        f.streams = {v};
        break;
    case 2:
        f.streams = {a};
        break;
    default:
        break;
    }
    return f;
}

void CheckValueReaders(const std::string& text)
{
    if (auto t = avcore::ParseTimeText(text))
        qvfuzz::Check(std::isfinite(*t) && *t >= 0, "time reader gives a bad value for '" + text + "'");
    if (auto b = avcore::ParseBitrate(text, false))
        qvfuzz::Check(*b > 0 && *b <= 10000000000LL, "bitrate reader gives a bad value for '" + text + "'");
    if (auto b = avcore::ParseBitrate(text, true))
        qvfuzz::Check(*b >= 0 && *b <= 10000000000LL, "bitrate reader gives a bad value for '" + text + "'");
    if (auto n = avcore::ParseNumber(text))
        qvfuzz::Check(std::isfinite(*n), "number reader gives a bad value for '" + text + "'");
}

// The name follows "-i" in the arguments.
bool ReadsInput(const std::vector<std::string>& a, const std::string& name)
{
    for (size_t i = 0; i + 1 < a.size(); ++i)
        if (a[i] == "-i" && a[i + 1] == name)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const avcore::TSourceFacts source = Source(data[0]);
    const std::vector<std::string> args =
        qvfuzz::SplitAtNul(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    for (const std::string& a : args)
        CheckValueReaders(a);

    avcore::TRequest req;
    std::string error;
    if (!avcore::ParseRequest(args, req, error)) {
        qvfuzz::Check(!error.empty(), "request refused without a message");
        return 0;
    }
    if (req.help)
        return 0;
    qvfuzz::Check(req.output == args.back(), "the output is not the last argument");
    qvfuzz::Check(!req.input.empty() && !req.output.empty(), "an empty file name accepted");
    qvfuzz::Check(std::find(args.begin(), args.end(), req.input) != args.end(), "an input name that was not given");

    avcore::TPlan plan;
    if (!avcore::MakePlan(req, source, plan, error)) {
        qvfuzz::Check(!error.empty(), "plan refused without a message");
        return 0;
    }
    qvfuzz::Check(std::isfinite(plan.start) && plan.start >= 0, "bad start time in the plan");
    if (plan.duration)
        qvfuzz::Check(std::isfinite(*plan.duration) && *plan.duration > 0, "bad duration in the plan");
    qvfuzz::Check(plan.writeVideo || plan.writeAudio, "a plan that writes no stream");

    const std::vector<std::string> main = avcore::MainFfmpegArgs(plan, "ffmpeg", req.input, req.output);
    qvfuzz::Check(main.size() >= 2 && main[main.size() - 2] == "-y" &&
                      main.back() == avcore::FfmpegFileName(req.output),
                  "ffmpeg does not end with the output file");
    qvfuzz::Check(avcore::FfmpegFileName(req.input).rfind("file:", 0) == 0, "input not passed as a file name");
    const bool amrPipe = plan.amr && !plan.amrDirect && plan.writeAudio;
    if (!amrPipe || plan.writeVideo)
        qvfuzz::Check(ReadsInput(main, avcore::FfmpegFileName(req.input)), "ffmpeg does not read the input file");
    if (plan.amr && plan.writeAudio) {
        const std::vector<std::string> dec = avcore::AmrDecoderArgs(plan, "ffmpeg", req.input, true);
        qvfuzz::Check(ReadsInput(dec, avcore::FfmpegFileName(req.input)) && dec.back() == "pipe:1",
                      "the AMR decoder does not read the input or write to its pipe");
    }
    return 0;
}
