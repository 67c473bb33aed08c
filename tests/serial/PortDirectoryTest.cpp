#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "PortDirectory.h"
#include "SerialTestSupport.h"

namespace qk {
namespace {

namespace fs = std::filesystem;

// A fake /dev with the fake /sys inside it.
class PortDirectoryTest : public testing::Test {
  protected:
    // A device node; with `type`, a ttyS node's sysfs entry too: "-" without a parent device,
    // else with one and `type` as its UART type ("" reads as no type).
    std::string Add(const std::string& name, const char* type = nullptr) {
        std::ofstream(root.path / name).put('\0');
        const fs::path tty = root.path / "sys/class/tty" / name;
        if (type != nullptr) {
            fs::create_directories(tty / (*type == '-' ? "" : "device"));
            std::ofstream(tty / "type") << type;
        }
        return (root.path / name).string();
    }
    PortDirectory Discover() const { return PortDirectory::Discover(root.path, root.path / "sys"); }

    test::TempDir root;
};

TEST_F(PortDirectoryTest, AdaptersFirstThenRealUartsAtMostFourteen) {
    for (const char* name : {"ttyS4", "tty0", "ttyUSB", "ttySAC0", "ttyUSB1x"}) {
        Add(name);
    }
    const std::string usb10 = Add("ttyUSB10"), acm = Add("ttyACM0"), usb2 = Add("ttyUSB2");
    const std::string s0 = Add("ttyS0", "4");  // a 16550A
    Add("ttyS1", "0");                         // a placeholder, no UART behind it
    Add("ttyS2", "-");                         // no parent device
    const std::string s10 = Add("ttyS10", "");
    Add("ttyS3", "4");    // the kernel's console
    Add("console", "-");  // the node, and the sysfs entry that names the kernel's consoles
    std::ofstream(root.path / "sys/class/tty/console/active") << "ttyS3 tty0\n";
    EXPECT_EQ(Discover().DescribeMapping(), "COM1=" + usb2 + ", COM2=" + usb10 + ", COM3=" + acm +
                                                ", COM4=" + s0 + ", COM5=" + s10);
    for (int i = 20; i < 40; ++i) {
        Add("ttyUSB" + std::to_string(i));
    }
    EXPECT_EQ(Discover().Entries().size(), 14u);
    EXPECT_EQ(Discover().PathFor(14), (root.path / "ttyUSB31").string());
}

TEST_F(PortDirectoryTest, PinsOverrideAndKeepNumbersInOrder) {
    const std::string usb0 = Add("ttyUSB0");
    Add("ttyUSB1");
    PortDirectory ports = Discover();
    for (const int number : {5, 2, 0, 15}) {  // 0 and 15 are no port numbers: ignored
        ports.Pin(number, "/dev/pts/" + std::to_string(number));
    }
    EXPECT_EQ(ports.DescribeMapping(),
              "COM1=" + usb0 + ", COM2=/dev/pts/2 (pinned), COM5=/dev/pts/5 (pinned)");
    const PortDirectory::Entry a{2, "/a", true}, c{3, "/c", true}, b{2, "/b", true};
    EXPECT_EQ(PortDirectory::ConflictingPins({a, c, a}), "");
    EXPECT_EQ(PortDirectory::ConflictingPins({a, c, b}), "COM2 is given two paths, '/a' and '/b'");
}

TEST(PortDirectory, ParsePinTakesNumberEqualsPathAndExplainsBadInput) {
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
