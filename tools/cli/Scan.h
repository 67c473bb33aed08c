#pragma once

#include <ostream>

#include "CliOptions.h"
#include "PortDirectory.h"
#include "StopSignals.h"

namespace qk::cli {

// `scan`: the search over ports the window's Find Device runs (DeviceSearch), on every
// port of the list or on those given, printed one line per port in the order of the list
// or of the options. 0 when a device answered anywhere, kNoDevice when none did.
int RunScan(const CliOptions& options, const PortDirectory& ports, std::ostream& out,
            std::ostream& err, const StopSignals* stop);

// `ports`: each COM number with its path and what the system says about the port.
void PrintPorts(const PortDirectory& ports, bool json, std::ostream& out);

}  // namespace qk::cli
