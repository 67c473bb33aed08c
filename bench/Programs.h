#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qk::bench {

// The programs a measurement starts and watches from outside: the command line, simulated
// devices. Nothing here decides what a figure means.

// A started program whose standard output comes through a pipe.
struct Child {
    pid_t pid = -1;
    int out = -1;
};

// Starts `arguments` (the first is the program's path), its standard output to a pipe.
std::optional<Child> Start(const std::vector<std::string>& arguments);

// Reads from `fd` until `text` holds `wanted`; false after `waitMs` or at the end.
bool ReadUntil(int fd, std::string& text, std::string_view wanted, int waitMs = 5000);

// What a program printed and how it ended.
struct Finished {
    std::string output;
    int status = -1;  // the exit status; -1 when it did not exit
    double seconds = 0;
};

// Reads the child's output to its end and waits for it; `whileRunning`, when given, is
// called about every 10 ms meanwhile with the child's process id.
Finished Finish(const Child& child, double started,
                const std::function<void(pid_t)>& whileRunning = {});

// Simulated devices, each a qk4410-sim process answering after `latencyMs`, ended when this
// goes.
class Devices {
  public:
    Devices(const std::string& sim, int latencyMs, int count);
    ~Devices();
    Devices(const Devices&) = delete;
    Devices& operator=(const Devices&) = delete;

    // Empty unless every device started.
    std::vector<std::string> ttys(std::size_t count) const;

  private:
    std::vector<Child> m_children;
    std::vector<std::string> m_ttys;
};

}  // namespace qk::bench
