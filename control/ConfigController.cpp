#include "ConfigController.h"

#include <array>
#include <string>

#include "CommandValues.h"
#include "Handshake.h"
#include "ValueLists.h"

namespace qk {
namespace {

constexpr int kComPorts = 14;

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
    // still being handled when it closed.
    m_state.loggedIn = false;
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
    const HandshakeResult result = RunHandshake(m_port, m_pacer, m_commands,
                                                m_timing.handshakeAttempts, m_timing.handshakeRetry);
    // A device that is gone, or a run that is stopping, is no failed handshake.
    if (result == HandshakeResult::NoReply) {
        m_view.ShowMessage(kHandshakeFailed);
    }
    return result == HandshakeResult::Confirmed;
}

void ConfigController::Login() {
    if (!MayContinue()) {
        CloseLostLine();
        return;
    }
    m_view.UpdateState();
    CommandValues values;
    if (const auto key = values.Text("Login Key", m_state.loginKey)) {
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
    for (const CommandId id : {CommandId::Stat, CommandId::Id, CommandId::Ver, CommandId::Baud,
                               CommandId::DestAddress, CommandId::DestPort, CommandId::Protocol}) {
        Query(id, m_timing.basicQueryGap);
    }
    for (const CommandId id :
         {CommandId::WorkType, CommandId::HeartbeatTime, CommandId::HeartbeatData, CommandId::Dns,
          CommandId::DataBits, CommandId::Parity, CommandId::RegisterEnable,
          CommandId::RegisterData}) {
        Query(id, m_timing.advancedQueryGap);
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
    CommandValues values;
    const std::optional<std::string> commands[] = {
        values.ListEntry("Device Baud Rate", BaudRateList, m_state.deviceBaudIndex),
        values.Text("Dest. IP/Name", m_state.destAddress),
        values.Text("Dest. Port", m_state.destPort),
        values.ListEntry("Protocol", ProtocolList, m_state.protocolIndex),
    };
    const CommandId ids[] = {CommandId::Baud, CommandId::DestAddress, CommandId::DestPort,
                             CommandId::Protocol};
    for (std::size_t i = 0; i < std::size(ids) && MayContinue(); ++i) {
        if (commands[i]) {
            WriteCommand(BuildSet(m_commands, ids[i], *commands[i]));
        }
        // The pauses stay where they were, sent or not: the device expects that spacing.
        if (i + 1 < std::size(ids)) {
            m_pacer.Pause(m_timing.basicSetGap);
        }
    }
    ReportLeftOut(values);
    CloseLostLine();
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
    const AdvancedParams& a = m_state.advanced;
    CommandValues values;
    const std::pair<CommandId, std::optional<std::string>> commands[] = {
        {CommandId::WorkType, values.Digit("Work Mode", WorkModeList, '0', a.workType)},
        // The stored heartbeat is the list position; the device counts from 1.
        {CommandId::HeartbeatTime,
         values.Digit("Heart Beat Interval", HeartbeatList, '1', a.heartbeatCode)},
        {CommandId::HeartbeatData, values.Text("Heart Beat Content", a.heartbeatData)},
        {CommandId::Dns, values.Text("DNS Server IP", a.dnsServer)},
        {CommandId::DataBits, values.ListText("Serial Data Bits", DataBitsList, a.dataBits)},
        {CommandId::Parity, values.ListText("Serial Parity", ParityList, a.parity)},
        {CommandId::RegisterEnable,
         values.Digit("Regist Packet", SwitchList, '0', a.registerEnable)},
        {CommandId::RegisterData, values.Text("Regist Packet Content", a.registerData)},
    };
    for (const auto& [id, value] : commands) {
        if (!MayContinue()) {
            break;
        }
        if (value) {
            WriteCommand(BuildSet(m_commands, id, *value));
        }
        m_pacer.Pause(m_timing.advancedSetGap);
    }
    ReportLeftOut(values);
    CloseLostLine();
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

void ConfigController::Query(CommandId id, std::chrono::milliseconds pause) {
    if (!MayContinue()) {
        return;
    }
    WriteCommand(BuildQuery(m_commands, id));
    m_pacer.Pause(pause);
}

void ConfigController::ReportLeftOut(const CommandValues& values) {
    if (values.AnyLeftOut()) {
        m_view.ShowMessage(values.Message());
    }
}

}  // namespace qk
