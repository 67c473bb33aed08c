#pragma once

#include <string>
#include <string_view>

#include "DeviceState.h"
#include "DeviceView.h"

namespace qk {

struct Parameter;

// What the window shows when the device refuses the login key.
inline constexpr std::string_view kLoginFailed = "Login fail!";

// Turns blocks of device answers ("+KEY:VALUE\r\n" lines) into changes of the record and
// calls on the view. Keeps nothing between blocks and never talks to the device.
class ResponseParser {
  public:
    ResponseParser(DeviceState& state, DeviceView& view) : m_state(state), m_view(view) {}

    // Appends the block to the information log unchanged, then parses it.
    void HandleBlock(std::string_view block);

    // Dispatches answer lines until the text ends, a line does not start with "+", or the
    // rest has no line feed. A line that is not a whole "+KEY:VALUE\r\n" (one ending in a
    // line feed alone, say) is logged but not acted on: its value would be cut short or
    // empty and overwrite a good one.
    void ParseLines(std::string_view text);

    // Stores the value where the parameter table says the record keeps it, notes it as
    // reported, and shows what the window shows of it. Keys of no parameter change nothing.
    void DispatchAnswer(std::string_view key, std::string_view value);

    // Status part 0 from a STAT value: "field strength:..  temperature:..℃  Voltage:..".
    static std::string FormatStat(std::string_view value);

  private:
    void Store(const Parameter& parameter, std::string_view value);
    void Show(ParameterId id, std::string_view value);

    DeviceState& m_state;
    DeviceView& m_view;
};

// The STAT value's fields: "strength,temperature,voltage", or with a weak signal (below 10)
// one more field after the strength. The voltage is in hundredths ("330" for 3.30 V).
struct StatFields {
    std::string_view strength, temperature, voltage;
};
StatFields SplitStat(std::string_view value);

// The hardware and software versions inside a VER value, where they have always been read:
// four characters each, from positions 12 and 20; empty where the value is shorter.
struct VersionParts {
    std::string_view hardware, software;
};
VersionParts SplitVersion(std::string_view value);

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
