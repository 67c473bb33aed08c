#include <QCoreApplication>
#include <cstdlib>
#include <system_error>

#include "ShellPlatform.h"
#include "SimulatedDevice.h"
#include "UdevPortWatcher.h"

namespace qk::ui {
namespace {

bool HasEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

class PtyDemoDevice final : public DemoDevice {
  public:
    std::string PortPath() const override { return m_device.slavePath(); }

  private:
    sim::SimulatedDevice m_device;
};

}  // namespace

QString MissingDisplayReason() {
    if (HasEnvironment("DISPLAY") || HasEnvironment("WAYLAND_DISPLAY") ||
        HasEnvironment("QT_QPA_PLATFORM")) {
        return {};
    }
    return QStringLiteral(
        "no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)");
}

void ConnectToConsole() {}

std::unique_ptr<PortWatcher> MakeSystemPortWatcher() {
    return std::make_unique<UdevPortWatcher>();
}

std::unique_ptr<DemoDevice> StartDemoDevice(QString& error) {
    try {
        return std::make_unique<PtyDemoDevice>();
    } catch (const std::system_error& failure) {
        error = QStringLiteral("cannot start the simulated device: ") +
                QString::fromLocal8Bit(failure.what());
        return nullptr;
    }
}

QString DemoHelpText() {
    return QCoreApplication::translate("AppOptions",
                                       "  --demo        start a simulated device and put it on "
                                       "COM1.\n");
}

}  // namespace qk::ui
