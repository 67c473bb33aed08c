#include "SettingText.h"

#include <algorithm>

#include "DeviceText.h"

namespace qk {
namespace {

bool IsList(const Parameter& parameter) {
    return parameter.kind == ValueKind::ListText || parameter.kind == ValueKind::ListDigit;
}

}  // namespace

std::optional<ParsedSetting> ParseSetting(const Parameter& parameter, std::string_view text,
                                          std::string& error) {
    const std::string name(parameter.name);
    if (IsList(parameter)) {
        // Letter case is forgiven ("udp", "e"), and other names taken ("even"); the device
        // is sent the list's own text.
        if (const int position = ListPosition(parameter, text); position >= 0) {
            return ParsedSetting{
                {&parameter, parameter.kind == ValueKind::ListDigit
                                 ? EncodeDigit(parameter.digitBase, position)
                                 : std::string(parameter.list[static_cast<std::size_t>(position)])},
                {}};
        }
    }
    std::string why;
    auto bytes = DisplayToGbk(text, why);
    if (!bytes) {
        error = name + ": " + why;
        return std::nullopt;
    }
    if (const std::string problem = WireProblem(*bytes); !problem.empty()) {
        error = name + ": a value cannot hold a line break or zero byte";
        return std::nullopt;
    }
    std::string beyond = LimitProblem(parameter, *bytes);
    if (IsList(parameter) && beyond.empty()) {
        // "heartbeat=2" is the device's code for 45s, not what anyone writes for it.
        error = name + " " + LimitProblem(parameter, "") + ", got " + QuoteBriefly(text);
        return std::nullopt;
    }
    if (!beyond.empty()) {
        beyond = name + " " + beyond;
        if (parameter.kind != ValueKind::Text) {
            beyond += ", got " + QuoteBriefly(text);
        }
    }
    return ParsedSetting{{&parameter, std::move(*bytes)}, std::move(beyond)};
}

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string FormatSetting(const Parameter& parameter, std::string_view value) {
    if (IsList(parameter) && LimitProblem(parameter, value).empty()) {
        const int position = parameter.kind == ValueKind::ListDigit
                                 ? value[0] - parameter.digitBase
                                 : static_cast<int>(std::ranges::find(parameter.list, value) -
                                                    parameter.list.begin());
        return std::string(EntryAt(parameter.list, position));
    }
    return GbkToDisplay(value);
}

}  // namespace qk
