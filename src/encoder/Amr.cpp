#include "encoder/Amr.h"

#include <cmath>
#include <iterator>

extern "C" {
#include <opencore-amrnb/interf_enc.h>
#include <vo-amrwbenc/enc_if.h>
}

namespace avcore {

namespace {

const TAmrMode NarrowModes[] = {{0, 4.75}, {1, 5.15}, {2, 5.90}, {3, 6.70}, {4, 7.40}, {5, 7.95}, {6, 10.2}, {7, 12.2}};
const TAmrMode WideModes[] = {{0, 6.60}, {1, 8.85}, {2, 12.65}, {3, 14.25}, {4, 15.85},
                              {5, 18.25}, {6, 19.85}, {7, 23.05}, {8, 23.85}};

} // namespace

TAmrMode NearestAmrMode(bool wideBand, long long bitsPerSecond)
{
    const TAmrMode* begin = wideBand ? std::begin(WideModes) : std::begin(NarrowModes);
    const TAmrMode* end = wideBand ? std::end(WideModes) : std::end(NarrowModes);
    if (bitsPerSecond <= 0)
        return *(end - 1);
    double want = bitsPerSecond / 1000.0;
    TAmrMode best = *begin;
    for (const TAmrMode* m = begin; m != end; ++m)
        if (std::fabs(m->kbps - want) < std::fabs(best.kbps - want) - 1e-9)
            best = *m;
    return best;
}

const char* AmrFileMagic(bool wideBand) { return wideBand ? "#!AMR-WB\n" : "#!AMR\n"; }

TAmrEncoder::TAmrEncoder(bool wideBand, int mode) : wideBand_(wideBand), mode_(mode)
{
    state_ = wideBand_ ? E_IF_init() : Encoder_Interface_init(0);
}

TAmrEncoder::~TAmrEncoder()
{
    if (!state_)
        return;
    if (wideBand_)
        E_IF_exit(state_);
    else
        Encoder_Interface_exit(state_);
}

int TAmrEncoder::encode(const int16_t* samples, uint8_t* out)
{
    if (!state_)
        return -1;
    if (wideBand_)
        return E_IF_encode(state_, mode_, samples, out, 0);
    return Encoder_Interface_Encode(state_, static_cast<Mode>(mode_), samples, out, 0);
}

} // namespace avcore
