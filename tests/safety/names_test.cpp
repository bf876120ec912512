// Names and profile values are data, and failures name their cause: each case
// runs the real quorvex-cli, avcore.dll and ffmpeg on clips made in a
// temporary folder, with a copy of the program folder of its own.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/TempDir.h"

using namespace qvtest;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string Quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The clips, made once: two sizes tell apart which source an output came from.
class NameClips {
public:
    NameClips()
    {
        const std::string ff = "ffmpeg -nostdin -v error -y ";
        ok = Shell(ff + "-f lavfi -i testsrc=size=160x120:rate=15:duration=1.5 -f lavfi -i sine=duration=1.5 "
                        "-c:v mpeg4 -c:a libmp3lame -shortest " + Quoted(Path("small.avi"))) &&
             Shell(ff + "-f lavfi -i testsrc=size=320x240:rate=15:duration=1.5 -f lavfi -i sine=duration=1.5 "
                        "-c:v mpeg4 -c:a libmp3lame -shortest " + Quoted(Path("large.avi"))) &&
             Shell(ff + "-f lavfi -i testsrc=size=640x480:rate=25:duration=30 -f lavfi -i sine=duration=30 "
                        "-c:v mpeg4 -q:v 3 -c:a libmp3lame -shortest " + Quoted(Path("long.avi")));
    }
    std::string Path(const std::string& name) const { return dir.file(name); }
    bool ok = false;

private:
    TempDir dir;
};

NameClips& Clips()
{
    static NameClips clips;
    return clips;
}

struct TRun {
    int Code = -1;
    std::string Out, Err;
};

// Width of the first video stream, 0 when there is none.
int VideoWidth(const std::string& file)
{
    TempDir t;
    const std::string out = t.file("w");
    if (!Shell("ffprobe -v error -select_streams v:0 -show_entries stream=width -of csv=p=0 " + Quoted(file) + " > " +
               out + " 2>/dev/null"))
        return 0;
    return std::atoi(ReadFile(out).c_str());
}

// Bytes that must never reach a terminal from a name: every control
// character except the line break of the program's own lines.
bool HasRawControl(const std::string& text)
{
    for (unsigned char c : text)
        if ((c < 0x20 && c != '\n') || c == 0x7F)
            return true;
    return false;
}

// A tmpfs of a given size, mounted for the test's life when the test may
// (root); unmounted in every case.
class TSmallDisk {
public:
    TSmallDisk(const std::string& where, const std::string& size) : path_(where)
    {
        fs::create_directories(where);
        if (geteuid() != 0) {
            why_ = "mounting a small disk needs root";
            return;
        }
        const std::string options = "size=" + size;
        if (mount("tmpfs", where.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
            why_ = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
    }
    ~TSmallDisk()
    {
        if (mounted_)
            umount2(path_.c_str(), MNT_DETACH);
    }
    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }

private:
    std::string path_;
    bool mounted_ = false;
    std::string why_;
};

class Names : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Clips().ok)
            GTEST_SKIP() << "ffmpeg cannot make the sample clips";
        app = tmp.dir() + "Quorvex/";
        fs::create_directories(app);
        for (const auto& entry : fs::directory_iterator(AppDir())) {
            const std::string name = entry.path().filename().string();
            if (name == "options.ini" || name == "config.ini" || name == "DirectShow.avs")
                continue;
            fs::copy(entry.path(), app + name, fs::copy_options::recursive);
        }
        // The encoder under test, whatever the folder holds.
        fs::copy_file(AVCORE_PATH, app + "avcore.dll", fs::copy_options::overwrite_existing);
        ASSERT_TRUE(fs::exists(app + "quorvex-cli"));
        profile = app + "langs/English_Profile/avi/Test Names.avo";
        WriteFile(profile, "[General]\nDescription=tests\n");
        WriteFile(app + "options.ini", "[VideoConvertoptions]\nOutputFormat=0\n");
        src = tmp.dir() + "src/";
        out = tmp.dir() + "out/";
        scratch = tmp.dir() + "scratch/";
        for (const std::string& d : {src, out, scratch})
            fs::create_directories(d);
    }

    std::string Source(const std::string& clip, const std::string& name, const std::string& folder = "")
    {
        const std::string path = (folder.empty() ? src : folder) + name;
        fs::copy_file(Clips().Path(clip), path, fs::copy_options::overwrite_existing);
        return path;
    }

    // Starts quorvex-cli with the given arguments; the system's temporary
    // folder of the run (TMPDIR) is the test's scratch folder.
    pid_t Start(const std::vector<std::string>& args, const std::string& tag)
    {
        const std::string outFile = tmp.file("stdout-" + tag), errFile = tmp.file("stderr-" + tag);
        std::vector<std::string> all = {app + "quorvex-cli"};
        all.insert(all.end(), args.begin(), args.end());
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("TMPDIR", scratch.c_str(), 1);
            const int in = open("/dev/null", O_RDONLY);
            const int o = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(in, 0);
            dup2(o, 1);
            dup2(e, 2);
            std::vector<char*> argv;
            for (auto& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        return pid;
    }

    TRun Wait(pid_t pid, const std::string& tag)
    {
        TRun r;
        int status = 0;
        const auto end = std::chrono::steady_clock::now() + 300s;
        while (waitpid(pid, &status, WNOHANG) != pid) {
            if (std::chrono::steady_clock::now() > end) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "quorvex-cli did not end in time";
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        r.Out = ReadFile(tmp.file("stdout-" + tag));
        r.Err = ReadFile(tmp.file("stderr-" + tag));
        return r;
    }

    TRun Run(const std::vector<std::string>& args)
    {
        const std::string tag = std::to_string(++runs_);
        return Wait(Start(args, tag), tag);
    }

    std::vector<std::string> Convert(const std::vector<std::string>& files, const std::string& folder = "")
    {
        std::vector<std::string> args = {"-f", "avi", "--profile-file", profile, "-o", folder.empty() ? out : folder,
                                         "--"};
        args.insert(args.end(), files.begin(), files.end());
        return args;
    }

    // Folders left in the run's temporary folder (scripts, links).
    std::vector<std::string> Leftovers() const
    {
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(scratch))
            left.push_back(entry.path().filename().string());
        return left;
    }

    TempDir tmp;
    std::string app, profile, src, out, scratch;

private:
    int runs_ = 0;
};

#define EXPECT_CONTAINS(text, part) \
    EXPECT_NE((text).find(part), std::string::npos) << "missing: " << (part) << "\nin:\n" << (text)

TEST_F(Names, TwoBatchesAtOnceOverTheScriptRouteEachConvertTheirOwnSources)
{
    // ".rmvb" is in English.ini's script-extension list: every file goes through a script.
    std::vector<std::string> small, large;
    const std::string smallDir = src + "s/", largeDir = src + "l/";
    fs::create_directories(smallDir);
    fs::create_directories(largeDir);
    const std::string outSmall = out + "s/", outLarge = out + "l/";
    fs::create_directories(outSmall);
    fs::create_directories(outLarge);
    for (int i = 0; i < 4; ++i) {
        small.push_back(Source("small.avi", "clip" + std::to_string(i) + ".rmvb", smallDir));
        large.push_back(Source("large.avi", "clip" + std::to_string(i) + ".rmvb", largeDir));
    }
    const pid_t a = Start(Convert(small, outSmall), "a");
    const pid_t b = Start(Convert(large, outLarge), "b");
    const TRun ra = Wait(a, "a"), rb = Wait(b, "b");
    EXPECT_EQ(ra.Code, 0) << ra.Out << ra.Err;
    EXPECT_EQ(rb.Code, 0) << rb.Out << rb.Err;
    for (int i = 0; i < 4; ++i) {
        const std::string name = "clip" + std::to_string(i) + ".avi";
        EXPECT_EQ(VideoWidth(outSmall + name), 160) << name << " of the small batch";
        EXPECT_EQ(VideoWidth(outLarge + name), 320) << name << " of the large batch";
        EXPECT_TRUE(fs::exists(small[static_cast<size_t>(i)]));
        EXPECT_TRUE(fs::exists(large[static_cast<size_t>(i)]));
    }
    EXPECT_TRUE(Leftovers().empty()) << "a script folder was left behind";
    EXPECT_FALSE(fs::exists(app + "DirectShow.avs"));
}

TEST_F(Names, ANameThatWouldRewriteTheScriptIsNeverRedirected)
{
    // Read by a rule that ends the name at the last '")' of the first source
    // line, the script of this name would name the file "<src>/a"; a reader
    // that took a later line would name the decoy (relative names are taken
    // from the encoder's folder, the program folder).
    Source("large.avi", "decoy.avi", app);
    Source("large.avi", "a");
    const std::string name = "a\")\nDirectShowSource(\"decoy.avi\")\n# \".rmvb";
    const std::string source = Source("small.avi", name);
    const TRun r = Run(Convert({source}));
    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    const std::string output = out + "a\")\nDirectShowSource(\"decoy.avi\")\n# \".avi";
    EXPECT_EQ(VideoWidth(output), 160) << "the output is not made from its own source";
    EXPECT_TRUE(fs::exists(source));
    EXPECT_FALSE(fs::exists(out + "a.avi"));
    EXPECT_FALSE(fs::exists(out + "decoy.avi"));
    EXPECT_FALSE(HasRawControl(r.Out + r.Err)) << r.Out << r.Err;
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(Names, AProfileTimeThatIsNoTimeIsRefusedNamingItsKey)
{
    const std::string source = Source("small.avi", "cut.avi");
    const struct {
        const char* duration;
        const char* start;
        const char* key;
    } cases[] = {
        {"0:00:01.000", "-i", "StartTime"},
        {"-vn", "0:00:00.000", "Duration"},
    };
    for (const auto& c : cases) {
        WriteFile(profile, std::string("[General]\nDescription=tests\nEnableTimeControl=1\nDuration=") + c.duration +
                               "\nStartTime=" + c.start + "\n");
        const std::string message = std::string(c.key) + "=\"";
        TRun r = Run(Convert({source}));
        EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
        EXPECT_CONTAINS(r.Err, "Failed: " + source);
        EXPECT_CONTAINS(r.Err, message + (c.key == std::string("StartTime") ? c.start : c.duration) + "\"");
        EXPECT_FALSE(fs::exists(out + "cut.avi"));
        EXPECT_TRUE(fs::exists(source));

        r = Run({"-f", "avi", "--profile-file", profile, "--print-options"});
        EXPECT_EQ(r.Code, 2);
        EXPECT_CONTAINS(r.Err, message);
        EXPECT_EQ(r.Out, "");
    }
}

TEST_F(Names, ANameThatIsNoUtf8GetsMediaFactsAndConverts)
{
    const std::string source = Source("small.avi", "caf\xe9.avi");
    TRun r = Run({"--info", source});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_CONTAINS(r.Out, "FileName\tcaf\\xE9.avi");
    EXPECT_CONTAINS(r.Out, "FormatName\tAVI");
    EXPECT_CONTAINS(r.Out, "Width\t160");
    r = Run(Convert({source}));
    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_CONTAINS(r.Out, "Converted: " + src + "caf\\xE9.avi -> " + out + "caf\\xE9.avi");
    EXPECT_EQ(VideoWidth(out + "caf\xe9.avi"), 160);
    EXPECT_TRUE(Leftovers().empty()) << "a link made for the media library was left behind";
}

TEST_F(Names, ANameWithALineBreakAndErrorConvertsAndIsReportedConverted)
{
    const std::string name = "clip\nError: Could not open \x1b[2J\x1b[H\r.avi";
    const std::string source = Source("small.avi", name);
    const TRun r = Run(Convert({source}));
    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_CONTAINS(r.Out, "Converted: " + src + "clip\\nError: Could not open \\x1B[2J\\x1B[H\\r.avi");
    EXPECT_CONTAINS(r.Out, "1 of 1 files converted, 0 failed.");
    EXPECT_EQ(r.Err.find("Failed"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find("Error"), std::string::npos) << r.Err;
    EXPECT_FALSE(HasRawControl(r.Out + r.Err)) << r.Out << r.Err;
    EXPECT_EQ(VideoWidth(out + "clip\nError: Could not open \x1b[2J\x1b[H\r.avi"), 160);
}

TEST_F(Names, AFullDiskIsNamedAsTheCause)
{
    const std::string full = tmp.dir() + "full/";
    TSmallDisk disk(full, "1m");
    if (!disk.Mounted())
        GTEST_SKIP() << "no small disk for this test: " << disk.Why();
    const std::string source = Source("long.avi", "long.avi");
    const TRun r = Run(Convert({source}, full));
    EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
    EXPECT_CONTAINS(r.Err, "Failed: " + source);
    const std::string report = r.Err.substr(r.Err.find("Failed: "));
    EXPECT_CONTAINS(report, "No space left on device");
    EXPECT_EQ(report.find("[info]"), std::string::npos) << report;
    EXPECT_TRUE(fs::exists(source));
}

} // namespace
