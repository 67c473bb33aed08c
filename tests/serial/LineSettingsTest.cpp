#include <gtest/gtest.h>

#include "LineSettings.h"

namespace qk {
namespace {

// A terminal as a login shell leaves it: cooked, echoing, translating, with flow control,
// and an input rate left behind by an earlier termios2 rate.
termios CookedLine() {
    termios t{};
    t.c_iflag = ICRNL | IXON | ISTRIP | BRKINT;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ECHO | ICANON | ISIG;
    t.c_cflag = CS7 | PARENB | CRTSCTS | HUPCL | CIBAUD;
    t.c_cc[VMIN] = 1;
    cfsetospeed(&t, B9600);
    return t;
}

LineSettings Build(std::uint32_t baud, int dataBits, int stopBits, int parity,
                   const termios& current = CookedLine()) {
    std::string error;
    return BuildTermios(current, baud, dataBits, stopBits, parity, error).value_or(LineSettings{});
}

TEST(LineSettings, RawLineIsEightBitTransparent) {
    const termios raw = MakeRawLine(CookedLine());
    EXPECT_EQ(raw.c_iflag | raw.c_lflag | (raw.c_oflag & OPOST), 0u);
    EXPECT_EQ(raw.c_cc[VMIN] + raw.c_cc[VTIME], 0);  // reads return at once
    // The hang-up on close and the speed are not ours to change.
    EXPECT_EQ(raw.c_cflag & (CSIZE | PARENB | CRTSCTS | CLOCAL | CREAD | HUPCL),
              tcflag_t{CS8 | CLOCAL | CREAD | HUPCL});
    EXPECT_EQ(cfgetospeed(&raw), speed_t{B9600});
}

TEST(LineSettings, ParityDataBitsAndStopBitsChangeOnlyTheirFlags) {
    struct Case {
        int dataBits, stopBits, parity;
        tcflag_t cflag;  // of CSIZE | CSTOPB | PARENB | PARODD | CMSPAR
    };
    // Stop-bits code 1 (one and a half) gets CSTOPB too, the nearest Linux has.
    const Case cases[] = {{8, 0, 0, CS8},          {8, 0, 1, CS8 | PARENB | PARODD},
                          {7, 0, 2, CS7 | PARENB}, {6, 0, 0, CS6},
                          {5, 1, 0, CS5 | CSTOPB}, {8, 2, 2, CS8 | CSTOPB | PARENB}};
    const tcflag_t ours = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR;
    for (const tcflag_t before : {tcflag_t{0}, ours}) {
        termios current = CookedLine();
        current.c_cflag |= before;
        current.c_iflag |= before != 0 ? INPCK : 0;
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.dataBits << c.stopBits << c.parity << before);
            const termios t = Build(9600, c.dataBits, c.stopBits, c.parity, current).attributes;
            EXPECT_EQ(t.c_cflag & ours, c.cflag);
            EXPECT_EQ(t.c_cflag & ~(ours | CIBAUD), current.c_cflag & ~(ours | CIBAUD));
            EXPECT_EQ(t.c_iflag, (current.c_iflag & ~tcflag_t{INPCK}) | (c.parity ? INPCK : 0));
        }
    }
}

TEST(LineSettings, RatesWithAndWithoutATermiosConstant) {
    const std::pair<std::uint32_t, speed_t> cases[] = {
        {1200, B1200}, {7200, 0},  {9600, B9600},     {14400, 0},
        {28800, 0},    {76800, 0}, {115200, B115200}, {460800, B460800}};
    for (const auto& [baud, code] : cases) {
        SCOPED_TRACE(baud);
        const LineSettings settings = Build(baud, 8, 0, 0);
        // Without a B constant the rate is left for termios2 (BOTHER) and the flags keep the
        // current one; with one, the input rate follows the output rate again.
        EXPECT_EQ(settings.needsOtherSpeed, code == 0);
        EXPECT_EQ(cfgetospeed(&settings.attributes), code != 0 ? code : speed_t{B9600});
        EXPECT_EQ(settings.attributes.c_cflag & CIBAUD, code != 0 ? 0 : tcflag_t{CIBAUD});
    }
}

}  // namespace
}  // namespace qk
