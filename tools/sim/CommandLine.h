#pragma once

#include <span>
#include <string>
#include <string_view>

#include "ArgumentParser.h"
#include "SimOptions.h"

namespace qk::sim {

// The settings of the qk4410-sim program, read from its arguments. Parsing is all it does:
// no file is touched and nothing is printed, so every rule can be checked in-process.
struct CommandLine {
    SimOptions options;
    std::string linkPath;  // empty: no symlink
    bool verbose = false;
    bool help = false;
    bool version = false;
};

struct CommandLineResult {
    CommandLine settings;
    std::string error;  // empty when the arguments were good
    bool ok() const { return error.empty(); }
};

// `arguments` without the program name. Options take their value as the next argument or
// after "=" (--latency 50, --latency=50). The first bad argument ends the parse with a
// message naming it.
CommandLineResult ParseCommandLine(std::span<const std::string_view> arguments);

std::string UsageText();
// The options, for the shell completion.
std::span<const tools::OptionSpec> CommandLineOptions();

}  // namespace qk::sim
