// The stored queue: what it keeps, and how it starts from a file it cannot
// use (never refusing to start, never destroying another program's list).

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/QueueStore.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> PathsOf(const TQueueStore& store)
{
    std::vector<std::string> out;
    for (const TQueueEntry& e : store.Entries())
        out.push_back(e.Path);
    return out;
}

std::vector<std::string> BrokenCopies(const std::string& folder)
{
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find("queue.db.broken-") == 0
            && entry.path().filename().string().find("-wal") == std::string::npos)
            out.push_back(entry.path().string());
    return out;
}

void RunSql(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string text = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << text;
}

} // namespace

TEST(QueueStore, RoundTripKeepsBytesOrderStatesAndBatch)
{
    qvtest::TempDir dir;
    const std::string db = dir.file("queue.db");
    // Latin-1 bytes that are no UTF-8, a blank, a newline and a quote.
    const std::string odd = "/media/caf\xe9 \xff\xfe\n'x'.wav";
    {
        TQueueStore store;
        ASSERT_EQ(store.Open(db), TQueueStore::TOpenResult::Opened) << store.Detail();
        EXPECT_EQ(store.JournalMode(), "wal");
        // Where a folder walk found a file is kept with it, bytes as they are.
        store.Add({"/a.wav", odd, "/b.wav"}, {{}, {"/media", odd.substr(7)}});
        store.Add({"/b.wav", "/c.wav"}); // a stored path is not added twice
        store.MoveToEnd("/a.wav");            // b odd c a
        store.SetOrder({"/c.wav", "/a.wav"}); // c a b odd
        store.MoveToEnd("/b.wav");            // c a odd b
        store.SetState(odd, TFileState::Converted, "/out/caf\xe9.mp3", "note one\nnote two");
        store.SetState("/b.wav", TFileState::Failed, {}, {}, "Error: no audio");
        store.Remove({"/a.wav"});
        const int64_t id = store.BeginBatch({{TBatchRecord::FormatKey, "13"}, {TBatchRecord::ProfileKey, "Good"},
                                             {TBatchRecord::OutputFolderKey, "/out/\xe9/"}},
                                            {"/c.wav"});
        EXPECT_GT(id, 0);
    }
    TQueueStore store;
    ASSERT_EQ(store.Open(db), TQueueStore::TOpenResult::Opened);
    const std::vector<TQueueEntry> entries = store.Entries();
    ASSERT_EQ(PathsOf(store), (std::vector<std::string>{"/c.wav", odd, "/b.wav"}));
    EXPECT_EQ(entries[0].State, TFileState::Waiting);
    EXPECT_EQ(entries[1].State, TFileState::Converted);
    EXPECT_EQ(entries[1].Output, "/out/caf\xe9.mp3");
    EXPECT_EQ(entries[1].Notes, "note one\nnote two");
    EXPECT_EQ(entries[2].State, TFileState::Failed);
    EXPECT_EQ(entries[2].Reason, "Error: no audio");
    EXPECT_EQ(entries[1].Place, (TSourcePlace{"/media", odd.substr(7)}));
    EXPECT_EQ(entries[2].Place, TSourcePlace());
    EXPECT_NE(entries[0].Batch, 0);
    const auto batch = store.LastBatch();
    ASSERT_TRUE(batch.has_value());
    EXPECT_FALSE(batch->Ended); // never ended: interrupted
    EXPECT_EQ(batch->Version, TBatchRecord::CurrentVersion);
    EXPECT_EQ(batch->Setting(TBatchRecord::FormatKey), "13");
    EXPECT_EQ(batch->Setting(TBatchRecord::OutputFolderKey), "/out/\xe9/");
    store.EndBatch(batch->Id);
    EXPECT_TRUE(store.LastBatch()->Ended);
    // A converted file added again waits anew at the end; a listed one stays as it is.
    store.Add({odd, "/b.wav"});
    const std::vector<TQueueEntry> again = store.Entries();
    ASSERT_EQ(PathsOf(store), (std::vector<std::string>{"/c.wav", "/b.wav", odd}));
    EXPECT_EQ(again[1].State, TFileState::Failed);
    EXPECT_EQ(again[2].State, TFileState::Waiting);
    EXPECT_TRUE(again[2].Output.empty());
    store.Clear();
    EXPECT_TRUE(store.Entries().empty());
}

TEST(QueueStore, ConvertingFilesSettleAsWaitingUnlessTheirOutputWasCommitted)
{
    qvtest::TempDir dir;
    TQueueStore store;
    ASSERT_EQ(store.Open(dir.file("queue.db")), TQueueStore::TOpenResult::Opened);
    const std::string old = dir.file("old.mp3");
    std::ofstream(old) << "from before";
    store.Add({"/done.wav", "/partial.wav", "/replacing.wav", "/folder.wav", "/waiting.wav"});
    // An output written before the state change is not this conversion's.
    const timespec past[2] = {{1000000, 0}, {1000000, 0}};
    ::utimensat(AT_FDCWD, old.c_str(), past, 0);
    store.SetState("/replacing.wav", TFileState::Converting, old);
    store.SetState("/done.wav", TFileState::Converting, dir.file("done.mp3"));
    store.SetState("/partial.wav", TFileState::Converting, dir.file("partial.mp3"));
    store.SetState("/folder.wav", TFileState::Converting, dir.file("folder.mp3"));
    std::ofstream(dir.file("done.mp3")) << "complete";
    std::ofstream(dir.file(".partial.mp3.part")) << "half";
    fs::create_directory(dir.file("folder.mp3"));
    EXPECT_EQ(store.SettleInterrupted(), 4);
    const std::vector<TQueueEntry> e = store.Entries();
    EXPECT_EQ(e[0].State, TFileState::Converted);
    EXPECT_EQ(e[0].Output, dir.file("done.mp3"));
    EXPECT_EQ(e[1].State, TFileState::Waiting);
    EXPECT_EQ(e[2].State, TFileState::Waiting);
    EXPECT_EQ(e[3].State, TFileState::Waiting);
    EXPECT_EQ(e[4].State, TFileState::Waiting);
}

// Files that are no list of ours are moved aside with their journal; the new
// list starts empty and the old bytes are kept for the user.
TEST(QueueStore, UnreadableDatabaseIsMovedAsideAndAnEmptyListBegins)
{
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* why;
    };
    const std::vector<Case> cases = {
        {"garbage", [](const std::string& p) { std::ofstream(p) << std::string(5000, 'x'); }, "not a database"},
        {"newer schema",
         [](const std::string& p) { RunSql(p, "CREATE TABLE files (path BLOB, future INT); PRAGMA user_version = 99"); },
         "newer version"},
        {"another program's tables", [](const std::string& p) { RunSql(p, "CREATE TABLE songs (title TEXT)"); },
         "another program"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qvtest::TempDir dir;
        const std::string db = dir.file("queue.db");
        c.make(db);
        const auto size = fs::file_size(db);
        TQueueStore store;
        EXPECT_EQ(store.Open(db), TQueueStore::TOpenResult::MovedAside);
        EXPECT_NE(store.Detail().find(c.why), std::string::npos) << store.Detail();
        EXPECT_TRUE(store.Entries().empty());
        ASSERT_EQ(BrokenCopies(dir.dir()).size(), 1u);
        EXPECT_EQ(BrokenCopies(dir.dir())[0], store.MovedTo());
        EXPECT_EQ(fs::file_size(store.MovedTo()), size);
        store.Add({"/new.wav"});
        store.Close();
        // The new list is a good one: the next start opens it as it is.
        TQueueStore again;
        EXPECT_EQ(again.Open(db), TQueueStore::TOpenResult::Opened);
        EXPECT_EQ(PathsOf(again), std::vector<std::string>{"/new.wav"});
    }
}

TEST(QueueStore, UnwritableLocationGivesAListInMemory)
{
    qvtest::TempDir dir;
    std::vector<std::string> locations;
    // A folder that would have to be made under a regular file.
    std::ofstream(dir.file("plain")) << "x";
    locations.push_back(dir.file("plain") + "/state/queue.db");
    // A read-only folder (root writes into it anyway).
    if (::geteuid() != 0) {
        fs::create_directory(dir.file("ro"));
        fs::permissions(dir.file("ro"), fs::perms::owner_read | fs::perms::owner_exec);
        locations.push_back(dir.file("ro") + "/queue.db");
    }
    for (const std::string& location : locations) {
        SCOPED_TRACE(location);
        TQueueStore store;
        EXPECT_EQ(store.Open(location), TQueueStore::TOpenResult::InMemory);
        EXPECT_FALSE(store.Detail().empty());
        EXPECT_EQ(store.JournalMode(), "memory");
        store.Add({"/kept/for/now.wav"});
        EXPECT_EQ(PathsOf(store), std::vector<std::string>{"/kept/for/now.wav"});
        EXPECT_FALSE(store.WriteFailed());
    }
    if (::geteuid() != 0)
        fs::permissions(dir.file("ro"), fs::perms::owner_all);
}

// A list held by a running program is neither read nor moved, even when it
// is unreadable to this one (written by a newer version that runs).
TEST(QueueStore, LockedListIsLeftAlone)
{
    qvtest::TempDir dir;
    const std::string db = dir.file("queue.db");
    TQueueStore running;
    ASSERT_EQ(running.Open(db), TQueueStore::TOpenResult::Opened);
    running.Add({"/theirs.wav"});
    RunSql(db, "PRAGMA user_version = 99");
    TQueueStore second;
    EXPECT_EQ(second.Open(db), TQueueStore::TOpenResult::Locked);
    EXPECT_TRUE(second.Entries().empty());
    EXPECT_TRUE(BrokenCopies(dir.dir()).empty());
    EXPECT_TRUE(fs::exists(db));
    second.Add({"/mine.wav"});
    RunSql(db, "PRAGMA user_version = 2");
    EXPECT_EQ(PathsOf(running), std::vector<std::string>{"/theirs.wav"});
}

TEST(QueueStore, VersionOneListIsMigratedInPlace)
{
    qvtest::TempDir dir;
    const std::string db = dir.file("queue.db");
    RunSql(db, "CREATE TABLE files (path BLOB NOT NULL UNIQUE, position INTEGER NOT NULL, state INTEGER NOT NULL);"
               "INSERT INTO files VALUES (x'2f622e776176', 1, 3), (x'2f612e776176', 0, 0);"
               "PRAGMA user_version = 1");
    TQueueStore store;
    ASSERT_EQ(store.Open(db), TQueueStore::TOpenResult::Opened) << store.Detail();
    const std::vector<TQueueEntry> e = store.Entries();
    ASSERT_EQ(PathsOf(store), (std::vector<std::string>{"/a.wav", "/b.wav"}));
    EXPECT_EQ(e[1].State, TFileState::Failed);
    EXPECT_TRUE(e[1].Reason.empty());
    EXPECT_EQ(e[1].Place, TSourcePlace());
    store.SetState("/a.wav", TFileState::Converted, "/a.mp3", "n");
    EXPECT_GT(store.BeginBatch({{TBatchRecord::FormatKey, "13"}}, {"/b.wav"}), 0);
    store.Close();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(raw, "PRAGMA user_version", -1, &q, nullptr);
    ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(q, 0), TQueueStore::SchemaVersion);
    sqlite3_finalize(q);
    sqlite3_close(raw);
    EXPECT_TRUE(BrokenCopies(dir.dir()).empty());
}
