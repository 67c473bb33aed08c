#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ValueLists.h"

namespace qk {

// Checks each value before it goes into a set command. A value that has no valid
// encoding is not sent; neither is a text holding CR, LF or a zero byte, which would end
// the command early and smuggle the rest onto the wire as further commands. What was
// left out is collected so that one message can name it all.
class CommandValues {
public:
    // The entry at `position` of `list`.
    std::optional<std::string> ListEntry(std::string_view field, ValueList list, int position);
    // A text that must equal one of the list's entries exactly ("N", "O", "E").
    std::optional<std::string> ListText(std::string_view field, ValueList list,
                                        std::string_view text);
    // One character, `base` + position, for a position inside the list.
    std::optional<std::string> Digit(std::string_view field, ValueList list, char base,
                                     int position);
    // A free text, sent as stored unless it holds a line break or a zero byte.
    std::optional<std::string> Text(std::string_view field, std::string_view text);

    bool AnyLeftOut() const { return !m_leftOut.empty(); }
    // "Not sent: Device Baud Rate (no entry chosen), DNS Server IP (holds a line break or
    // zero byte)."
    std::string Message() const;

private:
    void LeaveOut(std::string_view field, std::string_view reason);

    std::vector<std::string> m_leftOut;
};

}  // namespace qk
