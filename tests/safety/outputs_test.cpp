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
#include <sys/stat.h>
#include <unistd.h>

#include "encoder/EncoderRun.h"
#include "platform/PartialOutput.h"
#include "support/EndToEnd.h"
#include "support/SpecialFiles.h"

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
                             {"-c:v", "mpeg4", "-c:a", "pcm_s16le", Path("gap.mkv")}})) &&
             MakeMedia(JoinArgs({SineTone("3"), {"-ac", "2", Path("tone.wav")}}));
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
    const std::string notes = out + ".notes.qvpart-1.txt"; // a user's file: "notes" has no ".txt"
    const std::string linked = out + ".kept.mp4.qvpart-4194304.mp4"; // a second name of a user's file
    for (const std::string& f : {unheld, held, lookalike, elsewhere, notes})
        WriteFile(f, "left over");
    WriteFile(src + "kept.mp4", "a user's file");
    fs::create_hard_link(src + "kept.mp4", linked);
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
    EXPECT_TRUE(fs::exists(notes));
    EXPECT_TRUE(fs::exists(linked));
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

// ffmpeg ends with exit code 0 after it failed to write the trailer or to
// close the file (a full disk, a quota, a file-size limit): the truncated
// file is no output, and --delete-source keeps the source.
TEST_F(Outputs, AFailedFinalWriteFailsTheFileAndKeepsTheSource)
{
    runLimits.FileSize = 40 * 1024; // "ulimit -f 40"
    const std::pair<const char*, const char*> cases[] = {{"mp3", "tone.wav"}, {"mp4", "tiny.avi"}};
    for (const auto& [format, clip] : cases) {
        SCOPED_TRACE(format);
        const std::string source = Source(clip, clip);
        const std::string output = out + fs::path(clip).stem().string() + "." + format;

        const RunResult r = Run(Convert(format, "", {"-y", "--delete-source", source}));

        EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
        EXPECT_CONTAINS(r.Err, "Failed: " + source);
        EXPECT_CONTAINS(r.Err, "File too large");
        EXPECT_TRUE(fs::exists(source));
        EXPECT_FALSE(fs::exists(output));
        EXPECT_TRUE(PartialsIn(out).empty());
    }
}

// Two batches write one output name without -y: the one whose name was
// taken while it converted fails and keeps its source; the other's file stays.
TEST_F(Outputs, ANameTakenDuringTheConversionFailsThatFile)
{
    const std::string slow = Source("long.avi", "race.avi");
    const std::string otherSrc = tmp.dir() + "other/";
    fs::create_directories(otherSrc);
    const std::string quick = otherSrc + "race.avi";
    fs::copy_file(Clips().Path("tiny.avi"), quick);

    Running first = Start(Convert("mp4", "", {"--delete-source", slow}));
    ASSERT_TRUE(WaitForPartialData());
    const RunResult second = Run(Convert("mp4", "", {"--delete-source", quick}));
    ASSERT_EQ(second.Code, 0) << second.Out << second.Err;
    const std::string secondOutput = ReadFile(out + "race.mp4");
    const RunResult r = first.Wait(300s);

    EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
    EXPECT_CONTAINS(r.Err, "Failed: " + slow);
    EXPECT_CONTAINS(r.Err, "created or replaced by another program");
    EXPECT_TRUE(fs::exists(slow));
    EXPECT_FALSE(fs::exists(quick));
    EXPECT_EQ(ReadFile(out + "race.mp4"), secondOutput);
    EXPECT_TRUE(PartialsIn(out).empty());
}

// The encoder replaces an existing output only as its -replace says; the
// "-y" of the option line grants nothing.
TEST_F(Outputs, TheEncoderReplacesOnlyWhatItWasAllowedTo)
{
    const std::string source = Source("tone.wav", "tone.wav");
    const std::string output = out + "tone.mp3";
    struct {
        const char* name;
        std::vector<std::string> grant;
        bool replaced;
    } cases[] = {
        {"-y alone", {}, false},
        {"another file agreed to", {"-replace", "1:1"}, false},
        {"the file there agreed to", {"-replace", "identity"}, true},
        {"any file", {"-replace", "any"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(output, OldContent);
        struct stat st {};
        ASSERT_EQ(lstat(output.c_str(), &st), 0);
        std::vector<std::string> args = {enctest::EncoderPath(), "-p", "5260718", "-i", source, "-y", "-f", "mp3"};
        for (const std::string& g : c.grant)
            args.push_back(g == "identity" ? std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) : g);
        args.push_back(output);

        const enctest::TRunResult r = enctest::RunProgram(args, 120);

        EXPECT_EQ(r.exitCode == 0, c.replaced) << r.output;
        EXPECT_EQ(ReadFile(output) != OldContent, c.replaced) << r.output;
        if (!c.replaced) {
            EXPECT_CONTAINS(r.output, "created or replaced by another program");
        }
        EXPECT_TRUE(PartialsIn(out).empty());
    }
}

// Outputs are regular files: a folder, FIFO, socket or device under the
// output name is refused before any work, by quorvex-cli also with --yes and
// by the encoder also with "-replace any". A symbolic link is replaced as a
// link and its target stays as it was.
TEST_F(Outputs, OutputNamesThatAreNoRegularFilesAreRefused)
{
    for (TSpecialKind kind : AllSpecialKinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        const std::string source = Source("tone.wav", "tone.wav");
        const std::string output = out + "tone.mp3";
        TSpecialFile special(kind, output);
        if (!special.Made()) {
            ASSERT_EQ(kind, TSpecialKind::Device);
            continue;
        }
        const auto type = fs::symlink_status(output).type();

        const RunResult r = Run(Convert("mp3", "", {"--yes", "--delete-source", source}));
        const enctest::TRunResult direct = enctest::RunProgram(
            {enctest::EncoderPath(), "-p", "5260718", "-i", source, "-y", "-f", "mp3", "-replace", "any", output}, 60);

        EXPECT_EQ(r.Code, 2) << r.Out << r.Err;
        EXPECT_CONTAINS(r.Err, "not a regular file");
        EXPECT_NE(direct.exitCode, 0) << direct.output;
        EXPECT_CONTAINS(direct.output, "not a regular file; it is not replaced");
        EXPECT_EQ(fs::symlink_status(output).type(), type);
        EXPECT_TRUE(fs::exists(source));
        EXPECT_TRUE(PartialsIn(out).empty());
    }

    const std::string source = Source("tone.wav", "tone.wav");
    const std::string target = src + "target.mp3";
    WriteFile(target, OldContent);
    fs::create_symlink(target, out + "tone.mp3");
    const RunResult r = Run(Convert("mp3", "", {"--yes", source}));
    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out + "tone.mp3")));
    EXPECT_EQ(ReadFile(target), OldContent);
}

// Refusals and failures name their cause: an output name over 255 bytes
// before any work, a file where the output folder should be made, an output
// folder removed while the batch runs, too many open files.
TEST_F(Outputs, MessagesNameTheCause)
{
    {
        const std::string source = Source("tone.wav", std::string(252, 'n') + ".au"); // 255 bytes; "...mp3" 256
        const RunResult r = Run(Convert("mp3", "", {"-y", "--delete-source", source}));
        EXPECT_EQ(r.Code, 2) << r.Out << r.Err;
        EXPECT_CONTAINS(r.Err, "longer than the 255 bytes");
        EXPECT_TRUE(fs::exists(source));
        EXPECT_TRUE(fs::is_empty(out));
    }
    {
        WriteFile(tmp.file("in-the-way"), "a file");
        std::vector<std::string> args = Convert("mp3", "", {"-y", Source("tone.wav", "tone.wav")});
        args[5] = tmp.file("in-the-way") + "/sub"; // the value of -o
        const RunResult r = Run(args);
        EXPECT_EQ(r.Code, 2) << r.Out << r.Err;
        EXPECT_CONTAINS(r.Err, "\"" + tmp.file("in-the-way") + "\" is a file, not a folder");
    }
    {
        const std::string slow = Source("long.avi", "long.avi"), next = Source("tiny.avi", "next.avi");
        Running run = Start(Convert("mp4", "", {"-j", "1", "--delete-source", slow, next}));
        ASSERT_TRUE(WaitForPartialData());
        fs::remove_all(out);
        const RunResult r = run.Wait(300s);
        EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
        EXPECT_CONTAINS(r.Err, "the output folder '" + out + "' was removed during the conversion");
        EXPECT_CONTAINS(r.Err, "(the output folder '" + out + "' no longer exists)");
        EXPECT_TRUE(fs::exists(slow));
        EXPECT_TRUE(fs::exists(next));
        fs::create_directories(out);
    }
    {
        std::vector<std::string> args = Convert("mp3", "", {"-j", "6"});
        for (int i = 0; i < 6; ++i)
            args.push_back(Source("tone.wav", "many" + std::to_string(i) + ".wav"));
        runLimits.OpenFiles = 24;
        const RunResult r = Run(args);
        runLimits.OpenFiles = 0;
        EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
        EXPECT_CONTAINS(r.Err, "(Too many open files)");
    }
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
