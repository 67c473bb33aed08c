#include "Termios2.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace qk {

OtherSpeed BuildOtherSpeed(std::uint32_t currentCflag, std::uint32_t baud) {
    OtherSpeed speed;
    speed.cflag = currentCflag & ~static_cast<std::uint32_t>(CBAUD | CIBAUD);
    speed.cflag |= BOTHER | (BOTHER << IBSHIFT);
    speed.ispeed = baud;
    speed.ospeed = baud;
    return speed;
}

int SetOtherSpeed(int fd, std::uint32_t baud) {
    termios2 line{};
    if (ioctl(fd, TCGETS2, &line) != 0) {
        return errno;
    }
    const OtherSpeed speed = BuildOtherSpeed(line.c_cflag, baud);
    line.c_cflag = speed.cflag;
    line.c_ispeed = speed.ispeed;
    line.c_ospeed = speed.ospeed;
    if (ioctl(fd, TCSETS2, &line) != 0) {
        return errno;
    }
    return 0;
}

std::optional<std::uint32_t> ReadLineSpeed(int fd) {
    termios2 line{};
    if (ioctl(fd, TCGETS2, &line) != 0) {
        return std::nullopt;
    }
    return line.c_ospeed;
}

static_assert(sizeof(termios2) <= sizeof(LineSnapshot::bytes));

std::optional<LineSnapshot> SaveLineSettings(int fd) {
    termios2 line{};
    if (ioctl(fd, TCGETS2, &line) != 0) {
        return std::nullopt;
    }
    LineSnapshot snapshot;
    std::memcpy(snapshot.bytes.data(), &line, sizeof line);
    return snapshot;
}

int RestoreLineSettings(int fd, const LineSnapshot& snapshot) {
    termios2 line{};
    std::memcpy(&line, snapshot.bytes.data(), sizeof line);
    return ioctl(fd, TCSETS2, &line) == 0 ? 0 : errno;
}

}  // namespace qk
