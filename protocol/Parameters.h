#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "CommandTable.h"
#include "DeviceState.h"
#include "ValueLists.h"

namespace qk {

// Which command sequence asks for a parameter and sets it, and so which pauses it gets.
enum class ParameterGroup {
    Basic,      // Get Param.'s first group (200 ms), Set Param. (300 ms)
    Advanced,   // Get Param.'s second group (100 ms), Adv Param.'s Set (200 ms)
    Unqueried,  // kept when the device reports it; never asked for, shown or sent
};

enum class ValueKind {
    Report,     // reported, never set: status, identity, versions, and the unqueried ones
    Text,       // a free text, sent as stored
    Port,       // a port number from 1 to 65535 in decimal, sent as stored
    ListText,   // an entry of its list, sent as the entry's text
    ListDigit,  // an entry of its list, sent as one character: digitBase plus its position
};

enum class JsonType { String, Number };

// Where the record keeps a parameter: exactly one member is set, or none for the status
// and version answers, which the record keeps only as status-bar texts.
struct RecordField {
    std::string DeviceState::*text = nullptr;
    std::string AdvancedParams::*advancedText = nullptr;
    int DeviceState::*position = nullptr;            // a list position, found by the list search
    int AdvancedParams::*advancedInteger = nullptr;  // the answer's decimal value
};

// Everything the tool knows about one parameter. Every front end reads this table: the
// parser's dispatch, the controller's query and set sequences, profiles, the command line's
// names, validation and JSON types.
struct Parameter {
    ParameterId id;
    std::string_view name;       // in set, profiles and JSON output
    std::string_view caption;    // how the window's messages name it
    std::string_view answerKey;  // REGEN for the switch set with EN_ENROL
    CommandId command;           // asks for it and, when it is settable, sets it
    ParameterGroup group;
    ValueKind kind;
    ValueList list = {};       // ListText, ListDigit
    ValueList aliases = {};    // other names of the list's entries, position for position
    char digitBase = '\0';     // ListDigit: the device counts heartbeats from '1'
    std::size_t maxBytes = 0;  // Text: the most an operator may enter, in GBK bytes
    JsonType json = JsonType::String;
    RecordField field = {};

    bool settable() const { return kind != ValueKind::Report; }
    bool queried() const { return group != ParameterGroup::Unqueried; }
};

// In ParameterId order.
std::span<const Parameter> Parameters();
const Parameter& ParameterOf(ParameterId id);
const Parameter* FindParameterByName(std::string_view name);
const Parameter* FindParameterByAnswerKey(std::string_view key);
// Get Param.'s queries, in the order it sends them.
std::vector<const Parameter*> QueriedParameters();
// What an operator sets, in the order Set Param. and Adv Param. send them.
std::vector<const Parameter*> SettableParameters();
// "deviceBaud, destAddress, ..." for help and error texts.
std::string SettableNames();

// The position of the list entry `text` names, in any letter case, by the entry or by its
// other name ("e", "even" for "E"); -1 when it names none.
int ListPosition(const Parameter& parameter, std::string_view text);

// A parameter with the bytes a set command carries for it, which are also what the device
// reports once it holds the value ("2" for the heartbeat "45s").
struct Setting {
    const Parameter* parameter;
    std::string value;
};

// Why `bytes` cannot go out in a set command at all: a line break or zero byte would end
// the command early and put the rest on the wire as a command of its own. Empty when it can.
std::string WireProblem(std::string_view bytes);

// Why `bytes` lies outside what an operator may give the parameter, as a clause that follows
// its name ("must be one of 30s, 45s, 60s", "must be a port from 1 to 65535", "is 42 bytes
// in GBK, at most 40"); empty when within. Such a value
// is still written back where the device itself reported exactly it (AcceptedBack), so that
// what a device holds can always be saved and applied to it again.
std::string LimitProblem(const Parameter& parameter, std::string_view bytes);

// True when `bytes` is, byte for byte, what the device reported for the parameter.
bool AcceptedBack(const Parameter& parameter, std::string_view bytes,
                  const ReportedValues& reported);

// The bytes Set Param. and Adv Param. send for the parameter from the record; nullopt,
// with `why` ("no entry chosen", "not in the list", ...), when the record holds nothing
// that may be sent, or when the device's last answer for it came cut short, so that what
// the record holds is not what the device holds. The heartbeat goes out as '1' plus the field,
// whichever encoding it holds, as the window has always sent it.
std::optional<std::string> SendableValue(const Parameter& parameter, const DeviceState& state,
                                         std::string& why);

}  // namespace qk
