#pragma once

#include <termios.h>

#include <cstdint>
#include <optional>
#include <string>

namespace qk {

// The port's line settings as pure functions over `termios`, so that every flag can be
// checked without a device (a pseudo-terminal ignores data bits and parity). Applying them
// to a descriptor is the port's job, not this file's.
struct LineSettings {
    termios attributes{};
    std::uint32_t baud = 0;
    // The rate has no B constant on Linux (7200, 14400, 28800, 76800 among ours):
    // `attributes` keeps the current speed and the rate goes in afterwards through the
    // kernel's termios2 with BOTHER (see Termios2.h).
    bool needsOtherSpeed = false;
};

// An 8-bit transparent line: no echo, no canonical mode, no CR/LF translation, no
// software or hardware flow control, CLOCAL | CREAD, 8N1, reads return at once.
termios MakeRawLine(const termios& current);

// The B constant for a rate in bits per second; nullopt when Linux has none.
std::optional<speed_t> StandardSpeed(std::uint32_t baud);

// `current` with only the rate, data bits (5..8), stop bits, parity and the parity check
// changed. Stop-bits code 0 is one stop bit; codes 1 (one and a half) and 2 (two) both set
// CSTOPB, the nearest Linux has (a 16550 sends 1.5 stop bits with CSTOPB and 5 data bits).
// Parity code 0 none, 1 odd, 2 even; INPCK is on exactly when the parity code is not 0.
// Values the line cannot take (rate 0, which would hang up, other codes) give nullopt and
// a reason in `error`, and nothing is to be changed.
std::optional<LineSettings> BuildTermios(const termios& current, std::uint32_t baud, int dataBits,
                                         int stopBitsCode, int parityCode, std::string& error);

}  // namespace qk
