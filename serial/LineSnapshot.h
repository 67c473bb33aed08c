#pragma once

#include <array>

namespace qk {

// A line's own settings as the system holds them (a termios2, a DCB), kept as bytes at
// open and put back at close, so the line goes back exactly as it was found.
struct LineSnapshot {
    alignas(8) std::array<unsigned char, 96> bytes{};
};

}  // namespace qk
