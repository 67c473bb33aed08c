// COM numbers for the ports the system has: a stable order, pins that win, and numbers that
// stay put while adapters come and go.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PortDirectory.h"
#include "SystemPorts.h"

namespace qk {
namespace {

PortIdentity Usb(const std::string& path, const std::string& byId = {}) {
    PortIdentity port;
    port.path = path;
    port.kind = PortIdentity::Kind::Usb;
    port.byId = byId;
    return port;
}

TEST(PortDirectoryTest, AdaptersFirstThenBuiltInPortsAtMostFourteen) {
    std::vector<PortIdentity> ports;
    for (const char* path : {"/dev/ttyS0", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyUSB2"}) {
        ports.push_back(Usb(path));
    }
    EXPECT_EQ(PortDirectory::FromPorts(ports).DescribeMapping(),
              "COM1=/dev/ttyUSB2, COM2=/dev/ttyUSB10, COM3=/dev/ttyACM0, COM4=/dev/ttyS0");
    for (int i = 20; i < 40; ++i) {
        ports.push_back(Usb("/dev/ttyUSB" + std::to_string(i)));
    }
    const PortDirectory full = PortDirectory::FromPorts(ports);
    EXPECT_EQ(full.Entries().size(), 14u);
    EXPECT_EQ(full.PathFor(14), "/dev/ttyUSB31");
}

TEST(PortDirectoryTest, PinsOverrideAndKeepNumbersInOrder) {
    PortDirectory ports = PortDirectory::FromPorts({Usb("/dev/ttyUSB0"), Usb("/dev/ttyUSB1")});
    for (const int number : {5, 2, 0, 15}) {  // 0 and 15 are no port numbers: ignored
        ports.Pin(number, "/dev/pts/" + std::to_string(number));
    }
    EXPECT_EQ(ports.DescribeMapping(),
              "COM1=/dev/ttyUSB0, COM2=/dev/pts/2 (pinned), COM5=/dev/pts/5 (pinned)");
    EXPECT_EQ(ports.Remove("/dev/pts/2"), 0);  // a pin stays whatever goes
}

// Plugging in and out renumbers nothing that stays; an adapter that comes back takes its
// old number again, which others avoid while it may still come back.
TEST(PortDirectoryTest, AdaptersKeepTheirNumbersWhileOthersComeAndGo) {
    PortDirectory ports =
        PortDirectory::FromPorts({Usb("/dev/ttyUSB0", "/by-id/a"), Usb("/dev/ttyUSB1", "/by-id/b"),
                                  Usb("/dev/ttyUSB2", "/by-id/c")});
    ports.Pin(5, "/dev/pts/9");
    EXPECT_EQ(ports.Remove("/dev/ttyUSB0"), 1);
    EXPECT_EQ(ports.Remove("/dev/ttyUSB1"), 2);
    EXPECT_EQ(ports.PathFor(3), "/dev/ttyUSB2");
    EXPECT_EQ(ports.Add(Usb("/dev/ttyUSB7", "/by-id/new")), 4);  // 1 and 2 are kept for a and b
    EXPECT_EQ(ports.Add(Usb("/dev/ttyUSB1", "/by-id/b")), 2);    // b again, on another node
    EXPECT_EQ(ports.Add(Usb("/dev/ttyUSB1", "/by-id/b")), 0);    // already there
    EXPECT_EQ(ports.Add(Usb("/dev/ttyUSB8")), 6);
    EXPECT_EQ(ports.DescribeMapping(),
              "COM2=/dev/ttyUSB1, COM3=/dev/ttyUSB2, COM4=/dev/ttyUSB7, COM5=/dev/pts/9 (pinned), "
              "COM6=/dev/ttyUSB8");
    // When nothing else is free, a number kept for an adapter that is away is given away.
    for (int i = 10; i < 19; ++i) {
        ports.Add(Usb("/dev/ttyUSB" + std::to_string(i)));
    }
    EXPECT_EQ(ports.PathFor(1), "/dev/ttyUSB18");
    EXPECT_EQ(ports.Add(Usb("/dev/ttyUSB0", "/by-id/a")), 0);  // all 14 taken
}

// Windows: COMn is the system's COMn, so an adapter that comes or goes changes only what
// the entry says of it. The events come from comparing two listings.
TEST(PortDirectoryTest, SystemNumbersStayAndOnlyTheirDescriptionFollowsTheAdapter) {
    const auto com = [](const char* path, const char* product) {
        PortIdentity port;
        port.path = path;
        port.product = product;
        return port;
    };
    const std::vector<PortIdentity> before = {com("COM1", ""), com("COM3", "CH340")};
    const std::vector<PortIdentity> after = {com("COM3", "CP2102"), com("COM4", "FT232R")};
    const auto events = PortChanges(before, after);
    std::vector<std::string> seen;
    for (const auto& event : events) {
        seen.push_back((event.added ? "+" : "-") + event.port.path + " " + event.port.product);
    }
    EXPECT_THAT(seen,
                testing::ElementsAre("-COM1 ", "-COM3 CH340", "+COM3 CP2102", "+COM4 FT232R"));
    EXPECT_TRUE(PortChanges(after, after).empty());

    PortDirectory ports = PortDirectory::FromSystemNumbers(before, "COM");
    EXPECT_EQ(ports.Entries().size(), 14u);
    for (const auto& event : events) {
        if (event.added) {
            EXPECT_EQ(ports.Add(event.port), 0);
        } else {
            EXPECT_EQ(ports.Remove(event.port.path), std::stoi(event.port.path.substr(3)));
        }
    }
    EXPECT_EQ(ports.Entries().size(), 14u);
    EXPECT_EQ(ports.Find(1)->identity.Describe(), "");
    EXPECT_EQ(ports.Find(3)->identity.product, "CP2102");
    EXPECT_EQ(ports.Find(4)->identity.product, "FT232R");
    EXPECT_EQ(ports.PathFor(14), "COM14");
}

TEST(PortDirectoryTest, ParsePinTakesNumberEqualsPathAndExplainsBadInput) {
    const std::pair<const char*, const char*> cases[] = {
        {"3=/dev/ttyUSB0", "3=/dev/ttyUSB0"},
        {"14=/odd=name", "14=/odd=name"},
        {"/dev/ttyUSB0", "expected N=PATH"},
        {"=/dev/x", "'' is not a port number (1 to 14)"},
        {"0=/dev/x", "'0' is not a port number"},
        {"15=/dev/x", "'15' is not a port number"},
        {"3x=/dev/x", "'3x' is not a port number"},
        {" 3=/dev/x", "' 3' is not a port number"},
        {"99999999999=/dev/x", "'99999999999' is not"},
        {"3=", "no device path after '3='"}};
    for (const auto& [text, result] : cases) {
        std::string error;
        const auto pin = PortDirectory::ParsePin(text, error);
        EXPECT_THAT(pin ? std::to_string(pin->number) + "=" + pin->path : error,
                    testing::HasSubstr(result));
    }
}

}  // namespace
}  // namespace qk
