// Splitting a batch over several runs (--shard) and the per-file report
// (--report): the frozen share rule, its balance, and report lines and
// appends shared between processes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "cli/Report.h"
#include "cli/Shard.h"
#include "support/TempDir.h"

using namespace qvcli;

namespace {

// A library's relative paths as the folder walk gives them: artists, albums,
// tracks, with spaces, UTF-8, a byte that is no UTF-8 and names that differ
// in one letter only.
std::vector<std::string> LibraryPaths(size_t count)
{
    std::vector<std::string> paths;
    for (size_t i = 0; paths.size() < count; ++i) {
        char name[160];
        switch (i % 4) {
        case 0: std::snprintf(name, sizeof name, "Artist %zu/Album %zu/%02zu Track.flac", i / 120, i / 12 % 10, i % 12 + 1); break;
        case 1: std::snprintf(name, sizeof name, "Künstler %zu/Café %zu.mp3", i / 50, i); break;
        case 2: std::snprintf(name, sizeof name, "raw/take %c%zu.wav", static_cast<char>('a' + i % 26), i); break;
        default: std::snprintf(name, sizeof name, "old/caf\xE9 %zu/clip.avi", i); break;
        }
        paths.push_back(name);
    }
    return paths;
}

} // namespace

// The rule is frozen: runs of different versions must split one batch alike.
TEST(ShardRule, IsFrozen)
{
    struct {
        const char* Key;
        uint64_t Hash;
        int ShareOf3, ShareOf16;
    } cases[] = {
        {"", 0xefd01f60ba992926ULL, 3, 7},
        {"a", 0x82a2a958a9bece5bULL, 3, 12},
        {"01.wav", 0xab333e272f682bafULL, 3, 16},
        {"Artist/Album/01 Track.flac", 0x8b673390d165a65cULL, 1, 13},
        {"caf\xE9.wav", 0x77e2af1bc1ea733dULL, 2, 14},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShardHash(c.Key), c.Hash) << c.Key;
        EXPECT_EQ(ShareOf(c.Key, 3), c.ShareOf3) << c.Key;
        EXPECT_EQ(ShareOf(c.Key, 16), c.ShareOf16) << c.Key;
        EXPECT_EQ(ShareOf(c.Key, 1), 1) << c.Key;
    }
}

// For every N from 1 to 16 the N shares of 1,000 files are disjoint and
// together the whole batch, and a file keeps its share whichever absolute
// folder the library is mounted at.
TEST(ShardRule, SharesAreDisjointCompleteAndTheSameUnderAnotherRoot)
{
    const std::vector<std::string> paths = LibraryPaths(1000);
    const std::string rootA = "/mnt/lib", rootB = "/data/music/lib/";
    std::vector<std::string> keys;
    for (const std::string& rel : paths) {
        const std::string keyA = RelativeShardKey(rootA + "/" + rel, rootA);
        EXPECT_EQ(keyA, rel);
        EXPECT_EQ(RelativeShardKey(rootB + rel, rootB), keyA);
        keys.push_back(keyA);
    }
    for (int n = 1; n <= 16; ++n) {
        // How many of the N runs take each file: exactly one.
        std::vector<int> takers(keys.size());
        for (int k = 1; k <= n; ++k)
            for (size_t i = 0; i < keys.size(); ++i)
                takers[i] += ShareOf(keys[i], n) == k;
        for (size_t i = 0; i < keys.size(); ++i)
            EXPECT_EQ(takers[i], 1) << paths[i] << " of " << n << " shares";
    }
}

// Counts per share stay close to the mean for large batches, also for names
// that differ only in letters of one parity (on which FNV-1a's lowest bit alone
// would put every name into one of two shares).
TEST(ShardRule, SharesAreBalanced)
{
    struct {
        size_t Files;
        int MaxN;
        double Within; // of the mean count
    } cases[] = {
        {10000, 8, 0.05},
        {100000, 16, 0.04},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> paths = LibraryPaths(c.Files);
        for (int n = 2; n <= c.MaxN; ++n) {
            std::vector<size_t> counts(static_cast<size_t>(n));
            for (const std::string& p : paths)
                ++counts[static_cast<size_t>(ShareOf(p, n) - 1)];
            const double mean = double(c.Files) / n;
            for (size_t k = 0; k < counts.size(); ++k)
                EXPECT_LE(std::fabs(double(counts[k]) - mean), c.Within * mean)
                    << c.Files << " files, share " << k + 1 << " of " << n << ": " << counts[k];
        }
    }
    std::set<int> shares;
    for (const char* name : {"take a.wav", "take c.wav", "take e.wav", "take g.wav", "take i.wav", "take k.wav"})
        shares.insert(ShareOf(name, 2));
    EXPECT_EQ(shares.size(), 2u);
}

TEST(ShardKeys, AreRelativeToTheFolderArgumentOrTheName)
{
    struct {
        const char* Full;
        const char* Folder;
        const char* Key;
        const char* Album;
    } cases[] = {
        {"/mnt/lib/a.wav", "", "a.wav", "lib"},                            // a file argument: its name
        {"/mnt/lib/Artist/Album/01.flac", "/mnt/lib", "Artist/Album/01.flac", "Artist/Album"},
        {"/mnt/lib/Artist/Album/01.flac", "/mnt/lib/", "Artist/Album/01.flac", "Artist/Album"},
        {"/mnt/lib/./Artist//01.flac", "/mnt//lib", "Artist/01.flac", "Artist"},
        {"/mnt/other/01.flac", "/mnt/lib", "01.flac", "other"},            // not under it: the name
        {"/mnt/lib", "/mnt/lib", "lib", "mnt"},
    };
    for (const auto& c : cases) {
        const std::string key = RelativeShardKey(c.Full, c.Folder);
        EXPECT_EQ(key, c.Key) << c.Full << " in " << c.Folder;
        EXPECT_EQ(AlbumShardKey(key, c.Full), c.Album) << c.Full;
    }
}

TEST(ReportLine, IsOneJsonObjectWithNamesAsTheConsoleWritesThem)
{
    TReportRecord converted{"/in/caf\xE9 \"1\".wav", "/out/caf\xE9 \"1\".mp3", "converted", "", 1.23456,
                            {"bitrate 999 kbit/s written as 320"}, "node-1", "2/3", {}};
    EXPECT_EQ(ReportLine(converted),
              "{\"source\":\"/in/caf\\\\xE9 \\\"1\\\".wav\",\"output\":\"/out/caf\\\\xE9 \\\"1\\\".mp3\","
              "\"status\":\"converted\",\"reason\":\"\",\"seconds\":1.235,"
              "\"notes\":[\"bitrate 999 kbit/s written as 320\"],\"host\":\"node-1\",\"shard\":\"2/3\"}\n");
    TReportRecord skipped{"/in/a\nb\x1B.wav", "", "skipped", "line one\nline\ttwo\x07", -1, {}, "h", "", {}};
    EXPECT_EQ(ReportLine(skipped),
              "{\"source\":\"/in/a\\\\nb\\\\x1B.wav\",\"output\":\"\",\"status\":\"skipped\","
              "\"reason\":\"line one\\nline\\ttwo\\\\x07\",\"seconds\":null,\"notes\":[],\"host\":\"h\"}\n");
    TReportRecord figures{"a", "b", "converted", "", 0, {}, "h", "", {{"loudness", "-23.1"}, {"peak", "null"}}};
    EXPECT_NE(ReportLine(figures).find(",\"host\":\"h\",\"loudness\":-23.1,\"peak\":null}\n"), std::string::npos);
}

// Several processes append to one report at once: every line arrives whole.
TEST(ReportFile, AppendsOfSeveralProcessesStayWholeLines)
{
    qvtest::TempDir dir;
    const std::string path = dir.file("report.jsonl");
    constexpr int Processes = 4, Lines = 50;
    std::vector<pid_t> children;
    for (int p = 0; p < Processes; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            TReportFile report;
            std::string error;
            bool ok = report.Open(path, error);
            const std::string line = std::string(3000, char('a' + p)) + "\n";
            for (int i = 0; ok && i < Lines; ++i)
                ok = report.Append(line, error);
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::ifstream in(path);
    std::map<char, int> count;
    for (std::string line; std::getline(in, line);) {
        ASSERT_EQ(line, std::string(3000, line.at(0))) << "a line was cut or mixed";
        ++count[line[0]];
    }
    for (int p = 0; p < Processes; ++p)
        EXPECT_EQ(count[char('a' + p)], Lines);
}

TEST(ReportFile, RefusesWhatIsNoRegularFile)
{
    qvtest::TempDir dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, dir.dir(), dir.file("missing/report.jsonl")}) {
        TReportFile report;
        std::string error;
        EXPECT_FALSE(report.Open(path, error)) << path;
        EXPECT_NE(error.find("report file"), std::string::npos) << error;
    }
}
