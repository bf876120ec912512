// quorvex-cli run as a program, with the real encoder, on files made with
// ffmpeg. Every test works on its own copy of the built program folder, so
// options.ini, profiles and scripts stay inside its temporary folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <optional>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/Settings.h"
#include "cmdline/OptionDetails.h"
#include "engine/Redirect.h"
#include "lang/MultiLanguages.h"
#include "support/EndToEnd.h"
#include "support/SmallDisk.h"

#include <sys/stat.h>

using namespace qvtest;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Source clips, made once: tiny ones to convert, a longer one to interrupt,
// one whose video codec no decoder knows (described by the media library,
// refused by the encoder), and a text file named like a video.
class Clips {
public:
    Clips()
    {
        ok = MakeClip(Path("tiny.avi"), "160x120", 15, "1.5") &&
             MakeClip(Path("long.avi"), "640x480", 25, "60", {"-q:v", "5"}) &&
             MakeMedia(JoinArgs({SineTone("1"), {"-c:a", "libmp3lame", Path("tone.mp3")}})) &&
             // Loudness: quiet noise with headroom (one gain fits), and a
             // tone with short loud clicks (the gain needs limiting).
             MakeMedia({"-f", "lavfi", "-i", "anoisesrc=color=pink:amplitude=0.05:duration=4:seed=7", Path("quiet.wav")}) &&
             MakeMedia({"-f", "lavfi", "-i", "anoisesrc=color=pink:amplitude=0.1:duration=3:seed=9", Path("louder.wav")}) &&
             MakeMedia({"-f", "lavfi", "-i",
                        "aevalsrc=0.1*sin(2*PI*440*t)+if(lt(mod(t\\,0.5)\\,0.002)\\,0.7\\,0):d=4",
                        Path("spiky.wav")});
        if (!ok)
            return;
        WriteDamagedCopy(Path("tiny.avi"), Path("damaged.avi"));
        WriteFile(Path("letter.avi"), "Dear reader, this is no film.\n");
    }
    std::string Path(const std::string& name) const { return dir.file(name); }
    bool ok = false;

private:
    TempDir dir;
};

Clips& Samples()
{
    static Clips clips;
    return clips;
}

// Integrated loudness (LUFS) and true peak (dBTP) of a file's sound, by
// ffmpeg's own meter; NaN when it could not measure.
struct Loudness {
    double I = NAN;
    double Peak = NAN;
};
Loudness Meter(const std::string& file)
{
    const std::string command = "ffmpeg -hide_banner -nostats -nostdin -i " + Quoted(file) +
                                " -map 0:a:0 -af ebur128=peak=true:framelog=verbose -f null - 2>&1";
    std::string text;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
            text.append(buf, n);
        pclose(p);
    }
    Loudness l;
    const size_t summary = text.rfind("Summary:");
    if (summary == std::string::npos)
        return l;
    auto after = [&](const std::string& label) {
        const size_t at = text.find(label, summary);
        return at == std::string::npos ? NAN : std::strtod(text.c_str() + at + label.size(), nullptr);
    };
    l.I = after("I:");
    l.Peak = after("Peak:");
    return l;
}

// The encoder started by a run, once it runs (its own process group).
std::optional<pid_t> WaitForEncoder(const Running& run)
{
    std::optional<pid_t> encoder;
    WaitFor([&] { return (encoder = ChildNamed(run.Pid(), "avcore.dll")).has_value(); }, 60s);
    return encoder;
}

class CliProgram : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ResetCatalogue();
        if (!Samples().ok)
            GTEST_SKIP() << "ffmpeg cannot make the sample clips";
        ASSERT_NO_FATAL_FAILURE(CopyProgram());
        ASSERT_TRUE(fs::exists(app + "avcore.dll"));
        // A profile of our own, so that shipped profiles do not change the results.
        profile = app + "langs/English_Profile/avi/Test Tiny.avo";
        WriteFile(profile, "[General]\nDescription=tests\n");
        WriteOptions("OutputFormat=0\nLastOutputOpenDir=" + tmp.dir() + "default-out\n");
        out = tmp.dir() + "out/";
        src = tmp.dir() + "src/";
        fs::create_directories(out);
        fs::create_directories(src);
    }

    // A copy of a sample under a new name in the source folder.
    std::string Source(const std::string& sample, const std::string& name)
    {
        const std::string path = src + name;
        fs::copy_file(Samples().Path(sample), path, fs::copy_options::overwrite_existing);
        return path;
    }

    // Conversion arguments with our profile into the output folder.
    std::vector<std::string> Convert(std::vector<std::string> extra)
    {
        std::vector<std::string> args = {"-f", "avi", "-p", "test tiny", "-o", out};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    static bool NonEmptyFile(const std::string& path)
    {
        std::error_code ec;
        return fs::is_regular_file(path, ec) && fs::file_size(path, ec) > 0;
    }

    std::string profile, out, src;
};


TEST_F(CliProgram, BatchOfThreeWithADamagedSecondConvertsTheOthersAndReportsIt)
{
    const std::string first = Source("tiny.avi", "first.avi");
    const std::string second = Source("damaged.avi", "second.avi");
    const std::string third = Source("tone.mp3", "third.mp3");

    const RunResult r = Run(Convert({"--delete-source", first, second, third}));

    EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
    EXPECT_TRUE(NonEmptyFile(out + "first.avi"));
    EXPECT_TRUE(NonEmptyFile(out + "third.avi"));
    EXPECT_FALSE(fs::exists(out + "second.avi")) << "an empty output of a failed file goes";
    EXPECT_CONTAINS(r.Out, "Converted: " + first + " -> " + out + "first.avi");
    EXPECT_CONTAINS(r.Err, "Failed: " + second + "\n  Error");
    EXPECT_CONTAINS(r.Err, "At least one error occurred.");
    EXPECT_CONTAINS(r.Out, "2 of 3 files converted, 1 failed.");
    // --delete-source: converted sources go, the source of the failed file stays.
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(second));
    EXPECT_FALSE(fs::exists(third));
}

// --trash-source: converted sources go to the Trash (here one inside the
// test's folder), the failed file's stays; with no usable trash the source
// stays too, the file counts as converted and a note says why.
TEST_F(CliProgram, TrashSourceMovesConvertedSourcesToTheTrashOrKeepsThem)
{
    const std::string data = tmp.dir() + "data";
    std::optional<std::string> oldData;
    if (const char* v = std::getenv("XDG_DATA_HOME"))
        oldData = v;
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    struct TRestore {
        std::optional<std::string>& old;
        ~TRestore() { old ? setenv("XDG_DATA_HOME", old->c_str(), 1) : unsetenv("XDG_DATA_HOME"); }
    } restore{oldData};

    const std::string first = Source("tiny.avi", "first.avi");
    const std::string second = Source("damaged.avi", "second.avi");
    RunResult r = Run(Convert({"--trash-source", first, second}));
    EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(NonEmptyFile(data + "/Trash/files/first.avi"));
    EXPECT_TRUE(fs::exists(data + "/Trash/info/first.avi.trashinfo"));
    EXPECT_TRUE(fs::exists(second));

    fs::remove_all(data);
    WriteFile(data, "a file where the trash would be made");
    const std::string third = Source("tiny.avi", "third.avi");
    r = Run(Convert({"--trash-source", third}));
    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_TRUE(fs::exists(third));
    EXPECT_TRUE(NonEmptyFile(out + "third.avi"));
    EXPECT_CONTAINS(r.Out, "  Note: The source was kept: it could not be moved to the Trash (");
}

TEST_F(CliProgram, AwkwardNamesReachTheEncoderUnchanged)
{
    // Quotes, "%" directives, a leading "-", a backslash, blanks and
    // non-ASCII letters, converted into a folder whose name holds "%".
    const std::vector<std::string> names = {
        "-starts with dash.avi", "say \"cheese\".avi", "100% %s %d %%.avi", "back\\slash 'single'.avi",
        "Grüße ½.avi",
    };
    out = tmp.dir() + "100% done/";
    fs::create_directories(out);
    std::vector<std::string> args = Convert({"--"});
    for (const auto& name : names) {
        Source("tiny.avi", name);
        args.push_back(name); // relative to the working folder
    }

    const RunResult r = Run(args, src);

    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    for (const auto& name : names)
        EXPECT_TRUE(NonEmptyFile(out + name)) << name << "\n" << r.Out << r.Err;
    EXPECT_CONTAINS(r.Out, "5 of 5 files converted, 0 failed.");
    EXPECT_CONTAINS(r.Out, "Conversion complete!");
}

TEST_F(CliProgram, KilledEncoderCountsAsFailedAndTheBatchGoesOn)
{
    const std::string victim = Source("long.avi", "victim.avi");
    const std::string after = Source("tiny.avi", "after.avi");

    Running run = Start(Convert({"--delete-source", victim, after}));
    const auto encoder = WaitForEncoder(run);
    ASSERT_TRUE(encoder) << "no encoder appeared";
    // The encoder and whatever it started form one process group of their own.
    kill(-*encoder, SIGKILL);
    const RunResult r = run.Wait();

    EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
    EXPECT_CONTAINS(r.Err, "Failed: " + victim);
    EXPECT_CONTAINS(r.Err, "signal 9");
    EXPECT_TRUE(fs::exists(victim)) << "a killed conversion must keep its source";
    EXPECT_TRUE(NonEmptyFile(out + "after.avi"));
    EXPECT_FALSE(fs::exists(after));
    EXPECT_EQ(LivingInGroup(*encoder), 0);
}

TEST_F(CliProgram, InterruptStopsTheEncoderAndKeepsTheSource)
{
    const std::string stopped = Source("long.avi", "stopped.avi");
    const std::string waiting = Source("tiny.avi", "waiting.avi");

    const std::string report = tmp.file("report.jsonl");

    Running run = Start(Convert({"--delete-source", "--report", report, stopped, waiting}));
    const auto encoder = WaitForEncoder(run);
    ASSERT_TRUE(encoder) << "no encoder appeared";
    kill(run.Pid(), SIGINT);
    const RunResult r = run.Wait(60s);

    EXPECT_EQ(r.Code, 130) << r.Out << r.Err;
    // Both files have their line: the one converting and the one never started.
    EXPECT_TRUE(Shell("jq -e -s --arg a " + Quoted(stopped) + " --arg b " + Quoted(waiting) +
                      " 'map(select(.status == \"stopped\" and .reason != \"\")) | map(.source) == [$a, $b]' " +
                      Quoted(report) + " >/dev/null"))
        << ReadFile(report);
    EXPECT_TRUE(fs::exists(stopped));
    EXPECT_TRUE(fs::exists(waiting));
    EXPECT_FALSE(fs::exists(out + "waiting.avi"));
    EXPECT_CONTAINS(r.Err, "Stopped: " + stopped);
    EXPECT_EQ(r.Out.find("Conversion complete!"), std::string::npos);
    EXPECT_EQ(LivingInGroup(*encoder), 0) << "the encoder must not outlive the stop";
}

TEST_F(CliProgram, ChecksSkipBadFilesAndConvertTheRest)
{
    const std::string good = Source("tiny.avi", "good.avi");
    const std::string letter = Source("letter.avi", "letter.avi");
    const std::string notes = src + "notes.txt";
    WriteFile(notes, "not media");
    const std::string missing = src + "missing.avi";

    const RunResult r = Run(Convert({missing, letter, good, notes, src}));

    EXPECT_EQ(r.Code, 2) << r.Out << r.Err;
    EXPECT_TRUE(NonEmptyFile(out + "good.avi"));
    EXPECT_CONTAINS(r.Err, "The file \"" + missing + "\" couldn't be found.");
    for (const auto& bad : {letter, notes, src.substr(0, src.size() - 1)})
        EXPECT_CONTAINS(r.Err, "An error occurred while adding file:\n\nThe file \"" + bad +
                                   "\" is damaged or the format is not supported.");
    EXPECT_CONTAINS(r.Out, "1 of 1 files converted, 0 failed.");
}

TEST_F(CliProgram, ExistingOutputsAreOverwrittenOnlyWithYes)
{
    const std::string source = Source("tiny.avi", "clip.avi");
    WriteFile(out + "clip.avi", "older output");

    RunResult r = Run(Convert({source}));
    EXPECT_EQ(r.Code, 2) << r.Out << r.Err;
    EXPECT_EQ(ReadFile(out + "clip.avi"), "older output");
    EXPECT_CONTAINS(r.Err, "File \"" + out + "clip.avi\" already exists.");
    EXPECT_CONTAINS(r.Err, "--yes");

    r = Run(Convert({"-y", source}));
    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_NE(ReadFile(out + "clip.avi"), "older output");
}

// A folder as a source: its media files below it, mirrored under the output
// folder; a cover picture, hidden files, a link loop and the output folder
// inside it change nothing, not even the exit status.
TEST_F(CliProgram, FolderIsWalkedAndMirroredIntoTheOutputFolder)
{
    const std::string album = src + "Album/";
    fs::create_directories(album + "cd2");
    fs::create_directories(album + "out");
    Source("tone.mp3", "Album/b.mp3");
    Source("tone.mp3", "Album/cd2/a.mp3");
    Source("tone.mp3", "Album/.hidden.mp3");
    WriteFile(album + "cover.jpg", "not a picture either");
    fs::create_directory_symlink("..", album + "cd2/loop");
    fs::create_symlink(Samples().Path("tone.mp3"), album + "linked.mp3");
    const std::string inner = album + "out/";
    Source("tone.mp3", "Album/out/old.mp3"); // the output folder's own files are no sources

    const RunResult r = Run({"-f", "avi", "-p", "test tiny", "-o", inner, "-r", album});

    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_CONTAINS(r.Out, "3 of 3 files converted, 0 failed.");
    for (const char* output : {"Album/b.avi", "Album/cd2/a.avi", "Album/linked.avi"})
        EXPECT_TRUE(NonEmptyFile(inner + output)) << output;
    std::vector<std::string> made;
    for (const auto& e : fs::recursive_directory_iterator(inner))
        made.push_back(e.path().string().substr(inner.size()));
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made, (std::vector<std::string>{"Album", "Album/b.avi", "Album/cd2", "Album/cd2/a.avi",
                                               "Album/linked.avi", "old.mp3"}));
    // In order of the relative path.
    EXPECT_LT(r.Out.find("Album/b.mp3"), r.Out.find("Album/cd2/a.mp3"));
    EXPECT_LT(r.Out.find("Album/cd2/a.mp3"), r.Out.find("Album/linked.mp3"));
}

// --existing: skip resumes (and starts no encoder for a file that is done),
// number never replaces and reports the name it wrote, one output name for
// two sources is fine with numbers.
TEST_F(CliProgram, ExistingOutputPolicies)
{
    const std::string clip = Source("tone.mp3", "clip.mp3");
    RunResult r = Run(Convert({clip}));
    ASSERT_EQ(r.Code, 0) << r.Out << r.Err;
    const std::string first = ReadFile(out + "clip.avi");

    for (int n : {2, 3}) {
        r = Run(Convert({"--existing", "number", clip}));
        EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
        const std::string numbered = out + "clip (" + std::to_string(n) + ").avi";
        EXPECT_CONTAINS(r.Out, "Converted: " + clip + " -> " + numbered + "\n");
        EXPECT_TRUE(NonEmptyFile(numbered));
    }
    EXPECT_EQ(ReadFile(out + "clip.avi"), first);

    // Two sources of one output name, numbered: each keeps its output.
    const std::string twin = Source("tiny.avi", "clip.avi");
    r = Run(Convert({"--existing=number", "--delete-source", clip, twin}));
    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_TRUE(NonEmptyFile(out + "clip (4).avi"));
    EXPECT_TRUE(NonEmptyFile(out + "clip (5).avi"));
    EXPECT_EQ(ReadFile(out + "clip.avi"), first);
    EXPECT_FALSE(fs::exists(clip)) << "the source rule follows the name written";
    EXPECT_FALSE(fs::exists(twin));

    // A re-run with skip starts no encoder at all.
    const std::string again = Source("tone.mp3", "clip.mp3");
    const std::string marker = tmp.dir() + "encoder-ran";
    WriteFile(app + "avcore.dll", "#!/bin/sh\ntouch '" + marker + "'\nexit 1\n");
    fs::permissions(app + "avcore.dll", fs::perms::owner_all);
    r = Run(Convert({"--existing", "skip", "-y", again}));
    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_CONTAINS(r.Out, "Skipped: " + again + "\n  \"" + out + "clip.avi\" exists and is kept.");
    EXPECT_CONTAINS(r.Out, "0 of 1 files converted, 0 failed, 1 skipped.");
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_EQ(ReadFile(out + "clip.avi"), first);
}

// Names from a template and the source's tags, beside the source too.
TEST_F(CliProgram, TemplateNamesAndOutputsBesideTheSource)
{
    const std::string tagged = src + "tagged.mp3";
    ASSERT_TRUE(MakeMedia(JoinArgs({SineTone("1"),
                                    {"-metadata", "artist=AC/DC", "-metadata", "album=Live: 1979", "-metadata",
                                     "title=Why?", "-metadata", "track=3/9", "-c:a", "libmp3lame", tagged}})));
    const std::string plain = Source("tone.mp3", "plain.mp3");
    RunResult r = Run(Convert({"--name", "{artist}/{album}/{track} {title}", tagged, plain}));
    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_TRUE(NonEmptyFile(out + "AC_DC/Live_ 1979/03 Why_.avi")) << r.Out;
    EXPECT_TRUE(NonEmptyFile(out + "Unknown Artist/Unknown Album/00 plain.avi")) << r.Out;

    // Beside the source: no output folder; an AVI made from an AVI would be
    // the source itself and is skipped with a message.
    const std::string avi = Source("tiny.avi", "movie.avi");
    r = Run({"-f", "avi", "-p", "test tiny", "--same-folder", avi, plain});
    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_CONTAINS(r.Out, "Skipped: " + avi + "\n  \"" + avi + "\" is skipped: its output would be the file itself.");
    EXPECT_TRUE(NonEmptyFile(src + "plain.avi"));
    EXPECT_CONTAINS(r.Out, "1 of 2 files converted, 0 failed, 1 skipped.");
}

// An output folder nothing can be written into is refused before any file
// starts, with the system's reason instead of a hidden temporary name.
TEST_F(CliProgram, UnwritableOutputFolderIsRefusedWithTheReason)
{
    const std::string source = Source("tiny.avi", "clip.avi");
    const std::string locked = tmp.dir() + "locked", readOnly = tmp.dir() + "read-only";
    fs::create_directories(locked);
    chmod(locked.c_str(), 0555);
    TSmallDisk disk(readOnly, "1m", /*readOnly=*/true);
    const struct {
        const char* name;
        std::string folder;
        std::string skipWhy; // why the row cannot be tried here, "" when it can
        const char* reason;
    } cases[] = {
        {"no permission", locked, access(locked.c_str(), W_OK) == 0 ? "root writes anyway" : "",
         "you have no permission to write there (Permission denied)"},
        {"read-only file system", readOnly, disk.Mounted() ? "" : disk.Why(),
         "it is on a read-only file system (Read-only file system)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.skipWhy.empty()) {
            std::cout << "[  SKIPPED ] " << c.name << ": " << c.skipWhy << "\n";
            continue;
        }
        std::vector<std::string> args = {"-f", "avi", "-p", "test tiny", "-o", c.folder, source};
        const RunResult r = Run(args);
        EXPECT_EQ(r.Code, 2) << r.Out << r.Err;
        EXPECT_CONTAINS(r.Err, "Nothing can be written into the output folder \"" + c.folder + "\": " + c.reason);
        EXPECT_EQ(r.Err.find("qvpart"), std::string::npos) << r.Err;
        EXPECT_EQ(r.Out.find("Converted"), std::string::npos) << r.Out;
        EXPECT_TRUE(fs::exists(source));
        EXPECT_TRUE(fs::is_empty(c.folder));
    }
    chmod(locked.c_str(), 0755);
}

TEST_F(CliProgram, RefusesWithoutAFormatOrProfile)
{
    struct {
        const char* Name;
        std::string Options;
        std::vector<std::string> Args;
        const char* ErrorPart;
    } cases[] = {
        {"no format stored", "OutputFormat=22\n", {"--list-profiles"}, "No output format is chosen"},
        {"no format for a batch", "OutputFormat=22\n", {Samples().Path("tiny.avi")}, "No output format is chosen"},
        {"unknown profile", "OutputFormat=0\n", {"-p", "Nope", "--print-options"}, "no AVI profile named \"Nope\""},
        {"empty profile folder", "OutputFormat=13\n", {"--print-options"}, "no MP3 profile in"},
        {"missing profile file", "OutputFormat=0\n", {"--profile-file", "/no/such.avo", "--print-options"},
         "profile file \"/no/such.avo\" not found"},
    };
    // An empty folder is filled from the shipped copy; without one it stays empty.
    fs::remove_all(app + "langs/English_Profile/mp3");
    fs::remove_all(app + "shipped");
    for (const auto& c : cases) {
        WriteOptions(c.Options);
        const RunResult r = Run(c.Args);
        EXPECT_EQ(r.Code, 2) << c.Name;
        EXPECT_CONTAINS(r.Err, c.ErrorPart);
    }
}

TEST_F(CliProgram, PrintOptionsPrintsTheExactOptionLine)
{
    // Each format with an empty profile: the line the option builders give,
    // trailing blank included.
    const std::pair<const char*, int> formats[] = {{"avi", 0}, {"mp4", 1}, {"3gp", 2}, {"mp3", 13}, {"wav", 15}};
    const std::string file = tmp.file("empty profile.ini");
    WriteFile(file, "[General]\n");
    for (const auto& [name, format] : formats) {
        Options.OutputFormat = static_cast<uint8_t>(format);
        std::string expected;
        BuildEncoderOptions(file, expected);
        ASSERT_FALSE(expected.empty());
        ASSERT_EQ(expected.back(), ' ');

        const RunResult r = Run({"-f", name, "--profile-file", file, "--print-options"});
        EXPECT_EQ(r.Code, 0) << name << r.Err;
        EXPECT_EQ(r.Out, expected + "\n") << name;
    }
    Options = TOptions{};
}

TEST_F(CliProgram, WithoutDashPTheRememberedThenTheDefaultProfileIsUsed)
{
    // The shipped WAV profiles sort "8-bit mono 22050 Hz" before "Default".
    const std::string wav = app + "langs/English_Profile/wav/";
    ASSERT_TRUE(fs::exists(wav + "8-bit mono 22050 Hz.wao"));
    ASSERT_TRUE(fs::exists(wav + "Default.wao"));
    const struct {
        const char* Name;
        std::string Options;
        const char* Expected; // the profile whose line is printed
    } cases[] = {
        {"nothing remembered", "OutputFormat=15\n", "Default"},
        {"remembered", "OutputFormat=15\nLastProfile15=8-bit mono 22050 Hz\n", "8-bit mono 22050 Hz"},
        {"remembered name deleted since", "OutputFormat=15\nLastProfile15=Gone\n", "Default"},
        {"another format's memory", "OutputFormat=15\nLastProfile13=8-bit mono 22050 Hz\n", "Default"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteOptions(c.Options);
        const std::string before = ReadFile(app + "options.ini");
        Options.OutputFormat = 15;
        std::string expected;
        BuildEncoderOptions(wav + c.Expected + ".wao", expected);
        const RunResult r = Run({"--print-options"});
        EXPECT_EQ(r.Code, 0) << r.Err;
        EXPECT_EQ(r.Out, expected + "\n");
        EXPECT_EQ(ReadFile(app + "options.ini"), before) << "only the window remembers a choice";
    }
    Options = TOptions{};
}

TEST_F(CliProgram, PrintCommandsQuotesNamesByTheRunnersRule)
{
    const std::string odd = Source("tiny.avi", "say \"hi\" \\ 5% -x.avi");
    const RunResult r = Run(Convert({"--print-commands", odd}));
    ASSERT_EQ(r.Code, 0) << r.Err;
    ASSERT_FALSE(r.Out.empty());
    const std::vector<std::string> args = SplitCommandLine(r.Out.substr(0, r.Out.size() - 1));
    ASSERT_GE(args.size(), 6u) << r.Out;
    EXPECT_EQ(args[0], app + "avcore.dll");
    EXPECT_EQ(args[1], "-p");
    EXPECT_EQ(args[2], "5260718");
    EXPECT_EQ(args[3], "-i");
    EXPECT_EQ(args[4], odd);
    EXPECT_EQ(args.back(), out + "say \"hi\" \\ 5% -x.avi");
    EXPECT_FALSE(fs::exists(out + "say \"hi\" \\ 5% -x.avi")) << "printing converts nothing";
}

TEST_F(CliProgram, InfoPrintsEveryFactAsNameTabValue)
{
    const std::string clip = Samples().Path("tiny.avi");
    const std::string tone = Samples().Path("tone.mp3");
    const RunResult r = Run({"--info", clip, tone, tmp.file("nothing.avi")});
    EXPECT_EQ(r.Code, 2) << "a missing file fails the check";
    EXPECT_CONTAINS(r.Err, "couldn't be found");

    // Two blocks of "name<TAB>value" lines, a blank line between them.
    const std::string facts = "FileName FilePath CompleteName FileSize FormatName PlayTime AudioCount VideoCount "
                              "VideoCodec Width Height VideoBitrate AspectRatio FrameRate AudioCodec AudioBitrate "
                              "Channels SamplingRate";
    std::string names[2], width[2], bitrate[2];
    int block = 0;
    std::istringstream lines(r.Out);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) {
            ++block;
            continue;
        }
        ASSERT_LT(block, 2) << r.Out;
        const auto tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        const std::string name = line.substr(0, tab), value = line.substr(tab + 1);
        EXPECT_FALSE(value.empty()) << name;
        names[block] += (names[block].empty() ? "" : " ") + name;
        if (name == "Width")
            width[block] = value;
        if (name == "VideoBitrate")
            bitrate[block] = value;
    }
    EXPECT_EQ(names[0], facts);
    EXPECT_EQ(names[1], facts);
    EXPECT_CONTAINS(r.Out, "CompleteName\t" + clip + "\n");
    EXPECT_EQ(width[0], "160");
    EXPECT_NE(bitrate[0], "<None>") << "the video bitrate of a real video";
    // Scripts get the raw figures, not the window's readable forms.
    EXPECT_TRUE(std::all_of(bitrate[0].begin(), bitrate[0].end(), ::isdigit)) << bitrate[0];
    EXPECT_EQ(r.Out.find("kbit/s"), std::string::npos);
    EXPECT_EQ(r.Out.find(" kHz"), std::string::npos);
    EXPECT_EQ(r.Out.find(" fps"), std::string::npos);
    EXPECT_EQ(width[1], "<None>") << "a sound file has no width";
}

// One linear gain: the output meets the target, its figures are under its
// "Converted:" line and no note is made (nothing was adjusted).
TEST_F(CliProgram, LoudnessLinearGainMeetsTheTargetAndReportsTheFigures)
{
    const std::string quiet = Source("quiet.wav", "quiet.wav");
    const RunResult r = Run({"-f", "wav", "-o", out, "--loudness", "ebu", quiet});
    ASSERT_EQ(r.Code, 0) << r.Out << r.Err;
    const Loudness l = Meter(out + "quiet.wav");
    EXPECT_NEAR(l.I, -23, 0.5) << r.Out;
    EXPECT_LE(l.Peak, -1.0);
    EXPECT_CONTAINS(r.Out, "Converted: " + quiet + " -> " + out + "quiet.wav\n  Loudness: measured ");
    EXPECT_CONTAINS(r.Out, "dB (linear); reached -23.0 LUFS");
    EXPECT_EQ(r.Out.find("Note:"), std::string::npos) << r.Out;
}

// Peaks that one gain would push past the ceiling: limited, not left to
// clip and not normalised dynamically; the note says so with the figures.
TEST_F(CliProgram, LoudnessLimitedKeepsTheCeilingAndReachesTheTarget)
{
    const std::string spiky = Source("spiky.wav", "spiky.wav");
    for (const char* format : {"wav", "mp3"}) {
        const RunResult r = Run({"-f", format, "-o", out, "-y", "--loudness", "-18", "--true-peak", "-1", spiky});
        ASSERT_EQ(r.Code, 0) << r.Out << r.Err;
        const Loudness l = Meter(out + "spiky." + format);
        EXPECT_NEAR(l.I, -18, 0.5) << format << "\n" << r.Out;
        // Lossy coding may add up to half a decibel.
        EXPECT_LE(l.Peak, std::string(format) == "wav" ? -1.0 + 0.05 : -0.5) << format << "\n" << r.Out;
        EXPECT_CONTAINS(r.Out, "(limited)");
        EXPECT_CONTAINS(r.Out, "  Note: peaks limited by ");
    }
}

// Album mode from a profile made with --set: the folder's files are measured
// as one programme and get one gain, so their difference stays; two jobs
// share the one measurement. --loudness off overrides the profile.
TEST_F(CliProgram, LoudnessAlbumGivesTheFolderOneGainAndOffOverridesTheProfile)
{
    const std::string quiet = Source("quiet.wav", "a.wav");
    const std::string louder = Source("louder.wav", "b.wav");
    const RunResult add = Run({"-f", "wav", "--add-profile", "Album", "--set", "NormaliseLoudness=1", "--set",
                               "LoudnessAlbumMode=1", "--set", "LoudnessTarget=-200", "--set", "TruePeakCeiling=-20"});
    ASSERT_EQ(add.Code, 0) << add.Err;
    const RunResult shown = Run({"-f", "wav", "--show-profile", "-p", "Album"});
    EXPECT_CONTAINS(shown.Out, "NormaliseLoudness=1\nLoudnessTarget=-200\nTruePeakCeiling=-20\nLoudnessAlbumMode=1\n");
    const RunResult bad = Run({"-f", "wav", "--edit-profile", "Album", "--set", "TruePeakCeiling=5"});
    EXPECT_EQ(bad.Code, 2);
    EXPECT_CONTAINS(bad.Err, "\"TruePeakCeiling\" needs tenths of dBTP from -90 to 0");

    const RunResult r = Run({"-f", "wav", "-p", "Album", "-o", out, "-j", "2", quiet, louder});
    ASSERT_EQ(r.Code, 0) << r.Out << r.Err;
    const Loudness a = Meter(out + "a.wav"), b = Meter(out + "b.wav");
    const Loudness sa = Meter(quiet), sb = Meter(louder);
    EXPECT_NEAR(a.I - sa.I, b.I - sb.I, 0.1) << "one gain for both\n" << r.Out;
    EXPECT_GT(a.I - sa.I, 5) << r.Out;
    EXPECT_LE(std::max(a.Peak, b.Peak), -2.0 + 0.05);
    // Both files tell the folder's figures.
    const size_t first = r.Out.find("(one gain for the folder)");
    ASSERT_NE(first, std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("(one gain for the folder)", first + 1), std::string::npos) << r.Out;

    const RunResult off = Run({"-f", "wav", "-p", "Album", "-o", out, "-y", "--loudness", "off", quiet});
    ASSERT_EQ(off.Code, 0) << off.Err;
    EXPECT_NEAR(Meter(out + "a.wav").I, sa.I, 0.5) << "no gain (the profile's would be 20 dB)";
    EXPECT_EQ(off.Out.find("Loudness:"), std::string::npos) << off.Out;
}

} // namespace

// A batch split into three runs sharing one report: every file is converted
// by exactly one run, each file has exactly one report line that jq reads
// (a name that is no UTF-8 as the console writes it), a file that fails the
// checks is reported skipped by one run only, and a failed one names why.
TEST_F(CliProgram, ShardsSplitABatchAndShareOneReport)
{
    std::vector<std::string> sources;
    for (const char* name : {"s1.avi", "s2.avi", "s3.avi", "s4.avi", "s5.avi", "caf\xE9.avi"})
        sources.push_back(Source("tiny.avi", name));
    const std::string broken = Source("damaged.avi", "broken.avi");
    const std::string gone = src + "gone.avi";
    const std::string report = tmp.file("report.jsonl");

    int converted = 0;
    for (int k = 1; k <= 3; ++k) {
        std::vector<std::string> args = Convert({"--shard", std::to_string(k) + "/3", "--report", report});
        args.insert(args.end(), sources.begin(), sources.end());
        args.push_back(broken);
        args.push_back(gone);
        const RunResult r = Run(args);
        EXPECT_EQ(r.Code, 2) << "the missing file is named by every run\n" << r.Out << r.Err;
        EXPECT_CONTAINS(r.Err, "gone.avi");
        for (size_t at = 0; (at = r.Out.find("Converted: ", at)) != std::string::npos; ++at)
            ++converted;
    }
    EXPECT_EQ(converted, 6);
    for (const std::string& s : sources)
        EXPECT_TRUE(NonEmptyFile(out + fs::path(s).filename().string())) << s;

    // jq over the whole report (slurped), its output as text.
    const auto query = [&](const std::string& filter) {
        const std::string file = tmp.file("jq-out");
        if (!Shell("jq -r -s " + Quoted(filter) + " " + Quoted(report) + " > " + Quoted(file) + " 2>&1"))
            return "jq failed: " + ReadFile(file);
        return ReadFile(file);
    };
    EXPECT_EQ(query("length"), "8\n") << ReadFile(report);
    EXPECT_EQ(query("map(select(.status == \"converted\" and .seconds >= 0 and (.shard | test(\"^[123]/3$\")) "
                    "and .reason == \"\")) | map(.source) | sort | .[]"),
              src + "caf\\xE9.avi\n" + src + "s1.avi\n" + src + "s2.avi\n" + src + "s3.avi\n" + src + "s4.avi\n" +
                  src + "s5.avi\n");
    EXPECT_EQ(query("map(select(.status == \"converted\")) | map(.output) | sort | .[0]"), out + "caf\\xE9.avi\n");
    EXPECT_EQ(query("map(select(.status == \"failed\" and .reason != \"\" and .seconds >= 0)) | map(.source) | .[]"),
              broken + "\n");
    EXPECT_EQ(query("map(select(.status == \"skipped\" and .seconds == null and (.reason | test(\"gone.avi\")))) "
                    "| map(.source) | .[]"),
              gone + "\n");
}

// The checks of the whole batch come before the share is taken, so every run
// refuses a batch in which two sources would write one output, also the runs
// whose share holds neither; a run whose share is empty converts nothing and
// succeeds.
TEST_F(CliProgram, EveryShardRefusesAlikeAndAnEmptyShareSucceeds)
{
    fs::create_directories(src + "a");
    fs::create_directories(src + "b");
    const std::string one = Source("tiny.avi", "a/same.avi");
    const std::string two = Source("tiny.avi", "b/same.avi");
    const std::string other = Source("tiny.avi", "other.avi");
    for (int k = 1; k <= 4; ++k) {
        const RunResult r = Run(Convert({"--shard", std::to_string(k) + "/4", one, two, other}));
        EXPECT_EQ(r.Code, 2) << k << "/4\n" << r.Out << r.Err;
        EXPECT_CONTAINS(r.Out + r.Err, "same.avi");
    }
    EXPECT_TRUE(fs::is_empty(out));

    int converted = 0;
    for (int k = 1; k <= 4; ++k) {
        const RunResult r = Run(Convert({"--shard", std::to_string(k) + "/4", other}));
        EXPECT_EQ(r.Code, 0) << k << "/4\n" << r.Out << r.Err;
        if (r.Out.find("1 of 1 files converted, 0 failed.") != std::string::npos)
            ++converted;
        else
            EXPECT_CONTAINS(r.Out, "0 of 0 files converted, 0 failed.");
    }
    EXPECT_EQ(converted, 1);
    EXPECT_TRUE(NonEmptyFile(out + "other.avi"));

    const RunResult bad = Run(Convert({"--shard", "4/3", other}));
    EXPECT_EQ(bad.Code, 2);
    EXPECT_CONTAINS(bad.Err, "--shard needs K/N");
}
