#include "encoder/Plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace avcore {

namespace {

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

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

// Output extension → muxer, for lines that name no container.
const TPair ExtensionMuxers[] = {
    {".avi", "avi"},   {".mp4", "mp4"},   {".m4v", "mp4"},   {".m4a", "mp4"},        {".3gp", "3gp"},
    {".3g2", "3g2"},   {".mpg", "mpeg"},  {".mpeg", "mpeg"}, {".m1v", "mpeg"},       {".vob", "vob"},
    {".mov", "mov"},   {".qt", "mov"},    {".wmv", "asf"},   {".wma", "asf"},        {".asf", "asf"},
    {".rm", "rm"},     {".rmvb", "rm"},   {".ra", "rm"},     {".swf", "swf"},        {".flv", "flv"},
    {".aac", "adts"},  {".ac3", "ac3"},   {".mp2", "mp2"},   {".mp3", "mp3"},        {".amr", "amr"},
    {".wav", "wav"},   {".mkv", "matroska"}, {".mka", "matroska"}, {".ogg", "ogg"}, {".webm", "webm"},
};

// Old container names → today's muxers.
const TPair FormatMuxers[] = {{"aac", "adts"}, {"mpg", "mpeg"}, {"wmv", "asf"}, {"mpeg1", "mpeg"}};

const TPair VideoEncoders[] = {
    {"h264", "libx264"}, {"x264", "libx264"}, {"avc", "libx264"}, {"xvid", "libxvid"},
    {"divx", "mpeg4"},   {"msmpeg4v3", "msmpeg4"}, {"mpeg1", "mpeg1video"}, {"mpeg2", "mpeg2video"},
    {"wmv7", "wmv1"},    {"wmv8", "wmv2"},
};

const TPair AudioEncoders[] = {
    {"mp3", "libmp3lame"}, {"lame", "libmp3lame"}, {"vorbis", "libvorbis"}, {"a52", "ac3"},
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

bool IsAudioOnlyMuxer(const std::string& m)
{
    return m == "adts" || m == "ac3" || m == "mp2" || m == "mp3" || m == "amr" || m == "wav";
}

bool IsIsoMuxer(const std::string& m)
{
    return m == "mp4" || m == "psp" || m == "3gp" || m == "3g2" || m == "mov" || m == "ipod";
}

bool ParseSize(const std::string& text, int& w, int& h)
{
    std::string t = Lower(text);
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
    } else if (encoder != "ffvhuff" && encoder != "mjpeg") {
        // 4:2:0 pictures need even sides.
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
    size_t slash = name.find_last_of('/');
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return Lower(name.substr(dot));
}

std::string FfmpegFileName(const std::string& name) { return "file:" + name; }

bool MakePlan(const TRequest& req, const TSourceFacts& source, TPlan& plan, std::string& error)
{
    plan = TPlan();
    const TStreamFacts* srcVideo = source.firstVideo();
    const TStreamFacts* srcAudio = source.firstAudio();
    std::vector<std::string> videoArgs, audioArgs, tailArgs;

    // Container.
    std::string target = Lower(req.target);
    if (!target.empty()) {
        plan.formatName = TargetFormatName(target);
        if (plan.formatName.empty()) {
            error = "unknown target '" + req.target + "'";
            return false;
        }
    }
    std::string format = Lower(req.format);
    std::string ext = LowerExtension(req.output);
    if (!format.empty()) {
        const char* m = Lookup(std::begin(FormatMuxers), std::end(FormatMuxers), format);
        plan.muxer = m ? m : format;
        if (plan.muxer == "3gp" && ext == ".3g2")
            plan.muxer = "3g2";
    } else if (target.empty()) {
        if (const char* m = Lookup(std::begin(ExtensionMuxers), std::end(ExtensionMuxers), ext))
            plan.muxer = m;
    }
    if (plan.formatName.empty())
        plan.formatName = !plan.muxer.empty() ? plan.muxer : (ext.empty() ? std::string("N/A") : ext.substr(1));

    // Time range.
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

    // Streams.
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

    // Video.
    if (!plan.writeVideo) {
        videoArgs = {"-vn"};
    } else {
        std::string vc = Lower(req.videoCodec);
        if (const char* m = Lookup(std::begin(VideoEncoders), std::end(VideoEncoders), vc))
            vc = m;
        if ((vc == "msmpeg4" || vc == "msmpeg4v2") && IsIsoMuxer(plan.muxer)) {
            plan.notes.push_back("the " + plan.muxer + " container cannot hold Microsoft MPEG-4 (" + req.videoCodec
                                 + "); written as MPEG-4 Part 2");
            vc = "mpeg4";
        }
        plan.videoEncoder = vc;
        if (!vc.empty())
            videoArgs.insert(videoArgs.end(), {"-c:v", vc});
        if (vc == "libx264")
            videoArgs.insert(videoArgs.end(), {"-pix_fmt", "yuv420p"});

        // Size.
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
        if (w > 0 && h > 0 && target.empty()) {
            int lw = w, lh = h;
            LegalSize(vc, lw, lh);
            if (lw != w || lh != h)
                plan.notes.push_back((vc.empty() ? std::string("the encoder") : vc) + " cannot write " + std::to_string(w)
                                     + "x" + std::to_string(h) + "; written as " + std::to_string(lw) + "x"
                                     + std::to_string(lh));
            if (asked || lw != w || lh != h) {
                plan.sizeText = std::to_string(lw) + "x" + std::to_string(lh);
                videoArgs.insert(videoArgs.end(), {"-s", plan.sizeText});
            }
        }

        // Bitrate or constant quality.
        if (!req.videoBitrate.empty()) {
            auto b = ParseBitrate(req.videoBitrate, true);
            if (!b) {
                error = "invalid video bitrate '" + req.videoBitrate + "'";
                return false;
            }
            if (req.sameQuality) {
                // Constant quality replaces the bitrate.
            } else if (*b == 0) {
                plan.notes.push_back("a video bitrate of 0 leaves the encoder's own bitrate");
            } else {
                videoArgs.insert(videoArgs.end(), {"-b:v", std::to_string(*b)});
            }
        }
        if (req.sameQuality) {
            if (vc == "libx264")
                videoArgs.insert(videoArgs.end(), {"-crf", "18"});
            else if (vc != "ffvhuff" && !vc.empty())
                videoArgs.insert(videoArgs.end(), {"-q:v", "2"});
        }

        // Frame rate.
        if (!req.frameRate.empty()) {
            auto r = ParseNumber(req.frameRate);
            if (!r || *r <= 0 || *r > 1000) {
                error = "invalid frame rate '" + req.frameRate + "'";
                return false;
            }
            const char* exact = Lookup(std::begin(FrameRates), std::end(FrameRates), req.frameRate);
            videoArgs.insert(videoArgs.end(), {"-r", exact ? exact : req.frameRate});
            if (vc == "mpeg1video" && *r < 23.9) {
                plan.notes.push_back("MPEG-1 has no standard frame rate of " + req.frameRate
                                     + " fps; written with an unofficial frame-rate code");
                if (req.strict.empty())
                    tailArgs.insert(tailArgs.end(), {"-strict", "unofficial"});
            }
        }

        if (!req.aspect.empty()) {
            if (!ValidAspect(req.aspect)) {
                error = "invalid aspect ratio '" + req.aspect + "'";
                return false;
            }
            videoArgs.insert(videoArgs.end(), {"-aspect", req.aspect});
        }
    }

    // Audio.
    if (!plan.writeAudio) {
        audioArgs = {"-an"};
    } else {
        std::string ac = Lower(req.audioCodec);
        if (const char* m = Lookup(std::begin(AudioEncoders), std::end(AudioEncoders), ac))
            ac = m;
        if (ac.empty() && plan.muxer == "mov" && target.empty())
            ac = "aac";
        if (ac.empty() && plan.muxer == "amr")
            ac = "amr_nb";
        if (ac == "amr_nb" || ac == "libopencore_amrnb" || ac == "amr_wb" || ac == "libvo_amrwbenc") {
            plan.amr = true;
            plan.amrWideBand = ac == "amr_wb" || ac == "libvo_amrwbenc";
            plan.amrDirect = plan.muxer == "amr";
            if (plan.amrDirect && plan.writeVideo) {
                plan.writeVideo = false;
                videoArgs = {"-vn"};
            }
            ac = plan.amrWideBand ? "amr_wb" : "amr_nb";
        }
        plan.audioEncoder = ac;

        int channels = 0;
        if (!req.channels.empty()) {
            if (req.channels == "5:1" || req.channels == "5.1") {
                channels = 6;
            } else {
                auto c = ParseNumber(req.channels);
                if (!c || *c != std::floor(*c) || *c < 1 || *c > 8) {
                    error = "invalid channel count '" + req.channels + "'";
                    return false;
                }
                channels = static_cast<int>(*c);
            }
        }
        long long bitrate = 0;
        if (!req.audioBitrate.empty()) {
            auto b = ParseBitrate(req.audioBitrate, true);
            if (!b) {
                error = "invalid audio bitrate '" + req.audioBitrate + "'";
                return false;
            }
            bitrate = *b;
        }
        int rate = 0;
        if (!req.sampleRate.empty()) {
            auto r = ParseNumber(req.sampleRate);
            if (!r || *r != std::floor(*r) || *r < 1000 || *r > 384000) {
                error = "invalid sample rate '" + req.sampleRate + "'";
                return false;
            }
            rate = static_cast<int>(*r);
        }
        int effectiveRate = rate > 0 ? rate : (srcAudio && srcAudio->sampleRate > 0 ? srcAudio->sampleRate : 44100);

        if (plan.amr) {
            plan.amrMode = NearestAmrMode(plan.amrWideBand, bitrate);
            int amrRate = AmrSampleRate(plan.amrWideBand);
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.2f", plan.amrMode.kbps);
            if (bitrate > 0 && std::llround(plan.amrMode.kbps * 1000) != bitrate)
                plan.notes.push_back(std::string("AMR has no mode of ") + std::to_string(bitrate / 1000.0).substr(0, 5)
                                     + " kbit/s; written at " + buf + " kbit/s");
            if (channels > 1)
                plan.notes.push_back("AMR is mono; written with 1 channel");
            if (rate > 0 && rate != amrRate)
                plan.notes.push_back("AMR is sampled at " + std::to_string(amrRate) + " Hz; written at that rate");
            plan.channels = 1;
            plan.sampleRate = amrRate;
            if (!plan.amrDirect)
                audioArgs = {"-c:a", "copy"};
        } else {
            if (!ac.empty())
                audioArgs.insert(audioArgs.end(), {"-c:a", ac});
            if (ac == "mp2") {
                static const std::vector<int> Rates = {16000, 22050, 24000, 32000, 44100, 48000};
                if (rate > 0 && !Contains(Rates, rate)) {
                    int legal = Nearest(Rates, rate);
                    plan.notes.push_back("MP2 cannot be sampled at " + std::to_string(rate) + " Hz; written at "
                                         + std::to_string(legal) + " Hz");
                    rate = effectiveRate = legal;
                }
                static const std::vector<int> Full = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
                static const std::vector<int> Low = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
                const std::vector<int>& table = effectiveRate >= 32000 ? Full : Low;
                if (bitrate > 0 && (bitrate % 1000 != 0 || !Contains(table, static_cast<int>(bitrate / 1000)))) {
                    int legal = Nearest(table, static_cast<int>(std::llround(bitrate / 1000.0)));
                    plan.notes.push_back("MP2 has no bitrate of " + std::to_string(bitrate / 1000) + " kbit/s at "
                                         + std::to_string(effectiveRate) + " Hz; written at " + std::to_string(legal)
                                         + " kbit/s");
                    bitrate = legal * 1000LL;
                }
            } else if (ac == "ac3" || ac == "ac3_fixed") {
                static const std::vector<int> Rates = {32000, 44100, 48000};
                if (rate > 0 && !Contains(Rates, rate)) {
                    int legal = Nearest(Rates, rate);
                    plan.notes.push_back("AC3 cannot be sampled at " + std::to_string(rate) + " Hz; written at "
                                         + std::to_string(legal) + " Hz");
                    rate = legal;
                }
            }
            if (plan.muxer == "swf" || plan.muxer == "flv") {
                static const std::vector<int> Rates = {11025, 22050, 44100};
                if (!Contains(Rates, effectiveRate)) {
                    int legal = Nearest(Rates, effectiveRate);
                    plan.notes.push_back("the " + plan.muxer + " container cannot hold audio sampled at "
                                         + std::to_string(effectiveRate) + " Hz; written at " + std::to_string(legal)
                                         + " Hz");
                    rate = legal;
                }
            }
            if (channels > 0)
                audioArgs.insert(audioArgs.end(), {"-ac", std::to_string(channels)});
            if (bitrate > 0)
                audioArgs.insert(audioArgs.end(), {"-b:a", std::to_string(bitrate)});
            if (rate > 0)
                audioArgs.insert(audioArgs.end(), {"-ar", std::to_string(rate)});
            plan.channels = channels;
            plan.sampleRate = rate;
        }
    }

    if (!req.strict.empty()) {
        if (!ValidStrict(req.strict)) {
            error = "invalid strictness '" + req.strict + "'";
            return false;
        }
        tailArgs.insert(tailArgs.end(), {"-strict", req.strict});
    }

    // The target comes first so that the options after it can refine it.
    if (!target.empty())
        plan.outputArgs = {"-target", target};
    plan.outputArgs.insert(plan.outputArgs.end(), videoArgs.begin(), videoArgs.end());
    plan.outputArgs.insert(plan.outputArgs.end(), audioArgs.begin(), audioArgs.end());
    plan.outputArgs.insert(plan.outputArgs.end(), tailArgs.begin(), tailArgs.end());
    plan.outputArgs.insert(plan.outputArgs.end(), {"-sn", "-dn"});
    return true;
}

namespace {

void CommonHead(std::vector<std::string>& a, const std::string& ffmpeg, const char* logLevel)
{
    a = {ffmpeg, "-hide_banner", "-nostdin", "-nostats", "-loglevel", logLevel};
}

void SourceInput(std::vector<std::string>& a, const TPlan& plan, const std::string& input)
{
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
    if (amrPipe) {
        a.insert(a.end(), {"-f", "amr", "-i", "pipe:0"});
        if (plan.writeVideo)
            a.insert(a.end(), {"-map", "0:v:0", "-map", "1:a:0"});
        else
            a.insert(a.end(), {"-map", "0:a:0"});
    }
    a.insert(a.end(), plan.outputArgs.begin(), plan.outputArgs.end());
    if (plan.duration)
        a.insert(a.end(), {"-t", Seconds(*plan.duration)});
    if (!plan.muxer.empty())
        a.insert(a.end(), {"-f", plan.muxer});
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
    a.insert(a.end(), {"-ac", "1", "-ar", std::to_string(AmrSampleRate(plan.amrWideBand)), "-c:a", "pcm_s16le", "-f",
                       "s16le", "pipe:1"});
    return a;
}

std::string HelpText()
{
    return R"(Usage: avcore.dll -p <access code> -i <input> [options] <output>

The input and the output are file names, also when they begin with "-".
An input ending in ".avs" is a DirectShow script: the file named between
'Source("' and the next '"' of its first source line is converted.

The output is written as ".<name>.qvpart-<pid><ext>" in the output's folder,
held with an exclusive flock() while it is written, and renamed to the output
name only when the conversion succeeded and every video and audio stream of
the output holds at least one packet; otherwise it is removed and an existing
file under the output name stays untouched. Such temporary files in the
output folder that nobody holds (left by a crash) are removed first.

Options (the old encoder option language):
  -y                 overwrite the output (the output is always replaced)
  -f <format>        container: avi, mp4, psp, 3gp, mpeg, mov, asf, rm, swf,
                     vob, aac, ac3, mp2, mp3, amr, wav, ...; without -f the
                     output's extension chooses (".wmv" is ASF, ".swf" SWF)
  -t <time>          length to convert, "h:mm:ss.xxx" or seconds
  -ss <time>         position in the input where the conversion starts
  -sameq             constant high quality instead of a bitrate
  -vcodec <codec>    video encoder; h264 = libx264, xvid = libxvid
  -s <W>x<H>         frame size (also qcif, cif, qvga, vga, ...)
  -b <rate>          video bitrate: "1200k", or a plain number in kbit/s
  -r <fps>           frame rate; 14.985, 19.98, 23.976, 29.97, 59.94 are
                     the exact NTSC rates (x1000/1001)
  -aspect <W:H>      display aspect ratio
  -target <t>        vcd, svcd, dvd with the prefix pal-, ntsc- or film-
  -an / -vn          leave audio / video out
  -acodec <codec>    audio encoder; mp3 = libmp3lame, amr_nb, amr_wb
  -ac <n>            channels; "5:1" means six channels (5.1)
  -ab <rate>         audio bitrate: a plain number is kbit/s ("128")
  -ar <Hz>           sample rate
  -strict <level>    encoder strictness (-2 allows experimental encoders)
  --help             this text

Adjustments made where a combination cannot work as written:
  - Microsoft MPEG-4 (msmpeg4, msmpeg4v2) inside MP4, PSP, 3GP, 3G2 and MOV
    is written as MPEG-4 Part 2, which those containers can hold.
  - "-f aac" writes an ADTS stream; "-f 3gp" with a ".3g2" output writes 3GP2.
  - H.263 accepts only 128x96, 176x144, 352x288, 704x576 and 1408x1152: the
    nearest of these is used. H.263+ sizes are rounded to multiples of 4,
    RealVideo sizes to multiples of 16, other sizes to even numbers.
  - MPEG-1 frame rates below 23.976 fps use MPEG-1's unofficial rate codes.
  - MP2 bitrates and sample rates, and AC3 sample rates, go to the nearest
    value the codec allows; SWF and FLV audio goes to 11025, 22050 or 44100 Hz.
  - AMR is mono at 8000 Hz (narrow-band) or 16000 Hz (wide-band); a bitrate
    goes to the nearest AMR mode (narrow-band 4.75, 5.15, 5.90, 6.70, 7.40,
    7.95, 10.2, 12.2 kbit/s; wide-band 6.60, 8.85, 12.65, 14.25, 15.85, 18.25,
    19.85, 23.05, 23.85 kbit/s), the highest when none is given.
  - MOV without an audio codec gets AAC; the audio-only containers (aac, ac3,
    mp2, mp3, amr, wav) leave video out.
  - A duration of 0 (or none) converts to the end of the input; a start
    beyond the end of the input is an error.
  - A video bitrate of 0 leaves the encoder's own bitrate; with -sameq the
    bitrate is not used.
Every adjustment made is also printed as a "Note:" line before the work.

Exit code 0 means success; every failure prints a line beginning "Error"
and ends with a non-zero code. SIGTERM or SIGINT stops the conversion and
keeps what was written.
)";
}

} // namespace avcore
