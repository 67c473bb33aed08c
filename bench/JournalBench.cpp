// What the journal costs and whether it holds under load:
//
//  - per device in an apply: the journal's two steps (the change begun with three values,
//    then finished) in this process, and qk4410-cli apply to DEVICES fresh simulated devices
//    with and without the journal, in turn for ROUNDS rounds;
//  - qk4410-cli history --id on a journal of CHANGES changes (1000 devices), as a program
//    run, and the query alone;
//  - 8 qk4410-cli processes applying to 8 simulated devices each at once, into one journal:
//    every row there, none interrupted.
//
//   journal_bench --cli PATH --sim PATH [--rounds N] [--devices N] [--changes N] [--quick]
//
// Prints "result:" lines; a lost or unfinished row fails the program.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "BenchArguments.h"
#include "Journal.h"
#include "Measure.h"
#include "SimulatedDevices.h"

namespace {

namespace fs = std::filesystem;
using qk::bench::Now;
using qk::bench::PrintResult;

constexpr std::string_view kProfile =
    "# QK4410 profile, format 1\n"
    "destPort=6001\n"
    "protocol=UDP\n"
    "heartbeat=60s\n";
constexpr int kLatencyMs = 10;

double Median(std::vector<double> values) {
    return qk::bench::Percentile(std::move(values), 50);
}

qk::Change AChange(const std::string& id) {
    qk::Change change;
    change.program = "journal_bench";
    change.command = "apply";
    change.port = "/dev/ttyUSB0";
    change.deviceId = id;
    change.version = "QK4520-1 HW:V2.1 SW:V3.5 2023-06-01";
    change.values = {{"destPort", "5000", "6001", std::nullopt},
                     {"protocol", "TCP", "UDP", std::nullopt},
                     {"heartbeat", "1", "3", std::nullopt}};
    return change;
}

// Milliseconds for each device's two steps, `count` devices one after another.
std::vector<double> StepsPerDevice(const std::string& path, int count) {
    std::string error;
    const auto journal = qk::Journal::Open(path, {}, error);
    std::vector<double> ms;
    for (int i = 0; journal && i < count; ++i) {
        const double started = Now();
        const auto number = journal->Begin(AChange("BENCH-" + std::to_string(i)), error);
        if (!number ||
            !journal->Finish(*number, qk::ChangeResult::Ok, "wrote destPort", {}, error)) {
            break;
        }
        ms.push_back((Now() - started) * 1000);
    }
    if (!error.empty()) {
        std::fprintf(stderr, "journal_bench: %s\n", error.c_str());
    }
    return ms;
}

// Seconds for qk4410-cli with `options` and `arguments` after the ports of `devices` fresh
// simulated devices; nullopt when it does not succeed.
std::optional<double> RunCli(const std::string& cli, const std::string& sim,
                             const std::vector<std::string>& options,
                             const std::vector<std::string>& command, int devices) {
    const qk::bench::SimulatedDevices sims(sim, kLatencyMs, devices, true);
    const auto ttys = sims.ttys(static_cast<std::size_t>(devices));
    if (ttys.empty()) {
        return std::nullopt;
    }
    std::vector<std::string> arguments = {cli};
    arguments.insert(arguments.end(), options.begin(), options.end());
    for (const std::string& tty : ttys) {
        arguments.insert(arguments.end(), {"--port", tty});
    }
    arguments.insert(arguments.end(), command.begin(), command.end());
    const double started = Now();
    const auto child = qk::bench::StartProgram(arguments);
    std::string output;
    if (!child || qk::bench::FinishProgram(*child, output) != 0) {
        std::fprintf(stderr, "journal_bench: %s failed:\n%s", cli.c_str(), output.c_str());
        return std::nullopt;
    }
    return Now() - started;
}

// A journal of `count` changes of 1000 devices, three values each, written at once.
bool FillJournal(const std::string& path, int count) {
    std::string error;
    if (!qk::Journal::Open(path, {}, error)) {
        std::fprintf(stderr, "journal_bench: %s\n", error.c_str());
        return false;
    }
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* change = nullptr;
    sqlite3_stmt* value = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO change (started, finished, program, command, host, process, "
                       "port, device_id, version, result) VALUES (?1, ?1, 'qk4410-cli', 'apply', "
                       "'bench', '1', '/dev/ttyUSB0', ?2, 'V1', 'ok')",
                       -1, &change, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO change_value VALUES (?1, ?2, ?3, x'35303030', x'36303031', "
                       "x'36303031')",
                       -1, &value, nullptr);
    const char* names[] = {"destPort", "protocol", "heartbeat"};
    for (int i = 0; i < count; ++i) {
        char started[40], id[32];
        std::snprintf(started, sizeof started, "2026-%02d-%02dT%02d:%02d:%02d.000Z",
                      1 + i / 2500000, 1 + (i / 86400) % 28, (i / 3600) % 24, (i / 60) % 60,
                      i % 60);
        std::snprintf(id, sizeof id, "BENCH-%04d", i % 1000 + 1);
        sqlite3_bind_text(change, 1, started, -1, SQLITE_TRANSIENT);
        sqlite3_bind_blob(change, 2, id, static_cast<int>(std::string_view(id).size()),
                          SQLITE_TRANSIENT);
        sqlite3_step(change);
        sqlite3_reset(change);
        const sqlite3_int64 number = sqlite3_last_insert_rowid(db);
        for (int v = 0; v < 3; ++v) {
            sqlite3_bind_int64(value, 1, number);
            sqlite3_bind_int(value, 2, v);
            sqlite3_bind_text(value, 3, names[v], -1, SQLITE_STATIC);
            sqlite3_step(value);
            sqlite3_reset(value);
        }
    }
    sqlite3_finalize(change);
    sqlite3_finalize(value);
    const bool committed = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return committed;
}

}  // namespace

int main(int argc, char** argv) {
    const qk::bench::BenchArguments arguments(
        argc, argv, {"cli", "sim", "rounds", "devices", "changes"}, {"quick"});
    const bool quick = arguments.Has("quick");
    const std::string cli = arguments.ok() ? arguments.Text("cli") : "";
    const std::string sim = arguments.Text("sim");
    const int rounds = quick ? 1 : arguments.Number("rounds", 10);
    const int devices = arguments.Number("devices", 1);
    const int changes = quick ? 2000 : arguments.Number("changes", 100000);
    const int processes = quick ? 2 : 8;
    const int perProcess = quick ? 2 : 8;
    const int steps = quick ? 20 : 200;
    if (cli.empty() || sim.empty() || rounds < 1 || devices < 1 || changes < 1000) {
        std::fprintf(stderr,
                     "usage: journal_bench --cli PATH --sim PATH [--rounds N] [--devices N] "
                     "[--changes N>=1000] [--quick]\n");
        return 1;
    }
    const fs::path folder =
        fs::temp_directory_path() / ("journal_bench." + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string profile = (folder / "bench.profile").string();
    std::ofstream(profile, std::ios::binary) << kProfile;
    bool ok = true;

    // 1. The journal's own steps for one device, and the apply with and without them.
    const std::vector<double> perDevice = StepsPerDevice((folder / "steps.sqlite").string(), steps);
    ok = ok && perDevice.size() == static_cast<std::size_t>(steps);
    PrintResult("journal.steps_per_device_ms", Median(perDevice));
    PrintResult("journal.steps_per_device_p95_ms", qk::bench::Percentile(perDevice, 95));
    std::vector<double> with, without;
    const std::string applyJournal = (folder / "apply.sqlite").string();
    for (int round = 1; round <= rounds && ok; ++round) {
        // Alternating the order keeps a machine that grows busier or quieter from favouring
        // either.
        for (const bool journaled :
             round % 2 == 1 ? std::vector{false, true} : std::vector{true, false}) {
            const auto seconds =
                RunCli(cli, sim,
                       journaled ? std::vector<std::string>{"--journal", applyJournal}
                                 : std::vector<std::string>{"--no-journal"},
                       {"apply", profile}, devices);
            ok = ok && seconds.has_value();
            (journaled ? with : without).push_back(seconds.value_or(0) * 1000);
        }
        std::fprintf(stderr, "round %d: without %.1f ms, with %.1f ms\n", round, without.back(),
                     with.back());
    }
    if (ok) {
        PrintResult("journal.apply_rounds", rounds);
        PrintResult("journal.apply_devices", devices);
        PrintResult("journal.apply_without_ms", Median(without));
        PrintResult("journal.apply_with_ms", Median(with));
        PrintResult("journal.apply_added_ms", Median(with) - Median(without));
        PrintResult("journal.apply_added_per_device_ms",
                    (Median(with) - Median(without)) / devices);
    }

    // 2. history --id over many changes.
    const std::string big = (folder / "big.sqlite").string();
    ok = ok && FillJournal(big, changes);
    std::vector<double> program, query;
    std::string error;
    const auto journal = qk::Journal::Open(big, {.create = false}, error);
    for (int run = 0; ok && journal && run < 20; ++run) {
        const double started = Now();
        const auto found = journal->History({.deviceId = "BENCH-0500", .since = {}}, error);
        query.push_back((Now() - started) * 1000);
        ok = found && found->size() == static_cast<std::size_t>(changes / 1000);
        const double programStarted = Now();
        const auto child =
            qk::bench::StartProgram({cli, "--journal", big, "history", "--id", "BENCH-0500"});
        std::string output;
        ok = ok && child && qk::bench::FinishProgram(*child, output) == 0 &&
             std::ranges::count(output, '\n') == 4 * (changes / 1000);
        program.push_back((Now() - programStarted) * 1000);
    }
    if (ok) {
        PrintResult("journal.history_changes", changes);
        PrintResult("journal.history_program_ms", Median(program));
        PrintResult("journal.history_query_ms", Median(query));
    }

    // 3. Eight processes, eight devices each, one journal.
    const std::string shared = (folder / "shared.sqlite").string();
    {
        const qk::bench::SimulatedDevices sims(sim, kLatencyMs, processes * perProcess, true);
        const auto ttys = sims.ttys(static_cast<std::size_t>(processes * perProcess));
        ok = ok && !ttys.empty();
        std::vector<qk::bench::Child> children;
        const double started = Now();
        for (int p = 0; ok && p < processes; ++p) {
            std::vector<std::string> arguments = {cli, "--journal", shared};
            for (int d = 0; d < perProcess; ++d) {
                arguments.insert(arguments.end(),
                                 {"--port", ttys[static_cast<std::size_t>(p * perProcess + d)]});
            }
            arguments.insert(arguments.end(), {"apply", profile});
            if (const auto child = qk::bench::StartProgram(arguments)) {
                children.push_back(*child);
            }
        }
        int succeeded = 0;
        for (const auto& child : children) {
            std::string output;
            succeeded += qk::bench::FinishProgram(child, output) == 0 ? 1 : 0;
        }
        const double seconds = Now() - started;
        const auto opened = qk::Journal::Open(shared, {.create = false}, error);
        const auto rows = opened ? opened->History({}, error) : std::nullopt;
        const auto count = [&](qk::ChangeResult result) {
            return rows ? std::ranges::count(*rows, result, &qk::Change::result) : 0;
        };
        const long total = rows ? static_cast<long>(rows->size()) : 0;
        PrintResult("journal.concurrent_processes", processes);
        PrintResult("journal.concurrent_rows", static_cast<double>(total));
        PrintResult("journal.concurrent_ok", static_cast<double>(count(qk::ChangeResult::Ok)));
        PrintResult("journal.concurrent_interrupted",
                    static_cast<double>(count(qk::ChangeResult::Interrupted) +
                                        count(qk::ChangeResult::Running)));
        PrintResult("journal.concurrent_s", seconds);
        ok = ok && succeeded == processes && total == processes * perProcess &&
             count(qk::ChangeResult::Ok) == total;
    }
    fs::remove_all(folder);
    return ok ? 0 : 2;
}
