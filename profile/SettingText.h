#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Parameters.h"

namespace qk {

// Settings as people write them, in `set NAME=VALUE` and in profiles: UTF-8, \xHH for a
// raw byte and \\ for a backslash, list entries in any letter case.

struct ParsedSetting {
    Setting setting;
    // Why the value lies outside what an operator may give the parameter ("destPort must
    // be a port from 1 to 65535, got '70000'"); empty when within. Such a value can still
    // go back to a device that reports exactly it.
    std::string beyondLimits;
};

// The value as written to the bytes the device takes. Nullopt with `error` set when it has
// no such bytes: it holds a line break or zero byte, is not UTF-8, or has a character GBK
// cannot express; or, for a list whose entries are digits to the device, it is one of
// those digits, which would read as an entry nobody wrote.
std::optional<ParsedSetting> ParseSetting(const Parameter& parameter, std::string_view text,
                                          std::string& error);

// `text` without the blanks (spaces, tabs) at either end: around a list entry they are
// layout, in a text they are part of the value.
std::string_view TrimBlanks(std::string_view text);

// The inverse: the bytes as written ("45s" for the heartbeat code 2). A value outside the
// list is shown as it came, escaped, so that the mismatch stays visible and the text reads
// back to the same bytes.
std::string FormatSetting(const Parameter& parameter, std::string_view value);

}  // namespace qk
