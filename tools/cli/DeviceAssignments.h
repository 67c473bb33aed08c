#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Parameters.h"

namespace qk::cli {

// The values `set NAME=VALUE...` asks for, checked by the rules profiles are checked by and
// converted to the device's GBK bytes, in the order the window sends them. A value beyond
// the table's limits is refused: set writes whatever it is given.
class DeviceAssignments {
  public:
    // Adds one NAME=VALUE (UTF-8, escapes as in profiles); false with `error` set when the
    // name or value is bad. A name given again replaces its earlier value.
    bool Add(std::string_view assignment, std::string& error);

    bool empty() const { return m_settings.empty(); }
    const std::vector<Setting>& InSendOrder() const { return m_settings; }

  private:
    std::vector<Setting> m_settings;
};

}  // namespace qk::cli
