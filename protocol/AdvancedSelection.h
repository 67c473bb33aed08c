#pragma once

#include "DeviceState.h"

namespace qk {

// The five list choices of the advanced parameters, as zero-based positions in their
// value lists (-1: no entry chosen). The Advanced Parameters dialog fills its lists from
// this and stores it back; a loaded profile goes into the record through the same rules,
// so it shows, and is sent, as the same choices made in the dialog would be.
struct AdvancedSelection {
    int workMode = -1;      // WorkModeList
    int heartbeat = -1;     // HeartbeatList
    int dataBits = -1;      // DataBitsList
    int parity = -1;        // ParityList
    int registration = -1;  // SwitchList
};

// What the lists show for a record: list positions by index, heartbeat from the device's
// code (one higher) unless the record holds a stored position, data bits and parity by
// the list's text search ("o" shows "O"; an empty or unknown text shows nothing).
AdvancedSelection SelectionFromRecord(const AdvancedParams& record);

// Stores the choices: positions as they are (-1 for none), the heartbeat as a position
// (marked as such), data bits and parity as their list texts (empty for none).
void StoreSelection(const AdvancedSelection& selection, AdvancedParams& record);

}  // namespace qk
