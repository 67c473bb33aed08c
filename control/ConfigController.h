#pragma once

#include <chrono>
#include <vector>

#include "ChangeObserver.h"
#include "CommandTable.h"
#include "ControllerView.h"
#include "DeviceState.h"
#include "Pacer.h"
#include "Parameters.h"
#include "ReceiveLoop.h"
#include "SerialLink.h"

namespace qk {

// The pauses the device is given and how long the handshake waits (80 x 200 ms).
struct ControllerTiming {
    int handshakeAttempts = 80;
    std::chrono::milliseconds handshakeRetry{200};
    std::chrono::milliseconds basicQueryGap{200};
    std::chrono::milliseconds advancedQueryGap{100};
    std::chrono::milliseconds basicSetGap{300};
    std::chrono::milliseconds advancedSetGap{200};
};

// The logic behind the buttons: each operation is a fixed sequence of commands with fixed
// pauses. None waits for an answer; answers take effect when the receive loop delivers
// them. Only the configuration-mode handshake reads the port itself, before the loop runs.
//
// A sequence ends early, after the command in flight, when the line hangs up or the pacer
// is asked to stop. A hung-up line is then closed as Open/Close would close it, after
// every answer received before has taken effect, with one message instead of one per
// command that could not be written.
//
// Keeps no state of its own: it works on the owner's port, record and receive loop and
// reaches the front end only through ControllerView. Runs on the owner's thread.
class ConfigController {
  public:
    ConfigController(SerialLink& port, DeviceState& state, ControllerView& view, Pacer& pacer,
                     ReceiveLoop& receiveLoop, ControllerTiming timing = {});

    // Set Param. and Adv Param.'s Set tell `observer` of each change they make (nullptr:
    // nobody), which may refuse it before anything is sent.
    void SetChangeObserver(ChangeObserver* observer) { m_changes = observer; }

    void ToggleOpen();
    bool EnterConfigMode();
    void Login();
    void ClearLog();
    void GetParameters();
    void SetParameters();
    void EditAdvancedParameters();
    void SetAdvancedParameters();
    // For front ends without a window: exactly these settings, in order, each followed by
    // its group's set pause, and nothing else; then the queries of exactly these
    // parameters with their group's query pauses. Both stop after the command in flight
    // as every sequence does; neither closes a lost line (CloseLostLine does).
    SettingsWritten WriteSettings(const std::vector<Setting>& settings);
    void QueryParameters(const std::vector<const Parameter*>& parameters);
    // If the line has hung up, closes the port and tells the operator; otherwise nothing.
    // Every operation ends with it; an owner calls it when the receive loop reports the
    // end of the line while no operation runs.
    void CloseLostLine();
    // For an owner that ends: closes an open port and waits for the receive loop, so the
    // record outlives every use of it.
    void Shutdown();

  private:
    void Open();
    void Close();
    bool MayContinue() const;
    // What a handshake without an answer tried, and what to try next.
    std::string HandshakeFailureDetail() const;
    void WriteCommand(const std::string& command);
    void Query(const Parameter& parameter);
    void SendGroup(ParameterGroup group);
    std::chrono::milliseconds SetGap(const Parameter& parameter) const;
    void ReportLeftOut(const class CommandValues& values);

    SerialLink& m_port;
    DeviceState& m_state;
    ControllerView& m_view;
    Pacer& m_pacer;
    ReceiveLoop& m_receiveLoop;
    ControllerTiming m_timing;
    CommandTable m_commands;
    ChangeObserver* m_changes = nullptr;
};

// Texts the controller shows.
inline constexpr std::string_view kCaptionOpen = "Open";
inline constexpr std::string_view kCaptionClose = "Close";
inline constexpr std::string_view kEnteringConfigMode = "Entering Config Mode...";
// GBK "已进入配置模式" (configuration mode entered).
inline constexpr std::string_view kConfigModeEntered =
    "\xD2\xD1\xBD\xF8\xC8\xEB\xC5\xE4\xD6\xC3\xC4\xA3\xCA\xBD";
// GBK "未登陆" (not logged in).
inline constexpr std::string_view kNotLoggedIn = "\xCE\xB4\xB5\xC7\xC2\xBD";
inline constexpr std::string_view kHandshakeFailed = "Fail, Please try again!";
inline constexpr std::string_view kLogOff = "Log off";
inline constexpr std::string_view kLineLost = "Device lost, port closed";
// How the journal names the window's two changes.
inline constexpr std::string_view kSetParamCommand = "Set Param.";
inline constexpr std::string_view kAdvParamCommand = "Adv Param.";

}  // namespace qk
