#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "CommandTable.h"
#include "ValueLists.h"

namespace qk {

// One of the twelve parameters an operator sets, by the name the command line and the
// profiles use for it: how its value goes to the device and under which key the device
// reports it.
struct SettingRule {
    std::string_view name;
    CommandId command;              // sets it, and queries it
    std::string_view answerKey;     // REGEN for the switch set with EN_ENROL
    bool basic;                     // Set Param.'s group, else Adv Param.'s
    std::optional<ValueList> list;  // nullopt: a free text
    // Nonzero: the list entry goes out as this character plus its position; zero: as its text.
    char digitBase = '\0';
};

// In the order the window's Set Param. and Adv Param. send them.
std::span<const SettingRule> SettingRules();
const SettingRule* FindSetting(std::string_view name);
// "deviceBaud, destAddress, ..." for help and error texts.
std::string SettingNames();

// A parameter with the bytes that carry it: what goes out after "=", and what the device's
// own answer holds once it has taken it.
struct Setting {
    const SettingRule* rule;
    std::string value;
};

// The value as an operator writes it (UTF-8; \xHH for raw bytes, \\ for a backslash; list
// entries in any letter case) to the bytes the device takes. Nullopt with `error` set when
// it is outside its list, holds a line break or zero byte, or has no GBK form.
std::optional<Setting> ParseSetting(const SettingRule& rule, std::string_view text,
                                    std::string& error);

// The inverse: the bytes the device reported, as an operator writes them ("45s" for the
// heartbeat code 2). A value outside the list is shown escaped as it came, so that the
// mismatch stays visible.
std::string FormatSetting(const SettingRule& rule, std::string_view value);

// The limits a saved file must keep besides its lists: a port from 1 to 65535, and the
// registration content in at most 40 GBK bytes, as the Advanced Parameters dialog allows.
// Empty when the setting keeps them, else the reason.
std::string CheckSettingLimits(const Setting& setting);

inline constexpr std::size_t kMaxRegisterDataBytes = 40;

}  // namespace qk
