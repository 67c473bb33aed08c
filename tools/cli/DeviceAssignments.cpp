#include "DeviceAssignments.h"

#include <algorithm>

namespace qk::cli {

bool DeviceAssignments::Add(std::string_view assignment, std::string& error) {
    const auto equals = assignment.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        error = "expected NAME=VALUE, got '" + std::string(assignment) + "'";
        return false;
    }
    const std::string_view name = assignment.substr(0, equals);
    const SettingRule* rule = FindSetting(name);
    if (rule == nullptr) {
        error = "unknown parameter '" + std::string(name) + "' (known: " + SettingNames() + ")";
        return false;
    }
    auto setting = ParseSetting(*rule, assignment.substr(equals + 1), error);
    if (!setting) {
        return false;
    }
    std::erase_if(m_settings, [&](const Setting& s) { return s.rule == rule; });
    m_settings.push_back(std::move(*setting));
    std::ranges::sort(m_settings, {}, &Setting::rule);
    return true;
}

}  // namespace qk::cli
