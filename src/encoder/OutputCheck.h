#pragma once

#include <string>
#include <vector>

namespace avcore {

// One output stream in ffmpeg's end-of-run statistics:
// "  Output stream #0:1 (audio): 44 frames encoded (45056 samples); 45 packets muxed (9184 bytes); "
struct TMuxedStream {
    std::string id;   // "0:1"
    std::string type; // "video", "audio", "subtitle", ...
    long long packets = 0;
};

// Reads one statistics line (its level tag and any "[ctx @ 0x...] " prefix
// already removed). False for every other line.
bool ParseMuxedStreamLine(const std::string& line, TMuxedStream& stream);

// The kinds of picture and sound streams that received no packet, in stream
// order without repeats ("audio", "video"); empty when every mapped stream
// holds something.
std::vector<std::string> EmptyStreamKinds(const std::vector<TMuxedStream>& streams);

// True when an error-level ffmpeg message tells that writing the output
// failed: its trailer, closing it, the second pass that moves the index to
// the front ("faststart"), or a packet. ffmpeg ends with exit code 0 after
// the first three, leaving a truncated file.
bool IsOutputWriteError(const std::string& message);

} // namespace avcore
