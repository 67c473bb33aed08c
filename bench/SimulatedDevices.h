#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qk::bench {

// Programs the measurements start: the simulated device (qk4410-sim) and qk4410-cli, each a
// process of its own whose standard output comes through a pipe.

struct Child {
    pid_t pid = -1;
    int out = -1;
};

std::optional<Child> StartProgram(const std::vector<std::string>& arguments);
// Reads from `fd` until `text` holds `wanted` or `waitMs` pass.
bool ReadUntil(int fd, std::string& text, std::string_view wanted, int waitMs = 5000);
// Reads the child's output to its end and waits for it; its exit status (-1: not a normal
// exit) and what it printed. `whileRunning`, when given, is called about every 10 ms
// meanwhile with the child's process id.
int FinishProgram(const Child& child, std::string& output,
                  const std::function<void(pid_t)>& whileRunning = {});

// Simulated devices, each a qk4410-sim process answering LATENCY ms after each command,
// with IDs of their own when `ids` is set ("BENCH-0001", ...), ended when this goes.
class SimulatedDevices {
  public:
    SimulatedDevices(const std::string& sim, int latencyMs, int count, bool ids = false);
    ~SimulatedDevices();
    SimulatedDevices(const SimulatedDevices&) = delete;
    SimulatedDevices& operator=(const SimulatedDevices&) = delete;

    // Empty unless every device started.
    std::vector<std::string> ttys(std::size_t count) const {
        return m_ttys.size() == count ? m_ttys : std::vector<std::string>();
    }

  private:
    std::vector<Child> m_children;
    std::vector<std::string> m_ttys;
};

}  // namespace qk::bench
