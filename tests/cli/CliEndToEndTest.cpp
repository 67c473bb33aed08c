// The command line against the simulated device on a real pseudo-terminal: what it reports
// must be what the device said, and what it writes exactly what it was asked to write.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "CliOptions.h"
#include "CliSession.h"
#include "SimulatedDevice.h"

namespace qk::cli {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun RunCli(const sim::SimulatedDevice& device, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--com", "1=" + device.slavePath(), "--settle", "300"});
    std::string error;
    const auto options = ParseCommandLine(arguments, error);
    EXPECT_TRUE(options) << error;
    std::ostringstream out;
    std::ostringstream err;
    const int status = options ? RunSession(*options, out, err) : kUsageError;
    return {status, out.str(), err.str()};
}

// The set commands the device received, the login left out.
std::vector<std::string> SetsReceived(const sim::SimulatedDevice& device) {
    std::vector<std::string> sets;
    for (const auto& command : device.ReceivedCommands()) {
        if (command.find('=') != std::string::npos && !command.starts_with("QK+LOGIN=")) {
            sets.push_back(command);
        }
    }
    return sets;
}

TEST(CliEndToEndTest, GetFillsEveryFieldFromTheDevice) {
    sim::SimulatedDevice device;
    const CliRun run = RunCli(device, {"get"});
    ASSERT_EQ(run.status, kSuccess) << run.err;
    for (const char* line :
         {"deviceBaud=9600", "protocol=TCP", "destAddress=192.168.1.10", "destPort=5000",
          "statusText0=field strength:25  temperature:36\xE2\x84\x83  Voltage:3.30V",
          "statusText1=ID:QK4520-000123", "statusText2=Hardware Ver:V2.1,Software Ver:V3.5",
          "workType=0", "heartbeatCode=1", "heartbeatData=HEART", "dnsServer=114.114.114.114",
          "dataBits=8", "parity=N", "registerEnable=0", "registerData=QK4520-000123",
          "loggedIn=0"}) {
        EXPECT_THAT("\n" + run.out, HasSubstr("\n" + std::string(line) + "\n"));
    }
    // Fields the device was never asked for, and never told, are not made up.
    EXPECT_THAT(run.out, Not(HasSubstr("packetGap=")));
    EXPECT_EQ(run.err, "");
}

// Whatever the device leaves out, get says so and fails: nothing it never reported is shown
// with a value.
TEST(CliEndToEndTest, GetFailsNamingEveryFieldTheDeviceDidNotReport) {
    struct Case {
        sim::SimOptions device;
        std::string missing;
    };
    const Case cases[] = {
        {{.ignoredCommands = {"PPORT", "ENROL"}}, "destPort, registerData"},
        {{.crOnly = true}, "deviceBaud, protocol, destAddress, destPort, statusText0"},
    };
    for (const auto& c : cases) {
        sim::SimulatedDevice device(c.device);
        const CliRun run = RunCli(device, {"--json", "get"});
        EXPECT_EQ(run.status, kIncomplete) << run.err;
        EXPECT_THAT(run.err, HasSubstr("the device did not report: " + c.missing));
        EXPECT_THAT(run.out, HasSubstr("\"destPort\": null"));
    }
}

// Only the named values go out, in the window's order with its pauses, and each counts as
// taken once the device's answer after the writes holds it.
TEST(CliEndToEndTest, SetWritesOnlyTheNamedValuesAndConfirmsThemFromTheDevice) {
    sim::SimulatedDevice device;
    const CliRun run = RunCli(
        device, {"set", "heartbeat=45s", "destPort=5001", "protocol=udp", "dnsServer=8.8.8.8"});
    ASSERT_EQ(run.status, kSuccess) << run.err;
    EXPECT_EQ(run.out, "destPort=5001\nprotocol=UDP\nheartbeat=45s\ndnsServer=8.8.8.8\n");
    EXPECT_THAT(SetsReceived(device),
                ElementsAreArray<std::string>({"QK+PPORT=5001\r\n", "QK+PROTOCOL=UDP\r\n",
                                               "QK+HEARTIME=2\r\n", "QK+PDNS=8.8.8.8\r\n"}));
    EXPECT_EQ(device.Value("PIPADD"), "192.168.1.10");  // not named, not touched
    EXPECT_EQ(device.Value("HEARTIME"), "2");
}

// A value the device did not take is named with the reason, and the run fails; stdout holds
// only what the device confirmed.
TEST(CliEndToEndTest, SetFailsNamingEachValueTheDeviceDidNotConfirm) {
    struct Case {
        sim::SimOptions device;
        std::vector<std::string> arguments;
        int status;
        std::string out;
        std::string message;
    };
    const Case cases[] = {
        {{},
         {"set", "destPort=99999", "heartbeat=60s"},
         kRefused,
         "heartbeat=60s\n",
         "destPort=99999 not confirmed: refused (the device reports \"5000\")"},
        {{.silentAfterLogin = true},
         {"set", "destPort=6000"},
         kRefused,
         "",
         "destPort=6000 not confirmed: no answer"},
        {{.ignoredCommands = {"PPORT"}},
         {"--json", "set", "destPort=6000", "protocol=UDP"},
         kRefused,
         "{\n  \"destPort\": null,\n  \"protocol\": \"UDP\"\n}\n",
         "destPort=6000 not confirmed: no answer"},
        {{.refuseLogin = true}, {"set", "destPort=1"}, kRefused, "", "Login fail!"},
        {{.ignoredCommands = {"LOGIN"}},
         {"set", "destPort=1"},
         kRefused,
         "",
         "the device did not answer the login"},
    };
    for (const auto& c : cases) {
        sim::SimulatedDevice device(c.device);
        const CliRun run = RunCli(device, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_EQ(run.out, c.out) << c.message;
        EXPECT_THAT(run.err, HasSubstr(c.message));
    }
}

// A device that garbles its answers may fail the check, but never makes the command line
// erase what it was not asked to change.
TEST(CliEndToEndTest, SetNeverWritesAValueItWasNotGivenWhateverTheDeviceSays) {
    sim::SimulatedDevice device(sim::SimOptions{.junkEvery = 3});
    RunCli(device, {"set", "workType=1", "protocol=UDP"});
    EXPECT_THAT(SetsReceived(device),
                ElementsAreArray<std::string>({"QK+PROTOCOL=UDP\r\n", "QK+WORKTYPE=1\r\n"}));
    for (const char* key : {"PIPADD", "HEARTDAT", "PDNS", "ENROL"}) {
        EXPECT_NE(device.Value(key), "") << key;
    }
}

// A device that goes away ends the run at once with status 2 and the cause; set says it
// wrote nothing.
TEST(CliEndToEndTest, AHangUpEndsTheRunWithStatusTwoAndTheCause) {
    sim::SimulatedDevice device(sim::SimOptions{.hangupAfter = 1s});
    const CliRun run = RunCli(device, {"set", "destPort=6000"});
    EXPECT_EQ(run.status, kNoDevice);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("qk4410-cli: Device lost, port closed (COM1 (" +
                                   device.slavePath() + "): "));
    EXPECT_THAT(run.err, HasSubstr("not written: destPort"));
    EXPECT_THAT(run.err, Not(HasSubstr("Write com failed")));
}

TEST(CliEndToEndTest, FailuresToReachTheDeviceExitWithStatusTwo) {
    struct Case {
        std::vector<std::string> arguments;
        sim::SimOptions device;
        std::string message;
    };
    const Case cases[] = {
        {{"--attempts", "3", "get"}, {.noHandshake = true}, "Fail, Please try again!"},
        {{"--com", "2=/nonexistent/tty", "--com", "2", "get"}, {}, "Open com failed!"},
    };
    for (const auto& c : cases) {
        sim::SimulatedDevice device(c.device);
        const CliRun run = RunCli(device, c.arguments);
        EXPECT_EQ(run.status, kNoDevice) << c.message;
        EXPECT_THAT(run.err, HasSubstr(c.message));
    }
}

}  // namespace
}  // namespace qk::cli
