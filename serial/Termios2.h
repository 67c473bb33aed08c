#pragma once

#include <cstdint>
#include <optional>

#include "LineSnapshot.h"

// Deliberately no <termios.h> here: the kernel's <asm/termbits.h>, which Termios2.cpp
// needs, defines the same names, so the two never meet in one file.

namespace qk {

// The kernel's termios2 interface, for the rates that have no B constant (7200, 14400,
// 28800, 76800 ...). Only the speed is handled here; the flags stay with LineSettings.
struct OtherSpeed {
    std::uint32_t cflag = 0;
    std::uint32_t ispeed = 0;
    std::uint32_t ospeed = 0;
};

// Pure: the c_cflag, c_ispeed and c_ospeed of a termios2 asking for `baud` on output and
// input (BOTHER in CBAUD and in CIBAUD); every other bit of `currentCflag` stays.
OtherSpeed BuildOtherSpeed(std::uint32_t currentCflag, std::uint32_t baud);

// Sets `baud` on the line through TCGETS2 / TCSETS2; returns 0 or the errno.
int SetOtherSpeed(int fd, std::uint32_t baud);

// The output rate the line has now, in bits per second, whatever way it was set.
std::optional<std::uint32_t> ReadLineSpeed(int fd);

// The whole line setting as the kernel holds it, speeds included (a rate without a B
// constant survives only in termios2), so a line can be handed back exactly as it was
// found: a terminal program's tty, or an adapter another program configured. Taken
// through TCGETS2; nullopt when the line refuses.
std::optional<LineSnapshot> SaveLineSettings(int fd);
// Puts it back through TCSETS2; returns 0 or the errno.
int RestoreLineSettings(int fd, const LineSnapshot& snapshot);

}  // namespace qk
