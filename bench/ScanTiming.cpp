// The wall time of `qk4410-cli scan` over lines with no device behind them, the scan's
// worst case (every rate tried to the end): one line alone and PORTS lines at once, taking
// turns for RUNS rounds. The lines are pseudo-terminals whose other side this program
// holds open and never answers on.
//
//   scan_timing --cli PATH [--runs N] [--ports N]
//
// Prints "result:" lines; a scan that does not end with status 2 ("no device answered")
// fails the program.
#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "Measure.h"

extern char** environ;

namespace {

using qk::bench::Now;
using qk::bench::PrintResult;

constexpr int kNoDeviceStatus = 2;

// A line with nobody on it: the far side stays open, so the port sees no hang-up.
struct SilentLine {
    int controller = -1;
    int terminal = -1;
    std::string path;
};

bool OpenSilentLine(SilentLine& line) {
    char name[128];
    if (openpty(&line.controller, &line.terminal, name, nullptr, nullptr) != 0) {
        return false;
    }
    line.path = name;
    return true;
}

// Seconds from the start of `cli --port P... scan` to its exit; negative when it does not
// end with kNoDeviceStatus.
double TimeScan(const std::string& cli, const std::vector<SilentLine>& lines, std::size_t count) {
    std::vector<std::string> arguments{cli};
    for (std::size_t i = 0; i < count; ++i) {
        arguments.insert(arguments.end(), {"--port", lines[i].path});
    }
    arguments.emplace_back("scan");
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const double start = Now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    const double seconds = Now() - start;
    return WIFEXITED(status) && WEXITSTATUS(status) == kNoDeviceStatus ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string cli;
    int runs = 3;
    std::size_t ports = 4;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--cli") {
            cli = argv[i + 1];
        } else if (option == "--runs") {
            runs = std::atoi(argv[i + 1]);
        } else if (option == "--ports") {
            ports = static_cast<std::size_t>(std::atoi(argv[i + 1]));
        }
    }
    if (cli.empty() || runs < 1 || ports < 2) {
        std::fprintf(stderr, "usage: scan_timing --cli PATH [--runs N] [--ports N>=2]\n");
        return 1;
    }
    std::vector<SilentLine> lines(ports);
    for (SilentLine& line : lines) {
        if (!OpenSilentLine(line)) {
            std::perror("scan_timing: openpty");
            return 1;
        }
    }
    std::vector<double> one;
    std::vector<double> many;
    for (int run = 0; run < runs; ++run) {
        // The order alternates, so a drift in the machine's speed touches both alike.
        for (const bool alone : run % 2 == 0 ? std::vector{true, false} : std::vector{false, true}) {
            const double seconds = TimeScan(cli, lines, alone ? 1 : ports);
            if (seconds < 0) {
                std::fprintf(stderr, "scan_timing: the scan of %zu lines did not end in \"no device\"\n",
                             alone ? std::size_t{1} : ports);
                return 2;
            }
            (alone ? one : many).push_back(seconds);
        }
    }
    PrintResult("scan.ports", static_cast<double>(ports));
    PrintResult("scan.one_s", qk::bench::Percentile(one, 50));
    PrintResult("scan.one_max_s", qk::bench::Percentile(one, 100));
    PrintResult("scan.many_s", qk::bench::Percentile(many, 50));
    PrintResult("scan.many_max_s", qk::bench::Percentile(many, 100));
    PrintResult("scan.ratio", qk::bench::Percentile(many, 50) / qk::bench::Percentile(one, 50));
    return 0;
}
