#pragma once

#include <chrono>
#include <string>

#include "DeviceState.h"

namespace qk {

// The window's record as a profile: its settings (see SettingsFromRecord), with the
// device's ID (when it reported one) and the time of saving as comments, in the form
// qk4410-cli save gives them.
std::string ProfileOfRecord(const DeviceState& state, std::chrono::system_clock::time_point saved);

}  // namespace qk
