#pragma once

// The stored queue: the file list with each file's state and the settings of
// the last batch, kept in an SQLite database so that the list survives the
// end of the program, a crash, kill -9 or a power cut.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileState.h"
#include "engine/SourceFiles.h"

struct sqlite3;

// One stored file of the list.
struct TQueueEntry {
    std::string Path;            // bytes as given; need not be UTF-8
    TFileState State = TFileState::Waiting;
    std::string Output;          // converted: what was written; converting: what will be
    std::string Notes;           // converted: the encoder's notes, one a line
    std::string Reason;          // failed: why
    int64_t ChangedNs = 0;       // wall-clock time of the last state change (ns since 1970)
    int64_t Batch = 0;           // the batch that last took it, 0 for none
    TSourcePlace Place;          // where a folder walk found it; empty for a file given by itself
};

// The settings a batch used. Settings holds named values; later features add
// their own names, so that an older program reads a newer record's known part.
struct TBatchRecord {
    static constexpr int CurrentVersion = 1;
    int64_t Id = 0;
    int Version = CurrentVersion;   // the format of Settings
    int64_t StartedNs = 0;          // wall-clock start (ns since 1970)
    bool Ended = false;             // false: the batch was interrupted (crash, kill, power cut)
    std::map<std::string, std::string> Settings;

    // The names every record has.
    static constexpr const char* FormatKey = "format";        // OutputFormatKind value as decimal text
    static constexpr const char* ProfileKey = "profile";      // profile name
    static constexpr const char* ProfileFileKey = "profile_file"; // the profile's file, "" for none
    static constexpr const char* OutputFolderKey = "output_folder";
    std::string Setting(const std::string& key) const
    {
        const auto it = Settings.find(key);
        return it == Settings.end() ? std::string() : it->second;
    }
};

class TQueueStore {
public:
    // The schema this program writes (PRAGMA user_version). Version 1 had
    // the files' path, position and state only.
    static constexpr int SchemaVersion = 3;

    // How the last Open went.
    enum class TOpenResult {
        Opened,     // the stored list (or a new one) on disk
        MovedAside, // the file could not be read; it was renamed to MovedTo() and a new list begun
        InMemory,   // the location cannot be written: the list lives in memory only
        Locked,     // another running program holds the list: in memory only, the file untouched
    };

    TQueueStore();
    ~TQueueStore();
    TQueueStore(const TQueueStore&) = delete;
    TQueueStore& operator=(const TQueueStore&) = delete;

    // Opens (creating when needed) the database at Path, "" for memory only.
    // Never fails: what went wrong is told by the result, Detail() and MovedTo().
    TOpenResult Open(const std::string& path);
    void Close();
    TOpenResult Result() const { return result_; }
    // Why the file was moved aside or not used ("" when opened normally).
    const std::string& Detail() const { return detail_; }
    // Where an unreadable file was moved.
    const std::string& MovedTo() const { return movedTo_; }
    const std::string& Path() const { return path_; }
    // "wal" or "delete" (a rollback journal); "memory" for an in-memory list.
    const std::string& JournalMode() const { return journal_; }
    // Whether the last write failed (the disk full, the file gone); the
    // error text is kept in Detail(). Reading goes on.
    bool WriteFailed() const { return writeFailed_; }

    // ---- The list ----
    // Every stored file in list order.
    std::vector<TQueueEntry> Entries() const;
    // Appends the paths not yet stored, waiting, in one transaction; a
    // converted file (which has left the list) is waiting again at the end.
    void Add(const std::vector<std::string>& paths, const std::vector<TSourcePlace>& places = {});
    void Remove(const std::vector<std::string>& paths);
    void Clear();
    // Stores the list order: Paths in their new order (stored paths not named keep their
    // relative order after them).
    void SetOrder(const std::vector<std::string>& paths);
    // Moves one file to the end of the list.
    void MoveToEnd(const std::string& path);
    // One file's state change, in a transaction of its own. Output, notes and reason are
    // replaced by the given ones (empty clears them).
    void SetState(const std::string& path, TFileState state, const std::string& output = {},
                  const std::string& notes = {}, const std::string& reason = {});

    // ---- Batches ----
    // Records a new batch with its settings and marks the files it takes
    // (Paths) as its own; returns its id.
    int64_t BeginBatch(const std::map<std::string, std::string>& settings, const std::vector<std::string>& paths);
    void EndBatch(int64_t id);
    // The newest batch record; nothing when none was stored.
    std::optional<TBatchRecord> LastBatch() const;

    // After a start: files left converting by an interrupted run are settled.
    // A file whose output is a regular file written after its last state
    // change (committed before the end came) counts as converted; any other
    // is waiting again. Returns how many files changed.
    int SettleInterrupted();

private:
    void OpenMemory();
    bool OpenFile(std::string& why);
    void CreateSchema();
    void Migrate(int from);
    void SetJournalMode();
    void Exec(const char* sql);
    bool TryWrite(const char* what, const std::function<void()>& body);

    sqlite3* db_ = nullptr;
    int lockFd_ = -1;
    TOpenResult result_ = TOpenResult::InMemory;
    std::string path_;
    std::string detail_;
    std::string movedTo_;
    std::string journal_ = "memory";
    bool writeFailed_ = false;
};

// The wall clock in ns since 1970, as stored.
int64_t QueueClockNs();

// For the crash tests: with QV_TEST_KILL_AT=<point>[:<n>] in the
// environment, the program kills itself (SIGKILL, like a crash or a power
// cut) the n-th time (default: the first) it reaches Point. The points:
// "add" (a file listed, its add command not yet stored), "start" (a file's
// converting state stored, its encoder running), "commit" (a converted
// file's output in place, its state not yet stored).
void QueueKillPoint(const char* point);
