#pragma once

#include <string>
#include <string_view>

#include "ControllerView.h"
#include "SerialMessageSink.h"

namespace qk {

// Where a session without a window sends what the window would show in message boxes:
// one line of UTF-8 text each.
class SessionReporter {
  public:
    virtual ~SessionReporter() = default;
    virtual void Problem(std::string_view message) = 0;
    // What the session is doing now ("reading 15 parameters"), for a front end that shows
    // progress; nothing by default.
    virtual void Progress(std::string_view step) { static_cast<void>(step); }
    // What the operator should know that is no problem (a raw TCP port runs at the
    // server's settings); nothing by default.
    virtual void Notice(std::string_view text) { static_cast<void>(text); }
};

// A front end without a window, for the controller: the serial selection is given, the
// login key comes from the session's settings, messages go to a reporter, and what the
// window would show on its labels and buttons is kept for judging how a step ended.
class HeadlessView final : public ControllerView, public SerialMessageSink {
  public:
    HeadlessView(DeviceState& state, SerialSelection selection, std::string loginKey,
                 SessionReporter& reporter);

    bool configModeEntered() const { return m_configMode; }
    bool loginRefused() const { return m_loginRefused; }
    bool lineLost() const { return m_lineLost; }
    // The last message shown, for a one-line account of why a run failed.
    const std::string& lastProblem() const { return m_lastProblem; }
    // Shows a message of the session's own, as the controller's are shown.
    void Report(std::string_view utf8);

    // DeviceView
    void SetStatusText(int, std::string_view) override {}
    void SetLoginLabel(std::string_view) override {}
    // The window's label says where the opening is; here it is progress.
    void SetConfigModeLabel(std::string_view text) override;
    void SelectDeviceBaud(int) override {}
    void SelectProtocol(int) override {}
    void ShowMessage(std::string_view gbk) override;
    void UpdateControls() override {}
    void UpdateState() override;
    void ScrollLogToEnd() override {}

    // ControllerView
    SerialSelection GetSerialSelection() override { return m_selection; }
    void SetOpenButtonCaption(std::string_view) override {}
    void EnableConfigButtons() override { m_configMode = true; }
    void DisableConfigButtons() override { m_configMode = false; }
    bool RunAdvancedDialog(AdvancedParams&, bool) override { return false; }
    void ShowLineLost(std::string_view reason) override;
    void ShowFailure(std::string_view message, std::string_view detail) override;

    // SerialMessageSink
    void SerialError(std::string_view message, std::string_view detail) override;

  private:
    DeviceState& m_state;
    const SerialSelection m_selection;
    const std::string m_loginKey;
    SessionReporter& m_reporter;
    std::string m_lastProblem;
    bool m_configMode = false;
    bool m_loginRefused = false;
    bool m_lineLost = false;
};

}  // namespace qk
