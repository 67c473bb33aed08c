#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "CommandTable.h"

namespace qk::cli {

// One value `set` was given, checked and encoded: the bytes that go out after "=" are also
// the bytes the device's own answer must hold for the value to count as taken.
struct Assignment {
    std::string name;       // as on the command line: "destPort"
    CommandId command;      // sets it, and queries it
    std::string answerKey;  // the key the device reports it under (REGEN for EN_ENROL)
    std::string value;      // sent, and expected back, byte for byte (GBK for texts)
    std::string shown;      // as the operator gave it, in UTF-8 ("UDP", "45s")
    bool basic;             // Set Param.'s group, else Adv Param.'s
};

// The values `set NAME=VALUE...` asks for, checked against the device's lists and
// converted to the device's GBK bytes.
class DeviceAssignments {
  public:
    // Adds one NAME=VALUE (UTF-8); false with `error` set when the name or value is bad. A
    // name given again replaces its earlier value.
    bool Add(std::string_view assignment, std::string& error);

    bool empty() const { return m_values.empty(); }
    // In the order the window's Set Param. and Adv Param. send them.
    const std::vector<Assignment>& InSendOrder() const { return m_values; }

    // "deviceBaud, destAddress, ..." for the help text.
    static std::string KnownNames();

  private:
    std::vector<Assignment> m_values;
};

}  // namespace qk::cli
