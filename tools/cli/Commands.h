#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "CliOptions.h"
#include "DeviceSession.h"
#include "Journal.h"
#include "JsonOutput.h"
#include "Profile.h"
#include "StoppablePacer.h"

namespace qk::cli {

// The outcome of the command on one device: what a run on it alone prints, and how it is
// headed among several.
struct DeviceResult {
    int status = 0;
    std::string port;                    // as given, the system's bytes
    std::string id;                      // the device's ID answer (GBK); empty when it gave none
    std::string outcome;                 // "ok", "differs" or "failed"
    std::string reason;                  // UTF-8
    std::string text;                    // what the command prints for this device without --json
    std::string profile;                 // save: the profile to write
    Json members = Json::object();       // the command's own members of its JSON line
    std::vector<std::string> inventory;  // get, save --csv: the device's row; empty: none

    // "PORT ID ok", "PORT ID failed: why".
    std::string Line() const;
    // {"schema":2,"command":..,"port":..,"id":..,"result":..,"reason":..,"lineSettings":..,
    // and the members}.
    Json JsonObject(Command command) const;
};

// What apply (and undo) does with one device, decided once the device has said its ID.
struct DeviceWork {
    std::optional<ProfileContents> profile;  // nullopt: the device is left untouched
    std::string reason;                      // why it is left untouched
    int status = 0;                          // the device's exit status then
};

// Where apply's values for each device come from: a profile, a --values row, the journal.
class ApplySource {
  public:
    virtual ~ApplySource() = default;
    virtual DeviceWork For(std::string_view gbkId) const = 0;
};

// What a command works from besides the device.
struct CommandInputs {
    const ProfileContents* profile = nullptr;  // diff: the checked file
    const ApplySource* source = nullptr;       // apply, undo
    Journal* journal = nullptr;                // set, apply, undo; nullptr: not recorded
};

// Runs get, set, save, diff, apply or undo on one device.
DeviceResult RunCommand(const CliOptions& options, const CommandInputs& inputs,
                        DeviceSession& session, const StoppablePacer& pacer);

}  // namespace qk::cli
