#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "StopSignals.h"

namespace qk::cli {
namespace {

volatile std::sig_atomic_t gReceived = 0;
int gWake[2] = {-1, -1};
bool gInstalled = false;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t kSignalCount = std::size(kSignals);
struct sigaction gPrevious[kSignalCount];

extern "C" void OnStopSignal(int signal) {
    if (gReceived != 0) {
        // Asked twice: the operator means it.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    gReceived = signal;
    const int saved = errno;
    const char byte = 1;
    // A full pipe already wakes every waiter, so a failed write loses nothing.
    [[maybe_unused]] const auto written = write(gWake[1], &byte, 1);
    errno = saved;
}

}  // namespace

StopSignals::StopSignals() {
    if (gInstalled) {
        throw std::logic_error("StopSignals: only one instance at a time");
    }
    if (pipe2(gWake, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    gReceived = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Calls go on after the handler; waits that must end at a signal poll the wake pipe
    // (WakeDescriptor), which poll does whatever the flags.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], &action, &gPrevious[i]);
    }
    gInstalled = true;
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], &gPrevious[i], nullptr);
    }
    close(gWake[0]);
    close(gWake[1]);
    gWake[0] = gWake[1] = -1;
    gInstalled = false;
}

int StopSignals::WakeDescriptor() const {
    return gWake[0];
}

int StopSignals::Received() const {
    return gReceived;
}

void StopSignals::Wait(std::chrono::milliseconds duration) const {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + duration;
    // The byte stays in the pipe, so every later wait returns at once too.
    for (auto left = duration; left.count() > 0 && gReceived == 0;
         left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now())) {
        pollfd wake{gWake[0], POLLIN, 0};
        if (poll(&wake, 1, static_cast<int>(left.count())) > 0) {
            return;
        }
    }
}

}  // namespace qk::cli
