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
                const int parities[] = {NOPARITY, ODDPARITY, EVENPARITY};
                EXPECT_EQ(
                    std::tuple(dcb.BaudRate, dcb.ByteSize, dcb.StopBits, dcb.Parity, dcb.fParity,
                               dcb.DCBlength),
                    std::tuple(DWORD{baud}, BYTE(dataBits), BYTE{ONESTOPBIT},
                               BYTE(parities[parity]), DWORD{parity != 0}, DWORD{sizeof(DCB)}));
                EXPECT_TRUE(dcb.fOutxCtsFlow && dcb.XonChar == 0x11);
            }
        }
    }
}

TEST(Win32LineTest, ReadsReturnAtOnceAndWritesHaveTheirDeadline) {
    const auto fields = [](const COMMTIMEOUTS& t) {
        return std::vector<DWORD>{t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier,
                                  t.ReadTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier,
                                  t.WriteTotalTimeoutConstant};
    };
    EXPECT_EQ(fields(BuildTimeouts(0)), (std::vector<DWORD>{MAXDWORD, 0, 0, 100, 500}));
    EXPECT_EQ(fields(BuildTimeouts(50)), (std::vector<DWORD>{0, 50, 50, 100, 500}));
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
