#include "Commands.h"

#include <algorithm>
#include <chrono>

#include "DeviceChanges.h"
#include "DeviceReport.h"
#include "DeviceText.h"
#include "ExitStatus.h"
#include "StopSignals.h"

namespace qk::cli {
namespace {

std::string Join(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

std::vector<std::string> Names(const std::vector<Setting>& settings) {
    std::vector<std::string> names;
    for (const Setting& setting : settings) {
        names.emplace_back(setting.parameter->name);
    }
    return names;
}

std::vector<const Parameter*> ParametersOf(const std::vector<Setting>& settings) {
    std::vector<const Parameter*> parameters;
    for (const Setting& setting : settings) {
        parameters.push_back(setting.parameter);
    }
    return parameters;
}

// The settings whose value the device did not report as it stands in `wanted`.
std::vector<Setting> Differing(const std::vector<Setting>& wanted, const ReportedValues& reported) {
    std::vector<Setting> differing;
    for (const Setting& setting : wanted) {
        const std::string* value = reported.Find(setting.parameter->id);
        if (value == nullptr || *value != setting.value) {
            differing.push_back(setting);
        }
    }
    return differing;
}

constexpr std::string_view kProgram = "qk4410-cli";

class CommandRun {
  public:
    CommandRun(DeviceSession& session, const StoppablePacer& pacer, Journal* journal,
               std::string_view command)
        : m_session(session), m_pacer(pacer), m_journal(journal), m_command(command) {
        m_result.port = session.path();
    }

    DeviceResult Get(bool showLog, bool csv) {
        if (!ReadDevice()) {
            return Inventory(csv, Failed());
        }
        const DeviceReport report(m_session.state().reported);
        m_result.text = report.Text();
        report.AddTo(m_result.members);
        if (showLog) {
            // The log as the device wrote it: its lines as lines, after the fields.
            const std::string& log = m_session.state().infoLog;
            m_result.text += "log:\n" + GbkToLines(log);
            if (!m_result.text.ends_with('\n')) {
                m_result.text += "\n";
            }
            m_result.members["log"] = GbkToText(log);
        }
        if (const std::string missing = UnreportedNames(); !missing.empty()) {
            m_session.Report("the device did not report: " + missing);
            m_result.status = kIncomplete;
            return Inventory(csv, Failed());
        }
        return Inventory(csv, Ok());
    }

    DeviceResult Save(bool csv) {
        if (!ReadDevice()) {
            return Failed();
        }
        if (csv) {
            return Get(false, true);
        }
        const DeviceReport report(m_session.state().reported);
        std::vector<std::string> missing;
        for (const Parameter* parameter : SettableParameters()) {
            if (!m_session.state().reported.Has(parameter->id)) {
                missing.emplace_back(parameter->name);
            }
        }
        if (!missing.empty()) {
            // A profile without them would leave them untouched wherever it is applied,
            // and report that as success: nothing is written.
            m_session.Report("the device did not report: " + Join(missing) +
                             "; no profile was written");
            m_result.status = kIncomplete;
            return Failed();
        }
        std::vector<std::string> comments = report.ProfileComments();
        comments.push_back(SavedComment(std::chrono::system_clock::now()));
        m_result.profile = WriteProfile(report.Settings(), comments);
        return Ok();
    }

    DeviceResult Set(const std::vector<Setting>& settings) {
        if (!OpenStep() || !LogInStep()) {
            return Unfinished(settings);
        }
        if (!BeginChange(settings)) {
            return JournalRefused();
        }
        if (!Step(m_session.Write(settings)) || !Step(m_session.ReadBack(ParametersOf(settings)))) {
            return Unfinished(settings);
        }
        const auto unconfirmed = Unconfirmed(settings);
        Json confirmed = Json::object();
        for (const Setting& setting : settings) {
            const Parameter& parameter = *setting.parameter;
            if (std::ranges::find(unconfirmed, parameter.name) == unconfirmed.end()) {
                m_result.text += std::string(parameter.name) + "=" +
                                 FormatSetting(parameter, setting.value) + "\n";
                confirmed[parameter.name] = SettingValue(parameter, setting.value);
            } else {
                confirmed[parameter.name] = nullptr;
            }
        }
        m_result.members["settings"] = std::move(confirmed);
        m_session.Close();
        return Finished(settings, Verdict(unconfirmed));
    }

    DeviceResult Diff(const ProfileContents& profile) {
        if (!ReadDevice()) {
            return Failed();
        }
        const ReportedValues& reported = m_session.state().reported;
        WarnBeyondLimits(profile, reported);
        Json differences = Json::array();
        std::vector<std::string> names;
        for (const Setting& setting : Differing(profile.settings, reported)) {
            const Parameter& parameter = *setting.parameter;
            const std::string* value = reported.Find(parameter.id);
            const std::string file = FormatSetting(parameter, setting.value);
            m_result.text += std::string(parameter.name) + ": device " +
                             (value != nullptr ? "\"" + FormatSetting(parameter, *value) + "\""
                                               : std::string("did not report it")) +
                             ", file \"" + file + "\"\n";
            differences.push_back(
                {{"name", parameter.name},
                 {"device", value != nullptr ? SettingValue(parameter, *value) : Json(nullptr)},
                 {"file", SettingValue(parameter, setting.value)}});
            names.emplace_back(parameter.name);
        }
        m_result.members["differences"] = std::move(differences);
        if (names.empty()) {
            return Ok();
        }
        m_result.status = kDiffers;
        m_result.outcome = "differs";
        m_result.reason = Join(names);
        return m_result;
    }

    DeviceResult Apply(const ApplySource& source) {
        m_result.members["written"] = Json::array();
        if (!OpenStep()) {
            return Unfinished({});
        }
        DeviceWork work = source.For(m_result.id);
        if (!work.profile) {
            // Said as the result, not on standard error as well: it is all there is to say.
            m_session.Close();
            m_result.status = work.status;
            m_result.reason = work.reason;
            return work.status == kSuccess ? Ok() : Failed();
        }
        const ProfileContents& profile = *work.profile;
        if (!profile.ok()) {
            for (const std::string& problem : profile.problems) {
                m_session.Report(problem);
            }
            m_session.Close();
            m_result.status = kUsageError;
            m_result.reason = "the values for this device are wrong; nothing was written";
            return Failed();
        }
        const ReportedValues& reported = m_session.state().reported;
        if (const auto refused = profile.RefusedBy(reported); !refused.empty()) {
            for (const std::string& why : refused) {
                m_session.Report(why);
            }
            m_session.Close();
            m_result.status = kUsageError;
            m_result.reason =
                "the profile holds values this device may not be given; "
                "nothing was written";
            return Failed();
        }
        WarnBeyondLimits(profile, reported);
        const std::vector<Setting> differing = Differing(profile.settings, reported);
        if (differing.empty()) {
            m_session.Close();
            m_result.reason = "nothing to write";
            return Ok();
        }
        if (!LogInStep()) {
            return Unfinished(differing);
        }
        if (!BeginChange(differing)) {
            return JournalRefused();
        }
        if (!Step(m_session.Write(differing)) ||
            !Step(m_session.ReadBack(ParametersOf(differing)))) {
            return Unfinished(differing);
        }
        // What was already as wanted was confirmed by the first reading; what was written
        // must be confirmed by the answers to the read-back.
        const auto unconfirmed = Unconfirmed(differing);
        m_session.Close();
        m_result.members["written"] = Names(differing);
        m_result.reason = "wrote " + Join(Names(differing));
        return Finished(differing, Verdict(unconfirmed));
    }

  private:
    // The change recorded as running before anything of it is sent; false when the journal
    // cannot record it, and then nothing may be sent.
    bool BeginChange(const std::vector<Setting>& settings) {
        if (m_journal == nullptr) {
            return true;
        }
        std::string error;
        m_change = m_journal->Begin(StartingChange(kProgram, m_command, m_result.port,
                                                   m_session.state().reported, settings),
                                    error);
        if (!m_change) {
            m_journalProblem = error;
        }
        return m_change.has_value();
    }

    DeviceResult JournalRefused() {
        m_session.Report("the journal " + EscapeBytes(m_journal->path()) +
                         " cannot record the change: " + m_journalProblem);
        m_session.Close();
        m_result.status = kJournalError;
        m_result.reason = "the journal cannot record the change; nothing was written";
        return Failed();
    }

    // The change's end in the journal, with what the device confirmed of `settings`.
    DeviceResult Finished(const std::vector<Setting>& settings, DeviceResult result) {
        if (!m_change) {
            return result;
        }
        m_result.members["change"] = *m_change;
        result.members["change"] = *m_change;
        const ChangeResult outcome =
            result.status == kSuccess ? ChangeResult::Ok : ChangeResult::Failed;
        std::string error;
        const bool recorded = m_journal->Finish(
            *m_change, outcome, m_unfinished.empty() ? result.reason : m_unfinished,
            ConfirmedValues(settings, [&](ParameterId id) { return m_session.Confirmed(id); }),
            error);
        m_change.reset();
        if (!recorded) {
            // The device is as the result says; only the journal lacks its end, and reads it
            // as interrupted.
            m_session.Report("the journal " + EscapeBytes(m_journal->path()) +
                             " could not record how the change ended: " + error);
            if (result.status == kSuccess) {
                result.status = kJournalError;
            }
        }
        return result;
    }

    // Reads every parameter and lets the port go: what get, save and diff need.
    bool ReadDevice() {
        const bool opened = OpenStep();
        m_session.Close();
        return opened;
    }

    bool OpenStep() {
        const bool ok = Step(m_session.Open());
        if (const std::string* id = m_session.state().reported.Find(ParameterId::Id)) {
            m_result.id = *id;
        }
        return ok;
    }

    bool LogInStep() { return Step(m_session.LogIn()); }

    // True when the step succeeded; otherwise its exit status is the run's.
    bool Step(SessionStatus status) {
        switch (status) {
            case SessionStatus::Ok:
                return true;
            case SessionStatus::NoDevice:
                m_result.status = kNoDevice;
                return false;
            case SessionStatus::Refused:
                m_result.status = kRefused;
                return false;
            case SessionStatus::Stopped:
                m_session.Report("stopped by " + StopSignals::Name(m_pacer.Signal()));
                m_result.status = 128 + m_pacer.Signal();
                return false;
        }
        return false;
    }

    std::string UnreportedNames() const {
        std::vector<std::string> names;
        for (const Parameter* parameter : m_session.Unreported()) {
            names.emplace_back(parameter->name);
        }
        return Join(names);
    }

    // The profile's values beyond the table's limits that this device holds already: they
    // go back as they are, but the operator should know why a file with them is taken.
    void WarnBeyondLimits(const ProfileContents& profile, const ReportedValues& reported) {
        for (const auto& beyond : profile.beyondLimits) {
            if (reported.Has(beyond.parameter->id)) {
                m_session.Report("warning: " + beyond.problem + "; kept as the device holds it");
            }
        }
    }

    // Names each setting the device's answers to the read-back do not hold exactly, with
    // the reason.
    std::vector<std::string> Unconfirmed(const std::vector<Setting>& settings) {
        std::vector<std::string> names;
        for (const Setting& setting : settings) {
            const Parameter& parameter = *setting.parameter;
            const std::string* answer = m_session.Confirmed(parameter.id);
            std::string why;
            if (m_session.WriteFailed(parameter.id)) {
                why = "the write failed";
            } else if (answer == nullptr) {
                why = "no answer";
            } else if (*answer != setting.value) {
                why = "refused (the device reports \"" + FormatSetting(parameter, *answer) + "\")";
            } else {
                continue;
            }
            m_session.Report(std::string(parameter.name) + "=" +
                             FormatSetting(parameter, setting.value) + " not confirmed: " + why);
            names.emplace_back(parameter.name);
        }
        return names;
    }

    DeviceResult Verdict(const std::vector<std::string>& unconfirmed) {
        if (unconfirmed.empty()) {
            return Ok();
        }
        m_result.status = kRefused;
        m_result.outcome = "failed";
        m_result.reason = "not confirmed: " + Join(unconfirmed);
        return m_result;
    }

    // Says which of `settings` went out and which did not, when the run ends before its
    // check: with nothing confirmed, that is what the operator needs to know.
    DeviceResult Unfinished(const std::vector<Setting>& settings) {
        std::vector<std::string> written, notWritten, failed;
        for (const Setting& setting : settings) {
            const ParameterId id = setting.parameter->id;
            (m_session.Written(id)       ? written
             : m_session.WriteFailed(id) ? failed
                                         : notWritten)
                .emplace_back(setting.parameter->name);
        }
        if (!settings.empty()) {
            std::string account;
            if (!written.empty()) {
                account += "written, not verified: " + Join(written) + "; ";
            }
            account += "not written: " + (notWritten.empty() ? "none" : Join(notWritten));
            if (!failed.empty()) {
                account += "; the write failed: " + Join(failed);
            }
            const std::string problem = m_session.problem();
            m_session.Report(account);
            m_result.reason = problem;
            m_unfinished = problem.empty() ? account : problem + "; " + account;
        }
        m_session.Close();
        return Finished(settings, Failed());
    }

    // The device's inventory row with its result, for get --csv and save --csv: only for a
    // device that said its ID, since a row without one could not be given back.
    DeviceResult Inventory(bool csv, DeviceResult result) {
        if (csv && !result.id.empty()) {
            result.inventory = DeviceReport(m_session.state().reported)
                                   .InventoryRow(result.port, result.outcome, result.reason);
        }
        return result;
    }

    DeviceResult Ok() {
        m_result.outcome = "ok";
        return m_result;
    }

    DeviceResult Failed() {
        m_result.outcome = "failed";
        if (m_result.reason.empty()) {
            m_result.reason = m_session.problem();
        }
        return m_result;
    }

    DeviceSession& m_session;
    const StoppablePacer& m_pacer;
    Journal* m_journal;
    const std::string m_command;
    std::optional<std::int64_t> m_change;
    std::string m_journalProblem;
    std::string m_unfinished;  // what went out of a change that ended early
    DeviceResult m_result;
};

}  // namespace

std::string DeviceResult::Line() const {
    return EscapeBytes(port) + " " + (id.empty() ? std::string("-") : GbkToDisplay(id)) + " " +
           outcome + (reason.empty() ? "" : ": " + reason);
}

Json DeviceResult::JsonObject(Command command) const {
    Json object = {{"schema", kJsonSchema},
                   {"command", CommandName(command)},
                   {"port", SystemText(port)},
                   {"id", id.empty() ? Json(nullptr) : DeviceText(id)},
                   {"result", outcome}};
    if (!reason.empty()) {
        object["reason"] = reason;
    }
    if (const auto settings = NetworkLineSettings(port)) {
        object["lineSettings"] = *settings;
    }
    object.update(members);
    return object;
}

DeviceResult RunCommand(const CliOptions& options, const CommandInputs& inputs,
                        DeviceSession& session, const StoppablePacer& pacer) {
    CommandRun run(session, pacer, inputs.journal, CommandName(options.command));
    DeviceResult result;
    switch (options.command) {
        case Command::Get:
            result = run.Get(options.showLog, options.csv);
            break;
        case Command::Save:
            result = run.Save(options.csv);
            break;
        case Command::Set:
            result = run.Set(options.assignments.InSendOrder());
            break;
        case Command::Diff:
            result = run.Diff(*inputs.profile);
            break;
        case Command::Apply:
        case Command::Undo:
            result = run.Apply(*inputs.source);
            break;
        default:
            return {};
    }
    // A line found lost when the port closed (a network server gone silent) explains the
    // device's silence: what was not answered may never have reached it.
    if (session.LineLost() && (result.status == kRefused || result.status == kIncomplete)) {
        result.status = kNoDevice;
        result.reason += (result.reason.empty() ? "" : "; ") + session.problem();
    }
    return result;
}

}  // namespace qk::cli
