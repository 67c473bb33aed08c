#include "Profile.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <map>

#include "DeviceText.h"

namespace qk {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// What makes a comment a format line, whatever its spacing and letter case.
constexpr std::string_view kFormatWords = "qk4410profile";

// The comment without its '#', blanks and letter case: "qk4410profile,format1".
std::string Folded(std::string_view comment) {
    std::string folded;
    for (const char c : comment.substr(1)) {
        if (c != ' ' && c != '\t') {
            folded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        }
    }
    return folded;
}

std::size_t SendPosition(const Setting& setting) {
    return static_cast<std::size_t>(setting.parameter->id);
}

// What a template may name: the device's ID, or a parameter, whose value a --values row
// gives. Empty when every name is one of them.
std::string UnknownTemplateNames(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const Parameter* parameter = FindParameterByName(name);
        if (name != "id" && (parameter == nullptr || !parameter->settable())) {
            return "${" + EscapeBytes(name) + "} names nothing a device has (known: id, " +
                   SettableNames() + ")";
        }
    }
    return {};
}

// The value written on line `line` into `contents`: a setting, beyond the limits or not,
// or a problem of that line.
void AddSetting(ProfileContents& contents, const Parameter& parameter, int line,
                std::string_view written) {
    const std::string where = "line " + std::to_string(line) + ": ";
    std::string error;
    auto parsed = ParseSetting(parameter, written, error);
    if (!parsed) {
        contents.problems.push_back(where + error);
        return;
    }
    if (!parsed->beyondLimits.empty()) {
        contents.beyondLimits.push_back({&parameter, line, where + parsed->beyondLimits});
    }
    contents.settings.push_back(std::move(parsed->setting));
}

}  // namespace

ProfileContents ReadProfile(std::string_view text) {
    ProfileContents contents;
    if (text.size() > kMaxProfileBytes) {
        contents.problems.push_back("the file is " + std::to_string(text.size()) +
                                    " bytes, more than a profile holds (" +
                                    std::to_string(kMaxProfileBytes) + ")");
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
        const std::string_view trimmed = TrimBlanks(line);
        // A format line written otherwise ("#QK4410 profile, format 2", in another case) or
        // out of place must not pass for format 1.
        if (trimmed.starts_with('#') && Folded(trimmed).starts_with(kFormatWords)) {
            if (trimmed != kProfileFormatLine) {
                problem("a profile format this program does not know: " + QuoteBriefly(trimmed));
            } else if (anyContent) {
                problem("the format line must come before the settings");
            }
            continue;
        }
        if (trimmed.empty() || trimmed.starts_with('#')) {
            continue;
        }
        anyContent = true;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            problem("expected NAME=VALUE, got " + QuoteBriefly(trimmed));
            continue;
        }
        const std::string_view name = TrimBlanks(line.substr(0, equals));
        const Parameter* parameter = FindParameterByName(name);
        if (parameter == nullptr || !parameter->settable()) {
            problem("unknown name " + QuoteBriefly(name) + " (known: " + SettableNames() + ")");
            continue;
        }
        if (const auto [first, fresh] = firstLine.emplace(parameter->name, number); !fresh) {
            problem(std::string(name) + " given again (first on line " +
                    std::to_string(first->second) + ")");
            continue;
        }
        // Blanks around a list entry are layout; in a text they are part of the value.
        std::string_view value = line.substr(equals + 1);
        if (!parameter->list.empty()) {
            value = TrimBlanks(value);
        }
        std::string error;
        const auto names = TemplateNames(value, error);
        if (!names) {
            problem(std::string(name) + ": " + error);
            continue;
        }
        if (!names->empty()) {
            if (const std::string unknown = UnknownTemplateNames(*names); !unknown.empty()) {
                problem(std::string(name) + ": " + unknown);
            } else {
                contents.templates.push_back({parameter, number, std::string(value)});
            }
            continue;
        }
        AddSetting(contents, *parameter, number, value);
    }
    if (contents.settings.empty() && contents.templates.empty() && contents.problems.empty()) {
        // An empty file, or one of comments only, would "apply" to every device and change
        // nothing: no run should report that as done.
        contents.problems.push_back("the profile names no setting");
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
        text += std::string(setting->parameter->name) + "=" +
                EscapeTemplate(FormatSetting(*setting->parameter, setting->value)) + "\n";
    }
    return text;
}

std::vector<std::string> ProfileContents::RefusedBy(const ReportedValues& reported) const {
    std::vector<std::string> refused;
    for (const BeyondLimits& beyond : beyondLimits) {
        const auto setting = std::ranges::find(settings, beyond.parameter, &Setting::parameter);
        if (!AcceptedBack(*beyond.parameter, setting->value, reported)) {
            refused.push_back(beyond.problem + ", and the device does not hold that value");
        }
    }
    return refused;
}

std::vector<std::string> ProfileContents::ProblemsFor(const ReportedValues& reported) const {
    // Every problem starts "line N: ", with N ascending; the refused ones slot in by N.
    std::vector<std::string> all = problems;
    for (std::string& refused : RefusedBy(reported)) {
        const auto at = std::ranges::upper_bound(all, ProblemLine(refused), {}, ProblemLine);
        all.insert(at, std::move(refused));
    }
    return all;
}

ProfileContents ProfileContents::Expanded(const TemplateValues& values) const {
    ProfileContents expanded = *this;
    expanded.templates.clear();
    for (const Template& entry : templates) {
        std::string error;
        const auto names = TemplateNames(entry.written, error);
        const auto missing = std::ranges::find_if(
            *names, [&](const std::string& name) { return !values.contains(name); });
        if (missing != names->end()) {
            expanded.problems.push_back("line " + std::to_string(entry.line) + ": " +
                                        std::string(entry.parameter->name) + ": ${" + *missing +
                                        "} has no value for this device");
            continue;
        }
        std::string written = ExpandTemplate(entry.written, values);
        AddSetting(expanded, *entry.parameter, entry.line,
                   entry.parameter->list.empty() ? std::string_view(written) : TrimBlanks(written));
    }
    std::ranges::stable_sort(expanded.problems, {}, ProblemLine);
    std::ranges::sort(expanded.settings, {}, SendPosition);
    return expanded;
}

int ProblemLine(std::string_view problem) {
    constexpr std::string_view kLine = "line ";
    int line = 0;
    if (problem.starts_with(kLine)) {
        problem.remove_prefix(kLine.size());
        std::from_chars(problem.data(), problem.data() + problem.size(), line);
    }
    return line;
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
