#pragma once

#include <ostream>

#include "CliOptions.h"

namespace qk::cli {

// qk4410-cli history: the journal's changes, oldest first, as text, JSON Lines (one object
// per change) or CSV (one row per value). Reads the journal only; a journal not made yet
// holds no change.
int RunHistory(const CliOptions& options, std::ostream& out, std::ostream& err);

}  // namespace qk::cli
