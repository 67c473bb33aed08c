#pragma once

#include <functional>

#include "ControllerView.h"
#include "RecordingDeviceView.h"

namespace qk::test {

// A ControllerView that records every call as text and answers from settable fields.
class RecordingControllerView : public replay::RecordingDeviceView, public ControllerView {
public:
    // DeviceView: both bases declare it; the recording one does the work.
    void SetStatusText(int part, std::string_view text) override { RecordingDeviceView::SetStatusText(part, text); }
    void SetLoginLabel(std::string_view text) override { RecordingDeviceView::SetLoginLabel(text); }
    void SetConfigModeLabel(std::string_view text) override { RecordingDeviceView::SetConfigModeLabel(text); }
    void SelectDeviceBaud(int index) override { RecordingDeviceView::SelectDeviceBaud(index); }
    void SelectProtocol(int index) override { RecordingDeviceView::SelectProtocol(index); }
    void ShowMessage(std::string_view text) override { RecordingDeviceView::ShowMessage(text); }
    void UpdateControls() override { RecordingDeviceView::UpdateControls(); }
    void UpdateState() override {
        RecordingDeviceView::UpdateState();
        if (onUpdateState) {
            onUpdateState();
        }
    }
    void ScrollLogToEnd() override { RecordingDeviceView::ScrollLogToEnd(); }

    SerialSelection GetSerialSelection() override {
        Record("GetSerialSelection()");
        return selection;
    }
    void SetOpenButtonCaption(std::string_view text) override {
        Record("SetOpenButtonCaption(" + replay::Quote(text) + ")");
    }
    void EnableConfigButtons() override {
        Record("EnableConfigButtons()");
        buttonsEnabled = true;
    }
    void DisableConfigButtons() override {
        Record("DisableConfigButtons()");
        buttonsEnabled = false;
    }
    bool RunAdvancedDialog(AdvancedParams& record, bool loggedIn) override {
        Record(std::string("RunAdvancedDialog(") + (loggedIn ? "true" : "false") + ")");
        return dialog ? dialog(record, loggedIn) : false;
    }

    SerialSelection selection{0, 4, 3, 0};  // COM1, 9600, 8, N
    bool buttonsEnabled = false;
    std::function<void()> onUpdateState;
    std::function<bool(AdvancedParams&, bool)> dialog;
};

}  // namespace qk::test
