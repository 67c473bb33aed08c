#pragma once

#include <optional>
#include <string>
#include <vector>

#include "DeviceAssignments.h"
#include "PortDirectory.h"

namespace qk::cli {

enum class Command { Get, Set, Ports, Help };

// The command line, checked. Serial settings are list positions, as the window's lists
// give them.
struct CliOptions {
    Command command = Command::Help;
    std::vector<PortDirectory::Entry> pins;  // --com N=PATH, and --port PATH as COM1
    int comNumber = 1;
    int baudIndex = 4;      // 9600
    int dataBitsIndex = 3;  // 8
    int parityIndex = 0;    // N
    std::string loginKey = "358024";
    bool json = false;
    int settleMs = 1000;
    int handshakeAttempts = 80;
    DeviceAssignments assignments;  // for set
};

// Parses argv; on a usage error returns nullopt and sets `error` to a one-line reason.
std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& arguments,
                                           std::string& error);

extern const char* const kUsage;

}  // namespace qk::cli
