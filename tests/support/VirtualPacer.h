#pragma once

#include <chrono>
#include <vector>

#include "Pacer.h"

namespace qk::test {

// Pauses that take no real time: the clock only moves when a pause is asked for.
class VirtualPacer final : public Pacer {
  public:
    void Pause(std::chrono::milliseconds duration) override {
        m_now += duration;
        m_pauses.push_back(duration);
    }
    // A stop request arrives during the pause with this number (1 for the first); 0: never.
    bool StopRequested() const override { return false; }

    std::chrono::milliseconds now() const { return m_now; }
    const std::vector<std::chrono::milliseconds>& pauses() const { return m_pauses; }
    void clear() { m_pauses.clear(); }

  private:
    std::chrono::milliseconds m_now{0};
    std::vector<std::chrono::milliseconds> m_pauses;
};

}  // namespace qk::test
