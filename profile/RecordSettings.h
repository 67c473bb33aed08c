#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "DeviceState.h"
#include "Settings.h"

namespace qk {

// The window's side of profiles: its record as settings, and settings into its record.

// What the record holds: each list with a choice, and every text (an empty one too).
std::vector<Setting> SettingsFromRecord(const DeviceState& state);

// Puts the settings into the record the way the window's edits and the Advanced
// Parameters dialog would put the same choices; the record's other fields stay.
void ApplySettings(const std::vector<Setting>& settings, DeviceState& state);

// The device's ID as its answer gave it (GBK), taken from the record's identity status
// text; empty when the device has not reported one.
std::string DeviceIdOfRecord(const DeviceState& state);

// The record as a profile: its settings, with the device's ID (when there is one) and the
// time of saving as comments, in the form qk4410-cli save gives them.
std::string ProfileOfRecord(const DeviceState& state, std::chrono::system_clock::time_point saved);

}  // namespace qk
