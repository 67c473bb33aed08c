// A device that misbehaves while the tool talks to it, or streams while the tool reopens;
// the command-line program holding a port, and given paths that are no ports.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <random>

#include "ChildProgram.h"
#include "FaultRig.h"
#include "PseudoTerminal.h"
#include "SimulatedDevice.h"

#ifndef QK_FAULT_CYCLES
#define QK_FAULT_CYCLES 1000
#endif

namespace qk::faults {
namespace {

namespace fs = std::filesystem;
using test::Program;

const std::string kCli = std::string("'") + QK_CLI_PROGRAM + "' ";

// The device goes away (an unplugged adapter) while the tool reads its parameters.

TEST(DeviceHangsUp, MidParametersNothingSaidIsLostThePortClosesWithOneMessageAndANewDeviceOpens) {
    std::mutex sentMutex;
    std::string sent;
    auto device = std::make_unique<sim::SimulatedDevice>(
        sim::SimOptions{.hangupAfter = 1s}, [&](auto direction, std::string_view bytes) {
            if (direction == sim::SimulatedDevice::Direction::Sent) {
                std::lock_guard lock(sentMutex);
                sent += bytes;
            }
        });
    ToolRig tool(device->slavePath(), 3);

    // Four queries into Get Param., while the sequence holds the owner's thread and no block
    // runs, the answers so far are read off the line; then the device goes. A hang-up
    // discards what the line still holds, so only a loop that keeps reading saves them.
    int queries = 0;
    bool hungUp = false;
    tool.pacer.onPause = [&] {
        if (tool.view.buttonsEnabled && ++queries == 4) {
            const auto answersRead = [&] {
                std::lock_guard lock(sentMutex);
                return sent.find("+BAUD:") != std::string::npos &&
                       tool.handover.queuedBytes() == sent.size() - kHandshakeReply.size();
            };
            const auto start = Clock::now();
            while (!answersRead() && Clock::now() - start < 5s) {
                std::this_thread::yield();
            }
            hungUp = answersRead() && device->WaitUntilHungUp(5s);
        }
    };
    tool.controller.ToggleOpen();
    tool.pacer.onPause = nullptr;
    ASSERT_TRUE(hungUp);

    // The sequence ended at the first command that met the dead line, which closed the port
    // once every answer had been handled: the log holds all the device said, and nothing else.
    EXPECT_FALSE(tool.port.IsOpen() || tool.loop.IsRunning() || tool.view.buttonsEnabled);
    EXPECT_EQ(device->ReceivedCommands().size(), 3u + 4u);
    {
        std::lock_guard lock(sentMutex);
        ASSERT_TRUE(sent.starts_with(kHandshakeReply));
        EXPECT_EQ(tool.state.infoLog, sent.substr(kHandshakeReply.size()));
    }
    EXPECT_EQ(tool.state.statusText[1], "ID:QK4520-000123");
    EXPECT_TRUE(tool.sink.reports().empty());
    EXPECT_EQ(
        std::ranges::count_if(tool.view.calls(),
                              [](const auto& call) { return call.starts_with("ShowLineLost("); }),
        1);
    EXPECT_THAT(tool.view.calls().back(), ::testing::StartsWith("ShowLineLost(\"COM3 (" + device->slavePath()));

    // A new device plugged in under the same COM number works at once.
    device.reset();
    sim::SimulatedDevice replacement;
    tool.ports.Pin(3, replacement.slavePath());
    tool.controller.ToggleOpen();
    ASSERT_TRUE(tool.InConfigMode());
    ASSERT_TRUE(tool.RunBlocksUntil([&] { return tool.HasAllParameters(); }));
    EXPECT_EQ(tool.state.advanced.registerData, "QK4520-000123");
    EXPECT_TRUE(tool.sink.reports().empty());
}

// A device that says far more than the tool asked for, much of it not answer lines: every
// byte must reach the information log, in order.

constexpr std::size_t kFloodBytes = 10 * 1024 * 1024;

// Answer lines, junk lines, lines cut off without a line feed or any line end, runs of
// arbitrary bytes, and runs of 2000 (a whole block) and 4999 bytes without a line feed; the
// last bytes are a line end, so all of it is handed over.
std::string MakeFlood() {
    const std::string_view pieces[] = {
        "+PIPADD:10.0.0.1\r\n", "+STAT:25,36,330\r\n", "+VER:QK4520-1 HW:V2.1 SW:V3.5\r\n",
        "+LOGIN:OK\r\n", "RDY\r\n", "\r\n", "QK+BAUD?\r\n", "+ERROR:UNKNOWN\r\n", "+PPORT:8080\r",
        "+PIPADD:half"};
    std::mt19937 random(5);
    const auto noise = [&](std::size_t length, bool lineFeeds) {
        std::string bytes;
        while (bytes.size() < length) {
            const auto byte = static_cast<char>(random());
            bytes += lineFeeds || byte != '\n' ? byte : '\r';
        }
        return bytes;
    };
    std::string flood;
    while (flood.size() < kFloodBytes) {
        flood += random() % 4 == 0 ? noise(1 + random() % 64, true)
                                   : std::string(pieces[random() % std::size(pieces)]);
    }
    flood.insert(kFloodBytes / 3, noise(2000, false));
    flood.insert(2 * kFloodBytes / 3, noise(4999, false));
    flood.resize(kFloodBytes - 2);
    return flood + "\r\n";
}

TEST(DeviceFloods, TenMegabytesOfAnswersJunkAndUnendedLinesAllReachTheLogInOrder) {
    const std::string flood = MakeFlood();
    sim::PseudoTerminal line;
    const int device = line.masterFd();
    fcntl(device, F_SETFL, fcntl(device, F_GETFL) | O_NONBLOCK);
    ToolRig tool(line.slavePath());
    // The device confirms the handshake the first time the tool waits for it.
    bool confirmed = false;
    tool.pacer.onPause = [&] {
        confirmed = confirmed || write(device, kHandshakeReply.data(), kHandshakeReply.size()) == 9;
    };
    tool.controller.ToggleOpen();
    ASSERT_TRUE(tool.InConfigMode());

    // Pieces of 1 to 8192 bytes as fast as the pty takes them, the blocks run in between,
    // until the log has it all or nothing has moved for thousands of waits on end.
    std::mt19937 random(11);
    const auto start = Clock::now();
    int idleWaits = 0;
    for (std::size_t written = 0; tool.state.infoLog.size() < flood.size() && idleWaits < 5000;) {
        const std::size_t piece =
            std::min<std::size_t>(1 + random() % 8192, flood.size() - written);
        const ssize_t n = written < flood.size() ? write(device, &flood[written], piece) : -1;
        written += n > 0 ? static_cast<std::size_t>(n) : 0;
        const bool ran = n > 0 ? tool.handover.RunPending() : tool.handover.WaitAndRunPending(1ms);
        idleWaits = n > 0 || ran ? 0 : idleWaits + 1;
    }
    std::cout << "[ figures  ] " << flood.size() << " bytes into the log in "
              << std::chrono::duration<double>(Clock::now() - start).count() << " s\n";
    EXPECT_TRUE(tool.state.infoLog == flood);  // byte for byte, in order
    tool.controller.ToggleOpen();
    EXPECT_TRUE(tool.sink.reports().empty());
}

// Opening, entering configuration mode and closing, over and over, while the device keeps
// sending data lines at the fastest rate a real line carries (460800 baud). How long each
// close takes is bench/CloseTiming's to measure.
long Entries(const char* directory) { return std::distance(fs::directory_iterator(directory), {}); }

TEST(OpenCloseCycles, WhileTheDeviceStreamsNoDeadlockNothingLeftBehind) {
    sim::SimulatedDevice device({.streamBytesPerSecond = 46000});
    ToolRig tool(device.slavePath());
    const long descriptors = Entries("/proc/self/fd");
    const long threads = Entries("/proc/self/task");

    const char* cyclesText = std::getenv("QK_FAULT_CYCLES");
    const int cycles = cyclesText != nullptr ? std::atoi(cyclesText) : QK_FAULT_CYCLES;
    int confirmed = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE(::testing::Message() << "cycle " << cycle);
        const std::optional<bool> opened = tool.OpenAndTakeIn();
        ASSERT_TRUE(opened.has_value());
        confirmed += *opened ? 1 : 0;
        tool.controller.ToggleOpen();
        ASSERT_FALSE(tool.port.IsOpen() || tool.loop.IsRunning());
    }
    std::cout << "[ figures  ] " << confirmed << " of " << cycles << " handshakes confirmed\n";
    EXPECT_EQ(Entries("/proc/self/fd"), descriptors);
    EXPECT_EQ(Entries("/proc/self/task"), threads);
    EXPECT_TRUE(tool.sink.reports().empty()) << tool.sink.LastDetail();
    EXPECT_GT(confirmed, cycles / 2);
}

// The command-line program as another process. A second program reaches for a port the
// first one holds.

TEST(HeldPort, ASecondProgramIsRefusedNamingTheHolderWhoseSessionEndsUndisturbed) {
    // Answers come a second late, so the program still waits for them, holding the port,
    // when the second opening comes.
    sim::SimulatedDevice device(sim::SimOptions{.latency = 1s});
    // The shell prints its pid, which the program it turns into keeps.
    Program holder("echo $$; exec " + kCli + "--port " + device.slavePath() + " --settle 2500 get");
    char pid[32] = "";
    ASSERT_NE(fgets(pid, sizeof pid, holder.pipe.get()), nullptr);
    // Once it has asked for every parameter it holds the port, waiting for the answers.
    ASSERT_TRUE(device.WaitUntil(
        [](const sim::DeviceModel& m) { return m.CommandCount("QK+ENROL?\r\n") == 1; }, 20s));

    ToolRig second(device.slavePath(), 2);
    second.controller.ToggleOpen();
    const std::string named = "pid " + std::to_string(std::atoi(pid)) + " (qk4410-cli)";
    ASSERT_EQ(second.sink.reports().size(), 1u);
    EXPECT_EQ(second.sink.Count(kOpenComFailed), 1u);
    // The simulated device in this process has the pty open too, but it is the program
    // that locked it that holds it.
    EXPECT_THAT(second.sink.LastDetail(), ::testing::HasSubstr("is locked by " + named));
    EXPECT_FALSE(second.port.IsOpen() || second.loop.IsRunning());
    EXPECT_EQ(second.view.calls().back(), "SetOpenButtonCaption(\"Open\")");

    EXPECT_EQ(holder.Finish(), 0) << holder.output;
    EXPECT_THAT(holder.output, ::testing::HasSubstr("\ndestPort=5000\n"));
    EXPECT_THAT(holder.output, ::testing::HasSubstr("\nregisterData=QK4520-000123\n"));
    EXPECT_EQ(device.HandshakeReplies(), 1u);
}

// The command-line program given paths that are not serial ports: status 2, before a byte
// is written to them.

TEST(BadCommandLine, APathThatIsNoSerialPortExitsWithTwoAndIsLeftUntouched) {
    char dirName[] = "/tmp/qk-faults-XXXXXX";
    const fs::path dir = mkdtemp(dirName), file = dir / "settings.txt", fifo = dir / "fifo";
    const std::string content = "keep me\r\nQK+BAUD=9600\r\n";
    std::ofstream(file, std::ios::binary) << content;
    const auto fileTime = fs::last_write_time(file);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A reader on the fifo: had the tool opened it and written, the bytes would wait here.
    const int fifoReader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fifoReader, 0);

    const std::string notTty = " is not a serial port (not a terminal device)";
    const std::pair<fs::path, std::string> cases[] = {
        {file, notTty}, {fifo, notTty}, {dir, notTty}, {"/dev/null", notTty},
        {dir / "missing", ": No such file or directory"}};
    for (const auto& [path, reason] : cases) {
        Program cli(kCli + "--port " + path.string() + " --attempts 1 get");
        EXPECT_EQ(cli.Finish(), 2) << path;
        // One line, on standard error.
        EXPECT_TRUE(
            cli.output.starts_with("qk4410-cli: Open com failed! (" + path.string() + reason) &&
            std::ranges::count(cli.output, '\n') == 1)
            << cli.output;
    }

    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), content);
    char byte = 0;
    EXPECT_TRUE(fs::last_write_time(file) == fileTime && read(fifoReader, &byte, 1) == 0);
    close(fifoReader);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace qk::faults
