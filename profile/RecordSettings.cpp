#include "RecordSettings.h"

#include <algorithm>
#include <ctime>

#include "AdvancedSelection.h"
#include "DeviceText.h"
#include "Profile.h"

namespace qk {
namespace {

// What the parser puts in front of the ID answer's value for the status bar.
constexpr std::string_view kIdStatusPrefix = "ID:";

// Where each list setting's choice lives in the record: a position in the record itself
// or in the Advanced dialog's selection.
int* ListPosition(CommandId command, DeviceState& state, AdvancedSelection& selection) {
    switch (command) {
        case CommandId::Baud:
            return &state.deviceBaudIndex;
        case CommandId::Protocol:
            return &state.protocolIndex;
        case CommandId::WorkType:
            return &selection.workMode;
        case CommandId::HeartbeatTime:
            return &selection.heartbeat;
        case CommandId::DataBits:
            return &selection.dataBits;
        case CommandId::Parity:
            return &selection.parity;
        case CommandId::RegisterEnable:
            return &selection.registration;
        default:
            return nullptr;
    }
}

std::string* Text(CommandId command, DeviceState& state) {
    switch (command) {
        case CommandId::DestAddress:
            return &state.destAddress;
        case CommandId::DestPort:
            return &state.destPort;
        case CommandId::HeartbeatData:
            return &state.advanced.heartbeatData;
        case CommandId::Dns:
            return &state.advanced.dnsServer;
        case CommandId::RegisterData:
            return &state.advanced.registerData;
        default:
            return nullptr;
    }
}

}  // namespace

std::vector<Setting> SettingsFromRecord(const DeviceState& state) {
    DeviceState copy = state;
    AdvancedSelection selection = SelectionFromRecord(copy.advanced);
    std::vector<Setting> settings;
    for (const SettingRule& rule : SettingRules()) {
        if (const int* position = ListPosition(rule.command, copy, selection)) {
            const std::string_view entry = EntryAt(*rule.list, *position);
            if (!entry.empty()) {
                settings.push_back({&rule, rule.digitBase == '\0'
                                               ? std::string(entry)
                                               : EncodeDigit(rule.digitBase, *position)});
            }
        } else if (const std::string* text = Text(rule.command, copy)) {
            settings.push_back({&rule, *text});
        }
    }
    return settings;
}

void ApplySettings(const std::vector<Setting>& settings, DeviceState& state) {
    // Field by field, as the dialog would store each choice, so that what the profile does
    // not name stays byte for byte as it was.
    AdvancedParams& advanced = state.advanced;
    for (const Setting& setting : settings) {
        const SettingRule& rule = *setting.rule;
        if (std::string* text = Text(rule.command, state)) {
            *text = setting.value;
            continue;
        }
        const auto entry = std::ranges::find(*rule.list, FormatSetting(rule, setting.value));
        const int position =
            entry == rule.list->end() ? kNoValue : static_cast<int>(entry - rule.list->begin());
        switch (rule.command) {
            case CommandId::Baud:
                state.deviceBaudIndex = position;
                break;
            case CommandId::Protocol:
                state.protocolIndex = position;
                break;
            case CommandId::WorkType:
                advanced.workType = position;
                break;
            case CommandId::HeartbeatTime:
                advanced.heartbeatCode = position;
                advanced.heartbeatCodeIsPosition = true;
                break;
            case CommandId::DataBits:
                advanced.dataBits = EntryAt(*rule.list, position);
                break;
            case CommandId::Parity:
                advanced.parity = EntryAt(*rule.list, position);
                break;
            case CommandId::RegisterEnable:
                advanced.registerEnable = position;
                break;
            default:
                break;
        }
    }
}

std::string DeviceIdOfRecord(const DeviceState& state) {
    const std::string_view status = state.statusText[1];
    return status.starts_with(kIdStatusPrefix) ? std::string(status.substr(kIdStatusPrefix.size()))
                                               : std::string();
}

std::string ProfileOfRecord(const DeviceState& state, std::chrono::system_clock::time_point saved) {
    std::vector<std::string> comments;
    if (const std::string id = DeviceIdOfRecord(state); !id.empty()) {
        comments.push_back("device ID: " + GbkToDisplay(id));
    }
    comments.push_back(SavedComment(saved));
    return WriteProfile(SettingsFromRecord(state), comments);
}

}  // namespace qk
