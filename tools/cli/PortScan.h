#pragma once

#include <ostream>

#include "CliOptions.h"
#include "PortDirectory.h"
#include "StopSignals.h"

namespace qk::cli {

// `scan`: looks for a device on each port at once, trying its line speeds (see
// DeviceScanner), and prints one line per port in the order of the port list or the
// --port options. 0 when a device answered anywhere, kNoDevice when none did.
int RunScan(const CliOptions& options, const PortDirectory& ports, std::ostream& out,
            std::ostream& err, const StopSignals* stop);

// `ports`: each COM number with its path and what the system says about the port.
void PrintPorts(const PortDirectory& ports, bool json, std::ostream& out);

}  // namespace qk::cli
