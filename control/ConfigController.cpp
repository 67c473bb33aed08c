#include "ConfigController.h"

#include <array>
#include <cstdio>
#include <string>

#include "CommandValues.h"
#include "Handshake.h"
#include "Parameters.h"
#include "ValueLists.h"

namespace qk {
namespace {

constexpr int kComPorts = 14;
constexpr std::string_view kLoginKeyCaption = "Login Key";

// The lists the operator must have chosen from before the port can open.
std::string MissingSerialChoices(const SerialSelection& selection) {
    const std::array<std::pair<std::string_view, bool>, 4> lists = {{
        {"COM", selection.comIndex < 0 || selection.comIndex >= kComPorts},
        {"Baud Rate", EntryAt(BaudRateList, selection.baudIndex).empty()},
        {"Data Bits", EntryAt(DataBitsList, selection.dataBitsIndex).empty()},
        {"Parity", EntryAt(ParityList, selection.parityIndex).empty()},
    }};
    std::string names;
    int count = 0;
    for (const auto& [name, missing] : lists) {
        if (missing) {
            names += (count++ == 0 ? "" : ", ") + std::string(name);
        }
    }
    if (count == 0) {
        return {};
    }
    return "Cannot open: nothing is selected in the " + names + (count == 1 ? " list." : " lists.");
}

}  // namespace

ConfigController::ConfigController(SerialLink& port, DeviceState& state, ControllerView& view,
                                   Pacer& pacer, ReceiveLoop& receiveLoop, ControllerTiming timing)
    : m_port(port),
      m_state(state),
      m_view(view),
      m_pacer(pacer),
      m_receiveLoop(receiveLoop),
      m_timing(timing) {}

void ConfigController::ToggleOpen() {
    if (m_port.IsOpen()) {
        Close();
    } else {
        Open();
    }
    if (!m_port.IsOpen()) {
        m_view.SetOpenButtonCaption(kCaptionOpen);
        return;
    }
    m_view.SetOpenButtonCaption(kCaptionClose);
    m_view.SetConfigModeLabel(kEnteringConfigMode);
    if (!EnterConfigMode()) {
        CloseLostLine();
        return;
    }
    m_view.SetConfigModeLabel(kConfigModeEntered);
    m_port.SetReadTimeouts(0);
    m_receiveLoop.Start();
    m_view.EnableConfigButtons();
    GetParameters();
}

void ConfigController::Open() {
    m_view.UpdateState();
    const SerialSelection selection = m_view.GetSerialSelection();
    if (const std::string missing = MissingSerialChoices(selection); !missing.empty()) {
        m_view.ShowMessage(missing);
        return;
    }
    const auto baud =
        static_cast<std::uint32_t>(std::stoul(std::string(BaudRateList[selection.baudIndex])));
    const int dataBits = DataBitsList[selection.dataBitsIndex][0] - '0';
    // Every opening needs its own accepted login, even if an answer of the last one was
    // still being handled when it closed; and what counts as reported is what this opening
    // hears.
    m_state.loggedIn = false;
    m_state.reported.Clear();
    m_port.Open(selection.comIndex + 1, baud, dataBits, 0, selection.parityIndex);
}

void ConfigController::Close() {
    m_port.Close();
    // The loop would end by itself; waiting for it here means no block from this opening
    // can reach the record after the close, nor run beside the next opening's loop.
    m_receiveLoop.Stop();
    m_state.loggedIn = false;
    m_view.DisableConfigButtons();
    m_view.SetConfigModeLabel("");
    m_view.SetLoginLabel(kNotLoggedIn);
}

bool ConfigController::EnterConfigMode() {
    const HandshakeResult result = RunHandshake(
        m_port, m_pacer, m_commands, m_timing.handshakeAttempts, m_timing.handshakeRetry);
    // A device that is gone, or a run that is stopping, is no failed handshake.
    if (result == HandshakeResult::NoReply) {
        m_view.ShowFailure(kHandshakeFailed, HandshakeFailureDetail());
    }
    return result == HandshakeResult::Confirmed;
}

std::string ConfigController::HandshakeFailureDetail() const {
    const SerialSelection selection = m_view.GetSerialSelection();
    const auto waited = m_timing.handshakeRetry * m_timing.handshakeAttempts;
    const auto seconds = std::chrono::duration_cast<std::chrono::duration<double>>(waited).count();
    char time[32];
    std::snprintf(time, sizeof time, "%g s", seconds);
    std::string detail;
    // On a line that runs as its server has it, the speed asked for was never used.
    if (const std::string remark = m_port.LineRemark(); !remark.empty()) {
        detail = "No answer to \"REQUEST CFG MODE\" in " + std::string(time) + ". " + remark +
                 ": the server's line speed must be the device's.";
    } else {
        detail = "No answer to \"REQUEST CFG MODE\" at " +
                 std::string(EntryAt(BaudRateList, selection.baudIndex)) + " baud in " + time +
                 ". The device may use another line speed: Find Device... (in the window's "
                 "context menu) and qk4410-cli scan find it.";
    }
    if (const std::string others = m_port.SharedWith(); !others.empty()) {
        detail += " The port is open in " + others + " as well, which may take the answers.";
    }
    return detail;
}

void ConfigController::Login() {
    if (!MayContinue()) {
        CloseLostLine();
        return;
    }
    m_view.UpdateState();
    CommandValues values;
    if (const auto key = values.Text(kLoginKeyCaption, m_state.loginKey)) {
        WriteCommand(BuildLogin(m_commands, *key));
    }
    ReportLeftOut(values);
    CloseLostLine();
}

void ConfigController::ClearLog() {
    m_view.UpdateState();
    m_state.infoLog.clear();
    m_view.UpdateControls();
}

void ConfigController::GetParameters() {
    for (const Parameter* parameter : QueriedParameters()) {
        Query(*parameter);
    }
    CloseLostLine();
}

void ConfigController::SetParameters() {
    if (!MayContinue()) {
        CloseLostLine();
        return;
    }
    if (!m_state.loggedIn) {
        m_view.ShowMessage(kLogOff);
        return;
    }
    m_view.UpdateState();
    SendGroup(ParameterGroup::Basic);
}

void ConfigController::EditAdvancedParameters() {
    if (!MayContinue()) {
        CloseLostLine();
        return;
    }
    if (m_view.RunAdvancedDialog(m_state.advanced, m_state.loggedIn)) {
        SetAdvancedParameters();
    }
    CloseLostLine();
}

void ConfigController::SetAdvancedParameters() {
    if (!MayContinue()) {
        CloseLostLine();
        return;
    }
    m_view.UpdateState();
    SendGroup(ParameterGroup::Advanced);
}

void ConfigController::SendGroup(ParameterGroup group) {
    std::vector<const Parameter*> parameters;
    for (const Parameter* parameter : SettableParameters()) {
        if (parameter->group == group) {
            parameters.push_back(parameter);
        }
    }
    CommandValues values;
    std::vector<std::optional<std::string>> sendable;
    std::vector<Setting> settings;
    for (const Parameter* parameter : parameters) {
        sendable.push_back(values.Value(*parameter, m_state));
        if (sendable.back()) {
            settings.push_back({parameter, *sendable.back()});
        }
    }
    if (m_changes != nullptr && !settings.empty()) {
        std::string why;
        const std::string_view command =
            group == ParameterGroup::Basic ? kSetParamCommand : kAdvParamCommand;
        if (!m_changes->ChangeStarting(command, m_state, settings, why)) {
            m_view.ShowMessage(why);
            return;
        }
    }
    SettingsWritten outcome;
    for (std::size_t i = 0; i < parameters.size() && MayContinue(); ++i) {
        const Parameter& parameter = *parameters[i];
        if (sendable[i]) {
            const std::string command = BuildSet(m_commands, parameter.command, *sendable[i]);
            const bool wentOut =
                m_port.Write(command.data(), static_cast<unsigned>(command.size()));
            (wentOut ? outcome.written : outcome.failed).push_back(parameter.id);
        }
        // The pauses stay where they were, sent or not: the device expects that spacing.
        // Set Param. has none after its last command.
        if (group == ParameterGroup::Advanced || i + 1 < parameters.size()) {
            m_pacer.Pause(SetGap(parameter));
        }
    }
    if (m_changes != nullptr && !settings.empty()) {
        m_changes->ChangeEnded(outcome, m_port.IsOpen() && m_port.HungUp());
    }
    ReportLeftOut(values);
    CloseLostLine();
}

SettingsWritten ConfigController::WriteSettings(const std::vector<Setting>& settings) {
    SettingsWritten outcome;
    for (const Setting& setting : settings) {
        if (!MayContinue()) {
            break;
        }
        const std::string command = BuildSet(m_commands, setting.parameter->command, setting.value);
        const bool wentOut = m_port.Write(command.data(), static_cast<unsigned>(command.size()));
        (wentOut ? outcome.written : outcome.failed).push_back(setting.parameter->id);
        m_pacer.Pause(SetGap(*setting.parameter));
    }
    return outcome;
}

void ConfigController::QueryParameters(const std::vector<const Parameter*>& parameters) {
    for (const Parameter* parameter : parameters) {
        Query(*parameter);
    }
}

void ConfigController::CloseLostLine() {
    if (!m_port.IsOpen() || !m_port.HungUp()) {
        return;
    }
    const std::string reason = m_port.HangUpReason();
    Close();
    m_view.SetOpenButtonCaption(kCaptionOpen);
    m_view.ShowLineLost(reason);
}

void ConfigController::Shutdown() {
    if (m_port.IsOpen()) {
        m_port.Close();
    }
    m_receiveLoop.Stop();
    m_state.loggedIn = false;
}

bool ConfigController::MayContinue() const {
    return m_port.IsOpen() && !m_port.HungUp() && !m_pacer.StopRequested();
}

void ConfigController::WriteCommand(const std::string& command) {
    m_port.Write(command.data(), static_cast<unsigned>(command.size()));
}

void ConfigController::Query(const Parameter& parameter) {
    if (!MayContinue()) {
        return;
    }
    WriteCommand(BuildQuery(m_commands, parameter.command));
    m_pacer.Pause(parameter.group == ParameterGroup::Basic ? m_timing.basicQueryGap
                                                           : m_timing.advancedQueryGap);
}

std::chrono::milliseconds ConfigController::SetGap(const Parameter& parameter) const {
    return parameter.group == ParameterGroup::Basic ? m_timing.basicSetGap
                                                    : m_timing.advancedSetGap;
}

void ConfigController::ReportLeftOut(const CommandValues& values) {
    if (values.AnyLeftOut()) {
        m_view.ShowMessage(values.Message());
    }
}

}  // namespace qk
