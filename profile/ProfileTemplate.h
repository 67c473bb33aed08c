#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qk {

// A profile value that differs from device to device: "SITE-${id}" gives each device its own
// registration content. ${NAME} stands for a value written as profiles write values (the
// device's ID, a cell of the device's row in a --values file); the text is taken as it
// reads after the substitution, escapes included. "\$" is a "$" that starts nothing, so a
// literal "${" is written "\${"; every other escape passes through untouched.
//
// It knows nothing of which names exist or where their values come from.

// Values by name, each written as profiles write values.
using TemplateValues = std::map<std::string, std::string, std::less<>>;

// The names a value refers to, in order; empty for a plain value. Nullopt, with `error`
// set, when a "${" is never closed or names nothing.
std::optional<std::vector<std::string>> TemplateNames(std::string_view written, std::string& error);

// `written` with each ${NAME} replaced by values[NAME], which holds every name it refers to.
std::string ExpandTemplate(std::string_view written, const TemplateValues& values);

// `written` as a template that reads as exactly `written`: every "${" becomes "\${".
std::string EscapeTemplate(std::string_view written);

}  // namespace qk
