// Names and profile values are data, and failures name their cause: each case
// runs the real quorvex-cli, avcore.dll and ffmpeg on clips made in a
// temporary folder, with a copy of the program folder of its own.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

#include "support/EndToEnd.h"
#include "support/SmallDisk.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

// The clips, made once: two sizes tell apart which source an output came from.
class NameClips {
public:
    NameClips()
    {
        ok = MakeClip(Path("small.avi"), "160x120", 15, "1.5") && MakeClip(Path("large.avi"), "320x240", 15, "1.5") &&
             MakeClip(Path("long.avi"), "640x480", 25, "30", {"-q:v", "3"});
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

class Names : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        if (!Clips().ok)
            GTEST_SKIP() << "ffmpeg cannot make the sample clips";
        ASSERT_NO_FATAL_FAILURE(CopyProgram());
        // The encoder under test, whatever the folder holds.
        fs::copy_file(AVCORE_PATH, app + "avcore.dll", fs::copy_options::overwrite_existing);
        profile = app + "langs/English_Profile/avi/Test Names.avo";
        WriteFile(profile, "[General]\nDescription=tests\n");
        WriteOptions("OutputFormat=0\n");
        src = tmp.dir() + "src/";
        out = tmp.dir() + "out/";
        scratch = tmp.dir() + "scratch/";
        for (const std::string& d : {src, out, scratch})
            fs::create_directories(d);
        // The system's temporary folder of every run is the test's scratch folder.
        runTmpDir = scratch;
    }

    std::string Source(const std::string& clip, const std::string& name, const std::string& folder = "")
    {
        const std::string path = (folder.empty() ? src : folder) + name;
        fs::copy_file(Clips().Path(clip), path, fs::copy_options::overwrite_existing);
        return path;
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

    std::string profile, src, out, scratch;
};

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
    Running a = Start(Convert(small, outSmall));
    Running b = Start(Convert(large, outLarge));
    const RunResult ra = a.Wait(), rb = b.Wait();
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
    const RunResult r = Run(Convert({source}));
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
        RunResult r = Run(Convert({source}));
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
    RunResult r = Run({"--info", source});
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
    const RunResult r = Run(Convert({source}));
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
    // Filled while converting, and full before the first packet.
    for (const bool fullBefore : {false, true}) {
        SCOPED_TRACE(fullBefore);
        if (fullBefore) {
            std::ofstream filler(full + "filler", std::ios::binary);
            const std::string block(64 * 1024, 'x');
            for (int i = 0; i < 64 && filler.write(block.data(), block.size()) && filler.flush(); ++i) {
            }
        }
        const std::string source = Source("long.avi", "long.avi");
        const RunResult r = Run(Convert({source}, full));
        if (fullBefore) {
            // A disk full before the batch is found before any file starts.
            EXPECT_EQ(r.Code, 2) << r.Out << r.Err;
            EXPECT_CONTAINS(r.Err, "its disk is full (No space left on device)");
            EXPECT_EQ(r.Err.find("Failed"), std::string::npos) << r.Err;
            EXPECT_EQ(r.Err.find("qvpart"), std::string::npos) << r.Err;
            EXPECT_TRUE(fs::exists(source));
            EXPECT_FALSE(fs::exists(full + "long.avi"));
            continue;
        }
        EXPECT_EQ(r.Code, 1) << r.Out << r.Err;
        EXPECT_CONTAINS(r.Err, "Failed: " + source);
        const std::string report = r.Err.substr(r.Err.find("Failed: "));
        EXPECT_CONTAINS(report, "No space left on device");
        EXPECT_EQ(report.find("[info]"), std::string::npos) << report;
        EXPECT_TRUE(fs::exists(source));
        EXPECT_FALSE(fs::exists(full + "long.avi"));
    }
}

// A TMPDIR that names no usable folder gives way to /tmp: the files that go
// through a DirectShow script still convert, and no script is left there.
TEST_F(Names, ABadTemporaryFolderFallsBackToTmp)
{
    const std::string aFile = tmp.file("not-a-folder");
    WriteFile(aFile, "");
    const struct {
        const char* name;
        std::string tmpdir;
    } cases[] = {
        {"empty", ""},
        {"missing", tmp.dir() + "missing"},
        {"a file", aFile},
        {"relative", "scratch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // ".rmvb" goes through a script in the temporary folder.
        const std::string source = Source("small.avi", "clip.rmvb");
        fs::remove(out + "clip.avi");
        runTmpDir.clear();
        setenv("TMPDIR", c.tmpdir.c_str(), 1);
        const RunResult r = Run(Convert({source}), tmp.dir());
        unsetenv("TMPDIR");
        EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
        EXPECT_EQ(VideoWidth(out + "clip.avi"), 160);
        EXPECT_TRUE(Leftovers().empty());
    }
}

// Script folders that a killed run left in the temporary folder go with the
// next batch; what is not exactly such a folder of this user, or is held by
// a running batch, stays.
TEST_F(Names, LeftoverScriptFoldersAreSweptOnlyWhenOursAndUnheld)
{
    auto folderWith = [&](const std::string& name, const std::vector<std::string>& files) {
        const std::string folder = scratch + name + "/";
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
        for (const std::string& f : files)
            WriteFile(folder + f, "DirectShowSource(\"x.avi\")\n");
        return folder;
    };
    const std::string left = folderWith("quorvex-Ab3xY9", {"DirectShow.avs"});
    const std::string alsoLeft = folderWith("quorvex-000000", {"DirectShow.avs"});
    const std::string held = folderWith("quorvex-Held01", {"DirectShow.avs"});
    const std::string more = folderWith("quorvex-More01", {"DirectShow.avs", "notes.txt"});
    const std::string other = folderWith("quorvex-Other1", {"source.avi"});
    const std::string empty = folderWith("quorvex-Empty1", {});
    const std::string longer = folderWith("quorvex-Longer12", {"DirectShow.avs"});
    const std::string plain = folderWith("myfolder-Ab3xY9", {"DirectShow.avs"});
    const std::string target = folderWith("target", {"DirectShow.avs"});
    fs::create_directory_symlink(target, scratch + "quorvex-Link01");
    fs::create_directory(scratch + "quorvex-Dir001");
    fs::create_directory(scratch + "quorvex-Dir001/DirectShow.avs");
    // A running batch holds its script's folder locked.
    const int lock = open(held.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);

    const RunResult r = Run(Convert({Source("small.avi", "clip.avi")}));
    close(lock);

    EXPECT_EQ(r.Code, 0) << r.Out << r.Err;
    EXPECT_FALSE(fs::exists(left)) << "a leftover script folder stayed";
    EXPECT_FALSE(fs::exists(alsoLeft)) << "a leftover script folder stayed";
    for (const std::string& kept : {held, more, other, empty, longer, plain, target + "DirectShow.avs",
                                    scratch + "quorvex-Link01", scratch + "quorvex-Dir001/DirectShow.avs"})
        EXPECT_TRUE(fs::exists(kept)) << kept << " was taken";
}

} // namespace
