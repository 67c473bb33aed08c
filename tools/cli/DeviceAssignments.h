#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AdvancedSelection.h"
#include "DeviceState.h"

namespace qk::cli {

// The values `set NAME=VALUE...` asks for, checked against the device's lists and
// converted to the device's GBK bytes. Applies them the way the window's edits and the
// Advanced Parameters dialog would, and tells which ones the device did not take.
class DeviceAssignments {
public:
    // Adds one NAME=VALUE (UTF-8); false with `error` set when the name or value is bad.
    bool Add(std::string_view assignment, std::string& error);

    bool empty() const { return m_values.empty(); }
    bool HasBasic() const;
    bool HasAdvanced() const;

    // The main window's part: what the operator would have typed or picked.
    void ApplyBasic(DeviceState& state) const;
    // The Advanced Parameters dialog's part: the record's current values shown, the named
    // ones changed, everything stored back as the dialog stores it.
    void ApplyAdvanced(AdvancedParams& record) const;

    // The names whose value the device now reports differently (after reading back).
    std::vector<std::string> Differences(const DeviceState& state) const;

    // "deviceBaud, protocol, ..." for the help text.
    static std::string KnownNames();

private:
    struct Value {
        std::string name;
        std::string text;  // GBK, or the canonical list text
        int position = -1; // for list values
    };
    const Value* Find(std::string_view name) const;

    std::vector<Value> m_values;
};

}  // namespace qk::cli
