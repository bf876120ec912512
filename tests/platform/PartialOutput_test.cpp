#include "platform/PartialOutput.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using qvtest::ReadFile;
using qvtest::TempDir;
using qvtest::WriteFile;
namespace fs = std::filesystem;

TEST(PartialOutput, NamesKeepFolderAndExtensionAndAreRecognised)
{
    const std::tuple<std::string, long, std::string, std::string> cases[] = {
        {"/out/clip.mp4", 4711, "", "/out/.clip.mp4.qvpart-4711.mp4"}, // an earlier version's shape
        {"clip.mp4", 1, "", ".clip.mp4.qvpart-1.mp4"},          // no folder: the current one
        {"/out/noext", 12, "", "/out/.noext.qvpart-12"},         // no extension: none added
        {"/out/.hidden", 12, "", "/out/..hidden.qvpart-12"},     // a leading dot is no extension
        {"/o.d/a.b.c", 3, "", "/o.d/.a.b.c.qvpart-3.c"},         // the last extension only
        {"/out/clip.mp4", 4711, "node1", "/out/.clip.mp4.qvpart-node1-4711.mp4"},
        {"/out/noext", 12, "gpu-node-07", "/out/.noext.qvpart-gpu-node-07-12"},
        {"/out/x.wav", 5, "123", "/out/.x.wav.qvpart-123-5.wav"}, // a host of digits
        {"/out/x.wav", 5, "a_b", "/out/.x.wav.qvpart-a_b-5.wav"},
    };
    for (const auto& [output, pid, host, expected] : cases) {
        EXPECT_EQ(PartialOutputName(output, pid, host), expected) << output;
        TPartialWriter writer;
        EXPECT_TRUE(IsPartialOutputName(fs::path(expected).filename().string(), &writer)) << expected;
        EXPECT_EQ(writer.Host, host) << expected;
        EXPECT_EQ(writer.Pid, pid) << expected;
    }
    EXPECT_EQ(PartialOutputName("/out/c.mp3", 9), "/out/.c.mp3.qvpart-" + PartialHostTag() + "-9.mp3");
}

TEST(PartialOutput, HostTagsHoldOnlyNameCharacters)
{
    const std::pair<const char*, const char*> cases[] = {
        {"node1", "node1"},
        {"node1.cluster.example.org", "node1"}, // the name without its domain
        {"Büro-PC", "B__ro-PC"},
        {"a b/c", "a_b_c"},
        {"", ""},
    };
    for (const auto& [name, tag] : cases)
        EXPECT_EQ(PartialHostTag(name), tag) << name;
    EXPECT_EQ(PartialHostTag(std::string(100, 'h')), std::string(64, 'h'));
    EXPECT_EQ(PartialHostTag().find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_"),
              std::string::npos);
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
        {"..hidden.qvpart-12", true},         // a hidden output has no extension
        {".a..qvpart-3.", true},              // "a." ends in its own extension "."
        {".notes.qvpart-1.txt", false},       // "notes" has no extension: a user's file
        {".clip.qvpart-1.mp4", false},
        {".clip.mp4.qvpart-1.avi", false},    // not the output's own extension
        {".clip.mp4.qvpart-1", false},
        {".clip.qvpart-7.mp4.qvpart-8.mp4", true}, // the marker inside the output's name
        {".x.qvpart-1.mp4.qvpart-", false},
        {".clip.mp4.qvpart-node1-4711.mp4", true},
        {".clip.mp4.qvpart-node-1-4711.mp4", true},  // the process id follows the last "-"
        {".clip.mp4.qvpart--4711.mp4", false},       // a "-" without a host
        {".clip.mp4.qvpart-node1-.mp4", false},      // a host without a process id
        {".clip.mp4.qvpart-node1.mp4", false},
        {".clip.mp4.qvpart-no de-1.mp4", false},     // a blank is no host character
        {".clip.mp4.qvpart-node1-12345678901.mp4", false}, // no process id has 11 digits
        {".notes.qvpart-host-1.txt", false},
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
    const std::string name = PartialOutputName("/out/" + base + ".avi", 4194303, "node-1");
    const std::string file = fs::path(name).filename().string();
    EXPECT_LE(file.size(), 255u);
    EXPECT_TRUE(IsPartialOutputName(file));
    const std::string suffix = ".qvpart-node-1-4194303.avi";
    EXPECT_EQ(file.substr(file.size() - suffix.size()), suffix);
    // Whole two-byte letters only: what sits between the leading dot and the marker has an even length.
    EXPECT_EQ((file.size() - 1 - suffix.size()) % 2, 0u);
    // A name of that length with an extension of its own cut off is no shortened output.
    EXPECT_FALSE(IsPartialOutputName(file.substr(0, file.size() - 4) + ".a.b"));
    EXPECT_FALSE(IsPartialOutputName("." + std::string(200, 'n') + ".qvpart-1.txt")) << "short: not cut";
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
        ASSERT_TRUE(partial.Commit(TReplaceGrant::Any(), error)) << error;
    }
    EXPECT_EQ(ReadFile(output), "new");
    EXPECT_FALSE(fs::exists(PartialOutputName(output, getpid())));

    {
        TPartialOutput partial;
        std::string error;
        ASSERT_TRUE(partial.Create(output, error)) << error;
        WriteFile(partial.Path(), "never kept");
        // Without a grant the file already there stays; the new one goes.
        EXPECT_FALSE(partial.Commit(TReplaceGrant(), error));
        EXPECT_NE(error.find("created or replaced by another program"), std::string::npos) << error;
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
    // A user's file with a second name that looks like ours.
    const std::string linked = dir.file(".e.mp3.qvpart-11.mp3");
    WriteFile(dir.file("kept.mp3"), "keep");
    fs::create_hard_link(dir.file("kept.mp3"), linked);
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
    EXPECT_TRUE(fs::exists(linked));
    EXPECT_EQ(ReadFile(dir.file("kept.mp3")), "keep");
    EXPECT_TRUE(RemoveUnheldPartial(locked)) << "free once the lock is gone";
}

// Folders shared between hosts (NFS): the sweep takes this host's files of
// ended processes and files of earlier versions, never another host's file
// nor one of this host whose process runs, even when none of them is locked.
TEST(PartialOutput, CleanerTakesOnlyThisHostsFilesOfEndedProcesses)
{
    TempDir dir;
    // A process id that has certainly ended: a child reaped here.
    const pid_t ended = fork();
    ASSERT_GE(ended, 0);
    if (ended == 0)
        _exit(0);
    ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
    const std::string host = PartialHostTag();
    ASSERT_FALSE(host.empty());
    const std::string ours = PartialOutputName(dir.file("a.mp3"), ended, host);
    const std::string oursRunning = PartialOutputName(dir.file("b.mp3"), getpid(), host);
    const std::string theirs = PartialOutputName(dir.file("c.mp3"), ended, host + "x");
    const std::string old = PartialOutputName(dir.file("d.mp3"), ended, "");
    for (const std::string& f : {ours, oursRunning, theirs, old})
        WriteFile(f, "x");

    EXPECT_EQ(RemoveLeftoverPartials(dir.dir()), 2);

    EXPECT_FALSE(fs::exists(ours));
    EXPECT_FALSE(fs::exists(old));
    EXPECT_TRUE(fs::exists(oursRunning)) << "its process runs";
    EXPECT_TRUE(fs::exists(theirs)) << "another host's process may run";
}

// Another user's file in a shared folder stays, whatever its name.
TEST(PartialOutput, CleanerLeavesOtherUsersFiles)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    TempDir dir;
    const std::string theirs = dir.file(".a.mp3.qvpart-7.mp3");
    WriteFile(theirs, "x");
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    EXPECT_EQ(RemoveLeftoverPartials(dir.dir()), 0);
    EXPECT_TRUE(fs::exists(theirs));
}

// Every way a finished file can meet its final name: free, taken by a file
// agreed to, by one that is not, by what is no regular file.
TEST(MoveIntoPlace, ReplacesOnlyWhatWasAgreedAndNeverCopies)
{
    enum class There { Nothing, File, Link, Folder, Fifo };
    struct {
        const char* name;
        There there;
        int grant; // 0 none, 1 any, 2 the file there, 3 another file
        int result;
    } cases[] = {
        {"free name, no grant", There::Nothing, 0, 0},
        {"free name, any", There::Nothing, 1, 0},
        {"free name, identity of a file gone", There::Nothing, 3, 0},
        {"file, no grant", There::File, 0, EEXIST},
        {"file, any", There::File, 1, 0},
        {"file, agreed identity", There::File, 2, 0},
        {"file, another identity (replaced meanwhile)", There::File, 3, EEXIST},
        {"link, any: the link goes", There::Link, 1, 0},
        {"link, no grant", There::Link, 0, EEXIST},
        {"folder, any", There::Folder, 1, EEXIST},
        {"fifo, any", There::Fifo, 1, EEXIST},
        {"fifo, no grant", There::Fifo, 0, EEXIST},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string from = dir.file(".o.qvpart-1"), to = dir.file("o");
        WriteFile(from, "new");
        WriteFile(dir.file("target"), "target");
        switch (c.there) {
        case There::Nothing: break;
        case There::File: WriteFile(to, "old"); break;
        case There::Link: fs::create_symlink(dir.file("target"), to); break;
        case There::Folder: fs::create_directory(to); break;
        case There::Fifo: ASSERT_EQ(mkfifo(to.c_str(), 0600), 0); break;
        }
        struct stat st {};
        lstat(to.c_str(), &st);
        const TReplaceGrant grants[] = {TReplaceGrant(), TReplaceGrant::Any(),
                                        TReplaceGrant::Only(st.st_dev, st.st_ino),
                                        TReplaceGrant::Only(st.st_dev, st.st_ino + 1)};
        EXPECT_EQ(MoveIntoPlace(from, to, grants[c.grant]), c.result);
        EXPECT_EQ(ReadFile(dir.file("target")), "target") << "a link's target is never written";
        if (c.result == 0) {
            EXPECT_FALSE(fs::exists(from));
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(to)));
            EXPECT_EQ(ReadFile(to), "new");
        } else {
            EXPECT_EQ(ReadFile(from), "new");
            if (c.there == There::File) {
                EXPECT_EQ(ReadFile(to), "old");
            }
        }
    }
}

TEST(MoveIntoPlace, LinkFallbackNeverReplacesEither)
{
    TempDir dir;
    WriteFile(dir.file("a"), "A");
    WriteFile(dir.file("b"), "B");
    EXPECT_EQ(LinkIntoPlace(dir.file("a"), dir.file("b")), EEXIST);
    EXPECT_EQ(ReadFile(dir.file("a")), "A");
    EXPECT_EQ(ReadFile(dir.file("b")), "B");
    EXPECT_EQ(LinkIntoPlace(dir.file("missing"), dir.file("c")), ENOENT);
    EXPECT_FALSE(fs::exists(dir.file("c")));
    EXPECT_EQ(LinkIntoPlace(dir.file("a"), dir.file("c")), 0);
    EXPECT_FALSE(fs::exists(dir.file("a")));
    EXPECT_EQ(ReadFile(dir.file("c")), "A");
}

// "number": the first free name, never replacing anything, also a folder or
// a name that another program takes between two tries.
TEST(MoveIntoPlace, NumberedNamesTakeTheFirstFreeOne)
{
    const std::pair<const char*, const char*> names[] = {
        {"/o/clip.mp3", "/o/clip (2).mp3"},
        {"/o/a.b.mp3", "/o/a.b (2).mp3"},      // only the last extension
        {"/o.d/noext", "/o.d/noext (2)"},      // a dot of the folder is none
        {"/o/.hidden", "/o/.hidden (2)"},      // nor is a leading dot
    };
    for (const auto& [name, second] : names) {
        EXPECT_EQ(NumberedName(name, 1), name);
        EXPECT_EQ(NumberedName(name, 2), second);
    }

    TempDir dir;
    WriteFile(dir.file("clip.mp3"), "old");
    fs::create_directory(dir.file("clip (2).mp3")); // a folder is passed over, not replaced
    for (int expected : {3, 4}) {
        WriteFile(dir.file("new"), "new " + std::to_string(expected));
        int number = 0;
        EXPECT_EQ(MoveIntoFreeName(dir.file("new"), dir.file("clip.mp3"), number), 0);
        EXPECT_EQ(number, expected);
        EXPECT_EQ(ReadFile(dir.file("clip (" + std::to_string(expected) + ").mp3")), "new " + std::to_string(expected));
    }
    EXPECT_EQ(ReadFile(dir.file("clip.mp3")), "old");
    EXPECT_TRUE(fs::is_directory(dir.file("clip (2).mp3")));
    WriteFile(dir.file("new"), "new");
    int number = 0;
    EXPECT_EQ(MoveIntoFreeName(dir.file("new"), dir.file("clip.mp3"), number, 4), EEXIST) << "no free name up to 4";
    EXPECT_EQ(ReadFile(dir.file("new")), "new");
}

TEST(MoveIntoPlace, GrantTextsGoBothWays)
{
    const std::pair<const char*, bool> texts[] = {
        {"none", true}, {"any", true}, {"number", true}, {"2049:123456", true}, {"0:0", true},
        {"", false}, {"Any", false}, {"numbered", false}, {"2049", false}, {"2049:", false}, {":1", false},
        {"-1:5", false}, {"1:+5", false}, {"1:5x", false}, {"99999999999999999999:1", false},
    };
    for (const auto& [text, ok] : texts) {
        TReplaceGrant grant;
        EXPECT_EQ(ParseReplaceGrant(text, grant), ok) << text;
        if (ok) {
            EXPECT_EQ(ReplaceGrantText(grant), text);
        }
    }
}

} // namespace
