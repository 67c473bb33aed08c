#pragma once

#include <memory>

#include "PortWatcher.h"

class QSocketNotifier;

namespace qk::ui {

// Ports that come and go as udev announces them. Its monitor listens from construction, so
// a program that creates it before it lists the ports misses nothing in between (an event
// for a port already listed changes nothing). It waits on the monitor's descriptor with a
// QSocketNotifier: no polling, nothing to do while no adapter is plugged in or out.
// Without udev it stays silent.
class UdevPortWatcher final : public PortWatcher {
  public:
    UdevPortWatcher();
    ~UdevPortWatcher() override;

    void Watch(Handler handler) override;

  private:
    void OnReadable();

    PortMonitor m_monitor;
    std::unique_ptr<QSocketNotifier> m_notifier;
    Handler m_handler;
};

}  // namespace qk::ui
