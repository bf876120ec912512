// The encoder's console read with the output parser's line rules, its
// failures, its access code, scripts, odd names, and stopping it.

#include "EncoderRun.h"
#include "platform/PartialOutput.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <filesystem>
#include <fstream>

using namespace enctest;

namespace {

// What the output parser takes from a console: lines cut at CR and LF, the
// "  Duration: " value, every " time=" value and the error lines.
struct TParsed {
    long long durationMs = -1;
    std::vector<double> times;
    std::vector<std::string> errors;
    std::vector<std::string> order; // "input", "duration", "output", "time" in the order seen first
};

long long DurationTextToMs(const std::string& text)
{
    int h = 0, m = 0;
    double s = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%lf", &h, &m, &s) != 3)
        return -1;
    return h * 3600000LL + m * 60000LL + static_cast<long long>(s * 1000 + 0.5);
}

std::string Between(const std::string& line, const std::string& start, const std::string& end)
{
    size_t p = line.find(start);
    if (p == std::string::npos)
        return {};
    p += start.size();
    size_t e = line.find(end, p + 1);
    return e == std::string::npos ? std::string() : line.substr(p, e - p);
}

TParsed ParseConsole(const std::string& text)
{
    TParsed r;
    auto mark = [&](const char* what) {
        if (std::find(r.order.begin(), r.order.end(), what) == r.order.end())
            r.order.push_back(what);
    };
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find_first_of("\r\n", from);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(from, end - from);
        from = end + 1;
        if (line.find_first_not_of(' ') == std::string::npos)
            continue;
        if (line.find("Input #0, ") != std::string::npos)
            mark("input");
        if (line.find("Output #0, ") != std::string::npos)
            mark("output");
        if (line.rfind("  Duration: ", 0) == 0) {
            mark("duration");
            std::string v = line.substr(12, line.find(',') - 12);
            if (v != "N/A")
                r.durationMs = DurationTextToMs(v);
        }
        if (line.find(" time=") != std::string::npos) {
            mark("time");
            std::string v = Between(line, " time=", " ");
            if (v != "N/A" && !v.empty())
                r.times.push_back(std::stod(v));
        }
        bool error = line.find("No audio or video streams available") != std::string::npos
                     || line.find("I/O error occured") != std::string::npos
                     || line.find("Could not open") != std::string::npos
                     || (line.rfind("Error", 0) == 0 && line.rfind("Error while decoding stream", 0) != 0);
        if (error)
            r.errors.push_back(line);
    }
    return r;
}

qvtest::TempDir& Dir()
{
    static qvtest::TempDir dir;
    return dir;
}

const std::string& AvSource()
{
    static std::string name = MakeSource(Dir(), TSourceKind::AudioVideo);
    return name;
}

struct TConsoleCase {
    const char* name;
    const char* line;
    const char* ext;
    double seconds; // expected output length
};

const TConsoleCase ConsoleCases[] = {
    {"avi", "-y -f avi -vcodec xvid -s 320x240 -b 800k -r 25 -acodec mp3 -ac 2 -ab 128 -ar 44100 ", ".avi", 2.0},
    {"amr_direct", "-y -f amr -vn -acodec amr_nb -ac 1 -ar 8000 -ab 12 ", ".amr", 2.0},
    {"3gp_amr_piped", "-y -f 3gp -vcodec h263 -s 176x144 -b 128k -r 15 -acodec amr_wb -ac 1 -ar 16000 ", ".3gp", 2.0},
    {"time_control", "-y -f mp3  -t 0:00:01.000 -ss 0:00:00.500 -vn -acodec mp3 -ac 2 -ab 128 -ar 44100 ", ".mp3", 1.0},
};

class ConsoleParse : public ::testing::TestWithParam<TConsoleCase> {};

TEST_P(ConsoleParse, DurationRisingTimesNoError)
{
    const TConsoleCase& c = GetParam();
    qvtest::TempDir out;
    TRunResult r = RunProgram(EncoderArgs(AvSource(), c.line, out.file(std::string("o") + c.ext)));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    TParsed p = ParseConsole(r.output);
    EXPECT_TRUE(p.errors.empty()) << p.errors.front();
    EXPECT_NEAR(p.durationMs, 2000, 100) << r.output;
    ASSERT_FALSE(p.times.empty()) << r.output;
    EXPECT_TRUE(std::is_sorted(p.times.begin(), p.times.end())) << r.output;
    EXPECT_NEAR(p.times.back(), c.seconds, 0.3) << r.output;
    std::vector<std::string> order = {"input", "duration", "output", "time"};
    EXPECT_EQ(p.order, order) << r.output;
    // Progress lines end with a bare CR while running, the last with a line feed.
    std::vector<char> ends;
    for (size_t at = r.output.find("kbits/s"); at != std::string::npos; at = r.output.find("kbits/s", at + 1))
        ends.push_back(at + 7 < r.output.size() ? r.output[at + 7] : 0);
    ASSERT_FALSE(ends.empty());
    EXPECT_EQ(ends.back(), '\n');
    EXPECT_EQ(std::count(ends.begin(), ends.end(), '\r'), static_cast<long>(ends.size()) - 1) << r.output;
}

INSTANTIATE_TEST_SUITE_P(Cases, ConsoleParse, ::testing::ValuesIn(ConsoleCases),
                         [](const ::testing::TestParamInfo<TConsoleCase>& info) { return std::string(info.param.name); });

TEST(ConsoleFailures, EveryFailureHasAnErrorLineAndNonZeroExit)
{
    qvtest::TempDir dir;
    qvtest::WriteFile(dir.file("notmedia.avi"), "this is not a media file\n");
    const std::string videoOnly = MakeSource(dir, TSourceKind::VideoOnly);
    const std::string same = dir.file("same.mkv");
    std::filesystem::copy_file(AvSource(), same);
    struct {
        const char* what;
        std::vector<std::string> args;
    } cases[] = {
        {"missing input", EncoderArgs(dir.file("missing.avi"), "-y -f avi ", dir.file("o1.avi"))},
        {"wrong access code", EncoderArgs(AvSource(), "-y -f avi ", dir.file("o2.avi"), "1234567")},
        {"no access code", {EncoderPath(), "-i", AvSource(), "-y", dir.file("o3.avi")}},
        {"refused option", EncoderArgs(AvSource(), "-y -f avi -deinterlace ", dir.file("o4.avi"))},
        {"bad value", EncoderArgs(AvSource(), "-y -f avi -s big ", dir.file("o5.avi"))},
        {"not a media file", EncoderArgs(dir.file("notmedia.avi"), "-y -f mp3 -vn ", dir.file("o6.mp3"))},
        {"no audio for an audio format", EncoderArgs(videoOnly, "-y -f mp3 -vn -acodec mp3 ", dir.file("o7.mp3"))},
        {"output folder missing", EncoderArgs(AvSource(), "-y -f avi -vcodec xvid ", dir.file("none/o8.avi"))},
        {"amr output folder missing", EncoderArgs(AvSource(), "-y -f amr -vn -acodec amr_nb ", dir.file("none/o9.amr"))},
        {"encoder refuses", EncoderArgs(AvSource(), "-y -f avi -vcodec nosuchcodec ", dir.file("o10.avi"))},
        {"container refuses codec", EncoderArgs(AvSource(), "-y -f 3gp -vcodec xvid -acodec ac3 ", dir.file("o11.3gp"))},
        {"output is the input", EncoderArgs(same, "-y -f matroska ", same)},
        {"start beyond the end", EncoderArgs(AvSource(), "-y -f avi  -t 0:00:01.000 -ss 0:00:09.000 ", dir.file("o12.avi"))},
    };
    for (const auto& c : cases) {
        TRunResult r = RunProgram(c.args);
        EXPECT_NE(r.exitCode, 0) << c.what << "\n" << r.output;
        TParsed p = ParseConsole(r.output);
        EXPECT_FALSE(p.errors.empty()) << c.what << "\n" << r.output;
    }
    EXPECT_EQ(std::filesystem::file_size(same), std::filesystem::file_size(AvSource())) << "the source was overwritten";
}

TEST(ConsoleScripts, ScriptInputAndOddNames)
{
    qvtest::TempDir dir;
    // A source name with a blank, a quote, brackets and a leading dash, named by a script.
    const std::string odd = dir.file("-odd 'name) (1.mkv");
    std::filesystem::copy_file(AvSource(), odd);
    qvtest::WriteFile(dir.file("DirectShow.avs"), "# generated\nDirectShowSource(\"" + odd + "\")\n");
    TRunResult r = RunProgram(EncoderArgs(dir.file("DirectShow.avs"), "-y -f mp3 -vn -acodec mp3 ", dir.file("s.mp3")));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Input #0, matroska, from '" + dir.file("DirectShow.avs") + "':"), std::string::npos)
        << r.output;
    EXPECT_GT(std::filesystem::file_size(dir.file("s.mp3")), 1000u);

    // Relative names that begin with "-" are still file names.
    std::filesystem::copy_file(AvSource(), dir.file("-in.mkv"));
    r = RunProgram({EncoderPath(), "-p", "5260718", "-i", "-in.mkv", "-y", "-f", "wav", "-vn", "-y"}, 120, dir.dir());
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(std::filesystem::exists(dir.file("-y")));

    // A script that names nothing.
    qvtest::WriteFile(dir.file("empty.avs"), "# nothing\n");
    r = RunProgram(EncoderArgs(dir.file("empty.avs"), "-y -f mp3 -vn ", dir.file("e.mp3")));
    EXPECT_NE(r.exitCode, 0);
    EXPECT_FALSE(ParseConsole(r.output).errors.empty()) << r.output;

    EXPECT_EQ(RunProgram({EncoderPath(), "--help"}).exitCode, 0);
}

// Process ids whose parent is the given process.
std::vector<pid_t> ChildrenOf(pid_t parent)
{
    std::vector<pid_t> kids;
    DIR* proc = opendir("/proc");
    if (!proc)
        return kids;
    while (dirent* e = readdir(proc)) {
        pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
        if (pid <= 0)
            continue;
        std::ifstream stat("/proc/" + std::string(e->d_name) + "/stat");
        std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        size_t close = content.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(content.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == parent)
            kids.push_back(pid);
    }
    closedir(proc);
    return kids;
}

bool Alive(pid_t pid) { return kill(pid, 0) == 0 || errno != ESRCH; }

class StopSignal : public ::testing::TestWithParam<int> {};

TEST_P(StopSignal, StopsFfmpegAndLeavesNoOutput)
{
    qvtest::TempDir dir;
    const std::string source = MakeSource(dir, TSourceKind::Long);
    for (const char* line : {"-y -f avi -vcodec h264 -s 640x480 -b 2000k -r 25 -acodec mp3 -ac 2 -ab 128 -ar 44100 ",
                             "-y -f 3gp -vcodec h263 -s 704x576 -b 800k -r 25 -acodec amr_nb -ac 1 -ar 8000 "}) {
        const std::string output = dir.file(line[7] == 'a' ? "stop.avi" : "stop.3gp");
        TRunning run(EncoderArgs(source, line, output));
        const std::string partial = PartialOutputName(output, run.pid());
        // Wait until the conversion runs and has written something, then
        // collect the ffmpeg processes. (Encoders with a look-ahead report
        // progress before the first packet reaches the file.)
        auto started = [&] {
            std::error_code ec;
            return run.output().find(" time=") != std::string::npos && std::filesystem::file_size(partial, ec) > 0
                && !ec;
        };
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!started() && std::chrono::steady_clock::now() < deadline)
            ASSERT_TRUE(run.pump(100)) << "ended before it could be stopped:\n" << run.output();
        std::vector<pid_t> children = ChildrenOf(run.pid());
        ASSERT_FALSE(children.empty()) << run.output();
        kill(run.pid(), GetParam());
        TRunResult r = run.finish(30);
        EXPECT_NE(r.exitCode, 0) << r.output;
        EXPECT_FALSE(ParseConsole(r.output).errors.empty()) << r.output;
        for (pid_t child : children)
            EXPECT_FALSE(Alive(child)) << "process " << child << " still runs";
        EXPECT_FALSE(std::filesystem::exists(output)) << "a stopped conversion writes no output";
        EXPECT_FALSE(std::filesystem::exists(partial)) << "nor leaves its temporary file";
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

} // namespace
