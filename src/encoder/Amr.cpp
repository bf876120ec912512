#include "encoder/Amr.h"

#include <cmath>
#include <dlfcn.h>
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

// The AMR encoder libraries are loaded when an AMR file is made, not at every
// start of the encoder: most conversions need neither, and each library the
// encoder links costs every file at start-up. Loaded once, never unloaded.
class TAmrLibrary {
public:
    explicit TAmrLibrary(const char* file) : file_(file)
    {
        handle_ = dlopen(file, RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            const char* why = dlerror();
            error_ = why ? why : std::string("cannot load ") + file;
        }
    }

    // Sets fn to the library's function Name; false (with the reason kept)
    // when the library or the function is missing.
    template <typename F>
    bool Bind(F& fn, const char* name)
    {
        fn = handle_ ? reinterpret_cast<F>(dlsym(handle_, name)) : nullptr;
        if (!fn && error_.empty())
            error_ = std::string(file_) + " lacks the function " + name;
        return fn != nullptr;
    }

    const std::string& Error() const { return error_; }

private:
    const char* file_;
    void* handle_ = nullptr;
    std::string error_;
};

// The functions of the headers, each of its declared type.
struct TNarrowBand {
    decltype(&Encoder_Interface_init) Init = nullptr;
    decltype(&Encoder_Interface_Encode) Encode = nullptr;
    decltype(&Encoder_Interface_exit) Exit = nullptr;
    std::string Error;
};
struct TWideBand {
    decltype(&E_IF_init) Init = nullptr;
    decltype(&E_IF_encode) Encode = nullptr;
    decltype(&E_IF_exit) Exit = nullptr;
    std::string Error;
};

const TNarrowBand& NarrowBand()
{
    static const TNarrowBand functions = [] {
        TAmrLibrary lib("libopencore-amrnb.so.0");
        TNarrowBand f;
        if (!lib.Bind(f.Init, "Encoder_Interface_init") || !lib.Bind(f.Encode, "Encoder_Interface_Encode")
            || !lib.Bind(f.Exit, "Encoder_Interface_exit"))
            f = TNarrowBand{.Error = lib.Error()};
        return f;
    }();
    return functions;
}

const TWideBand& WideBand()
{
    static const TWideBand functions = [] {
        TAmrLibrary lib("libvo-amrwbenc.so.0");
        TWideBand f;
        if (!lib.Bind(f.Init, "E_IF_init") || !lib.Bind(f.Encode, "E_IF_encode") || !lib.Bind(f.Exit, "E_IF_exit"))
            f = TWideBand{.Error = lib.Error()};
        return f;
    }();
    return functions;
}

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
    if (wideBand_) {
        error_ = WideBand().Error;
        if (WideBand().Init)
            state_ = WideBand().Init();
    } else {
        error_ = NarrowBand().Error;
        if (NarrowBand().Init)
            state_ = NarrowBand().Init(0);
    }
    if (!state_ && error_.empty())
        error_ = "the AMR library could not set up an encoder";
}

TAmrEncoder::~TAmrEncoder()
{
    if (!state_)
        return;
    if (wideBand_)
        WideBand().Exit(state_);
    else
        NarrowBand().Exit(state_);
}

int TAmrEncoder::encode(const int16_t* samples, uint8_t* out)
{
    if (!state_)
        return -1;
    if (wideBand_)
        return WideBand().Encode(state_, mode_, samples, out, 0);
    return NarrowBand().Encode(state_, static_cast<Mode>(mode_), samples, out, 0);
}

} // namespace avcore
