#pragma once

#include <string>

#include "CliOptions.h"
#include "DeviceSession.h"
#include "JsonOutput.h"
#include "Profile.h"
#include "StoppablePacer.h"

namespace qk::cli {

// The outcome of the command on one device: what a run on it alone prints, and how it is
// headed among several.
struct DeviceResult {
    int status = 0;
    std::string port;               // as given, the system's bytes
    std::string id;                 // the device's ID answer (GBK); empty when it gave none
    std::string outcome;            // "ok", "differs" or "failed"
    std::string reason;             // UTF-8
    std::string text;               // what the command prints for this device without --json
    std::string profile;            // save: the profile to write
    Json members = Json::object();  // the command's own members of its JSON line

    // "PORT ID ok", "PORT ID failed: why".
    std::string Line() const;
    // {"schema":1,"command":..,"port":..,"id":..,"result":..,"reason":.., and the members}.
    Json JsonObject(Command command) const;
};

// Runs get, set, save, diff or apply on one device. `profile` is the checked file of
// diff and apply.
DeviceResult RunCommand(const CliOptions& options, const ProfileContents* profile,
                        DeviceSession& session, const StoppablePacer& pacer);

}  // namespace qk::cli
