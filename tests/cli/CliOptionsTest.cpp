#include <gtest/gtest.h>

#include "CliOptions.h"
#include "ConsoleText.h"
#include "DeviceAssignments.h"

namespace qk::cli {
namespace {

std::optional<CliOptions> Parse(std::vector<std::string> arguments, std::string* error = nullptr) {
    std::string ignored;
    return ParseCommandLine(arguments, error ? *error : ignored);
}

TEST(CliOptionsTest, DefaultsMatchTheWindow) {
    const auto options = Parse({"get"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->command, Command::Get);
    EXPECT_EQ(options->comNumber, 1);
    EXPECT_EQ(options->baudIndex, 4);
    EXPECT_EQ(options->dataBitsIndex, 3);
    EXPECT_EQ(options->parityIndex, 0);
    EXPECT_EQ(options->loginKey, "358024");
    EXPECT_EQ(options->settleMs, 1000);
    EXPECT_EQ(options->handshakeAttempts, 80);
}

TEST(CliOptionsTest, SerialSettingsBecomeListPositions) {
    const auto options =
        Parse({"--com", "3", "--baud", "76800", "--data-bits", "7", "--parity", "E", "--json", "get"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->comNumber, 3);
    EXPECT_EQ(options->baudIndex, 10);
    EXPECT_EQ(options->dataBitsIndex, 2);
    EXPECT_EQ(options->parityIndex, 2);
    EXPECT_TRUE(options->json);

    const auto pinned = Parse({"--port", "/dev/pts/7", "get"});
    ASSERT_TRUE(pinned);
    ASSERT_EQ(pinned->pins.size(), 1u);
    EXPECT_EQ(pinned->pins[0].number, 1);
    EXPECT_EQ(pinned->pins[0].path, "/dev/pts/7");
}

TEST(CliOptionsTest, BadCommandLinesAreRefusedWithAReason) {
    struct Case {
        std::vector<std::string> arguments;
        std::string reason;
    };
    const Case cases[] = {
        {{}, "no command given (get, set or ports)"},
        {{"fetch"}, "unknown command 'fetch' (get, set or ports)"},
        {{"get", "ports"}, "only one command may be given, got 'ports' as well"},
        {{"--baud", "9601", "get"}, "--baud must be one of"},
        {{"--baud"}, "--baud needs a value"},
        {{"--com", "15", "get"}, "--com takes a number from 1 to 14 or N=PATH, got '15'"},
        {{"--com", "x", "get"}, "--com takes a number"},
        {{"--com", "0=/dev/x", "get"}, "--com 0=/dev/x: "},
        {{"--port", "/a", "--com", "2", "get"}, "--port and --com N choose the port: give only one"},
        {{"--data-bits", "9", "get"}, "--data-bits must be 5, 6, 7 or 8; got '9'"},
        {{"--parity", "X", "get"}, "--parity must be N, O or E; got 'X'"},
        {{"--settle", "-1", "get"}, "--settle takes milliseconds"},
        {{"--attempts", "0", "get"}, "--attempts takes a number from 1 to 1000"},
        {{"--verbose", "get"}, "unknown option '--verbose'"},
        {{"set"}, "set needs at least one NAME=VALUE"},
        {{"set", "colour=red"}, "unknown parameter 'colour'"},
        {{"set", "=5"}, "expected NAME=VALUE"},
        {{"set", "protocol=SCTP"}, "protocol must be one of TCP, UDP, got 'SCTP'"},
        {{"set", "heartbeat=50s"}, "heartbeat must be one of 30s, 45s, 60s"},
        {{"set", "workType=2"}, "workType must be one of 0, 1"},
        {{"set", "destPort=50\n00"}, "destPort: a value cannot hold a line break"},
        {{"set", "registerData=\xFF\xFE"}, "registerData: the text cannot be written"},
        {{"get", "extra"}, "unexpected argument 'extra'"},
        {{"ports", "x=1"}, "unexpected argument 'x=1'"},
        {{"--port"}, "--port needs a value"},
        {{"--com"}, "--com needs a value"},
        {{"--data-bits"}, "--data-bits needs a value"},
        {{"--parity"}, "--parity needs a value"},
        {{"--key"}, "--key needs a value"},
        {{"--settle"}, "--settle needs a value"},
        {{"--attempts"}, "--attempts needs a value"},
        {{"--port", "", "get"}, "--port needs a path"},
        {{"--port", "/a", "--port", "/b", "get"},
         "--port and --com N choose the port: give only one"},
        {{"--com", "2", "--port", "/a", "get"},
         "--port and --com N choose the port: give only one"},
        {{"--com", "2", "--com", "3", "get"}, "--port and --com N choose the port: give only one"},
        {{"--com", "2=", "get"}, "--com 2=: no device path after '2='"},
        {{"--com", "2=/a", "--com", "2=/b", "get"}, "COM2 is given two paths, '/a' and '/b'"},
        {{"--port", "/a", "--com", "1=/b", "get"}, "COM1 is given two paths, '/a' and '/b'"},
        {{"--baud", "", "get"}, "--baud must be one of"},
        {{"--baud", "9600 ", "get"}, "--baud must be one of"},
        {{"--data-bits", "08", "get"}, "--data-bits must be 5, 6, 7 or 8; got '08'"},
        {{"--parity", "n", "get"}, "--parity must be N, O or E; got 'n'"},
        {{"--settle", "600001", "get"},
         "--settle takes milliseconds from 0 to 600000, got '600001'"},
        {{"--settle", "1s", "get"}, "--settle takes milliseconds from 0 to 600000, got '1s'"},
        {{"--attempts", "1001", "get"}, "--attempts takes a number from 1 to 1000, got '1001'"},
        {{"--attempts", "+5", "get"}, "--attempts takes a number from 1 to 1000, got '+5'"},
        {{"--key", "12\n34", "get"}, "--key cannot hold a line break"},
        {{"-x", "get"}, "unknown option '-x'"},
        {{"set", "destPort"}, "expected NAME=VALUE, got 'destPort'"},
        {{"set", "deviceBaud=9601"}, "deviceBaud must be one of 1200, 2400"},
        {{"set", "dataBits=9"}, "dataBits must be one of 5, 6, 7, 8, got '9'"},
        {{"set", "parity=X"}, "parity must be one of N, O, E, got 'X'"},
        {{"set", "registerEnable=2"}, "registerEnable must be one of 0, 1, got '2'"},
        {{"set", "heartbeatData=a\rb"}, "heartbeatData: a value cannot hold a line break"},
        {{"set", "dnsServer=\xC0"}, "dnsServer: the text cannot be written"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(Parse(c.arguments, &error)) << c.reason;
        EXPECT_TRUE(error.starts_with(c.reason)) << "got: " << error;
    }
}

TEST(DeviceAssignmentsTest, ValuesAreAppliedAsTheWindowAndDialogWould) {
    DeviceAssignments assignments;
    std::string error;
    for (const char* text : {"deviceBaud=115200", "protocol=udp", "destPort=5000", "heartbeat=45s",
                             "parity=e", "registerData=\xE6\xB3\xA8\xE5\x86\x8C" /* 注册 */}) {
        ASSERT_TRUE(assignments.Add(text, error)) << error;
    }
    EXPECT_TRUE(assignments.HasBasic());
    EXPECT_TRUE(assignments.HasAdvanced());

    DeviceState state;
    state.advanced.heartbeatCode = 3;  // the device said 60s
    state.advanced.dataBits = "8";
    assignments.ApplyBasic(state);
    assignments.ApplyAdvanced(state.advanced);
    EXPECT_EQ(state.deviceBaudIndex, 11);
    EXPECT_EQ(state.protocolIndex, 1);
    EXPECT_EQ(state.destPort, "5000");
    EXPECT_EQ(state.destAddress, "") << "not named, not touched";
    EXPECT_EQ(state.advanced.heartbeatCode, 1);
    EXPECT_EQ(state.advanced.parity, "E");
    EXPECT_EQ(state.advanced.dataBits, "8") << "kept as the dialog would keep it";
    EXPECT_EQ(state.advanced.registerData, "\xD7\xA2\xB2\xE1");
}

TEST(DeviceAssignmentsTest, DifferencesNameWhatTheDeviceDidNotTake) {
    DeviceAssignments assignments;
    std::string error;
    ASSERT_TRUE(assignments.Add("destPort=5000", error));
    ASSERT_TRUE(assignments.Add("heartbeat=45s", error));
    ASSERT_TRUE(assignments.Add("protocol=UDP", error));
    DeviceState reported;
    reported.destPort = "5000";
    reported.advanced.heartbeatCode = 2;  // the device's code for 45s
    reported.protocolIndex = 0;
    EXPECT_EQ(assignments.Differences(reported), std::vector<std::string>{"protocol"});
}

TEST(ConsoleTextTest, GbkIsShownAsUtf8WithEveryOtherByteVisible) {
    EXPECT_EQ(GbkToDisplay("\xCE\xB4\xB5\xC7\xC2\xBD"), "\xE6\x9C\xAA\xE7\x99\xBB\xE9\x99\x86");  // 未登陆
    EXPECT_EQ(GbkToDisplay("a\r\nb\\\x01"), "a\\r\\nb\\\\\\x01");
    EXPECT_EQ(GbkToDisplay("x\xFFy"), "x\\xFFy");
    EXPECT_EQ(GbkToDisplay("\xA1"), "\\xA1") << "a lead byte cut off at the end";
    EXPECT_EQ(GbkToJson("\"\xA1\xE6\"\n"), "\"\\\"\xE2\x84\x83\\\"\\n\"");
    EXPECT_EQ(GbkToJson("\xFF"), "\"\xEF\xBF\xBD\"");
    EXPECT_EQ(Utf8ToGbk("\xE2\x84\x83"), "\xA1\xE6");
    EXPECT_FALSE(Utf8ToGbk("\xC0"));
}

}  // namespace
}  // namespace qk::cli
