#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ArgumentParser.h"

namespace qk::tools {

// What a program's bash completion offers, all of it from the tables the program itself
// parses with, so that the two cannot drift apart.
struct CompletionSpec {
    std::string_view program;  // "qk4410-cli"
    std::span<const OptionSpec> options;
    std::vector<std::string> commands;      // the first operand; none for programs without
    std::vector<std::string> fileCommands;  // commands whose operand is a file
    // A command whose operands are NAME=VALUE ("set"), with each name's values (blank-
    // separated; empty for a free text).
    std::string assignmentCommand;
    std::vector<std::pair<std::string, std::string>> assignments;
};

// A bash completion script for `complete -F`, falling back to bash's own (-o default) where
// it offers nothing.
std::string BashCompletion(const CompletionSpec& spec);

}  // namespace qk::tools
