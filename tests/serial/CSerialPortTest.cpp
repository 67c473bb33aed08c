#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <filesystem>
#include <fstream>
#include <numeric>

#include "CSerialPort.h"
#include "PortDiagnostics.h"
#include "PortDirectory.h"
#include "PseudoTerminal.h"
#include "RecordingSerialSink.h"
#include "SerialTestSupport.h"

namespace qk {
namespace {

using namespace std::chrono_literals;
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
        // Nothing waits: with no data and nobody writing, a read that waited would never
        // return.
        EXPECT_EQ(owned.Read(buffer, sizeof buffer), 0);
    }
    EXPECT_EQ(descriptors(), before);
    {
        // With standard input closed the port must still not become descriptor 0, where
        // the program's own reads and writes would meet the device.
        const test::UniqueFd savedInput(dup(STDIN_FILENO));
        close(STDIN_FILENO);
        CSerialPort owned(ports, sink);
        const bool openedBesideZero = Open(owned) && fcntl(STDIN_FILENO, F_GETFD) < 0;
        dup2(savedInput.fd, STDIN_FILENO);
        EXPECT_TRUE(openedBesideZero);
    }
    ASSERT_TRUE(Open(port));  // the destructor's close took the lock along
    port.Close();
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_NONBLOCK), 0);  // likely takes the number the port gave back
    const test::UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
    ASSERT_TRUE(test::WriteAllTo(writeEnd.fd, "x"));
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    EXPECT_EQ(read(readEnd.fd, buffer, sizeof buffer), 1);  // a read after Close took nothing
}

// A setting the line refuses fails the opening with the port's reason and leaves the line
// free; so does any other opening that fails.
TEST_F(SerialPortOnPty, RefusedSettingsAndOpeningsAreReportedWithTheReason) {
    const std::tuple<std::uint32_t, int, const char*> settings[] = {{0, 8, "0 baud"},
                                                                    {9600, 9, "9 data bits"}};
    for (const auto& [baud, dataBits, reason] : settings) {
        EXPECT_FALSE(port.Open(3, baud, dataBits, 0, 0) || port.IsOpen());
        EXPECT_THAT(sink.LastDetail(), HasSubstr(std::string(": line settings: ") + reason));
    }
    EXPECT_EQ(sink.Count(kOpenComFailed), 2u);
    ASSERT_TRUE(port.Open(3, 9600, 8, 0, 0));
    std::string comm;
    std::getline(std::ifstream("/proc/self/comm"), comm);
    const std::pair<int, std::string> cases[] = {
        {3, pty.slavePath() + " is locked by pid " + std::to_string(getpid()) + " (" + comm +
                ", this program)"},
        {9, "COM9 stands for no device; port mapping: " + ports.DescribeMapping()},
    };
    CSerialPort other(ports, sink);
    for (const auto& [number, detail] : cases) {
        EXPECT_FALSE(other.Open(number, 9600, 8, 0, 0) || other.IsOpen());
        EXPECT_EQ(sink.LastDetail(), detail);
    }
    EXPECT_EQ(sink.Count(kOpenComFailed), 4u);
    EXPECT_TRUE(port.IsOpen());
}

// Of the processes that have a busy port open, the one named as holding it is the one that
// locked it (flock, by device and inode in /proc/locks), the others after it; with no lock
// to be seen, all of them. A /proc of its own: the pty's real device, made-up processes.
TEST_F(SerialPortOnPty, TheProcessThatLockedABusyPortIsNamedAsItsHolder) {
    namespace fs = std::filesystem;
    const fs::path proc = fs::temp_directory_path() / ("qk-proc-" + std::to_string(getpid()));
    fs::remove_all(proc);
    const auto process = [&](int pid, const char* command) {
        fs::create_directories(proc / std::to_string(pid) / "fd");
        fs::create_symlink(pty.slavePath(), proc / std::to_string(pid) / "fd" / "3");
        std::ofstream(proc / std::to_string(pid) / "comm") << command << "\n";
    };
    process(100, "qk4410-sim");
    process(200, "QK4410ConfTool");
    process(300, "minicom");
    struct stat device {};
    ASSERT_EQ(stat(pty.slavePath().c_str(), &device), 0);
    char file[64];
    std::snprintf(file, sizeof file, "%02x:%02x:%llu", major(device.st_dev), minor(device.st_dev),
                  static_cast<unsigned long long>(device.st_ino));
    const std::string other = "fe:00:" + std::to_string(device.st_ino + 1);
    const std::string locks = "1: POSIX  ADVISORY  WRITE 100 " + std::string(file) + " 0 EOF\n" +
                              "2: FLOCK  ADVISORY  WRITE 300 " + other + " 0 EOF\n" +
                              "3: FLOCK  ADVISORY  WRITE 200 " + file + " 0 EOF\n" +
                              "3: -> FLOCK  ADVISORY  WRITE 300 " + file + " 0 EOF\n";
    std::ofstream(proc / "locks") << locks;
    EXPECT_EQ(DescribeHeldPort(pty.slavePath(), proc.string()),
              pty.slavePath() + " is locked by pid 200 (QK4410ConfTool); also open in pid 100 " +
                  "(qk4410-sim), pid 300 (minicom)");
    std::ofstream(proc / "locks") << "";
    EXPECT_EQ(DescribeHeldPort(pty.slavePath(), proc.string()),
              pty.slavePath() + " is in use by pid 100 (qk4410-sim), pid 200 (QK4410ConfTool), " +
                  "pid 300 (minicom)");
    fs::remove_all(proc);
}

TEST_F(SerialPortOnPty, EveryByteValueCrossesUnchangedAndAHangUpIsNoFailedWrite) {
    ASSERT_TRUE(Open(port));
    std::string all(256, '\0'), received(256, '\0');
    std::iota(all.begin(), all.end(), '\0');
    port.Write(all.data(), 256);
    EXPECT_EQ(test::ReadFor(pty.masterFd(), 257, 100ms), all);  // and nothing more
    ASSERT_TRUE(test::WriteAllTo(pty.masterFd(), all));
    ASSERT_TRUE(port.SetReadTimeouts(10));
    EXPECT_EQ(port.Read(received.data(), 256), 256);
    EXPECT_EQ(received, all);

    // A hang-up is the line's end, not a failed write each time: the owner reports it once.
    pty.HangUp();
    EXPECT_FALSE(port.Write("QK+BAUD?\r\n", 10) || port.Write("QK+STAT?\r\n", 10));
    EXPECT_TRUE(port.HungUp());
    EXPECT_EQ(port.HangUpReason(), "COM3 (" + pty.slavePath() + "): Input/output error");
    EXPECT_EQ(sink.Count(kWriteComFailed), 0u);
    port.Close();
    EXPECT_FALSE(port.Write("QK\r\n", 4));
    EXPECT_EQ(sink.LastDetail(), pty.slavePath() + " is not open");
    EXPECT_EQ(sink.Count(kWriteComFailed), 1u);
}

// What the device sent before the port opened is gone when it opens: a stale answer would
// stand in for the handshake reply.
TEST_F(SerialPortOnPty, OpeningDiscardsWhatArrivedBefore) {
    ASSERT_TRUE(test::WriteAllTo(pty.masterFd(), "+PPORT:1\r\nCFG MODE\r"));
    ASSERT_TRUE(Open(port));
    char buffer[64];
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    ASSERT_TRUE(test::WriteAllTo(pty.masterFd(), "CFG MODE\r"));
    int got = 0;
    EXPECT_TRUE(test::Eventually(
        [&] { return (got += port.Read(buffer + got, sizeof buffer - got)) >= 9; }));
    EXPECT_EQ(std::string(buffer, got), "CFG MODE\r");
}

// A timed read waits up to m * n + m ms for n bytes and returns once they are there; a
// write that cannot go out is given 100 ms per byte plus 500 ms, then reported. The waits
// are long, so that bytes written well into them arrive within them however loaded the
// machine; a read that did not return once its bytes were there would outlast the test.
TEST_F(SerialPortOnPty, TimedReadsWaitForTheirBytesAndAWriteThatCannotGoOutIsReported) {
    ASSERT_TRUE(Open(port));
    ASSERT_TRUE(port.SetReadTimeouts(6000));  // 66 s for 10 bytes, longer than the test may run
    char buffer[10];
    std::thread late([&] {
        std::this_thread::sleep_for(50ms);
        test::WriteAllTo(pty.masterFd(), "01234");
        std::this_thread::sleep_for(50ms);
        test::WriteAllTo(pty.masterFd(), "56789");
    });
    int got = 0;
    while (got < 10) {
        const int n = port.Read(buffer + got, static_cast<unsigned>(sizeof buffer - got));
        ASSERT_GT(n, 0);  // not given up before the bytes came
        got += n;
    }
    late.join();
    EXPECT_EQ(std::string(buffer, sizeof buffer), "0123456789");

    // Nobody reads the other end: the line fills up, and then a write waits out its
    // deadline before it is reported.
    std::size_t writes = 0;
    while (port.Write("x", 1) && ++writes < (1u << 22)) {
    }
    EXPECT_EQ(sink.LastDetail(), pty.slavePath() + ": timed out after 600 ms (0 of 1 bytes written)");
}

// Terminal programs and other tools find the line as they left it: speed, canonical mode
// and echo come back on Close, even after a rate only termios2 can express.
TEST_F(SerialPortOnPty, CloseHandsTheLineBackAsItWasFound) {
    const test::UniqueFd other(open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY));
    termios before{};
    ASSERT_EQ(tcgetattr(other.fd, &before), 0);
    before.c_lflag |= ICANON | ECHO;
    cfsetospeed(&before, B1200);
    cfsetispeed(&before, B1200);
    ASSERT_EQ(tcsetattr(other.fd, TCSANOW, &before), 0);
    for (const std::uint32_t baud : {9600u, 7200u}) {
        ASSERT_TRUE(port.Open(3, baud, 8, 0, 0));
        termios open{};
        ASSERT_EQ(tcgetattr(other.fd, &open), 0);
        EXPECT_EQ(open.c_lflag & ICANON, 0u);
        port.Close();
        termios after{};
        ASSERT_EQ(tcgetattr(other.fd, &after), 0);
        EXPECT_EQ(std::tuple(after.c_lflag, after.c_iflag, after.c_cflag, cfgetospeed(&after)),
                  std::tuple(before.c_lflag, before.c_iflag, before.c_cflag, B1200))
            << baud;
    }
}

}  // namespace
}  // namespace qk
