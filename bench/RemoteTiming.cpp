// qk4410-cli against simulated devices behind a real ser2net on 127.0.0.1, beside the same
// commands on local pseudo-terminals, in the same run and in turn (the order alternating
// from round to round, so a machine growing busier or quieter favours neither):
//
// - `get` on one device over RFC 2217, over raw TCP, and on the same pty directly;
// - `apply` to DEVICES devices behind one ser2net at once, and to one local device; and the
//   curve over the counts of --curve: seconds, and the command line's threads and open
//   descriptors at their most during the run;
// - the connect timeout to an address that drops every packet: 198.51.100.7 (TEST-NET-2)
//   routed to the loopback in a network namespace of its own (unshare), where nothing
//   answers it; on this kind of machine such addresses outside a namespace are refused at
//   once, which would measure nothing.
//
//   remote_timing --cli PATH --sim PATH [--runs N] [--devices N] [--curve N,N,...]
//                 [--latency MS] [--quick]
//
// The devices answer LATENCY ms (10 unless given) after each command, as in apply_timing.
// --quick leaves out the 5 s of the default connect timeout. Prints "result:" lines; a
// command that does not succeed on every device fails the program.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "BenchArguments.h"
#include "Measure.h"
#include "Ser2netServer.h"
#include "SimulatedDevices.h"

namespace {

namespace fs = std::filesystem;
using qk::bench::FinishProgram;
using qk::bench::Now;
using qk::bench::PrintResult;
using qk::bench::SimulatedDevices;
using qk::bench::StartProgram;
using qk::test::Ser2netServer;
using Accepter = Ser2netServer::Accepter;

constexpr std::string_view kProfile =
    "# QK4410 profile, format 1\n"
    "destPort=6001\n"
    "protocol=UDP\n"
    "heartbeat=60s\n";

double Median(std::vector<double> values) {
    return qk::bench::Percentile(std::move(values), 50);
}

// The most threads and open descriptors a process was seen with.
struct Peak {
    int threads = 0;
    int fds = 0;
    void Sample(pid_t pid) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("Threads:")) {
                threads = std::max(threads, std::atoi(line.c_str() + 8));
            }
        }
        std::error_code error;
        int count = 0;
        for (auto entry = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error);
             !error && entry != fs::directory_iterator(); entry.increment(error)) {
            ++count;
        }
        fds = std::max(fds, count);
    }
};

// Seconds for one run of the command line that must exit 0 with `oks` lines holding " ok";
// nullopt when it did not.
std::optional<double> Run(const std::vector<std::string>& arguments, std::size_t oks,
                          Peak* peak = nullptr) {
    const double started = Now();
    const auto child = StartProgram(arguments);
    if (!child) {
        std::fprintf(stderr, "remote_timing: cannot start %s\n", arguments.front().c_str());
        return std::nullopt;
    }
    std::string output;
    const int status = FinishProgram(*child, output, [peak](pid_t pid) {
        if (peak != nullptr) {
            peak->Sample(pid);
        }
    });
    std::size_t found = 0;
    const double seconds = Now() - started;
    for (std::size_t at = 0; (at = output.find(" ok", at)) != std::string::npos; ++at) {
        ++found;
    }
    if (status != 0 || (oks > 0 && found != oks)) {
        std::fprintf(stderr, "remote_timing: '%s ...' ended with %d:\n%s\n",
                     arguments.back().c_str(), status, output.c_str());
        return std::nullopt;
    }
    return seconds;
}

// `get` on one fresh device: directly, over RFC 2217, over raw TCP; the order turns with
// the round.
std::optional<std::vector<double>> GetRound(const std::string& cli, const std::string& sim,
                                            int latencyMs, int round) {
    const SimulatedDevices devices(sim, latencyMs, 1);
    const auto ttys = devices.ttys(1);
    if (ttys.empty()) {
        return std::nullopt;
    }
    const Ser2netServer server({{ttys[0], Accepter::Rfc2217}, {ttys[0], Accepter::RawTcp}});
    std::vector<std::string> ports = {ttys[0], server.Url(0), server.Url(1)};
    std::vector<double> seconds(ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const std::size_t which = round % 2 == 1 ? i : ports.size() - 1 - i;
        const auto taken = Run({cli, "--port", ports[which], "get"}, 0);
        if (!taken) {
            return std::nullopt;
        }
        seconds[which] = *taken;
    }
    return seconds;
}

// `apply` to `count` fresh devices behind one ser2net over RFC 2217, or to one local device
// when `count` is 0.
std::optional<double> ApplyOnce(const std::string& cli, const std::string& sim, int latencyMs,
                                const std::string& profile, int count, Peak* peak) {
    const int devicesNeeded = std::max(count, 1);
    const SimulatedDevices devices(sim, latencyMs, devicesNeeded);
    const auto ttys = devices.ttys(static_cast<std::size_t>(devicesNeeded));
    if (ttys.empty()) {
        std::fprintf(stderr, "remote_timing: cannot start %d simulated devices\n", count);
        return std::nullopt;
    }
    // The journal is left out, as in apply_timing: its cost is journal_bench's.
    std::vector<std::string> arguments = {cli, "--no-journal"};
    if (count == 0) {
        arguments.insert(arguments.end(), {"--port", ttys[0], "apply", profile});
        return Run(arguments, 1, peak);
    }
    std::vector<Ser2netServer::Line> lines;
    for (const std::string& tty : ttys) {
        lines.push_back({tty, Accepter::Rfc2217});
    }
    const Ser2netServer server(lines);
    for (std::size_t i = 0; i < ttys.size(); ++i) {
        arguments.insert(arguments.end(), {"--port", server.Url(i)});
    }
    arguments.insert(arguments.end(), {"apply", profile});
    return Run(arguments, ttys.size(), peak);
}

// Seconds until `get` on a port at an address that drops every packet gives up, in a
// network namespace of its own; nullopt when the system gives none.
std::optional<double> TimeOutConnecting(const std::string& cli,
                                        const std::vector<std::string>& options) {
    int result[2];
    if (pipe(result) != 0) {
        return std::nullopt;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(result[0]);
        double seconds = -1;
        if (unshare(CLONE_NEWNET) == 0 &&
            std::system("ip link set lo up && ip address add 192.0.2.250/32 dev lo && "
                        "ip route add 198.51.100.0/24 dev lo") == 0) {
            std::vector<std::string> arguments = {cli};
            arguments.insert(arguments.end(), options.begin(), options.end());
            arguments.insert(arguments.end(), {"--port", "rfc2217://198.51.100.7:2001", "get"});
            const double started = Now();
            if (const auto started_child = StartProgram(arguments)) {
                std::string output;
                const int status = FinishProgram(*started_child, output);
                seconds = status == 2 ? Now() - started : -1;
            }
        }
        const ssize_t written = write(result[1], &seconds, sizeof seconds);
        _exit(written == sizeof seconds ? 0 : 1);
    }
    close(result[1]);
    double seconds = -1;
    const bool read_ok = child > 0 && read(result[0], &seconds, sizeof seconds) == sizeof seconds;
    close(result[0]);
    if (child > 0) {
        waitpid(child, nullptr, 0);
    }
    if (!read_ok || seconds < 0) {
        return std::nullopt;
    }
    return seconds;
}

std::vector<int> ParseCounts(const std::string& text) {
    std::vector<int> counts;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        counts.push_back(std::atoi(item.c_str()));
    }
    return counts;
}

}  // namespace

int main(int argc, char** argv) {
    const qk::bench::BenchArguments arguments(
        argc, argv, {"cli", "sim", "runs", "devices", "curve", "latency"}, {"quick"});
    const std::string cli = arguments.ok() ? arguments.Text("cli") : "";
    const std::string sim = arguments.Text("sim");
    const int runs = arguments.Number("runs", 3);
    const int batch = arguments.Number("devices", 16);
    const int latencyMs = arguments.Number("latency", 10);
    const bool quick = arguments.Has("quick");
    std::vector<int> curve = ParseCounts(arguments.Text("curve", "1,4,16,32,64"));
    if (cli.empty() || sim.empty() || runs < 1 || batch < 1 || latencyMs < 0 ||
        std::ranges::any_of(curve, [](int n) { return n < 1; })) {
        std::fprintf(stderr,
                     "usage: remote_timing --cli PATH --sim PATH [--runs N] [--devices N] "
                     "[--curve N,N,...] [--latency MS] [--quick]\n");
        return 1;
    }
    signal(SIGPIPE, SIG_IGN);
    if (std::ranges::find(curve, batch) == curve.end()) {
        curve.push_back(batch);
    }
    std::ranges::sort(curve);

    const fs::path folder =
        fs::temp_directory_path() / ("remote_timing." + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string profile = (folder / "bench.profile").string();
    std::ofstream(profile, std::ios::binary) << kProfile;

    std::vector<double> local, rfc2217, raw, getRatios, rawRatios;
    std::vector<double> applyLocal;
    std::vector<std::vector<double>> applyRemote(curve.size()), applyRatios(curve.size());
    std::vector<Peak> peaks(curve.size());
    bool ok = true;
    for (int round = 1; round <= runs && ok; ++round) {
        const auto get = GetRound(cli, sim, latencyMs, round);
        if (!get) {
            ok = false;
            break;
        }
        local.push_back((*get)[0]);
        rfc2217.push_back((*get)[1]);
        raw.push_back((*get)[2]);
        getRatios.push_back((*get)[1] / (*get)[0]);
        rawRatios.push_back((*get)[2] / (*get)[0]);
        std::fprintf(stderr, "round %d: get local %.3f s, rfc2217 %.3f s, tcp %.3f s\n", round,
                     (*get)[0], (*get)[1], (*get)[2]);

        std::optional<double> alone;
        if (round % 2 == 1) {
            alone = ApplyOnce(cli, sim, latencyMs, profile, 0, nullptr);
        }
        std::vector<double> remote(curve.size());
        for (std::size_t i = 0; i < curve.size() && ok; ++i) {
            const auto taken = ApplyOnce(cli, sim, latencyMs, profile, curve[i], &peaks[i]);
            ok = taken.has_value();
            remote[i] = taken.value_or(0);
        }
        if (round % 2 == 0) {
            alone = ApplyOnce(cli, sim, latencyMs, profile, 0, nullptr);
        }
        if (!ok || !alone) {
            ok = false;
            break;
        }
        applyLocal.push_back(*alone);
        for (std::size_t i = 0; i < curve.size(); ++i) {
            applyRemote[i].push_back(remote[i]);
            applyRatios[i].push_back(remote[i] / *alone);
            std::fprintf(stderr, "round %d: apply to %d behind ser2net %.3f s (local one %.3f s)\n",
                         round, curve[i], remote[i], *alone);
        }
    }
    fs::remove_all(folder);
    if (!ok) {
        return 2;
    }

    PrintResult("remote.runs", runs);
    PrintResult("remote.latency_ms", latencyMs);
    PrintResult("remote.get_local_s", Median(local));
    PrintResult("remote.get_rfc2217_s", Median(rfc2217));
    PrintResult("remote.get_tcp_s", Median(raw));
    PrintResult("remote.get_ratio", Median(getRatios));
    PrintResult("remote.get_ratio_max", *std::ranges::max_element(getRatios));
    PrintResult("remote.get_tcp_ratio", Median(rawRatios));
    PrintResult("remote.apply_local_s", Median(applyLocal));
    PrintResult("remote.devices", batch);
    std::string counts;
    for (std::size_t i = 0; i < curve.size(); ++i) {
        const std::string n = std::to_string(curve[i]);
        counts += (counts.empty() ? "" : ",") + n;
        PrintResult("remote.apply_" + n + "_s", Median(applyRemote[i]));
        PrintResult("remote.apply_" + n + "_ratio", Median(applyRatios[i]));
        PrintResult("remote.apply_" + n + "_ratio_max", *std::ranges::max_element(applyRatios[i]));
        PrintResult("remote.apply_" + n + "_threads", peaks[i].threads);
        PrintResult("remote.apply_" + n + "_fds", peaks[i].fds);
    }
    PrintResult("remote.curve", counts);

    const auto bounded = TimeOutConnecting(cli, {"--connect-timeout", "1000"});
    const auto standard = quick ? std::nullopt : TimeOutConnecting(cli, {});
    if (bounded) {
        PrintResult("remote.connect_timeout_1000_s", *bounded);
    }
    if (standard) {
        PrintResult("remote.connect_timeout_default_s", *standard);
    }
    if (!bounded) {
        std::fprintf(stderr,
                     "remote_timing: no network namespace here (unshare, ip): the connect "
                     "timeout was not measured\n");
    }
    return 0;
}
