#pragma once

#include "encoder/Amr.h"
#include "encoder/CommandLine.h"
#include "encoder/Probe.h"

#include <optional>
#include <string>
#include <vector>

namespace avcore {

// What one conversion will do, in today's ffmpeg terms.
struct TPlan {
    std::string muxer;      // given to ffmpeg with "-f"; empty when "-target" or ffmpeg chooses
    std::string formatName; // shown in the output header
    bool writeVideo = false;
    bool writeAudio = false;
    double start = 0;                // seconds skipped at the start of the input
    std::optional<double> duration;  // seconds to convert; none: to the end
    std::string videoEncoder;        // ffmpeg encoder name, "" = the container's default
    std::string audioEncoder;
    std::vector<std::string> outputArgs; // every option between the inputs and "-f"
    // AMR audio is made by the AMR libraries from PCM that a second ffmpeg decodes.
    bool amr = false;
    bool amrWideBand = false;
    TAmrMode amrMode{7, 12.2};
    bool amrDirect = false; // the output is a bare ".amr" stream written here
    // Silent stereo AAC from ffmpeg's generator joins the video (the PSP
    // container must hold a sound track).
    bool silentAudio = false;
    std::string sizeText;   // "WxH" written, "" = the source's
    int channels = 0;       // requested channel count, 0 = the source's
    int sampleRate = 0;     // requested sample rate, 0 = the source's
    // Tags: the source's are written where the container holds them; -1 in
    // "-map_metadata" writes none and no cover art.
    bool keepTags = true;
    int coverStream = -1;   // the source's attached picture written as cover art, -1 none
    // Audio filter of the written sound ("-af"; for AMR in the decoder): the
    // loudness gain. Empty: none.
    std::string audioFilter;
    // Adjustments made because the combination asked for cannot work as written.
    std::vector<std::string> notes;
};

// Turns the request into a plan for this source. False with a message when
// an option value cannot be read or the output would hold no stream.
bool MakePlan(const TRequest& req, const TSourceFacts& source, TPlan& plan, std::string& error);

// The arguments of the ffmpeg run that writes the output. With AMR audio the
// encoded AMR stream arrives on ffmpeg's standard input. Its messages carry
// their level ("[info] ", "[error] ").
std::vector<std::string> MainFfmpegArgs(const TPlan& plan, const std::string& ffmpeg, const std::string& input,
                                        const std::string& output);

// The arguments of the ffmpeg run that decodes the source's audio to raw mono
// 16-bit PCM at the AMR rate on its standard output.
std::vector<std::string> AmrDecoderArgs(const TPlan& plan, const std::string& ffmpeg, const std::string& input,
                                        bool withProgress);

// The arguments of an ffmpeg run that decodes the audio the plan writes
// (same range) through Filter to nothing; progress on descriptor 3.
std::vector<std::string> MeterFfmpegArgs(const TPlan& plan, const std::string& ffmpeg, const std::string& input,
                                         const std::string& filter);
// The arguments of an ffmpeg run that decodes the first audio stream of
// every input, joins them into one programme and measures it.
std::vector<std::string> ProgrammeMeterArgs(const std::string& ffmpeg, const std::vector<std::string>& inputs,
                                            const std::string& meter);
// The format conversion the plan's audio undergoes ("aresample=...",
// "aformat=channel_layouts=..."), so that the loudness is measured and set
// on the sound as it is written; "" when none.
std::string AudioFormatFilter(const TPlan& plan);

// A file name as ffmpeg must read it: never as an option, a protocol or "-".
std::string FfmpegFileName(const std::string& name);

// The lower-case extension with its dot ("" when none).
std::string LowerExtension(const std::string& name);

// The text printed by "--help": usage and every adjustment the encoder makes.
std::string HelpText();

} // namespace avcore
