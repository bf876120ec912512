#include "platform/PartialOutput.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using qvtest::ReadFile;
using qvtest::TempDir;
using qvtest::WriteFile;
namespace fs = std::filesystem;

TEST(PartialOutput, NamesKeepFolderAndExtensionAndAreRecognised)
{
    const std::tuple<std::string, long, std::string> cases[] = {
        {"/out/clip.mp4", 4711, "/out/.clip.mp4.qvpart-4711.mp4"},
        {"clip.mp4", 1, ".clip.mp4.qvpart-1.mp4"},          // no folder: the current one
        {"/out/noext", 12, "/out/.noext.qvpart-12"},         // no extension: none added
        {"/out/.hidden", 12, "/out/..hidden.qvpart-12"},     // a leading dot is no extension
        {"/o.d/a.b.c", 3, "/o.d/.a.b.c.qvpart-3.c"},         // the last extension only
    };
    for (const auto& [output, pid, expected] : cases) {
        EXPECT_EQ(PartialOutputName(output, pid), expected) << output;
        EXPECT_TRUE(IsPartialOutputName(fs::path(expected).filename().string())) << expected;
    }
}

TEST(PartialOutput, RecognisesOnlyItsOwnShape)
{
    const std::pair<const char*, bool> cases[] = {
        {".clip.mp4.qvpart-4711.mp4", true},
        {".x.qvpart-1", true},
        {"clip.mp4.qvpart-4711.mp4", false},  // not hidden
        {".clip.mp4.qvpart-.mp4", false},     // no process id
        {".clip.mp4.qvpart-12x.mp4", false},  // more than a number
        {".clip.mp4.qvpart-12.mp4.bak", false},
        {".clip.mp4.qvpart-12.", false},
        {".qvpart-12.mp4", false},            // the marker must follow a name
        {".clip.mp4", false},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(IsPartialOutputName(name), expected) << name;
}

TEST(PartialOutput, LongNamesAreShortenedToFitWithoutSplittingCharacters)
{
    // 120 two-byte letters: 240 bytes, plus ".avi".
    std::string base;
    for (int i = 0; i < 120; ++i)
        base += "\xc3\xa9";
    const std::string name = PartialOutputName("/out/" + base + ".avi", 4194303);
    const std::string file = fs::path(name).filename().string();
    EXPECT_LE(file.size(), 255u);
    EXPECT_TRUE(IsPartialOutputName(file));
    EXPECT_EQ(file.substr(file.size() - std::string(".qvpart-4194303.avi").size()), ".qvpart-4194303.avi");
    // Whole two-byte letters only: what sits between the leading dot and the marker has an even length.
    EXPECT_EQ((file.size() - 1 - std::string(".qvpart-4194303.avi").size()) % 2, 0u);
}

TEST(PartialOutput, CreateLocksCommitReplacesDiscardRemoves)
{
    TempDir dir;
    const std::string output = dir.file("clip.mp4");
    WriteFile(output, "old");
    chmod(output.c_str(), 0640);
    {
        TPartialOutput partial;
        std::string error;
        ASSERT_TRUE(partial.Create(output, error)) << error;
        EXPECT_EQ(partial.Path(), PartialOutputName(output, getpid()));
        // Held: a cleaner (another open file description) leaves it alone.
        EXPECT_FALSE(RemoveUnheldPartial(partial.Path()));
        EXPECT_EQ(RemoveLeftoverPartials(dir.dir()), 0);
        EXPECT_TRUE(fs::exists(partial.Path()));
        WriteFile(partial.Path(), "new");
        EXPECT_EQ(ReadFile(output), "old") << "the old file stays until the new one is complete";
        struct stat st;
        ASSERT_EQ(stat(partial.Path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u) << "the permissions of the file it replaces";
        ASSERT_TRUE(partial.Commit(error)) << error;
    }
    EXPECT_EQ(ReadFile(output), "new");
    EXPECT_FALSE(fs::exists(PartialOutputName(output, getpid())));

    {
        TPartialOutput partial;
        std::string error;
        ASSERT_TRUE(partial.Create(output, error)) << error;
        WriteFile(partial.Path(), "never finished");
    }
    EXPECT_EQ(ReadFile(output), "new");
    EXPECT_FALSE(fs::exists(PartialOutputName(output, getpid())));
}

TEST(PartialOutput, CreateTakesOverAnUnheldLeftoverOfTheSameNameAndFailsInAMissingFolder)
{
    TempDir dir;
    const std::string output = dir.file("clip.wav");
    WriteFile(PartialOutputName(output, getpid()), "left over by an earlier process of our id");
    TPartialOutput partial;
    std::string error;
    ASSERT_TRUE(partial.Create(output, error)) << error;
    EXPECT_EQ(fs::file_size(partial.Path()), 0u);

    TPartialOutput nowhere;
    EXPECT_FALSE(nowhere.Create(dir.file("missing/clip.wav"), error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST(PartialOutput, CleanerSkipsLockedLinksAndFolders)
{
    TempDir dir;
    const std::string unheld = dir.file(".a.mp3.qvpart-7.mp3");
    const std::string locked = dir.file(".b.mp3.qvpart-8.mp3");
    const std::string target = dir.file("precious.mp3");
    const std::string link = dir.file(".c.mp3.qvpart-9.mp3");
    const std::string folder = dir.file(".d.mp3.qvpart-10.mp3");
    WriteFile(unheld, "x");
    WriteFile(locked, "x");
    WriteFile(target, "keep");
    fs::create_symlink(target, link);
    fs::create_directory(folder);
    const int fd = open(locked.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);

    EXPECT_EQ(RemoveLeftoverPartials(dir.path().string()), 1);
    close(fd);

    EXPECT_FALSE(fs::exists(unheld));
    EXPECT_TRUE(fs::exists(locked));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(target), "keep");
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(RemoveUnheldPartial(locked)) << "free once the lock is gone";
}

} // namespace
