#include "DeviceAssignments.h"

#include <algorithm>

#include "DeviceText.h"
#include "SettingText.h"

namespace qk::cli {

bool DeviceAssignments::Add(std::string_view assignment, std::string& error) {
    const auto equals = assignment.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        error = "expected NAME=VALUE, got " + QuoteBriefly(assignment);
        return false;
    }
    const std::string_view name = assignment.substr(0, equals);
    const Parameter* parameter = FindParameterByName(name);
    if (parameter == nullptr || !parameter->settable()) {
        error = "unknown parameter " + QuoteBriefly(name) + " (known: " + SettableNames() + ")";
        return false;
    }
    auto parsed = ParseSetting(*parameter, assignment.substr(equals + 1), error);
    if (!parsed) {
        return false;
    }
    if (!parsed->beyondLimits.empty()) {
        error = parsed->beyondLimits;
        return false;
    }
    std::erase_if(m_settings, [&](const Setting& s) { return s.parameter == parameter; });
    m_settings.push_back(std::move(parsed->setting));
    std::ranges::sort(m_settings, {}, [](const Setting& s) { return s.parameter->id; });
    return true;
}

}  // namespace qk::cli
