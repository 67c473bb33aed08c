#pragma once

#include <string>
#include <string_view>

namespace qk {

// How conversation records (and the calls a recording view keeps) write device bytes, so
// that every byte is visible on one line and reads back unchanged.

// Device bytes made visible: \r \n \t \\ \" and \xHH for anything outside printable ASCII.
std::string Escape(std::string_view bytes);
// The inverse of Escape; false on a malformed escape.
bool Unescape(std::string_view text, std::string& bytes);
// A quoted, escaped string: "ID:7".
std::string Quote(std::string_view bytes);

}  // namespace qk
