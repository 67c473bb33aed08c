#pragma once

#include <functional>

#include "ControllerView.h"
#include "RecordingDeviceView.h"

namespace qk::test {

// A ControllerView that records every call as text and answers from settable fields.
class RecordingControllerView : public replay::RecordingDeviceView, public ControllerView {
  public:
    // DeviceView: both bases declare it; the recording one does the work.
    using Base = replay::RecordingDeviceView;
    void SetStatusText(int part, std::string_view s) override { Base::SetStatusText(part, s); }
    void SetLoginLabel(std::string_view text) override { Base::SetLoginLabel(text); }
    void SetConfigModeLabel(std::string_view text) override { Base::SetConfigModeLabel(text); }
    void SelectDeviceBaud(int index) override { Base::SelectDeviceBaud(index); }
    void SelectProtocol(int index) override { Base::SelectProtocol(index); }
    void ShowMessage(std::string_view text) override { Base::ShowMessage(text); }
    void UpdateControls() override { Base::UpdateControls(); }
    void UpdateState() override {
        Base::UpdateState();
        onUpdateState();
    }
    void ScrollLogToEnd() override { Base::ScrollLogToEnd(); }

    SerialSelection GetSerialSelection() override {
        Record("GetSerialSelection()");
        return selection;
    }
    void SetOpenButtonCaption(std::string_view text) override {
        Record("SetOpenButtonCaption(" + replay::Quote(text) + ")");
    }
    void EnableConfigButtons() override { SetButtons(true); }
    void DisableConfigButtons() override { SetButtons(false); }
    bool RunAdvancedDialog(AdvancedParams& record, bool loggedIn) override {
        Record(std::string("RunAdvancedDialog(") + (loggedIn ? "true" : "false") + ")");
        return dialog ? dialog(record, loggedIn) : false;
    }
    void ShowLineLost(std::string_view reason) override {
        Record("ShowLineLost(" + replay::Quote(reason) + ")");
    }

    SerialSelection selection{0, 4, 3, 0};  // COM1, 9600, 8, N
    bool buttonsEnabled = false;
    std::function<void()> onUpdateState = [] {};
    std::function<bool(AdvancedParams&, bool)> dialog;

  private:
    void SetButtons(bool enabled) {
        Record(enabled ? "EnableConfigButtons()" : "DisableConfigButtons()");
        buttonsEnabled = enabled;
    }
};

}  // namespace qk::test
