// qk4410-sim: a simulated QK4410/QK4520 terminal on a pseudo-terminal, for trying the tool
// without hardware. Prints the tty's path, serves it until SIGINT or SIGTERM (or until the
// --hangup-after time has closed it), then removes its symlink and exits.
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"
#include "ConversationText.h"
#include "SimulatedDevice.h"

namespace {

constexpr std::string_view kProgram = "qk4410-sim";

int Fail(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kProgram.data(), message.c_str());
    return 1;
}

// Points `link` at `target`. A symlink left by an earlier run is replaced; anything else at
// that path is left alone and reported.
bool PlaceLink(const std::string& link, const std::string& target, std::string& error) {
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            error = "--link: " + link + " exists and is not a symlink";
            return false;
        }
        if (unlink(link.c_str()) != 0) {
            error = "--link: cannot replace " + link + ": " + std::strerror(errno);
            return false;
        }
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = "--link: cannot create " + link + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// Removes the link only while it still points at our tty, so a newer run's link survives.
void RemoveLink(const std::string& link, const std::string& target) {
    std::vector<char> buffer(target.size() + 2);
    const ssize_t length = readlink(link.c_str(), buffer.data(), buffer.size());
    if (length >= 0 &&
        std::string_view(buffer.data(), static_cast<std::size_t>(length)) == target) {
        unlink(link.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const auto parsed = qk::sim::ParseCommandLine(arguments);
    if (!parsed.ok()) {
        return Fail(parsed.error + " (see --help)");
    }
    const auto& settings = parsed.settings;
    if (settings.help) {
        std::fputs(qk::sim::UsageText().c_str(), stdout);
        return 0;
    }
    if (settings.version) {
        std::printf("qk4410-sim %s\n", QK_VERSION);
        return 0;
    }

    // Block the stop signals before the device thread exists, so they reach sigtimedwait
    // below and nothing else.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
        return Fail("cannot block SIGINT and SIGTERM");
    }
    signal(SIGPIPE, SIG_IGN);

    qk::sim::SimulatedDevice::TrafficObserver observer;
    if (settings.verbose) {
        const auto started = std::chrono::steady_clock::now();
        observer = [started](qk::sim::SimulatedDevice::Direction direction,
                             std::string_view bytes) {
            const std::chrono::duration<double> at = std::chrono::steady_clock::now() - started;
            const bool received = direction == qk::sim::SimulatedDevice::Direction::Received;
            std::fprintf(stderr, "[%9.3f] %s %s\n", at.count(), received ? "<-" : "->",
                         qk::Escape(bytes).c_str());
        };
    }

    std::unique_ptr<qk::sim::SimulatedDevice> device;
    try {
        device = std::make_unique<qk::sim::SimulatedDevice>(settings.options, observer);
    } catch (const std::exception& error) {
        return Fail(std::string("cannot start the device: ") + error.what());
    }
    const std::string tty = device->slavePath();

    if (!settings.linkPath.empty()) {
        std::string error;
        if (!PlaceLink(settings.linkPath, tty, error)) {
            return Fail(error);
        }
    }
    std::printf("%s\n", tty.c_str());
    std::fflush(stdout);

    const timespec poll{0, 200'000'000};
    for (;;) {
        const int signal = sigtimedwait(&stopSignals, nullptr, &poll);
        if (signal == SIGINT || signal == SIGTERM) {
            break;
        }
        if (signal < 0 && errno != EAGAIN && errno != EINTR) {
            std::fprintf(stderr, "%s: sigtimedwait: %s\n", kProgram.data(), std::strerror(errno));
            break;
        }
        if (device->HungUp()) {
            std::fprintf(stderr, "%s: hung up %s as asked\n", kProgram.data(), tty.c_str());
            break;
        }
    }

    device->Stop();
    if (!settings.linkPath.empty()) {
        RemoveLink(settings.linkPath, tty);
    }
    return 0;
}
