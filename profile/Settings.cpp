#include "Settings.h"

#include <algorithm>
#include <array>

#include "DeviceText.h"

namespace qk {
namespace {

// Work mode and registration are given as their positions, 0 or 1.
constexpr std::array<std::string_view, 2> kPositions = {"0", "1"};

const std::array<SettingRule, 12> kRules = {{
    {"deviceBaud", CommandId::Baud, "BAUD", true, ValueList(BaudRateList)},
    {"destAddress", CommandId::DestAddress, "PIPADD", true, std::nullopt},
    {"destPort", CommandId::DestPort, "PPORT", true, std::nullopt},
    {"protocol", CommandId::Protocol, "PROTOCOL", true, ValueList(ProtocolList)},
    {"workType", CommandId::WorkType, "WORKTYPE", false, ValueList(kPositions), '0'},
    // The device counts heartbeat intervals from 1.
    {"heartbeat", CommandId::HeartbeatTime, "HEARTIME", false, ValueList(HeartbeatList), '1'},
    {"heartbeatData", CommandId::HeartbeatData, "HEARTDAT", false, std::nullopt},
    {"dnsServer", CommandId::Dns, "PDNS", false, std::nullopt},
    {"dataBits", CommandId::DataBits, "DATAB", false, ValueList(DataBitsList)},
    {"parity", CommandId::Parity, "CHECKB", false, ValueList(ParityList)},
    {"registerEnable", CommandId::RegisterEnable, "REGEN", false, ValueList(SwitchList), '0'},
    {"registerData", CommandId::RegisterData, "ENROL", false, std::nullopt},
}};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::string Join(ValueList list) {
    std::string text;
    for (const auto entry : list) {
        text += (text.empty() ? "" : ", ") + std::string(entry);
    }
    return text;
}

}  // namespace

std::span<const SettingRule> SettingRules() {
    return kRules;
}

const SettingRule* FindSetting(std::string_view name) {
    const auto found = std::ranges::find(kRules, name, &SettingRule::name);
    return found == kRules.end() ? nullptr : &*found;
}

std::string SettingNames() {
    std::string names;
    for (const auto& rule : kRules) {
        names += (names.empty() ? "" : ", ") + std::string(rule.name);
    }
    return names;
}

std::optional<Setting> ParseSetting(const SettingRule& rule, std::string_view text,
                                    std::string& error) {
    const std::string name(rule.name);
    if (rule.list) {
        // Letter case is forgiven ("udp", "e"); the device is sent the list's own text.
        const auto found = std::ranges::find_if(
            *rule.list, [&](std::string_view entry) { return EqualsIgnoringCase(entry, text); });
        if (found == rule.list->end()) {
            error =
                name + " must be one of " + Join(*rule.list) + ", got '" + std::string(text) + "'";
            return std::nullopt;
        }
        const auto position = static_cast<int>(found - rule.list->begin());
        return Setting{&rule, rule.digitBase == '\0' ? std::string(*found)
                                                     : EncodeDigit(rule.digitBase, position)};
    }
    std::string why;
    auto bytes = DisplayToGbk(text, why);
    if (!bytes) {
        error = name + ": " + why;
        return std::nullopt;
    }
    // Either would end the command early and put the rest on the wire as a command of its own.
    if (bytes->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        error = name + ": a value cannot hold a line break or zero byte";
        return std::nullopt;
    }
    return Setting{&rule, std::move(*bytes)};
}

std::string FormatSetting(const SettingRule& rule, std::string_view value) {
    if (rule.list) {
        if (rule.digitBase == '\0') {
            if (std::ranges::find(*rule.list, value) != rule.list->end()) {
                return std::string(value);
            }
        } else if (value.size() == 1) {
            const int position = value[0] - rule.digitBase;
            if (position >= 0 && position < static_cast<int>(rule.list->size())) {
                return std::string((*rule.list)[static_cast<std::size_t>(position)]);
            }
        }
    }
    return GbkToDisplay(value);
}

std::string CheckSettingLimits(const Setting& setting) {
    const std::string_view value = setting.value;
    if (setting.rule->command == CommandId::DestPort) {
        const bool digits = !value.empty() && value.size() <= 5 &&
                            std::ranges::all_of(value, [](char c) { return c >= '0' && c <= '9'; });
        const int port = digits ? std::stoi(std::string(value)) : 0;
        if (port < 1 || port > 65535) {
            return "destPort must be a port from 1 to 65535, got '" + GbkToDisplay(value) + "'";
        }
    }
    if (setting.rule->command == CommandId::RegisterData && value.size() > kMaxRegisterDataBytes) {
        return "registerData is " + std::to_string(value.size()) + " bytes in GBK, at most " +
               std::to_string(kMaxRegisterDataBytes);
    }
    return {};
}

}  // namespace qk
