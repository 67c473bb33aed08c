#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ArgumentParser.h"
#include "DeviceAssignments.h"
#include "DeviceChanges.h"
#include "DeviceSession.h"
#include "PortDirectory.h"

namespace qk::cli {

enum class Command { Get, Set, Save, Diff, Apply, Undo, History, Ports, Scan, Help, Version };

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
    std::vector<Target> targets;             // --port and --com N, in the order given
    SessionSettings session;                 // line settings, key, settle time, attempts
    bool json = false;
    bool showLog = false;
    std::string logFolder;          // --log: where each device's conversation is written
    DeviceAssignments assignments;  // for set
    std::string file;               // for save, diff and apply; "-" is standard output
    bool force = false;             // save: replace a read-only file or another device's
    bool quiet = false;             // no progress on standard error
    std::string outputDir;          // save: one profile per device into this folder
    bool csv = false;               // get, save: an inventory; history: a row per value
    std::string valuesFile;         // apply: each device's own values
    bool allowMissing = false;      // apply --values: a device without a row is no failure
    JournalChoice journal;          // where set, apply and undo record their changes
    std::string deviceId;           // history, undo: the device, as written (UTF-8)
    std::string since;              // history: changes from then on, as the journal writes it
};

// Parses argv; on a usage error returns nullopt and sets `error` to a one-line reason.
std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& arguments,
                                           std::string& error);

// The options, for --help and the shell completion.
std::span<const tools::OptionSpec> CliOptionTable();

// The --help text.
std::string UsageText();

// The commands' names, as given on the command line, for the shell completion.
std::vector<std::string_view> CommandNames();

// Whether the command changes a device's settings.
bool Writes(Command command);

// The name a command is given by ("get"); "help" for Help and Version.
std::string_view CommandName(Command command);

}  // namespace qk::cli
