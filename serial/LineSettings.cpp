#include "LineSettings.h"

#include <array>
#include <utility>

namespace qk {
namespace {

constexpr std::array<std::pair<std::uint32_t, speed_t>, 30> kStandardSpeeds = {{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

std::optional<tcflag_t> CharacterSize(int dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        case 8:
            return CS8;
        default:
            return std::nullopt;
    }
}

}  // namespace

termios MakeRawLine(const termios& current) {
    termios raw = current;
    raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | IMAXBEL);
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CRTSCTS);
    raw.c_cflag |= CS8 | CLOCAL | CREAD;
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    return raw;
}

std::optional<speed_t> StandardSpeed(std::uint32_t baud) {
    for (const auto& [rate, code] : kStandardSpeeds) {
        if (rate == baud) {
            return code;
        }
    }
    return std::nullopt;
}

std::optional<LineSettings> BuildTermios(const termios& current, std::uint32_t baud, int dataBits,
                                         int stopBitsCode, int parityCode, std::string& error) {
    const auto size = CharacterSize(dataBits);
    if (baud == 0) {
        error = "0 baud is not a rate (it would hang up the line)";
        return std::nullopt;
    }
    if (!size) {
        error = std::to_string(dataBits) + " data bits are not possible (5 to 8)";
        return std::nullopt;
    }
    if (stopBitsCode < 0 || stopBitsCode > 2) {
        error = "stop-bits code " + std::to_string(stopBitsCode) + " is unknown (0, 1 or 2)";
        return std::nullopt;
    }
    if (parityCode < 0 || parityCode > 2) {
        error = "parity code " + std::to_string(parityCode) + " is unknown (0 none, 1 odd, 2 even)";
        return std::nullopt;
    }

    LineSettings settings;
    settings.baud = baud;
    termios& t = settings.attributes;
    t = current;

    if (const auto speed = StandardSpeed(baud)) {
        cfsetispeed(&t, *speed);
        cfsetospeed(&t, *speed);
        // A rate set through termios2 earlier may have left an input rate in CIBAUD;
        // cleared, the input follows the output rate.
        t.c_cflag &= ~static_cast<tcflag_t>(CIBAUD);
    } else {
        settings.needsOtherSpeed = true;
    }

    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR);
    t.c_cflag |= *size;
    if (stopBitsCode != 0) {
        t.c_cflag |= CSTOPB;
    }
    if (parityCode == 1) {
        t.c_cflag |= PARENB | PARODD;
    } else if (parityCode == 2) {
        t.c_cflag |= PARENB;
    }
    if (parityCode != 0) {
        t.c_iflag |= INPCK;
    } else {
        t.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    }
    return settings;
}

}  // namespace qk
