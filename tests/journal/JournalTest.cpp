// The journal as the front ends and other processes meet it: rows that are whole or absent,
// interrupted changes, several writers, files that are not a journal, and trouble on the
// disk, which refuses a change before it starts and leaves the file as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "DeviceChanges.h"
#include "Journal.h"
#include "JournalTime.h"

namespace qk {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs SQL on the file through a connection of its own, as another program would.
void Sql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << (error != nullptr ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

// Runs `body(p)` in `count` child processes released together; true when every one returned
// true.
bool AllSucceedAtOnce(int count, const std::function<bool(int)>& body) {
    int start[2];
    if (pipe(start) != 0) {
        return false;
    }
    std::vector<pid_t> children;
    for (int p = 0; p < count; ++p) {
        const pid_t child = fork();
        if (child == 0) {
            close(start[1]);
            char go = 0;
            (void)!read(start[0], &go, 1);  // the end of file releases them all
            _exit(body(p) ? 0 : 1);
        }
        children.push_back(child);
    }
    close(start[0]);
    close(start[1]);
    bool all = true;
    for (const pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        all = all && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return all;
}

// A change begun and finished by a journal of its own; a failure is told on stderr.
bool RecordOne(const std::string& path, const Change& change) {
    std::string error;
    auto journal = Journal::Open(path, {}, error);
    const auto number = journal ? journal->Begin(change, error) : std::nullopt;
    const bool ok = number && journal->Finish(*number, ChangeResult::Ok, "", {}, error);
    if (!ok) {
        std::fprintf(stderr, "%d: %s\n", static_cast<int>(getpid()), error.c_str());
    }
    return ok;
}

struct JournalTest : ::testing::Test {
    JournalTest() {
        char name[] = "/tmp/qk-journal-XXXXXX";
        folder = mkdtemp(name);
    }
    ~JournalTest() override { fs::remove_all(folder); }
    std::string File(const std::string& name = "journal.sqlite") const {
        return (folder / name).string();
    }
    std::unique_ptr<Journal> Open(Journal::Options options = {}) {
        std::string error;
        auto journal = Journal::Open(File(), options, error);
        EXPECT_TRUE(journal) << error;
        return journal;
    }
    static Change AChange(std::string id = "QK-1") {
        Change change;
        change.program = "qk4410-cli";
        change.command = "apply";
        change.port = "/dev/ttyUSB0";
        change.deviceId = std::move(id);
        change.version = "V1";
        change.values = {{"destPort", "5000", "6001", std::nullopt},
                         {"registerData", std::nullopt, "\xD5\xBE\xB5\xE3\xFF", std::nullopt}};
        return change;
    }
    fs::path folder;
};

TEST_F(JournalTest, AChangeIsRecordedBeforeAndAfterAndReadBackByDevice) {
    const auto journal = Open();
    std::string error;
    const auto first = journal->Begin(AChange(), error);
    const auto other = journal->Begin(AChange("QK-2"), error);
    ASSERT_TRUE(first && other) << error;
    ASSERT_TRUE(journal->Finish(*first, ChangeResult::Ok, "wrote destPort",
                                {{"destPort", {}, "6001", "6001"}}, error))
        << error;
    const auto history = journal->History({.deviceId = "QK-1", .since = {}}, error);
    ASSERT_TRUE(history) << error;
    ASSERT_EQ(history->size(), 1u);
    const Change& change = history->front();
    EXPECT_EQ(std::tuple(change.program, change.command, change.port, change.deviceId,
                         change.version, change.result, change.reason),
              std::tuple("qk4410-cli", "apply", "/dev/ttyUSB0", "QK-1", "V1", ChangeResult::Ok,
                         "wrote destPort"));
    EXPECT_FALSE(change.finished.empty());
    ASSERT_EQ(change.values.size(), 2u);
    EXPECT_EQ(change.values[0].before, "5000");
    EXPECT_EQ(change.values[0].after, "6001");
    EXPECT_EQ(change.values[1].before, std::nullopt);
    EXPECT_EQ(change.values[1].wanted, "\xD5\xBE\xB5\xE3\xFF");  // the device's bytes, as they were
    EXPECT_EQ(change.values[1].after, std::nullopt);
    // Still running: QK-2's change, in this live process.
    EXPECT_EQ(journal->LastChange("QK-2", error)->result, ChangeResult::Running);
    EXPECT_EQ(
        journal->History({.deviceId = {}, .since = "2999-01-01T00:00:00.000Z"}, error)->size(), 0u);
    EXPECT_FALSE(journal->LastChange("QK-3", error));
    EXPECT_TRUE(error.empty());
    struct stat status {};
    ASSERT_EQ(stat(File().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);  // it shows every device's settings
}

// A process killed between its two steps leaves a whole row, which reads as interrupted and
// is marked so when the journal is next opened.
TEST_F(JournalTest, AChangeWhoseProcessDiedReadsAsInterrupted) {
    { const auto created = Open(); }
    const pid_t child = fork();
    if (child == 0) {
        std::string error;
        auto journal = Journal::Open(File(), {}, error);
        const bool begun = journal && journal->Begin(AChange(), error);
        std::raise(begun ? SIGKILL : SIGABRT);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    Sql(File(), "");  // the file is a readable database
    const auto journal = Open();
    std::string error;
    const auto last = journal->LastChange("QK-1", error);
    ASSERT_TRUE(last) << error;
    EXPECT_EQ(last->result, ChangeResult::Interrupted);
    EXPECT_THAT(last->reason, HasSubstr("ended before the change was finished"));
    EXPECT_EQ(last->values.size(), 2u);
}

// Eight processes, eight changes each, into one journal at once: every row whole.
TEST_F(JournalTest, SeveralProcessesWritingAtOnceLoseNoRow) {
    { const auto created = Open(); }
    EXPECT_TRUE(AllSucceedAtOnce(8, [&](int p) {
        for (int d = 0; d < 8; ++d) {
            if (!RecordOne(File(), AChange("QK-" + std::to_string(p * 8 + d)))) {
                return false;
            }
        }
        return true;
    }));
    std::string error;
    const auto history = Open()->History({}, error);
    ASSERT_TRUE(history) << error;
    EXPECT_EQ(history->size(), 64u);
    EXPECT_TRUE(std::ranges::all_of(*history, [](const Change& c) {
        return c.result == ChangeResult::Ok && c.values.size() == 2;
    }));
}

// The first run on a machine may be several at once: each must find or make the journal,
// none may be turned away as if another held it.
TEST_F(JournalTest, ProcessesOpeningANewJournalAtOnceAllRecord) {
    for (int round = 0; round < 10; ++round) {
        const std::string path = File("new-" + std::to_string(round) + ".sqlite");
        EXPECT_TRUE(AllSucceedAtOnce(6, [&](int) { return RecordOne(path, AChange()); }))
            << "round " << round;
        std::string error;
        auto journal = Journal::Open(path, {}, error);
        ASSERT_TRUE(journal) << error;
        const auto history = journal->History({}, error);
        ASSERT_TRUE(history) << error;
        EXPECT_EQ(history->size(), 6u) << "round " << round;
    }
}

// A journal of the first version gets the second's indexes and keeps its rows.
TEST_F(JournalTest, AnOlderJournalIsMigratedForwardWithItsRows) {
    Sql(File(),
        "CREATE TABLE change (id INTEGER PRIMARY KEY AUTOINCREMENT, started TEXT NOT NULL, "
        "finished TEXT, program TEXT NOT NULL, command TEXT NOT NULL, host TEXT NOT NULL, "
        "process TEXT NOT NULL, port TEXT NOT NULL, device_id BLOB, version BLOB, result TEXT "
        "NOT NULL, reason TEXT NOT NULL DEFAULT '');"
        "CREATE TABLE change_value (change_id INTEGER NOT NULL REFERENCES change(id), position "
        "INTEGER NOT NULL, name TEXT NOT NULL, before BLOB, wanted BLOB NOT NULL, after BLOB, "
        "PRIMARY KEY (change_id, position));"
        "INSERT INTO change VALUES (1, '2026-01-01T00:00:00.000Z', '2026-01-01T00:00:01.000Z', "
        "'qk4410-cli', 'set', 'h', '1', '/dev/ttyUSB0', x'514B2D31', NULL, 'ok', '');"
        "INSERT INTO change_value VALUES (1, 0, 'destPort', x'35303030', x'36303031', "
        "x'36303031');"
        "PRAGMA application_id = 1363883060; PRAGMA user_version = 1;");
    const auto journal = Open();
    std::string error;
    const auto last = journal->LastChange("QK-1", error);
    ASSERT_TRUE(last) << error;
    EXPECT_EQ(last->values.at(0).after, "6001");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(File().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE name = 'change_by_device'", -1,
                       &statement, nullptr);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(statement, 0), 1);
    sqlite3_finalize(statement);
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(statement, 0), Journal::kSchemaVersion);
    sqlite3_finalize(statement);
    sqlite3_close(db);
}

// Refused, with the reason, and left byte for byte as it was.
TEST_F(JournalTest, FilesThatAreNoJournalOfThisVersionAreRefusedUntouched) {
    const auto refused = [&](const std::string& reason) {
        const std::string before = Read(File());
        std::string error;
        EXPECT_FALSE(Journal::Open(File(), {}, error));
        EXPECT_THAT(error, HasSubstr(reason));
        EXPECT_EQ(Read(File()), before);
        EXPECT_FALSE(fs::exists(File() + "-wal"));
        fs::remove(File());
    };
    std::ofstream(File()) << "id,destPort\nQK-1,6001\n";
    refused("not a journal (not an SQLite database)");
    Sql(File(), "CREATE TABLE contacts (name TEXT)");
    refused("an SQLite database of another program");
    Sql(File(), "PRAGMA application_id = 1363883060; PRAGMA user_version = 9;");
    refused("of a newer version (9) than this program knows (2)");
    fs::create_directory(File());
    std::string error;
    EXPECT_FALSE(Journal::Open(File(), {}, error));
    EXPECT_EQ(error, "is a folder");
    fs::remove(File());
    EXPECT_FALSE(Journal::Open(File(), {.create = false}, error));
    EXPECT_FALSE(fs::exists(File()));
}

TEST_F(JournalTest, AReadOnlyOrLockedJournalRefusesTheChangeBeforeItStarts) {
    { const auto created = Open(); }
    chmod(File().c_str(), 0444);
    std::string error;
    EXPECT_FALSE(Journal::Open(File(), {}, error));  // even for root
    EXPECT_EQ(error, "the journal is read-only");
    chmod(File().c_str(), 0600);

    const auto journal = Open({.create = false, .busyTimeoutMs = 200});
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(File().c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_FALSE(journal->Begin(AChange(), error));
    EXPECT_THAT(error, HasSubstr("another program has held the journal"));
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_TRUE(journal->Begin(AChange(), error)) << error;
}

// A disk with no room (a file size limit stands in for it): the change is refused, and
// what the journal held before is still there and readable.
TEST_F(JournalTest, AFullDiskRefusesTheChangeAndKeepsTheJournal) {
    {
        const auto journal = Open();
        std::string error;
        ASSERT_TRUE(journal->Begin(AChange("QK-0"), error));
    }
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{0, 0};  // no file may grow by a byte
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        auto journal = Journal::Open(File(), {}, error);
        const bool refused = !journal || !journal->Begin(AChange("QK-1"), error);
        _exit(refused ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string error;
    const auto history = Open()->History({}, error);
    ASSERT_TRUE(history) << error;
    ASSERT_EQ(history->size(), 1u);
    EXPECT_EQ(history->front().deviceId, "QK-0");
}

TEST(JournalTimeTest, DatesAsPeopleWriteThemBecomeTheJournalsTimes) {
    EXPECT_EQ(JournalTimeFrom("2026-12-07"), "2026-12-07T00:00:00.000Z");
    EXPECT_EQ(JournalTimeFrom("2026-12-07T05:25"), "2026-12-07T05:25:00.000Z");
    EXPECT_EQ(JournalTimeFrom("2026-12-07 05:25:09Z"), "2026-12-07T05:25:09.000Z");
    EXPECT_EQ(JournalTimeFrom("2024-02-29"), "2024-02-29T00:00:00.000Z");
    for (const char* wrong : {"2026-02-29", "2026-13-01", "2026-12-07T24:00", "2026-12-7",
                              "2026-12-07T05", "2026-12-07T05:25:09.5", "today", ""}) {
        EXPECT_FALSE(JournalTimeFrom(wrong)) << wrong;
    }
    const std::string now = JournalTimeNow();
    EXPECT_EQ(now.size(), 24u);
    EXPECT_EQ(JournalTimeFrom(now.substr(0, 19)).value().substr(0, 19), now.substr(0, 19));
}

// The window's changes: recorded as sent before they go out, never as confirmed; a journal
// that cannot record refuses the change.
TEST_F(JournalTest, TheWindowsChangesAreRecordedAsSent) {
    WindowJournal window({.enabled = true, .file = File()}, [] { return "/dev/ttyUSB1"; });
    DeviceState state;
    state.reported.Note(ParameterId::Id, "QK-9");
    state.reported.Note(ParameterId::DestPort, "5000");
    const Parameter& port = ParameterOf(ParameterId::DestPort);
    const Parameter& address = ParameterOf(ParameterId::DestAddress);
    std::string why;
    ASSERT_TRUE(window.ChangeStarting("Set Param.", state, {{&port, "6001"}, {&address, "a"}}, why))
        << why;
    window.ChangeEnded({.written = {ParameterId::DestPort}, .failed = {}}, true);
    const auto history = window.History("QK-9", why);
    ASSERT_TRUE(history && history->size() == 1) << why;
    const Change& change = history->front();
    EXPECT_EQ(std::tuple(change.program, change.command, change.port, change.result, change.reason),
              std::tuple("QK4410ConfTool", "Set Param.", "/dev/ttyUSB1", ChangeResult::Failed,
                         "the line was lost; not sent: destAddress"));
    EXPECT_EQ(change.values.at(0).after, std::nullopt);

    WindowJournal broken({.enabled = true, .file = File("no-such-folder/")}, [] { return ""; });
    EXPECT_FALSE(broken.ChangeStarting("Adv Param.", state, {{&port, "1"}}, why));
    EXPECT_THAT(why, HasSubstr("Not sent: the journal cannot record the change"));
    WindowJournal off({.enabled = false, .file = {}}, [] { return ""; });
    EXPECT_TRUE(off.ChangeStarting("Adv Param.", state, {{&port, "1"}}, why));
}

}  // namespace
}  // namespace qk
