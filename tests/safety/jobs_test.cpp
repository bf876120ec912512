// Several files converted at once by the real quorvex-cli, avcore.dll and
// ffmpeg: a failing file does not harm the others, a stop ends every running
// encoder and leaves nothing under an output name, and a bad -j is refused.

#include "support/EndToEnd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>

using namespace qvtest;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Made once: short clips to convert, long ones to stop, and one whose video
// codec no decoder knows (accepted by the checks, refused by the encoder).
class JobClips {
public:
    JobClips()
    {
        ok = MakeClip(Path("tiny.avi"), "160x120", 15, "1.5") &&
             MakeClip(Path("long.avi"), "640x480", 25, "60", {"-q:v", "5"});
        if (ok)
            WriteDamagedCopy(Path("tiny.avi"), Path("damaged.avi"));
    }
    std::string Path(const std::string& name) const { return dir.file(name); }
    bool ok = false;

private:
    TempDir dir;
};

JobClips& Clips()
{
    static JobClips clips;
    return clips;
}

// The encoders a run has started and that still run.
std::vector<pid_t> Encoders(pid_t run)
{
    std::vector<pid_t> found;
    for (const ProcessInfo& p : LivingProcesses())
        if (p.Parent == run && p.Name == "avcore.dll")
            found.push_back(p.Pid);
    return found;
}

class Jobs : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        if (!Clips().ok)
            GTEST_SKIP() << "ffmpeg cannot make the sample clips";
        ASSERT_NO_FATAL_FAILURE(CopyProgram());
        WriteFile(app + "langs/English_Profile/avi/Test Tiny.avo", "[General]\nDescription=tests\n");
        WriteOptions("OutputFormat=0\nLastOutputOpenDir=" + tmp.dir() + "default-out\n");
        out = tmp.dir() + "out/";
        src = tmp.dir() + "src/";
        fs::create_directories(out);
        fs::create_directories(src);
    }

    std::string Source(const std::string& sample, const std::string& name)
    {
        const std::string path = src + name;
        fs::copy_file(Clips().Path(sample), path, fs::copy_options::overwrite_existing);
        return path;
    }

    std::vector<std::string> Convert(std::vector<std::string> extra)
    {
        std::vector<std::string> args = {"-f", "avi", "-p", "test tiny", "-o", out};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    std::string out, src;
};

} // namespace

TEST_F(Jobs, OneFileFailsWhileTheOthersConvert)
{
    const std::string first = Source("tiny.avi", "first.avi");
    const std::string bad = Source("damaged.avi", "bad.avi");
    const std::string last = Source("tiny.avi", "last.avi");

    const RunResult r = Run(Convert({"-j", "2", "--delete-source", first, bad, last}));

    EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
    EXPECT_CONTAINS(r.Out, "Converted: " + first + " -> " + out + "first.avi");
    EXPECT_CONTAINS(r.Out, "Converted: " + last + " -> " + out + "last.avi");
    EXPECT_CONTAINS(r.Out, "2 of 3 files converted, 1 failed.");
    // The failure report carries the encoder's own reason, not only its exit code.
    const size_t failed = r.Err.find("Failed: " + bad + "\n  ");
    ASSERT_NE(failed, std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find("the encoder ended with exit code", failed), std::string::npos) << r.Err;
    EXPECT_TRUE(fs::exists(bad)) << "a failed file keeps its source";
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(last));
    EXPECT_FALSE(fs::exists(out + "bad.avi"));
    EXPECT_TRUE(fs::exists(out + "first.avi"));
    EXPECT_TRUE(fs::exists(out + "last.avi"));
}

TEST_F(Jobs, InterruptEndsEveryRunningEncoderAndKeepsEverySource)
{
    // The stored option, without -j.
    WriteOptions("OutputFormat=0\nLastOutputOpenDir=" + tmp.dir() + "default-out\nParallelJobs=2\n");
    const std::string one = Source("long.avi", "one.avi");
    const std::string two = Source("long.avi", "two.avi");
    const std::string waiting = Source("tiny.avi", "waiting.avi");

    Running run = Start(Convert({"--delete-source", one, two, waiting}));
    std::vector<pid_t> encoders;
    ASSERT_TRUE(WaitFor([&] { return (encoders = Encoders(run.Pid())).size() == 2; }, 60s))
        << "two encoders did not run at once";
    kill(run.Pid(), SIGINT);
    const RunResult r = run.Wait(60s);

    EXPECT_EQ(r.Code, 130) << r.Out << r.Err;
    EXPECT_CONTAINS(r.Err, "Stopped: " + one);
    EXPECT_CONTAINS(r.Err, "Stopped: " + two);
    for (const std::string& s : {one, two, waiting})
        EXPECT_TRUE(fs::exists(s)) << s;
    // Neither a final name nor a temporary output is left.
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(out))
        left.push_back(entry.path().filename().string());
    std::string names;
    for (const std::string& name : left)
        names += " " + name;
    EXPECT_TRUE(left.empty()) << "left in the output folder:" << names;
    for (pid_t encoder : encoders)
        EXPECT_EQ(LivingInGroup(encoder), 0) << "an encoder outlived the stop";
}

TEST_F(Jobs, BadJobCountIsAUsageError)
{
    const std::string clip = Source("tiny.avi", "clip.avi");
    for (const char* value : {"many", "-1", "65", "1.5", ""}) {
        const RunResult r = Run(Convert({"-j", value, clip}));
        EXPECT_EQ(r.Code, 2) << value;
        EXPECT_CONTAINS(r.Err, std::string("option -j needs the number of files to convert at once, 0 (one per "
                                           "processor core) to 64, not '") + value + "'");
        EXPECT_FALSE(fs::exists(out + "clip.avi")) << value;
    }
}
