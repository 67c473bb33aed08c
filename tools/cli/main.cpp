// qk4410-cli: reads and writes a QK4410/QK4520 data terminal's parameters from a shell.
#include <csignal>
#include <iostream>

#include "CliOptions.h"
#include "CliSession.h"
#include "StandardStreams.h"
#include "StopSignals.h"

namespace {

// A run whose output is lost has not done its job, even if the device did.
int Finish(int status) {
    std::string error;
    if (!qk::cli::FlushStandardOutput(error)) {
        std::cerr << "qk4410-cli: cannot write the output: " << error << "\n";
        return status == qk::cli::kSuccess ? qk::cli::kOutputError : status;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    qk::cli::OpenMissingStandardStreams();
    qk::cli::UseUtf8Console();
#ifdef SIGPIPE
    // A reader that went away is an output error to report, not a reason to die with the
    // port still open.
    std::signal(SIGPIPE, SIG_IGN);
#endif

    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    const auto options = qk::cli::ParseCommandLine(arguments, error);
    if (!options) {
        std::cerr << "qk4410-cli: " << error << "\nTry 'qk4410-cli --help'.\n";
        return qk::cli::kUsageError;
    }
    if (options->command == qk::cli::Command::Help) {
        std::cout << qk::cli::UsageText();
        return Finish(qk::cli::kSuccess);
    }
    if (options->command == qk::cli::Command::Version) {
        std::cout << "qk4410-cli " << QK_VERSION << "\n";
        return Finish(qk::cli::kSuccess);
    }
    const qk::cli::StopSignals stop;
    return Finish(qk::cli::RunSession(*options, std::cout, std::cerr, &stop));
}
