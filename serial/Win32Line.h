#pragma once

#include <windows.h>

#include <cstdint>

namespace qk {

// The line settings of an Open or SetState in a DCB: the rate, the data bits, the stop
// bits, the parity, and the parity check on exactly when there is parity. Every other
// member keeps what the port had. Pure, so tests can check it without a port.
DCB BuildDcb(const DCB& current, std::uint32_t baud, int dataBits, int stopBitsCode,
             int parityCode);

// Reads that return at once with what has arrived (m = 0), or wait up to m * n + m ms;
// writes allowed 100 ms per byte plus 500 ms.
COMMTIMEOUTS BuildTimeouts(unsigned readMilliseconds);

}  // namespace qk
