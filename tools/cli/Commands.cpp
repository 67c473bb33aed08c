#include "Commands.h"

#include <algorithm>

#include "CliSession.h"
#include "DeviceReport.h"
#include "DeviceText.h"

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
        names.emplace_back(setting.rule->name);
    }
    return names;
}

// The settings whose value the device did not report as it stands in `wanted`.
std::vector<Setting> Differing(const std::vector<Setting>& wanted, const Answers& answers) {
    std::vector<Setting> differing;
    for (const Setting& setting : wanted) {
        const std::string* reported = answers.Find(setting.rule->answerKey);
        if (reported == nullptr || *reported != setting.value) {
            differing.push_back(setting);
        }
    }
    return differing;
}

class CommandRun {
  public:
    CommandRun(const CliOptions& options, DeviceSession& session)
        : m_options(options), m_session(session) {
        m_result.port = session.path();
    }

    DeviceResult Get() {
        if (!ReadDevice()) {
            return Failed();
        }
        const DeviceReport report(m_session.answers());
        const std::string* log = m_options.showLog ? &m_session.infoLog() : nullptr;
        JsonObject alone;
        report.AddTo(alone, log);
        report.AddTo(m_result.json, log);
        m_result.output = m_options.json ? alone.str() + "\n" : report.Text(log);
        if (const auto missing = m_session.MissingParameters(); !missing.empty()) {
            m_session.Report("the device did not report: " + Join(missing));
            m_result.status = kIncomplete;
            return Failed();
        }
        return Ok();
    }

    DeviceResult Save() {
        if (!ReadDevice()) {
            return Failed();
        }
        const DeviceReport report(m_session.answers());
        std::vector<std::string> comments = report.ProfileComments();
        std::vector<std::string> missing;
        for (const SettingRule& rule : SettingRules()) {
            if (!m_session.answers().Has(rule.answerKey)) {
                missing.emplace_back(rule.name);
            }
        }
        if (!missing.empty()) {
            comments.push_back("not reported by the device, so not saved: " + Join(missing));
            m_session.Report("the device did not report: " + Join(missing));
            m_result.status = kIncomplete;
        }
        m_result.output = WriteProfile(report.Settings(), comments);
        return m_result.status == kSuccess ? Ok() : Failed();
    }

    DeviceResult Set(const std::vector<Setting>& settings) {
        for (const auto step : {&CommandRun::OpenStep, &CommandRun::LogInStep}) {
            if (!(this->*step)()) {
                return Unfinished(settings);
            }
        }
        if ((m_result.status = m_session.Write(settings)) != kSuccess ||
            (m_result.status = m_session.AskFor(settings)) != kSuccess) {
            return Unfinished(settings);
        }
        const auto unconfirmed = Unconfirmed(settings, m_session.answers());
        JsonObject confirmed;
        for (const Setting& setting : settings) {
            const bool taken =
                std::ranges::find(unconfirmed, setting.rule->name) == unconfirmed.end();
            if (taken) {
                m_result.output += std::string(setting.rule->name) + "=" +
                                   FormatSetting(*setting.rule, setting.value) + "\n";
                confirmed.Raw(setting.rule->name, DeviceReport::JsonValue(setting));
            } else {
                confirmed.Null(setting.rule->name);
            }
        }
        if (m_options.json) {
            m_result.output = confirmed.str() + "\n";
        }
        m_result.json.Raw("settings", confirmed.str());
        m_session.Close();
        return Verdict(unconfirmed);
    }

    DeviceResult Diff(const std::vector<Setting>& wanted) {
        if (!ReadDevice()) {
            return Failed();
        }
        const Answers& answers = m_session.answers();
        std::string differences;
        for (const Setting& setting : Differing(wanted, answers)) {
            const std::string* reported = answers.Find(setting.rule->answerKey);
            const std::string file = FormatSetting(*setting.rule, setting.value);
            const std::string device =
                reported != nullptr ? FormatSetting(*setting.rule, *reported) : std::string();
            m_result.output += std::string(setting.rule->name) + ": device " +
                               (reported != nullptr ? "\"" + device + "\"" : "did not report it") +
                               ", file \"" + file + "\"\n";
            differences += (differences.empty() ? "" : ",") +
                           JsonObject()
                               .Text("name", setting.rule->name)
                               .Raw("device", reported != nullptr ? JsonString(device) : "null")
                               .Text("file", file)
                               .str();
            m_result.reason +=
                (m_result.reason.empty() ? "" : ", ") + std::string(setting.rule->name);
        }
        m_result.json.Raw("differences", "[" + differences + "]");
        if (m_options.json) {
            m_result.output = JsonLineOf("differences", "[" + differences + "]");
        }
        if (differences.empty()) {
            return Ok();
        }
        m_result.status = kDiffers;
        m_result.outcome = "differs";
        return m_result;
    }

    DeviceResult Apply(const std::vector<Setting>& wanted) {
        if (!OpenStep()) {
            return Unfinished({});
        }
        const std::vector<Setting> differing = Differing(wanted, m_session.answers());
        if (differing.empty()) {
            m_session.Close();
            m_result.reason = "nothing to write";
            return Ok();
        }
        if (!LogInStep()) {
            return Unfinished(differing);
        }
        if ((m_result.status = m_session.Write(differing)) != kSuccess ||
            (m_result.status = m_session.AskFor(differing)) != kSuccess) {
            return Unfinished(differing);
        }
        // What was already as wanted was confirmed by the first reading; what was written
        // must be confirmed by the answers after the writes.
        const auto unconfirmed = Unconfirmed(differing, m_session.answers());
        m_session.Close();
        m_result.reason = "wrote " + Join(Names(differing));
        return Verdict(unconfirmed);
    }

  private:
    // Reads every parameter and lets the port go: what get, save and diff need.
    bool ReadDevice() {
        const bool opened = OpenStep();
        m_session.Close();
        return opened;
    }

    bool OpenStep() {
        m_result.status = m_session.Open();
        m_result.id = DeviceReport(m_session.answers()).Id();
        return m_result.status == kSuccess;
    }

    bool LogInStep() {
        m_result.status = m_session.LogIn();
        return m_result.status == kSuccess;
    }

    // Names each setting the device's answers do not hold exactly, with the reason.
    std::vector<std::string> Unconfirmed(const std::vector<Setting>& settings,
                                         const Answers& answers) {
        std::vector<std::string> names;
        for (const Setting& setting : settings) {
            const std::string* reported = answers.Find(setting.rule->answerKey);
            std::string why;
            if (m_session.WriteFailed(setting)) {
                why = "the write failed";
            } else if (reported == nullptr) {
                why = "no answer";
            } else if (*reported != setting.value) {
                why = "refused (the device reports \"" + FormatSetting(*setting.rule, *reported) +
                      "\")";
            } else {
                continue;
            }
            m_session.Report(std::string(setting.rule->name) + "=" +
                             FormatSetting(*setting.rule, setting.value) +
                             " not confirmed: " + why);
            names.emplace_back(setting.rule->name);
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
            (m_session.Written(setting)       ? written
             : m_session.WriteFailed(setting) ? failed
                                              : notWritten)
                .emplace_back(setting.rule->name);
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
        }
        m_session.Close();
        return Failed();
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

    std::string JsonLineOf(std::string_view key, std::string_view json) const {
        return JsonObject().Raw(key, json).str() + "\n";
    }

    const CliOptions& m_options;
    DeviceSession& m_session;
    DeviceResult m_result;
};

}  // namespace

std::string DeviceResult::Line() const {
    return port + " " + id + " " + outcome + (reason.empty() ? "" : ": " + reason);
}

std::string DeviceResult::JsonLine() const {
    JsonObject line;
    line.Text("port", port).Raw("id", id == "-" ? "null" : JsonString(id)).Text("result", outcome);
    if (!reason.empty()) {
        line.Text("reason", reason);
    }
    std::string text = line.str();
    const std::string extra = json.str();
    if (extra != "{}") {
        text.pop_back();
        text += "," + extra.substr(1);
    }
    return text;
}

DeviceResult RunCommand(const CliOptions& options, const ProfileContents* profile,
                        DeviceSession& session) {
    CommandRun run(options, session);
    switch (options.command) {
        case Command::Get:
            return run.Get();
        case Command::Save:
            return run.Save();
        case Command::Set:
            return run.Set(options.assignments.InSendOrder());
        case Command::Diff:
            return run.Diff(profile->settings);
        case Command::Apply:
            return run.Apply(profile->settings);
        default:
            return {};
    }
}

}  // namespace qk::cli
