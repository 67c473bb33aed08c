#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "CSerialPort.h"
#include "PortDiagnostics.h"
#include "PseudoTerminal.h"
#include "RecordingSerialSink.h"
#include "SerialTestSupport.h"
#include "Termios2.h"

namespace qk {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::OpenPeer;
using test::ReadFor;
using test::RecordingSerialSink;
using test::UniqueFd;
using test::WriteAllTo;

constexpr int kPort = 3;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool IsExclusive(int fd) {
    int exclusive = -1;
    return ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

// COM3 is the slave end of a fresh pseudo-terminal; the test plays the device on the master.
class SerialPortOnPty : public testing::Test {
protected:
    SerialPortOnPty() { ports.Pin(kPort, pty.slavePath()); }

    bool OpenDefault(CSerialPort& port) { return port.Open(kPort, 9600, 8, 0, 0); }

    sim::PseudoTerminal pty;
    PortDirectory ports;
    RecordingSerialSink sink;
    CSerialPort port{ports, sink};
};

TEST_F(SerialPortOnPty, OpensClosesAndReopens) {
    EXPECT_FALSE(port.IsOpen());
    ASSERT_TRUE(OpenDefault(port));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.path(), pty.slavePath());
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    ASSERT_TRUE(OpenDefault(port));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(sink.reports().empty());
    EXPECT_EQ(port.settingsError(), "");
}

TEST_F(SerialPortOnPty, OpenMakesTheLineRawAndExclusive) {
    const UniqueFd peer = OpenPeer(pty.slavePath());
    termios cooked{};
    ASSERT_EQ(tcgetattr(peer.get(), &cooked), 0);
    cooked.c_iflag |= ICRNL | IXON;
    cooked.c_oflag |= OPOST | ONLCR;
    cooked.c_lflag |= ICANON | ECHO | ISIG;
    ASSERT_EQ(tcsetattr(peer.get(), TCSANOW, &cooked), 0);

    ASSERT_TRUE(OpenDefault(port));
    termios line{};
    ASSERT_EQ(tcgetattr(peer.get(), &line), 0);
    EXPECT_EQ(line.c_iflag & (ICRNL | IXON), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_TRUE(IsExclusive(peer.get()));

    // The exclusive flag belongs to the tty and would outlive our descriptor.
    port.Close();
    EXPECT_FALSE(IsExclusive(peer.get()));
}

TEST_F(SerialPortOnPty, EveryRateOfTheListReachesTheLine) {
    const UniqueFd peer = OpenPeer(pty.slavePath());
    for (const std::uint32_t baud : {1200u, 2400u, 4800u, 7200u, 9600u, 14400u, 19200u, 28800u,
                                     38400u, 57600u, 76800u, 115200u, 230400u, 460800u}) {
        SCOPED_TRACE(baud);
        ASSERT_TRUE(port.Open(kPort, baud, 8, 0, 0));
        EXPECT_EQ(ReadLineSpeed(peer.get()), baud);
        EXPECT_EQ(port.settingsError(), "");
        port.Close();
    }
    // Back from a termios2 rate to a B constant, the input rate follows too.
    ASSERT_TRUE(port.Open(kPort, 76800, 8, 0, 0));
    ASSERT_TRUE(port.Open(kPort, 9600, 8, 0, 0));
    termios line{};
    ASSERT_EQ(tcgetattr(peer.get(), &line), 0);
    EXPECT_EQ(cfgetispeed(&line), static_cast<speed_t>(B9600));
    EXPECT_EQ(line.c_cflag & CIBAUD, 0u);
}

TEST_F(SerialPortOnPty, RefusedSettingLeavesThePortOpenAndIsKept) {
    ASSERT_TRUE(port.Open(kPort, 9600, 9, 0, 0));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(sink.reports().empty());
    EXPECT_TRUE(Contains(port.settingsError(), pty.slavePath() + ": line settings: 9 data bits"))
        << port.settingsError();
    // A fresh opening starts with a clean record.
    ASSERT_TRUE(OpenDefault(port));
    EXPECT_EQ(port.settingsError(), "");
}

TEST_F(SerialPortOnPty, OpenFailuresAreReportedAndLeaveThePortClosed) {
    const test::TempDir dir;
    const std::string missing = (dir.path() / "ttyUSB9").string();
    const std::string file = (dir.path() / "notes.txt").string();
    std::ofstream(file) << "keep me";
    ports.Pin(4, missing);
    ports.Pin(5, file);
    ports.Pin(6, "/dev/null");
    struct Case {
        int number;
        std::vector<std::string> detail;
    };
    const Case cases[] = {
        {4, {missing + ": No such file or directory", "port mapping: ", "COM4=" + missing}},
        {9, {"COM9 stands for no device", "COM3=" + pty.slavePath()}},
        {15, {"COM15 stands for no device"}},
        {5, {file + " is not a serial port"}},
        {6, {"/dev/null is not a serial port"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        sink.Clear();
        EXPECT_FALSE(port.Open(c.number, 9600, 8, 0, 0));
        EXPECT_FALSE(port.IsOpen());
        const auto reports = sink.reports();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].message, kOpenComFailed);
        for (const std::string& part : c.detail) {
            EXPECT_TRUE(Contains(reports[0].detail, part)) << reports[0].detail;
        }
    }
    std::ifstream text(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(text), {}), "keep me");
}

TEST_F(SerialPortOnPty, HeldPortIsRefusedAndItsHolderNamed) {
    const UniqueFd peer = OpenPeer(pty.slavePath());
    ASSERT_TRUE(OpenDefault(port));
    RecordingSerialSink otherSink;
    CSerialPort other(ports, otherSink);
    EXPECT_FALSE(other.Open(kPort, 9600, 8, 0, 0));
    EXPECT_FALSE(other.IsOpen());
    ASSERT_EQ(otherSink.Count(kOpenComFailed), 1u);
    const std::string detail = otherSink.LastDetail();
    EXPECT_TRUE(Contains(detail, pty.slavePath() + " is in use by pid " + std::to_string(getpid())))
        << detail;
    EXPECT_TRUE(Contains(detail, "this program")) << detail;

    // The refused opening took nothing from the holder.
    EXPECT_TRUE(IsExclusive(peer.get()));
    port.Write("QK\r\n", 4);
    EXPECT_EQ(ReadFor(pty.masterFd(), 4), "QK\r\n");
    EXPECT_TRUE(sink.reports().empty());
}

TEST_F(SerialPortOnPty, ReadTimeouts) {
    EXPECT_FALSE(port.SetReadTimeouts(0));  // nothing to store them on yet
    ASSERT_TRUE(OpenDefault(port));
    ASSERT_TRUE(port.SetReadTimeouts(0));
    char buffer[2000];
    auto start = Clock::now();
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    EXPECT_LT(Clock::now() - start, 100ms);

    // m = 20 and n = 4: waits up to 100 ms for four bytes.
    ASSERT_TRUE(port.SetReadTimeouts(20));
    start = Clock::now();
    EXPECT_EQ(port.Read(buffer, 4), 0);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 95ms);
    EXPECT_LT(waited, 1s);

    // ... and returns as soon as they are there.
    ASSERT_TRUE(port.SetReadTimeouts(1000));
    ASSERT_TRUE(WriteAllTo(pty.masterFd(), "OK\r\n"));
    start = Clock::now();
    ASSERT_EQ(port.Read(buffer, 4), 4);
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_EQ(std::string(buffer, 4), "OK\r\n");

    // A new opening reads at once again.
    ASSERT_TRUE(OpenDefault(port));
    start = Clock::now();
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    EXPECT_LT(Clock::now() - start, 100ms);
}

TEST_F(SerialPortOnPty, WrittenBytesArriveUnchanged) {
    ASSERT_TRUE(OpenDefault(port));
    std::string all;
    for (int value = 0; value < 256; ++value) {
        all.push_back(static_cast<char>(value));
    }
    port.Write(all.data(), static_cast<unsigned>(all.size()));
    EXPECT_EQ(ReadFor(pty.masterFd(), all.size() + 1, 100ms), all);  // and nothing more
    EXPECT_TRUE(sink.reports().empty());

    ASSERT_TRUE(WriteAllTo(pty.masterFd(), all));
    std::string received(all.size(), '\0');
    ASSERT_TRUE(port.SetReadTimeouts(10));
    ASSERT_EQ(port.Read(received.data(), static_cast<unsigned>(received.size())), 256);
    EXPECT_EQ(received, all);
}

TEST_F(SerialPortOnPty, EveryFailedWriteIsReportedOnce) {
    ASSERT_TRUE(OpenDefault(port));
    pty.HangUp();
    port.Write("QK+BAUD?\r\n", 10);
    port.Write("QK+STAT?\r\n", 10);
    EXPECT_EQ(sink.Count(kWriteComFailed), 2u);
    EXPECT_EQ(sink.reports().size(), 2u);
    EXPECT_EQ(sink.LastDetail(),
              pty.slavePath() + ": " + ErrnoText(EIO) + " (0 of 10 bytes written)");
    EXPECT_TRUE(port.IsOpen());
    char buffer[16];
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
}

TEST_F(SerialPortOnPty, WriteThatCannotGetThroughTimesOut) {
    const UniqueFd peer = OpenPeer(pty.slavePath());  // before the port makes the tty exclusive
    ASSERT_TRUE(OpenDefault(port));
    // Fill the line towards the device until it takes nothing more for a while.
    const std::string chunk(4096, 'x');
    std::size_t filled = 0;
    for (int round = 0; round < 1000; ++round) {
        for (ssize_t n; (n = write(peer.get(), chunk.data(), chunk.size())) > 0;) {
            filled += static_cast<std::size_t>(n);
        }
        pollfd room{peer.get(), POLLOUT, 0};
        if (poll(&room, 1, 100) == 0) {
            break;
        }
    }
    ASSERT_GT(filled, 0u);
    const auto start = Clock::now();
    port.Write("A", 1);
    EXPECT_GE(Clock::now() - start, 590ms);
    ASSERT_EQ(sink.Count(kWriteComFailed), 1u);
    EXPECT_EQ(sink.LastDetail(),
              pty.slavePath() + ": timed out after 600 ms (0 of 1 bytes written)");

    // The device reads again: the next write goes through.
    EXPECT_EQ(ReadFor(pty.masterFd(), filled, 5s).size(), filled);
    port.Write("B", 1);
    EXPECT_EQ(sink.Count(kWriteComFailed), 1u);
    EXPECT_EQ(ReadFor(pty.masterFd(), 1), "B");
}

TEST_F(SerialPortOnPty, WriteOnClosedPortIsReported) {
    port.Write("QK\r\n", 4);
    ASSERT_TRUE(OpenDefault(port));
    port.Close();
    port.Write("QK\r\n", 4);
    EXPECT_EQ(sink.Count(kWriteComFailed), 2u);
    EXPECT_EQ(sink.LastDetail(), pty.slavePath() + " is not open");
}

TEST_F(SerialPortOnPty, NoDescriptorOutlivesThePort) {
    const int before = test::CountOpenDescriptors();
    {
        CSerialPort owned(ports, sink);
        ASSERT_TRUE(OpenDefault(owned));
        ASSERT_TRUE(OpenDefault(owned));  // opening again closes the first descriptor
        EXPECT_EQ(test::CountOpenDescriptors(), before + 1);
    }
    EXPECT_EQ(test::CountOpenDescriptors(), before);
    // ... and its lock went with it.
    EXPECT_TRUE(OpenDefault(port));
    EXPECT_TRUE(sink.reports().empty());
}

TEST_F(SerialPortOnPty, ReadAfterCloseNeverTouchesAReusedDescriptor) {
    ASSERT_TRUE(OpenDefault(port));
    port.Close();
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);  // likely takes the number the port just gave back
    const UniqueFd readEnd(pipeFds[0]);
    const UniqueFd writeEnd(pipeFds[1]);
    ASSERT_TRUE(WriteAllTo(writeEnd.get(), "x"));
    char buffer[8];
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    int waiting = 0;
    ASSERT_EQ(ioctl(readEnd.get(), FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 1);
}

TEST_F(SerialPortOnPty, CloseWhileAnotherThreadReads) {
    // 0: the reader spins through reads that return at once. 50: each read waits (up to
    // 100 s for 2000 bytes), so Close meets a read in progress.
    for (const unsigned timeout : {0u, 50u}) {
        SCOPED_TRACE(timeout);
        ASSERT_TRUE(OpenDefault(port));
        ASSERT_TRUE(port.SetReadTimeouts(timeout));
        std::atomic<int> reads{0};
        std::atomic<bool> stop{false};
        std::thread reader([&] {
            char buffer[2000];
            while (!stop) {
                ++reads;
                port.Read(buffer, sizeof buffer);
            }
        });
        const auto deadline = Clock::now() + 2s;
        while (reads == 0 && Clock::now() < deadline) {
            std::this_thread::yield();
        }
        ASSERT_TRUE(WriteAllTo(pty.masterFd(), "+STAT:1\r\n"));
        const auto start = Clock::now();
        port.Close();
        EXPECT_LT(Clock::now() - start, 1s);
        EXPECT_FALSE(port.IsOpen());
        const int readsAtClose = reads;
        while (reads < readsAtClose + 3 && Clock::now() < deadline) {
            std::this_thread::yield();
        }
        stop = true;
        reader.join();
        EXPECT_GE(reads, readsAtClose + 3);  // reads after Close return at once
    }
}

}  // namespace
}  // namespace qk
