// The wall time of `qk4410-cli apply` against simulated devices: one device alone and
// DEVICES at once, taking turns for RUNS rounds (the order alternating), each apply with
// fresh qk4410-sim processes, so every device starts from the factory values and every
// apply writes the same settings. Also the protocol's floor for the same profile: the
// pauses the device needs, plus the login's round trip measured on a simulated device.
//
//   apply_timing --cli PATH --sim PATH [--runs N] [--devices N] [--latency MS]
//
// The devices answer LATENCY ms (10 unless given) after each command. Without it, the
// simulated device answers the handshake within microseconds, sooner than any serial line
// could carry the reply (9 bytes take 9 ms at 9600 baud); the tool's first look for the
// reply, right after its requests, then sometimes finds it and sometimes not, and the
// apply's time jumps by the 200 ms of the next look from run to run.
//
// The time runs from just before qk4410-cli is started to its exit. Prints "result:"
// lines; a round whose apply does not end in "ok" on every device fails the program.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "BenchArguments.h"
#include "Measure.h"
#include "Parameters.h"
#include "SimulatedDevices.h"

namespace {

namespace fs = std::filesystem;
using qk::bench::FinishProgram;
using qk::bench::Now;
using qk::bench::PrintResult;
using qk::bench::ReadUntil;
using qk::bench::SimulatedDevices;
using qk::bench::StartProgram;

// Each differs from the simulated device's factory value; two from Set Param.'s group and
// one from Adv Param.'s, so both kinds of pause count.
constexpr std::string_view kProfile =
    "# QK4410 profile, format 1\n"
    "destPort=6001\n"
    "protocol=UDP\n"
    "heartbeat=60s\n";
constexpr std::string_view kProfileNames[] = {"destPort", "protocol", "heartbeat"};

// What the device needs, whoever talks to it: one poll after the handshake request finds
// nothing yet and the next comes 200 ms later; Get Param. is 7 queries 200 ms apart and 8
// 100 ms apart; a setting of Set Param.'s group needs 300 ms after its write, one of Adv
// Param.'s 200 ms; a query of the first group 200 ms, of the second 100 ms.
constexpr double kHandshakeMs = 200;
constexpr double kGetParametersMs = 7 * 200 + 8 * 100;
constexpr double kBasicWriteMs = 300;
constexpr double kAdvancedWriteMs = 200;
constexpr double kBasicQueryMs = 200;
constexpr double kAdvancedQueryMs = 100;

constexpr int kLoginRoundTrips = 20;

double Median(std::vector<double> values) {
    return qk::bench::Percentile(std::move(values), 50);
}

// Seconds for one apply of the profile to `count` fresh devices; nullopt when it failed.
std::optional<double> ApplyOnce(const std::string& cli, const std::string& sim, int latencyMs,
                                const std::string& profile, int count) {
    const SimulatedDevices devices(sim, latencyMs, count);
    const auto ttys = devices.ttys(static_cast<std::size_t>(count));
    if (ttys.empty()) {
        std::fprintf(stderr, "apply_timing: cannot start %d simulated devices\n", count);
        return std::nullopt;
    }
    // The journal is left out: its cost is measured beside it (journal_bench).
    std::vector<std::string> arguments = {cli, "--no-journal"};
    for (const std::string& tty : ttys) {
        arguments.insert(arguments.end(), {"--port", tty});
    }
    arguments.insert(arguments.end(), {"apply", profile});

    const double started = Now();
    const auto child = StartProgram(arguments);
    if (!child) {
        std::fprintf(stderr, "apply_timing: cannot start %s\n", cli.c_str());
        return std::nullopt;
    }
    std::string output;
    const int status = FinishProgram(*child, output);
    const double seconds = Now() - started;

    int confirmed = 0;
    for (std::size_t at = 0; (at = output.find(" ok: wrote ", at)) != std::string::npos; ++at) {
        ++confirmed;
    }
    std::fputs(output.c_str(), stderr);
    if (status != 0 || confirmed != count) {
        std::fprintf(stderr, "apply_timing: the apply to %d devices did not end in ok\n", count);
        return std::nullopt;
    }
    return seconds;
}

// The login's round trip on a simulated device, from the write of the login to the end
// of its answer (median of kLoginRoundTrips, ms).
std::optional<double> LoginRoundTrip(const std::string& sim, int latencyMs) {
    const SimulatedDevices devices(sim, latencyMs, 1);
    const auto ttys = devices.ttys(1);
    if (ttys.empty()) {
        return std::nullopt;
    }
    const int fd = open(ttys.front().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    const auto send = [fd](std::string_view bytes) {
        return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    };
    std::string text;
    std::optional<double> median;
    if (send("REQUEST CFG MODE") && ReadUntil(fd, text, "CFG MODE\r")) {
        std::vector<double> trips;
        for (int i = 0; i < kLoginRoundTrips; ++i) {
            text.clear();
            const double started = Now();
            if (!send("QK+LOGIN=358024\r\n") || !ReadUntil(fd, text, "+LOGIN:OK\r\n")) {
                break;
            }
            trips.push_back((Now() - started) * 1000);
        }
        if (trips.size() == kLoginRoundTrips) {
            median = Median(trips);
        }
    }
    close(fd);
    return median;
}

}  // namespace

int main(int argc, char** argv) {
    const qk::bench::BenchArguments arguments(argc, argv,
                                              {"cli", "sim", "runs", "devices", "latency"});
    const std::string cli = arguments.ok() ? arguments.Text("cli") : "";
    const std::string sim = arguments.Text("sim");
    const int runs = arguments.Number("runs", 5);
    const int batch = arguments.Number("devices", 8);
    const int latencyMs = arguments.Number("latency", 10);
    if (cli.empty() || sim.empty() || runs < 1 || batch < 2 || latencyMs < 0) {
        std::fprintf(stderr,
                     "usage: apply_timing --cli PATH --sim PATH [--runs N] [--devices N>=2] "
                     "[--latency MS]\n");
        return 1;
    }
    signal(SIGPIPE, SIG_IGN);

    double writesMs = 0;
    double readBackMs = 0;
    for (const std::string_view name : kProfileNames) {
        const qk::Parameter* parameter = qk::FindParameterByName(name);
        if (parameter == nullptr) {
            std::fprintf(stderr, "apply_timing: no setting %s\n", name.data());
            return 1;
        }
        const bool basic = parameter->group == qk::ParameterGroup::Basic;
        writesMs += basic ? kBasicWriteMs : kAdvancedWriteMs;
        readBackMs += basic ? kBasicQueryMs : kAdvancedQueryMs;
    }
    const auto loginMs = LoginRoundTrip(sim, latencyMs);
    if (!loginMs) {
        std::fprintf(stderr, "apply_timing: no login round trip with %s\n", sim.c_str());
        return 2;
    }
    const double floorMs = kHandshakeMs + kGetParametersMs + *loginMs + writesMs + readBackMs;

    const fs::path folder =
        fs::temp_directory_path() / ("apply_timing." + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string profile = (folder / "bench.profile").string();
    std::ofstream(profile, std::ios::binary) << kProfile;

    std::vector<double> one;
    std::vector<double> many;
    std::vector<double> ratios;
    bool ok = true;
    for (int round = 1; round <= runs && ok; ++round) {
        // Alternating the order keeps a machine that grows busier or quieter during a round
        // from favouring either.
        std::optional<double> alone;
        std::optional<double> together;
        if (round % 2 == 1) {
            alone = ApplyOnce(cli, sim, latencyMs, profile, 1);
            together = ApplyOnce(cli, sim, latencyMs, profile, batch);
        } else {
            together = ApplyOnce(cli, sim, latencyMs, profile, batch);
            alone = ApplyOnce(cli, sim, latencyMs, profile, 1);
        }
        if (!alone || !together) {
            ok = false;
            break;
        }
        one.push_back(*alone);
        many.push_back(*together);
        ratios.push_back(*together / *alone);
        std::fprintf(stderr, "round %d: 1 device %.3f s, %d devices %.3f s\n", round, *alone, batch,
                     *together);
    }
    fs::remove_all(folder);
    if (!ok) {
        return 2;
    }

    PrintResult("apply.devices", batch);
    PrintResult("apply.runs", runs);
    PrintResult("apply.latency_ms", latencyMs);
    PrintResult("apply.one_s", Median(one));
    PrintResult("apply.one_min_s", *std::ranges::min_element(one));
    PrintResult("apply.one_max_s", *std::ranges::max_element(one));
    PrintResult("apply.batch_s", Median(many));
    PrintResult("apply.batch_min_s", *std::ranges::min_element(many));
    PrintResult("apply.batch_max_s", *std::ranges::max_element(many));
    PrintResult("apply.batch_ratio", Median(ratios));
    PrintResult("apply.floor.handshake_ms", kHandshakeMs);
    PrintResult("apply.floor.parameters_ms", kGetParametersMs);
    PrintResult("apply.floor.login_ms", *loginMs);
    PrintResult("apply.floor.writes_ms", writesMs);
    PrintResult("apply.floor.read_back_ms", readBackMs);
    PrintResult("apply.floor_ms", floorMs);
    PrintResult("apply.one_over_floor", Median(one) * 1000 / floorMs);
    return 0;
}
