#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "BlockHandover.h"
#include "CSerialPort.h"
#include "CliFrontEnd.h"
#include "CliOptions.h"
#include "ConfigController.h"
#include "ConversationRecorder.h"
#include "ExitStatus.h"
#include "ReceiveLoop.h"
#include "RecordedLink.h"
#include "ResponseParser.h"
#include "Settings.h"
#include "StopSignals.h"
#include "StoppablePacer.h"

namespace qk::cli {

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

// One device's conversation, wired like the main window: the port, the receive loop, the
// parser and the controller on this thread, with every answer the device gives noted by
// its key. Each step returns kSuccess or the status that ends the run: a port that does
// not open, a device that hangs up, a stop signal, a refused login.
class DeviceSession {
  public:
    // `ports` maps `comNumber` to the device; `err` takes the messages as they come.
    DeviceSession(const CliOptions& options, const PortDirectory& ports, int comNumber,
                  std::ostream& err, const StopSignals* stop,
                  replay::ConversationRecorder* recorder = nullptr);
    ~DeviceSession();

    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Opens, enters configuration mode, reads every parameter as the Open button does, and
    // waits up to the settle time for the answers.
    int Open();
    int LogIn();
    // One set command for each setting, nothing else, in send order with the group pauses.
    int Write(const std::vector<Setting>& settings);
    // Asks for each again; the answers noted before are forgotten first.
    int AskFor(const std::vector<Setting>& settings);
    // Closes the port after running what is still queued, so the log holds all that came.
    void Close();

    const Answers& answers() const { return m_answers; }
    // The Get Param. answers the device has not given; their names in the record's terms.
    std::vector<std::string> MissingParameters() const;
    bool Written(const Setting& setting) const;
    bool WriteFailed(const Setting& setting) const;
    const std::string& infoLog() const { return m_state.infoLog; }
    const std::string& path() const { return m_path; }
    // The message that ended the run early ("Open com failed! (...)"), empty when none did.
    const std::string& problem() const { return m_view.lastProblem(); }
    void Report(const std::string& message);

  private:
    bool MayContinue() const;
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit);
    int Ended();

    const CliOptions& m_options;
    std::ostream& m_err;
    std::string m_path;
    DeviceState m_state;
    CliFrontEnd m_view;
    CSerialPort m_port;
    RecordedLink m_link;
    ResponseParser m_parser{m_state, m_view};
    BlockHandover m_handover;
    ReceiveLoop m_loop;
    StoppablePacer m_pacer;
    ConfigController m_controller;
    const ControllerTiming m_timing;
    CommandTable m_commands;
    Answers m_answers;
    std::set<const SettingRule*> m_written;
    std::set<const SettingRule*> m_failed;
};

}  // namespace qk::cli
