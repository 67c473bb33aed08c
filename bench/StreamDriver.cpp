// Runs a program that shows a serial port (our window's stream_window, or a terminal such
// as GTKTerm) against the simulated device streaming "+DATA:" lines at a fixed rate, and
// measures it from outside, the same way for every program: CPU seconds of the program
// and of the X server (/proc/PID/stat) per MB that the pseudo-terminal took from the
// device, and whether the device kept its rate (a program that does not keep up leaves
// the device's queue full and the rate short).
//
//   stream_driver [--rate BYTES_PER_SEC|max|0] [--warmup S] [--seconds S] [--label NAME]
//                 [--start-session] -- PROGRAM ARGS...
//
// "{tty}" in ARGS becomes the device's pseudo-terminal. The device streams only once a
// configuration session has begun: our window begins one when it opens the port; for a
// terminal program, --start-session writes the handshake and a query into the terminal's
// port once the program has it open, as if typed. Measuring starts --warmup seconds after
// the session begins and lasts --seconds; then the program gets SIGTERM. Prints "result:"
// lines named after --label; the program's own output passes through.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Measure.h"
#include "SimulatedDevice.h"

extern char** environ;

namespace {

using qk::bench::PrintResult;
using qk::sim::DeviceModel;
using qk::sim::SimulatedDevice;
using namespace std::chrono_literals;

constexpr std::size_t kAsFastAsPossible = 1'000'000'000;

struct Settings {
    std::size_t rate = 46'000;
    double warmup = 5;
    double seconds = 30;
    std::string label = "stream";
    bool startSession = false;
    std::vector<std::string> program;
};

bool Parse(int argc, char** argv, Settings& settings) {
    int i = 1;
    for (; i < argc; ++i) {
        const std::string_view option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--") {
            ++i;
            break;
        }
        if (option == "--start-session") {
            settings.startSession = true;
        } else if (option == "--rate" && hasValue) {
            const std::string_view rate = argv[++i];
            settings.rate =
                rate == "max" ? kAsFastAsPossible : std::strtoull(rate.data(), nullptr, 10);
        } else if (option == "--warmup" && hasValue) {
            settings.warmup = std::atof(argv[++i]);
        } else if (option == "--seconds" && hasValue) {
            settings.seconds = std::atof(argv[++i]);
        } else if (option == "--label" && hasValue) {
            settings.label = argv[++i];
        } else {
            std::fprintf(stderr, "stream_driver: bad argument '%s'\n", argv[i]);
            return false;
        }
    }
    settings.program.assign(argv + i, argv + argc);
    if (settings.program.empty()) {
        std::fprintf(stderr,
                     "usage: stream_driver [--rate BYTES_PER_SEC|max|0] [--warmup S] "
                     "[--seconds S] [--label NAME] [--start-session] -- PROGRAM ARGS...\n");
        return false;
    }
    return true;
}

pid_t Spawn(std::vector<std::string> arguments, const std::string& tty) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        for (auto at = argument.find("{tty}"); at != std::string::npos;
             at = argument.find("{tty}")) {
            argument.replace(at, 5, tty);
        }
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    return pid;
}

bool Running(pid_t pid) {
    return waitpid(pid, nullptr, WNOHANG) == 0;
}

// True once the program holds `tty` open.
bool HoldsOpen(pid_t pid, const std::string& tty) {
    const std::string directory = "/proc/" + std::to_string(pid) + "/fd";
    DIR* fds = opendir(directory.c_str());
    if (fds == nullptr) {
        return false;
    }
    bool found = false;
    while (const dirent* entry = readdir(fds)) {
        char target[256] = {};
        const std::string link = directory + "/" + entry->d_name;
        if (readlink(link.c_str(), target, sizeof target - 1) > 0 && tty == target) {
            found = true;
            break;
        }
    }
    closedir(fds);
    return found;
}

// What an operator would type into a terminal to get the device streaming: the handshake
// request three times, then a query, which begins the session.
bool StartSession(const std::string& tty) {
    const int fd = open(tty.c_str(), O_WRONLY | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    bool written = true;
    for (int i = 0; i < 3; ++i) {
        const std::string_view request = DeviceModel::kHandshakeRequest;
        written = written &&
                  write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size());
    }
    std::this_thread::sleep_for(200ms);
    constexpr std::string_view kQuery = "QK+STAT?\r\n";
    written =
        written && write(fd, kQuery.data(), kQuery.size()) == static_cast<ssize_t>(kQuery.size());
    close(fd);
    return written;
}

// The X server the program draws on (DISPLAY), when it is an Xvfb of ours; -1 otherwise.
pid_t XServer() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        return -1;
    }
    DIR* processes = opendir("/proc");
    pid_t server = -1;
    while (const dirent* entry = processes != nullptr ? readdir(processes) : nullptr) {
        const pid_t pid = std::atoi(entry->d_name);
        std::ifstream file("/proc/" + std::string(entry->d_name) + "/cmdline");
        std::string command;
        std::getline(file, command, '\0');
        if (pid <= 0 || !command.ends_with("Xvfb")) {
            continue;
        }
        for (std::string argument; std::getline(file, argument, '\0');) {
            if (argument == display) {
                server = pid;
            }
        }
    }
    if (processes != nullptr) {
        closedir(processes);
    }
    return server;
}

// The device and the two processes at one moment.
struct Sample {
    double time = 0;
    double program = 0;
    double server = 0;
    double streamed = 0;  // bytes the pseudo-terminal has taken from the device
};

Sample Take(const SimulatedDevice& device, pid_t program, pid_t server) {
    std::uint64_t lines = 0;
    device.WaitUntil(
        [&](const DeviceModel& model) {
            lines = model.DataLinesSent();
            return true;
        },
        0ms);
    const double generated = static_cast<double>(lines * DeviceModel::kDataLineLength);
    return {qk::bench::Now(), qk::bench::CpuSecondsOf(program),
            server > 0 ? qk::bench::CpuSecondsOf(server) : 0,
            generated - static_cast<double>(device.PendingBytes())};
}

// Sleeps while the program runs; false when it ended first.
bool Watch(pid_t program, double seconds, const SimulatedDevice& device, std::size_t& backlog) {
    const double end = qk::bench::Now() + seconds;
    while (qk::bench::Now() < end) {
        if (!Running(program)) {
            return false;
        }
        backlog = std::max(backlog, device.PendingBytes());
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

void Report(const Settings& settings, const Sample& first, const Sample& last,
            std::size_t maxBacklog, std::size_t backlog) {
    const std::string name = settings.label + ".device";
    const double seconds = last.time - first.time;
    const double mb = (last.streamed - first.streamed) / 1e6;
    PrintResult(name + ".bytes_per_s", mb * 1e6 / seconds);
    if (settings.rate != kAsFastAsPossible && settings.rate > 0) {
        PrintResult(name + ".rate_kept", mb * 1e6 / seconds / static_cast<double>(settings.rate));
    }
    PrintResult(name + ".backlog_bytes", static_cast<double>(backlog));
    PrintResult(name + ".max_backlog_bytes", static_cast<double>(maxBacklog));
    PrintResult(settings.label + ".program.cpu_percent",
                100 * (last.program - first.program) / seconds);
    if (mb > 0) {
        PrintResult(settings.label + ".program.cpu_s_per_MB", (last.program - first.program) / mb);
        PrintResult(settings.label + ".xserver.cpu_s_per_MB", (last.server - first.server) / mb);
    }
}

int Finish(pid_t program) {
    kill(program, SIGTERM);
    int status = 0;
    for (int i = 0; i < 300; ++i) {
        if (waitpid(program, &status, WNOHANG) == program) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 0;
        }
        std::this_thread::sleep_for(100ms);
    }
    kill(program, SIGKILL);
    waitpid(program, &status, 0);
    std::fprintf(stderr, "stream_driver: the program did not end on SIGTERM\n");
    return 3;
}

int Fail(pid_t program, const char* why) {
    std::fprintf(stderr, "stream_driver: %s\n", why);
    if (program > 0 && Running(program)) {
        Finish(program);
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!Parse(argc, argv, settings)) {
        return 1;
    }
    qk::sim::SimOptions options;
    options.streamBytesPerSecond = settings.rate;
    SimulatedDevice device(options);
    const std::string& tty = device.slavePath();

    const pid_t program = Spawn(settings.program, tty);
    if (program < 0) {
        return Fail(program, "cannot start the program");
    }
    if (settings.startSession) {
        const double deadline = qk::bench::Now() + 30;
        while (!HoldsOpen(program, tty)) {
            if (!Running(program) || qk::bench::Now() > deadline) {
                return Fail(program, "the program never opened the port");
            }
            std::this_thread::sleep_for(50ms);
        }
        if (!StartSession(tty)) {
            return Fail(program, "cannot write the handshake into the port");
        }
    }
    if (!device.WaitUntil([](const DeviceModel& model) { return model.SessionStarted(); }, 60s)) {
        return Fail(program, "no configuration session began");
    }
    std::size_t maxBacklog = 0;
    if (!Watch(program, settings.warmup, device, maxBacklog)) {
        return Fail(program, "the program ended during the warm-up");
    }
    const pid_t server = XServer();
    maxBacklog = 0;
    const Sample first = Take(device, program, server);
    if (!Watch(program, settings.seconds, device, maxBacklog)) {
        return Fail(program, "the program ended during the measurement");
    }
    const Sample last = Take(device, program, server);
    Report(settings, first, last, maxBacklog, device.PendingBytes());
    return Finish(program);
}
