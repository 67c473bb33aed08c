#include <gtest/gtest.h>

#include <charconv>

#include "CommandTable.h"
#include "SimulatedDevice.h"
#include "SlavePort.h"

namespace qk::sim {
namespace {

using namespace std::chrono_literals;
using test::SlavePort;
using Clock = std::chrono::steady_clock;

const CommandTable kTable;

std::string Requests() {
    const std::string request = BuildHandshakeRequest(kTable);
    return request + request + request;
}

// Opens the device's tty and completes the handshake the way the tool does.
void Enter(SlavePort& port) {
    ASSERT_TRUE(port.ok());
    ASSERT_TRUE(port.Write(Requests()));
    // The reply is one write of 9 bytes, so one read takes it whole.
    ASSERT_EQ(port.ReadOnce(), "CFG MODE\r");
}

// Splits "+DATA:nnnnnn ...\r\n" lines off the front of `text`, checking that they count
// up from `next`; other complete lines go to `others`. Returns false at the first gap.
bool TakeDataLines(std::string& text, std::uint64_t& next, std::vector<std::string>& others) {
    for (;;) {
        const auto end = text.find("\r\n");
        if (end == std::string::npos) {
            return true;
        }
        const std::string line = text.substr(0, end + 2);
        text.erase(0, end + 2);
        if (!line.starts_with(DeviceModel::kDataPrefix)) {
            others.push_back(line);
            continue;
        }
        unsigned number = 0;
        const char* digits = line.data() + DeviceModel::kDataPrefix.size();
        const auto [last, error] = std::from_chars(digits, digits + 6, number);
        if (error != std::errc() || last != digits + 6 || number != next % 1000000 ||
            line.size() != DeviceModel::kDataLineLength) {
            ADD_FAILURE() << "expected data line " << next << ", got " << line;
            return false;
        }
        ++next;
    }
}

TEST(SimulatedDeviceTest, ServesTheProtocolOnItsTty) {
    SimulatedDevice device;
    device.SetValue("STAT", "31,40,412");
    SlavePort port(device.slavePath());
    Enter(port);
    // Nothing but the answer follows: the burst of three requests got one reply.
    ASSERT_TRUE(port.Write(BuildQuery(kTable, CommandId::Baud)));
    EXPECT_EQ(port.ReadUntilEnd("\r\n"), "+BAUD:9600\r\n");

    ASSERT_TRUE(port.Write(BuildLogin(kTable, "358024") +
                           BuildSet(kTable, CommandId::DestPort, "6001") +
                           BuildQuery(kTable, CommandId::Stat)));
    EXPECT_EQ(port.ReadUntilEnd("+STAT:31,40,412\r\n"),
              "+LOGIN:OK\r\n+PPORT:6001\r\n+STAT:31,40,412\r\n");
    EXPECT_EQ(device.Value("PPORT"), "6001");
    EXPECT_TRUE(device.LoggedIn());
    EXPECT_EQ(device.HandshakeReplies(), 1u);
    EXPECT_EQ(device.ReceivedCommands().back(), BuildQuery(kTable, CommandId::Stat));
}

TEST(SimulatedDeviceTest, ToolMayCloseAndReopenThePort) {
    SimulatedDevice device;
    {
        SlavePort first(device.slavePath());
        Enter(first);
    }
    SlavePort second(device.slavePath());
    ASSERT_TRUE(second.ok());
    ASSERT_TRUE(second.Write(BuildQuery(kTable, CommandId::Id)));
    EXPECT_EQ(second.ReadUntilEnd("\r\n"), "+ID:QK4520-000123\r\n");
    EXPECT_TRUE(device.InConfigMode());
}

TEST(SimulatedDeviceTest, LatencyDelaysEveryAnswer) {
    SimulatedDevice device({.latency = 150ms});
    SlavePort port(device.slavePath());
    ASSERT_TRUE(port.ok());
    auto start = Clock::now();
    ASSERT_TRUE(port.Write(Requests()));
    EXPECT_EQ(port.ReadCount(9), "CFG MODE\r");
    EXPECT_GE(Clock::now() - start, 150ms);

    start = Clock::now();
    ASSERT_TRUE(port.Write(BuildQuery(kTable, CommandId::Baud)));
    EXPECT_EQ(port.ReadUntilEnd("\r\n"), "+BAUD:9600\r\n");
    EXPECT_GE(Clock::now() - start, 150ms);
}

TEST(SimulatedDeviceTest, ChunkedAnswersArriveSpreadOutButWhole) {
    SimulatedDevice device({.chunkSize = 3, .chunkGap = 30ms});
    SlavePort port(device.slavePath());
    Enter(port);  // the handshake reply is never cut
    const auto start = Clock::now();
    ASSERT_TRUE(port.Write(BuildQuery(kTable, CommandId::DestPort)));
    // 13 bytes in five pieces, 30 ms apart.
    EXPECT_EQ(port.ReadUntilEnd("\r\n"), "+PPORT:5000\r\n");
    EXPECT_GE(Clock::now() - start, 4 * 30ms);
}

TEST(SimulatedDeviceTest, StreamDeliversEveryLineInOrderBetweenAnswers) {
    SimulatedDevice device({.streamBytesPerSecond = 40000});
    SlavePort port(device.slavePath());
    Enter(port);
    // No data before a command: the handshake read must see the 9 bytes alone.
    ASSERT_TRUE(port.Write(BuildQuery(kTable, CommandId::Baud)));

    std::string pending;
    std::uint64_t next = 0;
    std::vector<std::string> answers;
    bool asked = false;
    while (next < 300) {
        std::string more = port.ReadCount(1);
        ASSERT_FALSE(more.empty()) << "stream stalled after line " << next;
        pending += more;
        ASSERT_TRUE(TakeDataLines(pending, next, answers));
        if (!asked && next > 100) {
            asked = true;
            ASSERT_TRUE(port.Write(BuildQuery(kTable, CommandId::Ver)));
        }
    }
    while (answers.size() < 2) {
        const std::string more = port.ReadCount(1);
        ASSERT_FALSE(more.empty());
        pending += more;
        ASSERT_TRUE(TakeDataLines(pending, next, answers));
    }
    EXPECT_EQ(answers, (std::vector<std::string>{"+BAUD:9600\r\n",
                                                 "+VER:QK4520-1 HW:V2.1 SW:V3.5 2023-06-01\r\n"}));
}

TEST(SimulatedDeviceTest, StreamWaitsForASlowReaderAndLosesNothing) {
    SimulatedDevice device({.streamBytesPerSecond = 4'000'000});
    SlavePort port(device.slavePath());
    Enter(port);
    ASSERT_TRUE(port.Write(BuildQuery(kTable, CommandId::Baud)));

    // Nobody reads: the pty fills up and the device queues the rest instead of blocking.
    const std::size_t backlog = SimulatedDevice::kMaxQueuedStreamBytes / 2;
    ASSERT_TRUE(device.WaitUntilPending(backlog, 5s));

    std::string pending;
    std::uint64_t next = 0;
    std::vector<std::string> answers;
    while (next < 3 * backlog / DeviceModel::kDataLineLength) {
        std::string more = port.ReadCount(1);
        ASSERT_FALSE(more.empty()) << "stream stalled after line " << next;
        pending += more;
        ASSERT_TRUE(TakeDataLines(pending, next, answers));
    }
    EXPECT_EQ(answers, std::vector<std::string>{"+BAUD:9600\r\n"});

    // Blocked again by a reader that went away, the device still stops at once.
    ASSERT_TRUE(device.WaitUntilPending(backlog, 5s));
    const auto start = Clock::now();
    device.Stop();
    EXPECT_LT(Clock::now() - start, 1s);
}

TEST(SimulatedDeviceTest, NewHandshakeDropsStreamDataNotYetWritten) {
    SimulatedDevice device({.streamBytesPerSecond = 4'000'000});
    SlavePort port(device.slavePath());
    Enter(port);
    ASSERT_TRUE(port.Write(BuildQuery(kTable, CommandId::Baud)));
    ASSERT_TRUE(device.WaitUntilPending(SimulatedDevice::kMaxQueuedStreamBytes / 2, 5s));

    // The tool comes back while the device still holds a backlog: what is already in the
    // pty arrives first, then the reply, and nothing of the backlog.
    ASSERT_TRUE(port.Write(Requests()));
    ASSERT_TRUE(
        device.WaitUntil([](const DeviceModel& m) { return m.HandshakeReplies() == 2; }, 3s));
    std::string received = port.ReadUntilEnd("CFG MODE\r");
    ASSERT_TRUE(received.ends_with("CFG MODE\r"));
    received.resize(received.size() - 9);
    std::uint64_t next = 0;
    std::vector<std::string> answers;
    ASSERT_TRUE(TakeDataLines(received, next, answers));
    EXPECT_TRUE(received.empty()) << "a data line was cut: " << received;

    // The numbering goes on after the lines that were dropped.
    ASSERT_TRUE(port.Write(BuildQuery(kTable, CommandId::Baud)));
    std::string after = port.ReadUntil([](const std::string& text) {
        return text.find("+DATA:") != std::string::npos && text.ends_with("\r\n");
    });
    ASSERT_TRUE(after.starts_with("+BAUD:9600\r\n+DATA:")) << after.substr(0, 100);
    const std::uint64_t resumed = std::stoul(after.substr(18, 6));
    const std::uint64_t backlogLines =
        SimulatedDevice::kMaxQueuedStreamBytes / 2 / DeviceModel::kDataLineLength;
    EXPECT_GE(resumed, next + backlogLines - 1);
}

TEST(SimulatedDeviceTest, StopIsPromptWithAnswersStillDue) {
    auto device = std::make_unique<SimulatedDevice>(SimOptions{.latency = 10s});
    SlavePort port(device->slavePath());
    ASSERT_TRUE(port.Write(Requests()));
    ASSERT_TRUE(
        device->WaitUntil([](const DeviceModel& m) { return m.HandshakeReplies() == 1; }, 3s));
    const auto start = Clock::now();
    device.reset();
    EXPECT_LT(Clock::now() - start, 1s);
}

TEST(SimulatedDeviceTest, HangUpEndsTheLineForTheTool) {
    SimulatedDevice device({.hangupAfter = 300ms});
    SlavePort port(device.slavePath());
    ASSERT_TRUE(port.ok());
    EXPECT_TRUE(device.WaitUntilHungUp(3s));
    EXPECT_TRUE(port.SeesHangUp());
    EXPECT_EQ(write(port.fd(), "x", 1), -1);
    EXPECT_TRUE(device.HungUp());
}

TEST(SimulatedDeviceTest, ObserverSeesEachCommandAndEachWrite) {
    struct Event {
        SimulatedDevice::Direction direction;
        std::string bytes;
        bool operator==(const Event&) const = default;
    };
    std::mutex mutex;
    std::vector<Event> events;
    SimulatedDevice device({}, [&](SimulatedDevice::Direction direction, std::string_view bytes) {
        std::lock_guard lock(mutex);
        events.push_back({direction, std::string(bytes)});
    });
    SlavePort port(device.slavePath());
    Enter(port);
    // The doubled suffix arrives on its own, after the answer to the query has gone out.
    ASSERT_TRUE(port.Write("QK+STAT?\r\n"));
    EXPECT_EQ(port.ReadUntilEnd("\r\n"), "+STAT:25,36,330\r\n");
    ASSERT_TRUE(port.Write("?\r\n"));
    ASSERT_TRUE(device.WaitUntil(
        [](const DeviceModel& m) { return m.ReceivedCommands().back() == "QK+STAT?\r\n?\r\n"; },
        3s));
    device.Stop();

    using D = SimulatedDevice::Direction;
    const std::string request(DeviceModel::kHandshakeRequest);
    std::lock_guard lock(mutex);
    EXPECT_EQ(events, (std::vector<Event>{{D::Received, request},
                                          {D::Received, request},
                                          {D::Received, request},
                                          {D::Sent, "CFG MODE\r"},
                                          {D::Received, "QK+STAT?\r\n"},
                                          {D::Sent, "+STAT:25,36,330\r\n"},
                                          {D::Received, "?\r\n"}}));
}

}  // namespace
}  // namespace qk::sim
