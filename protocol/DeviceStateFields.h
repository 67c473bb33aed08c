#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DeviceState.h"

namespace qk {

// One field of the record by its name in the record, its value as text: integers in
// decimal, flags as 0 or 1, texts as the raw bytes.
struct NamedField {
    std::string_view name;
    std::string value;
};

// Every field of DeviceState and AdvancedParams, in declaration order (advanced last).
// Used to print the record and to compare a record with an expectation.
std::vector<NamedField> ListFields(const DeviceState& state);

std::optional<std::string> FieldValue(const DeviceState& state, std::string_view name);

}  // namespace qk
