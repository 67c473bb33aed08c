#include <gtest/gtest.h>

#include <vector>

#include "CommandLine.h"

namespace qk::sim {
namespace {

using namespace std::chrono_literals;

CommandLineResult Parse(std::vector<std::string_view> arguments) {
    return ParseCommandLine(arguments);
}

TEST(CommandLineTest, EveryOptionReachesItsSetting) {
    const auto result =
        Parse({"--latency", "250", "--chunk=4:15", "--no-handshake", "--refuse-login",
               "--no-login-required", "--junk", "3", "--stream=9600", "--hangup-after", "5000",
               "--four-field-stat", "--verbose", "--link", "/tmp/qk-sim"});
    ASSERT_TRUE(result.ok()) << result.error;
    const auto& options = result.settings.options;
    EXPECT_EQ(options.latency, 250ms);
    EXPECT_EQ(options.chunkSize, 4u);
    EXPECT_EQ(options.chunkGap, 15ms);
    EXPECT_TRUE(options.noHandshake);
    EXPECT_TRUE(options.refuseLogin);
    EXPECT_FALSE(options.requireLogin);
    EXPECT_EQ(options.junkEvery, 3u);
    EXPECT_EQ(options.streamBytesPerSecond, 9600u);
    EXPECT_EQ(options.hangupAfter, 5000ms);
    EXPECT_TRUE(options.fourFieldStat);
    EXPECT_TRUE(result.settings.verbose);
    EXPECT_EQ(result.settings.linkPath, "/tmp/qk-sim");

    // A chunk size alone writes the pieces back to back.
    EXPECT_EQ(Parse({"--chunk", "1"}).settings.options.chunkGap, 0ms);
}

TEST(CommandLineTest, BadArgumentsAreNamedInTheMessage) {
    struct Case {
        std::vector<std::string_view> arguments;
        std::string_view mentions;
    };
    const Case cases[] = {
        {{"--latency"}, "--latency"},
        {{"--latency", "fast"}, "fast"},
        {{"--latency", "-5"}, "-5"},
        {{"--latency", "+5"}, "+5"},
        {{"--latency", "5ms"}, "5ms"},
        {{"--latency="}, "--latency"},
        {{"--latency", "99999999999999999999999"}, "99999999999999999999999"},
        {{"--chunk", "0"}, "0"},
        {{"--chunk", "4:"}, "--chunk"},
        {{"--chunk", ":5"}, "--chunk"},
        {{"--chunk", "4:x"}, "x"},
        {{"--junk", "0"}, "--junk"},
        {{"--stream", "0"}, "--stream"},
        {{"--hangup-after", "0"}, "--hangup-after"},
        {{"--link"}, "--link"},
        {{"--link="}, "--link"},
        {{"--verbose=yes"}, "--verbose"},
        {{"--bogus"}, "--bogus"},
        {{"/dev/ttyS0"}, "/dev/ttyS0"},
    };
    for (const auto& c : cases) {
        const auto result = Parse(c.arguments);
        SCOPED_TRACE(c.arguments.front());
        EXPECT_FALSE(result.ok());
        EXPECT_NE(result.error.find(c.mentions), std::string::npos) << result.error;
    }
}

}  // namespace
}  // namespace qk::sim
