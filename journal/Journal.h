#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qk {

// How a change of a device's settings ended. Running: begun and not yet finished; a
// running change whose process is gone was Interrupted (killed, or the machine stopped)
// and is shown so. Sent: written without being asked back (the window's buttons, which
// never wait for an answer).
enum class ChangeResult { Running, Ok, Failed, Sent, Interrupted };

std::string_view ResultName(ChangeResult result);
// The result a name stands for; Failed for a name it does not know.
ChangeResult ResultNamed(std::string_view name);

struct ChangedValue {
    std::string name;                   // the parameter's profile name
    std::optional<std::string> before;  // as the device reported it; nullopt: it did not
    std::string wanted;                 // what was sent
    std::optional<std::string> after;   // as the device confirmed it; nullopt: it did not
};

// One change of one device, as the journal keeps it. Device texts (ID, version, values)
// are the device's own bytes.
struct Change {
    std::int64_t number = 0;
    std::string started;   // UTC, "2026-12-07T05:25:09.123Z"
    std::string finished;  // empty until finished
    std::string program;   // "qk4410-cli", "QK4410ConfTool"
    std::string command;   // "set", "apply", "undo", "Set Param.", "Adv Param."
    std::string host;
    std::string process;  // which process on the host made it
    std::string port;
    std::string deviceId;  // empty when the device reported none
    std::string version;
    ChangeResult result = ChangeResult::Running;
    std::string reason;
    std::vector<ChangedValue> values;
};

struct HistoryQuery {
    std::optional<std::string> deviceId;  // only this device's changes
    std::string since;                    // only changes started then or later (as `started`)
};

// The journal of every change made to a device: a SQLite file that several processes, and
// several threads of one, write at once (write-ahead log, a busy timeout, one transaction
// per step). A change is recorded running before anything is sent and finished after, so
// that a process killed in between leaves a whole row that reads as interrupted, never half
// a row. The schema carries its version (user_version) and is migrated forward on opening;
// a file of a newer version, or not a journal, is refused and left as it is.
//
// It knows nothing of devices or parameters beyond the names and bytes it is given.
class Journal {
  public:
    static constexpr int kSchemaVersion = 2;

    // False where this build has no journal (Windows: Debian has no SQLite for it).
    static bool Available();
    // $XDG_STATE_HOME/qk4410/journal.sqlite, or ~/.local/state/qk4410/journal.sqlite; empty
    // when neither variable is set.
    static std::string DefaultPath();

    struct Options {
        bool create = true;  // make the file (and a missing folder of the default path)
        int busyTimeoutMs = 10000;
    };
    // Opens, checks and migrates the journal; nullptr, with `error` set, when it cannot be
    // written to (or, without `create`, when it does not exist).
    static std::unique_ptr<Journal> Open(const std::string& path, Options options,
                                         std::string& error);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Records `change` (program, command, port, device, values with before and wanted) as
    // running, stamped with the time, host and process; its number, or nullopt with `error`.
    std::optional<std::int64_t> Begin(const Change& change, std::string& error);
    // Finishes change `number`: its result and reason, and each value's `after` by name.
    bool Finish(std::int64_t number, ChangeResult result, std::string_view reason,
                const std::vector<ChangedValue>& values, std::string& error);

    // The changes asked for, oldest first; nullopt with `error` when the journal cannot be
    // read.
    std::optional<std::vector<Change>> History(const HistoryQuery& query, std::string& error);
    // The device's latest change: nullopt when there is none (`error` empty) or on error.
    std::optional<Change> LastChange(std::string_view deviceId, std::string& error);

    const std::string& path() const { return m_path; }

  private:
    struct Database;
    Journal(std::string path, std::unique_ptr<Database> database);

    std::string m_path;
    std::unique_ptr<Database> m_database;
};

}  // namespace qk
