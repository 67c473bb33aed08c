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

// GBK to UTF-8 for a format that escapes control characters itself (JSON): only bytes that
// are not valid GBK (\xHH) and the backslash (\\) are escaped, so the text stays lossless.
std::string GbkToText(std::string_view gbk);

// GBK to UTF-8 lines for a terminal: as GbkToDisplay, but a line feed (or CR LF) ends a
// line, so a log reads as the device wrote it without control bytes reaching the terminal.
std::string GbkToLines(std::string_view gbk);

// The inverse of GbkToDisplay: UTF-8 text with those escapes back to the device's bytes,
// the escaped ones exactly as written; "\$" is a "$" (written where "${" would otherwise
// start a profile's template). Nullopt, with `error` set, for an unknown escape,
// text that is not UTF-8, or a character GBK cannot express.
std::optional<std::string> DisplayToGbk(std::string_view text, std::string& error);

// Bytes that should be UTF-8 but may not be (a file path), as UTF-8 text: valid characters
// as they are, control characters and the backslash escaped as in GbkToDisplay, every other
// byte as \xHH. Lossless, and always valid UTF-8.
std::string EscapeBytes(std::string_view bytes);

// Text from outside (a file, an argument) for a message: escaped as EscapeBytes does, in
// single quotes, and cut after about `most` characters with the whole length named, so that
// a hostile line reaches the terminal neither as escape sequences nor as megabytes.
std::string QuoteBriefly(std::string_view text, std::size_t most = 60);

// UTF-8 to GBK; nullopt when the text is not valid UTF-8 or holds a character GBK cannot
// express.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

}  // namespace qk
