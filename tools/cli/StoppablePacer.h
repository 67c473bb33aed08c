#pragma once

#include <thread>

#include "Pacer.h"
#include "StopSignals.h"

namespace qk::cli {

// Pauses that end early once a stop signal has arrived, so a sequence ends after the
// command in flight. Without signals it only sleeps.
class StoppablePacer final : public Pacer {
  public:
    explicit StoppablePacer(const StopSignals* stop) : m_stop(stop) {}
    void Pause(std::chrono::milliseconds duration) override {
        if (m_stop != nullptr) {
            m_stop->Wait(duration);
        } else {
            std::this_thread::sleep_for(duration);
        }
    }
    bool StopRequested() const override { return Signal() != 0; }
    // The signal that asked to stop, 0 while none has.
    int Signal() const { return m_stop != nullptr ? m_stop->Received() : 0; }

  private:
    const StopSignals* m_stop;
};

}  // namespace qk::cli
