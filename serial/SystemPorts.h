#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PortIdentity.h"

namespace qk {

// The system's serial ports and what it says of them.
//
// On Linux, as udev knows them (UdevPorts.cpp): USB adapters (ttyUSB, ttyACM) and the
// built-in ports that have a real UART and are not the kernel's console, read from sysfs
// and the udev database through libudev; where no udev daemon runs (a container) the
// names it would add (by-id, driver) may be missing, nothing else. On Windows, as
// SetupAPI knows them (SystemPortsWin32.cpp): the COM ports with their friendly names
// and hardware ids.
std::vector<PortIdentity> ListSerialPorts();

// What udev says of the port behind `path` (a by-id link works too); nullopt for a path
// it does not know, such as a pseudo-terminal.
std::optional<PortIdentity> IdentifyPort(const std::string& path);

// Ports that come and go: on Linux a udev monitor on the tty subsystem. Its descriptor becomes
// readable when something happened, so an owner waits on it (a QSocketNotifier, poll)
// and costs nothing while nothing does. Without udev events (no daemon), and on Windows,
// it stays silent.
class PortMonitor {
  public:
    struct Event {
        bool added;  // false: removed
        PortIdentity port;
    };

    PortMonitor();
    ~PortMonitor();
    PortMonitor(const PortMonitor&) = delete;
    PortMonitor& operator=(const PortMonitor&) = delete;

    // -1 when no monitor could be set up.
    int fd() const;
    // Every event waiting, for the serial ports among them; never blocks.
    std::vector<Event> Receive();

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

// What turned the port list `before` into `after`, for a system that announces only that
// something changed (Windows): ports gone first, then ports new, each in list order. A
// path whose description changed (another adapter took its COM number) is both.
std::vector<PortMonitor::Event> PortChanges(const std::vector<PortIdentity>& before,
                                            const std::vector<PortIdentity>& after);

}  // namespace qk
