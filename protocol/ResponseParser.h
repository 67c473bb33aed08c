#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "DeviceState.h"
#include "DeviceView.h"

namespace qk {

// Turns blocks of device answers ("+KEY:VALUE\r\n" lines) into changes of the record and
// calls on the view. Keeps nothing between blocks and never talks to the device.
class ResponseParser {
public:
    ResponseParser(DeviceState& state, DeviceView& view) : m_state(state), m_view(view) {}

    // Appends the block to the information log unchanged, then parses it.
    void HandleBlock(std::string_view block);

    // Dispatches answer lines until the text ends, a line does not start with "+", or the
    // rest has no line feed (an incomplete line is logged but not acted on: its value
    // would be cut short and overwrite a good one).
    void ParseLines(std::string_view text);

    void DispatchAnswer(std::string_view key, std::string_view value);

    // Called with every answer line the parse acts on, as the device sent it, so a front
    // end can tell which parameters the device reported, and with what, apart from what
    // the record held before.
    using AnswerObserver = std::function<void(std::string_view key, std::string_view value)>;
    void SetAnswerObserver(AnswerObserver observer) { m_observer = std::move(observer); }

    // Status part 0 from a STAT value: "field strength:..  temperature:..℃  Voltage:..".
    static std::string FormatStat(std::string_view value);

private:
    DeviceState& m_state;
    DeviceView& m_view;
    AnswerObserver m_observer;
};

// Clamped substring: a start below 0 counts as 0, a negative length as 0, and whatever
// reaches past the end is cut there. Device text is never trusted to be well formed.
std::string_view Substring(std::string_view text, long start, long length);

// Field `index` (from 0) of a comma-separated list; empty past the last field.
std::string_view CommaField(std::string_view list, int index);

// The last `count` characters; empty for a negative count, everything when it is too big.
std::string_view LastCharacters(std::string_view text, long count);

// The decimal number at the start of a value, after optional white space and sign;
// 0 when there is none. Saturates at the integer range instead of overflowing.
int IntegerOf(std::string_view value);

}  // namespace qk
