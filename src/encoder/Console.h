#pragma once

#include "encoder/Plan.h"
#include "encoder/Probe.h"

#include <map>
#include <string>

namespace avcore {

// "hh:mm:ss.cc" for a duration in seconds; "N/A" when negative.
std::string DurationText(double seconds);

// The input header: "Input #0, <fmt>, from '<name>':", the duration line and
// one line per stream. Names are written as qvtext::VisibleText, here and in
// every console line, so that no name can start a line or move the cursor.
std::string InputHeader(const std::string& shownName, const TSourceFacts& facts);

// The output header: "Output #0, <fmt>, to '<name>':" and its streams.
std::string OutputHeader(const std::string& outputName, const TPlan& plan, const TSourceFacts& facts);

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
