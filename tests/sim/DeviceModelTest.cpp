#include <gtest/gtest.h>

#include "CommandTable.h"
#include "DeviceModel.h"
#include "RecordingDeviceView.h"
#include "ResponseParser.h"

namespace qk::sim {
namespace {

using namespace std::chrono_literals;

const CommandTable kTable;
const auto kNow = DeviceModel::Clock::time_point{} + 1h;

std::string Query(CommandId id) {
    return BuildQuery(kTable, id);
}
std::string Set(CommandId id, std::string_view value) {
    return BuildSet(kTable, id, value);
}
std::string Requests(int count = 3) {
    std::string requests;
    for (int i = 0; i < count; ++i) {
        requests += BuildHandshakeRequest(kTable);
    }
    return requests;
}

TEST(DeviceModelTest, HandshakeIsConfirmedOncePerBurstInNineBytes) {
    DeviceModel device;
    EXPECT_EQ(device.Receive(Query(CommandId::Baud), kNow), "");  // not in configuration mode
    EXPECT_EQ(device.Receive(Requests(), kNow), "CFG MODE\r");
    // A burst is the tool's three requests, however they are spread over time, or what
    // comes within half a second; a request after a pause starts a new one.
    EXPECT_EQ(device.Receive(Requests(1), kNow + 1s), "CFG MODE\r");
    EXPECT_EQ(device.Receive(Requests(1), kNow + 1400ms), "");
    EXPECT_EQ(device.Receive(Requests(1), kNow + 1800ms), "");
    EXPECT_EQ(device.Receive(Requests(), kNow + 1801ms), "CFG MODE\r");
}

// The tool's own reading of all parameters, through its own parser: every answer comes
// once (STAT, ID and VER carry a second "?\r\n") and under the key the parser expects
// (REGEN for EN_ENROL).
TEST(DeviceModelTest, ToolsParserReadsEveryAnswerToGetParameters) {
    DeviceModel device;
    std::string queries = Requests();
    for (const auto id :
         {CommandId::Stat, CommandId::Id, CommandId::Ver, CommandId::Baud, CommandId::DestAddress,
          CommandId::DestPort, CommandId::Protocol, CommandId::WorkType, CommandId::HeartbeatTime,
          CommandId::HeartbeatData, CommandId::Dns, CommandId::DataBits, CommandId::Parity,
          CommandId::RegisterEnable, CommandId::RegisterData}) {
        queries += Query(id);
    }
    const std::string answers = device.Receive(queries, kNow);
    EXPECT_EQ(std::count(answers.begin(), answers.end(), '\n'), 15);

    DeviceState state;
    replay::RecordingDeviceView view;
    ResponseParser(state, view).HandleBlock(answers.substr(kHandshakeReply.size()));
    EXPECT_EQ(state.statusText[0], "field strength:25  temperature:36\xA1\xE6  Voltage:3.30V");
    EXPECT_EQ(state.statusText[1], "ID:QK4520-000123");
    EXPECT_EQ(state.statusText[2], "Hardware Ver:V2.1,Software Ver:V3.5");
    EXPECT_EQ(state.deviceBaudIndex, 4);  // "9600"
    EXPECT_EQ(state.destAddress, "192.168.1.10");
    EXPECT_EQ(state.destPort, "5000");
    EXPECT_EQ(state.protocolIndex, 0);  // "TCP"
    EXPECT_EQ(state.advanced.workType, 0);
    EXPECT_EQ(state.advanced.heartbeatCode, 1);
    EXPECT_EQ(state.advanced.heartbeatData, "HEART");
    EXPECT_EQ(state.advanced.dnsServer, "114.114.114.114");
    EXPECT_EQ(state.advanced.dataBits, "8");
    EXPECT_EQ(state.advanced.parity, "N");
    EXPECT_EQ(state.advanced.registerEnable, 0);
    EXPECT_EQ(state.advanced.registerData, "QK4520-000123");
}

TEST(DeviceModelTest, SetsAreRefusedBeforeLoginThenStoredAndConfirmed) {
    DeviceModel device;
    const std::string port = Set(CommandId::DestPort, "8080");
    EXPECT_EQ(device.Receive(Requests() + port, kNow), "CFG MODE\r+ERROR:NOT LOGGED IN\r\n");
    EXPECT_EQ(device.Receive(BuildLogin(kTable, "358025") + port, kNow),
              "+LOGIN:ERROR\r\n+ERROR:NOT LOGGED IN\r\n");
    EXPECT_EQ(device.Receive(BuildLogin(kTable, "358024"), kNow), "+LOGIN:OK\r\n");
    // "实时在线" and bytes across the high range, with ':' '=' and '?' inside: GBK text
    // passes through byte for byte.
    const std::string gbk = "\xCA\xB5\xCA\xB1\xD4\xDA\xCF\xDF:=?\x80\xA1\xFE\xFF";
    const std::tuple<CommandId, std::string, std::string> cases[] = {
        {CommandId::DestPort, "8080", "+PPORT:8080\r\n"},
        {CommandId::RegisterEnable, "1", "+REGEN:1\r\n"},
        {CommandId::HeartbeatData, gbk, "+HEARTDAT:" + gbk + "\r\n"},
        {CommandId::Baud, "76800", "+BAUD:76800\r\n"},
        {CommandId::DestPort, "65536", "+ERROR:BAD VALUE\r\n"}};
    for (const auto& [id, value, answer] : cases) {
        EXPECT_EQ(device.Receive(Set(id, value), kNow), answer);
    }
    EXPECT_EQ(device.Receive(Query(CommandId::DestPort) + Query(CommandId::HeartbeatData), kNow),
              "+PPORT:8080\r\n+HEARTDAT:" + gbk + "\r\n");
}

TEST(DeviceModelTest, ByteAtATimeGivesTheSameAnswers) {
    const std::string session = "noise" + Requests() + BuildLogin(kTable, "358024") +
                                Query(CommandId::Stat) + Set(CommandId::DestPort, "7000") +
                                "BAD\r\n" + Query(CommandId::DestPort);
    const std::string expected =
        "CFG MODE\r+LOGIN:OK\r\n+STAT:25,36,330\r\n+PPORT:7000\r\n+ERROR:UNKNOWN COMMAND\r\n"
        "+PPORT:7000\r\n";
    DeviceModel whole, trickle;
    EXPECT_EQ(whole.Receive(session, kNow), expected);
    std::string answered;
    for (const char byte : session) {
        answered += trickle.Receive(std::string_view(&byte, 1), kNow);
    }
    EXPECT_EQ(answered, expected);
}

}  // namespace
}  // namespace qk::sim
