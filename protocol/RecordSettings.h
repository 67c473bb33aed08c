#pragma once

#include <vector>

#include "DeviceState.h"
#include "Parameters.h"

namespace qk {

// The window's record as settings and settings into the record: what Save Profile and
// Load Profile exchange.

// Each list with a choice, and every text as it stands (an empty one too), in send order.
// A text that cannot go out in a command (a line break) is left out.
std::vector<Setting> SettingsFromRecord(const DeviceState& state);

// Puts the settings into the record the way the window's edits and the Advanced
// Parameters dialog would put the same choices; the record's other fields stay as they are.
void StoreSettings(const std::vector<Setting>& settings, DeviceState& state);

}  // namespace qk
