#include <gtest/gtest.h>

#include <climits>

#include "CommandTable.h"
#include "Parameters.h"
#include "RecordingDeviceView.h"
#include "ResponseParser.h"
#include "ValueLists.h"

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

// Every block is logged as it came, whatever it holds. What the device reported is kept as
// it was sent (BAUD's "96" selects "9600" in the list) and counted, and nothing the parse
// skips counts as reported.
TEST_F(ResponseParserTest, BlocksAreLoggedVerbatimAndWellFormedLinesDispatchedInOrder) {
    const std::string junk("\r\nQK+BAUD?\r\n\0\xFF+ID", 17);
    Feed(junk);
    Feed("+PIPADD:10.0.0.1\r\n+PPORT:5000\r\n+ID:12345\r\n+BAUD:96\r\n");
    Feed("QK+PPORT?\r\n+PPORT:9\r\n");
    Feed("+PDNS:1.2.3.4\r\n+HEARTDAT:cut");
    EXPECT_EQ(state.infoLog, junk + "+PIPADD:10.0.0.1\r\n+PPORT:5000\r\n+ID:12345\r\n+BAUD:96\r\n" +
                                 "QK+PPORT?\r\n+PPORT:9\r\n+PDNS:1.2.3.4\r\n+HEARTDAT:cut");
    EXPECT_EQ(std::tuple(state.destAddress, state.destPort, state.statusText[1]),
              std::tuple("10.0.0.1", "5000", "ID:12345"));
    EXPECT_EQ(calls(), (Calls{R"(SetStatusText(1,"ID:12345"))", "SelectDeviceBaud(4)"}));
    Calls reported;
    for (const Parameter& parameter : Parameters()) {
        if (const std::string* value = state.reported.Find(parameter.id)) {
            reported.push_back(std::string(parameter.answerKey) + "=" + *value + "#" +
                               std::to_string(state.reported.Count(parameter.id)));
        }
    }
    EXPECT_EQ(reported, (Calls{"ID=12345#1", "BAUD=96#1", "PIPADD=10.0.0.1#1", "PPORT=5000#1",
                               "PDNS=1.2.3.4#1"}));
    EXPECT_EQ(state.deviceId, "12345");
}

// Beyond the recorded sessions of tests/data, which replay what a noisy device sends.
TEST_F(ResponseParserTest, MalformedFramingFollowsTheSearchRules) {
    const std::string pluses(5000, '+');
    const std::tuple<const char*, std::string_view, std::string_view, std::string_view> cases[] = {
        // No colon: the key runs across the line end and matches nothing.
        {"no colon", "+PPORT 1\r\n+PIPADD:a\r\n", "", "a"},
        // Only whole "+KEY:VALUE\r\n" lines count: the value is never cut short or emptied.
        {"lf without any cr", "+PPORT:5000\r\n+PPORT:8080\n+PIPADD:a\r\n", "5000", "a"},
        {"cr inside a line", "+PPORT:5000\r\n+PPORT:80\r80\r\n", "5000", ""},
        {"empty key", "+:5\r\n+PPORT:9\r\n", "9", ""},
        {"value may hold colons", "+PIPADD:fe80::1\r\n", "", "fe80::1"},
        {"value keeps blanks", "+PPORT: 80 \r\n", " 80 ", ""},
        {"lookalike keys", "+pport:1\r\n+PPORT :1\r\n+SPORT:1\r\n+SIPADD:1\r\n", "", ""},
        {"lone plus", "+", "", ""},
        {"nothing but pluses", pluses, "", ""},
    };
    for (const auto& [name, block, destPort, destAddress] : cases) {
        DeviceState fresh;
        replay::RecordingDeviceView silent;
        ResponseParser(fresh, silent).HandleBlock(block);
        EXPECT_EQ(fresh.destPort, destPort) << name;
        EXPECT_EQ(fresh.destAddress, destAddress) << name;
        EXPECT_TRUE(silent.calls().empty()) << name;
    }
}

// A login answer counts only as "OK" exactly, and a refused one leaves the flag as it was;
// a list answer that fits no entry clears the selection. The versions come from fixed
// positions of their answer, and a short answer gives what is there.
TEST_F(ResponseParserTest, LoginListAndVersionAnswers) {
    Feed("+LOGIN:ok\r\n");
    EXPECT_FALSE(state.loggedIn);
    Feed("+LOGIN:OK\r\n+BAUD:115200\r\n+PROTOCOL:udp\r\n");
    Feed("+LOGIN:ERROR\r\n+BAUD:96001\r\n+PROTOCOL:\r\n");
    EXPECT_TRUE(state.loggedIn);
    EXPECT_EQ(std::pair(state.deviceBaudIndex, state.protocolIndex), std::pair(-1, -1));
    EXPECT_EQ(calls(),
              (Calls{R"(ShowMessage("Login fail!"))", R"(SetLoginLabel("Login"))",
                     "SelectDeviceBaud(11)", "SelectProtocol(1)", R"(ShowMessage("Login fail!"))",
                     "SelectDeviceBaud(-1)", "SelectProtocol(-1)"}));
    Feed("+VER:ABCDEFGHIJKLMNOPQRSTU\r\n");
    EXPECT_EQ(state.statusText[2], "Hardware Ver:MNOP,Software Ver:U");
    Feed("+VER:ABCD\r\n");
    EXPECT_EQ(state.statusText[2], "Hardware Ver:,Software Ver:");
}

// Integers are the leading number, clamped; the switch comes from REGEN, which is what the
// device answers to EN_ENROL; keys without an effect change nothing.
TEST_F(ResponseParserTest, AdvancedAnswersStoreTextsAndIntegersWithoutViewCalls) {
    state.advanced.heartbeatCodeIsPosition = true;
    Feed(
        "+EN_ENROL:7\r\n+CHECKB:E\r\n+DATAB:8\r\n+ITVT:50\r\n+PACKSIZE:1024\r\n+PDNS: 8.8.8.8\r\n"
        "+WORKTYPE:99999999999\r\n+REGEN: 1\r\n+ENROL:abc\r\n+HEARTIME:+2x\r\n+HEARTDAT:hb\r\n"
        "+RECONNECTIME:30\r\n+RECONNECTCNT:3\r\n+OFFLINETIME:600\r\n+CANCELEN:-4x\r\n"
        "+CANCELDATA:bye\r\n+TEL:1\r\n+STOPB:1\r\n+DEBUG:1\r\n+GNOD:1\r\n+GUSER:1\r\n");
    const AdvancedParams& a = state.advanced;
    EXPECT_EQ(std::tuple(a.parity, a.dataBits, a.packetGap, a.packetSize, a.dnsServer,
                         a.registerData, a.heartbeatData, a.reconnectInterval, a.reconnectTries,
                         a.disconnectTime, a.logoutData),
              std::tuple("E", "8", "50", "1024", " 8.8.8.8", "abc", "hb", "30", "3", "600", "bye"));
    EXPECT_EQ(std::tuple(a.workType, a.registerEnable, a.heartbeatCode, a.logoutEnable),
              std::tuple(INT_MAX, 1, 2, -4));
    EXPECT_FALSE(a.heartbeatCodeIsPosition);  // an answer holds the device's code
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(std::tuple(IntegerOf(""), IntegerOf("- 1"), IntegerOf("-99999999999")),
              std::tuple(0, 0, INT_MIN));
}

TEST(FormatStatTest, BothFieldLayoutsAndVoltageShapes) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"25,36,330", "25  temperature:36\xA1\xE6  Voltage:3.30V"},
        {"8,0,36,330", "8  temperature:36\xA1\xE6  Voltage:3.30V"},  // below 10: a field more
        {"10,36,33", "10  temperature:36\xA1\xE6  Voltage:3.3V"},
        {"25,36,3300", "25  temperature:36\xA1\xE6  Voltage:3.30V0"},
        {"", "  temperature:\xA1\xE6  Voltage:.V"},
        {"x,1,2,3", "x  temperature:2\xA1\xE6  Voltage:3.V"},  // not a number counts as 0
    };
    for (const auto& [value, shown] : cases) {
        EXPECT_EQ(ResponseParser::FormatStat(value), "field strength:" + std::string(shown))
            << value;
    }
}

const CommandTable kTable;

TEST(CommandBuilderTest, EveryBuilderGivesExactlyItsBytes) {
    const std::pair<std::string, std::string_view> cases[] = {
        // The query suffix is appended even where the text already ends in it.
        {BuildQuery(kTable, CommandId::Stat), "QK+STAT?\r\n?\r\n"},
        {BuildQuery(kTable, CommandId::Baud), "QK+BAUD?\r\n"},
        {BuildQuery(kTable, CommandId::RegisterEnable), "QK+EN_ENROL?\r\n"},
        {BuildSet(kTable, CommandId::DestPort, "5000"), "QK+PPORT=5000\r\n"},
        // GBK and spaces travel as they are: no quoting, no trimming.
        {BuildSet(kTable, CommandId::RegisterData, " \xCA\xB5 a,b "),
         "QK+ENROL= \xCA\xB5 a,b \r\n"},
        {BuildLogin(kTable, "358024"), "QK+LOGIN=358024\r\n"},
        {BuildHandshakeRequest(kTable), "REQUEST CFG MODE"},  // 16 bytes, no line end
        // Single characters: base plus value; out of range gives a non-digit the controller
        // refuses to send.
        {BuildSet(kTable, CommandId::HeartbeatTime, EncodeDigit('1', 2)), "QK+HEARTIME=3\r\n"},
        {EncodeDigit('0', -1), "/"},
        {EncodeDigit('0', 256), "0"},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(bytes, expected);
    }
}

TEST(ValueListTest, FindEntryByPrefixSearchesFromTheSecondEntryAndWraps) {
    const std::tuple<ValueList, std::string_view, int> cases[] = {
        {BaudRateList, "115200", 11},
        {BaudRateList, "1200", 0},    // found last, after the search wraps to the top
        {BaudRateList, "1", 5},       // "14400" comes before "115200" and "1200" in search order
        {BaudRateList, "96000", -1},  // longer than every entry it begins
        {BaudRateList, "", -1},
        {BaudRateList, "x", -1},
        {ProtocolList, "udp", 1},
        {ProtocolList, "tC", 0},
        {ParityList, "n", 0},
        {DataBitsList, "8 ", -1},
        // Only ASCII letters fold: GBK bytes compare exactly.
        {WorkModeList, WorkModeList[1], 1},
        {WorkModeList, "\xCA", 1},
    };
    for (const auto& [list, value, position] : cases) {
        EXPECT_EQ(FindEntryByPrefix(list, value), position) << value;
    }
    EXPECT_EQ(EntryAt(ProtocolList, 2), "");
    EXPECT_EQ(EntryAt(ProtocolList, -1), "");
}

}  // namespace
}  // namespace qk
