#pragma once

#include <functional>
#include <vector>

#include "SystemPorts.h"

namespace qk::ui {

// Tells the main window of serial ports that come and go while it runs. The program
// watches udev (UdevPortWatcher); tests hand in events of their own.
class PortWatcher {
  public:
    using Handler = std::function<void(const std::vector<PortMonitor::Event>& events)>;

    virtual ~PortWatcher() = default;
    // From now on `handler` hears, on the window's thread, of each batch of ports that
    // came or went; an empty handler stops that.
    virtual void Watch(Handler handler) = 0;
};

// For windows whose ports stay as they were given.
class NoPortWatcher final : public PortWatcher {
  public:
    void Watch(Handler) override {}
};

}  // namespace qk::ui
