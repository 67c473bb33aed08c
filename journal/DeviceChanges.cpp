#include "DeviceChanges.h"

#include <algorithm>
#include <filesystem>

#include "DeviceText.h"

namespace qk {
namespace {

constexpr std::string_view kWindowProgram = "QK4410ConfTool";

std::string Reported(const ReportedValues& reported, ParameterId id) {
    const std::string* value = reported.Find(id);
    return value != nullptr ? *value : std::string();
}

// The window's messages are GBK; a path is the system's UTF-8.
std::string Refusal(const std::string& why) {
    const std::string text = "Not sent: the journal cannot record the change (" + why + ").";
    return Utf8ToGbk(text).value_or(EscapeBytes(text));
}

}  // namespace

Change StartingChange(std::string_view program, std::string_view command, std::string_view port,
                      const ReportedValues& reported, const std::vector<Setting>& settings) {
    Change change;
    change.program = program;
    change.command = command;
    change.port = port;
    change.deviceId = Reported(reported, ParameterId::Id);
    change.version = Reported(reported, ParameterId::Version);
    for (const Setting& setting : settings) {
        const std::string* before = reported.Find(setting.parameter->id);
        change.values.push_back({std::string(setting.parameter->name),
                                 before != nullptr ? std::optional(*before) : std::nullopt,
                                 setting.value, std::nullopt});
    }
    return change;
}

std::vector<ChangedValue> ConfirmedValues(
    const std::vector<Setting>& settings,
    const std::function<const std::string*(ParameterId)>& confirmed) {
    std::vector<ChangedValue> values;
    for (const Setting& setting : settings) {
        const std::string* answer = confirmed(setting.parameter->id);
        values.push_back({std::string(setting.parameter->name), std::nullopt, setting.value,
                          answer != nullptr ? std::optional(*answer) : std::nullopt});
    }
    return values;
}

WindowJournal::WindowJournal(JournalChoice choice, std::function<std::string()> port)
    : m_choice(std::move(choice)), m_port(std::move(port)) {}

WindowJournal::~WindowJournal() = default;

void WindowJournal::Choose(JournalChoice choice) {
    m_choice = std::move(choice);
    m_journal.reset();
}

Journal* WindowJournal::Opened(bool create, std::string& error) {
    if (!m_journal) {
        m_journal = Journal::Open(m_choice.Path(), {.create = create}, error);
        if (!m_journal) {
            error = m_choice.Path() + ": " + error;
        }
    }
    return m_journal.get();
}

bool WindowJournal::ChangeStarting(std::string_view command, const DeviceState& state,
                                   const std::vector<Setting>& settings, std::string& why) {
    m_change.reset();
    if (!m_choice.enabled) {
        return true;
    }
    Journal* journal = Opened(true, why);
    if (journal == nullptr) {
        why = Refusal(why);
        return false;
    }
    m_change = journal->Begin(
        StartingChange(kWindowProgram, command, m_port(), state.reported, settings), why);
    if (!m_change) {
        why = Refusal(why);
        // Opened afresh next time: the trouble may have been the file's.
        m_journal.reset();
        return false;
    }
    m_settings = settings;
    return true;
}

void WindowJournal::ChangeEnded(const SettingsWritten& outcome, bool lineLost) {
    if (!m_change || !m_journal) {
        return;
    }
    std::string reason;
    for (const Setting& setting : m_settings) {
        if (std::ranges::find(outcome.written, setting.parameter->id) == outcome.written.end()) {
            reason += (reason.empty() ? "not sent: " : ", ") + std::string(setting.parameter->name);
        }
    }
    if (lineLost) {
        reason = "the line was lost" + (reason.empty() ? std::string() : "; " + reason);
    }
    const ChangeResult result = reason.empty() ? ChangeResult::Sent : ChangeResult::Failed;
    std::string ignored;
    // Should the journal fail now, the change stays running and reads as interrupted once
    // the window has ended: never as more than it was.
    m_journal->Finish(*m_change, result, reason,
                      ConfirmedValues(m_settings, [](ParameterId) { return nullptr; }), ignored);
    m_change.reset();
}

std::optional<std::vector<Change>> WindowJournal::History(std::string_view deviceId,
                                                          std::string& error) {
    if (!m_choice.enabled) {
        error = Journal::Available() ? "the journal is turned off (--no-journal)"
                                     : "this build has no journal";
        return std::nullopt;
    }
    std::error_code ignored;
    if (!m_journal && !std::filesystem::exists(m_choice.Path(), ignored)) {
        return std::vector<Change>();
    }
    Journal* journal = Opened(false, error);
    if (journal == nullptr) {
        return std::nullopt;
    }
    return journal->History({.deviceId = std::string(deviceId), .since = {}}, error);
}

}  // namespace qk
