// The command line against the simulated device on a real pseudo-terminal.
#include <gtest/gtest.h>

#include <sstream>

#include "CliOptions.h"
#include "CliSession.h"
#include "SimulatedDevice.h"

namespace qk::cli {
namespace {

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
        EXPECT_NE(("\n" + run.out).find("\n" + std::string(line) + "\n"), std::string::npos)
            << line << "\n"
            << run.out;
    }
    EXPECT_EQ(run.err, "");
}

TEST(CliEndToEndTest, SetChangesTheDeviceAndVerifiesIt) {
    sim::SimulatedDevice device;
    const CliRun run =
        RunCli(device, {"--json", "set", "destPort=5001", "protocol=UDP", "heartbeat=45s"});
    ASSERT_EQ(run.status, kSuccess) << run.err;
    EXPECT_EQ(device.Value("PPORT"), "5001");
    EXPECT_EQ(device.Value("PROTOCOL"), "UDP");
    EXPECT_EQ(device.Value("HEARTIME"), "2");
    EXPECT_NE(run.out.find("\"destPort\": \"5001\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"loggedIn\": \"1\""), std::string::npos) << run.out;
}

TEST(CliEndToEndTest, FailuresExitWithTheirStatus) {
    struct Case {
        std::vector<std::string> arguments;
        sim::SimOptions device;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"set", "destPort=1"}, {.refuseLogin = true}, kRefused, "Login fail!"},
        {{"--attempts", "3", "get"}, {.noHandshake = true}, kNoDevice, "Fail, Please try again!"},
        {{"--com", "2=/nonexistent/tty", "--com", "2", "get"}, {}, kNoDevice, "Open com failed!"},
    };
    for (const auto& c : cases) {
        sim::SimulatedDevice device(c.device);
        const CliRun run = RunCli(device, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(device.Value("PPORT"), "5000") << c.message;
    }
}

}  // namespace
}  // namespace qk::cli
