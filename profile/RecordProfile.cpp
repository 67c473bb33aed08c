#include "RecordProfile.h"

#include "DeviceText.h"
#include "Profile.h"
#include "RecordSettings.h"

namespace qk {

std::string ProfileOfRecord(const DeviceState& state, std::chrono::system_clock::time_point saved) {
    std::vector<std::string> comments;
    if (!state.deviceId.empty()) {
        comments.push_back("device ID: " + GbkToDisplay(state.deviceId));
    }
    comments.push_back(SavedComment(saved));
    return WriteProfile(SettingsFromRecord(state), comments);
}

}  // namespace qk
