#include "DeviceReport.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "DeviceText.h"
#include "Profile.h"
#include "ResponseParser.h"

namespace qk::cli {
namespace {

// Where the tool has always read the versions out of the VER answer.
constexpr long kHardwareAt = 12, kSoftwareAt = 20, kVersionLength = 4;

bool IsInteger(std::string_view text) {
    const std::string_view digits = text.starts_with('-') ? text.substr(1) : text;
    return !digits.empty() && digits.size() <= 9 &&
           std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '9'; }) &&
           (digits.size() == 1 || digits.front() != '0');
}

// The values the settings carry as numbers in JSON.
bool IsNumeric(const SettingRule& rule) {
    switch (rule.command) {
        case CommandId::Baud:
        case CommandId::DestPort:
        case CommandId::WorkType:
        case CommandId::DataBits:
        case CommandId::RegisterEnable:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::vector<DeviceReport::Field> DeviceReport::Fields() const {
    std::vector<Field> fields;
    const auto add = [&](Group group, std::string name, const std::string* gbk) {
        const std::string text = gbk != nullptr ? GbkToDisplay(*gbk) : std::string();
        fields.push_back({group, std::move(name), text, gbk != nullptr,
                          group == Group::Status && IsInteger(text)});
    };
    const std::string* id = m_answers.Find("ID");
    add(Group::Identity, "id", id);
    const std::string* version = m_answers.Find("VER");
    add(Group::Identity, "version", version);
    std::string hardware, software;
    if (version != nullptr) {
        hardware = Substring(*version, kHardwareAt, kVersionLength);
        software = Substring(*version, kSoftwareAt, kVersionLength);
    }
    add(Group::Identity, "hardware", version != nullptr ? &hardware : nullptr);
    add(Group::Identity, "software", version != nullptr ? &software : nullptr);

    // STAT is "signal,temperature,voltage", or with a weak signal (below 10) one more
    // field after the signal; the voltage is in hundredths, "330" for 3.30 V.
    const std::string* stat = m_answers.Find("STAT");
    std::string signal, temperature, voltage;
    if (stat != nullptr) {
        signal = CommaField(*stat, 0);
        const bool strong = IntegerOf(signal) >= 10;
        temperature = CommaField(*stat, strong ? 1 : 2);
        voltage = CommaField(*stat, strong ? 2 : 3);
        if (IsInteger(voltage) && !voltage.starts_with('-') && voltage.size() > 1) {
            voltage.insert(1, ".");
        }
    }
    add(Group::Status, "signal", stat != nullptr ? &signal : nullptr);
    add(Group::Status, "temperature", stat != nullptr ? &temperature : nullptr);
    fields.push_back({Group::Status, "voltage", voltage, stat != nullptr,
                      voltage.find_first_not_of("0123456789.") == std::string::npos &&
                          IsInteger(voltage.substr(0, voltage.find('.')))});

    for (const SettingRule& rule : SettingRules()) {
        const std::string* value = m_answers.Find(rule.answerKey);
        const std::string text = value != nullptr ? FormatSetting(rule, *value) : std::string();
        fields.push_back({Group::Settings, std::string(rule.name), text, value != nullptr,
                          IsNumeric(rule) && IsInteger(text)});
    }
    return fields;
}

std::vector<Setting> DeviceReport::Settings() const {
    std::vector<Setting> settings;
    for (const SettingRule& rule : SettingRules()) {
        if (const std::string* value = m_answers.Find(rule.answerKey)) {
            settings.push_back({&rule, *value});
        }
    }
    return settings;
}

std::string DeviceReport::Text(const std::string* log) const {
    std::string text;
    for (const Field& field : Fields()) {
        if (field.reported) {
            text += field.name + "=" + field.text + "\n";
        }
    }
    if (log != nullptr) {
        text += "log=" + GbkToDisplay(*log) + "\n";
    }
    return text;
}

void DeviceReport::AddTo(JsonObject& report, const std::string* log) const {
    JsonObject identity, status, settings;
    for (const Field& field : Fields()) {
        JsonObject& group = field.group == Group::Identity ? identity
                            : field.group == Group::Status ? status
                                                           : settings;
        // A status field that is no number tells a script nothing it could use.
        if (!field.reported || (field.group == Group::Status && !field.number)) {
            group.Null(field.name);
        } else if (field.number) {
            group.Number(field.name, field.text);
        } else {
            group.Text(field.name, field.text);
        }
    }
    report.Raw("identity", identity.str())
        .Raw("status", status.str())
        .Raw("settings", settings.str());
    if (log != nullptr) {
        report.Text("log", GbkToDisplay(*log));
    }
}

std::string DeviceReport::JsonValue(const Setting& setting) {
    const std::string text = FormatSetting(*setting.rule, setting.value);
    return IsNumeric(*setting.rule) && IsInteger(text) ? text : JsonString(text);
}

std::string DeviceReport::Id() const {
    const std::string* id = m_answers.Find("ID");
    return id != nullptr && !id->empty() ? GbkToDisplay(*id) : "-";
}

std::vector<std::string> DeviceReport::ProfileComments() const {
    std::vector<std::string> comments;
    if (const std::string* id = m_answers.Find("ID")) {
        comments.push_back("device ID: " + GbkToDisplay(*id));
    }
    if (const std::string* version = m_answers.Find("VER")) {
        comments.push_back("firmware: " + GbkToDisplay(*version));
    }
    comments.push_back(SavedComment(std::chrono::system_clock::now()));
    return comments;
}

}  // namespace qk::cli
