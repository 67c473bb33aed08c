#pragma once

#include <QString>
#include <memory>
#include <string>

#include "PortWatcher.h"

namespace qk::ui {

// What the program around the window does differently on Linux (ShellPlatformPosix.cpp)
// and on Windows (ShellPlatformWin32.cpp). The window itself is the same on both.

// Why no window can be shown, in a sentence; empty when one can. Linux needs an X11 or
// Wayland display (or a platform named in QT_QPA_PLATFORM); Windows always has a desktop.
QString MissingDisplayReason();

// Makes text the program prints reach the console it was started from: a Windows program
// for the desktop gets no console of its own. Only for printing: a program attached to a
// console also ends with that console's Ctrl-C.
void ConnectToConsole();

// The system's announcements of serial ports coming and going: udev on Linux,
// WM_DEVICECHANGE on Windows.
std::unique_ptr<PortWatcher> MakeSystemPortWatcher();

// A simulated device the window can talk to (--demo), on a port path that stays valid as
// long as it lives.
class DemoDevice {
  public:
    virtual ~DemoDevice() = default;
    virtual std::string PortPath() const = 0;
};

// The --demo device; nullptr and `error` set when it cannot start. Windows has none: the
// simulated device lives on a pseudo-terminal, which Windows does not have.
std::unique_ptr<DemoDevice> StartDemoDevice(QString& error);

// The lines of --help that describe --demo; empty where there is no such device.
QString DemoHelpText();

}  // namespace qk::ui
