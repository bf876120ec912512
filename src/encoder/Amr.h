#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace avcore {

// The AMR modes and their bitrates in kbit/s.
struct TAmrMode {
    int mode;
    double kbps;
};

// The mode nearest to a requested bitrate (bit/s); a request of 0 or less
// picks the highest mode. Halfway requests take the lower mode.
TAmrMode NearestAmrMode(bool wideBand, long long bitsPerSecond);

inline int AmrSampleRate(bool wideBand) { return wideBand ? 16000 : 8000; }
inline size_t AmrFrameSamples(bool wideBand) { return wideBand ? 320 : 160; }
// The magic that begins a single-channel ".amr" storage file.
const char* AmrFileMagic(bool wideBand);

// One AMR encoder: 20 ms frames of 16-bit mono PCM in, storage-format frames
// (with their header byte, as ".amr" files and the "amr" demuxer expect) out.
class TAmrEncoder {
public:
    TAmrEncoder(bool wideBand, int mode);
    ~TAmrEncoder();
    TAmrEncoder(const TAmrEncoder&) = delete;
    TAmrEncoder& operator=(const TAmrEncoder&) = delete;

    bool ok() const { return state_ != nullptr; }
    // Why the encoder could not be set up (the library or a function of it
    // is missing); empty when ok().
    const std::string& error() const { return error_; }
    // Encodes exactly AmrFrameSamples() samples; returns the frame's byte count
    // (at most 64) written to out, or a negative value on failure.
    int encode(const int16_t* samples, uint8_t* out);

private:
    bool wideBand_;
    int mode_;
    void* state_ = nullptr;
    std::string error_;
};

} // namespace avcore
