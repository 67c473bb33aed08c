#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qk::tools {

// What completes a value in a shell: nothing, a file or folder, a serial port (those
// `qk4410-cli ports` lists, and paths), a COM number or N=PORT, or the given words.
enum class ValueCompletion { None, File, Folder, Port, ComPin, Words };

// One option of a program: what the parser, --help and the shell completion all read.
struct OptionSpec {
    int id;                      // what the program gets back
    std::string_view longName;   // "port" for --port
    char shortName = '\0';       // 'p' for -p; '\0' for none
    std::string_view valueName;  // "PATH"; empty for a flag
    std::string_view help;       // one line for --help
    ValueCompletion completion = ValueCompletion::None;
    std::string_view words = {};  // Words: the values a shell offers, blank-separated

    bool takesValue() const { return !valueName.empty(); }
};

struct ParsedOption {
    const OptionSpec* spec;
    std::string value;    // empty for a flag
    std::string written;  // as the user wrote it, for messages: "--baud" or "-b"
};

struct ParsedArguments {
    std::vector<ParsedOption> options;  // in the order given
    std::vector<std::string> operands;  // what is not an option, in order
    std::string error;                  // the first problem; empty when there is none
    bool ok() const { return error.empty(); }
};

// getopt_long over `arguments` (without the program's name): "--opt value", "--opt=value",
// "-o value" and "-ovalue" alike, options anywhere among the operands, "--" ending them.
// Nothing is printed and no global state is left behind, so every rule can be checked
// in-process.
ParsedArguments ParseArguments(std::span<const OptionSpec> options,
                               const std::vector<std::string>& arguments);

// "  -p, --port PATH       a serial device" lines for --help, aligned.
std::string OptionHelp(std::span<const OptionSpec> options);

}  // namespace qk::tools
