#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <numeric>

#include "BlockHandover.h"
#include "CSerialPort.h"
#include "PortDiagnostics.h"
#include "PseudoTerminal.h"
#include "ReceiveLoop.h"
#include "RecordingSerialSink.h"
#include "SerialTestSupport.h"

namespace qk {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::HasSubstr;

// COM3 is the slave end of a fresh pseudo-terminal; the test plays the device on the master.
class SerialPortOnPty : public testing::Test {
  protected:
    SerialPortOnPty() { ports.Pin(3, pty.slavePath()); }
    bool Open(CSerialPort& which) { return which.Open(3, 9600, 8, 0, 0); }

    sim::PseudoTerminal pty;
    PortDirectory ports;
    test::RecordingSerialSink sink;
    CSerialPort port{ports, sink};
};

TEST_F(SerialPortOnPty, OpensClosesReopensAndLeavesNoDescriptorBehind) {
    const auto descriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const auto before = descriptors();
    char buffer[2000];
    {
        CSerialPort owned(ports, sink);
        ASSERT_TRUE(Open(owned));
        owned.Close();
        EXPECT_FALSE(owned.IsOpen());
        ASSERT_TRUE(Open(owned));
        ASSERT_TRUE(Open(owned));  // opening again closes the first descriptor
        EXPECT_EQ(descriptors(), before + 1);
        const auto start = Clock::now();
        EXPECT_EQ(owned.Read(buffer, sizeof buffer), 0);  // nothing waits: at once
        EXPECT_LT(Clock::now() - start, 100ms);
    }
    EXPECT_EQ(descriptors(), before);
    ASSERT_TRUE(Open(port));  // the destructor's close took the lock along
    port.Close();
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_NONBLOCK), 0);  // likely takes the number the port gave back
    const test::UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
    ASSERT_TRUE(test::WriteAllTo(writeEnd.fd, "x"));
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    EXPECT_EQ(read(readEnd.fd, buffer, sizeof buffer), 1);  // a read after Close took nothing
}

TEST_F(SerialPortOnPty, RefusedSettingsLeaveThePortOpen) {
    const std::tuple<std::uint32_t, int, int, int, const char*> cases[] = {
        {0, 8, 0, 0, "0 baud"}, {9600, 9, 0, 0, "9 data bits"}};
    for (const auto& [baud, dataBits, stopBits, parity, reason] : cases) {
        EXPECT_TRUE(port.Open(3, baud, dataBits, stopBits, parity));
        EXPECT_THAT(port.settingsError(), HasSubstr(std::string(": line settings: ") + reason));
    }
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(sink.reports().empty());
}

TEST_F(SerialPortOnPty, RefusedOpeningsAreReportedWithTheReasonAndOpenNothing) {
    ASSERT_TRUE(Open(port));  // COM3 is held from here on
    std::string comm;
    std::getline(std::ifstream("/proc/self/comm"), comm);
    const test::TempDir dir;
    const std::string missing = (dir.path / "ttyUSB9").string();
    const std::string file = (dir.path / "notes.txt").string();
    std::ofstream(file) << "keep me";
    ports.Pin(4, missing);
    ports.Pin(5, file);
    const std::pair<int, std::string> cases[] = {
        {3, pty.slavePath() + " is in use by pid " + std::to_string(getpid()) + " (" + comm +
                ", this program)"},
        {4, missing + ": No such file or directory; port mapping: " + ports.DescribeMapping()},
        {9, "COM9 stands for no device; port mapping: " + ports.DescribeMapping()},
        {5, file + " is not a serial port (not a terminal device)"},
    };
    CSerialPort other(ports, sink);
    for (const auto& [number, detail] : cases) {
        EXPECT_FALSE(other.Open(number, 9600, 8, 0, 0));
        EXPECT_FALSE(other.IsOpen());
        EXPECT_EQ(sink.LastDetail(), detail);
    }
    EXPECT_EQ(sink.Count(kOpenComFailed), 4u);
    EXPECT_TRUE(port.IsOpen());
    std::ifstream text(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(text), {}), "keep me");
}

TEST_F(SerialPortOnPty, EveryByteValueCrossesUnchangedAndEveryFailedWriteIsReported) {
    ASSERT_TRUE(Open(port));
    std::string all(256, '\0'), received(256, '\0');
    std::iota(all.begin(), all.end(), '\0');
    port.Write(all.data(), 256);
    EXPECT_EQ(test::ReadFor(pty.masterFd(), 257, 100ms), all);  // and nothing more
    ASSERT_TRUE(test::WriteAllTo(pty.masterFd(), all));
    ASSERT_TRUE(port.SetReadTimeouts(10));
    EXPECT_EQ(port.Read(received.data(), 256), 256);
    EXPECT_EQ(received, all);

    pty.HangUp();
    port.Write("QK+BAUD?\r\n", 10);
    port.Write("QK+STAT?\r\n", 10);
    EXPECT_EQ(sink.Count(kWriteComFailed), 2u);
    EXPECT_EQ(sink.LastDetail(), pty.slavePath() + ": Input/output error (0 of 10 bytes written)");
    port.Close();
    port.Write("QK\r\n", 4);
    EXPECT_EQ(sink.LastDetail(), pty.slavePath() + " is not open");
    EXPECT_EQ(sink.Count(kWriteComFailed), 3u);
}

TEST_F(SerialPortOnPty, CloseWhileAnotherThreadReads) {
    // 0: reads return at once; 50: Close meets a read that waits (for 2000 bytes, 100 s).
    for (const unsigned timeout : {0u, 50u}) {
        ASSERT_TRUE(Open(port));
        ASSERT_TRUE(port.SetReadTimeouts(timeout));
        std::atomic<bool> reading{false};
        std::thread reader([&] {
            char buffer[2000];
            for (int afterClose = 0; afterClose < 3; afterClose += port.IsOpen() ? 0 : 1) {
                reading = true;
                port.Read(buffer, sizeof buffer);
            }
        });
        EXPECT_TRUE(test::Eventually([&] { return reading.load(); }));
        const auto start = Clock::now();
        port.Close();
        reader.join();
        EXPECT_LT(Clock::now() - start, 1s);  // Close, and every read after it, at once
    }
}

// The receive loop on the port. It reads through the fixture, which counts the bytes so
// that the test can wait until the loop has read what the device sent.
class ReceiveLoopOnPty : public SerialPortOnPty, public ByteSource {
  protected:
    ReceiveLoopOnPty() { EXPECT_TRUE(Open(port)); }
    int Read(char* buffer, unsigned capacity) override {
        const int count = port.Read(buffer, capacity);
        bytesRead += count;
        return count;
    }
    bool IsOpen() const override { return port.IsOpen(); }
    // Writes `bytes` and waits until the loop has read them.
    void Send(const std::string& bytes) {
        bytesSent += static_cast<int>(bytes.size());
        ASSERT_TRUE(test::WriteAllTo(pty.masterFd(), bytes));
        ASSERT_TRUE(test::Eventually([&] { return bytesRead == bytesSent; }));
    }

    std::atomic<int> bytesRead{0}, blocksWaiting{0};
    int bytesSent = 0;
    std::vector<std::string> blocks;
    BlockHandover handover{[this](std::string&& block) { blocks.push_back(std::move(block)); },
                           [this] { ++blocksWaiting; }};
    ReceiveLoop loop{*this, handover};
};

TEST_F(ReceiveLoopOnPty, HandsOverWholeAnswersOnceRestartsEmptyAndStopsPromptly) {
    loop.Start();
    EXPECT_FALSE(handover.WaitAndRunPending(50ms));  // an idle port hands over nothing
    Send("+BAUD:");
    Send("9600\r\n");
    EXPECT_TRUE(handover.WaitAndRunPending(2s));
    EXPECT_FALSE(handover.WaitAndRunPending(50ms));
    EXPECT_EQ(blocks, std::vector<std::string>{"+BAUD:9600\r\n"});

    Send("+ID:held-from-the-first-opening");
    loop.Start();  // ends the first loop; its held bytes are dropped
    Send("+ID:2\r\n");
    EXPECT_TRUE(handover.WaitAndRunPending(2s));
    EXPECT_EQ(blocks.back(), "+ID:2\r\n");

    // Stopping while a block waits neither deadlocks nor ever runs that block.
    Send("+ID:3\r\n");
    ASSERT_TRUE(test::Eventually([&] { return blocksWaiting == 3; }));
    const auto start = Clock::now();
    loop.Stop();
    EXPECT_LT(Clock::now() - start, 100ms);
    EXPECT_FALSE(handover.RunPending());
    EXPECT_EQ(blocks.size(), 2u);
}

// The texts the port reports for a missing path and a held port are checked above, through
// the port; these are the ones a test cannot make the port meet.
TEST(PortDiagnostics, DetailTextsSayWhatFailedAndWhatToDo) {
    struct stat null {};
    ASSERT_EQ(stat("/dev/null", &null), 0);
    const std::string group = getgrgid(null.st_gid)->gr_name;
    const std::pair<std::string, testing::Matcher<std::string>> cases[] = {
        {DescribeAccessDenied("/dev/null"),
         AllOf(HasSubstr("/dev/null: Permission denied. The device belongs to group " + group),
               HasSubstr(getegid() == null.st_gid ? "which this program has" : "new login"))},
        {DescribeHeldPort("/dev/null", "/none"), HasSubstr("in use by another program")},
    };
    for (const auto& [text, matcher] : cases) {
        EXPECT_THAT(text, matcher);
    }
}

}  // namespace
}  // namespace qk
