#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "DeviceState.h"
#include "Parameters.h"

namespace qk {

// Which of the settings a sequence was given went out, and which the port refused.
struct SettingsWritten {
    std::vector<ParameterId> written;
    std::vector<ParameterId> failed;
};

// Told of each change a window's button (Set Param., Adv Param.'s Set) makes to the
// device's settings, before anything is sent and when the sequence has ended, so that the
// change can be recorded. It does not decide what is sent.
class ChangeObserver {
  public:
    virtual ~ChangeObserver() = default;
    // `settings` are about to be sent, in order, to the device that reported what `state`
    // holds. False, with `why` for the operator, refuses the change: nothing is sent.
    virtual bool ChangeStarting(std::string_view command, const DeviceState& state,
                                const std::vector<Setting>& settings, std::string& why) = 0;
    // What went out; `lineLost` when the sequence ended early on a lost line.
    virtual void ChangeEnded(const SettingsWritten& outcome, bool lineLost) = 0;
};

}  // namespace qk
