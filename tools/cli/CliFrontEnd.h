#pragma once

#include <ostream>
#include <string>

#include "CliOptions.h"
#include "ControllerView.h"
#include "SerialMessageSink.h"

namespace qk::cli {

// The command line's stand-in for the main window: the options are its selections,
// messages that the window shows in boxes go to standard error, and what the controller
// shows on its labels and buttons is kept for deciding the exit status.
//
// It takes no part in writing parameters: the command line sends exactly the values it was
// given itself, where the window's buttons send whole groups of what the operator sees.
class CliFrontEnd final : public ControllerView, public SerialMessageSink {
  public:
    CliFrontEnd(DeviceState& state, const CliOptions& options, int comNumber, std::ostream& err);

    bool configModeEntered() const { return m_configMode; }
    bool loginRefused() const { return m_loginRefused; }
    bool lineLost() const { return m_lineLost; }
    // The last message shown, for a one-line account of why a run failed.
    const std::string& lastProblem() const { return m_lastProblem; }
    // Shows a message of the command line's own, as the controller's are shown.
    void Report(std::string_view message);

    // DeviceView
    void SetStatusText(int, std::string_view) override {}
    void SetLoginLabel(std::string_view) override {}
    void SetConfigModeLabel(std::string_view) override {}
    void SelectDeviceBaud(int) override {}
    void SelectProtocol(int) override {}
    void ShowMessage(std::string_view text) override;
    void UpdateControls() override {}
    void UpdateState() override;
    void ScrollLogToEnd() override {}

    // ControllerView
    SerialSelection GetSerialSelection() override;
    void SetOpenButtonCaption(std::string_view) override {}
    void EnableConfigButtons() override { m_configMode = true; }
    void DisableConfigButtons() override { m_configMode = false; }
    bool RunAdvancedDialog(AdvancedParams&, bool) override { return false; }
    void ShowLineLost(std::string_view reason) override;

    // SerialMessageSink
    void SerialError(std::string_view message, std::string_view detail) override;

  private:
    DeviceState& m_state;
    const CliOptions& m_options;
    const int m_comNumber;
    std::ostream& m_err;
    std::string m_lastProblem;
    bool m_configMode = false;
    bool m_loginRefused = false;
    bool m_lineLost = false;
};

}  // namespace qk::cli
