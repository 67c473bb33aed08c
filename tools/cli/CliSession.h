#pragma once

#include <ostream>

#include "CliOptions.h"
#include "StopSignals.h"

namespace qk::cli {

// The exit statuses; a run stopped by a signal exits with 128 plus its number.
enum ExitStatus {
    kSuccess = 0,
    kUsageError = 1,
    // The port cannot be opened, the device does not enter configuration mode, or the line
    // hung up during the run.
    kNoDevice = 2,
    // The login was refused or not answered, or a value of `set` is not confirmed by the
    // device's own answer.
    kRefused = 3,
    // `get`: the device did not report every parameter it was asked for.
    kIncomplete = 4,
    // The run succeeded, but its output could not be written.
    kOutputError = 5,
};

// One run of the command line: builds the record, the port, the receive loop and the
// controller as the window does, runs `get`, `set` or `ports`, closes the port, and only
// then prints what the device reported to `out`; problems go to `err` as they happen.
// `stop`, when given, ends the run early after the command in flight.
int RunSession(const CliOptions& options, std::ostream& out, std::ostream& err,
               const StopSignals* stop = nullptr);

}  // namespace qk::cli
