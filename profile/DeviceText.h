#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qk {

// Where the device's GBK bytes meet UTF-8 text outside the window: the command line's
// output and arguments, and profile files.

// GBK to UTF-8 for a name=value line: control characters as \r \n \t \\ and \xHH, and
// bytes that are not valid GBK as \xHH, so every byte stays visible and recoverable.
std::string GbkToDisplay(std::string_view gbk);

// The inverse of GbkToDisplay: UTF-8 text with those escapes back to the device's bytes,
// the escaped ones exactly as written. Nullopt, with `error` set, for an unknown escape,
// text that is not UTF-8, or a character GBK cannot express.
std::optional<std::string> DisplayToGbk(std::string_view text, std::string& error);

// UTF-8 to GBK; nullopt when the text is not valid UTF-8 or holds a character GBK cannot
// express.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

}  // namespace qk
