#pragma once

#include <string_view>

namespace qk {

// Where the serial port reports its two failures. The window shows a warning box, the
// command line prints to standard error. `message` is the fixed text the operator knows
// ("Open com failed!", "Write com failed"); `detail` names the cause (path, errno text,
// who holds the port, ...) and may be empty.
class SerialMessageSink {
public:
    virtual ~SerialMessageSink() = default;
    virtual void SerialError(std::string_view message, std::string_view detail) = 0;
};

inline constexpr std::string_view kOpenComFailed = "Open com failed!";
inline constexpr std::string_view kWriteComFailed = "Write com failed";

}  // namespace qk
