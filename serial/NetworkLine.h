#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "Line.h"
#include "NetworkAddress.h"

namespace qk {

// How long a connection may go without the server acknowledging what was sent before it
// counts as lost (the server lost power, the network between is cut); keepalive probes
// find the same on an idle connection within about as long after kKeepAliveIdle.
inline constexpr std::chrono::seconds kUnacknowledgedLimit{5};
inline constexpr std::chrono::seconds kKeepAliveIdle{5};

// A serial port served over the network, through gensio, the library ser2net is built on.
// rfc2217:// sets the server's UART to the rate, data bits, stop bits and parity asked for
// (RFC 2217's COM-PORT-OPTION) and waits for the server to confirm each; tcp:// carries the
// bytes as they are, the line running as the server has it (Remark() says so).
//
// Every fault of the network is a fault of the line: a name that cannot be looked up, a
// connection refused or not made within `connectTimeout`, a server that will not set the
// line, a connection closed, reset or gone silent. Each is told with the server's name;
// bytes received before the end are read first.
std::unique_ptr<Line> OpenNetworkLine(const NetworkAddress& address,
                                      std::chrono::milliseconds connectTimeout,
                                      std::string& failure);

}  // namespace qk
