// The command-line program as another process: holding a port, and given bad input.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "FaultRig.h"
#include "SimulatedDevice.h"

namespace qk::faults {
namespace {

// A second program reaches for a port the first one holds.

TEST(HeldPort, ASecondProgramIsRefusedNamingTheHolderWhoseSessionEndsUndisturbed) {
    sim::SimulatedDevice device;
    // The shell prints its pid, which the program it turns into keeps.
    Program holder("echo $$; exec " + kCli + "--port " + device.slavePath() + " --settle 2500 get");
    char pid[32] = "";
    ASSERT_NE(fgets(pid, sizeof pid, holder.pipe.get()), nullptr);
    // Once it has asked for every parameter it holds the port, waiting for late answers.
    ASSERT_TRUE(device.WaitUntil(
        [](const sim::DeviceModel& m) { return m.CommandCount("QK+ENROL?\r\n") == 1; }, 20s));

    PortDirectory ports;
    ports.Pin(2, device.slavePath());
    ToolRig second(ports, 2);
    second.controller.ToggleOpen();
    const auto reports = second.sink.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, kOpenComFailed);
    const std::string named = "pid " + std::to_string(std::atoi(pid)) + " (qk4410-cli)";
    EXPECT_NE(reports[0].detail.find(named), std::string::npos) << reports[0].detail;
    EXPECT_FALSE(second.port.IsOpen() || second.loop.IsRunning());
    EXPECT_EQ(second.view.calls().back(), "SetOpenButtonCaption(\"Open\")");

    EXPECT_EQ(holder.Finish(), 0) << holder.output;
    EXPECT_NE(holder.output.find("\ndestPort=5000\n"), std::string::npos) << holder.output;
    EXPECT_NE(holder.output.find("\nregisterData=QK4520-000123\n"), std::string::npos);
    EXPECT_EQ(device.HandshakeReplies(), 1u);
}

// The command-line program given bad input: usage errors end with status 1 and a reason,
// paths that are not serial ports with status 2, before a byte is written to them.

namespace fs = std::filesystem;

TEST(BadCommandLine, UsageErrorsExitWithOneAndAReasonBeforeAnythingIsOpened) {
    for (const char* arguments : {"--baud 9601 get", "--parity", "fetch", "set protocol=SCTP",
                                  "--com 2=/dev/null --com 2=/dev/zero get"}) {
        Program cli(kCli + arguments);
        EXPECT_EQ(cli.Finish(), 1) << arguments;
        // The reason and the hint on standard error, nothing on standard output.
        EXPECT_TRUE(cli.output.starts_with("qk4410-cli: ")) << cli.output;
        EXPECT_TRUE(cli.output.ends_with("\nTry 'qk4410-cli --help'.\n")) << cli.output;
        EXPECT_EQ(std::ranges::count(cli.output, '\n'), 2) << cli.output;
    }
}

TEST(BadCommandLine, APathThatIsNoSerialPortExitsWithTwoAndIsLeftUntouched) {
    char dirName[] = "/tmp/qk-faults-XXXXXX";
    ASSERT_NE(mkdtemp(dirName), nullptr);
    const fs::path dir = dirName;
    const fs::path file = dir / "settings.txt";
    const fs::path fifo = dir / "fifo";
    const std::string content = "keep me\r\nQK+BAUD=9600\r\n";
    std::ofstream(file, std::ios::binary) << content;
    const auto fileTime = fs::last_write_time(file);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A reader on the fifo: had the tool opened it and written, the bytes would wait here.
    const int fifoReader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fifoReader, 0);

    const std::string notATerminal = " is not a serial port (not a terminal device)";
    const std::pair<fs::path, std::string> cases[] = {
        {file, notATerminal},
        {fifo, notATerminal},
        {dir, notATerminal},
        {"/dev/null", notATerminal},
        {dir / "missing", ": No such file or directory"}};
    for (const auto& [path, reason] : cases) {
        Program cli(kCli + "--port " + path.string() + " --attempts 1 get");
        EXPECT_EQ(cli.Finish(), 2) << path;
        EXPECT_TRUE(
            cli.output.starts_with("qk4410-cli: Open com failed! (" + path.string() + reason))
            << cli.output;
        EXPECT_EQ(std::ranges::count(cli.output, '\n'), 1) << cli.output;
    }

    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), content);
    EXPECT_EQ(fs::last_write_time(file), fileTime);
    char byte = 0;
    EXPECT_EQ(read(fifoReader, &byte, 1), 0);  // no writer ever came
    close(fifoReader);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace qk::faults
