// The command line against the simulated device on a real pseudo-terminal.
#include <gtest/gtest.h>

#include <sstream>

#include "CliOptions.h"
#include "CliSession.h"
#include "SimulatedDevice.h"

namespace qk::cli {
namespace {

using namespace std::chrono_literals;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun RunCli(const sim::SimulatedDevice& device, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--port", device.slavePath(), "--settle", "300"});
    std::string error;
    const auto options = ParseCommandLine(arguments, error);
    EXPECT_TRUE(options) << error;
    if (!options) {
        return {kUsageError, "", error};
    }
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunSession(*options, out, err);
    return {status, out.str(), err.str()};
}

bool HasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST(CliEndToEndTest, GetFillsEveryFieldFromTheDevice) {
    sim::SimulatedDevice device;
    const CliRun run = RunCli(device, {"get"});
    ASSERT_EQ(run.status, kSuccess) << run.err;
    for (const char* line : {"deviceBaud=9600", "protocol=TCP", "destAddress=192.168.1.10",
                             "destPort=5000", "statusText1=ID:QK4520-000123",
                             "statusText2=Hardware Ver:V2.1,Software Ver:V3.5", "workType=0",
                             "heartbeatCode=1", "heartbeatData=HEART", "dnsServer=114.114.114.114",
                             "dataBits=8", "parity=N", "registerEnable=0",
                             "registerData=QK4520-000123", "loggedIn=0"}) {
        EXPECT_TRUE(HasLine(run.out, line)) << line << "\n" << run.out;
    }
    EXPECT_TRUE(run.out.find("statusText0=field strength:25  temperature:36\xE2\x84\x83  Voltage:3.30V") !=
                std::string::npos)
        << run.out;
    EXPECT_EQ(run.err, "");
}

TEST(CliEndToEndTest, SetChangesTheDeviceAndVerifiesIt) {
    sim::SimulatedDevice device;
    const CliRun run = RunCli(device, {"--json", "set", "destPort=5001", "protocol=UDP", "heartbeat=45s"});
    ASSERT_EQ(run.status, kSuccess) << run.err;
    EXPECT_EQ(device.Value("PPORT"), "5001");
    EXPECT_EQ(device.Value("PROTOCOL"), "UDP");
    EXPECT_EQ(device.Value("HEARTIME"), "2");
    const auto commands = device.ReceivedCommands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "QK+HEARTIME=2\r\n"), commands.end());
    EXPECT_NE(run.out.find("\"destPort\": \"5001\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"loggedIn\": \"1\""), std::string::npos) << run.out;
}

TEST(CliEndToEndTest, ARefusedLoginExitsWithThree) {
    sim::SimOptions options;
    options.refuseLogin = true;
    sim::SimulatedDevice device(options);
    const CliRun run = RunCli(device, {"set", "destPort=1"});
    EXPECT_EQ(run.status, kRefused);
    EXPECT_NE(run.err.find("Login fail!"), std::string::npos) << run.err;
    EXPECT_EQ(device.Value("PPORT"), "5000");
}

TEST(CliEndToEndTest, ADeviceThatNeverConfirmsTheHandshakeExitsWithTwo) {
    sim::SimOptions options;
    options.noHandshake = true;
    sim::SimulatedDevice device(options);
    const CliRun run = RunCli(device, {"--attempts", "3", "get"});
    EXPECT_EQ(run.status, kNoDevice);
    EXPECT_NE(run.err.find("Fail, Please try again!"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST(CliEndToEndTest, APortThatCannotBeOpenedExitsWithTwo) {
    CliOptions options;
    options.command = Command::Get;
    options.pins.push_back({1, "/nonexistent/tty", true});
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunSession(options, out, err), kNoDevice);
    EXPECT_NE(err.str().find("Open com failed!"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace qk::cli
