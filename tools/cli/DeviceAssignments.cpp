#include "DeviceAssignments.h"

#include <algorithm>
#include <array>
#include <optional>

#include "ConsoleText.h"
#include "ValueLists.h"

namespace qk::cli {
namespace {

// A name the command line accepts: a free text, or a choice from a value list sent as its
// text or, for the single-digit settings, as `digitBase` plus its position.
struct FieldRule {
    std::string_view name;
    CommandId command;
    std::string_view answerKey;
    bool basic;
    std::optional<ValueList> list;  // nullopt: free text
    char digitBase = '\0';
};

// Work mode and registration are given as their positions, 0 or 1.
constexpr std::array<std::string_view, 2> kPositions = {"0", "1"};

// In send order: Set Param.'s four, then Adv Param.'s eight.
const std::array<FieldRule, 12> kFields = {{
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

const FieldRule* RuleFor(std::string_view name) {
    const auto found = std::ranges::find(kFields, name, &FieldRule::name);
    return found == kFields.end() ? nullptr : &*found;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

int ExactPosition(ValueList list, std::string_view text) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (EqualsIgnoringCase(list[i], text)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string Join(ValueList list) {
    std::string text;
    for (const auto entry : list) {
        text += (text.empty() ? "" : ", ") + std::string(entry);
    }
    return text;
}

}  // namespace

bool DeviceAssignments::Add(std::string_view assignment, std::string& error) {
    const auto equals = assignment.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        error = "expected NAME=VALUE, got '" + std::string(assignment) + "'";
        return false;
    }
    const std::string_view name = assignment.substr(0, equals);
    const std::string_view text = assignment.substr(equals + 1);
    const FieldRule* rule = RuleFor(name);
    if (rule == nullptr) {
        error = "unknown parameter '" + std::string(name) + "' (known: " + KnownNames() + ")";
        return false;
    }
    Assignment value{std::string(name), rule->command, std::string(rule->answerKey), {}, {},
                     rule->basic};
    if (rule->list) {
        // Letter case is forgiven ("udp", "e"); the device is sent the list's own text.
        const int position = ExactPosition(*rule->list, text);
        if (position < 0) {
            error = std::string(name) + " must be one of " + Join(*rule->list) + ", got '" +
                    std::string(text) + "'";
            return false;
        }
        value.shown = std::string((*rule->list)[static_cast<std::size_t>(position)]);
        value.value =
            rule->digitBase == '\0' ? value.shown : EncodeDigit(rule->digitBase, position);
    } else {
        auto gbk = Utf8ToGbk(text);
        if (!gbk) {
            error = std::string(name) + ": the text cannot be written in the device's GBK encoding";
            return false;
        }
        if (gbk->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            error = std::string(name) + ": a value cannot hold a line break";
            return false;
        }
        value.value = std::move(*gbk);
        value.shown = std::string(text);
    }
    std::erase_if(m_values, [&](const Assignment& v) { return v.name == name; });
    m_values.push_back(std::move(value));
    std::ranges::sort(m_values, {}, [](const Assignment& v) {
        return std::ranges::find(kFields, v.name, &FieldRule::name) - kFields.begin();
    });
    return true;
}

std::string DeviceAssignments::KnownNames() {
    std::string names;
    for (const auto& rule : kFields) {
        names += (names.empty() ? "" : ", ") + std::string(rule.name);
    }
    return names;
}

}  // namespace qk::cli
