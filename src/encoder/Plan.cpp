#include "encoder/Plan.h"
#include "encoder/PlanSteps.h"

#include "platform/TextRules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <numeric>
#include <optional>

namespace avcore {

namespace {

std::string Seconds(double s)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", s);
    return buf;
}

struct TPair {
    const char* from;
    const char* to;
};

const char* Lookup(const TPair* begin, const TPair* end, const std::string& key)
{
    for (const TPair* p = begin; p != end; ++p)
        if (key == p->from)
            return p->to;
    return nullptr;
}

const TPair VideoEncoders[] = {
    {"h264", "libx264"}, {"x264", "libx264"}, {"avc", "libx264"}, {"xvid", "libxvid"},
    {"divx", "mpeg4"},   {"msmpeg4v3", "msmpeg4"}, {"mpeg1", "mpeg1video"}, {"mpeg2", "mpeg2video"},
    {"wmv7", "wmv1"},    {"wmv8", "wmv2"},
    {"hevc", "libx265"}, {"h265", "libx265"}, {"x265", "libx265"}, {"av1", "libsvtav1"}, {"svtav1", "libsvtav1"},
    {"vp9", "libvpx-vp9"}, {"vp8", "libvpx"},
};

const TPair AudioEncoders[] = {
    {"mp3", "libmp3lame"}, {"lame", "libmp3lame"}, {"vorbis", "libvorbis"}, {"a52", "ac3"}, {"opus", "libopus"},
};

const TPair SizeNames[] = {
    {"sqcif", "128x96"},  {"qcif", "176x144"},  {"cif", "352x288"},   {"4cif", "704x576"},  {"qvga", "320x240"},
    {"vga", "640x480"},   {"svga", "800x600"},  {"xga", "1024x768"},  {"pal", "720x576"},   {"ntsc", "720x480"},
    {"hd480", "852x480"}, {"hd720", "1280x720"}, {"hd1080", "1920x1080"},
};

const TPair FrameRates[] = {
    {"14.985", "15000/1001"}, {"19.98", "20000/1001"}, {"23.976", "24000/1001"},
    {"29.97", "30000/1001"},  {"59.94", "60000/1001"}, {"47.952", "48000/1001"},
};

// The ffmpeg encoder of a codec name as asked: any letter case, the old
// names mapped.
template <size_t N>
std::string EncoderName(const std::string& asked, const TPair (&oldNames)[N])
{
    std::string name = LowerAscii(asked);
    if (const char* m = Lookup(std::begin(oldNames), std::end(oldNames), name))
        name = m;
    return name;
}

bool IsAudioOnlyMuxer(const std::string& m)
{
    return m == "adts" || m == "ac3" || m == "mp2" || m == "mp3" || m == "amr" || m == "wav" || m == "ogg" || m == "opus"
           || m == "flac";
}

bool IsIsoMuxer(const std::string& m)
{
    return m == "mp4" || m == "psp" || m == "3gp" || m == "3g2" || m == "mov" || m == "ipod";
}

bool ParseSize(const std::string& text, int& w, int& h)
{
    std::string t = LowerAscii(text);
    if (const char* named = Lookup(std::begin(SizeNames), std::end(SizeNames), t))
        t = named;
    size_t x = t.find('x');
    if (x == std::string::npos)
        return false;
    auto a = ParseNumber(t.substr(0, x));
    auto b = ParseNumber(t.substr(x + 1));
    if (!a || !b || *a != std::floor(*a) || *b != std::floor(*b) || *a < 1 || *b < 1 || *a > 16384 || *b > 16384)
        return false;
    w = static_cast<int>(*a);
    h = static_cast<int>(*b);
    return true;
}

int RoundTo(int v, int step, int lo, int hi)
{
    int r = (v + step / 2) / step * step;
    return std::clamp(r, lo, hi);
}

// The nearest size the encoder can write.
void LegalSize(const std::string& encoder, int& w, int& h)
{
    if (encoder == "h263") {
        static const int Sizes[][2] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
        const int* best = Sizes[0];
        for (const auto& s : Sizes)
            if (std::abs(s[0] - w) + std::abs(s[1] - h) < std::abs(best[0] - w) + std::abs(best[1] - h))
                best = s;
        w = best[0];
        h = best[1];
    } else if (encoder == "h263p") {
        w = RoundTo(w, 4, 4, 2048);
        h = RoundTo(h, 4, 4, 1152);
    } else if (encoder == "rv10") {
        w = RoundTo(w, 16, 16, 4080);
        h = RoundTo(h, 16, 16, 4080);
    } else if (encoder == "mpeg1video" || encoder == "mpeg2video") {
        w = std::min(RoundTo(w, 2, 2, 4094), 4094);
        h = std::min(RoundTo(h, 2, 2, 4094), 4094);
    } else if (encoder == "libsvtav1") {
        // SVT-AV1 takes even sides of at least 64 pixels.
        w = std::max(64, w + (w & 1));
        h = std::max(64, h + (h & 1));
    } else if (encoder != "mjpeg") {
        // 4:2:0 pictures need even sides; huffYUV's 4:2:2 needs an even width.
        w = w + (w & 1);
        h = h + (h & 1);
    }
}

int Nearest(const std::vector<int>& legal, int v)
{
    int best = legal.front();
    for (int l : legal)
        if (std::abs(l - v) < std::abs(best - v))
            best = l;
    return best;
}

bool Contains(const std::vector<int>& legal, int v) { return std::find(legal.begin(), legal.end(), v) != legal.end(); }

// The sample rates and channel counts an audio encoder accepts.
struct TAudioLimits {
    const char* name;
    std::vector<int> rates;
    int maxChannels;
};

const TAudioLimits* AudioLimitsOf(const std::string& encoder)
{
    static const TAudioLimits Mp3{"MP3", {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}, 2};
    static const TAudioLimits Mp2{"MP2", {16000, 22050, 24000, 32000, 44100, 48000}, 2};
    static const TAudioLimits Ac3{"AC3", {32000, 44100, 48000}, 6};
    if (encoder == "libmp3lame")
        return &Mp3;
    if (encoder == "mp2")
        return &Mp2;
    if (encoder == "ac3" || encoder == "ac3_fixed")
        return &Ac3;
    return nullptr;
}

// Opus is coded at 8, 12, 16, 24 or 48 kHz; any other rate is resampled to
// 48 kHz, the rate Opus decoders play at.
bool FitOpusRate(int& effectiveRate, TAudioValues& values, std::vector<std::string>& notes)
{
    static const std::vector<int> Rates = {8000, 12000, 16000, 24000, 48000};
    if (Contains(Rates, effectiveRate))
        return false;
    notes.push_back("Opus cannot be sampled at " + std::to_string(effectiveRate) + " Hz; written at 48000 Hz");
    values.rate = effectiveRate = 48000;
    return true;
}

// The audio encoder ffmpeg takes for a container when none is named.
std::string DefaultAudioEncoder(const std::string& muxer)
{
    if (muxer == "avi" || muxer == "mp3" || muxer == "swf" || muxer == "flv")
        return "libmp3lame";
    if (muxer == "mp2" || muxer == "mpeg" || muxer == "vob")
        return "mp2";
    if (muxer == "ac3" || muxer == "rm")
        return "ac3";
    if (muxer == "ogg")
        return "libvorbis";
    if (muxer == "opus" || muxer == "webm")
        return "libopus";
    if (muxer == "flac")
        return "flac";
    return {};
}

// The bitrate (kbit/s) the MP3 encoder writes for a requested one: the
// nearest of the table of the sample rate's MPEG version, the lower on a tie.
int NearestMp3Bitrate(int kbps, int sampleRate)
{
    static const std::vector<int> Mpeg1 = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const std::vector<int> Mpeg2 = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const std::vector<int> Mpeg25 = {8, 16, 24, 32, 40, 48, 56, 64};
    const std::vector<int>& table = sampleRate >= 32000 ? Mpeg1 : sampleRate >= 16000 ? Mpeg2 : Mpeg25;
    return Nearest(table, kbps);
}

bool ValidStrict(const std::string& s)
{
    static const char* Words[] = {"very", "strict", "normal", "unofficial", "experimental"};
    for (const char* w : Words)
        if (s == w)
            return true;
    auto n = ParseNumber(s);
    return n && *n == std::floor(*n) && *n >= -2 && *n <= 2;
}

bool ValidAspect(const std::string& s)
{
    size_t c = s.find(':');
    if (c == std::string::npos) {
        auto v = ParseNumber(s);
        return v && *v > 0;
    }
    auto a = ParseNumber(s.substr(0, c));
    auto b = ParseNumber(s.substr(c + 1));
    return a && b && *a > 0 && *b > 0;
}

// The video encoder ffmpeg takes for a container when none is named.
std::string DefaultVideoEncoder(const std::string& muxer)
{
    if (muxer == "mpeg")
        return "mpeg1video";
    if (muxer == "vob")
        return "mpeg2video";
    return {};
}

// A frame rate for a message: "25", "19.98", "14.985".
std::string RateText(double fps)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", fps);
    std::string t = buf;
    while (t.back() == '0')
        t.pop_back();
    if (t.back() == '.')
        t.pop_back();
    return t;
}

struct TMpeg1Rate {
    double fps;
    const char* arg;  // given to ffmpeg
    const char* text; // shown
    bool unofficial;
};

// MPEG-1's frame-rate codes in the order ffmpeg prefers them on a tie.
const TMpeg1Rate& NearestMpeg1Rate(double fps)
{
    static const TMpeg1Rate Rates[] = {
        {24000.0 / 1001, "24000/1001", "23.976", false},
        {24, "24", "24", false},
        {25, "25", "25", false},
        {30000.0 / 1001, "30000/1001", "29.97", false},
        {30, "30", "30", false},
        {50, "50", "50", false},
        {60000.0 / 1001, "60000/1001", "59.94", false},
        {60, "60", "60", false},
        {15, "15", "15", true},
        {5, "5", "5", true},
        {10, "10", "10", true},
        {12, "12", "12", true},
    };
    const TMpeg1Rate* best = &Rates[0];
    for (const TMpeg1Rate& r : Rates)
        if (std::fabs(r.fps - fps) < std::fabs(best->fps - fps))
            best = &r;
    return *best;
}

// "4:3" or "1.5" as a number (the text is valid).
double AspectValue(const std::string& s)
{
    size_t c = s.find(':');
    if (c == std::string::npos)
        return *ParseNumber(s);
    return *ParseNumber(s.substr(0, c)) / *ParseNumber(s.substr(c + 1));
}

// The picture shape an MPEG video of W x H shows when Asked is requested:
// MPEG-2 stores square pixels, 4:3, 16:9 or 2.21:1, MPEG-1 one of fourteen
// pixel shapes; the encoder takes the pixel shape nearest to the one asked.
double MpegShownAspect(bool mpeg2, int w, int h, double asked, std::string& text)
{
    const double frame = static_cast<double>(w) / h;
    const double sar = asked / frame;
    double bestSar = 1, bestError = 1e9;
    int bestCode = 1;
    if (mpeg2) {
        const double shapes[] = {0, frame, 4.0 / 3, 16.0 / 9, 2.21};
        for (int i = 1; i <= 4; ++i) {
            double candidate = shapes[i] / frame;
            double error = std::fabs(candidate - sar);
            if (error <= bestError + 1e-9) {
                bestError = error;
                bestSar = candidate;
                bestCode = i;
            }
        }
    } else {
        static const double heights[] = {0,      1.0,    0.6735, 0.7031, 0.7615, 0.8055, 0.8437, 0.8935,
                                         0.9157, 0.9815, 1.0255, 1.0695, 1.0950, 1.1575, 1.2015};
        for (int i = 1; i < 15; ++i) {
            double candidate = 1 / heights[i];
            double error = std::fabs(candidate - sar);
            if (error <= bestError + 1e-9) {
                bestError = error;
                bestSar = candidate;
                bestCode = i;
            }
        }
    }
    const double shown = bestSar * frame;
    char buf[48];
    if (mpeg2 && bestCode == 2)
        text = "4:3";
    else if (mpeg2 && bestCode == 3)
        text = "16:9";
    else if (mpeg2 && bestCode == 4)
        text = "2.21:1";
    else if (mpeg2 || std::fabs(bestSar - 1) < 1e-9) {
        int g = std::gcd(w, h);
        if (w / g <= 64 && h / g <= 64) {
            std::snprintf(buf, sizeof buf, "%d:%d", w / g, h / g);
            text = buf;
        } else {
            std::snprintf(buf, sizeof buf, "%.2f:1", shown);
            text = buf;
        }
    } else {
        std::snprintf(buf, sizeof buf, "%.2f:1", shown);
        text = buf;
    }
    return shown;
}

// The picture size of an MPEG target ("pal-dvd" and the like).
void TargetSize(const std::string& target, int& w, int& h)
{
    const bool pal = target.rfind("pal-", 0) == 0;
    const std::string kind = target.substr(target.find('-') + 1);
    if (kind == "vcd") {
        w = 352;
        h = pal ? 288 : 240;
    } else if (kind == "svcd") {
        w = 480;
        h = pal ? 576 : 480;
    } else if (kind == "dvd") {
        w = 720;
        h = pal ? 576 : 480;
    }
}

// Shrinks W x H (keeping its shape, sides even) until it holds at most Limit
// 16x16 macroblocks.
void FitMacroblocks(int& w, int& h, int limit)
{
    auto blocks = [](int a, int b) { return ((a + 15) / 16) * ((b + 15) / 16); };
    if (blocks(w, h) <= limit)
        return;
    const double shape = static_cast<double>(w) / h;
    double scale = std::sqrt(static_cast<double>(limit) / blocks(w, h));
    for (;;) {
        int fw = std::max(16, static_cast<int>(w * scale) / 2 * 2);
        int fh = std::max(16, static_cast<int>(fw / shape) / 2 * 2);
        if (blocks(fw, fh) <= limit || fw <= 16) {
            w = fw;
            h = fh;
            return;
        }
        scale *= 0.98;
    }
}

// The value after Name in Args, if there is one.
std::optional<std::string> FindArg(const std::vector<std::string>& args, const std::string& name)
{
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == name)
            return args[i + 1];
    return std::nullopt;
}

// Sets the value after Name in Args, adding the pair when it is missing.
void SetArg(std::vector<std::string>& args, const std::string& name, const std::string& value)
{
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == name) {
            args[i + 1] = value;
            return;
        }
    args.insert(args.end(), {name, value});
}

std::string TargetFormatName(const std::string& target)
{
    std::string kind = target;
    for (const char* prefix : {"pal-", "ntsc-", "film-"})
        if (kind.rfind(prefix, 0) == 0)
            kind = kind.substr(std::string(prefix).size());
    if (kind == "vcd" || kind == "svcd" || kind == "dvd" || kind == "dv" || kind == "dv50")
        return kind == "dv50" ? "dv" : kind;
    return {};
}

} // namespace

std::string LowerExtension(const std::string& name)
{
    return LowerAscii(FileExtension(name));
}

std::string FfmpegFileName(const std::string& name) { return "file:" + name; }

bool PlanContainer(const TRequest& req, TPlanDraft& draft, std::string& error)
{
    TPlan& plan = draft.plan;
    draft.target = LowerAscii(req.target);
    if (!draft.target.empty()) {
        plan.formatName = TargetFormatName(draft.target);
        if (plan.formatName.empty()) {
            error = "unknown target '" + req.target + "'";
            return false;
        }
    }
    std::string format = LowerAscii(req.format);
    std::string ext = LowerExtension(req.output);
    if (!format.empty()) {
        const TContainer* c = ContainerByName(format);
        if (!c) {
            error = "unknown container '" + req.format + "'";
            return false;
        }
        plan.muxer = c->muxer;
        if (plan.muxer == "3gp" && ext == ".3g2")
            plan.muxer = "3g2";
    } else if (draft.target.empty()) {
        if (const TContainer* c = ContainerByExtension(ext))
            plan.muxer = c->muxer;
    }
    if (plan.formatName.empty())
        plan.formatName = !plan.muxer.empty() ? plan.muxer : (ext.empty() ? std::string("N/A") : ext.substr(1));
    return true;
}

bool PlanTimeRange(const TRequest& req, const TSourceFacts& source, TPlan& plan, std::string& error)
{
    if (!req.start.empty()) {
        auto s = ParseTimeText(req.start);
        if (!s) {
            error = "invalid start time '" + req.start + "'";
            return false;
        }
        plan.start = *s;
    }
    if (!req.duration.empty()) {
        auto d = ParseTimeText(req.duration);
        if (!d) {
            error = "invalid duration '" + req.duration + "'";
            return false;
        }
        if (*d > 0)
            plan.duration = *d;
        else
            plan.notes.push_back("a duration of 0 converts to the end of the input");
    }
    if (source.duration > 0 && plan.start > 0 && plan.start >= source.duration) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "the start time %.3f s lies beyond the end of the input (%.3f s)", plan.start,
                      source.duration);
        error = buf;
        return false;
    }
    return true;
}

bool PlanStreams(const TRequest& req, const TSourceFacts& source, TPlan& plan, std::string& error)
{
    const TStreamFacts* srcVideo = source.firstVideo();
    const TStreamFacts* srcAudio = source.firstAudio();
    plan.writeVideo = srcVideo && !req.noVideo;
    plan.writeAudio = srcAudio && !req.noAudio;
    if (plan.writeVideo && IsAudioOnlyMuxer(plan.muxer)) {
        plan.writeVideo = false;
        plan.notes.push_back("the " + plan.muxer + " container holds no video; video left out");
    }
    if (!plan.writeVideo && !plan.writeAudio) {
        if (!srcAudio && (req.noVideo || IsAudioOnlyMuxer(plan.muxer)))
            error = "the output would hold no stream: the input has no audio stream";
        else if (!srcVideo && req.noAudio)
            error = "the output would hold no stream: the input has no video stream and audio is disabled";
        else
            error = "the output would hold no stream: both video and audio are disabled";
        return false;
    }
    return true;
}

std::string ChooseVideoEncoder(const TRequest& req, TPlanDraft& draft)
{
    TPlan& plan = draft.plan;
    std::string vc = EncoderName(req.videoCodec, VideoEncoders);
    if ((vc == "msmpeg4" || vc == "msmpeg4v2") && IsIsoMuxer(plan.muxer)) {
        plan.notes.push_back("the " + plan.muxer + " container cannot hold Microsoft MPEG-4 (" + req.videoCodec
                             + "); written as MPEG-4 Part 2");
        vc = "mpeg4";
    }
    if (vc == "libaom-av1") {
        // libaom at a usable speed is far slower than SVT-AV1 for the same result.
        plan.notes.push_back("AV1 is written with SVT-AV1 (libsvtav1), not libaom");
        vc = "libsvtav1";
    }
    plan.videoEncoder = vc;
    if (!vc.empty())
        draft.videoArgs.insert(draft.videoArgs.end(), {"-c:v", vc});
    if (vc == "libx264" || vc == "libx265" || vc == "libsvtav1" || vc == "libvpx-vp9")
        draft.videoArgs.insert(draft.videoArgs.end(), {"-pix_fmt", "yuv420p"});
    // Apple's players take H.265 in MP4 and MOV only with the hvc1 tag.
    if (vc == "libx265" && IsIsoMuxer(plan.muxer))
        draft.videoArgs.insert(draft.videoArgs.end(), {"-tag:v", "hvc1"});
    return vc;
}

bool PlanFrameSize(const TRequest& req, const TStreamFacts* srcVideo, TPlanDraft& draft, TVideoShape& shape,
                   std::string& error)
{
    const std::string& vc = shape.encoder;
    int w = 0, h = 0;
    bool asked = !req.size.empty();
    if (asked && !ParseSize(req.size, w, h)) {
        error = "invalid frame size '" + req.size + "'";
        return false;
    }
    if (!asked && srcVideo) {
        w = srcVideo->width;
        h = srcVideo->height;
    }
    if (!draft.target.empty())
        TargetSize(draft.target, shape.width, shape.height);
    if (w > 0 && h > 0 && draft.target.empty()) {
        int lw = w, lh = h;
        LegalSize(vc, lw, lh);
        if (lw != w || lh != h)
            draft.plan.notes.push_back((vc.empty() ? std::string("the encoder") : vc) + " cannot write "
                                       + std::to_string(w) + "x" + std::to_string(h) + "; written as "
                                       + std::to_string(lw) + "x" + std::to_string(lh));
        if (asked || lw != w || lh != h) {
            draft.plan.sizeText = std::to_string(lw) + "x" + std::to_string(lh);
            draft.videoArgs.insert(draft.videoArgs.end(), {"-s", draft.plan.sizeText});
        }
        shape.width = lw;
        shape.height = lh;
    }
    return true;
}

bool PlanVideoBitrate(const TRequest& req, const std::string& encoder, TPlanDraft& draft, std::string& error)
{
    std::vector<std::string>& videoArgs = draft.videoArgs;
    if (!req.videoBitrate.empty()) {
        auto b = ParseBitrate(req.videoBitrate, true);
        if (!b) {
            error = "invalid video bitrate '" + req.videoBitrate + "'";
            return false;
        }
        if (req.sameQuality) {
            // Constant quality replaces the bitrate.
        } else if (*b == 0) {
            draft.plan.notes.push_back("a video bitrate of 0 leaves the encoder's own bitrate");
        } else {
            videoArgs.insert(videoArgs.end(), {"-b:v", std::to_string(*b)});
        }
    }
    if (req.sameQuality) {
        if (encoder == "libx264" || encoder == "libx265")
            videoArgs.insert(videoArgs.end(), {"-crf", "18"});
        else if (encoder == "libsvtav1")
            videoArgs.insert(videoArgs.end(), {"-crf", "20"});
        else if (encoder == "libvpx-vp9")
            videoArgs.insert(videoArgs.end(), {"-crf", "15", "-b:v", "0"});
        else if (encoder != "ffvhuff" && !encoder.empty())
            videoArgs.insert(videoArgs.end(), {"-q:v", "2"});
    }
    return true;
}

bool IsCrfEncoder(const std::string& encoder)
{
    return encoder == "libx264" || encoder == "libx265" || encoder == "libsvtav1" || encoder == "libvpx-vp9";
}

bool PlanVideoQuality(const TRequest& req, const std::string& encoder, TPlanDraft& draft, std::string& error)
{
    std::vector<std::string>& videoArgs = draft.videoArgs;
    if (!req.crf.empty() && !req.sameQuality) {
        auto q = ParseNumber(req.crf);
        if (!q || *q != std::floor(*q) || *q < 0 || *q > 63) {
            error = "invalid constant quality '" + req.crf + "'";
            return false;
        }
        int crf = static_cast<int>(*q);
        if (!IsCrfEncoder(encoder)) {
            draft.plan.notes.push_back("constant quality (-crf) is not available with "
                                       + (encoder.empty() ? std::string("the container's encoder") : encoder)
                                       + "; the bitrate is used");
        } else {
            const int highest = encoder == "libx264" || encoder == "libx265" ? 51 : 63;
            if (crf > highest) {
                draft.plan.notes.push_back(encoder + " takes a constant quality of at most " + std::to_string(highest)
                                           + "; written at " + std::to_string(highest));
                crf = highest;
            }
            if (crf < 1 && encoder == "libsvtav1")
                crf = 1;
            // Constant quality replaces the bitrate; VP9 needs a bitrate of 0 for it.
            for (size_t i = 0; i + 1 < videoArgs.size(); ++i)
                if (videoArgs[i] == "-b:v") {
                    videoArgs.erase(videoArgs.begin() + static_cast<long>(i), videoArgs.begin() + static_cast<long>(i) + 2);
                    break;
                }
            videoArgs.insert(videoArgs.end(), {"-crf", std::to_string(crf)});
            if (encoder == "libvpx-vp9")
                videoArgs.insert(videoArgs.end(), {"-b:v", "0"});
        }
    }
    std::string speed = LowerAscii(req.speed);
    if (!speed.empty() && speed != "faster" && speed != "balanced" && speed != "smaller") {
        error = "invalid speed '" + req.speed + "' (faster, balanced or smaller)";
        return false;
    }
    // The newer encoders are slow at their own defaults, so they always get
    // a speed; the older ones only when one is asked for.
    if (speed.empty() && (encoder == "libx265" || encoder == "libsvtav1" || encoder == "libvpx-vp9"))
        speed = "balanced";
    if (speed.empty())
        return true;
    const int i = speed == "faster" ? 0 : speed == "balanced" ? 1 : 2;
    if (encoder == "libx264") {
        static const char* const Presets[] = {"veryfast", "medium", "slow"};
        videoArgs.insert(videoArgs.end(), {"-preset", Presets[i]});
    } else if (encoder == "libx265") {
        static const char* const Presets[] = {"superfast", "fast", "medium"};
        videoArgs.insert(videoArgs.end(), {"-preset", Presets[i], "-x265-params", "log-level=error"});
    } else if (encoder == "libsvtav1") {
        static const char* const Presets[] = {"12", "10", "8"};
        videoArgs.insert(videoArgs.end(), {"-preset", Presets[i]});
    } else if (encoder == "libvpx-vp9") {
        // VP9's "good" deadline at low cpu-used takes minutes a minute on two cores.
        static const char* const Deadlines[] = {"realtime", "good", "good"};
        static const char* const CpuUsed[] = {"8", "5", "2"};
        videoArgs.insert(videoArgs.end(), {"-deadline", Deadlines[i], "-cpu-used", CpuUsed[i], "-row-mt", "1"});
    }
    return true;
}

std::string CheckedVideoEncoder(const std::string& encoder, const TPlanDraft& draft)
{
    std::string checked = encoder.empty() ? DefaultVideoEncoder(draft.plan.muxer) : encoder;
    if (encoder.empty() && !draft.target.empty())
        checked = draft.plan.formatName == "vcd" ? "mpeg1video" : draft.plan.formatName == "dv" ? "" : "mpeg2video";
    return checked;
}

bool PlanFrameRate(const TRequest& req, const TStreamFacts* srcVideo, TPlanDraft& draft, TVideoShape& shape,
                   std::string& error)
{
    std::string rateArg;
    if (!req.frameRate.empty()) {
        auto r = ParseNumber(req.frameRate);
        if (!r || *r <= 0 || *r > 1000) {
            error = "invalid frame rate '" + req.frameRate + "'";
            return false;
        }
        const char* exact = Lookup(std::begin(FrameRates), std::end(FrameRates), req.frameRate);
        rateArg = exact ? exact : req.frameRate;
        shape.fps = *r;
    } else if (srcVideo && srcVideo->frameRate > 0) {
        shape.fps = srcVideo->frameRate;
    }
    if (shape.checked == "mpeg1video" && draft.target.empty() && shape.fps > 0) {
        // MPEG-1 knows a few rates only; ffmpeg would take the nearest
        // without a word, so the rate is chosen and told here.
        const TMpeg1Rate& m = NearestMpeg1Rate(shape.fps);
        const std::string asked = !req.frameRate.empty() ? req.frameRate : RateText(shape.fps);
        if (std::fabs(m.fps - shape.fps) > 0.005) {
            draft.plan.notes.push_back("MPEG-1 has no frame rate of " + asked + " fps; written at " + m.text + " fps"
                                       + (m.unofficial ? " with an unofficial frame-rate code" : ""));
            rateArg = m.arg;
            shape.fps = m.fps;
        } else if (m.unofficial) {
            draft.plan.notes.push_back("MPEG-1 has no standard frame rate of " + asked
                                       + " fps; written with an unofficial frame-rate code");
        }
        if (m.unofficial && req.strict.empty())
            draft.tailArgs.insert(draft.tailArgs.end(), {"-strict", "unofficial"});
    }
    if (!rateArg.empty())
        draft.videoArgs.insert(draft.videoArgs.end(), {"-r", rateArg});
    return true;
}

bool PlanAspect(const TRequest& req, const TVideoShape& shape, TPlanDraft& draft, std::string& error)
{
    if (req.aspect.empty())
        return true;
    if (!ValidAspect(req.aspect)) {
        error = "invalid aspect ratio '" + req.aspect + "'";
        return false;
    }
    draft.videoArgs.insert(draft.videoArgs.end(), {"-aspect", req.aspect});
    // MPEG-1 and MPEG-2 store only a few pixel or picture shapes.
    const std::string& checked = shape.checked;
    if ((checked == "mpeg1video" || checked == "mpeg2video") && shape.width > 0 && shape.height > 0) {
        const double asked = AspectValue(req.aspect);
        std::string shownText;
        const double shown = MpegShownAspect(checked == "mpeg2video", shape.width, shape.height, asked, shownText);
        if (std::fabs(shown / asked - 1) > 0.01)
            draft.plan.notes.push_back(std::string(checked == "mpeg2video" ? "MPEG-2" : "MPEG-1") + " cannot show "
                                       + std::to_string(shape.width) + "x" + std::to_string(shape.height) + " at "
                                       + req.aspect + "; it shows at " + shownText);
    }
    return true;
}

void FitPspVideo(TVideoShape& shape, TPlanDraft& draft)
{
    // The PSP plays H.264 Main profile up to level 3.0: at most 1620
    // macroblocks a picture, 40500 a second, 10 Mbit/s.
    TPlan& plan = draft.plan;
    std::vector<std::string>& videoArgs = draft.videoArgs;
    const double levelFps = shape.fps > 0 ? shape.fps : 25;
    if (shape.width > 0 && shape.height > 0) {
        const int limit = std::min(1620, static_cast<int>(40500 / levelFps));
        int fw = shape.width, fh = shape.height;
        FitMacroblocks(fw, fh, limit);
        if (fw != shape.width || fh != shape.height) {
            plan.notes.push_back("the PSP plays at most " + std::to_string(limit) + " macroblocks a picture at "
                                 + RateText(levelFps) + " fps (H.264 level 3.0); " + std::to_string(shape.width) + "x"
                                 + std::to_string(shape.height) + " written as " + std::to_string(fw) + "x"
                                 + std::to_string(fh));
            plan.sizeText = std::to_string(fw) + "x" + std::to_string(fh);
            SetArg(videoArgs, "-s", plan.sizeText);
            shape.width = fw;
            shape.height = fh;
        }
    }
    const long long maxBits = 10000000;
    auto b = FindArg(videoArgs, "-b:v");
    if (b && std::stoll(*b) > maxBits) {
        plan.notes.push_back("the PSP plays at most 10000 kbit/s of video (H.264 level 3.0); written at "
                             "10000 kbit/s");
        SetArg(videoArgs, "-b:v", std::to_string(maxBits));
    }
    videoArgs.insert(videoArgs.end(), {"-profile:v", "main", "-level:v", "3.0", "-maxrate", std::to_string(maxBits),
                                       "-bufsize", std::to_string(maxBits)});
}

void CapRealVideoFrames(const TVideoShape& shape, TPlanDraft& draft)
{
    // The RealMedia muxer takes no frame of 64 kB or more: the rate
    // control's buffer caps every frame, and refills within a frame
    // so that it limits nothing else.
    std::vector<std::string>& videoArgs = draft.videoArgs;
    const long long capBits = 60000LL * 8;
    const double rmFps = shape.fps > 0 ? shape.fps : 25;
    const long long perSecond = static_cast<long long>(std::ceil(capBits * rmFps));
    auto b = FindArg(videoArgs, "-b:v");
    if (b && std::stoll(*b) > perSecond / 2) {
        draft.plan.notes.push_back("RealVideo frames must stay below 64 kB; the video bitrate is lowered to "
                                   + std::to_string(perSecond / 2 / 1000) + " kbit/s");
        SetArg(videoArgs, "-b:v", std::to_string(perSecond / 2));
    }
    videoArgs.insert(videoArgs.end(), {"-bufsize", std::to_string(capBits), "-maxrate", std::to_string(perSecond)});
}

namespace {

// The codecs (ffprobe's names) each container's formats offer, video then
// audio; a container not listed copies nothing.
struct TCopyCodecs {
    const char* muxer;
    const char* video;
    const char* audio;
};

const TCopyCodecs CopyCodecs[] = {
    {"matroska", "h264 hevc av1 vp9", "aac opus flac ac3 vorbis"},
    {"webm", "vp9 av1 vp8", "opus vorbis"},
    {"mp4", "h264 hevc av1", "aac"},
    {"ipod", "", "aac alac"},
    {"ogg", "", "vorbis opus flac"},
    {"opus", "", "opus"},
    {"flac", "", "flac"},
    {"adts", "", "aac"},
    {"mp3", "", "mp3"},
    {"mp2", "", "mp2"},
    {"ac3", "", "ac3"},
};

bool CodecOffered(const std::string& muxer, bool video, const std::string& codec)
{
    for (const TCopyCodecs& c : CopyCodecs)
        if (muxer == c.muxer) {
            const std::string list = std::string(" ") + (video ? c.video : c.audio) + " ";
            return !codec.empty() && list.find(" " + codec + " ") != std::string::npos;
        }
    return false;
}

// The bitrate a copy would bring: the stream's own, else the whole file's
// (an upper bound), 0 when neither is known.
long long StreamBitRate(const TStreamFacts& s, const TSourceFacts& source)
{
    return s.bitRate > 0 ? s.bitRate : source.bitRate;
}

// The note for a copied stream; with a time range, where a copy can cut.
void NoteCopy(const char* kind, const std::string& codec, TPlan& plan, bool video)
{
    std::string note = std::string(kind) + " stream (" + codec + ") copied as it is, not encoded";
    if (video && (plan.start > 0 || plan.duration))
        note += "; a copied video can only be cut at key frames, so the output starts at the key frame at or "
                "before the start time";
    plan.notes.push_back(note);
}

} // namespace

bool StreamCopyFits(const TCopyQuestion& q, std::string* why)
{
    auto refuse = [why](std::string reason) {
        if (why)
            *why = std::move(reason);
        return false;
    };
    if (!CodecOffered(q.muxer, q.video, q.codec))
        return refuse("the " + q.muxer + " format does not offer " + (q.codec.empty() ? "an unknown codec" : q.codec));
    if (q.video) {
        if (q.askedWidth > 0 && (q.askedWidth != q.width || q.askedHeight != q.height))
            return refuse("another picture size is asked for");
        if (q.askedFps > 0 && std::fabs(q.askedFps - q.fps) > 0.01)
            return refuse("another frame rate is asked for");
        if (q.askedAspect)
            return refuse("an aspect ratio is asked for");
    } else {
        if (q.normalizeLoudness)
            return refuse("the loudness is normalised");
        if (q.askedSampleRate > 0 && q.askedSampleRate != q.sampleRate)
            return refuse("another sample rate is asked for");
        if (q.askedChannels > 0 && q.askedChannels != q.channels)
            return refuse("another channel count is asked for");
    }
    if (q.targetBitRate > 0 && !q.quality) {
        if (q.bitRate <= 0)
            return refuse("the source's bitrate is unknown");
        if (q.bitRate > q.targetBitRate)
            return refuse("the source's bitrate is higher than the target");
    }
    return true;
}

namespace {

bool CopyVideoIfItFits(const TRequest& req, const TSourceFacts& source, TPlanDraft& draft)
{
    const TStreamFacts* src = source.firstVideo();
    if (!req.copyFitting || !src || !draft.target.empty())
        return false;
    TCopyQuestion q;
    q.muxer = draft.plan.muxer;
    q.video = true;
    q.codec = src->codec;
    q.width = src->width;
    q.height = src->height;
    q.fps = src->frameRate;
    q.bitRate = StreamBitRate(*src, source);
    int w = 0, h = 0;
    if (!req.size.empty() && ParseSize(req.size, w, h)) {
        q.askedWidth = w;
        q.askedHeight = h;
    } else if (!req.size.empty()) {
        return false; // unreadable: the encoding path reports it
    }
    if (!req.frameRate.empty()) {
        auto r = ParseNumber(req.frameRate);
        if (!r)
            return false;
        // 29.97 and the like stand for the exact NTSC rates (x1000/1001).
        const bool ntsc = Lookup(std::begin(FrameRates), std::end(FrameRates), req.frameRate) != nullptr;
        q.askedFps = ntsc ? std::round(*r) * 1000 / 1001 : *r;
    }
    q.askedAspect = !req.aspect.empty();
    auto b = req.videoBitrate.empty() ? std::optional<long long>(0) : ParseBitrate(req.videoBitrate, true);
    if (!b)
        return false;
    q.targetBitRate = *b;
    q.quality = req.sameQuality || !req.crf.empty();
    if (!StreamCopyFits(q))
        return false;
    draft.videoArgs = {"-c:v", "copy"};
    if (src->codec == "hevc" && IsIsoMuxer(draft.plan.muxer))
        draft.videoArgs.insert(draft.videoArgs.end(), {"-tag:v", "hvc1"});
    draft.plan.videoEncoder = "copy";
    NoteCopy("the video", src->codec, draft.plan, true);
    return true;
}

bool CopyAudioIfItFits(const TRequest& req, const TSourceFacts& source, TPlanDraft& draft)
{
    const TStreamFacts* src = source.firstAudio();
    if (!req.copyFitting || !src || !draft.target.empty())
        return false;
    TCopyQuestion q;
    q.muxer = draft.plan.muxer;
    q.normalizeLoudness = !req.loudness.empty();
    q.codec = src->codec;
    q.sampleRate = src->sampleRate;
    q.channels = src->channels;
    q.bitRate = StreamBitRate(*src, source);
    TAudioValues values;
    std::string error;
    if (!ReadAudioValues(req, values, error))
        return false; // the encoding path reports it
    q.askedSampleRate = values.rate;
    q.askedChannels = values.channels;
    q.targetBitRate = values.bitrate;
    q.quality = !req.audioQuality.empty();
    if (!StreamCopyFits(q))
        return false;
    draft.audioArgs = {"-c:a", "copy"};
    draft.plan.audioEncoder = "copy";
    NoteCopy("the audio", src->codec, draft.plan, false);
    return true;
}

} // namespace

bool PlanVideo(const TRequest& req, const TSourceFacts& source, TPlanDraft& draft, std::string& error)
{
    if (!draft.plan.writeVideo) {
        draft.videoArgs = {"-vn"};
        return true;
    }
    if (CopyVideoIfItFits(req, source, draft))
        return true;
    const TStreamFacts* srcVideo = source.firstVideo();
    TVideoShape shape;
    shape.encoder = ChooseVideoEncoder(req, draft);
    if (!PlanFrameSize(req, srcVideo, draft, shape, error) || !PlanVideoBitrate(req, shape.encoder, draft, error)
        || !PlanVideoQuality(req, shape.encoder, draft, error))
        return false;
    shape.checked = CheckedVideoEncoder(shape.encoder, draft);
    if (!PlanFrameRate(req, srcVideo, draft, shape, error) || !PlanAspect(req, shape, draft, error))
        return false;
    // Devices and containers with limits of their own.
    if (draft.plan.muxer == "psp" && shape.encoder == "libx264")
        FitPspVideo(shape, draft);
    if (shape.encoder == "rv10" || shape.encoder == "rv20")
        CapRealVideoFrames(shape, draft);
    return true;
}

std::string ChooseAudioEncoder(const TRequest& req, TPlanDraft& draft)
{
    TPlan& plan = draft.plan;
    std::string ac = EncoderName(req.audioCodec, AudioEncoders);
    if (ac.empty() && plan.muxer == "mov" && draft.target.empty())
        ac = "aac";
    if (ac.empty() && plan.muxer == "amr")
        ac = "amr_nb";
    if (ac == "amr_nb" || ac == "libopencore_amrnb" || ac == "amr_wb" || ac == "libvo_amrwbenc") {
        plan.amr = true;
        plan.amrWideBand = ac == "amr_wb" || ac == "libvo_amrwbenc";
        plan.amrDirect = plan.muxer == "amr";
        if (plan.amrDirect && plan.writeVideo) {
            plan.writeVideo = false;
            draft.videoArgs = {"-vn"};
        }
        ac = plan.amrWideBand ? "amr_wb" : "amr_nb";
    }
    plan.audioEncoder = ac;
    return ac;
}

bool ReadAudioValues(const TRequest& req, TAudioValues& values, std::string& error)
{
    if (!req.channels.empty()) {
        if (req.channels == "5:1" || req.channels == "5.1") {
            values.channels = 6;
        } else {
            auto c = ParseNumber(req.channels);
            if (!c || *c != std::floor(*c) || *c < 1 || *c > 8) {
                error = "invalid channel count '" + req.channels + "'";
                return false;
            }
            values.channels = static_cast<int>(*c);
        }
    }
    if (!req.audioBitrate.empty()) {
        auto b = ParseBitrate(req.audioBitrate, true);
        if (!b) {
            error = "invalid audio bitrate '" + req.audioBitrate + "'";
            return false;
        }
        values.bitrate = *b;
    }
    if (!req.sampleRate.empty()) {
        auto r = ParseNumber(req.sampleRate);
        if (!r || *r != std::floor(*r) || *r < 1000 || *r > 384000) {
            error = "invalid sample rate '" + req.sampleRate + "'";
            return false;
        }
        values.rate = static_cast<int>(*r);
    }
    return true;
}

void PlanAmrAudio(const TAudioValues& values, TPlanDraft& draft)
{
    TPlan& plan = draft.plan;
    plan.amrMode = NearestAmrMode(plan.amrWideBand, values.bitrate);
    int amrRate = AmrSampleRate(plan.amrWideBand);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", plan.amrMode.kbps);
    if (values.bitrate > 0 && std::llround(plan.amrMode.kbps * 1000) != values.bitrate)
        plan.notes.push_back(std::string("AMR has no mode of ") + std::to_string(values.bitrate / 1000.0).substr(0, 5)
                             + " kbit/s; written at " + buf + " kbit/s");
    if (values.channels > 1)
        plan.notes.push_back("AMR is mono; written with 1 channel");
    if (values.rate > 0 && values.rate != amrRate)
        plan.notes.push_back("AMR is sampled at " + std::to_string(amrRate) + " Hz; written at that rate");
    plan.channels = 1;
    plan.sampleRate = amrRate;
    if (!plan.amrDirect)
        draft.audioArgs = {"-c:a", "copy"};
}

namespace {

// The sample rate and channel count the encoder and the container hold.
// EffectiveRate is the rate written: the one asked for or the source's.
void FitSampleFormat(const std::string& encoder, const std::string& muxer, const TStreamFacts* srcAudio,
                     TAudioValues& values, int& effectiveRate, std::vector<std::string>& notes)
{
    if (const TAudioLimits* limits = AudioLimitsOf(encoder)) {
        if (!Contains(limits->rates, effectiveRate)) {
            int legal = Nearest(limits->rates, effectiveRate);
            notes.push_back(std::string(limits->name) + " cannot be sampled at " + std::to_string(effectiveRate)
                            + " Hz; written at " + std::to_string(legal) + " Hz");
            values.rate = effectiveRate = legal;
        }
        int wanted = values.channels > 0 ? values.channels : (srcAudio ? srcAudio->channels : 0);
        if (wanted > limits->maxChannels) {
            notes.push_back(std::string(limits->name) + " holds at most " + std::to_string(limits->maxChannels)
                            + " channels; written with " + std::to_string(limits->maxChannels));
            values.channels = limits->maxChannels;
        }
    }
    if (muxer == "swf" || muxer == "flv") {
        static const std::vector<int> Rates = {11025, 22050, 44100};
        if (!Contains(Rates, effectiveRate)) {
            int legal = Nearest(Rates, effectiveRate);
            notes.push_back("the " + muxer + " container cannot hold audio sampled at " + std::to_string(effectiveRate)
                            + " Hz; written at " + std::to_string(legal) + " Hz");
            values.rate = effectiveRate = legal;
        }
    }
}

// The nearest bitrate of the encoder's table at the rate written.
void FitAudioBitrate(const std::string& encoder, int effectiveRate, long long& bitrate, std::vector<std::string>& notes)
{
    if (encoder == "mp2") {
        static const std::vector<int> Full = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
        static const std::vector<int> Low = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
        const std::vector<int>& table = effectiveRate >= 32000 ? Full : Low;
        if (bitrate > 0 && (bitrate % 1000 != 0 || !Contains(table, static_cast<int>(bitrate / 1000)))) {
            int legal = Nearest(table, static_cast<int>(std::llround(bitrate / 1000.0)));
            notes.push_back("MP2 has no bitrate of " + std::to_string(bitrate / 1000) + " kbit/s at "
                            + std::to_string(effectiveRate) + " Hz; written at " + std::to_string(legal) + " kbit/s");
            bitrate = legal * 1000LL;
        }
    } else if ((encoder == "ac3" || encoder == "ac3_fixed") && bitrate > 0) {
        static const std::vector<int> Table = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                               192, 224, 256, 320, 384, 448, 512, 576, 640};
        if (bitrate % 1000 != 0 || !Contains(Table, static_cast<int>(bitrate / 1000))) {
            int legal = Nearest(Table, static_cast<int>(std::llround(bitrate / 1000.0)));
            notes.push_back("AC3 has no bitrate of " + std::to_string(bitrate / 1000) + " kbit/s; written at "
                            + std::to_string(legal) + " kbit/s");
            bitrate = legal * 1000LL;
        }
    } else if (encoder == "libmp3lame" && bitrate > 0) {
        int legal = NearestMp3Bitrate(static_cast<int>(bitrate / 1000), effectiveRate);
        if (bitrate != legal * 1000LL) {
            notes.push_back("MP3 has no bitrate of " + std::to_string(bitrate / 1000) + " kbit/s at "
                            + std::to_string(effectiveRate) + " Hz; written at " + std::to_string(legal) + " kbit/s");
            bitrate = legal * 1000LL;
        }
    }
}

} // namespace

void FitAudio(const std::string& encoder, const std::string& muxer, const TStreamFacts* srcAudio, TAudioValues& values,
              std::vector<std::string>& notes)
{
    // What the encoder cannot hold, ffmpeg would change without a word.
    int effectiveRate =
        values.rate > 0 ? values.rate : (srcAudio && srcAudio->sampleRate > 0 ? srcAudio->sampleRate : 44100);
    FitSampleFormat(encoder, muxer, srcAudio, values, effectiveRate, notes);
    if (encoder == "libopus")
        FitOpusRate(effectiveRate, values, notes);
    FitAudioBitrate(encoder, effectiveRate, values.bitrate, notes);
}

// The lossless encoders keep the source's bit depth up to 24 bits: a
// source of more than 16 bits (integer or floating point) is written with
// 24, any other with 16.
std::string LosslessSampleFormat(const std::string& encoder, const TStreamFacts* srcAudio)
{
    static const char* const Deep[] = {"s32", "s32p", "flt", "dbl", "dblp", "s64", "s64p"};
    bool deep = false;
    if (srcAudio)
        for (const char* f : Deep)
            deep = deep || srcAudio->sampleFormat == f;
    if (encoder == "alac")
        return deep ? "s32p" : "s16p";
    return deep ? "s32" : "s16";
}

bool PlanAudioQuality(const TRequest& req, const std::string& encoder, const TStreamFacts* srcAudio,
                      TAudioValues& values, TPlanDraft& draft, std::string& error)
{
    std::vector<std::string>& audioArgs = draft.audioArgs;
    if (encoder == "flac" || encoder == "alac") {
        audioArgs.insert(audioArgs.end(), {"-sample_fmt", LosslessSampleFormat(encoder, srcAudio)});
        if (values.bitrate > 0) {
            draft.plan.notes.push_back(encoder + " is lossless; the audio bitrate is not used");
            values.bitrate = 0;
        }
    }
    if (!req.compressionLevel.empty()) {
        auto l = ParseNumber(req.compressionLevel);
        if (!l || *l != std::floor(*l) || *l < 0 || *l > 12) {
            error = "invalid compression level '" + req.compressionLevel + "'";
            return false;
        }
        if (encoder == "flac")
            audioArgs.insert(audioArgs.end(), {"-compression_level", std::to_string(static_cast<int>(*l))});
        else
            draft.plan.notes.push_back("a compression level applies to FLAC only; not used");
    }
    if (!req.audioQuality.empty()) {
        auto q = ParseNumber(req.audioQuality);
        if (!q || *q < 0 || *q > 10) {
            error = "invalid audio quality '" + req.audioQuality + "'";
            return false;
        }
        if (values.bitrate > 0) {
            draft.plan.notes.push_back("an audio bitrate is given; the audio quality is not used");
        } else if (encoder == "libvorbis") {
            audioArgs.insert(audioArgs.end(), {"-q:a", req.audioQuality});
        } else if (encoder == "libmp3lame") {
            // LAME's VBR scale runs the other way: 0 is its best.
            char buf[16];
            std::snprintf(buf, sizeof buf, "%g", 9 - std::min(*q, 9.0));
            audioArgs.insert(audioArgs.end(), {"-q:a", buf});
        } else {
            draft.plan.notes.push_back("an audio quality applies to Vorbis and MP3 only; not used");
        }
    }
    return true;
}

bool PlanContainerCodecs(TPlanDraft& draft, std::string& error)
{
    const TPlan& plan = draft.plan;
    if (plan.muxer != "webm")
        return true;
    // WebM holds VP8, VP9 or AV1 video and Vorbis or Opus audio only.
    const std::string& v = plan.videoEncoder;
    const std::string& a = plan.audioEncoder;
    if (plan.writeVideo && !v.empty() && v != "copy" && v != "libvpx-vp9" && v != "libvpx" && v != "libsvtav1") {
        error = "the webm container holds only VP8, VP9 and AV1 video, not " + v;
        return false;
    }
    if (plan.writeAudio && !a.empty() && a != "copy" && a != "libopus" && a != "libvorbis") {
        error = "the webm container holds only Opus and Vorbis audio, not " + a;
        return false;
    }
    return true;
}

bool PlanAudio(const TRequest& req, const TSourceFacts& source, TPlanDraft& draft, std::string& error)
{
    TPlan& plan = draft.plan;
    const TStreamFacts* srcAudio = source.firstAudio();
    if (!plan.writeAudio && plan.writeVideo && plan.muxer == "psp") {
        plan.silentAudio = true;
        plan.notes.push_back(std::string("the PSP plays only files with a sound track; ")
                             + (srcAudio ? "audio is disabled" : "the input has no audio") + ", so silence is added");
        draft.audioArgs = {"-c:a", "aac", "-ac", "2", "-ar", "48000", "-b:a", "64000", "-shortest"};
        return true;
    }
    if (!plan.writeAudio) {
        draft.audioArgs = {"-an"};
        return true;
    }
    if (CopyAudioIfItFits(req, source, draft))
        return true;
    const std::string ac = ChooseAudioEncoder(req, draft);
    TAudioValues values;
    if (!ReadAudioValues(req, values, error))
        return false;
    if (plan.amr) {
        PlanAmrAudio(values, draft);
        return true;
    }
    std::vector<std::string>& audioArgs = draft.audioArgs;
    if (!ac.empty())
        audioArgs.insert(audioArgs.end(), {"-c:a", ac});
    const std::string used = ac.empty() ? DefaultAudioEncoder(plan.muxer) : ac;
    FitAudio(used, plan.muxer, srcAudio, values, plan.notes);
    if (!PlanAudioQuality(req, used, srcAudio, values, draft, error))
        return false;
    if (values.channels > 0)
        audioArgs.insert(audioArgs.end(), {"-ac", std::to_string(values.channels)});
    if (values.bitrate > 0)
        audioArgs.insert(audioArgs.end(), {"-b:a", std::to_string(values.bitrate)});
    if (values.rate > 0)
        audioArgs.insert(audioArgs.end(), {"-ar", std::to_string(values.rate)});
    plan.channels = values.channels;
    plan.sampleRate = values.rate;
    return true;
}

bool PlanStrictness(const TRequest& req, TPlanDraft& draft, std::string& error)
{
    if (req.strict.empty())
        return true;
    if (!ValidStrict(req.strict)) {
        error = "invalid strictness '" + req.strict + "'";
        return false;
    }
    draft.tailArgs.insert(draft.tailArgs.end(), {"-strict", req.strict});
    return true;
}

void PlanTags(const TRequest& req, const TSourceFacts& source, TPlanDraft& draft)
{
    TPlan& plan = draft.plan;
    std::vector<std::string>& tail = draft.tailArgs;
    plan.keepTags = req.mapMetadata.empty();
    if (!plan.keepTags) {
        // -1 drops the container's and every stream's tags.
        tail.insert(tail.end(), {"-map_metadata", "-1"});
        return;
    }
    // With AMR audio the sound arrives through a pipe; AMR holds no tags.
    if (plan.amr)
        return;
    // Global tags are copied by default; stream tags only to streams, which
    // most containers never write. Music in Ogg and Opus keeps its tags with
    // the audio stream; a video file keeps them with the container, and its
    // plan stays the one the early run guessed.
    if (!source.containerTags && !source.firstVideo() && plan.writeAudio && source.firstAudio())
        tail.insert(tail.end(), {"-map_metadata", "0:s:a:0"});
    if (plan.muxer == "mp3")
        tail.insert(tail.end(), {"-id3v2_version", "3", "-write_id3v1", "1"});
    else if (plan.muxer == "adts")
        tail.insert(tail.end(), {"-write_id3v2", "1"});
    const int cover = source.coverIndex();
    const bool coverContainer = plan.muxer == "mp3" || plan.muxer == "mp4" || plan.muxer == "ipod";
    if (cover >= 0 && coverContainer && plan.writeAudio && !plan.writeVideo && !plan.silentAudio) {
        const std::string& codec = source.streams[static_cast<size_t>(cover)].codec;
        if (codec == "mjpeg" || codec == "png") {
            plan.coverStream = cover;
            draft.videoArgs = {"-map", "0:a:0", "-map", "0:" + std::to_string(cover), "-c:v", "copy",
                               "-disposition:v:0", "attached_pic"};
        }
    }
}

void FinishPlan(TPlanDraft& draft)
{
    TPlan& plan = draft.plan;
    // The target comes first so that the options after it can refine it.
    if (!draft.target.empty())
        plan.outputArgs = {"-target", draft.target};
    plan.outputArgs.insert(plan.outputArgs.end(), draft.videoArgs.begin(), draft.videoArgs.end());
    plan.outputArgs.insert(plan.outputArgs.end(), draft.audioArgs.begin(), draft.audioArgs.end());
    plan.outputArgs.insert(plan.outputArgs.end(), draft.tailArgs.begin(), draft.tailArgs.end());
    // The index goes before the media data, so that players can start while
    // the file is still arriving.
    // MOV keeps more than six tags only as metadata keys.
    if (IsIsoMuxer(plan.muxer))
        plan.outputArgs.insert(plan.outputArgs.end(),
                               {"-movflags", plan.muxer == "mov" && plan.keepTags ? "+faststart+use_metadata_tags"
                                                                                  : "+faststart"});
    plan.outputArgs.insert(plan.outputArgs.end(), {"-sn", "-dn"});
    // A note is printed as one line of its own: it never carries a line
    // break or another control character from a value it quotes.
    for (std::string& note : plan.notes)
        for (char& c : note)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                c = '?';
}

bool MakePlan(const TRequest& req, const TSourceFacts& source, TPlan& plan, std::string& error)
{
    TPlanDraft draft;
    const bool ok = PlanContainer(req, draft, error) && PlanTimeRange(req, source, draft.plan, error)
                    && PlanStreams(req, source, draft.plan, error) && PlanVideo(req, source, draft, error)
                    && PlanAudio(req, source, draft, error) && PlanContainerCodecs(draft, error)
                    && PlanStrictness(req, draft, error);
    if (ok) {
        PlanTags(req, source, draft);
        FinishPlan(draft);
    }
    plan = std::move(draft.plan);
    return ok;
}

namespace {

void CommonHead(std::vector<std::string>& a, const std::string& ffmpeg, const char* logLevel)
{
    a = {ffmpeg, "-hide_banner", "-nostdin", "-nostats", "-loglevel", logLevel};
}

// The thread count a batch that runs several encoders at once gives each of
// them (QV_THREADS, 1 to 256); empty when unset or unreadable, which leaves
// the choice to ffmpeg.
std::string SharedThreads()
{
    const char* v = std::getenv("QV_THREADS");
    if (!v || !*v)
        return {};
    char* end = nullptr;
    const long n = std::strtol(v, &end, 10);
    return *end == '\0' && n >= 1 && n <= 256 ? std::to_string(n) : std::string();
}

void SourceInput(std::vector<std::string>& a, const TPlan& plan, const std::string& input)
{
    if (const std::string threads = SharedThreads(); !threads.empty())
        a.insert(a.end(), {"-threads", threads});
    if (plan.start > 0)
        a.insert(a.end(), {"-ss", Seconds(plan.start)});
    a.insert(a.end(), {"-i", FfmpegFileName(input)});
}

} // namespace

std::vector<std::string> MainFfmpegArgs(const TPlan& plan, const std::string& ffmpeg, const std::string& input,
                                        const std::string& output)
{
    std::vector<std::string> a;
    // Messages tagged with their level: the input dump ("[info]") gives the
    // source's facts, "[error]" lines are passed on, and the end-of-run
    // statistics ("[verbose]") tell what each output stream received.
    CommonHead(a, ffmpeg, "level+verbose");
    a.insert(a.end(), {"-progress", "pipe:3"});
    bool amrPipe = plan.amr && !plan.amrDirect && plan.writeAudio;
    if (!amrPipe || plan.writeVideo)
        SourceInput(a, plan, input);
    if (plan.silentAudio)
        a.insert(a.end(), {"-f", "lavfi", "-i", "anullsrc=r=48000:cl=stereo", "-map", "0:v:0", "-map", "1:a:0"});
    if (amrPipe) {
        a.insert(a.end(), {"-f", "amr", "-i", "pipe:0"});
        if (plan.writeVideo)
            a.insert(a.end(), {"-map", "0:v:0", "-map", "1:a:0"});
        else
            a.insert(a.end(), {"-map", "0:a:0"});
    }
    a.insert(a.end(), plan.outputArgs.begin(), plan.outputArgs.end());
    // AMR sound arrives filtered by its decoder.
    if (!plan.audioFilter.empty() && plan.writeAudio && !plan.amr && !plan.silentAudio)
        a.insert(a.end(), {"-af", plan.audioFilter});
    if (plan.duration)
        a.insert(a.end(), {"-t", Seconds(*plan.duration)});
    if (!plan.muxer.empty())
        a.insert(a.end(), {"-f", plan.muxer});
    if (const std::string threads = SharedThreads(); !threads.empty())
        a.insert(a.end(), {"-threads", threads});
    a.insert(a.end(), {"-y", FfmpegFileName(output)});
    return a;
}

std::vector<std::string> AmrDecoderArgs(const TPlan& plan, const std::string& ffmpeg, const std::string& input,
                                        bool withProgress)
{
    std::vector<std::string> a;
    CommonHead(a, ffmpeg, "error");
    if (withProgress)
        a.insert(a.end(), {"-progress", "pipe:3"});
    SourceInput(a, plan, input);
    a.insert(a.end(), {"-map", "0:a:0", "-vn", "-sn", "-dn"});
    if (plan.duration)
        a.insert(a.end(), {"-t", Seconds(*plan.duration)});
    if (!plan.audioFilter.empty())
        a.insert(a.end(), {"-af", plan.audioFilter});
    a.insert(a.end(), {"-ac", "1", "-ar", std::to_string(AmrSampleRate(plan.amrWideBand)), "-c:a", "pcm_s16le", "-f",
                       "s16le", "pipe:1"});
    return a;
}

std::vector<std::string> MeterFfmpegArgs(const TPlan& plan, const std::string& ffmpeg, const std::string& input,
                                         const std::string& filter)
{
    std::vector<std::string> a;
    CommonHead(a, ffmpeg, "info");
    a.insert(a.end(), {"-progress", "pipe:3"});
    SourceInput(a, plan, input);
    a.insert(a.end(), {"-map", "0:a:0", "-vn", "-sn", "-dn"});
    if (plan.duration)
        a.insert(a.end(), {"-t", Seconds(*plan.duration)});
    a.insert(a.end(), {"-af", filter, "-f", "null", "-"});
    return a;
}

std::vector<std::string> ProgrammeMeterArgs(const std::string& ffmpeg, const std::vector<std::string>& inputs,
                                            const std::string& meter)
{
    std::vector<std::string> a;
    CommonHead(a, ffmpeg, "info");
    a.insert(a.end(), {"-progress", "pipe:3"});
    std::string graph;
    for (size_t i = 0; i < inputs.size(); ++i) {
        a.insert(a.end(), {"-i", FfmpegFileName(inputs[i])});
        graph += "[" + std::to_string(i) + ":a:0]";
    }
    // The concat filter brings the parts to one sample rate and layout.
    graph += "concat=n=" + std::to_string(inputs.size()) + ":v=0:a=1," + meter;
    a.insert(a.end(), {"-filter_complex", graph, "-f", "null", "-"});
    return a;
}

std::string AudioFormatFilter(const TPlan& plan)
{
    const int channels = plan.amr ? 1 : plan.channels;
    const int rate = plan.amr ? AmrSampleRate(plan.amrWideBand) : plan.sampleRate;
    std::string filter;
    if (rate > 0)
        filter = "aresample=" + std::to_string(rate);
    if (channels > 0)
        filter += std::string(filter.empty() ? "" : ",") + "aformat=channel_layouts=" +
                  (channels == 1 ? "mono" : channels == 2 ? "stereo" : std::to_string(channels) + "c");
    return filter;
}

namespace {

// The containers for "--help": each name, its other names and the output
// extensions that choose it without "-f".
std::string ContainerHelp()
{
    std::string out;
    for (const TContainer& c : Containers()) {
        std::string names = c.names;
        std::string first = names.substr(0, names.find(' '));
        std::string aliases = names.size() > first.size() ? names.substr(first.size() + 1) : "";
        std::string line = "    " + first;
        line.resize(std::max<size_t>(line.size() + 1, 14), ' ');
        line += c.muxer == first ? std::string() : "(ffmpeg " + std::string(c.muxer) + ") ";
        if (!aliases.empty())
            line += "also -f " + aliases + "; ";
        line += *c.extensions ? "extensions " + std::string(c.extensions) : std::string("only with -f");
        out += line + "\n";
    }
    return out;
}

} // namespace

std::string HelpText()
{
    return R"(Usage: avcore.dll -p <access code> -i <input> [options] <output>

The input and the output are file names, also when they begin with "-".
An input ending in ".avs" is a DirectShow script: the file named between
'Source("' and the next '"' of its first source line is converted.

The output is written as ".<name>.qvpart-<host>-<pid><ext>" in the output's
folder (<host>: this host's name up to its first "."), held with an exclusive
flock() while it is written, and renamed to the output name only when the
conversion succeeded, ffmpeg reported no error writing it (its trailer,
closing it, the faststart pass) and every video and audio stream of the
output holds at least one packet; otherwise it is removed and an existing
file under the output name stays untouched. Such temporary files in the
output folder that nobody holds (left by a crash, owned by this user, with
no other link) are removed first: those of this host whose process has
ended, and those of earlier versions (".<name>.qvpart-<pid><ext>"); another
host's are never removed.

An existing file under the output name is replaced only as -replace allows;
a file that appears there during the conversion never is (the conversion
then fails). An output name that is a folder, FIFO, socket or device is
refused before any work; a symbolic link is replaced as a link, its target
stays untouched.

Options (the old encoder option language):
  -y                 accepted and ignored (it grants no replacing)
  -replace <what>    which existing output may be replaced: "none" (the
                     default), "any" regular file, or only the file
                     DEVICE:INODE (decimal, as lstat() gives them);
                     "number" replaces nothing: the output takes the first
                     free name of NAME.EXT, "NAME (2).EXT", "NAME (3).EXT"...
                     chosen when it is complete, and a last line
                     "Output number: N 'NAME (N).EXT'" names it
  -f <format>        container, one of the list below (any letter case);
                     without -f (and without -target) the output's
                     extension chooses; anything else is refused
  -t <time>          length to convert, "h:mm:ss.xxx" or seconds
  -ss <time>         position in the input where the conversion starts
  -sameq             constant high quality instead of a bitrate
  -vcodec <codec>    video encoder; h264 = libx264, xvid = libxvid,
                     hevc = libx265, av1 = libsvtav1, vp9 = libvpx-vp9
  -s <W>x<H>         frame size (also qcif, cif, qvga, vga, ...)
  -b <rate>          video bitrate: "1200k", or a plain number in kbit/s
  -r <fps>           frame rate; 14.985, 19.98, 23.976, 29.97, 59.94 are
                     the exact NTSC rates (x1000/1001)
  -aspect <W:H>      display aspect ratio
  -target <t>        vcd, svcd, dvd with the prefix pal-, ntsc- or film-
  -an / -vn          leave audio / video out
  -acodec <codec>    audio encoder; mp3 = libmp3lame, amr_nb, amr_wb,
                     opus = libopus, vorbis = libvorbis, flac, alac, aac
  -ac <n>            channels; "5:1" means six channels (5.1)
  -ab <rate>         audio bitrate: a plain number is kbit/s ("128")
  -ar <Hz>           sample rate
  -loudness <LUFS>   normalise the loudness (EBU R128) to this integrated
                     loudness, -70 to -5: the sound is measured first, then
                     one linear gain is applied; where that would take the
                     true peak above the ceiling the peaks are limited first
                     (at most 6 dB; beyond that the gain is lowered and a
                     note says the target was not reached) and the gain is
                     corrected after measuring the limited sound. Never
                     dynamic normalisation. A "Loudness:" line gives the
                     figures; a lossy output that misses by more than 0.3 LU
                     or passes the ceiling is written once more, corrected
  -truepeak <dBTP>   the true-peak ceiling for -loudness, -9 to 0 (default -1)
  -loudness-album <list>
                     the loudness of the files named in the list (one a
                     line) joined as one programme gives the gain: the first
                     encoder measures it and appends "=I,LRA,TP", the others
                     wait for it and read that line
  -loudness-of <I,LRA,TP>
                     the programme's figures, given: nothing is measured
  -measure-loudness <file>...
                     (instead of a conversion) print "I,LRA,TP" of every
                     file, one line each, or "error: ..."; with -programme
                     one line for all of them joined
  -strict <level>    encoder strictness (-2 allows experimental encoders)
  -map_metadata -1   write no tags and no cover art
  -crf <n>           constant quality instead of the video bitrate (H.264
                     and H.265 0 to 51, AV1 and VP9 0 to 63; lower is better)
  -speed <s>         faster, balanced or smaller: the video encoder's preset
  -aq <q>            VBR quality 0 to 10 instead of the audio bitrate
                     (Vorbis; MP3 with 10 as LAME's best)
  -compression_level <n>  FLAC compression level 0 to 12
  -copyfit           copy a source stream that fits instead of encoding it
  --help             this text

Containers:
)" + ContainerHelp() + R"(
Adjustments made where a combination cannot work as written:
  - Microsoft MPEG-4 (msmpeg4, msmpeg4v2) inside MP4, PSP, 3GP, 3G2 and MOV
    is written as MPEG-4 Part 2, which those containers can hold.
  - "-f aac" writes an ADTS stream; "-f 3gp" with a ".3g2" output writes 3GP2.
  - H.263 accepts only 128x96, 176x144, 352x288, 704x576 and 1408x1152: the
    nearest of these is used. H.263+ sizes are rounded to multiples of 4,
    RealVideo sizes to multiples of 16, other sizes (huffYUV's too) to even
    numbers; M-JPEG keeps any size.
  - MPEG-1 knows the frame rates 23.976, 24, 25, 29.97, 30, 50, 59.94 and 60
    and the unofficial 5, 10, 12 and 15 fps (written with "-strict
    unofficial"); any other rate, asked or the source's, goes to the nearest
    of these (19.98 fps becomes 23.976 fps).
  - MPEG-2 shows square pixels, 4:3, 16:9 or 2.21:1, MPEG-1 one of fourteen
    pixel shapes: an aspect between these is shown as the nearest one.
  - MP3 audio is sampled at 8000 to 48000 Hz with at most 2 channels, MP2 at
    16000 to 48000 Hz with at most 2, AC3 at 32000, 44100 or 48000 Hz with at
    most 6; a rate or channel count beyond these (also the source's) goes to
    the nearest allowed. MP3 and MP2 bitrates go to the nearest the sample
    rate allows (MP3 at 16000 to 24000 Hz at most 160 kbit/s, below 16000 Hz
    at most 64 kbit/s), AC3 bitrates to the nearest of 32 to 640 kbit/s of
    its table. SWF and FLV audio goes to 11025, 22050 or 44100 Hz.
  - AMR is mono at 8000 Hz (narrow-band) or 16000 Hz (wide-band); a bitrate
    goes to the nearest AMR mode (narrow-band 4.75, 5.15, 5.90, 6.70, 7.40,
    7.95, 10.2, 12.2 kbit/s; wide-band 6.60, 8.85, 12.65, 14.25, 15.85, 18.25,
    19.85, 23.05, 23.85 kbit/s), the highest when none is given.
  - RealVideo frames are kept below 64 kB (the RealMedia limit) by the rate
    control, the bitrate at most half of what that allows; a picture too
    detailed to fit even at the coarsest quantizer still fails.
  - "-f psp" with H.264 writes Main profile at level 3.0 (what the PSP
    plays): a larger picture is scaled down to fit the level's macroblocks
    at the frame rate, the video bitrate is at most 10000 kbit/s, and a
    source without sound gets a silent track (the PSP container needs one).
  - MP4, PSP, iPod, 3GP, 3G2 and MOV files carry their index before the
    media data, so that they play while still downloading.
  - MOV without an audio codec gets AAC; the audio-only containers (aac, ac3,
    mp2, mp3, amr, wav) leave video out.
  - The source's tags go into the output, the audio stream's when the
    container has none of its own (Vorbis comments in Ogg and Opus): MP3
    with ID3v2.3 and ID3v1, ADTS AAC with an ID3v2 header, MOV as metadata
    keys; AVI, WAV and RM hold fewer, MPEG, VOB, SWF, AC3, MP2 and AMR none.
    A JPEG or PNG cover goes into MP3 and MP4 outputs without moving video
    as an attached picture, never as a video stream.
  - AV1 is always written with SVT-AV1 (also when libaom-av1 is asked for),
    at even sizes of at least 64x64; a smaller or odd size is enlarged.
  - H.265, AV1 and VP9 get the "balanced" speed when none is asked for; VP9
    runs with -row-mt and a cpu-used of 8/5/2 (faster uses the realtime
    deadline). H.265 in MP4 and MOV is tagged hvc1.
  - Opus is sampled at 8000, 12000, 16000, 24000 or 48000 Hz: any other rate
    (also the source's) is written at 48000 Hz.
  - FLAC and ALAC keep a source of more than 16 bits at 24 bits, others at
    16 bits; an audio bitrate does not apply to them.
  - The webm container refuses any video but VP8, VP9 and AV1 and any audio
    but Opus and Vorbis; ogg, opus and flac hold no video.
  - With -copyfit a source stream is copied, not encoded, when the
    container's formats offer its codec (mkv: H.264, H.265, AV1, VP9; AAC,
    Opus, FLAC, AC3, Vorbis; webm: VP8, VP9, AV1; Opus, Vorbis; mp4: H.264,
    H.265, AV1; AAC; ipod: AAC, ALAC; ogg: Vorbis, Opus, FLAC; opus, flac,
    aac, mp3, mp2, ac3: their own codec), no other size, frame rate, aspect,
    sample rate or channel count is asked for, and its bitrate (the stream's,
    else the whole file's) is no higher than the bitrate asked for (any
    bitrate with -sameq, -crf or -aq, or when none is asked for). A Note
    names each copied stream; copied video is cut at key frames.
  - A duration of 0 (or none) converts to the end of the input; a start
    beyond the end of the input is an error.
  - A video bitrate of 0 leaves the encoder's own bitrate; with -sameq the
    bitrate is not used.
Every adjustment made is also printed as a line beginning "Note:" before the
work; a note never reports a failure.

Exit code 0 means success; every failure prints a line beginning "Error"
and ends with a non-zero code. SIGTERM or SIGINT stops the conversion and
keeps what was written.
)";
}

} // namespace avcore
