#include "DeviceSession.h"

#include <algorithm>

namespace qk {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kLoginWait{5000};
// How often a long wait looks for a stop request.
constexpr milliseconds kWaitSlice{50};

ControllerTiming Timing(const SessionSettings& settings) {
    ControllerTiming timing;
    timing.handshakeAttempts = settings.handshakeAttempts;
    return timing;
}

SerialSelection Selection(const SessionSettings& settings) {
    return {settings.comNumber - 1, settings.baudIndex, settings.dataBitsIndex,
            settings.parityIndex};
}

std::string Names(const std::vector<Setting>& settings) {
    std::string names;
    for (const Setting& setting : settings) {
        names += (names.empty() ? "" : ", ") + std::string(setting.parameter->name);
    }
    return names;
}

bool Contains(const std::vector<ParameterId>& ids, ParameterId id) {
    return std::ranges::find(ids, id) != ids.end();
}

}  // namespace

DeviceSession::DeviceSession(const PortDirectory& ports, SessionSettings settings,
                             SessionReporter& reporter, Pacer& pacer,
                             ConversationRecorder* recorder)
    : m_settings(std::move(settings)),
      m_path(ports.PathFor(m_settings.comNumber)),
      m_reporter(reporter),
      m_view(m_state, Selection(m_settings), m_settings.loginKey, reporter),
      m_port(ports, m_view),
      m_link(m_port, recorder),
      m_handover([this, recorder](std::string&& block) {
          if (recorder != nullptr) {
              recorder->Received(block);
          }
          m_parser.HandleBlock(block);
      }),
      m_loop(m_link, m_handover),
      m_pacer(pacer),
      m_controller(m_link, m_state, m_view, m_pacer, m_loop, Timing(m_settings)) {
    m_port.SetStopCheck([this] { return m_pacer.StopRequested(); });
    m_port.SetConnectTimeout(m_settings.connectTimeout);
}

DeviceSession::~DeviceSession() {
    m_controller.Shutdown();
}

SessionStatus DeviceSession::Open() {
    m_controller.ToggleOpen();
    if (const SessionStatus status = Ended(); status != SessionStatus::Ok) {
        return status;
    }
    if (!m_port.IsOpen() || !m_view.configModeEntered()) {
        return SessionStatus::NoDevice;
    }
    if (const std::string remark = m_port.LineRemark(); !remark.empty()) {
        m_reporter.Notice(remark);
    }
    WaitFor([&] { return Unreported().empty(); }, m_settings.settle);
    return Ended();
}

SessionStatus DeviceSession::LogIn() {
    m_reporter.Progress("logging in");
    m_controller.Login();
    WaitFor([&] { return m_state.loggedIn || m_view.loginRefused(); }, kLoginWait);
    if (const SessionStatus status = Ended(); status != SessionStatus::Ok) {
        return status;
    }
    if (m_state.loggedIn) {
        return SessionStatus::Ok;
    }
    // A refusal has been shown ("Login fail!"); silence has not.
    if (!m_view.loginRefused()) {
        Report("the device did not answer the login");
    }
    return SessionStatus::Refused;
}

SessionStatus DeviceSession::Write(const std::vector<Setting>& settings) {
    m_reporter.Progress("writing " + Names(settings));
    const SettingsWritten outcome = m_controller.WriteSettings(settings);
    m_written.insert(m_written.end(), outcome.written.begin(), outcome.written.end());
    m_failed.insert(m_failed.end(), outcome.failed.begin(), outcome.failed.end());
    return Ended();
}

SessionStatus DeviceSession::ReadBack(const std::vector<const Parameter*>& parameters) {
    m_reporter.Progress("asking the device for what was written");
    m_handover.RunPending();
    m_idAnswersBeforeReadBack = m_state.reported.Count(ParameterId::Id);
    m_readBackStarted = true;
    std::vector<const Parameter*> queries = {&ParameterOf(ParameterId::Id)};
    queries.insert(queries.end(), parameters.begin(), parameters.end());
    m_controller.QueryParameters(queries);
    WaitFor(
        [&] {
            return std::ranges::all_of(
                parameters, [&](const Parameter* p) { return Confirmed(p->id) != nullptr; });
        },
        m_settings.settle);
    return Ended();
}

void DeviceSession::Close() {
    m_controller.Shutdown();
    if (m_port.HungUp() && !m_view.lineLost()) {
        m_view.ShowLineLost(m_port.HangUpReason());
    }
}

std::vector<const Parameter*> DeviceSession::Unreported() const {
    std::vector<const Parameter*> missing;
    for (const Parameter* parameter : QueriedParameters()) {
        if (!m_state.reported.Has(parameter->id)) {
            missing.push_back(parameter);
        }
    }
    return missing;
}

const std::string* DeviceSession::Confirmed(ParameterId id) const {
    const ReportedValues& reported = m_state.reported;
    const bool markerAnswered =
        m_readBackStarted && reported.Count(ParameterId::Id) > m_idAnswersBeforeReadBack;
    if (!markerAnswered || reported.Sequence(id) < reported.Sequence(ParameterId::Id)) {
        return nullptr;
    }
    return reported.Find(id);
}

bool DeviceSession::Written(ParameterId id) const {
    return Contains(m_written, id);
}

bool DeviceSession::WriteFailed(ParameterId id) const {
    return Contains(m_failed, id);
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

SessionStatus DeviceSession::Ended() {
    // A hung-up line is closed here, after every answer received before it, which reports it.
    m_controller.CloseLostLine();
    if (m_view.lineLost()) {
        return SessionStatus::NoDevice;
    }
    if (m_pacer.StopRequested()) {
        return SessionStatus::Stopped;
    }
    return SessionStatus::Ok;
}

}  // namespace qk
