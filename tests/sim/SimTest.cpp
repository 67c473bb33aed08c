// The simulated device: its model of the device, on a pseudo-terminal, and the qk4410-sim
// program, its arguments and the built program run as a user would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <ranges>

#include "CommandLine.h"
#include "CommandTable.h"
#include "DeviceModel.h"
#include "SerialTestSupport.h"
#include "SimulatedDevice.h"

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
    EXPECT_EQ(device.Receive("noise" + Requests(), kNow), "CFG MODE\r");
    // A burst is the tool's three requests, however they are spread over time, or what
    // comes within half a second; a request after a pause starts a new one.
    const std::pair<int, std::string> later[] = {
        {1000, "CFG MODE\r"}, {1400, ""}, {1800, ""}, {1801, "CFG MODE\r"}};
    for (const auto& [at, reply] : later) {
        EXPECT_EQ(device.Receive(Requests(at == 1801 ? 3 : 1), kNow + at * 1ms), reply) << at;
    }
}

TEST(DeviceModelTest, SetsAreRefusedBeforeLoginThenStoredAndConfirmed) {
    DeviceModel device;
    const std::string port = Set(CommandId::DestPort, "8080");
    EXPECT_EQ(device.Receive(Requests() + port, kNow), "CFG MODE\r+ERROR:NOT LOGGED IN\r\n");
    EXPECT_EQ(device.Receive(BuildLogin(kTable, "358025") + port, kNow),
              "+LOGIN:ERROR\r\n+ERROR:NOT LOGGED IN\r\n");
    EXPECT_EQ(device.Receive(BuildLogin(kTable, "358024"), kNow), "+LOGIN:OK\r\n");
    // GBK text with ':' '=' and '?' inside passes through byte for byte.
    const std::string gbk = "\xCA\xB5:=?\x80\xA1\xFE\xFF";
    const std::tuple<CommandId, std::string, std::string> cases[] = {
        {CommandId::DestPort, "8080", "+PPORT:8080\r\n"},
        {CommandId::RegisterEnable, "1", "+REGEN:1\r\n"},
        {CommandId::HeartbeatData, gbk, "+HEARTDAT:" + gbk + "\r\n"},
        {CommandId::DestPort, "65536", "+ERROR:BAD VALUE\r\n"}};
    for (const auto& [id, value, answer] : cases) {
        EXPECT_EQ(device.Receive(Set(id, value), kNow), answer);
    }
    EXPECT_EQ(device.Receive(Query(CommandId::DestPort) + Query(CommandId::HeartbeatData), kNow),
              "+PPORT:8080\r\n+HEARTDAT:" + gbk + "\r\n");
}

// The answers never depend on how the bytes are split into reads. Whether a line fits
// depends on its length alone: a line past the limit is refused once and nothing of it is
// taken, not even a tail that reads as a command; the line after it is handled as usual.
// An acknowledgement proves nothing: a fake one leaves the old value, which the next query
// shows; and lines end as the options say.
TEST(DeviceModelTest, FakeAcknowledgementsKeepTheOldValueAndLinesEndAsAsked) {
    DeviceModel device({.requireLogin = false, .unstoredSets = {"PPORT"}, .lfOnly = true});
    device.Receive(Requests(), kNow);
    EXPECT_EQ(device.Receive(Set(CommandId::DestPort, "7000") + Query(CommandId::DestPort) +
                                 Set(CommandId::DestAddress, "a") + Query(CommandId::DestAddress),
                             kNow),
              "+PPORT:7000\n+PPORT:5000\n+PIPADD:a\n+PIPADD:a\n");
}

TEST(DeviceModelTest, LineLengthLimitHoldsWhateverTheReads) {
    constexpr std::size_t kLimit = DeviceModel::kMaxLineLength;
    const std::string fits(kLimit - std::string_view("QK+HEARTDAT=").size(), 'a');
    const std::string port = Set(CommandId::DestPort, "6001");
    const std::pair<std::string, std::string> cases[] = {
        {Query(CommandId::Stat) + Set(CommandId::DestPort, "7000") + "BAD\r\n",
         "+STAT:25,36,330\r\n+PPORT:7000\r\n+ERROR:UNKNOWN COMMAND\r\n+PPORT:7000\r\n"},
        {Set(CommandId::HeartbeatData, fits), "+HEARTDAT:" + fits + "\r\n+PPORT:5000\r\n"},
        {Set(CommandId::HeartbeatData, fits + "b"), "+ERROR:LINE TOO LONG\r\n+PPORT:5000\r\n"},
        {std::string(kLimit + 1, '#') + port, "+ERROR:LINE TOO LONG\r\n+PPORT:5000\r\n"},
        {std::string(3 * kLimit, '#') + port, "+ERROR:LINE TOO LONG\r\n+PPORT:5000\r\n"}};
    for (const auto& [line, answer] : cases) {
        const std::string bytes = line + Query(CommandId::DestPort);
        // Two reads split at every byte (the last: one read), and a byte at a time (split 0).
        for (std::size_t split = 0; split <= bytes.size(); ++split) {
            DeviceModel device;
            device.Receive(Requests() + BuildLogin(kTable, "358024"), kNow);
            std::string answers;
            if (split == 0) {
                for (const char byte : bytes) {
                    answers += device.Receive(std::string_view(&byte, 1), kNow);
                }
            } else {
                answers = device.Receive(bytes.substr(0, split), kNow);
                answers += device.Receive(bytes.substr(split), kNow);
            }
            if (answers != answer) {
                ADD_FAILURE() << line.size() << "-byte line split at " << split << ": "
                              << answers.substr(0, 80);
                break;  // one split that fails tells as much as a thousand
            }
        }
    }
}

const std::string kRequests = Requests();
const std::string kBaud = BuildQuery(kTable, CommandId::Baud);

// The tool's end of the line: the slave tty, opened as the tool opens its port.
test::UniqueFd OpenTool(const SimulatedDevice& device) {
    return test::UniqueFd(open(device.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
}

// What the device's options do to its answers shows in the command line's tests; here, what
// the pseudo-terminal adds: answers cut into chunks arrive whole, after the latency. The
// latency itself is a matter of time; the window's session tests rely on it to hold the
// handshake open.
TEST(SimulatedDeviceTest, LatencyAndChunksShapeWhatTheToolReads) {
    SimulatedDevice device({.latency = 150ms, .chunkSize = 1});
    const test::UniqueFd tool = OpenTool(device);
    ASSERT_TRUE(test::WriteAllTo(tool.fd, kRequests + kBaud));
    EXPECT_EQ(test::ReadFor(tool.fd, 22), "CFG MODE\r+BAUD:9600\r\n");
}

// The stream waits for a command, then queues what the tool does not read; every data line
// arrives whole and in order, in either line end, answers between them, and a handshake stops
// the stream after a whole line, however much of it the pty had taken.
TEST(SimulatedDeviceTest, StreamDeliversWholeLinesInOrderUntilAHandshake) {
    for (const bool crOnly : {false, true}) {
        SCOPED_TRACE(crOnly ? "CR only" : "CR LF");
        SimulatedDevice device({.streamBytesPerSecond = 4'000'000, .crOnly = crOnly});
        const test::UniqueFd tool = OpenTool(device);
        ASSERT_TRUE(test::WriteAllTo(tool.fd, kRequests));
        ASSERT_EQ(test::ReadFor(tool.fd, 9), "CFG MODE\r");
        ASSERT_TRUE(test::WriteAllTo(tool.fd, kBaud));
        // Nobody reads for a while: the pty fills up and the device queues the rest.
        ASSERT_TRUE(device.WaitUntilPending(SimulatedDevice::kMaxQueuedStreamBytes / 2, 5s));
        ASSERT_TRUE(test::WriteAllTo(tool.fd, BuildQuery(kTable, CommandId::Id)));

        DeviceModel numbering({.crOnly = crOnly});  // the lines the device should send
        const std::string end = crOnly ? "\r" : "\r\n";
        std::string pending;
        std::vector<std::string> answers;
        int lines = 0;
        const auto readUntil = [&](const std::function<bool()>& done) {
            while (!done()) {
                const std::string more = test::ReadFor(tool.fd, 1);
                ASSERT_FALSE(more.empty()) << "stalled after line " << lines << ": " << pending;
                pending += more;
                for (std::size_t next; (next = pending.find(end)) != std::string::npos;
                     pending.erase(0, next + end.size())) {
                    const std::string line = pending.substr(0, next + end.size());
                    if (!line.starts_with(DeviceModel::kDataPrefix)) {
                        answers.push_back(line);
                    } else {
                        ASSERT_EQ(line, numbering.NextDataLine());
                        ++lines;
                    }
                }
            }
        };
        readUntil([&] { return lines >= 3000 && answers.size() >= 2; });
        EXPECT_EQ(answers, (std::vector{"+BAUD:9600" + end, "+ID:QK4520-000123" + end}));
        ASSERT_TRUE(test::WriteAllTo(tool.fd, kRequests));
        // With CR alone the reply reads as a line of its own; else it stays without its LF.
        readUntil([&] {
            return pending == DeviceModel::kHandshakeReply ||
                   answers.back() == DeviceModel::kHandshakeReply;
        });
        EXPECT_EQ(answers.size(), crOnly ? 3u : 2u);
    }
}

TEST(CommandLineTest, EveryOptionReachesItsSetting) {
    const std::vector<std::string_view> arguments = {"--latency",      "250",
                                                     "--chunk=4:15",   "--no-handshake",
                                                     "--refuse-login", "--no-login-required",
                                                     "--junk",         "3",
                                                     "--stream=9600",  "--hangup-after",
                                                     "5000",           "--four-field-stat",
                                                     "--verbose",      "--link",
                                                     "/tmp/qk-sim",    "--silent-after-login",
                                                     "--ignore",       "PPORT,EN_ENROL",
                                                     "--cr-only",      "--ignore=LOGIN",
                                                     "--line-speed",   "57600",
                                                     "--lf-only",      "--fake-ack",
                                                     "PPORT",          "--id",
                                                     "QK4520-000777"};
    const CommandLineResult result = ParseCommandLine(arguments);
    const SimOptions& o = result.settings.options;
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(std::tuple(o.latency, o.chunkSize, o.chunkGap, o.junkEvery, o.streamBytesPerSecond,
                         o.hangupAfter, o.lineSpeed, result.settings.linkPath),
              std::tuple(250ms, 4u, 15ms, 3u, 9600u, 5000ms, 57600u, "/tmp/qk-sim"));
    EXPECT_TRUE(o.noHandshake && o.refuseLogin && !o.requireLogin && o.fourFieldStat &&
                result.settings.verbose && o.silentAfterLogin && o.crOnly && o.lfOnly);
    EXPECT_EQ(o.ignoredCommands, (std::vector<std::string>{"PPORT", "EN_ENROL", "LOGIN"}));
    EXPECT_EQ(o.unstoredSets, (std::vector<std::string>{"PPORT"}));
    EXPECT_EQ(o.id, "QK4520-000777");

    // A refusal names the bad value, else the option.
    const std::pair<std::string_view, const char*> bad[] = {
        {"--latency", "--latency"},
        {"--latency -5", "-5"},
        {"--latency 5ms", "5ms"},
        {"--latency 99999999999999999999", "99999999999999999999"},
        {"--chunk 4:", "--chunk"},
        {"--chunk 4:x", "x"},
        {"--junk 0", "--junk"},
        {"--link=", "--link"},
        {"--verbose=yes", "--verbose"},
        {"--bogus", "--bogus"},
        {"/dev/ttyS0", "/dev/ttyS0"},
        {"--ignore=", "--ignore"},
        {"--ignore PPORT,REGEN", "REGEN"},
        {"--fake-ack", "--fake-ack"}};
    for (const auto& [line, culprit] : bad) {
        std::vector<std::string_view> words;
        for (const auto word : std::views::split(line, ' ')) {
            words.emplace_back(word.begin(), word.end());
        }
        EXPECT_THAT(ParseCommandLine(words).error, testing::HasSubstr(culprit)) << line;
    }
}

TEST(SimProgramTest, PrintsTheTtyItServesEndsAfterHangingUpAndRefusesBadArguments) {
    FILE* program = popen(QK_SIM_PROGRAM " --hangup-after 1000 2>/dev/null", "r");
    ASSERT_NE(program, nullptr);
    char line[256] = {};
    ASSERT_NE(fgets(line, sizeof line, program), nullptr);
    const test::UniqueFd tool(open(std::string(line, std::strcspn(line, "\n")).c_str(), O_RDWR));
    ASSERT_TRUE(test::WriteAllTo(tool.fd, kRequests));
    EXPECT_EQ(test::ReadFor(tool.fd, 9), "CFG MODE\r");
    EXPECT_EQ(pclose(program), 0);
    // A bad argument: status 1 and the reason, named as the program.
    program = popen(QK_SIM_PROGRAM " --junk 0 2>&1", "r");
    ASSERT_TRUE(program != nullptr && fgets(line, sizeof line, program) != nullptr);
    EXPECT_THAT(line, testing::StartsWith("qk4410-sim: --junk"));
    EXPECT_EQ(WEXITSTATUS(pclose(program)), 1);
}

}  // namespace
}  // namespace qk::sim
