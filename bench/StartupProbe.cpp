// Start-up time of the program to its first painted main window: starts it with
// QK_REPORT_FIRST_PAINT set, which makes it print "QK_FIRST_PAINT <ns>" (the monotonic
// clock at the main window's first paint) on standard error, and takes the time from just
// before the start. Also the program's resident memory a second after that paint.
//
//   startup_probe [--runs N] [--arrival] [--label NAME] -- PROGRAM ARGS...
//
// Each run is a fresh process, ended with SIGTERM once measured. Prints "result:" lines,
// named startup.NAME.* with --label. With --arrival the paint counts when its line arrives
// rather than at the time the line carries: for a program whose clock is not this one's
// (a Windows program under Wine), and for figures to set beside such a program's.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Measure.h"

extern char** environ;

namespace {

using qk::bench::PrintResult;

constexpr std::string_view kMarker = "QK_FIRST_PAINT ";

long long MonotonicNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Reads the program's standard error until the marker line; the time it carries, or with
// `atArrival` the time it arrived.
std::optional<long long> WaitForFirstPaint(int fd, int timeoutMs, bool atArrival) {
    std::string text;
    const long long deadline = MonotonicNanoseconds() + timeoutMs * 1'000'000LL;
    while (MonotonicNanoseconds() < deadline) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            return std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(count));
        const auto at = text.find(kMarker);
        if (at != std::string::npos && text.find('\n', at) != std::string::npos) {
            return atArrival ? MonotonicNanoseconds()
                             : std::atoll(text.c_str() + at + kMarker.size());
        }
    }
    return std::nullopt;
}

struct Run {
    double milliseconds = 0;
    double residentMB = 0;
};

std::optional<Run> StartOnce(std::vector<char*> argv, bool atArrival) {
    std::vector<std::string> environment = {"QK_REPORT_FIRST_PAINT=1"};
    for (char** variable = environ; *variable != nullptr; ++variable) {
        environment.emplace_back(*variable);
    }
    std::vector<char*> envp;
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    argv.push_back(nullptr);

    int errors[2];
    if (pipe2(errors, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    const long long started = MonotonicNanoseconds();
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(errors[1]);
    if (spawned != 0) {
        close(errors[0]);
        return std::nullopt;
    }
    const auto painted = WaitForFirstPaint(errors[0], 60'000, atArrival);
    std::optional<Run> run;
    if (painted) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        run = Run{static_cast<double>(*painted - started) / 1e6,
                  static_cast<double>(qk::bench::ResidentBytesOf(pid)) / 1e6};
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    close(errors[0]);
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    bool atArrival = false;
    std::string name = "startup";
    int first = 1;
    for (; first < argc; ++first) {
        const std::string_view option = argv[first];
        if (option == "--runs" && first + 1 < argc) {
            runs = std::atoi(argv[++first]);
        } else if (option == "--arrival") {
            atArrival = true;
        } else if (option == "--label" && first + 1 < argc) {
            name = std::string("startup.") + argv[++first];
        } else if (option == "--") {
            ++first;
            break;
        } else {
            break;
        }
    }
    if (first >= argc || runs < 1) {
        std::fprintf(stderr,
                     "usage: startup_probe [--runs N] [--arrival] [--label NAME] -- PROGRAM "
                     "ARGS...\n");
        return 1;
    }
    const std::vector<char*> program(argv + first, argv + argc);
    std::vector<double> milliseconds;
    std::vector<double> resident;
    for (int i = 0; i < runs; ++i) {
        const auto run = StartOnce(program, atArrival);
        if (!run) {
            std::fprintf(stderr, "startup_probe: %s never reported its first paint\n", argv[first]);
            return 2;
        }
        milliseconds.push_back(run->milliseconds);
        resident.push_back(run->residentMB);
    }
    PrintResult(name + ".first_run_ms", milliseconds.front());
    PrintResult(name + ".p50_ms", qk::bench::Percentile(milliseconds, 50));
    PrintResult(name + ".max_ms", qk::bench::Percentile(milliseconds, 100));
    PrintResult(name + ".rss_MB", qk::bench::Percentile(resident, 50));
    return 0;
}
