#include "CommandValues.h"

namespace qk {

std::optional<std::string> CommandValues::Value(const Parameter& parameter,
                                                const DeviceState& state) {
    std::string why;
    auto value = SendableValue(parameter, state, why);
    if (!value) {
        LeaveOut(parameter.caption, why);
    }
    return value;
}

std::optional<std::string> CommandValues::Text(std::string_view caption, std::string_view text) {
    if (const std::string why = WireProblem(text); !why.empty()) {
        LeaveOut(caption, why);
        return std::nullopt;
    }
    return std::string(text);
}

void CommandValues::LeaveOut(std::string_view caption, std::string_view reason) {
    m_leftOut.push_back(std::string(caption) + " (" + std::string(reason) + ")");
}

std::string CommandValues::Message() const {
    std::string message = "Not sent: ";
    for (std::size_t i = 0; i < m_leftOut.size(); ++i) {
        message += (i == 0 ? "" : ", ") + m_leftOut[i];
    }
    return message + ".";
}

}  // namespace qk
