#include "DeviceSession.h"

#include <algorithm>

namespace qk::cli {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kLoginWait{5000};
// How often a long wait looks for a stop request.
constexpr milliseconds kWaitSlice{50};

// What Get Param. asks for, by answer key, and the name each has in what the command
// line prints.
constexpr std::pair<std::string_view, std::string_view> kQueried[] = {
    {"STAT", "status"},        {"ID", "id"},
    {"VER", "version"},        {"BAUD", "deviceBaud"},
    {"PIPADD", "destAddress"}, {"PPORT", "destPort"},
    {"PROTOCOL", "protocol"},  {"WORKTYPE", "workType"},
    {"HEARTIME", "heartbeat"}, {"HEARTDAT", "heartbeatData"},
    {"PDNS", "dnsServer"},     {"DATAB", "dataBits"},
    {"CHECKB", "parity"},      {"REGEN", "registerEnable"},
    {"ENROL", "registerData"},
};

ControllerTiming Timing(const CliOptions& options) {
    ControllerTiming timing;
    timing.handshakeAttempts = options.handshakeAttempts;
    return timing;
}

}  // namespace

DeviceSession::DeviceSession(const CliOptions& options, const PortDirectory& ports, int comNumber,
                             std::ostream& err, const StopSignals* stop,
                             replay::ConversationRecorder* recorder)
    : m_options(options),
      m_err(err),
      m_path(ports.PathFor(comNumber)),
      m_view(m_state, options, comNumber, err),
      m_port(ports, m_view),
      m_link(m_port, recorder),
      m_handover([this, recorder](std::string&& block) {
          if (recorder != nullptr) {
              recorder->Received(block);
          }
          m_parser.HandleBlock(block);
      }),
      m_loop(m_link, m_handover),
      m_pacer(stop),
      m_controller(m_link, m_state, m_view, m_pacer, m_loop, Timing(options)) {
    m_parser.SetAnswerObserver(
        [this](std::string_view key, std::string_view value) { m_answers.Note(key, value); });
}

DeviceSession::~DeviceSession() {
    m_controller.Shutdown();
}

int DeviceSession::Open() {
    m_controller.ToggleOpen();
    if (const int status = Ended(); status != kSuccess) {
        return status;
    }
    if (!m_port.IsOpen() || !m_view.configModeEntered()) {
        return kNoDevice;
    }
    WaitFor([&] { return MissingParameters().empty(); }, milliseconds(m_options.settleMs));
    return Ended();
}

int DeviceSession::LogIn() {
    m_controller.Login();
    WaitFor([&] { return m_state.loggedIn || m_view.loginRefused(); }, kLoginWait);
    if (const int status = Ended(); status != kSuccess) {
        return status;
    }
    if (m_state.loggedIn) {
        return kSuccess;
    }
    // A refusal has been shown ("Login fail!"); silence has not.
    if (!m_view.loginRefused()) {
        Report("the device did not answer the login");
    }
    return kRefused;
}

int DeviceSession::Write(const std::vector<Setting>& settings) {
    for (const Setting& setting : settings) {
        if (!MayContinue()) {
            break;
        }
        const std::string command = BuildSet(m_commands, setting.rule->command, setting.value);
        const bool wentOut = m_link.Write(command.data(), static_cast<unsigned>(command.size()));
        (wentOut ? m_written : m_failed).insert(setting.rule);
        m_pacer.Pause(setting.rule->basic ? m_timing.basicSetGap : m_timing.advancedSetGap);
    }
    return Ended();
}

int DeviceSession::AskFor(const std::vector<Setting>& settings) {
    // Only answers that arrive from here on count: what came before, the device's
    // confirmations of the writes included, proves nothing about what it holds now.
    m_handover.RunPending();
    m_answers.Clear();
    for (const Setting& setting : settings) {
        if (!MayContinue()) {
            break;
        }
        const std::string query = BuildQuery(m_commands, setting.rule->command);
        m_link.Write(query.data(), static_cast<unsigned>(query.size()));
        m_pacer.Pause(setting.rule->basic ? m_timing.basicQueryGap : m_timing.advancedQueryGap);
    }
    WaitFor(
        [&] {
            return std::ranges::all_of(
                settings, [&](const Setting& s) { return m_answers.Has(s.rule->answerKey); });
        },
        milliseconds(m_options.settleMs));
    return Ended();
}

void DeviceSession::Close() {
    m_controller.Shutdown();
}

std::vector<std::string> DeviceSession::MissingParameters() const {
    std::vector<std::string> missing;
    for (const auto& [key, name] : kQueried) {
        if (!m_answers.Has(key)) {
            missing.emplace_back(name);
        }
    }
    return missing;
}

bool DeviceSession::Written(const Setting& setting) const {
    return m_written.contains(setting.rule);
}

bool DeviceSession::WriteFailed(const Setting& setting) const {
    return m_failed.contains(setting.rule);
}

void DeviceSession::Report(const std::string& message) {
    m_view.Report(message);
}

bool DeviceSession::MayContinue() const {
    return m_port.IsOpen() && !m_port.HungUp() && !m_pacer.StopRequested();
}

bool DeviceSession::WaitFor(const std::function<bool()>& done, milliseconds limit) {
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

int DeviceSession::Ended() {
    // A hung-up line is closed here, after every answer received before it, which reports it.
    m_controller.CloseLostLine();
    if (m_view.lineLost()) {
        return kNoDevice;
    }
    if (const int signal = m_pacer.Signal(); signal != 0) {
        Report("stopped by " + StopSignals::Name(signal));
        return 128 + signal;
    }
    return kSuccess;
}

}  // namespace qk::cli
