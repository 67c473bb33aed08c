#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "Parameters.h"

namespace qk::cli {

// What --json prints: JSON Lines, one object per device (or port), documented in
// docs/json.md and checked against docs/json-schema.json. Members keep the order they are
// added in, so a line reads in the order the text output does.
using Json = nlohmann::ordered_json;

// Raised when a member is added, removed or changes its meaning.
inline constexpr int kJsonSchema = 2;

// Text from the device (GBK) as a JSON string, escaped as profiles escape it (\xHH for a
// byte with no character), so that it reads back to the same bytes.
Json DeviceText(std::string_view gbk);
// Text from the system (a path) that should be UTF-8 but may not be: escaped losslessly.
Json SystemText(std::string_view bytes);
// A JSON number when `text` is written as one ("25", "3.30"), else the text itself, so
// that nothing the device said is lost and nothing invalid is printed ("007", "3.").
Json NumberOrText(std::string_view utf8);
// A setting's value as the parameter table types it: a number where the value is written
// as one, else the text profiles use for it.
Json SettingValue(const Parameter& parameter, std::string_view bytes);

// For a network port, how its line is set: "negotiated" (RFC 2217: the server set the
// line as asked) or "server" (raw TCP: as the server has it); nullopt for a local port.
std::optional<std::string> NetworkLineSettings(std::string_view port);

// One line of output: the object without line breaks, then one.
std::string JsonLine(const Json& object);

}  // namespace qk::cli
