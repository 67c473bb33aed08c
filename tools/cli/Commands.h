#pragma once

#include <string>

#include "CliOptions.h"
#include "DeviceSession.h"
#include "Json.h"
#include "Profile.h"

namespace qk::cli {

// The outcome of the command on one device: what a run on it alone prints, and its result
// line (or JSON line) among several.
struct DeviceResult {
    int status = 0;
    std::string port;
    std::string id = "-";
    std::string outcome;  // "ok", "differs" or "failed"
    std::string reason;
    std::string output;
    JsonObject json;

    // "PORT ID ok", "PORT ID failed: why".
    std::string Line() const;
    // {"port":..,"id":..,"result":..,"reason":.., and what the command adds}.
    std::string JsonLine() const;
};

// Runs get, set, save, diff or apply on one device. `profile` is the checked file of
// diff and apply.
DeviceResult RunCommand(const CliOptions& options, const ProfileContents* profile,
                        DeviceSession& session);

}  // namespace qk::cli
