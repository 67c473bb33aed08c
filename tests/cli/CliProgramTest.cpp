// The command-line program as a shell runs it: standard streams closed or full, and stopped
// by a signal halfway through writing.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <thread>

#include "ChildProgram.h"
#include "Journal.h"
#include "SimulatedDevice.h"

namespace qk::cli {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kCli = std::string("'") + QK_CLI_PROGRAM + "' ";

// With standard output closed the port must not take its place: the record, login key
// included, would go to the device. A full disk is an error, not a success.
TEST(CliProgramTest, ClosedOrFullStandardOutputNeverReachesTheDeviceAndFailsAsAnError) {
    const std::tuple<const char*, int, const char*> cases[] = {
        {">&-", 0, ""},
        {"> /dev/full", 5, "qk4410-cli: cannot write the output: No space left on device\n"},
    };
    for (const auto& [redirection, status, message] : cases) {
        sim::SimulatedDevice device;
        test::Program cli(kCli + "--port " + device.slavePath() + " --settle 300 get " +
                          redirection);
        EXPECT_EQ(cli.Finish(), status) << redirection;
        EXPECT_EQ(cli.output, message);
        const auto commands = device.ReceivedCommands();
        EXPECT_EQ(device.BytesReceived(),
                  std::accumulate(commands.begin(), commands.end(), std::string()).size());
        EXPECT_EQ(commands.size(), 3u + 15u) << redirection;
    }
}

// A driver that refuses the line's settings leaves a port that looks open and garbles
// every byte: the run fails as a port that would not open, with the driver's reason, and
// the device hears nothing.
TEST(CliProgramTest, ALineThatRefusesItsSettingsFailsWithThePortsReason) {
    sim::SimulatedDevice device;
    test::Program cli(std::string("LD_PRELOAD='") + QK_REFUSING_LINE +
                      "' ASAN_OPTIONS=verify_asan_link_order=0 " + kCli + "--port " +
                      device.slavePath() + " get");
    EXPECT_EQ(cli.Finish(), 2);
    EXPECT_THAT(cli.output, HasSubstr("qk4410-cli: Open com failed! (" + device.slavePath() +
                                      ": raw mode: Invalid argument"));
    EXPECT_EQ(device.BytesReceived(), 0u);
}

// A stop signal halfway through a set (Ctrl-C, a kill, a dropped ssh session): the command
// in flight completes, nothing more is sent, the program says what it wrote, hands the line
// back as it found it and exits with 128 plus the signal.
TEST(CliProgramTest, AStopSignalMidSetStopsAfterTheCommandInFlightAndReleasesTheLine) {
    for (const auto& [signal, name] : {std::pair(SIGINT, "SIGINT"), std::pair(SIGTERM, "SIGTERM"),
                                       std::pair(SIGHUP, "SIGHUP")}) {
        SCOPED_TRACE(name);
        sim::SimulatedDevice device;
        const int line = open(device.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(line, 0);
        termios before{};
        ASSERT_EQ(tcgetattr(line, &before), 0);
        before.c_lflag |= ICANON | ECHO;
        ASSERT_EQ(tcsetattr(line, TCSANOW, &before), 0);

        test::Program cli("echo $$; exec " + kCli + "--port " + device.slavePath() +
                          " set destPort=6000 protocol=UDP heartbeat=45s");
        char pid[32] = "";
        ASSERT_NE(fgets(pid, sizeof pid, cli.pipe.get()), nullptr);
        ASSERT_TRUE(device.WaitUntil(
            [](const sim::DeviceModel& m) { return m.CommandCount("QK+PPORT=6000\r\n") == 1; },
            20s));
        const std::size_t commandsSoFar = device.ReceivedCommands().size();
        kill(std::atoi(pid), signal);

        EXPECT_EQ(cli.Finish(), 128 + signal) << cli.output;
        EXPECT_THAT(cli.output, HasSubstr(std::string("qk4410-cli: stopped by ") + name + "\n"));
        EXPECT_THAT(cli.output, HasSubstr("qk4410-cli: written, not verified: destPort; not "
                                          "written: protocol, heartbeat\n"));
        EXPECT_EQ(device.ReceivedCommands().size(), commandsSoFar);
        EXPECT_EQ(device.Value("PROTOCOL"), "TCP");

        int exclusive = -1;
        ASSERT_EQ(ioctl(line, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0);  // a non-root program may open the port again
        termios after{};
        ASSERT_EQ(tcgetattr(line, &after), 0);
        EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
        close(line);
    }
}

// Killed outright halfway through a journaled apply: the journal stays readable, and the
// change reads as interrupted, with what the device held before, never as half a row.
TEST(CliProgramTest, AKilledApplyLeavesItsChangeInterruptedInAReadableJournal) {
    char folder[] = "/tmp/qk-killed-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string journal = std::string(folder) + "/journal.sqlite";
    const std::string profile = std::string(folder) + "/site.profile";
    FILE* file = fopen(profile.c_str(), "w");
    fputs("destPort=6000\nprotocol=UDP\nheartbeat=45s\n", file);
    fclose(file);
    sim::SimulatedDevice device;
    test::Program cli("echo $$; exec " + kCli + "--journal " + journal + " --port " +
                      device.slavePath() + " --settle 300 apply " + profile);
    char pid[32] = "";
    ASSERT_NE(fgets(pid, sizeof pid, cli.pipe.get()), nullptr);
    ASSERT_TRUE(device.WaitUntil(
        [](const sim::DeviceModel& m) { return m.CommandCount("QK+PPORT=6000\r\n") == 1; }, 20s));
    kill(std::atoi(pid), SIGKILL);
    cli.Finish();

    std::string error;
    const auto opened = Journal::Open(journal, {.create = false}, error);
    ASSERT_TRUE(opened) << error;
    const auto last = opened->LastChange("QK4520-000123", error);
    ASSERT_TRUE(last) << error;
    EXPECT_EQ(last->result, ChangeResult::Interrupted);
    ASSERT_EQ(last->values.size(), 3u);
    EXPECT_EQ(last->values[0].before, "5000");
    EXPECT_EQ(last->values[0].wanted, "6000");
    test::Program history(kCli + "--journal " + journal + " history");
    EXPECT_EQ(history.Finish(), 0);
    EXPECT_THAT(history.output, HasSubstr("qk4410-cli apply  interrupted: the program ended"));
    std::filesystem::remove_all(folder);
}

// A profile that never comes (a FIFO nobody writes, a terminal nobody types at) holds the
// run only until the first stop signal; no device hears anything.
TEST(CliProgramTest, WaitingForAProfileEndsAtTheFirstStopSignal) {
    char folder[] = "/tmp/qk-fifo-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string fifo = std::string(folder) + "/profile";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    sim::SimulatedDevice device;
    test::Program cli("echo $$; exec " + kCli + "--port " + device.slavePath() + " apply " + fifo);
    char pid[32] = "";
    ASSERT_NE(fgets(pid, sizeof pid, cli.pipe.get()), nullptr);
    std::this_thread::sleep_for(300ms);
    kill(std::atoi(pid), SIGTERM);
    EXPECT_EQ(cli.Finish(), 128 + SIGTERM) << cli.output;
    EXPECT_THAT(cli.output, HasSubstr(fifo + ": stopped by SIGTERM"));
    EXPECT_EQ(device.BytesReceived(), 0u);
    unlink(fifo.c_str());
    rmdir(folder);
}

}  // namespace
}  // namespace qk::cli
