#pragma once

#include <functional>
#include <vector>

#include "PortWatcher.h"

namespace qk::ui {

// Ports that come and go as Windows announces them. A message-only window of the window
// thread is registered for the COM-port device interface, so Windows sends it
// WM_DEVICECHANGE when an adapter arrives or leaves; the ports are then listed again
// (SetupAPI) and the difference is handed on. Nothing runs while nothing is plugged in or
// out, and the events arrive on the window thread through its own message loop.
//
// It lists the ports once at construction, so a program that creates it before it builds
// the port directory misses nothing in between.
class Win32PortWatcher final : public PortWatcher {
  public:
    using PortLister = std::function<std::vector<PortIdentity>()>;

    explicit Win32PortWatcher(PortLister listPorts = ListSerialPorts);
    ~Win32PortWatcher() override;
    Win32PortWatcher(const Win32PortWatcher&) = delete;
    Win32PortWatcher& operator=(const Win32PortWatcher&) = delete;

    void Watch(Handler handler) override;

    // The window that hears WM_DEVICECHANGE (an HWND).
    void* window() const { return m_window; }

  private:
    friend struct Win32PortWatcherWindow;
    void OnDeviceChange();

    PortLister m_listPorts;
    std::vector<PortIdentity> m_known;
    Handler m_handler;
    void* m_window = nullptr;
    void* m_notification = nullptr;
};

}  // namespace qk::ui
