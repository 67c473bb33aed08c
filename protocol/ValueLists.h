#pragma once

#include <array>
#include <span>
#include <string_view>

namespace qk {

// The fixed value lists. List boxes show them in this order and commands send the entry
// at a zero-based position; -1 means no entry chosen.
using ValueList = std::span<const std::string_view>;

inline constexpr std::array<std::string_view, 14> BaudRateList = {
    "1200",  "2400",  "4800",  "7200",   "9600",   "14400",  "19200",
    "28800", "38400", "57600", "76800",  "115200", "230400", "460800",
};
inline constexpr std::array<std::string_view, 2> ProtocolList = {"TCP", "UDP"};
// GBK: "实时在线" (always online), "数据触发上线" (online when data arrives).
inline constexpr std::array<std::string_view, 2> WorkModeList = {
    "\xCA\xB5\xCA\xB1\xD4\xDA\xCF\xDF",
    "\xCA\xFD\xBE\xDD\xB4\xA5\xB7\xA2\xC9\xCF\xCF\xDF",
};
inline constexpr std::array<std::string_view, 3> HeartbeatList = {"30s", "45s", "60s"};
inline constexpr std::array<std::string_view, 3> ParityList = {"N", "O", "E"};
inline constexpr std::array<std::string_view, 4> DataBitsList = {"5", "6", "7", "8"};
// The registration and logout packet switches: off, on.
inline constexpr std::array<std::string_view, 2> SwitchList = {"0", "1"};

// The entry at `position`, or an empty view when the position is outside the list.
std::string_view EntryAt(ValueList list, int position);

// The list search of the device's answers and of selecting a list item by text: entries
// are tried from position 1 to the last, then position 0; the first whose text begins with
// the whole value (ASCII case ignored) wins. An empty value, or one that begins no entry,
// gives -1.
int FindEntryByPrefix(ValueList list, std::string_view value);

}  // namespace qk
