// The qk4410-sim program: its arguments, and the built program run as a user would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>

#include "CommandLine.h"
#include "CommandTable.h"
#include "SerialTestSupport.h"

namespace qk::sim {
namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;

TEST(CommandLineTest, EveryOptionReachesItsSetting) {
    const std::vector<std::string_view> arguments = {"--latency",      "250",
                                                     "--chunk=4:15",   "--no-handshake",
                                                     "--refuse-login", "--no-login-required",
                                                     "--junk",         "3",
                                                     "--stream=9600",  "--hangup-after",
                                                     "5000",           "--four-field-stat",
                                                     "--verbose",      "--link",
                                                     "/tmp/qk-sim"};
    const CommandLineResult result = ParseCommandLine(arguments);
    const SimOptions& options = result.settings.options;
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(options.latency, 250ms);
    EXPECT_EQ(options.chunkSize, 4u);
    EXPECT_EQ(options.chunkGap, 15ms);
    EXPECT_TRUE(options.noHandshake && options.refuseLogin && !options.requireLogin);
    EXPECT_EQ(options.junkEvery, 3u);
    EXPECT_EQ(options.streamBytesPerSecond, 9600u);
    EXPECT_EQ(options.hangupAfter, 5000ms);
    EXPECT_TRUE(options.fourFieldStat && result.settings.verbose);
    EXPECT_EQ(result.settings.linkPath, "/tmp/qk-sim");
}

TEST(SimProgramTest, BadArgumentsExitWithStatusOneAndNameTheCulprit) {
    const std::pair<const char*, const char*> cases[] = {
        {"--latency", "--latency"},
        {"--latency fast", "fast"},
        {"--latency -5", "-5"},
        {"--latency +5", "+5"},
        {"--latency 5ms", "5ms"},
        {"--latency=", "--latency"},
        {"--latency 99999999999999999999", "99999999999999999999"},
        {"--chunk 0", "0"},
        {"--chunk 4:", "--chunk"},
        {"--chunk :5", "--chunk"},
        {"--chunk 4:x", "x"},
        {"--junk 0", "--junk"},
        {"--stream 0", "--stream"},
        {"--hangup-after 0", "--hangup-after"},
        {"--link", "--link"},
        {"--link=", "--link"},
        {"--verbose=yes", "--verbose"},
        {"--bogus", "--bogus"},
        {"/dev/ttyS0", "/dev/ttyS0"}};
    for (const auto& [arguments, culprit] : cases) {
        FILE* program = popen((std::string(QK_SIM_PROGRAM " ") + arguments + " 2>&1").c_str(), "r");
        ASSERT_NE(program, nullptr);
        std::string output(4096, '\0');
        output.resize(fread(output.data(), 1, output.size(), program));
        EXPECT_EQ(WEXITSTATUS(pclose(program)), 1) << arguments;
        EXPECT_THAT(output, testing::StartsWith("qk4410-sim: "));
        EXPECT_THAT(output, HasSubstr(culprit));
    }
}

TEST(SimProgramTest, PrintsTheTtyItServesAndEndsAfterHangingUp) {
    FILE* program = popen(QK_SIM_PROGRAM " --hangup-after 1000 2>/dev/null", "r");
    ASSERT_NE(program, nullptr);
    char line[256] = {};
    ASSERT_NE(fgets(line, sizeof line, program), nullptr);
    const test::UniqueFd tool(open(std::string(line, std::strcspn(line, "\n")).c_str(), O_RDWR));
    const std::string request = BuildHandshakeRequest(CommandTable());
    ASSERT_TRUE(test::WriteAllTo(tool.fd, request + request + request));
    EXPECT_EQ(test::ReadFor(tool.fd, 9), "CFG MODE\r");
    EXPECT_EQ(pclose(program), 0);
}

}  // namespace
}  // namespace qk::sim
