#include <gtest/gtest.h>

#include <fstream>

#include "PortDirectory.h"
#include "SerialTestSupport.h"

namespace qk {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A fake /dev and /sys in a temporary directory.
class FakeTree {
public:
    FakeTree() {
        fs::create_directories(dev());
        fs::create_directories(sys() / "class" / "tty");
    }
    fs::path dev() const { return m_root.path() / "dev"; }
    fs::path sys() const { return m_root.path() / "sys"; }

    void AddNode(const std::string& name) { std::ofstream(dev() / name).put('\0'); }
    // A ttyS node with its sysfs entry: `hasDevice` whether a parent device exists,
    // `type` the UART type file's content (none when empty).
    void AddUart(const std::string& name, bool hasDevice, const std::string& type) {
        AddNode(name);
        const fs::path tty = sys() / "class" / "tty" / name;
        fs::create_directories(tty);
        if (hasDevice) {
            fs::create_directories(tty / "device");
        }
        if (!type.empty()) {
            std::ofstream(tty / "type") << type << "\n";
        }
    }
    std::string Path(const std::string& name) const { return (dev() / name).string(); }

private:
    TempDir m_root;
};

std::vector<std::string> Paths(const PortDirectory& ports) {
    std::vector<std::string> paths;
    for (const auto& entry : ports.Entries()) {
        paths.push_back(entry.path);
    }
    return paths;
}

TEST(PortDirectory, AdaptersFirstThenRealUarts) {
    FakeTree tree;
    for (const char* name : {"ttyUSB10", "ttyS4", "ttyACM0", "ttyUSB2", "tty0", "ttyUSB", "ttySAC0",
                             "console", "ttyUSB1x"}) {
        tree.AddNode(name);
    }
    tree.AddUart("ttyS0", true, "4");   // 16550A
    tree.AddUart("ttyS1", true, "0");   // placeholder, no UART behind it
    tree.AddUart("ttyS2", false, "4");  // no parent device
    tree.AddUart("ttyS10", true, "");   // no type file: trust the device link
    tree.AddUart("ttyS3", true, "4");   // the kernel's console
    fs::create_directories(tree.sys() / "class" / "tty" / "console");
    std::ofstream(tree.sys() / "class" / "tty" / "console" / "active") << "ttyS3 tty0\n";
    const PortDirectory ports = PortDirectory::Discover(tree.dev(), tree.sys());
    EXPECT_EQ(Paths(ports), (std::vector<std::string>{tree.Path("ttyUSB2"), tree.Path("ttyUSB10"),
                                                      tree.Path("ttyACM0"), tree.Path("ttyS0"),
                                                      tree.Path("ttyS10")}));
    const auto entries = ports.Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].number, static_cast<int>(i) + 1);
        EXPECT_FALSE(entries[i].pinned);
    }
}

TEST(PortDirectory, AtMostFourteenPorts) {
    FakeTree tree;
    for (int i = 0; i < 20; ++i) {
        tree.AddNode("ttyUSB" + std::to_string(i));
    }
    const PortDirectory ports = PortDirectory::Discover(tree.dev(), tree.sys());
    ASSERT_EQ(ports.Entries().size(), 14u);
    EXPECT_EQ(ports.PathFor(14), tree.Path("ttyUSB13"));
    EXPECT_EQ(ports.PathFor(15), "");
}

TEST(PortDirectory, NothingFound) {
    const PortDirectory ports = PortDirectory::Discover("/nonexistent/dev", "/nonexistent/sys");
    EXPECT_TRUE(ports.Entries().empty());
    EXPECT_EQ(ports.PathFor(1), "");
    EXPECT_EQ(ports.DescribeMapping(), "no serial ports found");
}

TEST(PortDirectory, PinsOverrideAndKeepNumbersInOrder) {
    FakeTree tree;
    tree.AddNode("ttyUSB0");
    tree.AddNode("ttyUSB1");
    PortDirectory ports = PortDirectory::Discover(tree.dev(), tree.sys());
    ports.Pin(5, "/dev/pts/7");
    ports.Pin(2, "/dev/pts/3");
    ports.Pin(0, "/dev/pts/9");   // not a port number: ignored
    ports.Pin(15, "/dev/pts/9");  // likewise
    EXPECT_EQ(ports.PathFor(2), "/dev/pts/3");
    EXPECT_EQ(ports.PathFor(3), "");
    EXPECT_EQ(ports.DescribeMapping(), "COM1=" + tree.Path("ttyUSB0") +
                                           ", COM2=/dev/pts/3 (pinned), COM5=/dev/pts/7 (pinned)");
    const auto entries = ports.Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_FALSE(entries[0].pinned);
    EXPECT_TRUE(entries[1].pinned);
    EXPECT_EQ(entries[2].number, 5);
}

TEST(PortDirectory, ParsePinAcceptsNumberEqualsPath) {
    struct Case {
        const char* text;
        int number;
        const char* path;
    };
    for (const Case c :
         {Case{"3=/dev/ttyUSB0", 3, "/dev/ttyUSB0"}, Case{"1=/dev/pts/4", 1, "/dev/pts/4"},
          Case{"14=rel/dev", 14, "rel/dev"}, Case{"2=/odd=name", 2, "/odd=name"}}) {
        std::string error;
        const auto entry = PortDirectory::ParsePin(c.text, error);
        ASSERT_TRUE(entry) << c.text << ": " << error;
        EXPECT_EQ(entry->number, c.number);
        EXPECT_EQ(entry->path, c.path);
        EXPECT_TRUE(entry->pinned);
    }
}

TEST(PortDirectory, ParsePinExplainsBadInput) {
    struct Case {
        const char* text;
        const char* says;
    };
    const Case cases[] = {
        {"", "expected N=PATH"},
        {"3", "expected N=PATH"},
        {"/dev/ttyUSB0", "expected N=PATH"},
        {"=/dev/x", "'' is not a port number (1 to 14)"},
        {"0=/dev/x", "'0' is not a port number"},
        {"15=/dev/x", "'15' is not a port number"},
        {"-1=/dev/x", "'-1' is not a port"},
        {"x=/dev/x", "'x' is not a port number"},
        {"3x=/dev/x", "'3x' is not"},
        {" 3=/dev/x", "' 3' is not"},
        {"99999999999=/dev/x", "is not a port number"},
        {"3=", "no device path after '3='"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(PortDirectory::ParsePin(c.text, error)) << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.text << " -> " << error;
    }
}

TEST(PortDirectory, ConflictingPinsAreNamed) {
    using Pins = std::vector<PortDirectory::Entry>;
    EXPECT_EQ(PortDirectory::ConflictingPins(Pins{{2, "/a", true}, {3, "/a", true}, {2, "/a", true}}), "");
    EXPECT_EQ(PortDirectory::ConflictingPins(Pins{{2, "/a", true}, {3, "/c", true}, {2, "/b", true}}),
              "COM2 is given two paths, '/a' and '/b'");
}

}  // namespace
}  // namespace qk
