#include "DeviceAssignments.h"

#include <algorithm>
#include <array>

#include "ConsoleText.h"
#include "ValueLists.h"

namespace qk::cli {
namespace {

enum class Group { Basic, Advanced };

// A name the command line accepts: a free text, or a choice from a value list.
struct FieldRule {
    std::string_view name;
    Group group;
    std::optional<ValueList> list;  // nullopt: free text
    int AdvancedSelection::*selection = nullptr;
};

// Work mode and registration are given as their positions, 0 or 1.
constexpr std::array<std::string_view, 2> kWorkModePositions = {"0", "1"};

const std::array<FieldRule, 12> kFields = {{
    {"deviceBaud", Group::Basic, ValueList(BaudRateList)},
    {"protocol", Group::Basic, ValueList(ProtocolList)},
    {"destAddress", Group::Basic, std::nullopt},
    {"destPort", Group::Basic, std::nullopt},
    {"workType", Group::Advanced, ValueList(kWorkModePositions), &AdvancedSelection::workMode},
    {"heartbeat", Group::Advanced, ValueList(HeartbeatList), &AdvancedSelection::heartbeat},
    {"heartbeatData", Group::Advanced, std::nullopt},
    {"dnsServer", Group::Advanced, std::nullopt},
    {"dataBits", Group::Advanced, ValueList(DataBitsList), &AdvancedSelection::dataBits},
    {"parity", Group::Advanced, ValueList(ParityList), &AdvancedSelection::parity},
    {"registerEnable", Group::Advanced, ValueList(SwitchList), &AdvancedSelection::registration},
    {"registerData", Group::Advanced, std::nullopt},
}};

const FieldRule* RuleFor(std::string_view name) {
    for (const auto& rule : kFields) {
        if (rule.name == name) {
            return &rule;
        }
    }
    return nullptr;
}

// The free texts and where they live in the record (const or not).
template <typename Advanced>
auto* AdvancedText(Advanced& a, std::string_view name) {
    decltype(&a.dnsServer) field = nullptr;
    if (name == "heartbeatData") field = &a.heartbeatData;
    if (name == "dnsServer") field = &a.dnsServer;
    if (name == "registerData") field = &a.registerData;
    return field;
}

template <typename State>
auto* TextField(State& state, std::string_view name) {
    if (name == "destAddress") return &state.destAddress;
    if (name == "destPort") return &state.destPort;
    return AdvancedText(state.advanced, name);
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
    Value value{std::string(name), {}, -1};
    if (rule->list) {
        // Letter case is forgiven ("udp", "e"); the device is sent the list's own text.
        value.position = ExactPosition(*rule->list, text);
        if (value.position < 0) {
            error = std::string(name) + " must be one of " + Join(*rule->list) + ", got '" +
                    std::string(text) + "'";
            return false;
        }
        value.text = std::string((*rule->list)[static_cast<std::size_t>(value.position)]);
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
        value.text = std::move(*gbk);
    }
    std::erase_if(m_values, [&](const Value& v) { return v.name == name; });
    m_values.push_back(std::move(value));
    return true;
}

bool DeviceAssignments::HasBasic() const {
    for (const auto& value : m_values) {
        if (RuleFor(value.name)->group == Group::Basic) {
            return true;
        }
    }
    return false;
}

bool DeviceAssignments::HasAdvanced() const {
    for (const auto& value : m_values) {
        if (RuleFor(value.name)->group == Group::Advanced) {
            return true;
        }
    }
    return false;
}

const DeviceAssignments::Value* DeviceAssignments::Find(std::string_view name) const {
    for (const auto& value : m_values) {
        if (value.name == name) {
            return &value;
        }
    }
    return nullptr;
}

void DeviceAssignments::ApplyBasic(DeviceState& state) const {
    if (const Value* baud = Find("deviceBaud")) {
        state.deviceBaudIndex = baud->position;
    }
    if (const Value* protocol = Find("protocol")) {
        state.protocolIndex = protocol->position;
    }
    for (const auto name : {"destAddress", "destPort"}) {
        if (const Value* value = Find(name)) {
            *TextField(state, name) = value->text;
        }
    }
}

void DeviceAssignments::ApplyAdvanced(AdvancedParams& record) const {
    AdvancedSelection selection = SelectionFromRecord(record);
    for (const auto& value : m_values) {
        const FieldRule* rule = RuleFor(value.name);
        if (rule->group != Group::Advanced) {
            continue;
        }
        if (rule->selection != nullptr) {
            selection.*rule->selection = value.position;
        }
    }
    StoreSelection(selection, record);
    for (const auto name : {"heartbeatData", "dnsServer", "registerData"}) {
        if (const Value* value = Find(name)) {
            *AdvancedText(record, name) = value->text;
        }
    }
}

std::vector<std::string> DeviceAssignments::Differences(const DeviceState& state) const {
    const AdvancedSelection reported = SelectionFromRecord(state.advanced);
    std::vector<std::string> differing;
    for (const auto& value : m_values) {
        const FieldRule* rule = RuleFor(value.name);
        bool same = false;
        if (value.name == "deviceBaud") {
            same = state.deviceBaudIndex == value.position;
        } else if (value.name == "protocol") {
            same = state.protocolIndex == value.position;
        } else if (rule->selection != nullptr) {
            same = reported.*rule->selection == value.position;
        } else {
            same = *TextField(state, value.name) == value.text;
        }
        if (!same) {
            differing.push_back(value.name);
        }
    }
    return differing;
}

std::string DeviceAssignments::KnownNames() {
    std::string names;
    for (const auto& rule : kFields) {
        names += (names.empty() ? "" : ", ") + std::string(rule.name);
    }
    return names;
}

}  // namespace qk::cli
