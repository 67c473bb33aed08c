#pragma once

#include <chrono>
#include <string>

namespace qk::cli {

// SIGINT, SIGTERM and SIGHUP (a dropped ssh session) as a request to stop: the run ends
// after the command in flight, says what it did, and releases the line (its settings
// restored, its lock dropped), where the default action would kill it mid-command and leave
// the port locked. A second signal ends the program at once, as the signal would have.
//
// A signal handler can reach only globals, so one instance at a time.
class StopSignals {
  public:
    StopSignals();
    ~StopSignals();

    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal that asked to stop, 0 while none has.
    int Received() const;
    // Sleeps for `duration`, or less once a signal has arrived.
    void Wait(std::chrono::milliseconds duration) const;
    // A descriptor that polls readable once a signal has arrived, for waits on other
    // descriptors; -1 where signals are not delivered that way (Windows).
    int WakeDescriptor() const;

    // "SIGINT", "SIGTERM", "SIGHUP".
    static std::string Name(int signal);
};

}  // namespace qk::cli
