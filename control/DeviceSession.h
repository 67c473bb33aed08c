#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "BlockHandover.h"
#include "CSerialPort.h"
#include "ConfigController.h"
#include "ConversationRecorder.h"
#include "HeadlessView.h"
#include "Parameters.h"
#include "ReceiveLoop.h"
#include "RecordedLink.h"
#include "ResponseParser.h"

namespace qk {

// How a session reaches its device and how long it waits for answers.
struct SessionSettings {
    int comNumber = 1;      // in the session's port directory
    int baudIndex = 4;      // the PC's line: 9600
    int dataBitsIndex = 3;  // 8
    int parityIndex = 0;    // N
    std::string loginKey = kDefaultLoginKey;
    // After a round of queries, how long answers still missing are waited for.
    std::chrono::milliseconds settle{1000};
    int handshakeAttempts = 80;
    // How long reaching a network port may take (rfc2217://, tcp://).
    std::chrono::milliseconds connectTimeout = kDefaultConnectTimeout;
};

// How a step ended.
enum class SessionStatus {
    Ok,
    NoDevice,  // the port would not open, no configuration mode, or the line was lost
    Refused,   // the login was refused or not answered
    Stopped,   // the pacer was asked to stop (a signal)
};

// One device's conversation for a front end without a window: the port, the receive loop,
// the parser and the controller, wired as the main window wires them, on the calling
// thread. The front end only says what to do and reads what the device reported; every
// command byte comes from the controller. Messages go to the reporter as they come.
//
// A written value counts as confirmed only by the device's answer to the read-back query
// itself (see ReadBack), never by its answer to the write, however late that comes.
class DeviceSession {
  public:
    DeviceSession(const PortDirectory& ports, SessionSettings settings, SessionReporter& reporter,
                  Pacer& pacer, ConversationRecorder* recorder = nullptr);
    ~DeviceSession();

    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Opens, enters configuration mode, reads every parameter as the Open button does, and
    // waits up to the settle time for the answers.
    SessionStatus Open();
    SessionStatus LogIn();
    // One set command for each setting, nothing else, in send order with the group pauses.
    SessionStatus Write(const std::vector<Setting>& settings);
    // Asks for each parameter again and waits for the answers to those queries. The device
    // may answer a write as it answers a query, and late: so the read-back starts with a
    // query of the device's ID, which no write touches. The device answers in order, so
    // every answer to a write comes before the ID's, and an answer under a key after the
    // ID's is the answer to the read-back. A device that does not answer the ID confirms
    // nothing.
    SessionStatus ReadBack(const std::vector<const Parameter*>& parameters);
    // Closes the port after running what is still queued, so the record holds all that came.
    // A line found lost on the way (a server that never acknowledged what was sent) is
    // reported as a line lost during the run.
    void Close();

    const DeviceState& state() const { return m_state; }
    // Get Param.'s parameters the device has not reported since the port opened.
    std::vector<const Parameter*> Unreported() const;
    // The device's answer to the last read-back query of `id`; nullptr when none came.
    const std::string* Confirmed(ParameterId id) const;
    bool Written(ParameterId id) const;
    bool WriteFailed(ParameterId id) const;
    const std::string& path() const { return m_path; }
    // The message that ended the run early ("Open com failed! (...)"), empty when none did.
    const std::string& problem() const { return m_view.lastProblem(); }
    // True once the line was lost (and reported), during the run or when it closed.
    bool LineLost() const { return m_view.lineLost(); }
    // Shows a message of the front end's own, as the controller's are shown.
    void Report(std::string_view utf8) { m_view.Report(utf8); }

  private:
    bool MayContinue() const;
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit);
    SessionStatus Ended();

    const SessionSettings m_settings;
    std::string m_path;
    SessionReporter& m_reporter;
    DeviceState m_state;
    HeadlessView m_view;
    CSerialPort m_port;
    RecordedLink m_link;
    ResponseParser m_parser{m_state, m_view};
    BlockHandover m_handover;
    ReceiveLoop m_loop;
    Pacer& m_pacer;
    ConfigController m_controller;
    // How many ID answers had come when the last read-back began; see ReadBack.
    unsigned m_idAnswersBeforeReadBack = 0;
    bool m_readBackStarted = false;
    std::vector<ParameterId> m_written;
    std::vector<ParameterId> m_failed;
};

}  // namespace qk
