#pragma once

#include <optional>
#include <string>
#include <vector>

#include "DeviceAssignments.h"
#include "PortDirectory.h"

namespace qk::cli {

enum class Command { Get, Set, Save, Diff, Apply, Ports, Scan, Help, Version };

// One device to talk to: a path given with --port, or a COM number with --com.
struct Target {
    std::string path;  // empty: the COM number's path in the port directory
    int comNumber = 1;
};

// The command line, checked. Serial settings are list positions, as the window's lists
// give them.
struct CliOptions {
    Command command = Command::Help;
    std::vector<PortDirectory::Entry> pins;  // --com N=PATH
    std::vector<Target> targets;             // in the order given; COM1 when none is
    bool targetsGiven = false;               // false: targets holds the default COM1
    int baudIndex = 4;                       // 9600
    int dataBitsIndex = 3;                   // 8
    int parityIndex = 0;                     // N
    std::string loginKey = "358024";
    bool json = false;
    bool showLog = false;
    std::string logFolder;  // --log: where each device's conversation is written
    int settleMs = 1000;
    int handshakeAttempts = 80;
    DeviceAssignments assignments;  // for set
    std::string file;               // for save, diff and apply; "-" is standard output
};

// Parses argv; on a usage error returns nullopt and sets `error` to a one-line reason.
std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& arguments,
                                           std::string& error);

extern const char* const kUsage;

}  // namespace qk::cli
