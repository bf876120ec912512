#include "engine/QueueStore.h"

#include <sqlite3.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Thrown inside a transaction; the transaction is rolled back.
struct EQueueError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One prepared statement, finalised with the object.
class TStatement {
public:
    TStatement(sqlite3* db, const char* sql) : db_(db)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            throw EQueueError(sqlite3_errmsg(db));
    }
    ~TStatement() { sqlite3_finalize(stmt_); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    TStatement& Blob(int i, const std::string& bytes)
    {
        // An empty blob is stored as a zero-length blob, not as NULL.
        sqlite3_bind_blob(stmt_, i, bytes.empty() ? "" : bytes.data(), static_cast<int>(bytes.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    TStatement& Text(int i, const std::string& text)
    {
        sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    TStatement& Int(int i, int64_t value)
    {
        sqlite3_bind_int64(stmt_, i, value);
        return *this;
    }
    // True while a row is there.
    bool Step()
    {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throw EQueueError(sqlite3_errmsg(db_));
        return false;
    }
    void Run()
    {
        Step();
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    int64_t ColInt(int i) const { return sqlite3_column_int64(stmt_, i); }
    std::string ColBytes(int i) const
    {
        const void* p = sqlite3_column_blob(stmt_, i);
        const int n = sqlite3_column_bytes(stmt_, i);
        return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// File systems on which SQLite's shared-memory index of WAL mode cannot work
// (network and some user-space file systems).
bool WalUnsafeFileSystem(const std::string& folder)
{
    struct statfs st {};
    if (::statfs(folder.c_str(), &st) != 0)
        return false;
    switch (static_cast<unsigned long>(st.f_type)) {
    case 0x6969UL:     // NFS
    case 0x517BUL:     // SMB
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x65735546UL: // FUSE (sshfs and the like)
    case 0x564C:       // NCP
    case 0x6B414653UL: // AFS
        return true;
    default:
        return false;
    }
}

std::string TimeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &tm);
    return text;
}

// Moves Path (and its journal files) to a free "<path>.broken-<time>" name;
// returns the new name, "" when it could not be moved.
std::string MoveAside(const std::string& path, std::string& why)
{
    std::string target = path + ".broken-" + TimeStamp();
    for (int n = 2; fs::exists(fs::symlink_status(target)); ++n)
        target = path + ".broken-" + TimeStamp() + "-" + std::to_string(n);
    if (::rename(path.c_str(), target.c_str()) != 0) {
        why = std::strerror(errno);
        return {};
    }
    // Journal files belong to the moved database, never to the new one.
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        ::rename((path + suffix).c_str(), (target + suffix).c_str());
    return target;
}

} // namespace

int64_t QueueClockNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TQueueStore::TQueueStore() = default;

TQueueStore::~TQueueStore()
{
    Close();
}

void TQueueStore::Close()
{
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    if (lockFd_ >= 0)
        ::close(lockFd_); // the lock goes with the descriptor
    lockFd_ = -1;
}

void TQueueStore::Exec(const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string text = error ? error : sqlite3_errmsg(db_);
        sqlite3_free(error);
        throw EQueueError(text);
    }
}

void TQueueStore::OpenMemory()
{
    Close();
    sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    CreateSchema();
    journal_ = "memory";
}

TQueueStore::TOpenResult TQueueStore::Open(const std::string& path)
{
    Close();
    path_ = path;
    detail_.clear();
    movedTo_.clear();
    writeFailed_ = false;
    if (path.empty()) {
        OpenMemory();
        return result_ = TOpenResult::InMemory;
    }
    const std::string folder = fs::path(path).parent_path().string();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec && !fs::is_directory(folder)) {
        detail_ = ec.message();
        OpenMemory();
        return result_ = TOpenResult::InMemory;
    }
    // One program at a time owns the list: the lock is held on a file of its
    // own, so that even an unreadable database is never moved aside from
    // under a program that uses it.
    lockFd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) {
        detail_ = std::strerror(errno);
        OpenMemory();
        return result_ = TOpenResult::InMemory;
    }
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        const bool locked = errno == EWOULDBLOCK;
        detail_ = locked ? "in use by another Quorvex window" : std::strerror(errno);
        OpenMemory();
        return result_ = locked ? TOpenResult::Locked : TOpenResult::InMemory;
    }
    std::string why;
    if (OpenFile(why))
        return result_ = TOpenResult::Opened;
    // Unreadable: a file of another kind, damaged, or of a newer program.
    // The lock file stays ours while the database is replaced.
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    std::string moveError;
    movedTo_ = MoveAside(path, moveError);
    detail_ = why;
    if (movedTo_.empty() || !OpenFile(why)) {
        detail_ = movedTo_.empty() ? why + "; " + moveError : why;
        OpenMemory();
        return result_ = TOpenResult::InMemory;
    }
    return result_ = TOpenResult::MovedAside;
}

bool TQueueStore::OpenFile(std::string& why)
{
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        why = db_ ? sqlite3_errmsg(db_) : "cannot be opened";
        return false;
    }
    sqlite3_busy_timeout(db_, 2000);
    try {
        // The first read finds a file that is no database.
        int version = 0;
        int tables = 0;
        {
            TStatement q(db_, "PRAGMA user_version");
            if (q.Step())
                version = static_cast<int>(q.ColInt(0));
        }
        {
            TStatement q(db_, "SELECT count(*) FROM sqlite_master WHERE type = 'table'");
            if (q.Step())
                tables = static_cast<int>(q.ColInt(0));
        }
        if (version > SchemaVersion) {
            why = "it was written by a newer version of Quorvex (list format " + std::to_string(version) + ")";
            return false;
        }
        if (version == 0 && tables > 0) {
            why = "it holds tables of another program";
            return false;
        }
        {
            TStatement q(db_, "PRAGMA quick_check");
            if (!q.Step() || q.ColBytes(0) != "ok") {
                why = "it is damaged";
                return false;
            }
        }
        SetJournalMode();
        if (version == 0)
            CreateSchema();
        else if (version < SchemaVersion)
            Migrate(version);
    } catch (const EQueueError& e) {
        why = e.what();
        return false;
    }
    return true;
}

void TQueueStore::SetJournalMode()
{
    journal_ = "delete";
    if (!WalUnsafeFileSystem(fs::path(path_).parent_path().string())) {
        TStatement q(db_, "PRAGMA journal_mode=WAL");
        // SQLite answers with the mode in force; anything but "wal" means it
        // could not be used here.
        if (q.Step() && q.ColBytes(0) == "wal")
            journal_ = "wal";
    }
    if (journal_ != "wal")
        Exec("PRAGMA journal_mode=DELETE");
    // Every committed change survives a power cut.
    Exec("PRAGMA synchronous=FULL");
}

// The batch records (version 2 on).
const char* const BatchTables = "CREATE TABLE batches ("
                                " id INTEGER PRIMARY KEY,"
                                " version INTEGER NOT NULL,"
                                " started INTEGER NOT NULL,"
                                " ended INTEGER NOT NULL DEFAULT 0);"
                                "CREATE TABLE batch_settings ("
                                " batch INTEGER NOT NULL REFERENCES batches(id) ON DELETE CASCADE,"
                                " key TEXT NOT NULL,"
                                " value BLOB NOT NULL,"
                                " PRIMARY KEY (batch, key))";

void TQueueStore::CreateSchema()
{
    Exec("BEGIN IMMEDIATE");
    try {
        Exec("CREATE TABLE files ("
             " path BLOB NOT NULL UNIQUE,"
             " position INTEGER NOT NULL,"
             " state INTEGER NOT NULL DEFAULT 0,"
             " output BLOB NOT NULL DEFAULT x'',"
             " notes TEXT NOT NULL DEFAULT '',"
             " reason TEXT NOT NULL DEFAULT '',"
             " changed INTEGER NOT NULL DEFAULT 0,"
             " batch INTEGER NOT NULL DEFAULT 0,"
             " folder BLOB NOT NULL DEFAULT x'',"
             " relative BLOB NOT NULL DEFAULT x'')");
        Exec("CREATE INDEX files_position ON files(position)");
        Exec(BatchTables);
        Exec(("PRAGMA user_version = " + std::to_string(SchemaVersion)).c_str());
        Exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void TQueueStore::Migrate(int from)
{
    Exec("BEGIN IMMEDIATE");
    try {
        if (from == 1) {
            // Version 1 kept path, position and state; finished files'
            // details, the batch of each file and the batch records came with 2.
            Exec("ALTER TABLE files ADD COLUMN output BLOB NOT NULL DEFAULT x''");
            Exec("ALTER TABLE files ADD COLUMN notes TEXT NOT NULL DEFAULT ''");
            Exec("ALTER TABLE files ADD COLUMN reason TEXT NOT NULL DEFAULT ''");
            Exec("ALTER TABLE files ADD COLUMN changed INTEGER NOT NULL DEFAULT 0");
            Exec("ALTER TABLE files ADD COLUMN batch INTEGER NOT NULL DEFAULT 0");
            Exec("CREATE INDEX IF NOT EXISTS files_position ON files(position)");
            Exec(BatchTables);
        }
        if (from <= 2) {
            // Version 3 keeps where a folder walk found a file, so that its
            // output goes to the mirrored place after a restart too.
            Exec("ALTER TABLE files ADD COLUMN folder BLOB NOT NULL DEFAULT x''");
            Exec("ALTER TABLE files ADD COLUMN relative BLOB NOT NULL DEFAULT x''");
        }
        Exec(("PRAGMA user_version = " + std::to_string(SchemaVersion)).c_str());
        Exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

bool TQueueStore::TryWrite(const char* what, const std::function<void()>& body)
{
    if (!db_)
        return false;
    try {
        Exec("BEGIN IMMEDIATE");
    } catch (const EQueueError& e) {
        writeFailed_ = true;
        detail_ = std::string(what) + ": " + e.what();
        return false;
    }
    try {
        body();
        Exec("COMMIT");
        return true;
    } catch (const EQueueError& e) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        writeFailed_ = true;
        detail_ = std::string(what) + ": " + e.what();
        return false;
    }
}

std::vector<TQueueEntry> TQueueStore::Entries() const
{
    std::vector<TQueueEntry> out;
    if (!db_)
        return out;
    try {
        TStatement q(db_, "SELECT path, state, output, notes, reason, changed, batch, folder, relative FROM files"
                          " ORDER BY position, rowid");
        while (q.Step()) {
            TQueueEntry e;
            e.Path = q.ColBytes(0);
            const int64_t state = q.ColInt(1);
            // A state this program does not know is taken as waiting.
            e.State = state >= 0 && state <= static_cast<int>(TFileState::Stopped) ? static_cast<TFileState>(state)
                                                                                   : TFileState::Waiting;
            e.Output = q.ColBytes(2);
            e.Notes = q.ColBytes(3);
            e.Reason = q.ColBytes(4);
            e.ChangedNs = q.ColInt(5);
            e.Batch = q.ColInt(6);
            e.Place = {q.ColBytes(7), q.ColBytes(8)};
            out.push_back(std::move(e));
        }
    } catch (const EQueueError&) {
    }
    return out;
}

void TQueueStore::Add(const std::vector<std::string>& paths, const std::vector<TSourcePlace>& places)
{
    if (paths.empty())
        return;
    TryWrite("adding files", [&] {
        int64_t next = 0;
        {
            TStatement q(db_, "SELECT coalesce(max(position) + 1, 0) FROM files");
            if (q.Step())
                next = q.ColInt(0);
        }
        // A converted file has left the list but is still stored with what
        // was written: added again, it is a new waiting entry at the end.
        TStatement insert(db_, "INSERT INTO files (path, position, state, changed, folder, relative)"
                               " VALUES (?, ?, 0, ?, ?, ?)"
                               " ON CONFLICT(path) DO UPDATE SET position = excluded.position, state = 0,"
                               " output = x'', notes = '', reason = '', changed = excluded.changed, batch = 0,"
                               " folder = excluded.folder, relative = excluded.relative"
                               " WHERE files.state = 2");
        const int64_t now = QueueClockNs();
        for (size_t i = 0; i < paths.size(); ++i) {
            const std::string& p = paths[i];
            const TSourcePlace place = i < places.size() ? places[i] : TSourcePlace();
            insert.Blob(1, p).Int(2, next).Int(3, now).Blob(4, place.Folder).Blob(5, place.RelativePath).Run();
            if (sqlite3_changes(db_) > 0)
                ++next;
        }
    });
}

void TQueueStore::Remove(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return;
    TryWrite("removing files", [&] {
        TStatement del(db_, "DELETE FROM files WHERE path = ?");
        for (const std::string& p : paths)
            del.Blob(1, p).Run();
    });
}

void TQueueStore::Clear()
{
    TryWrite("clearing the list", [&] { Exec("DELETE FROM files"); });
}

void TQueueStore::SetOrder(const std::vector<std::string>& paths)
{
    TryWrite("ordering the list", [&] {
        // The named ones first, in their order; the others keep theirs after them.
        const int64_t count = static_cast<int64_t>(paths.size());
        TStatement shift(db_, "UPDATE files SET position = position + ?");
        shift.Int(1, count + 1).Run();
        TStatement set(db_, "UPDATE files SET position = ? WHERE path = ?");
        for (int64_t i = 0; i < count; ++i)
            set.Int(1, i).Blob(2, paths[static_cast<size_t>(i)]).Run();
    });
}

void TQueueStore::MoveToEnd(const std::string& path)
{
    TryWrite("ordering the list", [&] {
        TStatement q(db_, "UPDATE files SET position = (SELECT max(position) + 1 FROM files) WHERE path = ?");
        q.Blob(1, path).Run();
    });
}

void TQueueStore::SetState(const std::string& path, TFileState state, const std::string& output,
                           const std::string& notes, const std::string& reason)
{
    TryWrite("storing a file's state", [&] {
        TStatement q(db_, "UPDATE files SET state = ?, output = ?, notes = ?, reason = ?, changed = ? WHERE path = ?");
        q.Int(1, static_cast<int>(state)).Blob(2, output).Text(3, notes).Text(4, reason).Int(5, QueueClockNs());
        q.Blob(6, path).Run();
    });
}

int64_t TQueueStore::BeginBatch(const std::map<std::string, std::string>& settings,
                                const std::vector<std::string>& paths)
{
    int64_t id = 0;
    TryWrite("recording the batch", [&] {
        TStatement add(db_, "INSERT INTO batches (version, started, ended) VALUES (?, ?, 0)");
        add.Int(1, TBatchRecord::CurrentVersion).Int(2, QueueClockNs()).Run();
        id = sqlite3_last_insert_rowid(db_);
        TStatement value(db_, "INSERT INTO batch_settings (batch, key, value) VALUES (?, ?, ?)");
        for (const auto& [key, v] : settings)
            value.Int(1, id).Text(2, key).Blob(3, v).Run();
        TStatement take(db_, "UPDATE files SET batch = ? WHERE path = ?");
        for (const std::string& p : paths)
            take.Int(1, id).Blob(2, p).Run();
        // Only the newest record is ever read: older ones go.
        TStatement old(db_, "DELETE FROM batches WHERE id <> ?");
        old.Int(1, id).Run();
        TStatement oldValues(db_, "DELETE FROM batch_settings WHERE batch <> ?");
        oldValues.Int(1, id).Run();
    });
    return id;
}

void TQueueStore::EndBatch(int64_t id)
{
    TryWrite("ending the batch", [&] {
        TStatement q(db_, "UPDATE batches SET ended = 1 WHERE id = ?");
        q.Int(1, id).Run();
    });
}

std::optional<TBatchRecord> TQueueStore::LastBatch() const
{
    if (!db_)
        return std::nullopt;
    try {
        TStatement q(db_, "SELECT id, version, started, ended FROM batches ORDER BY id DESC LIMIT 1");
        if (!q.Step())
            return std::nullopt;
        TBatchRecord r;
        r.Id = q.ColInt(0);
        r.Version = static_cast<int>(q.ColInt(1));
        r.StartedNs = q.ColInt(2);
        r.Ended = q.ColInt(3) != 0;
        TStatement v(db_, "SELECT key, value FROM batch_settings WHERE batch = ?");
        v.Int(1, r.Id);
        while (v.Step())
            r.Settings[v.ColBytes(0)] = v.ColBytes(1);
        return r;
    } catch (const EQueueError&) {
        return std::nullopt;
    }
}

int TQueueStore::SettleInterrupted()
{
    int changed = 0;
    for (const TQueueEntry& e : Entries()) {
        if (e.State != TFileState::Converting)
            continue;
        // A complete output only ever appears under its final name; one
        // that came after the file began converting is this batch's. File
        // times come from the kernel's coarse clock, which lags the clock of
        // the state change by up to a tick: allow for that much.
        constexpr int64_t CoarseClockNs = 50'000'000;
        struct stat st {};
        const bool committed = !e.Output.empty() && ::stat(e.Output.c_str(), &st) == 0 && S_ISREG(st.st_mode)
                               && static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec
                                      + CoarseClockNs >= e.ChangedNs;
        if (committed)
            SetState(e.Path, TFileState::Converted, e.Output, e.Notes);
        else
            SetState(e.Path, TFileState::Waiting);
        ++changed;
    }
    return changed;
}

void QueueKillPoint(const char* point)
{
    static const std::string wanted = [] {
        const char* v = std::getenv("QV_TEST_KILL_AT");
        return std::string(v ? v : "");
    }();
    if (wanted.empty())
        return;
    const auto colon = wanted.find(':');
    if (wanted.compare(0, colon, point) != 0)
        return;
    static int reached = 0;
    const int times = colon == std::string::npos ? 1 : std::atoi(wanted.c_str() + colon + 1);
    if (++reached == times)
        ::kill(::getpid(), SIGKILL);
}
