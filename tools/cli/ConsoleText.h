#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qk::cli {

// The command line's boundary between the device's GBK bytes and the terminal's UTF-8.

// GBK to UTF-8 for a name=value line: control characters as \r \n \t \\ and \xHH, and
// bytes that are not valid GBK as \xHH, so every byte stays visible and recoverable.
std::string GbkToDisplay(std::string_view gbk);

// GBK to a JSON string literal (with quotes); invalid bytes become U+FFFD.
std::string GbkToJson(std::string_view gbk);

// UTF-8 typed by the operator to GBK; nullopt when the text is not valid UTF-8 or holds a
// character GBK cannot express.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

}  // namespace qk::cli
