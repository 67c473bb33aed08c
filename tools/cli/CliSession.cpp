#include "CliSession.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <thread>

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
// How often a long wait looks for a stop request.
constexpr milliseconds kWaitSlice{50};

// The record's device fields and the keys the device reports them under; the other fields
// (login key, log, logged-in flag) are the tool's own. `queried`: asked for by Get Param.
struct ReportedField {
    std::string_view field;
    std::string_view shownAs;
    std::string_view answerKey;
    bool queried;
};
constexpr ReportedField kReportedFields[] = {
    {"deviceBaudIndex", "deviceBaud", "BAUD", true},
    {"protocolIndex", "protocol", "PROTOCOL", true},
    {"destAddress", "destAddress", "PIPADD", true},
    {"destPort", "destPort", "PPORT", true},
    {"statusText0", "statusText0", "STAT", true},
    {"statusText1", "statusText1", "ID", true},
    {"statusText2", "statusText2", "VER", true},
    {"workType", "workType", "WORKTYPE", true},
    {"heartbeatCode", "heartbeatCode", "HEARTIME", true},
    {"heartbeatData", "heartbeatData", "HEARTDAT", true},
    {"dnsServer", "dnsServer", "PDNS", true},
    {"dataBits", "dataBits", "DATAB", true},
    {"parity", "parity", "CHECKB", true},
    {"registerEnable", "registerEnable", "REGEN", true},
    {"registerData", "registerData", "ENROL", true},
    {"packetGap", "packetGap", "ITVT", false},
    {"packetSize", "packetSize", "PACKSIZE", false},
    {"reconnectInterval", "reconnectInterval", "RECONNECTIME", false},
    {"reconnectTries", "reconnectTries", "RECONNECTCNT", false},
    {"disconnectTime", "disconnectTime", "OFFLINETIME", false},
    {"logoutEnable", "logoutEnable", "CANCELEN", false},
    {"logoutData", "logoutData", "CANCELDATA", false},
};

const ReportedField* ReportedFieldFor(std::string_view field) {
    const auto found = std::ranges::find(kReportedFields, field, &ReportedField::field);
    return found == std::end(kReportedFields) ? nullptr : &*found;
}

// The last value the device reported under each key, since the last Clear().
class Answers {
  public:
    void Note(std::string_view key, std::string_view value) { m_values[std::string(key)] = value; }
    void Clear() { m_values.clear(); }
    const std::string* Find(std::string_view key) const {
        const auto found = m_values.find(key);
        return found == m_values.end() ? nullptr : &found->second;
    }
    bool Has(std::string_view key) const { return Find(key) != nullptr; }

  private:
    std::map<std::string, std::string, std::less<>> m_values;
};

// One line of text or one JSON member per field; a device field the device did not
// report is left out of the text and null in JSON, never shown with a value it did not say.
class RecordPrinter {
  public:
    explicit RecordPrinter(bool json) : m_json(json) {}
    void Add(std::string_view name, const std::string* gbkValue) {
        if (!m_json) {
            if (gbkValue != nullptr) {
                m_text += std::string(name) + "=" + GbkToDisplay(*gbkValue) + "\n";
            }
            return;
        }
        m_text += std::string(m_text.empty() ? "{" : ",") + "\n  \"" + std::string(name) +
                  "\": " + (gbkValue != nullptr ? GbkToJson(*gbkValue) : "null");
    }
    std::string Text() const {
        if (!m_json) {
            return m_text;
        }
        return m_text.empty() ? "{}\n" : m_text + "\n}\n";
    }

  private:
    bool m_json;
    std::string m_text;
};

std::string Join(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

void PrintPorts(const PortDirectory& ports, std::ostream& out) {
    const auto entries = ports.Entries();
    if (entries.empty()) {
        out << "no serial ports found\n";
    }
    for (const auto& entry : entries) {
        out << "COM" << entry.number << " " << entry.path << (entry.pinned ? " (pinned)" : "")
            << "\n";
    }
}

// Pauses that end early once a stop signal has arrived.
class StoppablePacer final : public Pacer {
  public:
    explicit StoppablePacer(const StopSignals* stop) : m_stop(stop) {}
    void Pause(milliseconds duration) override {
        if (m_stop != nullptr) {
            m_stop->Wait(duration);
        } else {
            std::this_thread::sleep_for(duration);
        }
    }
    bool StopRequested() const override { return m_stop != nullptr && m_stop->Received() != 0; }
    int Signal() const { return m_stop != nullptr ? m_stop->Received() : 0; }

  private:
    const StopSignals* m_stop;
};

// The command line's device conversation, wired like the main window. Output is collected
// and handed out only once the port is closed.
class Session {
  public:
    Session(const CliOptions& options, PortDirectory& ports, std::ostream& err,
            const StopSignals* stop)
        : m_options(options),
          m_err(err),
          m_view(m_state, options, err),
          m_port(ports, m_view),
          m_handover([this](std::string&& block) { m_parser.HandleBlock(block); }),
          m_loop(m_port, m_handover),
          m_pacer(stop),
          m_controller(m_port, m_state, m_view, m_pacer, m_loop, Timing(options)) {
        m_parser.SetAnswerObserver(
            [this](std::string_view key, std::string_view value) { m_answers.Note(key, value); });
    }

    ~Session() { m_controller.Shutdown(); }

    int Get(std::string& output) {
        if (const int status = Open(); status != kSuccess) {
            return status;
        }
        WaitFor([&] { return MissingFields().empty(); }, milliseconds(m_options.settleMs));
        if (const int status = Ended(); status != kSuccess) {
            return status;
        }
        // Closing runs what is still queued, so the log printed is all that arrived.
        m_controller.Shutdown();
        output = FormatRecord();
        const auto missing = MissingFields();
        if (!missing.empty()) {
            m_err << "qk4410-cli: the device did not report: " << Join(missing) << "\n";
            return kIncomplete;
        }
        return kSuccess;
    }

    int Set(std::string& output) {
        for (const auto step : {&Session::Open, &Session::LogIn, &Session::WriteNamedValues,
                                &Session::AskForNamedValues}) {
            if (const int status = (this->*step)(); status != kSuccess) {
                ReportUnfinished();
                return status;
            }
        }
        return Verify(output);
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
        if (const int status = Ended(); status != kSuccess) {
            return status;
        }
        if (!m_port.IsOpen() || !m_view.configModeEntered()) {
            return kNoDevice;
        }
        return kSuccess;
    }

    int LogIn() {
        m_controller.Login();
        WaitFor([&] { return m_state.loggedIn || m_view.loginRefused(); }, kLoginWait);
        if (const int status = Ended(); status != kSuccess) {
            return status;
        }
        if (!m_state.loggedIn) {
            m_err << "qk4410-cli: "
                  << (m_view.loginRefused() ? "the device did not accept the login key"
                                            : "the device did not answer the login")
                  << "\n";
            return kRefused;
        }
        return kSuccess;
    }

    // One set command per named value, nothing else, in send order with the group pauses.
    int WriteNamedValues() {
        for (const Assignment& a : m_options.assignments.InSendOrder()) {
            if (!MayContinue()) {
                break;
            }
            const std::string command = BuildSet(m_commands, a.command, a.value);
            if (m_port.Write(command.data(), static_cast<unsigned>(command.size()))) {
                m_written.push_back(a.name);
            } else {
                m_failed.insert(a.name);
            }
            m_pacer.Pause(a.basic ? m_timing.basicSetGap : m_timing.advancedSetGap);
        }
        return Ended();
    }

    int AskForNamedValues() {
        // Only answers that arrive from here on count: what the record held before, or
        // what the writes put in it, proves nothing.
        m_handover.RunPending();
        m_answers.Clear();
        const auto& assignments = m_options.assignments.InSendOrder();
        for (const Assignment& a : assignments) {
            if (!MayContinue()) {
                break;
            }
            const std::string query = BuildQuery(m_commands, a.command);
            m_port.Write(query.data(), static_cast<unsigned>(query.size()));
            m_pacer.Pause(a.basic ? m_timing.basicQueryGap : m_timing.advancedQueryGap);
        }
        WaitFor(
            [&] {
                return std::ranges::all_of(
                    assignments, [&](const Assignment& a) { return m_answers.Has(a.answerKey); });
            },
            milliseconds(m_options.settleMs));
        return Ended();
    }

    bool MayContinue() const {
        return m_port.IsOpen() && !m_port.HungUp() && !m_pacer.StopRequested();
    }

    // Runs received blocks until `done` holds; false when `limit` passed first, the line
    // hung up or the run was asked to stop.
    bool WaitFor(const std::function<bool()>& done, milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        m_handover.RunPending();
        while (!done()) {
            const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
            if (!MayContinue() || left.count() <= 0) {
                return false;
            }
            m_handover.WaitAndRunPending(std::min(left, kWaitSlice));
        }
        return true;
    }

    // The status that ends the run early, or kSuccess to go on. A hung-up line is closed
    // here (after every answer received before it), which reports it.
    int Ended() {
        m_controller.CloseLostLine();
        if (m_view.lineLost()) {
            return kNoDevice;
        }
        if (const int signal = m_pacer.Signal(); signal != 0) {
            m_err << "qk4410-cli: stopped by " << StopSignals::Name(signal) << "\n";
            return 128 + signal;
        }
        return kSuccess;
    }

    void ReportUnfinished() {
        std::vector<std::string> notWritten;
        for (const Assignment& a : m_options.assignments.InSendOrder()) {
            if (!m_failed.contains(a.name) &&
                std::ranges::find(m_written, a.name) == m_written.end()) {
                notWritten.push_back(a.name);
            }
        }
        m_err << "qk4410-cli: ";
        if (!m_written.empty()) {
            m_err << "written, not verified: " << Join(m_written) << "; ";
        }
        m_err << "not written: " << (notWritten.empty() ? "none" : Join(notWritten));
        if (!m_failed.empty()) {
            m_err << "; the write failed: " << Join({m_failed.begin(), m_failed.end()});
        }
        m_err << "\n";
    }

    // A value is taken only when the device's answer after the writes holds it exactly.
    int Verify(std::string& output) {
        RecordPrinter confirmed(m_options.json);
        bool allTaken = true;
        for (const Assignment& a : m_options.assignments.InSendOrder()) {
            const std::string* reported = m_answers.Find(a.answerKey);
            std::string why;
            if (m_failed.contains(a.name)) {
                why = "the write failed";
            } else if (reported == nullptr) {
                why = "no answer";
            } else if (*reported != a.value) {
                why = "refused (the device reports \"" + GbkToDisplay(*reported) + "\")";
            }
            if (!why.empty()) {
                allTaken = false;
                m_err << "qk4410-cli: " << a.name << "=" << a.shown << " not confirmed: " << why
                      << "\n";
                confirmed.Add(a.name, nullptr);
            } else {
                // As given, so the line can be handed to `set` again.
                const std::string shown = Utf8ToGbk(a.shown).value_or(a.value);
                confirmed.Add(a.name, &shown);
            }
        }
        output = confirmed.Text();
        return allTaken ? kSuccess : kRefused;
    }

    // Get Param.'s fields the device has not reported since the port opened.
    std::vector<std::string> MissingFields() const {
        std::vector<std::string> missing;
        for (const auto& field : kReportedFields) {
            if (field.queried && !m_answers.Has(field.answerKey)) {
                missing.emplace_back(field.shownAs);
            }
        }
        return missing;
    }

    // The record, with the device baud and protocol shown as their list texts, like the
    // window's lists.
    std::string FormatRecord() const {
        RecordPrinter printer(m_options.json);
        for (const auto& field : ListFields(m_state)) {
            const ReportedField* reported = ReportedFieldFor(field.name);
            if (reported == nullptr) {
                printer.Add(field.name, &field.value);
                continue;
            }
            if (!m_answers.Has(reported->answerKey)) {
                printer.Add(reported->shownAs, nullptr);
                continue;
            }
            std::string value = field.value;
            if (field.name == "deviceBaudIndex") {
                value = EntryAt(BaudRateList, m_state.deviceBaudIndex);
            } else if (field.name == "protocolIndex") {
                value = EntryAt(ProtocolList, m_state.protocolIndex);
            }
            printer.Add(reported->shownAs, &value);
        }
        return printer.Text();
    }

    const CliOptions& m_options;
    std::ostream& m_err;
    DeviceState m_state;
    CliFrontEnd m_view;
    CSerialPort m_port;
    ResponseParser m_parser{m_state, m_view};
    BlockHandover m_handover;
    ReceiveLoop m_loop;
    StoppablePacer m_pacer;
    ConfigController m_controller;
    const ControllerTiming m_timing;
    CommandTable m_commands;
    Answers m_answers;
    std::vector<std::string> m_written;  // by set: the values whose command went out
    std::set<std::string> m_failed;      // by set: the values whose write failed
};

}  // namespace

int RunSession(const CliOptions& options, std::ostream& out, std::ostream& err,
               const StopSignals* stop) {
    PortDirectory ports = PortDirectory::Discover();
    for (const auto& pin : options.pins) {
        ports.Pin(pin.number, pin.path);
    }
    if (options.command == Command::Ports) {
        PrintPorts(ports, out);
        return kSuccess;
    }
    std::string output;
    int status = kSuccess;
    {
        Session session(options, ports, err, stop);
        status = options.command == Command::Get ? session.Get(output) : session.Set(output);
    }
    out << output;
    return status;
}

}  // namespace qk::cli
