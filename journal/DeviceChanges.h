#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ChangeObserver.h"
#include "DeviceState.h"
#include "Journal.h"
#include "Parameters.h"

namespace qk {

// Where a front end keeps its journal: on by default where the build has one, at the
// default place unless a file is named.
struct JournalChoice {
    bool enabled = Journal::Available();
    std::string file;  // empty: Journal::DefaultPath()

    std::string Path() const { return file.empty() ? Journal::DefaultPath() : file; }
};

// The journal's record of a change about to be sent: the device's identity and, for each
// setting, what the device reported before and what is sent.
Change StartingChange(std::string_view program, std::string_view command, std::string_view port,
                      const ReportedValues& reported, const std::vector<Setting>& settings);

// Each setting with the device's answer that confirmed it; `confirmed` gives nullptr where
// none did.
std::vector<ChangedValue> ConfirmedValues(
    const std::vector<Setting>& settings,
    const std::function<const std::string*(ParameterId)>& confirmed);

// The window's changes in the journal. The window sends without asking back, so a change
// is recorded as sent, never as confirmed. The journal is opened at the first change or
// look at the history, not when the window starts; a journal that cannot record refuses the
// change before anything is sent.
class WindowJournal final : public ChangeObserver {
  public:
    // `port` names the open port when a change starts.
    WindowJournal(JournalChoice choice, std::function<std::string()> port);
    ~WindowJournal() override;

    // Another journal from now on.
    void Choose(JournalChoice choice);

    bool ChangeStarting(std::string_view command, const DeviceState& state,
                        const std::vector<Setting>& settings, std::string& why) override;
    void ChangeEnded(const SettingsWritten& outcome, bool lineLost) override;

    // The device's changes, oldest first; nullopt with `error` when there is no journal to
    // read. A journal that does not exist yet holds no change.
    std::optional<std::vector<Change>> History(std::string_view deviceId, std::string& error);

  private:
    Journal* Opened(bool create, std::string& error);

    JournalChoice m_choice;
    std::function<std::string()> m_port;
    std::unique_ptr<Journal> m_journal;
    std::optional<std::int64_t> m_change;
    std::vector<Setting> m_settings;
};

}  // namespace qk
