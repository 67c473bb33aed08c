#pragma once

#include <chrono>

namespace qk {

// The pauses of a command sequence. Injected so that tests run sequences in virtual time
// and the window can keep painting while it waits.
class Pacer {
  public:
    virtual ~Pacer() = default;
    virtual void Pause(std::chrono::milliseconds duration) = 0;
    // True once the run has been asked to stop (the command line on SIGINT): pauses then
    // end at once, and a sequence ends after the command in flight.
    virtual bool StopRequested() const { return false; }
};

}  // namespace qk
