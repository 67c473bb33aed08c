// The Windows port's settings, as pure values: what goes into the DCB and the timeouts.
#include <gtest/gtest.h>

#include "PortDirectory.h"
#include "ValueLists.h"
#include "Win32Line.h"

namespace qk {
namespace {

TEST(Win32LineTest, TheDcbTakesRateDataBitsParityAndTheCheckAndKeepsTheRest) {
    DCB current{};
    current.fOutxCtsFlow = TRUE;  // the port's own, kept
    current.XonChar = 0x11;
    for (const std::string_view rate : BaudRateList) {
        const auto baud = static_cast<std::uint32_t>(std::stoul(std::string(rate)));
        for (int dataBits = 5; dataBits <= 8; ++dataBits) {
            for (int parity = 0; parity <= 2; ++parity) {
                const DCB dcb = BuildDcb(current, baud, dataBits, 0, parity);
                EXPECT_EQ(dcb.BaudRate, baud);
                EXPECT_EQ(dcb.ByteSize, dataBits);
                EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
                EXPECT_EQ(dcb.Parity, parity == 0   ? NOPARITY
                                      : parity == 1 ? ODDPARITY
                                                    : EVENPARITY);
                EXPECT_EQ(dcb.fParity, parity != 0 ? 1u : 0u);
                EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
                EXPECT_TRUE(dcb.fOutxCtsFlow && dcb.XonChar == 0x11);
            }
        }
    }
}

TEST(Win32LineTest, ReadsReturnAtOnceAndWritesHaveTheirDeadline) {
    const COMMTIMEOUTS now = BuildTimeouts(0);
    EXPECT_EQ(now.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(now.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(now.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(now.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(now.WriteTotalTimeoutConstant, 500u);
    const COMMTIMEOUTS timed = BuildTimeouts(50);
    EXPECT_EQ(timed.ReadIntervalTimeout, 0u);
    EXPECT_EQ(timed.ReadTotalTimeoutMultiplier, 50u);
    EXPECT_EQ(timed.ReadTotalTimeoutConstant, 50u);
}

// COMn is the system's COMn, listed or not.
TEST(Win32LineTest, EveryComNumberStandsForItsOwnDevice) {
    const PortDirectory ports = PortDirectory::Discover();
    EXPECT_EQ(ports.Entries().size(), 14u);
    EXPECT_EQ(ports.PathFor(1), "\\\\.\\COM1");
    EXPECT_EQ(ports.PathFor(14), "\\\\.\\COM14");
}

}  // namespace
}  // namespace qk
