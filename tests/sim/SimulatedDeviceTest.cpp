#include <gtest/gtest.h>

#include "CommandTable.h"
#include "SerialTestSupport.h"
#include "SimulatedDevice.h"

namespace qk::sim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const CommandTable kTable;
const std::string kRequests =
    BuildHandshakeRequest(kTable) + BuildHandshakeRequest(kTable) + BuildHandshakeRequest(kTable);
const std::string kBaud = BuildQuery(kTable, CommandId::Baud);

// The tool's end of the line: the slave tty, opened as the tool opens its port.
test::UniqueFd OpenTool(const SimulatedDevice& device) {
    return test::UniqueFd(open(device.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
}

TEST(SimulatedDeviceTest, OptionsShapeWhatTheToolReads) {
    struct Case {
        SimOptions options;
        std::string sent, read;
        std::chrono::milliseconds atLeast{0};
    };
    const Case cases[] = {
        {{}, kRequests + kBaud, "CFG MODE\r+BAUD:9600\r\n"},
        {{.latency = 150ms}, kRequests, "CFG MODE\r", 150ms},
        {{.chunkSize = 1}, kRequests + kBaud, "CFG MODE\r+BAUD:9600\r\n"},
        {{.noHandshake = true}, kRequests + kBaud, ""},
        {{.refuseLogin = true},
         kRequests + BuildLogin(kTable, "358024"),
         "CFG MODE\r+LOGIN:ERROR\r\n"},
        // Junk goes before answers, never into the handshake: an echo, a blank line, "RDY".
        {{.junkEvery = 1},
         kRequests + kBaud + kBaud + kBaud,
         "CFG MODE\r" + kBaud + "+BAUD:9600\r\n\r\n+BAUD:9600\r\nRDY\r\n+BAUD:9600\r\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.read);
        SimulatedDevice device(c.options);
        const test::UniqueFd tool = OpenTool(device);
        const auto start = Clock::now();
        ASSERT_TRUE(test::WriteAllTo(tool.fd, c.sent));
        // Silence is waited for a while; an answer, until it is complete.
        EXPECT_EQ(test::ReadFor(tool.fd, std::max<std::size_t>(c.read.size(), 1),
                                c.read.empty() ? 300ms : 3s),
                  c.read);
        EXPECT_GE(Clock::now() - start, c.atLeast);
    }
}

TEST(SimulatedDeviceTest, StreamDeliversEveryLineInOrderWithAnswersBetween) {
    SimulatedDevice device({.streamBytesPerSecond = 4'000'000});
    const test::UniqueFd tool = OpenTool(device);
    ASSERT_TRUE(test::WriteAllTo(tool.fd, kRequests));
    ASSERT_EQ(test::ReadFor(tool.fd, 9), "CFG MODE\r");  // the stream waits for a command
    ASSERT_TRUE(test::WriteAllTo(tool.fd, kBaud));
    // Nobody reads for a while: the pty fills up and the device queues the rest.
    ASSERT_TRUE(device.WaitUntilPending(SimulatedDevice::kMaxQueuedStreamBytes / 2, 5s));
    ASSERT_TRUE(test::WriteAllTo(tool.fd, BuildQuery(kTable, CommandId::Id)));

    DeviceModel numbering;  // the lines the device should send, in order
    std::vector<std::string> answers;
    std::string pending;
    for (int lines = 0; lines < 3000 || answers.size() < 2;) {
        const std::string more = test::ReadFor(tool.fd, 1);
        ASSERT_FALSE(more.empty()) << "stalled after line " << lines;
        pending += more;
        for (auto end = pending.find("\r\n"); end != std::string::npos;
             end = pending.find("\r\n")) {
            const std::string line = pending.substr(0, end + 2);
            pending.erase(0, end + 2);
            if (!line.starts_with(DeviceModel::kDataPrefix)) {
                answers.push_back(line);
            } else {
                ASSERT_EQ(line, numbering.NextDataLine());
                ++lines;
            }
        }
    }
    EXPECT_EQ(answers, (std::vector<std::string>{"+BAUD:9600\r\n", "+ID:QK4520-000123\r\n"}));
}

TEST(SimulatedDeviceTest, HangUpEndsTheToolsReads) {
    SimulatedDevice device({.hangupAfter = 100ms});
    const test::UniqueFd tool = OpenTool(device);
    ASSERT_TRUE(device.WaitUntilHungUp(3s));
    char byte;
    EXPECT_LE(read(tool.fd, &byte, 1), 0);  // the end of the line, or EIO
}

}  // namespace
}  // namespace qk::sim
