// Kept apart from the other tests: <asm/termbits.h> cannot share a file with <termios.h>.
#include <asm/termbits.h>
#include <gtest/gtest.h>

#include "Termios2.h"

TEST(Termios2, OtherSpeedAsksForTheRateBothWaysAndKeepsTheOtherFlags) {
    const std::uint32_t kept = CS7 | PARENB | CREAD | CLOCAL | HUPCL;
    for (const std::uint32_t baud : {7200u, 14400u, 28800u, 76800u}) {
        const qk::OtherSpeed speed = qk::BuildOtherSpeed(kept | B9600 | (B9600 << IBSHIFT), baud);
        EXPECT_EQ(std::tuple(speed.cflag, speed.ospeed, speed.ispeed),
                  std::tuple(kept | BOTHER | (BOTHER << IBSHIFT), baud, baud));
    }
}
