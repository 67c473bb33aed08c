#pragma once

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

}  // namespace qk
