#pragma once

#include "encoder/OutputCheck.h"
#include "encoder/Plan.h"
#include "encoder/Probe.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace avcore {

// "hh:mm:ss.cc" for a duration in seconds; "N/A" when negative.
std::string DurationText(double seconds);

// The input header: "Input #0, <fmt>, from '<name>':", the duration line and
// one line per stream. Names are written as qvtext::VisibleText, here and in
// every console line, so that no name can start a line or move the cursor.
std::string InputHeader(const std::string& shownName, const TSourceFacts& facts);

// The output header: "Output #0, <fmt>, to '<name>':" and its streams.
std::string OutputHeader(const std::string& outputName, const TPlan& plan, const TSourceFacts& facts);

// ffmpeg's messages without the "[codec @ 0x...] " prefix and the "file:" we add to names.
std::string CleanMessage(std::string line);

// Splits "[ctx @ 0x55d0] [parent @ 0x55d1] [warning] text" (the context tags
// are optional) into the level tag and the text after it. False when the line
// carries no level tag.
bool SplitLevelTag(const std::string& raw, std::string& level, std::string& text);

// The console lines of one ffmpeg child's standard error. Lines tagged with a
// level below "error" are not shown; while capturing, the "[info]" lines up to
// the end of the input dump are kept as the source's header. A line without a
// tag continues the message before it (a line break inside a message) and
// keeps that message's level. Shown lines are "ffmpeg: " and the message with
// its names written visibly; they never begin with "Error".
struct TErrorLog {
    // The file names of this run (source, script, output). ffmpeg quotes them
    // as they are, so a line break inside one must not split a message.
    static inline std::vector<std::string> knownNames;
    // Where shown lines go (with their line end); standard error when unset.
    static inline std::function<void(const std::string&)> echo;

    std::string pending;
    std::vector<std::string> messages;
    std::vector<TMuxedStream> muxed; // the end-of-run statistics ("[verbose]")
    std::string writeError;          // the first error message about writing the output
    bool capturing = false;
    bool headerDone = false;
    std::vector<std::string> header;
    std::string lastLevel = "error"; // a child run without level tags reports errors only

    // Takes text; Flush takes the last, unfinished line too and ends capturing.
    void feed(const std::string& text, bool flush);
    // The message that says best why the run failed: one naming a cause of the
    // system (a full disk, a missing right) before any other.
    std::string summary() const;

private:
    bool endsInsideName(size_t nl) const;
    void take(std::string raw);
};

// One block of ffmpeg's "-progress" output ("key=value" lines ending in
// "progress=continue" or "progress=end").
struct TProgress {
    long long frame = 0;
    double fps = 0;
    double quality = -1;
    long long totalSize = -1; // bytes, -1 unknown
    double outTime = -1;      // seconds, -1 unknown
    bool end = false;
};

// Collects "-progress" text; returns true each time a block is complete.
class TProgressReader {
public:
    // Appends text; complete blocks are parsed into last(). Returns the number
    // of blocks completed by this text.
    int feed(const std::string& text);
    const TProgress& last() const { return last_; }

private:
    std::string pending_;
    std::map<std::string, std::string> block_;
    TProgress last_;
};

// The progress line in the old shape, without its line end:
// "frame=  123 fps= 45 q=2.0 size=     456kB time=4.92 bitrate= 759.3kbits/s"
std::string ProgressLine(const TProgress& p);

} // namespace avcore
