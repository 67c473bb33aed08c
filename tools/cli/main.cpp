// qk4410-cli: reads and writes a QK4410/QK4520 data terminal's parameters from a shell.
#include <iostream>

#include "CliOptions.h"
#include "CliSession.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    const auto options = qk::cli::ParseCommandLine(arguments, error);
    if (!options) {
        std::cerr << "qk4410-cli: " << error << "\nTry 'qk4410-cli --help'.\n";
        return qk::cli::kUsageError;
    }
    if (options->command == qk::cli::Command::Help) {
        std::cout << qk::cli::kUsage;
        return qk::cli::kSuccess;
    }
    return qk::cli::RunSession(*options, std::cout, std::cerr);
}
