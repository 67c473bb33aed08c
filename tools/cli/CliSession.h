#pragma once

#include <ostream>

#include "CliOptions.h"

namespace qk::cli {

enum ExitStatus { kSuccess = 0, kUsageError = 1, kNoDevice = 2, kRefused = 3 };

// One run of the command line: builds the record, the port, the receive loop and the
// controller exactly as the window does, runs `get`, `set` or `ports`, and prints.
int RunSession(const CliOptions& options, std::ostream& out, std::ostream& err);

}  // namespace qk::cli
