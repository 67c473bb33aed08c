#pragma once

#include <string_view>

namespace qk {

// What the protocol logic needs of the window that shows the device. The main window
// implements it; tests and the session core implement it without any window system.
// Every call takes effect before it returns.
class DeviceView {
  public:
    virtual ~DeviceView() = default;

    virtual void SetStatusText(int part, std::string_view text) = 0;
    virtual void SetLoginLabel(std::string_view text) = 0;
    virtual void SetConfigModeLabel(std::string_view text) = 0;
    virtual void SelectDeviceBaud(int index) = 0;  // -1 clears the selection
    virtual void SelectProtocol(int index) = 0;    // -1 clears the selection
    // Modal: returns when the operator has acknowledged the message.
    virtual void ShowMessage(std::string_view text) = 0;
    // Record to screen: information log, destination address and port, login key.
    virtual void UpdateControls() = 0;
    // Screen to record: the three edits and the device baud and protocol selections.
    virtual void UpdateState() = 0;
    virtual void ScrollLogToEnd() = 0;
};

// A view that shows nothing, for a parse whose answers matter and whose display does not.
class NullDeviceView final : public DeviceView {
  public:
    void SetStatusText(int, std::string_view) override {}
    void SetLoginLabel(std::string_view) override {}
    void SetConfigModeLabel(std::string_view) override {}
    void SelectDeviceBaud(int) override {}
    void SelectProtocol(int) override {}
    void ShowMessage(std::string_view) override {}
    void UpdateControls() override {}
    void UpdateState() override {}
    void ScrollLogToEnd() override {}
};

}  // namespace qk
