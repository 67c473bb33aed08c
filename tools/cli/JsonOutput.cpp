#include "JsonOutput.h"

#include "DeviceText.h"
#include "NetworkAddress.h"
#include "SettingText.h"

namespace qk::cli {
namespace {

// The JSON number grammar: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?, without the
// exponent, which no device value has.
bool IsJsonNumber(std::string_view text) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
        }
        return i - start;
    };
    if (i < text.size() && text[i] == '-') {
        ++i;
    }
    const bool leadingZero = i < text.size() && text[i] == '0';
    const std::size_t whole = digits();
    if (whole == 0 || (leadingZero && whole > 1)) {
        return false;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (digits() == 0) {
            return false;
        }
    }
    return i == text.size();
}

}  // namespace

Json DeviceText(std::string_view gbk) {
    return GbkToDisplay(gbk);
}

Json SystemText(std::string_view bytes) {
    return EscapeBytes(bytes);
}

Json NumberOrText(std::string_view utf8) {
    // Fifteen digits keep every such number exact as a double.
    if (utf8.size() <= 15 && IsJsonNumber(utf8)) {
        return Json::parse(utf8);
    }
    return std::string(utf8);
}

Json SettingValue(const Parameter& parameter, std::string_view bytes) {
    const std::string text = FormatSetting(parameter, bytes);
    return parameter.json == JsonType::Number ? NumberOrText(text) : Json(text);
}

std::string JsonLine(const Json& object) {
    // Every text is escaped into UTF-8 before it gets here; should one slip through, a
    // replaced byte is better than a run that ends without its account.
    return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::optional<std::string> NetworkLineSettings(std::string_view port) {
    if (!IsNetworkPath(port)) {
        return std::nullopt;
    }
    return IsRawTcpPath(port) ? "server" : "negotiated";
}

}  // namespace qk::cli
