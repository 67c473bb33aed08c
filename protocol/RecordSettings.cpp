#include "RecordSettings.h"

#include "AdvancedSelection.h"

namespace qk {
namespace {

// The position `value` stands for in the parameter's list; kNoValue when it is no entry.
int PositionOf(const Parameter& parameter, std::string_view value) {
    for (std::size_t i = 0; i < parameter.list.size(); ++i) {
        const int position = static_cast<int>(i);
        const bool same = parameter.kind == ValueKind::ListDigit
                              ? EncodeDigit(parameter.digitBase, position) == value
                              : parameter.list[i] == value;
        if (same) {
            return position;
        }
    }
    return kNoValue;
}

}  // namespace

std::vector<Setting> SettingsFromRecord(const DeviceState& state) {
    // The lists as the Advanced dialog shows them: the heartbeat as a position whichever
    // encoding the record holds.
    DeviceState shown = state;
    StoreSelection(SelectionFromRecord(shown.advanced), shown.advanced);
    std::vector<Setting> settings;
    for (const Parameter* parameter : SettableParameters()) {
        const RecordField& field = parameter->field;
        if (field.text != nullptr ||
            (field.advancedText != nullptr && parameter->kind != ValueKind::ListText)) {
            const std::string& text =
                field.text != nullptr ? shown.*field.text : shown.advanced.*field.advancedText;
            if (WireProblem(text).empty()) {
                settings.push_back({parameter, text});
            }
            continue;
        }
        std::string why;
        if (auto value = SendableValue(*parameter, shown, why)) {
            settings.push_back({parameter, std::move(*value)});
        }
    }
    return settings;
}

void StoreSettings(const std::vector<Setting>& settings, DeviceState& state) {
    AdvancedParams& advanced = state.advanced;
    for (const Setting& setting : settings) {
        const Parameter& parameter = *setting.parameter;
        const RecordField& field = parameter.field;
        if (field.text != nullptr) {
            state.*field.text = setting.value;
        } else if (field.advancedText != nullptr) {
            // Data bits and parity keep their text; a value beyond the list, which only a
            // device that holds it takes back, stays as it is too.
            advanced.*field.advancedText = setting.value;
        } else if (field.position != nullptr) {
            state.*field.position = PositionOf(parameter, setting.value);
        } else if (field.advancedInteger != nullptr) {
            advanced.*field.advancedInteger = PositionOf(parameter, setting.value);
            if (parameter.id == ParameterId::Heartbeat) {
                advanced.heartbeatCodeIsPosition = true;
            }
        }
    }
}

}  // namespace qk
