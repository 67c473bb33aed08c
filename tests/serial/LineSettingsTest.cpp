#include <gtest/gtest.h>

#include <optional>

#include "LineSettings.h"

namespace qk {
namespace {

// A terminal as a login shell leaves it: cooked, echoing, translating, with flow control.
termios CookedLine() {
    termios t{};
    t.c_iflag = ICRNL | IXON | IXOFF | IXANY | ISTRIP | INLCR | IGNCR | BRKINT | PARMRK | IMAXBEL;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN;
    t.c_cflag = CS7 | PARENB | CRTSCTS | HUPCL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    t.c_cc[VINTR] = 3;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    return t;
}

LineSettings Build(const termios& current, std::uint32_t baud, int dataBits, int stopBits,
                   int parity) {
    std::string error;
    const auto settings = BuildTermios(current, baud, dataBits, stopBits, parity, error);
    EXPECT_TRUE(settings.has_value()) << error;
    return settings.value_or(LineSettings{});
}

TEST(LineSettings, RawLineIsEightBitTransparent) {
    const termios raw = MakeRawLine(CookedLine());
    EXPECT_EQ(raw.c_iflag, 0u);
    EXPECT_EQ(raw.c_oflag & OPOST, 0u);
    EXPECT_EQ(raw.c_lflag, 0u);
    EXPECT_EQ(raw.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(raw.c_cflag & (PARENB | CRTSCTS), 0u);
    EXPECT_EQ(raw.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(raw.c_cc[VMIN], 0);
    EXPECT_EQ(raw.c_cc[VTIME], 0);
    // Not ours to change: the hang-up on close, the speed, the control characters.
    EXPECT_NE(raw.c_cflag & HUPCL, 0u);
    EXPECT_EQ(cfgetospeed(&raw), static_cast<speed_t>(B9600));
    EXPECT_EQ(raw.c_cc[VINTR], 3);
}

TEST(LineSettings, ParityCodesSetParityAndItsCheck) {
    struct Case {
        int code;
        tcflag_t cflag;  // of PARENB | PARODD
        bool check;
    };
    for (const Case c :
         {Case{0, 0, false}, Case{1, PARENB | PARODD, true}, Case{2, PARENB, true}}) {
        for (const tcflag_t before : {tcflag_t{0}, tcflag_t{PARENB | PARODD | CMSPAR}}) {
            termios current = MakeRawLine(CookedLine());
            current.c_cflag |= before;
            current.c_iflag |= before != 0 ? INPCK : 0;
            const termios t = Build(current, 9600, 8, 0, c.code).attributes;
            SCOPED_TRACE(testing::Message() << "parity " << c.code << " from " << before);
            EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.cflag);
            EXPECT_EQ((t.c_iflag & INPCK) != 0, c.check);
        }
    }
}

TEST(LineSettings, DataBitsAndStopBits) {
    const std::pair<int, tcflag_t> sizes[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};
    for (const auto& [bits, size] : sizes) {
        EXPECT_EQ(Build(CookedLine(), 9600, bits, 0, 0).attributes.c_cflag & CSIZE, size) << bits;
    }
    termios twoStopBits = CookedLine();
    twoStopBits.c_cflag |= CSTOPB;
    EXPECT_EQ(Build(twoStopBits, 9600, 8, 0, 0).attributes.c_cflag & CSTOPB, 0u);
    // One and a half and two stop bits both come out as CSTOPB, the nearest Linux has.
    EXPECT_NE(Build(CookedLine(), 9600, 5, 1, 0).attributes.c_cflag & CSTOPB, 0u);
    EXPECT_NE(Build(CookedLine(), 9600, 8, 2, 0).attributes.c_cflag & CSTOPB, 0u);
}

TEST(LineSettings, EveryRateOfTheList) {
    struct Case {
        std::uint32_t baud;
        std::optional<speed_t> code;
    };
    const Case cases[] = {
        {1200, B1200},     {2400, B2400},         {4800, B4800},         {7200, std::nullopt},
        {9600, B9600},     {14400, std::nullopt}, {19200, B19200},       {28800, std::nullopt},
        {38400, B38400},   {57600, B57600},       {76800, std::nullopt}, {115200, B115200},
        {230400, B230400}, {460800, B460800},
    };
    termios current = CookedLine();
    current.c_cflag |= CIBAUD;  // an input rate left behind by an earlier termios2 rate
    for (const Case& c : cases) {
        SCOPED_TRACE(c.baud);
        EXPECT_EQ(StandardSpeed(c.baud), c.code);
        const LineSettings settings = Build(current, c.baud, 8, 0, 0);
        EXPECT_EQ(settings.baud, c.baud);
        EXPECT_EQ(settings.needsOtherSpeed, !c.code.has_value());
        if (c.code) {
            EXPECT_EQ(cfgetospeed(&settings.attributes), *c.code);
            EXPECT_EQ(cfgetispeed(&settings.attributes), *c.code);
            EXPECT_EQ(settings.attributes.c_cflag & CIBAUD, 0u);
        } else {
            // Left for termios2; the B constant in the flags stays as it was.
            EXPECT_EQ(settings.attributes.c_cflag & CBAUD, current.c_cflag & CBAUD);
        }
    }
}

TEST(LineSettings, EverythingElseStaysAsTheDeviceHadIt) {
    const termios current = CookedLine();
    const termios t = Build(current, 115200, 7, 0, 2).attributes;
    EXPECT_EQ(t.c_iflag & ~static_cast<tcflag_t>(INPCK), current.c_iflag);
    EXPECT_EQ(t.c_oflag, current.c_oflag);
    EXPECT_EQ(t.c_lflag, current.c_lflag);
    const tcflag_t ours = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CBAUD | CIBAUD;
    EXPECT_EQ(t.c_cflag & ~ours, current.c_cflag & ~ours);
    for (std::size_t i = 0; i < NCCS; ++i) {
        EXPECT_EQ(t.c_cc[i], current.c_cc[i]) << i;
    }
}

TEST(LineSettings, RefusesWhatNoLineCanTake) {
    struct Case {
        std::uint32_t baud;
        int dataBits, stopBits, parity;
        const char* reason;
    };
    const Case cases[] = {
        {0, 8, 0, 0, "hang up"},    {9600, 4, 0, 0, "data bits"}, {9600, 9, 0, 0, "data bits"},
        {9600, 8, 3, 0, "stop"},    {9600, 8, -1, 0, "stop"},     {9600, 8, 0, 3, "parity"},
        {9600, 8, 0, -1, "parity"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(BuildTermios(CookedLine(), c.baud, c.dataBits, c.stopBits, c.parity, error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace qk
