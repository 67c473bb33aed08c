// Devices behind a real ser2net on 127.0.0.1, the simulated device answering on the
// pseudo-terminal ser2net serves: the same bytes reach the device as on a local line, RFC
// 2217 sets the pty's speed, raw TCP says it cannot, and every network fault is a fault of
// the line, told with the server's name, within a bounded time, with nothing reported that
// the device did not say.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "CliRun.h"
#include "JsonOutput.h"
#include "Ser2netServer.h"

namespace qk::cli {
namespace {

using namespace std::chrono_literals;
using test::Ser2netServer;
using ::testing::HasSubstr;
using ::testing::Not;
using Accepter = Ser2netServer::Accepter;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct RemotePortsTest : ::testing::Test {
    RemotePortsTest() {
        char name[] = "/tmp/qk-remote-XXXXXX";
        folder = mkdtemp(name);
    }
    ~RemotePortsTest() override { fs::remove_all(folder); }
    std::string File(const char* name) const { return (folder / name).string(); }
    std::string Profile(const std::string& text) const {
        std::ofstream(File("site.profile")) << "# QK4410 profile, format 1\n" << text;
        return File("site.profile");
    }
    fs::path folder;
};

// A set through ser2net, over RFC 2217 and over raw TCP, puts on the device's line exactly
// the bytes the same set puts on a local line, a 0xFF byte (telnet's escape) among them;
// the command prints the same. Raw TCP says on stderr that the line runs as the server has
// it.
TEST_F(RemotePortsTest, TheDeviceReceivesTheSameBytesThroughSer2netAsLocally) {
    const std::vector<std::string> set = {"set", "destPort=6001", "heartbeatData=\\xFF\\xFFz",
                                          "parity=E"};
    sim::SimulatedDevice localDevice;
    std::vector<std::string> arguments = {"--port", localDevice.slavePath()};
    arguments.insert(arguments.end(), set.begin(), set.end());
    const CliRun reference = RunCli(arguments);
    ASSERT_EQ(reference.status, kSuccess) << reference.err;
    ASSERT_THAT(localDevice.LineBytes(), HasSubstr("QK+HEARTDAT=\xFF\xFFz\r\n"));

    for (const Accepter accepter : {Accepter::Rfc2217, Accepter::RawTcp}) {
        sim::SimulatedDevice device;
        Ser2netServer server({{device.slavePath(), accepter}});
        arguments = {"--port", server.Url(0)};
        arguments.insert(arguments.end(), set.begin(), set.end());
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.status, kSuccess) << run.err;
        EXPECT_EQ(run.out, reference.out);
        EXPECT_EQ(device.LineBytes(), localDevice.LineBytes()) << server.Url(0);
        EXPECT_EQ(device.Value("HEARTDAT"), "\xFF\xFFz");
        if (accepter == Accepter::RawTcp) {
            EXPECT_EQ(run.err, "qk4410-cli: " + server.Url(0) +
                                   ": raw TCP: the serial line runs as the server has set it "
                                   "up; 9600 baud, 8 data bits, parity N were not applied\n");
        } else {
            EXPECT_EQ(run.err, "");
        }
    }
}

// The device understands only 38400 baud: apply through RFC 2217 at that speed configures
// it, the pty's own termios showing the rate negotiated; scan finds it by trying rates
// over RFC 2217, and over raw TCP tries the server's 9600 only and says so.
TEST_F(RemotePortsTest, Rfc2217SetsThePtysSpeedAndScanSearchesRatesOnlyThere) {
    sim::SimulatedDevice device(sim::SimOptions{.lineSpeed = 38400});
    sim::SimulatedDevice rawDevice(sim::SimOptions{.lineSpeed = 38400});
    Ser2netServer server(
        {{device.slavePath(), Accepter::Rfc2217}, {rawDevice.slavePath(), Accepter::RawTcp}});
    const CliRun applied = RunCli({"--port", server.Url(0), "--baud", "38400", "apply",
                                   Profile("destPort=7001\nheartbeat=60s\n")});
    EXPECT_EQ(applied.status, kSuccess) << applied.err;
    EXPECT_EQ(applied.out, server.Url(0) + " QK4520-000123 ok: wrote destPort, heartbeat\n");
    EXPECT_EQ(device.Value("PPORT"), "7001");
    EXPECT_EQ(device.Value("HEARTIME"), "3");
    EXPECT_EQ(device.LineSpeed(), 38400u);

    std::string error;
    const auto scan = ParseCommandLine(
        {"--json", "--port", server.Url(0), "--port", server.Url(1), "scan"}, error);
    ASSERT_TRUE(scan) << error;
    std::ostringstream out, err;
    EXPECT_EQ(RunSession(*scan, out, err), kSuccess) << err.str();
    std::istringstream lines(out.str());
    std::string rfc2217, raw;
    std::getline(lines, rfc2217);
    std::getline(lines, raw);
    EXPECT_EQ(Json::parse(rfc2217).at("baud"), 38400);
    EXPECT_EQ(Json::parse(rfc2217).at("lineSettings"), "negotiated");
    EXPECT_EQ(Json::parse(raw),
              Json::parse(R"({"schema":2,"command":"scan","port":")" + server.Url(1) +
                          R"(","found":false,"baud":null,"id":null,"firmware":null,
                              "signal":null,"problem":null,"lineSettings":"server"})"));

    const CliRun text = RunCli({"--port", server.Url(1), "scan"});
    EXPECT_EQ(text.out,
              server.Url(1) + " no device (raw TCP: tried at the server's line speed only)\n");
}

// A batch of local and remote devices in one command: one correct line each, in the order
// given, every device configured.
TEST_F(RemotePortsTest, ABatchMixesLocalAndRemoteDevicesWithOneLineEach) {
    sim::SimulatedDevice local, overRfc2217, overRaw;
    Ser2netServer server(
        {{overRfc2217.slavePath(), Accepter::Rfc2217}, {overRaw.slavePath(), Accepter::RawTcp}});
    const CliRun run = RunCli({"--port", server.Url(0), "--port", local.slavePath(), "--port",
                               server.Url(1), "apply", Profile("destPort=7002\nprotocol=UDP\n")});
    EXPECT_EQ(run.status, kSuccess) << run.err;
    EXPECT_EQ(run.out, server.Url(0) + " QK4520-000123 ok: wrote destPort, protocol\n" +
                           local.slavePath() + " QK4520-000123 ok: wrote destPort, protocol\n" +
                           server.Url(1) + " QK4520-000123 ok: wrote destPort, protocol\n");
    EXPECT_THAT(run.err, HasSubstr("qk4410-cli: " + server.Url(1) +
                                   ": raw TCP: the serial line runs as the server has set it up"));
    EXPECT_THAT(run.err, Not(HasSubstr(server.Url(1) + ": " + server.Url(1))));
    for (const auto* device : {&local, &overRfc2217, &overRaw}) {
        EXPECT_EQ(std::tuple(device->Value("PPORT"), device->Value("PROTOCOL")),
                  std::tuple("7002", "UDP"));
    }
}

// ser2net dies in the middle of a set, as the device takes the second value: the run ends
// with status 2, names the server and what happened, says which values went out, and keeps
// every answer that arrived before (the conversation log has the device's answer to the
// first value).
TEST_F(RemotePortsTest, KillingSer2netMidSetNamesWhatWasWrittenAndKeepsWhatArrived) {
    std::atomic<pid_t> serverPid{-1};
    std::atomic<int> sets{0};
    sim::SimulatedDevice device(
        {}, [&](sim::SimulatedDevice::Direction direction, std::string_view bytes) {
            if (direction == sim::SimulatedDevice::Direction::Received &&
                bytes.find('=') != std::string_view::npos && !bytes.starts_with("QK+LOGIN") &&
                ++sets == 2) {
                kill(serverPid.load(), SIGKILL);
            }
        });
    Ser2netServer server({{device.slavePath(), Accepter::Rfc2217}});
    serverPid = server.pid();
    const auto started = Clock::now();
    const CliRun run = RunCli({"--port", server.Url(0), "--log", File("logs"), "set",
                               "destPort=6001", "destAddress=10.0.0.9", "heartbeat=45s"});
    EXPECT_LT(SecondsSince(started), 5.0);
    EXPECT_EQ(run.status, kNoDevice) << run.err;
    EXPECT_THAT(run.err, HasSubstr("Device lost, port closed (COM1 (" + server.Url(0) +
                                   "): 127.0.0.1:" + std::to_string(server.Port(0)) +
                                   " closed the connection"));
    EXPECT_THAT(run.err, HasSubstr("written, not verified: destAddress, destPort; not written: "
                                   "heartbeat"));
    EXPECT_EQ(run.out, "");
    std::string log;
    for (const auto& entry : fs::directory_iterator(File("logs"))) {
        std::ifstream in(entry.path(), std::ios::binary);
        log.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_THAT(log, HasSubstr("< +PIPADD:10.0.0.9\\r\\n"));
}

// Each fault that keeps a network port from opening is a port that cannot be opened
// (status 2), told with the server's name and what happened, quickly.
TEST_F(RemotePortsTest, NetworkFaultsAreDevicesThatCannotBeOpened) {
    sim::SimulatedDevice device, busy;
    Ser2netServer server(
        {{device.slavePath(), Accepter::TelnetOnly}, {busy.slavePath(), Accepter::Rfc2217, false}});
    // Another client holds the second port, so ser2net turns the tool away.
    const int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(server.Port(1)));
    ASSERT_EQ(connect(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const unsigned nobody = Ser2netServer::FreePort();
    const std::string refused = "127.0.0.1:" + std::to_string(nobody);
    const std::pair<std::string, std::string> cases[] = {
        {"rfc2217://" + refused,
         refused + " refused the connection: nothing serves port " + std::to_string(nobody)},
        {"tcp://" + refused, refused + " refused the connection"},
        {"rfc2217://nosuch.invalid:2001", "the host 'nosuch.invalid'"},
        {server.Url(0), "127.0.0.1:" + std::to_string(server.Port(0)) +
                            " did not agree to RFC 2217 (COM-PORT-OPTION)"},
        {server.Url(1), "127.0.0.1:" + std::to_string(server.Port(1)) +
                            " closed the connection (the server stopped, or gave the port to "
                            "another client)"},
    };
    for (const auto& [url, message] : cases) {
        const auto started = Clock::now();
        const CliRun run = RunCli({"--connect-timeout", "2000", "--port", url, "get"});
        EXPECT_LT(SecondsSince(started), 3.0) << url;
        EXPECT_EQ(run.status, kNoDevice) << url;
        EXPECT_THAT(run.err, HasSubstr("qk4410-cli: Open com failed! (" + url + ": "));
        EXPECT_THAT(run.err, HasSubstr(message));
        // One message: the port never opened, so no line was lost.
        EXPECT_THAT(run.err, Not(HasSubstr("Device lost")));
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(device.BytesReceived() + busy.BytesReceived(), 0u);
    close(holder);
}

// A server that accepts and never says a word: over RFC 2217 the connection never opens
// (nothing answers the negotiation) and the connect timeout bounds it; over raw TCP the
// handshake goes unanswered, and the message says the server's speed is the one in use.
TEST_F(RemotePortsTest, AServerThatAcceptsAndNeverAnswersIsANoDevice) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string server = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    auto started = Clock::now();
    const CliRun negotiation =
        RunCli({"--connect-timeout", "1000", "--port", "rfc2217://" + server, "get"});
    EXPECT_LT(SecondsSince(started), 2.0);
    EXPECT_EQ(negotiation.status, kNoDevice);
    EXPECT_THAT(negotiation.err,
                HasSubstr(server + " accepted the connection but did not take part in RFC 2217 "
                                   "within 1 s"));

    started = Clock::now();
    const CliRun raw = RunCli({"--attempts", "3", "--port", "tcp://" + server, "get"});
    EXPECT_LT(SecondsSince(started), 2.0);
    EXPECT_EQ(raw.status, kNoDevice);
    EXPECT_THAT(raw.err, HasSubstr("No answer to \"REQUEST CFG MODE\" in 0.6 s. tcp://" + server +
                                   ": raw TCP: the serial line runs as the server has set it up"));
    EXPECT_EQ(negotiation.out + raw.out, "");
    close(listener);
}

}  // namespace
}  // namespace qk::cli
