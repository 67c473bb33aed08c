#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "CliOptions.h"
#include "CliSession.h"
#include "SimulatedDevice.h"

namespace qk::cli {

// A command-line session in this process, with what it printed to each stream.
struct CliRun {
    int status;
    std::string out;
    std::string err;
};

// Runs the arguments with answers given 300 ms to arrive, enough for a simulated device.
inline CliRun RunCli(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--settle", "300"});
    std::string error;
    const auto options = ParseCommandLine(arguments, error);
    EXPECT_TRUE(options) << error;
    std::ostringstream out, err;
    const int status = options ? RunSession(*options, out, err) : kUsageError;
    return {status, out.str(), err.str()};
}

// The set commands the device received, the login left out.
inline std::vector<std::string> SetsReceived(const sim::SimulatedDevice& device) {
    std::vector<std::string> sets;
    std::ranges::copy_if(
        device.ReceivedCommands(), std::back_inserter(sets), [](const std::string& command) {
            return command.find('=') != std::string::npos && !command.starts_with("QK+LOGIN=");
        });
    return sets;
}

}  // namespace qk::cli
