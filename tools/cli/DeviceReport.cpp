#include "DeviceReport.h"

#include <algorithm>

#include "DeviceText.h"
#include "DeviceValues.h"
#include "ResponseParser.h"
#include "SettingText.h"

namespace qk::cli {
namespace {

// The voltage field is in hundredths: "330" is 3.30 V.
std::string Volts(std::string_view hundredths) {
    std::string text(hundredths);
    const bool digits =
        text.size() > 1 && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
    if (digits) {
        text.insert(1, ".");
    }
    return text;
}

}  // namespace

std::vector<DeviceReport::Field> DeviceReport::Fields() const {
    std::vector<Field> fields;
    const auto add = [&](Group group, std::string_view name, const std::string* reported,
                         std::string text, Json json) {
        fields.push_back({group, std::string(name), reported, std::move(text),
                          reported != nullptr ? std::move(json) : Json(nullptr)});
    };
    const auto text = [&](Group group, std::string_view name, const std::string* reported,
                          std::string_view gbk) {
        const std::string shown = GbkToDisplay(gbk);
        add(group, name, reported, shown, Json(shown));
    };
    const auto number = [&](Group group, std::string_view name, const std::string* reported,
                            std::string_view gbk) {
        const std::string shown = GbkToDisplay(gbk);
        add(group, name, reported, shown, NumberOrText(shown));
    };

    const std::string* id = m_reported.Find(ParameterId::Id);
    text(Group::Identity, "id", id, id != nullptr ? *id : std::string_view());
    const std::string* version = m_reported.Find(ParameterId::Version);
    const std::string_view versionText = version != nullptr ? *version : std::string_view();
    const VersionParts parts = SplitVersion(versionText);
    text(Group::Identity, "version", version, versionText);
    text(Group::Identity, "hardware", version, parts.hardware);
    text(Group::Identity, "software", version, parts.software);

    const std::string* stat = m_reported.Find(ParameterId::Status);
    const StatFields status = SplitStat(stat != nullptr ? *stat : std::string_view());
    number(Group::Status, "signal", stat, status.strength);
    number(Group::Status, "temperature", stat, status.temperature);
    number(Group::Status, "voltage", stat, Volts(status.voltage));

    for (const Parameter* parameter : SettableParameters()) {
        const std::string* value = m_reported.Find(parameter->id);
        const std::string_view bytes = value != nullptr ? *value : std::string_view();
        add(Group::Settings, parameter->name, value, FormatSetting(*parameter, bytes),
            SettingValue(*parameter, bytes));
    }
    return fields;
}

std::vector<Setting> DeviceReport::Settings() const {
    std::vector<Setting> settings;
    for (const Parameter* parameter : SettableParameters()) {
        if (const std::string* value = m_reported.Find(parameter->id)) {
            settings.push_back({parameter, *value});
        }
    }
    return settings;
}

std::string DeviceReport::Text() const {
    std::string text;
    for (const Field& field : Fields()) {
        if (field.reported != nullptr) {
            text += field.name + "=" + field.text + "\n";
        }
    }
    return text;
}

void DeviceReport::AddTo(Json& object) const {
    Json identity = Json::object(), status = Json::object(), settings = Json::object();
    for (const Field& field : Fields()) {
        Json& group = field.group == Group::Identity ? identity
                      : field.group == Group::Status ? status
                                                     : settings;
        group[field.name] = field.json;
    }
    object["identity"] = std::move(identity);
    object["status"] = std::move(status);
    object["settings"] = std::move(settings);
}

std::vector<std::string> DeviceReport::ProfileComments() const {
    std::vector<std::string> comments;
    if (const std::string* id = m_reported.Find(ParameterId::Id)) {
        comments.push_back("device ID: " + GbkToDisplay(*id));
    }
    if (const std::string* version = m_reported.Find(ParameterId::Version)) {
        comments.push_back("firmware: " + GbkToDisplay(*version));
    }
    return comments;
}

std::vector<std::string> DeviceReport::InventoryHeader() {
    std::vector<std::string> header = {std::string(kIdColumn)};
    for (const Parameter* parameter : SettableParameters()) {
        header.emplace_back(parameter->name);
    }
    header.insert(header.end(), kInventoryStatusColumns.begin(), kInventoryStatusColumns.end());
    return header;
}

std::vector<std::string> DeviceReport::InventoryRow(std::string_view port, std::string_view result,
                                                    std::string_view reason) const {
    const std::vector<Field> fields = Fields();
    const auto text = [&](std::string_view name) {
        const auto field = std::ranges::find(fields, name, &Field::name);
        return field != fields.end() && field->reported != nullptr ? field->text : std::string();
    };
    std::vector<std::string> row;
    for (const std::string& column : InventoryHeader()) {
        std::string cell = column == "port"     ? EscapeBytes(port)
                           : column == "result" ? std::string(result)
                           : column == "reason" ? std::string(reason)
                                                : text(column);
        row.push_back(SpreadsheetSafe(std::move(cell)));
    }
    return row;
}

}  // namespace qk::cli
