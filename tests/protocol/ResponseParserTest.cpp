#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "RecordingDeviceView.h"
#include "ResponseParser.h"

namespace qk {
namespace {

using Calls = std::vector<std::string>;

class ResponseParserTest : public ::testing::Test {
  protected:
    void Feed(std::string_view block) { parser.HandleBlock(block); }
    const Calls& calls() const { return view.calls(); }

    DeviceState state;
    replay::RecordingDeviceView view;
    ResponseParser parser{state, view};
};

TEST_F(ResponseParserTest, EveryBlockIsLoggedVerbatimWhateverItHolds) {
    const std::string junk("\r\nQK+BAUD?\r\n\0\xFF+ID", 17);
    Feed(junk);
    Feed("+ID:7\r\n");
    EXPECT_EQ(state.infoLog, junk + "+ID:7\r\n");
}

// The observer hears each line the parse acts on, with the value as sent (BAUD's "96" would
// select "9600" in the list), and nothing the parse skips.
TEST_F(ResponseParserTest, WellFormedLinesAreDispatchedInOrderAndObserved) {
    Calls observed;
    parser.SetAnswerObserver([&](std::string_view key, std::string_view value) {
        observed.push_back(std::string(key) + "=" + std::string(value));
    });
    Feed("+PIPADD:10.0.0.1\r\n+PPORT:5000\r\n+ID:12345\r\n+BAUD:96\r\n");
    Feed("QK+PPORT?\r\n+PPORT:9\r\n");
    Feed("+PDNS:1.2.3.4\r\n+HEARTDAT:cut");
    EXPECT_EQ(state.destAddress, "10.0.0.1");
    EXPECT_EQ(state.destPort, "5000");
    EXPECT_EQ(state.statusText[1], "ID:12345");
    EXPECT_EQ(calls(), (Calls{R"(SetStatusText(1,"ID:12345"))", "SelectDeviceBaud(4)"}));
    EXPECT_EQ(observed,
              (Calls{"PIPADD=10.0.0.1", "PPORT=5000", "ID=12345", "BAUD=96", "PDNS=1.2.3.4"}));
}

TEST_F(ResponseParserTest, MalformedFramingFollowsTheSearchRules) {
    struct Case {
        const char* name;
        std::string_view block;
        std::string_view destPort;
        std::string_view destAddress;
    };
    const std::string pluses(5000, '+');
    const Case cases[] = {
        // No colon: the key runs across the line end and matches nothing.
        {"no colon", "+PPORT 1\r\n+PIPADD:a\r\n", "", "a"},
        // Colon then LF before any CR: the value runs on to the next CR.
        {"lf before cr", "+PPORT:80\n+PIPADD:a\r\n", "80\n+PIPADD:a", "a"},
        {"lf without any cr", "+PPORT:8080\n", "", ""},
        {"empty key", "+:5\r\n+PPORT:9\r\n", "9", ""},
        {"leading cr lf stops the parse", "\r\n+PPORT:9\r\n", "", ""},
        {"echoed command stops the parse", "QK+PPORT?\r\n+PPORT:9\r\n", "", ""},
        {"unknown key then a good line", "+ERROR\r\n+PPORT:7\r\n", "7", ""},
        {"value may hold colons", "+PIPADD:fe80::1\r\n", "", "fe80::1"},
        {"value keeps blanks", "+PPORT: 80 \r\n", " 80 ", ""},
        // A last line without its line end is logged but not acted on.
        {"incomplete last line", "+PIPADD:a\r\n+PPORT:50", "", "a"},
        {"lone plus", "+", "", ""},
        {"nothing but pluses", pluses, "", ""},
    };
    for (const auto& c : cases) {
        DeviceState fresh;
        replay::RecordingDeviceView silent;
        ResponseParser(fresh, silent).HandleBlock(c.block);
        EXPECT_EQ(fresh.destPort, c.destPort) << c.name;
        EXPECT_EQ(fresh.destAddress, c.destAddress) << c.name;
    }
}

TEST_F(ResponseParserTest, LoginAnswers) {
    Feed("+LOGIN:ok\r\n");
    EXPECT_FALSE(state.loggedIn);
    Feed("+LOGIN:OK\r\n");
    EXPECT_TRUE(state.loggedIn);
    Feed("+LOGIN:ERROR\r\n");
    EXPECT_TRUE(state.loggedIn) << "a refused login leaves the flag as it was";
    EXPECT_EQ(calls(), (Calls{R"(ShowMessage("Login fail!"))", R"(SetLoginLabel("Login"))",
                              R"(ShowMessage("Login fail!"))"}));
}

TEST_F(ResponseParserTest, ListAnswersSelectByPrefixAndClearOtherwise) {
    Feed("+BAUD:115200\r\n+PROTOCOL:udp\r\n");
    EXPECT_EQ(state.deviceBaudIndex, 11);
    EXPECT_EQ(state.protocolIndex, 1);
    Feed("+BAUD:96001\r\n+PROTOCOL:\r\n");
    EXPECT_EQ(state.deviceBaudIndex, -1);
    EXPECT_EQ(state.protocolIndex, -1);
    EXPECT_EQ(calls(), (Calls{"SelectDeviceBaud(11)", "SelectProtocol(1)", "SelectDeviceBaud(-1)",
                              "SelectProtocol(-1)"}));
}

TEST_F(ResponseParserTest, AdvancedAnswersStoreTextsAndIntegersWithoutViewCalls) {
    state.advanced.heartbeatCodeIsPosition = true;
    Feed(
        "+CHECKB:E\r\n+DATAB:8\r\n+ITVT:50\r\n+PACKSIZE:1024\r\n+PDNS: 8.8.8.8\r\n"
        "+WORKTYPE:1\r\n+REGEN:1\r\n+ENROL:abc\r\n+HEARTIME:2\r\n+HEARTDAT:hb\r\n"
        "+RECONNECTIME:30\r\n+RECONNECTCNT:3\r\n+OFFLINETIME:600\r\n+CANCELEN:-4x\r\n"
        "+CANCELDATA:bye\r\n");
    const AdvancedParams& a = state.advanced;
    EXPECT_EQ(std::tuple(a.parity, a.dataBits, a.packetGap, a.packetSize, a.dnsServer,
                         a.registerData, a.heartbeatData, a.reconnectInterval, a.reconnectTries,
                         a.disconnectTime, a.logoutData),
              std::tuple("E", "8", "50", "1024", " 8.8.8.8", "abc", "hb", "30", "3", "600", "bye"));
    EXPECT_EQ(std::tuple(a.workType, a.registerEnable, a.heartbeatCode, a.logoutEnable),
              std::tuple(1, 1, 2, -4));
    EXPECT_FALSE(a.heartbeatCodeIsPosition);  // an answer holds the device's code
    EXPECT_TRUE(calls().empty());
}

TEST_F(ResponseParserTest, KeysWithoutEffectAndLookalikesChangeNothing) {
    Feed(
        "+EN_ENROL:1\r\n+TEL:1\r\n+STOPB:1\r\n+DEBUG:1\r\n+GNOD:1\r\n+GUSER:1\r\n"
        "+GPSWD:1\r\n+SDNS:1\r\n+SIPADD:1\r\n+SPORT:1\r\n+pport:1\r\n+PPORT :1\r\n");
    EXPECT_EQ(state.advanced.registerEnable, kNoValue);
    EXPECT_EQ(state.destPort, "");
    EXPECT_TRUE(calls().empty());
}

TEST_F(ResponseParserTest, IntegerValuesReadTheLeadingNumber) {
    std::vector<int> integers;
    for (const char* value :
         {"", "abc", " 7", "+3x", "-2", "\t\n 12", "- 1", "99999999999", "-99999999999"}) {
        integers.push_back(IntegerOf(value));
    }
    EXPECT_EQ(integers, (std::vector{0, 0, 7, 3, -2, 12, 0, INT_MAX, INT_MIN}));
}

TEST_F(ResponseParserTest, VersionPartsComeFromFixedPositions) {
    Feed("+VER:ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n");
    EXPECT_EQ(state.statusText[2], "Hardware Ver:MNOP,Software Ver:UVWX");
    Feed("+VER:ABCD\r\n");
    EXPECT_EQ(state.statusText[2], "Hardware Ver:,Software Ver:");
    Feed("+VER:ABCDEFGHIJKLMNOPQRSTU\r\n");
    EXPECT_EQ(state.statusText[2], "Hardware Ver:MNOP,Software Ver:U");
}

TEST(FormatStatTest, BothFieldLayoutsAndVoltageShapes) {
    struct Case {
        std::string_view value;
        std::string_view strength, temperature, voltage;
    };
    const Case cases[] = {
        {"25,36,330", "25", "36", "3.30V"},
        {"8,0,36,330", "8", "36", "3.30V"},  // below 10: temperature and voltage shift by one
        {"10,36,33", "10", "36", "3.3V"},
        {"25,36,3300", "25", "36", "3.30V0"},
        {"25,36", "25", "36", ".V"},
        {"", "", "", ".V"},
        {"x,1,2,3", "x", "2", "3.V"},  // not a number counts as 0
    };
    for (const auto& c : cases) {
        const std::string expected = "field strength:" + std::string(c.strength) +
                                     "  temperature:" + std::string(c.temperature) +
                                     "\xA1\xE6  Voltage:" + std::string(c.voltage);
        EXPECT_EQ(ResponseParser::FormatStat(c.value), expected) << c.value;
    }
}

TEST(SubstringTest, ClampsInsteadOfFaulting) {
    EXPECT_EQ(Substring("abcdef", -3, 2), "ab");
    EXPECT_EQ(Substring("abcdef", 2, -1), "");
    EXPECT_EQ(Substring("abcdef", 6, 1), "");
    EXPECT_EQ(Substring("abcdef", 4, 100), "ef");
    EXPECT_EQ(LastCharacters("abcdef", -1), "");
    EXPECT_EQ(LastCharacters("abcdef", 2), "ef");
    EXPECT_EQ(LastCharacters("abcdef", 60), "abcdef");
}

}  // namespace
}  // namespace qk
