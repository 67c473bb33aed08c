#pragma once

#include <memory>
#include <string>

#include "Line.h"

namespace qk {

// A local serial device through termios: opened for this program alone (flock and
// TIOCEXCL), made raw, and put back as it was found when it is let go. nullptr, with why in
// `failure`, when it cannot be opened; `portMapping` is named when the device is missing.
std::unique_ptr<Line> OpenTtyLine(const std::string& path, const std::string& portMapping,
                                  std::string& failure);

}  // namespace qk
