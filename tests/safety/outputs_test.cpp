// Outputs through the real quorvex-cli, avcore.dll and ffmpeg: an output
// appears only when it is complete and holds every stream put into it, an
// existing file stays untouched until then, stopped and killed conversions
// leave nothing behind, and no encoder outlives the program that started it.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sys/file.h>
#include <unistd.h>

#include "platform/PartialOutput.h"
#include "support/EndToEnd.h"

using namespace qvtest;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Source clips, made once.
class OutputClips {
public:
    OutputClips()
    {
        ok = MakeClip(Path("tiny.avi"), "160x120", 15, "1.5") &&
             MakeClip(Path("long.avi"), "640x480", 25, "60", {"-q:v", "5"}) &&
             // Four seconds of picture, the sound ends after one.
             MakeMedia(JoinArgs({TestPicture("160x120", 15, "4"), SineTone("1"),
                             {"-c:v", "mpeg4", "-c:a", "pcm_s16le", Path("gap.mkv")}}));
        if (!ok)
            return;
        WriteDamagedCopy(Path("tiny.avi"), Path("damaged.avi"));
    }
    std::string Path(const std::string& name) const { return dir.file(name); }
    bool ok = false;

private:
    TempDir dir;
};

OutputClips& Clips()
{
    static OutputClips clips;
    return clips;
}

std::vector<std::string> PartialsIn(const std::string& folder)
{
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (IsPartialOutputName(entry.path().filename().string()))
            found.push_back(entry.path().string());
    return found;
}

class Outputs : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        if (!Clips().ok)
            GTEST_SKIP() << "ffmpeg cannot make the sample clips";
        ASSERT_NO_FATAL_FAILURE(CopyProgram());
        WriteOptions("OutputFormat=0\n");
        out = tmp.dir() + "out/";
        src = tmp.dir() + "src/";
        fs::create_directories(out);
        fs::create_directories(src);
    }

    std::string Source(const std::string& clip, const std::string& name)
    {
        const std::string path = src + name;
        fs::copy_file(Clips().Path(clip), path, fs::copy_options::overwrite_existing);
        return path;
    }

    // A profile file of the format's folder with these keys.
    std::string Profile(const std::string& format, const std::string& keys)
    {
        const std::string path = tmp.file("test-" + format + ".ini");
        WriteFile(path, "[General]\nDescription=tests\n" + keys);
        return path;
    }

    std::vector<std::string> Convert(const std::string& format, const std::string& keys,
                                     std::vector<std::string> extra)
    {
        std::vector<std::string> args = {"-f", format, "--profile-file", Profile(format, keys), "-o", out};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    // Waits until the encoder writes its temporary output (not yet empty).
    bool WaitForPartialData()
    {
        return WaitFor(
            [&] {
                for (const std::string& p : PartialsIn(out)) {
                    std::error_code ec;
                    if (fs::file_size(p, ec) > 0 && !ec)
                        return true;
                }
                return false;
            },
            60s);
    }

    std::string out, src;
};


const std::string OldContent = "the output of an earlier run";

TEST_F(Outputs, EarlyFailureLeavesAnAgreedOverwriteIntact)
{
    const std::string source = Source("damaged.avi", "clip.avi");
    WriteFile(out + "clip.avi", OldContent);

    const RunResult r = Run(Convert("avi", "", {"--yes", "--delete-source", source}));

    EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
    EXPECT_CONTAINS(r.Err, "Failed: " + source);
    EXPECT_EQ(ReadFile(out + "clip.avi"), OldContent);
    EXPECT_TRUE(fs::exists(source));
    EXPECT_TRUE(PartialsIn(out).empty());
}

TEST_F(Outputs, CompleteOutputReplacesTheOldOneAndKeepsItsPermissions)
{
    const std::string source = Source("tiny.avi", "clip.avi");
    WriteFile(out + "clip.mp4", OldContent);
    fs::permissions(out + "clip.mp4", fs::perms::owner_read | fs::perms::owner_write);

    const RunResult r = Run(Convert("mp4", "", {"--yes", source}));

    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_NE(ReadFile(out + "clip.mp4"), OldContent);
    EXPECT_EQ(fs::status(out + "clip.mp4").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(PartialsIn(out).empty());
}

// A stopped or killed MP4 conversion leaves nothing under the final name and
// no temporary file, and an agreed overwrite keeps the old file.
TEST_F(Outputs, StoppedOrKilledConversionLeavesNothingBehind)
{
    enum class Stop { Interrupt, Terminate, KillEncoder, InterruptEncoder };
    for (Stop how : {Stop::Interrupt, Stop::Terminate, Stop::KillEncoder, Stop::InterruptEncoder}) {
        SCOPED_TRACE(static_cast<int>(how));
        const std::string source = Source("long.avi", "long.avi");
        const std::string fresh = Source("tiny.avi", "fresh.avi");
        WriteFile(out + "long.mp4", OldContent);
        fs::remove(out + "fresh.mp4");

        Running run = Start(Convert("mp4", "", {"--yes", "--delete-source", source, fresh}));
        ASSERT_TRUE(WaitForPartialData()) << "the encoder wrote no temporary output";
        if (how == Stop::KillEncoder || how == Stop::InterruptEncoder) {
            auto encoder = ChildNamed(run.Pid(), "avcore.dll");
            ASSERT_TRUE(encoder);
            if (how == Stop::KillEncoder)
                kill(-*encoder, SIGKILL); // the encoder's own process group
            else
                kill(*encoder, SIGINT); // the encoder alone: it ends its ffmpeg and cleans up
        } else {
            kill(run.Pid(), how == Stop::Interrupt ? SIGINT : SIGTERM);
        }
        const RunResult r = run.Wait(120s);

        EXPECT_EQ(ReadFile(out + "long.mp4"), OldContent) << r.Out << r.Err;
        EXPECT_TRUE(fs::exists(source));
        EXPECT_TRUE(PartialsIn(out).empty()) << r.Out << r.Err;
        if (how == Stop::KillEncoder || how == Stop::InterruptEncoder) {
            // The file failed; the batch goes on with the next one.
            EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
            EXPECT_TRUE(fs::exists(out + "fresh.mp4"));
        } else {
            EXPECT_FALSE(fs::exists(out + "fresh.mp4"));
            EXPECT_TRUE(fs::exists(fresh));
        }
    }
}

TEST_F(Outputs, NextBatchRemovesUnheldLeftoversOnly)
{
    const std::string unheld = out + ".old.mp4.qvpart-4194301.mp4";
    const std::string held = out + ".busy.mp4.qvpart-4194302.mp4";
    const std::string lookalike = out + ".notes.qvpart-x.mp4";
    const std::string elsewhere = src + ".other.mp4.qvpart-4194303.mp4";
    for (const std::string& f : {unheld, held, lookalike, elsewhere})
        WriteFile(f, "left over");
    // Another batch writing into the same folder holds its file locked.
    const int lock = open(held.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);

    const RunResult r = Run(Convert("mp4", "", {Source("tiny.avi", "clip.avi")}));
    close(lock);

    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_TRUE(fs::exists(out + "clip.mp4"));
    EXPECT_FALSE(fs::exists(unheld));
    EXPECT_TRUE(fs::exists(held)) << "a temporary file in use by another batch must stay";
    EXPECT_TRUE(fs::exists(lookalike));
    EXPECT_TRUE(fs::exists(elsewhere)) << "only the output folder is cleaned";
}

TEST_F(Outputs, TwoBatchesIntoOneFolderLeaveEachOthersFilesAlone)
{
    const std::string slow = Source("long.avi", "slow.avi");
    Running first = Start(Convert("mp4", "", {slow}));
    ASSERT_TRUE(WaitForPartialData());
    const std::vector<std::string> busy = PartialsIn(out);
    ASSERT_EQ(busy.size(), 1u);

    const RunResult second = Run(Convert("mp4", "", {Source("tiny.avi", "quick.avi")}));

    EXPECT_EQ(second.Code, 0) << second.Out << second.Err;
    EXPECT_TRUE(fs::exists(out + "quick.mp4"));
    EXPECT_TRUE(fs::exists(busy[0])) << "the running conversion's temporary file was taken away";
    kill(first.Pid(), SIGINT);
    first.Wait(60s);
    EXPECT_FALSE(fs::exists(out + "slow.mp4"));
    EXPECT_TRUE(PartialsIn(out).empty());
}

// A time range past the end of the sound gives no audio: the file fails, no
// header-only output is written and --delete-source keeps the source.
TEST_F(Outputs, TimeRangeWithoutAudioFailsAndKeepsTheSource)
{
    const std::string range = "EnableTimeControl=1\nStartTime=0:00:02.000\nDuration=0:00:01.000\n";
    for (const char* format : {"mp3", "wav", "amr", "mp4"}) {
        SCOPED_TRACE(format);
        const std::string source = Source("gap.mkv", "gap.mkv");
        const std::string output = out + "gap." + format;

        const RunResult r = Run(Convert(format, range, {"--delete-source", source}));

        EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
        EXPECT_CONTAINS(r.Err, "Failed: " + source);
        EXPECT_CONTAINS(r.Err, "no audio");
        EXPECT_FALSE(fs::exists(output));
        EXPECT_TRUE(fs::exists(source));
        EXPECT_TRUE(PartialsIn(out).empty());
    }
    // The same range inside the sound converts.
    const std::string source = Source("gap.mkv", "gap.mkv");
    const RunResult r = Run(Convert("mp3", "EnableTimeControl=1\nStartTime=0:00:00.200\nDuration=0:00:00.500\n",
                                    {"--delete-source", source}));
    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_TRUE(fs::exists(out + "gap.mp3"));
    EXPECT_FALSE(fs::exists(source));
}

TEST_F(Outputs, KilledFrontEndTakesItsEncoderAlong)
{
    const std::string source = Source("long.avi", "long.avi");
    Running run = Start(Convert("mp4", "", {"--delete-source", source}));
    ASSERT_TRUE(WaitForPartialData());
    const auto encoder = ChildNamed(run.Pid(), "avcore.dll");
    ASSERT_TRUE(encoder);
    std::optional<pid_t> ffmpeg;
    ASSERT_TRUE(WaitFor([&] { return (ffmpeg = ChildNamed(*encoder, "ffmpeg")).has_value(); }, 10s));

    kill(run.Pid(), SIGKILL);
    run.Wait(10s);

    const bool gone = WaitFor([&] { return !Alive(*encoder) && !Alive(*ffmpeg); }, 10s);
    for (pid_t left : {*encoder, *ffmpeg})
        if (Alive(left))
            kill(left, SIGKILL);
    EXPECT_TRUE(gone) << "the encoder or its ffmpeg outlived the killed quorvex-cli";
    EXPECT_FALSE(fs::exists(out + "long.mp4"));
    EXPECT_TRUE(fs::exists(source));
    // The encoder, ended by its parent's death, removes its temporary file.
    EXPECT_TRUE(WaitFor([&] { return PartialsIn(out).empty(); }, 10s));
}

// --delete-source deletes only the source that was converted: a source that
// another file replaced (mv) or that grew while its encoder read it stays,
// and a note under its "Converted:" line says why.
TEST_F(Outputs, DeleteSourceKeepsASourceThatChangedDuringItsConversion)
{
    const std::string replacement = Source("tiny.avi", "replacement.avi");
    const auto replacementSize = fs::file_size(replacement);
    const struct {
        const char* name;
        std::function<void(const std::string&)> change; // null: left alone
        const char* note;                                // "": deleted, no note
    } cases[] = {
        {"unchanged", nullptr, ""},
        {"replaced by mv",
         [&](const std::string& source) { fs::rename(replacement, source); },
         "another file took its name"},
        {"still growing",
         [&](const std::string& source) {
             std::ofstream(source, std::ios::binary | std::ios::app) << std::string(4096, '\0');
         },
         "it was written to during the conversion"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = Source("long.avi", "changing.avi");
        fs::remove(out + "changing.mp4");
        Running run = Start(Convert("mp4", "", {"--delete-source", source}));
        ASSERT_TRUE(WaitForPartialData());
        if (c.change)
            c.change(source);
        const RunResult r = run.Wait();

        EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
        EXPECT_CONTAINS(r.Out, "Converted: " + source);
        EXPECT_TRUE(fs::exists(out + "changing.mp4"));
        if (!c.change) {
            EXPECT_FALSE(fs::exists(source));
            EXPECT_EQ(r.Out.find("Note:"), std::string::npos) << r.Out;
            continue;
        }
        ASSERT_TRUE(fs::exists(source)) << "a source that was not what was converted was deleted";
        const std::string report = r.Out.substr(r.Out.find("Converted: "));
        EXPECT_CONTAINS(report, std::string("\n  Note: The source was kept: ") + c.note);
        if (std::string(c.name) == "replaced by mv") {
            EXPECT_EQ(fs::file_size(source), replacementSize);
        }
    }
}

// The encoder and its ffmpeg get only the descriptors they are given: one
// that quorvex-cli inherited without close-on-exec reaches neither.
TEST_F(Outputs, InheritedDescriptorsReachNeitherTheEncoderNorFfmpeg)
{
    WriteFile(tmp.file("inherited"), "");
    const fs::path marker = fs::canonical(tmp.file("inherited"));
    const int file = open(marker.string().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(file, 0);
    // The lowest free descriptor from 9 up, inherited across exec.
    const int inherited = fcntl(file, F_DUPFD, 9);
    close(file);
    ASSERT_GE(inherited, 9);
    Running run = Start(Convert("mp4", "", {Source("long.avi", "long.avi")}));
    close(inherited);
    ASSERT_TRUE(WaitForPartialData());
    const auto encoder = ChildNamed(run.Pid(), "avcore.dll");
    ASSERT_TRUE(encoder);
    std::optional<pid_t> ffmpeg;
    ASSERT_TRUE(WaitFor([&] { return (ffmpeg = ChildNamed(*encoder, "ffmpeg")).has_value(); }, 10s));

    // The descriptors of a process that name the marker file.
    auto holders = [&](pid_t pid) {
        std::vector<std::string> found;
        std::error_code ec;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
            if (fs::read_symlink(fd.path(), ec) == marker)
                found.push_back(fd.path().filename().string());
        return found;
    };
    EXPECT_FALSE(holders(run.Pid()).empty()) << "the test's descriptor did not reach quorvex-cli";
    EXPECT_TRUE(holders(*encoder).empty()) << "avcore.dll inherited descriptor " << holders(*encoder).front();
    EXPECT_TRUE(holders(*ffmpeg).empty()) << "ffmpeg inherited descriptor " << holders(*ffmpeg).front();
    kill(run.Pid(), SIGINT);
    run.Wait(60s);
}

} // namespace
