#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DeviceState.h"
#include "Parameters.h"

namespace qk {

// Checks each value before it goes into a set command, by the parameter table's rules
// (SendableValue): a value with no valid encoding is not sent, nor a text holding CR, LF
// or a zero byte, which would end the command early and smuggle the rest onto the wire as
// further commands. What was left out is collected so that one message can name it all.
class CommandValues {
  public:
    // The bytes the record holds for the parameter.
    std::optional<std::string> Value(const Parameter& parameter, const DeviceState& state);
    // A free text that is no parameter (the login key), sent as stored unless it holds a
    // line break or a zero byte.
    std::optional<std::string> Text(std::string_view caption, std::string_view text);

    bool AnyLeftOut() const { return !m_leftOut.empty(); }
    // "Not sent: Device Baud Rate (no entry chosen), DNS Server IP (holds a line break or
    // zero byte)."
    std::string Message() const;

  private:
    void LeaveOut(std::string_view caption, std::string_view reason);

    std::vector<std::string> m_leftOut;
};

}  // namespace qk
