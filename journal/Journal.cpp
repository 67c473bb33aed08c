#include "Journal.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "JournalTime.h"
#include "ProcessIdentity.h"

namespace qk {
namespace {

namespace fs = std::filesystem;

// "QK44" in the file's header: what tells this program's journal from another SQLite file.
constexpr int kApplicationId = 0x514B3434;

// Each step takes the schema from the version before it to its own; a journal is brought up
// to kSchemaVersion step by step, in one transaction.
const char* const kMigrations[] = {
    // 1: the changes and their values.
    "CREATE TABLE change ("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  started TEXT NOT NULL,"
    "  finished TEXT,"
    "  program TEXT NOT NULL,"
    "  command TEXT NOT NULL,"
    "  host TEXT NOT NULL,"
    "  process TEXT NOT NULL,"
    "  port TEXT NOT NULL,"
    "  device_id BLOB,"
    "  version BLOB,"
    "  result TEXT NOT NULL,"
    "  reason TEXT NOT NULL DEFAULT '');"
    "CREATE TABLE change_value ("
    "  change_id INTEGER NOT NULL REFERENCES change(id),"
    "  position INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  before BLOB,"
    "  wanted BLOB NOT NULL,"
    "  after BLOB,"
    "  PRIMARY KEY (change_id, position));",
    // 2: a device's history, a history since a date, and the changes still running, each
    // without reading every row.
    "CREATE INDEX change_by_device ON change(device_id, id);"
    "CREATE INDEX change_by_start ON change(started);"
    "CREATE INDEX change_running ON change(host) WHERE result = 'running';",
};
static_assert(std::size(kMigrations) == Journal::kSchemaVersion);

// A prepared statement, finalized when it goes.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        m_status = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int status() const { return m_status; }
    void Bind(int index, std::string_view text) {
        sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    // Device bytes, kept as they are; nullopt (or, with `emptyIsNull`, nothing) as NULL.
    void BindBytes(int index, const std::optional<std::string>& bytes) {
        if (!bytes) {
            sqlite3_bind_null(m_statement, index);
        } else {
            sqlite3_bind_blob(m_statement, index, bytes->data(), static_cast<int>(bytes->size()),
                              SQLITE_TRANSIENT);
        }
    }
    void Bind(int index, std::int64_t number) { sqlite3_bind_int64(m_statement, index, number); }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return m_status = sqlite3_step(m_statement); }

    std::int64_t Integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    std::string Text(int column) const {
        const auto* text = sqlite3_column_text(m_statement, column);
        return text == nullptr
                   ? std::string()
                   : std::string(
                         reinterpret_cast<const char*>(text),
                         static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)));
    }
    std::optional<std::string> Bytes(int column) const {
        if (sqlite3_column_type(m_statement, column) == SQLITE_NULL) {
            return std::nullopt;
        }
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        return std::string(bytes == nullptr ? "" : bytes,
                           static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)));
    }

  private:
    sqlite3_stmt* m_statement = nullptr;
    int m_status = SQLITE_OK;
};

std::optional<std::string> NullIfEmpty(const std::string& bytes) {
    return bytes.empty() ? std::nullopt : std::optional<std::string>(bytes);
}

}  // namespace

struct Journal::Database {
    sqlite3* db = nullptr;
    int busyTimeoutMs = 0;
    std::mutex mutex;

    ~Database() { sqlite3_close_v2(db); }

    // What went wrong, in the terms of the one who has to mend it.
    std::string Problem(int status) const {
        switch (status & 0xFF) {
            case SQLITE_BUSY:
            case SQLITE_LOCKED:
                return "another program has held the journal for " +
                       std::to_string(busyTimeoutMs / 1000) + " s";
            case SQLITE_FULL:
                return "the disk is full";
            case SQLITE_READONLY:
            case SQLITE_PERM:
                return "the journal is read-only";
            case SQLITE_NOTADB:
                return "the file is not a journal (not an SQLite database)";
            case SQLITE_CORRUPT:
                return "the journal is damaged (" + std::string(sqlite3_errmsg(db)) + ")";
            default: {
                std::string text = sqlite3_errmsg(db);
                if (const int code = sqlite3_system_errno(db); code != 0) {
                    text += " (" + std::string(std::strerror(code)) + ")";
                }
                return text;
            }
        }
    }

    bool Execute(const char* sql, std::string& error) {
        const int status = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        if (status != SQLITE_OK) {
            error = Problem(status);
            return false;
        }
        return true;
    }

    std::optional<std::int64_t> Number(const char* sql, std::string& error) {
        Statement statement(db, sql);
        if (statement.status() != SQLITE_OK || statement.Step() != SQLITE_ROW) {
            error = Problem(statement.status());
            return std::nullopt;
        }
        return statement.Integer(0);
    }

    // Runs `body` in one transaction that takes the write lock at once; rolled back when the
    // body fails.
    bool Transaction(const std::function<bool(std::string&)>& body, std::string& error) {
        if (!Execute("BEGIN IMMEDIATE", error)) {
            return false;
        }
        if (!body(error)) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            return false;
        }
        if (!Execute("COMMIT", error)) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            return false;
        }
        return true;
    }

    bool Migrate(std::string& error) {
        const auto current = Number("PRAGMA user_version", error);
        if (!current) {
            return false;
        }
        if (*current == kSchemaVersion) {
            return true;
        }
        return Transaction(
            [&](std::string& why) {
                // Read again under the lock: another process may have migrated meanwhile.
                const auto version = Number("PRAGMA user_version", why);
                if (!version) {
                    return false;
                }
                for (auto step = *version; step < kSchemaVersion; ++step) {
                    if (!Execute(kMigrations[step], why)) {
                        return false;
                    }
                }
                const std::string stamp =
                    "PRAGMA application_id = " + std::to_string(kApplicationId) +
                    "; PRAGMA user_version = " + std::to_string(kSchemaVersion);
                return *version == kSchemaVersion || Execute(stamp.c_str(), why);
            },
            error);
    }

    // Refuses a file that is not this program's journal, or is of a version it does not know,
    // without changing a byte of it.
    bool Check(std::string& error) {
        // One statement, one snapshot: read apart, another process's first run could make
        // its tables between the reads and pass for a stranger's database.
        Statement facts(db,
                        "SELECT (SELECT user_version FROM pragma_user_version), "
                        "(SELECT application_id FROM pragma_application_id), "
                        "(SELECT count(*) FROM sqlite_master)");
        if (facts.status() != SQLITE_OK || facts.Step() != SQLITE_ROW) {
            error = Problem(facts.status());
            return false;
        }
        const std::int64_t version = facts.Integer(0);
        const std::int64_t application = facts.Integer(1);
        const std::int64_t tables = facts.Integer(2);
        if (tables > 0 && application != kApplicationId) {
            error = "the file is an SQLite database of another program, not a journal";
            return false;
        }
        if (version > kSchemaVersion) {
            error = "the journal is of a newer version (" + std::to_string(version) +
                    ") than this program knows (" + std::to_string(kSchemaVersion) + ")";
            return false;
        }
        return true;
    }

    // Changes left running by a process of this host that is gone were interrupted.
    bool MarkInterrupted(std::string& error) {
        Statement running(db,
                          "SELECT id, process FROM change WHERE result = 'running' AND host = ?");
        running.Bind(1, HostName());
        std::vector<std::int64_t> gone;
        while (running.Step() == SQLITE_ROW) {
            if (!ProcessAlive(running.Text(1))) {
                gone.push_back(running.Integer(0));
            }
        }
        if (running.status() != SQLITE_DONE) {
            error = Problem(running.status());
            return false;
        }
        if (gone.empty()) {
            return true;
        }
        return Transaction(
            [&](std::string& why) {
                for (const std::int64_t number : gone) {
                    Statement mark(db,
                                   "UPDATE change SET result = 'interrupted', reason = 'the "
                                   "program ended before the change was finished' WHERE id = ? "
                                   "AND result = 'running'");
                    mark.Bind(1, number);
                    if (mark.Step() != SQLITE_DONE) {
                        why = Problem(mark.status());
                        return false;
                    }
                }
                return true;
            },
            error);
    }

    std::optional<std::vector<Change>> Changes(const char* sql,
                                               const std::function<void(Statement&)>& bind,
                                               std::string& error) {
        Statement query(db, sql);
        if (query.status() != SQLITE_OK) {
            error = Problem(query.status());
            return std::nullopt;
        }
        bind(query);
        std::vector<Change> changes;
        const std::string host = HostName();
        while (query.Step() == SQLITE_ROW) {
            const std::int64_t number = query.Integer(0);
            if (changes.empty() || changes.back().number != number) {
                Change change;
                change.number = number;
                change.started = query.Text(1);
                change.finished = query.Text(2);
                change.program = query.Text(3);
                change.command = query.Text(4);
                change.host = query.Text(5);
                change.process = query.Text(6);
                change.port = query.Text(7);
                change.deviceId = query.Bytes(8).value_or("");
                change.version = query.Bytes(9).value_or("");
                change.result = ResultNamed(query.Text(10));
                change.reason = query.Text(11);
                // A journal opened without being swept (read-only) still says so.
                if (change.result == ChangeResult::Running && change.host == host &&
                    !ProcessAlive(change.process)) {
                    change.result = ChangeResult::Interrupted;
                }
                changes.push_back(std::move(change));
            }
            if (auto name = query.Bytes(12)) {
                changes.back().values.push_back({std::move(*name), query.Bytes(13),
                                                 query.Bytes(14).value_or(""), query.Bytes(15)});
            }
        }
        if (query.status() != SQLITE_DONE) {
            error = Problem(query.status());
            return std::nullopt;
        }
        return changes;
    }
};

namespace {

constexpr const char* kChangeColumns =
    "SELECT c.id, c.started, c.finished, c.program, c.command, c.host, c.process, c.port, "
    "c.device_id, c.version, c.result, c.reason, v.name, v.before, v.wanted, v.after "
    "FROM change c LEFT JOIN change_value v ON v.change_id = c.id ";

// The journal's own file made private before SQLite makes it with its default mode: the
// journal shows every device's settings. SQLite gives its -wal and -shm files the same mode.
bool CreatePrivateFile(const std::string& path, std::string& error) {
    std::error_code ignored;
    const fs::path folder = fs::path(path).parent_path();
    if (!folder.empty()) {
        fs::create_directories(folder, ignored);
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) {
        error = std::strerror(errno);
        return false;
    }
    if (fd >= 0) {
        close(fd);
    }
    return true;
}

}  // namespace

bool Journal::Available() {
    return true;
}

std::string Journal::DefaultPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // A relative XDG_STATE_HOME is to be ignored, as if unset.
    if (state != nullptr && state[0] == '/') {
        return (fs::path(state) / "qk4410" / "journal.sqlite").string();
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return (fs::path(home) / ".local" / "state" / "qk4410" / "journal.sqlite").string();
    }
    return {};
}

std::unique_ptr<Journal> Journal::Open(const std::string& path, Options options,
                                       std::string& error) {
    if (path.empty()) {
        error = "no journal file: neither XDG_STATE_HOME nor HOME is set";
        return nullptr;
    }
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        if (errno != ENOENT || !options.create) {
            error = std::strerror(errno);
            return nullptr;
        }
        if (!CreatePrivateFile(path, error)) {
            return nullptr;
        }
    } else if (S_ISDIR(status.st_mode)) {
        error = "is a folder";
        return nullptr;
    } else if (!S_ISREG(status.st_mode)) {
        error = "is not a regular file";
        return nullptr;
    } else if ((status.st_mode & 0222) == 0) {
        // Even for root: a file made read-only is meant to stay as it is.
        error = "the journal is read-only";
        return nullptr;
    }
    auto database = std::make_unique<Database>();
    database->busyTimeoutMs = options.busyTimeoutMs;
    if (sqlite3_open_v2(path.c_str(), &database->db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        error = database->db != nullptr ? sqlite3_errmsg(database->db) : "out of memory";
        return nullptr;
    }
    sqlite3_extended_result_codes(database->db, 1);
    sqlite3_busy_timeout(database->db, options.busyTimeoutMs);
    if (sqlite3_db_readonly(database->db, "main") == 1) {
        error = "the journal is read-only";
        return nullptr;
    }
    if (!database->Check(error)) {
        return nullptr;
    }
    // Several writers at once, readers never in their way; every commit on the disk before
    // the device is sent anything.
    // A new journal's switch takes the file whole for a moment. Two first runs at once meet
    // there, and SQLite turns one away at once (to it, a deadlock) instead of waiting: try
    // again until the busy timeout has passed.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options.busyTimeoutMs);
    int switched = SQLITE_OK;
    std::string mode;
    for (;;) {
        Statement statement(database->db, "PRAGMA journal_mode = WAL");
        switched = statement.Step();
        if (switched == SQLITE_ROW) {
            mode = statement.Text(0);
            break;
        }
        if ((switched & 0xFF) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (mode != "wal") {
        error = mode.empty() ? database->Problem(switched)
                             : "the file system does not allow a write-ahead log";
        return nullptr;
    }
    // The write-ahead log stays, unchecked-in, when the last connection closes: starting it
    // afresh costs the next run's first change a second sync of the disk. It is checked in
    // as it grows (every 1000 pages).
    int persist = 1;
    sqlite3_file_control(database->db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    sqlite3_db_config(database->db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    if (!database->Execute("PRAGMA synchronous = NORMAL", error) || !database->Migrate(error) ||
        !database->MarkInterrupted(error)) {
        return nullptr;
    }
    return std::unique_ptr<Journal>(new Journal(path, std::move(database)));
}

Journal::Journal(std::string path, std::unique_ptr<Database> database)
    : m_path(std::move(path)), m_database(std::move(database)) {}

Journal::~Journal() = default;

std::optional<std::int64_t> Journal::Begin(const Change& change, std::string& error) {
    std::lock_guard lock(m_database->mutex);
    sqlite3* db = m_database->db;
    std::int64_t number = 0;
    // The begun change is on the disk before anything is sent, whatever happens after. Its
    // end may be lost with the power (the log is synced at the next begin or checkpoint);
    // the change then reads as interrupted, which is no more than is known.
    if (!m_database->Execute("PRAGMA synchronous = FULL", error)) {
        return std::nullopt;
    }
    const bool recorded = m_database->Transaction(
        [&](std::string& why) {
            Statement insert(db,
                             "INSERT INTO change (started, program, command, host, process, port, "
                             "device_id, version, result) VALUES (?, ?, ?, ?, ?, ?, ?, ?, "
                             "'running')");
            insert.Bind(1, JournalTimeNow());
            insert.Bind(2, change.program);
            insert.Bind(3, change.command);
            insert.Bind(4, HostName());
            insert.Bind(5, CurrentProcessIdentity());
            insert.Bind(6, change.port);
            insert.BindBytes(7, NullIfEmpty(change.deviceId));
            insert.BindBytes(8, NullIfEmpty(change.version));
            if (insert.Step() != SQLITE_DONE) {
                why = m_database->Problem(insert.status());
                return false;
            }
            number = sqlite3_last_insert_rowid(db);
            for (std::size_t i = 0; i < change.values.size(); ++i) {
                const ChangedValue& value = change.values[i];
                Statement add(db,
                              "INSERT INTO change_value (change_id, position, name, before, "
                              "wanted) VALUES (?, ?, ?, ?, ?)");
                add.Bind(1, number);
                add.Bind(2, static_cast<std::int64_t>(i));
                add.Bind(3, value.name);
                add.BindBytes(4, value.before);
                add.BindBytes(5, value.wanted);
                if (add.Step() != SQLITE_DONE) {
                    why = m_database->Problem(add.status());
                    return false;
                }
            }
            return true;
        },
        error);
    std::string ignored;
    m_database->Execute("PRAGMA synchronous = NORMAL", ignored);
    return recorded ? std::optional<std::int64_t>(number) : std::nullopt;
}

bool Journal::Finish(std::int64_t number, ChangeResult result, std::string_view reason,
                     const std::vector<ChangedValue>& values, std::string& error) {
    std::lock_guard lock(m_database->mutex);
    sqlite3* db = m_database->db;
    return m_database->Transaction(
        [&](std::string& why) {
            Statement finish(db,
                             "UPDATE change SET finished = ?, result = ?, reason = ? WHERE id = ?");
            finish.Bind(1, JournalTimeNow());
            finish.Bind(2, ResultName(result));
            finish.Bind(3, reason);
            finish.Bind(4, number);
            if (finish.Step() != SQLITE_DONE) {
                why = m_database->Problem(finish.status());
                return false;
            }
            for (const ChangedValue& value : values) {
                Statement after(
                    db, "UPDATE change_value SET after = ? WHERE change_id = ? AND name = ?");
                after.BindBytes(1, value.after);
                after.Bind(2, number);
                after.Bind(3, value.name);
                if (after.Step() != SQLITE_DONE) {
                    why = m_database->Problem(after.status());
                    return false;
                }
            }
            return true;
        },
        error);
}

std::optional<std::vector<Change>> Journal::History(const HistoryQuery& query, std::string& error) {
    std::lock_guard lock(m_database->mutex);
    const std::string sql = std::string(kChangeColumns) +
                            (query.deviceId ? "WHERE c.device_id = ?1 AND c.started >= ?2 "
                                            : "WHERE c.started >= ?2 ") +
                            "ORDER BY c.id, v.position";
    return m_database->Changes(
        sql.c_str(),
        [&](Statement& statement) {
            if (query.deviceId) {
                statement.BindBytes(1, *query.deviceId);
            }
            statement.Bind(2, query.since);
        },
        error);
}

std::optional<Change> Journal::LastChange(std::string_view deviceId, std::string& error) {
    std::lock_guard lock(m_database->mutex);
    const std::string sql =
        std::string(kChangeColumns) +
        "WHERE c.id = (SELECT max(id) FROM change WHERE device_id = ?) ORDER BY v.position";
    auto changes = m_database->Changes(
        sql.c_str(), [&](Statement& statement) { statement.BindBytes(1, std::string(deviceId)); },
        error);
    if (!changes || changes->empty()) {
        return std::nullopt;
    }
    return std::move(changes->front());
}

}  // namespace qk
