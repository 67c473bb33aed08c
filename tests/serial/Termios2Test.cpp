// Kept apart from the other tests: <asm/termbits.h> cannot share a file with <termios.h>.
#include <asm/termbits.h>
#include <gtest/gtest.h>

#include "Termios2.h"

namespace qk {
namespace {

TEST(Termios2, OtherSpeedAsksForTheRateBothWays) {
    const std::uint32_t current =
        CS7 | PARENB | CREAD | CLOCAL | HUPCL | B9600 | (B9600 << IBSHIFT);
    const std::uint32_t kept = current & ~static_cast<std::uint32_t>(CBAUD | CIBAUD);
    for (const std::uint32_t baud : {7200u, 14400u, 28800u, 76800u, 250000u}) {
        SCOPED_TRACE(baud);
        const OtherSpeed speed = BuildOtherSpeed(current, baud);
        EXPECT_EQ(speed.cflag & CBAUD, static_cast<std::uint32_t>(BOTHER));
        EXPECT_EQ((speed.cflag & CIBAUD) >> IBSHIFT, static_cast<std::uint32_t>(BOTHER));
        EXPECT_EQ(speed.ospeed, baud);
        EXPECT_EQ(speed.ispeed, baud);
        EXPECT_EQ(speed.cflag & ~static_cast<std::uint32_t>(CBAUD | CIBAUD), kept);
    }
}

}  // namespace
}  // namespace qk
