#include <windows.h>

#include <atomic>
#include <csignal>
#include <stdexcept>

#include "StopSignals.h"

namespace qk::cli {
namespace {

// Ctrl-C and Ctrl-Break are the console's SIGINT; closing the console, logging off and
// shutting down its SIGTERM.
std::atomic<int> gReceived{0};
HANDLE gWake = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    const int signal = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
    if (gReceived.exchange(signal) != 0) {
        // Asked twice: the operator means it.
        return FALSE;
    }
    SetEvent(gWake);
    return TRUE;
}

}  // namespace

StopSignals::StopSignals() {
    if (gWake != nullptr) {
        throw std::logic_error("StopSignals: only one instance at a time");
    }
    gWake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    gReceived = 0;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    CloseHandle(gWake);
    gWake = nullptr;
}

int StopSignals::WakeDescriptor() const {
    return -1;
}

int StopSignals::Received() const {
    return gReceived;
}

void StopSignals::Wait(std::chrono::milliseconds duration) const {
    WaitForSingleObject(gWake, static_cast<DWORD>(duration.count()));
}

}  // namespace qk::cli
