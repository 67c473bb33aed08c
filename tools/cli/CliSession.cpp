#include "CliSession.h"

#include <chrono>

#include "BlockHandover.h"
#include "CSerialPort.h"
#include "CliFrontEnd.h"
#include "ConfigController.h"
#include "ConsoleText.h"
#include "DeviceStateFields.h"
#include "ReceiveLoop.h"
#include "ResponseParser.h"
#include "ValueLists.h"

namespace qk::cli {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kLoginWait{5000};

// The record as name=value lines or one JSON object. The device baud and protocol are
// shown as their list texts, like the window's lists.
void PrintRecord(const DeviceState& state, bool json, std::ostream& out) {
    std::vector<std::pair<std::string, std::string>> fields;
    for (const auto& field : ListFields(state)) {
        if (field.name == "deviceBaudIndex") {
            fields.emplace_back("deviceBaud", std::string(EntryAt(BaudRateList, state.deviceBaudIndex)));
        } else if (field.name == "protocolIndex") {
            fields.emplace_back("protocol", std::string(EntryAt(ProtocolList, state.protocolIndex)));
        } else {
            fields.emplace_back(std::string(field.name), field.value);
        }
    }
    if (!json) {
        for (const auto& [name, value] : fields) {
            out << name << "=" << GbkToDisplay(value) << "\n";
        }
        return;
    }
    out << "{";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        out << (i == 0 ? "" : ",") << "\n  \"" << fields[i].first << "\": " << GbkToJson(fields[i].second);
    }
    out << "\n}\n";
}

void PrintPorts(const PortDirectory& ports, std::ostream& out) {
    const auto entries = ports.Entries();
    if (entries.empty()) {
        out << "no serial ports found\n";
    }
    for (const auto& entry : entries) {
        out << "COM" << entry.number << " " << entry.path << (entry.pinned ? " (pinned)" : "") << "\n";
    }
}

// The command line's device conversation, wired like the main window.
class Session {
public:
    Session(const CliOptions& options, PortDirectory& ports, std::ostream& err)
        : m_options(options),
          m_view(m_state, options, err),
          m_port(ports, m_view),
          m_handover([this](std::string&& block) { m_parser.HandleBlock(block); }),
          m_loop(m_port, m_handover),
          m_controller(m_port, m_state, m_view, m_pacer, m_loop, Timing(options)) {}

    ~Session() { m_controller.Shutdown(); }

    int Get(std::ostream& out) {
        if (const int status = Open(); status != kSuccess) {
            return status;
        }
        PrintRecord(m_state, m_options.json, out);
        return kSuccess;
    }

    int Set(std::ostream& out, std::ostream& err) {
        if (const int status = Open(); status != kSuccess) {
            return status;
        }
        m_controller.Login();
        const auto deadline = Clock::now() + kLoginWait;
        while (!m_state.loggedIn && !m_view.loginRefused() && Clock::now() < deadline) {
            m_handover.WaitAndRunPending(milliseconds(50));
        }
        if (!m_state.loggedIn) {
            err << "qk4410-cli: the device did not accept the login key\n";
            return kRefused;
        }
        if (m_options.assignments.HasBasic()) {
            m_view.SetPendingBasic(true);
            m_controller.SetParameters();
            m_view.SetPendingBasic(false);
        }
        if (m_options.assignments.HasAdvanced()) {
            m_controller.EditAdvancedParameters();
        }
        m_controller.GetParameters();
        Settle();
        PrintRecord(m_state, m_options.json, out);
        const auto differing = m_options.assignments.Differences(m_state);
        if (!differing.empty()) {
            err << "qk4410-cli: the device did not take:";
            for (const auto& name : differing) {
                err << " " << name;
            }
            err << "\n";
            return kRefused;
        }
        return kSuccess;
    }

private:
    static ControllerTiming Timing(const CliOptions& options) {
        ControllerTiming timing;
        timing.handshakeAttempts = options.handshakeAttempts;
        return timing;
    }

    // Opens, enters configuration mode and reads every parameter, as the Open button does.
    int Open() {
        m_controller.ToggleOpen();
        if (!m_port.IsOpen() || !m_view.configModeEntered()) {
            return kNoDevice;
        }
        Settle();
        return kSuccess;
    }

    // Lets answers that arrive during the settle time take effect.
    void Settle() {
        const auto deadline = Clock::now() + milliseconds(m_options.settleMs);
        for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
            m_handover.WaitAndRunPending(std::chrono::duration_cast<milliseconds>(deadline - now));
        }
        while (m_handover.RunPending()) {
        }
    }

    const CliOptions& m_options;
    DeviceState m_state;
    CliFrontEnd m_view;
    CSerialPort m_port;
    ResponseParser m_parser{m_state, m_view};
    BlockHandover m_handover;
    ReceiveLoop m_loop;
    SleepingPacer m_pacer;
    ConfigController m_controller;
};

}  // namespace

int RunSession(const CliOptions& options, std::ostream& out, std::ostream& err) {
    PortDirectory ports = PortDirectory::Discover();
    for (const auto& pin : options.pins) {
        ports.Pin(pin.number, pin.path);
    }
    if (options.command == Command::Ports) {
        PrintPorts(ports, out);
        return kSuccess;
    }
    Session session(options, ports, err);
    return options.command == Command::Get ? session.Get(out) : session.Set(out, err);
}

}  // namespace qk::cli
