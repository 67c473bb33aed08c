#pragma once

#include <ostream>

#include "CliOptions.h"
#include "ExitStatus.h"
#include "StopSignals.h"

namespace qk::cli {

// One run of the command line: for each device, builds the record, the port, the receive
// loop and the controller as the window does, runs the command, closes the port, and only
// then prints what the device reported to `out`; problems go to `err`. Several devices
// run at once, each on its own thread, and print one result line each, in the order
// given; the status is then the first failing device's. `stop`, when given, ends the run
// early after the command in flight.
int RunSession(const CliOptions& options, std::ostream& out, std::ostream& err,
               const StopSignals* stop = nullptr);

}  // namespace qk::cli
