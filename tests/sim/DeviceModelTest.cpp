#include <gtest/gtest.h>

#include "CommandTable.h"
#include "DeviceModel.h"
#include "RecordingDeviceView.h"
#include "ResponseParser.h"

namespace qk::sim {
namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

const CommandTable kTable;

std::string Query(CommandId id) {
    return BuildQuery(kTable, id);
}
std::string Set(CommandId id, std::string_view value) {
    return BuildSet(kTable, id, value);
}
std::string Login(std::string_view key) {
    return BuildLogin(kTable, key);
}
std::string Requests(int count = 3) {
    std::string requests;
    for (int i = 0; i < count; ++i) {
        requests += BuildHandshakeRequest(kTable);
    }
    return requests;
}

// The queries of reading all parameters, in the tool's order.
const CommandId kGetParameters[] = {
    CommandId::Stat,          CommandId::Id,
    CommandId::Ver,           CommandId::Baud,
    CommandId::DestAddress,   CommandId::DestPort,
    CommandId::Protocol,      CommandId::WorkType,
    CommandId::HeartbeatTime, CommandId::HeartbeatData,
    CommandId::Dns,           CommandId::DataBits,
    CommandId::Parity,        CommandId::RegisterEnable,
    CommandId::RegisterData,
};

class DeviceModelTest : public ::testing::Test {
  protected:
    using Clock = DeviceModel::Clock;

    // Brings the model into configuration mode, optionally logged in, as the tool does.
    void Enter(DeviceModel& device, bool login) {
        ASSERT_EQ(device.Receive(Requests(), now), DeviceModel::kHandshakeReply);
        if (login) {
            ASSERT_EQ(device.Receive(Login("358024"), now), "+LOGIN:OK\r\n");
        }
    }

    Clock::time_point now = Clock::time_point{} + 1h;
};

TEST_F(DeviceModelTest, HandshakeIsConfirmedOncePerBurstInNineBytes) {
    DeviceModel device;
    const std::string reply = device.Receive(Requests(), now);
    EXPECT_EQ(reply, "CFG MODE\r");
    EXPECT_EQ(reply.size(), 9u);
    EXPECT_TRUE(device.InConfigMode());

    // A burst is the tool's three requests, however they are spread over time...
    EXPECT_EQ(device.Receive(Requests(1), now + 1s), "CFG MODE\r");
    EXPECT_EQ(device.Receive(Requests(1), now + 1s + 400ms), "");
    EXPECT_EQ(device.Receive(Requests(1), now + 1s + 800ms), "");
    // ...so a tool that reopens the port at once gets a new reply,
    EXPECT_EQ(device.Receive(Requests(), now + 1s + 801ms), "CFG MODE\r");
    // and so does a lone request after a pause.
    EXPECT_EQ(device.Receive(Requests(1), now + 3s), "CFG MODE\r");
    EXPECT_EQ(device.HandshakeReplies(), 4u);
    EXPECT_EQ(device.CommandCount("REQUEST CFG MODE"), 10u);
}

TEST_F(DeviceModelTest, HandshakeRequestsArrivingInPiecesMakeOneBurst) {
    DeviceModel device;
    std::string replies;
    const std::string requests = "noise" + Requests();
    for (std::size_t i = 0; i < requests.size(); ++i) {
        replies += device.Receive(requests.substr(i, 1), now + std::chrono::milliseconds(i));
    }
    EXPECT_EQ(replies, "CFG MODE\r");
}

TEST_F(DeviceModelTest, OutsideConfigurationModeOnlyTheHandshakeCounts) {
    DeviceModel device;
    EXPECT_EQ(device.Receive(Query(CommandId::Baud) + Login("358024") + "REQUEST CFG", now), "");
    EXPECT_FALSE(device.InConfigMode());
    EXPECT_TRUE(device.ReceivedCommands().empty());
    // The request completes across the ignored text.
    EXPECT_EQ(device.Receive(" MODE", now), "CFG MODE\r");
    EXPECT_FALSE(device.LoggedIn());
}

TEST_F(DeviceModelTest, NoHandshakeOptionNeverEntersConfigurationMode) {
    DeviceModel device({.noHandshake = true});
    EXPECT_EQ(device.Receive(Requests(), now), "");
    EXPECT_EQ(device.Receive(Requests() + Query(CommandId::Baud), now + 5s), "");
    EXPECT_FALSE(device.InConfigMode());
    EXPECT_EQ(device.HandshakeReplies(), 0u);
}

TEST_F(DeviceModelTest, EveryQueryIsAnsweredUnderItsAnswerKey) {
    struct Case {
        CommandId id;
        std::string_view answer;
    };
    const Case cases[] = {
        {CommandId::Stat, "+STAT:25,36,330\r\n"},
        {CommandId::Id, "+ID:QK4520-000123\r\n"},
        {CommandId::Ver, "+VER:QK4520-1 HW:V2.1 SW:V3.5 2023-06-01\r\n"},
        {CommandId::Baud, "+BAUD:9600\r\n"},
        {CommandId::DestAddress, "+PIPADD:192.168.1.10\r\n"},
        {CommandId::DestPort, "+PPORT:5000\r\n"},
        {CommandId::Protocol, "+PROTOCOL:TCP\r\n"},
        {CommandId::WorkType, "+WORKTYPE:0\r\n"},
        {CommandId::HeartbeatTime, "+HEARTIME:1\r\n"},
        {CommandId::HeartbeatData, "+HEARTDAT:HEART\r\n"},
        {CommandId::Dns, "+PDNS:114.114.114.114\r\n"},
        {CommandId::DataBits, "+DATAB:8\r\n"},
        {CommandId::Parity, "+CHECKB:N\r\n"},
        {CommandId::RegisterEnable, "+REGEN:0\r\n"},
        {CommandId::RegisterData, "+ENROL:QK4520-000123\r\n"},
        {CommandId::PacketGap, "+ITVT:100\r\n"},
        {CommandId::PacketSize, "+PACKSIZE:1024\r\n"},
        {CommandId::ReconnectTime, "+RECONNECTIME:30\r\n"},
        {CommandId::ReconnectCount, "+RECONNECTCNT:5\r\n"},
        {CommandId::OfflineTime, "+OFFLINETIME:300\r\n"},
        {CommandId::CancelEnable, "+CANCELEN:0\r\n"},
        {CommandId::CancelData, "+CANCELDATA:BYE\r\n"},
    };
    DeviceModel device;
    Enter(device, false);
    for (const auto& c : cases) {
        SCOPED_TRACE(Query(c.id));
        // STAT, ID and VER carry a second "?\r\n": still exactly one answer.
        EXPECT_EQ(device.Receive(Query(c.id), now), c.answer);
    }
    EXPECT_EQ(device.ReceivedCommands().back(), Query(CommandId::CancelData));
}

TEST_F(DeviceModelTest, ToolsParserMakesSenseOfEveryAnswer) {
    for (const bool fourFields : {false, true}) {
        SCOPED_TRACE(fourFields ? "four-field STAT" : "three-field STAT");
        DeviceModel device({.fourFieldStat = fourFields});
        Enter(device, false);
        std::string queries;
        for (const auto id : kGetParameters) {
            queries += Query(id);
        }
        const std::string answers = device.Receive(queries, now);

        DeviceState state;
        replay::RecordingDeviceView view;
        ResponseParser parser(state, view);
        parser.HandleBlock(answers);

        EXPECT_EQ(state.statusText[0], "field strength:" + std::string(fourFields ? "8" : "25") +
                                           "  temperature:36\xA1\xE6  Voltage:3.30V");
        EXPECT_EQ(state.statusText[1], "ID:QK4520-000123");
        EXPECT_EQ(state.statusText[2], "Hardware Ver:V2.1,Software Ver:V3.5");
        EXPECT_EQ(state.deviceBaudIndex, 4);  // "9600"
        EXPECT_EQ(state.protocolIndex, 0);    // "TCP"
        EXPECT_EQ(state.destAddress, "192.168.1.10");
        EXPECT_EQ(state.destPort, "5000");
        EXPECT_EQ(state.advanced.workType, 0);
        EXPECT_EQ(state.advanced.heartbeatCode, 1);
        EXPECT_EQ(state.advanced.heartbeatData, "HEART");
        EXPECT_EQ(state.advanced.dnsServer, "114.114.114.114");
        EXPECT_EQ(state.advanced.dataBits, "8");
        EXPECT_EQ(state.advanced.parity, "N");
        EXPECT_EQ(state.advanced.registerEnable, 0);
        EXPECT_EQ(state.advanced.registerData, "QK4520-000123");
        EXPECT_EQ(device.ReceivedCommands().size(), 3u + std::size(kGetParameters));
    }
}

TEST_F(DeviceModelTest, SetIsStoredAndConfirmedUnderTheAnswerKey) {
    struct Case {
        CommandId id;
        std::string_view value;
        std::string_view key;
    };
    const Case cases[] = {
        {CommandId::Baud, "115200", "BAUD"},        {CommandId::DestAddress, "10.0.0.1", "PIPADD"},
        {CommandId::DestPort, "8080", "PPORT"},     {CommandId::Protocol, "UDP", "PROTOCOL"},
        {CommandId::WorkType, "1", "WORKTYPE"},     {CommandId::HeartbeatTime, "3", "HEARTIME"},
        {CommandId::HeartbeatData, "", "HEARTDAT"}, {CommandId::Dns, "8.8.8.8", "PDNS"},
        {CommandId::DataBits, "7", "DATAB"},        {CommandId::Parity, "E", "CHECKB"},
        {CommandId::RegisterEnable, "1", "REGEN"},  {CommandId::RegisterData, "id=42:x", "ENROL"},
        {CommandId::PacketGap, "50", "ITVT"},       {CommandId::CancelEnable, "1", "CANCELEN"},
    };
    DeviceModel device;
    Enter(device, true);
    for (const auto& c : cases) {
        SCOPED_TRACE(Set(c.id, c.value));
        const std::string confirmation =
            "+" + std::string(c.key) + ":" + std::string(c.value) + "\r\n";
        EXPECT_EQ(device.Receive(Set(c.id, c.value), now), confirmation);
        EXPECT_EQ(device.Value(c.key), c.value);
        EXPECT_EQ(device.Receive(Query(c.id), now), confirmation);
    }
    EXPECT_EQ(device.Value("EN_ENROL"), std::nullopt);
}

TEST_F(DeviceModelTest, SetsNeedALoginUnlessToldOtherwise) {
    const std::string command = Set(CommandId::DestPort, "8080");
    DeviceModel strict;
    Enter(strict, false);
    EXPECT_EQ(strict.Receive(command, now), "+ERROR:NOT LOGGED IN\r\n");
    EXPECT_EQ(strict.Value("PPORT"), "5000");
    // A refused key does not open the door either.
    EXPECT_EQ(strict.Receive(Login("000000"), now), "+LOGIN:ERROR\r\n");
    EXPECT_EQ(strict.Receive(command, now), "+ERROR:NOT LOGGED IN\r\n");

    DeviceModel open({.requireLogin = false});
    Enter(open, false);
    EXPECT_EQ(open.Receive(command, now), "+PPORT:8080\r\n");
    EXPECT_EQ(open.Value("PPORT"), "8080");
}

TEST_F(DeviceModelTest, UnusableValuesAreRefusedAndNotStored) {
    struct Case {
        CommandId id;
        std::string value;
    };
    const Case cases[] = {
        {CommandId::Baud, "1234"},
        {CommandId::Baud, ""},
        {CommandId::DestPort, "0"},
        {CommandId::DestPort, "65536"},
        {CommandId::DestPort, "80a"},
        {CommandId::DestPort, ""},
        {CommandId::Protocol, "tcp"},
        {CommandId::WorkType, EncodeDigit('0', -1)},  // no work mode chosen: "/"
        {CommandId::HeartbeatTime, EncodeDigit('1', -1)},
        {CommandId::HeartbeatTime, "4"},
        {CommandId::RegisterEnable, "2"},
        {CommandId::DataBits, "9"},
        {CommandId::Parity, "n"},
        {CommandId::PacketSize, "-1"},
    };
    DeviceModel device;
    Enter(device, true);
    const auto before = device.Store();
    for (const auto& c : cases) {
        SCOPED_TRACE(Set(c.id, c.value));
        EXPECT_EQ(device.Receive(Set(c.id, c.value), now), "+ERROR:BAD VALUE\r\n");
    }
    EXPECT_EQ(device.Receive("QK+STAT=1,2,3\r\n", now), "+ERROR:READ ONLY\r\n");
    EXPECT_EQ(device.Receive("QK+ID=7\r\n", now), "+ERROR:READ ONLY\r\n");
    EXPECT_EQ(device.Store(), before);
}

TEST_F(DeviceModelTest, LoginIsJudgedByTheKeyAndForgottenByANewHandshake) {
    DeviceModel device;
    Enter(device, false);
    EXPECT_EQ(device.Receive(Login("358025"), now), "+LOGIN:ERROR\r\n");
    EXPECT_EQ(device.Receive(Login(""), now), "+LOGIN:ERROR\r\n");
    EXPECT_FALSE(device.LoggedIn());
    EXPECT_EQ(device.Receive(Login("358024"), now), "+LOGIN:OK\r\n");
    EXPECT_TRUE(device.LoggedIn());
    EXPECT_EQ(device.Receive(Login("1"), now), "+LOGIN:ERROR\r\n");
    EXPECT_TRUE(device.LoggedIn());

    EXPECT_EQ(device.Receive(Requests(), now + 10s), "CFG MODE\r");
    EXPECT_FALSE(device.LoggedIn());

    DeviceModel refusing({.refuseLogin = true});
    Enter(refusing, false);
    EXPECT_EQ(refusing.Receive(Login("358024"), now), "+LOGIN:ERROR\r\n");
    EXPECT_FALSE(refusing.LoggedIn());
}

TEST_F(DeviceModelTest, ByteAtATimeGivesTheSameAnswers) {
    std::string session = Requests() + Login("358024");
    for (const auto id : kGetParameters) {
        session += Query(id);
    }
    session += Set(CommandId::DestPort, "7000") + "\r\n" + "BAD\r\n" + Query(CommandId::DestPort);

    DeviceModel whole;
    const std::string expected = whole.Receive(session, now);
    ASSERT_TRUE(expected.ends_with("+PPORT:7000\r\n+ERROR:UNKNOWN COMMAND\r\n+PPORT:7000\r\n"));

    DeviceModel trickle;
    std::string answered;
    for (const char byte : session) {
        answered += trickle.Receive(std::string_view(&byte, 1), now);
    }
    EXPECT_EQ(answered, expected);
    EXPECT_EQ(trickle.ReceivedCommands(), whole.ReceivedCommands());
}

TEST_F(DeviceModelTest, GbkTextPassesThroughByteForByte) {
    // "实时在线" and bytes across the whole high range, including ':' '=' and '?' inside.
    const std::string gbk = "\xCA\xB5\xCA\xB1\xD4\xDA\xCF\xDF:=?\x80\xA1\xFE\xFF";
    DeviceModel device;
    Enter(device, true);
    EXPECT_EQ(device.Receive(Set(CommandId::HeartbeatData, gbk), now), "+HEARTDAT:" + gbk + "\r\n");
    EXPECT_EQ(device.Value("HEARTDAT"), gbk);
    EXPECT_EQ(device.Receive(Query(CommandId::HeartbeatData), now), "+HEARTDAT:" + gbk + "\r\n");
}

TEST_F(DeviceModelTest, CommandsAreRecordedAsTheToolWroteThem) {
    DeviceModel device;
    Enter(device, false);
    device.Receive(Query(CommandId::Stat) + Query(CommandId::Baud) + "?\r\n" + "\r\n", now);
    EXPECT_EQ(device.ReceivedCommands(),
              (Strings{"REQUEST CFG MODE", "REQUEST CFG MODE", "REQUEST CFG MODE",
                       "QK+STAT?\r\n?\r\n", "QK+BAUD?\r\n?\r\n"}));
    // A "?" line not following a query is kept on its own, and still not answered.
    EXPECT_EQ(device.Receive("?\r\n", now), "");
    EXPECT_EQ(device.ReceivedCommands().back(), "?\r\n");
    EXPECT_EQ(device.CommandCount(Query(CommandId::Stat)), 1u);
}

TEST_F(DeviceModelTest, MalformedCommandsGetAnErrorTheParserIgnores) {
    struct Case {
        std::string_view line;
        std::string_view answer;
    };
    const Case cases[] = {
        {"QK+GNOD?\r\n", "+ERROR:UNKNOWN COMMAND\r\n"},
        {"QK+REGEN?\r\n", "+ERROR:UNKNOWN COMMAND\r\n"},
        {"QK+?\r\n", "+ERROR:UNKNOWN COMMAND\r\n"},
        {"QK+BAUD\r\n", "+ERROR:UNKNOWN COMMAND\r\n"},
        {"qk+BAUD?\r\n", "+ERROR:UNKNOWN COMMAND\r\n"},
        {"AT\r\n", "+ERROR:UNKNOWN COMMAND\r\n"},
        {"QK+BAUD?\n", ""},                      // no CR: not a line yet
        {"\r\n", "+ERROR:UNKNOWN COMMAND\r\n"},  // ...until it is one, with the LF inside
        {"\r\n", ""},
    };
    DeviceModel device;
    Enter(device, false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(device.Receive(c.line, now), c.answer);
    }
    DeviceState state;
    replay::RecordingDeviceView view;
    ResponseParser(state, view).HandleBlock("+ERROR:UNKNOWN COMMAND\r\n");
    EXPECT_TRUE(view.calls().empty());
}

TEST_F(DeviceModelTest, OverlongLineIsRefusedOnceAndTheLineRecovers) {
    DeviceModel device;
    Enter(device, true);
    EXPECT_EQ(device.Receive(std::string(DeviceModel::kMaxLineLength, 'x'), now), "");
    EXPECT_EQ(device.Receive("xx", now), "+ERROR:LINE TOO LONG\r\n");
    // Its line end then closes an empty line, and the next command is served.
    EXPECT_EQ(device.Receive("\r\n" + Query(CommandId::Baud), now), "+BAUD:9600\r\n");
}

TEST_F(DeviceModelTest, HandshakeInConfigurationModeCountsOnlyAtALineStart) {
    DeviceModel device;
    Enter(device, true);
    const std::string text = "REQUEST CFG MODE";
    EXPECT_EQ(device.Receive(Set(CommandId::RegisterData, text), now + 5s),
              "+ENROL:" + text + "\r\n");
    EXPECT_EQ(device.HandshakeReplies(), 1u);
    EXPECT_EQ(device.Receive(Query(CommandId::Baud) + Requests(), now + 10s),
              "+BAUD:9600\r\nCFG MODE\r");
}

TEST_F(DeviceModelTest, JunkLinesGoBeforeEveryNthAnswerAndNeverTouchTheHandshake) {
    DeviceModel device({.junkEvery = 2});
    EXPECT_EQ(device.Receive(Requests(), now), "CFG MODE\r");
    const std::string baud = Query(CommandId::Baud);
    const std::string answers[] = {
        "+BAUD:9600\r\n", baud + "+BAUD:9600\r\n", "+BAUD:9600\r\n", "\r\n+BAUD:9600\r\n",
        "+BAUD:9600\r\n", "RDY\r\n+BAUD:9600\r\n", "+BAUD:9600\r\n", baud + "+BAUD:9600\r\n",
    };
    for (const auto& answer : answers) {
        EXPECT_EQ(device.Receive(baud, now), answer);
    }
}

}  // namespace
}  // namespace qk::sim
