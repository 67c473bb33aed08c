#include "Profile.h"

#include <algorithm>
#include <ctime>
#include <map>

namespace qk {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kFormatPrefix = "# QK4410 profile";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::size_t SendPosition(const Setting& setting) {
    return static_cast<std::size_t>(setting.rule - SettingRules().data());
}

}  // namespace

ProfileContents ReadProfile(std::string_view text) {
    ProfileContents contents;
    if (text.size() > kMaxProfileBytes) {
        contents.problems.push_back("the file is larger than any profile (more than " +
                                    std::to_string(kMaxProfileBytes) + " bytes)");
        return contents;
    }
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    std::map<std::string_view, int> firstLine;
    bool anyContent = false;
    for (int number = 1; !text.empty(); ++number) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // A file edited on Windows ends its lines in CR LF; no value may hold a CR.
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const auto problem = [&](const std::string& what) {
            contents.problems.push_back("line " + std::to_string(number) + ": " + what);
        };
        const std::string_view trimmed = Trim(line);
        if (trimmed.starts_with(kFormatPrefix) && !anyContent && trimmed != kProfileFormatLine) {
            problem("a profile format this program does not know: '" + std::string(trimmed) + "'");
        }
        if (trimmed.empty() || trimmed.starts_with('#')) {
            continue;
        }
        anyContent = true;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            problem("expected NAME=VALUE, got '" + std::string(trimmed) + "'");
            continue;
        }
        const std::string_view name = Trim(line.substr(0, equals));
        const SettingRule* rule = FindSetting(name);
        if (rule == nullptr) {
            problem("unknown name '" + std::string(name) + "' (known: " + SettingNames() + ")");
            continue;
        }
        if (const auto [first, fresh] = firstLine.emplace(rule->name, number); !fresh) {
            problem(std::string(name) + " given again (first on line " +
                    std::to_string(first->second) + ")");
            continue;
        }
        // Blanks around a list entry are layout; in a text they are part of the value.
        std::string_view value = line.substr(equals + 1);
        if (rule->list) {
            value = Trim(value);
        }
        std::string error;
        auto setting = ParseSetting(*rule, value, error);
        if (!setting) {
            problem(error);
            continue;
        }
        if (const std::string limit = CheckSettingLimits(*setting); !limit.empty()) {
            problem(limit);
            continue;
        }
        contents.settings.push_back(std::move(*setting));
    }
    std::ranges::sort(contents.settings, {}, SendPosition);
    return contents;
}

std::string WriteProfile(const std::vector<Setting>& settings,
                         const std::vector<std::string>& comments) {
    std::string text = std::string(kProfileFormatLine) + "\n";
    for (const auto& comment : comments) {
        // A comment must not end early and turn its rest into a line the file is read for.
        std::string_view rest = comment;
        do {
            const auto lineEnd = rest.find_first_of("\r\n");
            text += "# " + std::string(rest.substr(0, lineEnd)) + "\n";
            const bool crLf =
                lineEnd != std::string_view::npos && rest.substr(lineEnd, 2) == "\r\n";
            rest.remove_prefix(lineEnd == std::string_view::npos ? rest.size()
                                                                 : lineEnd + (crLf ? 2 : 1));
        } while (!rest.empty());
    }
    std::vector<const Setting*> ordered;
    for (const auto& setting : settings) {
        ordered.push_back(&setting);
    }
    std::ranges::sort(ordered, {}, [](const Setting* s) { return SendPosition(*s); });
    for (const Setting* setting : ordered) {
        text += std::string(setting->rule->name) + "=" +
                FormatSetting(*setting->rule, setting->value) + "\n";
    }
    return text;
}

std::string SavedComment(std::chrono::system_clock::time_point saved) {
    const std::time_t time = std::chrono::system_clock::to_time_t(saved);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &time);
#else
    gmtime_r(&time, &utc);
#endif
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S UTC", &utc);
    return std::string("saved: ") + date;
}

}  // namespace qk
