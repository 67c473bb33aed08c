// The command line against simulated devices on real pseudo-terminals: what it reports must
// be what the device said, and what it writes exactly what it was asked to write. A profile
// goes from one device to a file to others, nothing reaches a device from a file that is
// wrong, and several devices are done at once with one honest line each.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CliRun.h"
#include "ConversationReplay.h"
#include "JsonOutput.h"
#include "PseudoTerminal.h"

namespace qk::cli {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

// The device as COM1.
CliRun RunCli(const sim::SimulatedDevice& device, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--com", "1=" + device.slavePath()});
    return cli::RunCli(std::move(arguments));
}

// As text, the log only when asked for and the login key never; as JSON, identity, status
// as numbers, settings by their profile names with numbers as numbers, a weak signal's
// four-field status read the same way.
TEST(CliEndToEndTest, GetShowsWhatTheDeviceReportedAsTextOrJsonAndNoSecret) {
    sim::SimulatedDevice device;
    const CliRun run = RunCli(device, {"get"});
    ASSERT_EQ(run.status, kSuccess) << run.err;
    EXPECT_EQ(run.out,
              "id=QK4520-000123\nversion=QK4520-1 HW:V2.1 SW:V3.5 2023-06-01\nhardware=V2.1\n"
              "software=V3.5\nsignal=25\ntemperature=36\nvoltage=3.30\ndeviceBaud=9600\n"
              "destAddress=192.168.1.10\ndestPort=5000\nprotocol=TCP\nworkType=0\n"
              "heartbeat=30s\nheartbeatData=HEART\ndnsServer=114.114.114.114\ndataBits=8\n"
              "parity=N\nregisterEnable=0\nregisterData=QK4520-000123\n");
    EXPECT_EQ(run.err, "");
    const CliRun logged = RunCli(device, {"--key", "358024", "--show-log", "get"});
    EXPECT_THAT(logged.out, HasSubstr("\nlog:\n+STAT:25,36,330\n+ID:"));
    EXPECT_THAT(logged.out + logged.err, Not(HasSubstr("358024")));

    sim::SimulatedDevice weak(sim::SimOptions{.fourFieldStat = true});
    weak.SetValue("HEARTDAT", "\xD0\xC4\xCC\xF8\xFF");  // 心跳 and a byte with no UTF-8 form
    const CliRun json = RunCli(weak, {"--json", "get"});
    ASSERT_EQ(json.status, kSuccess) << json.err;
    const Json line = Json::parse(json.out);
    EXPECT_EQ(line, Json::parse(R"({"schema":2,"command":"get","port":")" + weak.slavePath() +
                                R"(","id":"QK4520-000123","result":"ok",
        "identity":{"id":"QK4520-000123","version":"QK4520-1 HW:V2.1 SW:V3.5 2023-06-01",
                    "hardware":"V2.1","software":"V3.5"},
        "status":{"signal":8,"temperature":36,"voltage":3.30},
        "settings":{"deviceBaud":9600,"destAddress":"192.168.1.10","destPort":5000,
                    "protocol":"TCP","workType":0,"heartbeat":"30s",
                    "heartbeatData":"\u5fc3\u8df3\\xFF","dnsServer":"114.114.114.114",
                    "dataBits":8,"parity":"N","registerEnable":0,
                    "registerData":"QK4520-000123"}})"));
    EXPECT_EQ(json.out.find('\n'), json.out.size() - 1);  // one line
}

// Whatever the device leaves out, get says so and fails: nothing it never reported is shown
// with a value.
TEST(CliEndToEndTest, GetFailsNamingEveryFieldTheDeviceDidNotReport) {
    const std::pair<sim::SimOptions, std::string> cases[] = {
        {{.ignoredCommands = {"PPORT", "ENROL"}}, "destPort, registerData"},
        {{.crOnly = true}, "status, id, version, deviceBaud, destAddress, destPort"},
    };
    for (const auto& [options, missing] : cases) {
        sim::SimulatedDevice device(options);
        const CliRun run = RunCli(device, {"--json", "get"});
        EXPECT_EQ(run.status, kIncomplete) << run.err;
        EXPECT_THAT(run.err, HasSubstr("the device did not report: " + missing));
        EXPECT_THAT(run.out, HasSubstr("\"destPort\":null"));
    }
}

// Only the named values go out, as the device takes them (list texts in the list's case, the
// heartbeat as the device's code, a name given twice with its last value), in the window's
// order with its pauses, and each counts as taken once the device's answer holds it.
TEST(CliEndToEndTest, SetWritesOnlyTheNamedValuesAndConfirmsThemFromTheDevice) {
    sim::SimulatedDevice device;
    const CliRun run = RunCli(device, {"set", "heartbeat=45s", "destPort=5000", "parity=e",
                                       "protocol=udp", "dnsServer=8.8.8.8", "destPort=5001"});
    ASSERT_EQ(run.status, kSuccess) << run.err;
    EXPECT_EQ(run.out, "destPort=5001\nprotocol=UDP\nheartbeat=45s\ndnsServer=8.8.8.8\nparity=E\n");
    EXPECT_THAT(SetsReceived(device),
                ElementsAreArray<std::string>({"QK+PPORT=5001\r\n", "QK+PROTOCOL=UDP\r\n",
                                               "QK+HEARTIME=2\r\n", "QK+PDNS=8.8.8.8\r\n",
                                               "QK+CHECKB=E\r\n"}));
    EXPECT_EQ(device.Value("PIPADD"), "192.168.1.10");  // not named, not touched
    EXPECT_EQ(device.Value("HEARTIME"), "2");
}

// A value the device did not take is named with the reason, and the run fails; stdout holds
// only what the device confirmed.
TEST(CliEndToEndTest, SetFailsNamingEachValueTheDeviceDidNotConfirm) {
    // The device, the arguments, standard output, the message.
    using Case = std::tuple<sim::SimOptions, std::vector<std::string>, std::string, std::string>;
    const Case cases[] = {
        {{.unstoredSets = {"PPORT"}},
         {"set", "destPort=6001", "heartbeat=60s"},
         "heartbeat=60s\n",
         "destPort=6001 not confirmed: refused (the device reports \"5000\")"},
        {{.silentAfterLogin = true},
         {"set", "destPort=6000"},
         "",
         "destPort=6000 not confirmed: no answer"},
        {{.ignoredCommands = {"PPORT"}},
         {"--json", "set", "destPort=6000", "protocol=UDP"},
         "settings={\"destPort\":null,\"protocol\":\"UDP\"}",
         "destPort=6000 not confirmed: no answer"},
        {{.refuseLogin = true}, {"set", "destPort=1"}, "", "Login fail!"},
        {{.ignoredCommands = {"LOGIN"}},
         {"set", "destPort=1"},
         "",
         "the device did not answer the login"},
    };
    for (const auto& [options, arguments, out, message] : cases) {
        sim::SimulatedDevice device(options);
        const CliRun run = RunCli(device, arguments);
        const std::string printed = out.starts_with("settings=")
                                        ? "settings=" + Json::parse(run.out)["settings"].dump()
                                        : run.out;
        EXPECT_EQ(std::tuple(run.status, printed), std::tuple(kRefused, out)) << message;
        EXPECT_THAT(run.err, HasSubstr(message));
    }
}

// A device that garbles its answers may fail the check, but never makes the command line
// erase what it was not asked to change.
TEST(CliEndToEndTest, SetNeverWritesAValueItWasNotGivenWhateverTheDeviceSays) {
    sim::SimulatedDevice device(sim::SimOptions{.junkEvery = 3});
    RunCli(device, {"set", "workType=1", "protocol=UDP"});
    EXPECT_THAT(SetsReceived(device),
                ElementsAreArray<std::string>({"QK+PROTOCOL=UDP\r\n", "QK+WORKTYPE=1\r\n"}));
    for (const char* key : {"PIPADD", "HEARTDAT", "PDNS", "ENROL"}) {
        EXPECT_NE(device.Value(key), "") << key;
    }
}

// A device that goes away or never answers the handshake ends the run with status 2 and the
// cause; set says it wrote nothing.
TEST(CliEndToEndTest, AHangUpEndsTheRunWithStatusTwoAndTheCauseAsDoesASilentDevice) {
    sim::SimulatedDevice hangsUp(sim::SimOptions{.hangupAfter = 1s}), silent({.noHandshake = true});
    const std::pair<CliRun, std::vector<std::string>> cases[] = {
        {RunCli(hangsUp, {"set", "destPort=6000"}),
         {"qk4410-cli: Device lost, port closed (COM1 (" + hangsUp.slavePath() + "): ",
          "not written: destPort"}},
        {RunCli(silent, {"--attempts", "3", "get"}), {"Fail, Please try again!"}},
    };
    for (const auto& [run, messages] : cases) {
        SCOPED_TRACE(messages.front());
        EXPECT_EQ(run.status, kNoDevice);
        EXPECT_EQ(run.out, "");
        for (const auto& message : messages) {
            EXPECT_THAT(run.err, HasSubstr(message));
        }
        EXPECT_THAT(run.err, Not(HasSubstr("Write com failed")));
    }
}

// A scan finds each device at its own line speed, at once on every port, and tells a silent
// line and a missing port apart from a device.
TEST(CliEndToEndTest, ScanFindsEachDeviceAndItsLineSpeed) {
    sim::SimulatedDevice slow(sim::SimOptions{.lineSpeed = 57600}), plain;
    sim::PseudoTerminal silent;
    std::string error;
    const auto options = ParseCommandLine(
        {"--baud", "115200", "--port", slow.slavePath(), "--port", plain.slavePath(), "--port",
         silent.slavePath(), "--port", "/nonexistent/tty", "scan"},
        error);
    ASSERT_TRUE(options) << error;
    std::ostringstream out, err;
    EXPECT_EQ(RunSession(*options, out, err), kSuccess) << err.str();
    const std::string found =
        " baud, ID QK4520-000123, firmware QK4520-1 HW:V2.1 SW:V3.5 2023-06-01, signal 25\n";
    EXPECT_EQ(out.str(), slow.slavePath() + " 57600" + found + plain.slavePath() + " 115200" +
                             found + silent.slavePath() +
                             " no device\n/nonexistent/tty no device (cannot open: "
                             "/nonexistent/tty: No such file or directory; port mapping: "
                             "COM1=/nonexistent/tty (pinned))\n");
    // Only STAT, ID and VER are asked for once the device has answered.
    EXPECT_EQ(plain.ReceivedCommands().size(), 3u + 3u);

    const auto none = ParseCommandLine({"--json", "--port", silent.slavePath(), "scan"}, error);
    std::ostringstream noneOut, noneErr;
    EXPECT_EQ(RunSession(*none, noneOut, noneErr), kNoDevice);
    EXPECT_EQ(Json::parse(noneOut.str()),
              Json::parse(R"({"schema":2,"command":"scan","port":")" + silent.slavePath() +
                          R"(","found":false,"baud":null,"id":null,"firmware":null,
                              "signal":null,"problem":null})"));
}

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct ProfileCommandsTest : ::testing::Test {
    ProfileCommandsTest() {
        char name[] = "/tmp/qk-profile-XXXXXX";
        folder = mkdtemp(name);
    }
    ~ProfileCommandsTest() override { fs::remove_all(folder); }
    std::string File(const char* name) const { return (folder / name).string(); }
    fs::path folder;
};

// One device's settings, GBK text and bytes without a UTF-8 form among them, go to a file
// and from it to another device byte for byte; the device they came from needs nothing.
TEST_F(ProfileCommandsTest, SaveApplyDiffRoundTripByteForByte) {
    sim::SimulatedDevice source;
    source.SetValue("HEARTDAT", "\xD0\xC4\xCC\xF8\xFF");  // 心跳, then a lone byte
    source.SetValue("ENROL", "QK\xD7\xA2\xB2\xE1\x80\\");
    source.SetValue("PPORT", "6001");
    const CliRun saved = cli::RunCli({"--port", source.slavePath(), "save", File("site.profile")});
    ASSERT_EQ(saved.status, kSuccess) << saved.err;
    const std::string profile = Read(File("site.profile"));
    EXPECT_THAT(profile, HasSubstr("# QK4410 profile, format 1\n# device ID: QK4520-000123\n"));
    EXPECT_THAT(profile, HasSubstr("\nheartbeatData=\xE5\xBF\x83\xE8\xB7\xB3\\xFF\n"));

    const CliRun same = cli::RunCli({"--port", source.slavePath(), "apply", File("site.profile")});
    EXPECT_EQ(same.status, kSuccess) << same.err;
    EXPECT_EQ(same.out, source.slavePath() + " QK4520-000123 ok: nothing to write\n");
    EXPECT_EQ(SetsReceived(source).size(), 0u);
    EXPECT_FALSE(source.LoggedIn());

    sim::SimulatedDevice target;
    const CliRun before = cli::RunCli({"--port", target.slavePath(), "diff", File("site.profile")});
    EXPECT_EQ(before.status, kDiffers);
    EXPECT_EQ(before.out,
              "destPort: device \"5000\", file \"6001\"\n"
              "heartbeatData: device \"HEART\", file \"\xE5\xBF\x83\xE8\xB7\xB3\\xFF\"\n"
              "registerData: device \"QK4520-000123\", file "
              "\"QK\xE6\xB3\xA8\xE5\x86\x8C\xE2\x82\xAC\\\\\"\n");
    const CliRun applied =
        cli::RunCli({"--port", target.slavePath(), "apply", File("site.profile")});
    EXPECT_EQ(applied.status, kSuccess) << applied.err;
    EXPECT_EQ(SetsReceived(target).size(), 3u);
    for (const char* key : {"PPORT", "HEARTDAT", "ENROL"}) {
        EXPECT_EQ(target.Value(key), source.Value(key)) << key;
    }
    const CliRun after = cli::RunCli({"--port", target.slavePath(), "diff", File("site.profile")});
    EXPECT_EQ(after.status, kSuccess) << after.out;
    EXPECT_EQ(after.out, "");
}

// What a device holds goes back to it, even beyond what one may type (a port outside 1 to
// 65535, 42 bytes of registration content): saved, applied to it again and compared, it
// is the same. Another device is not given such values (set refuses them as it reads its
// arguments: CliOptionsTest).
TEST_F(ProfileCommandsTest, WhatADeviceHoldsGoesBackToItWhateverTheLimits) {
    sim::SimulatedDevice source, other;
    const std::string registration = std::string(38, 'x') + "\xD7\xA2\xB2\xE1";
    source.SetValue("ENROL", registration);
    source.SetValue("PPORT", "70000");
    const CliRun saved = cli::RunCli({"--port", source.slavePath(), "save", File("p")});
    ASSERT_EQ(saved.status, kSuccess) << saved.err;
    for (const char* command : {"apply", "diff"}) {
        const CliRun again = cli::RunCli({"--port", source.slavePath(), command, File("p")});
        EXPECT_EQ(again.status, kSuccess) << command << again.err;
        EXPECT_THAT(again.err, HasSubstr("registerData is 42 bytes in GBK, at most 40; kept as "
                                         "the device holds it"));
    }
    EXPECT_EQ(SetsReceived(source).size(), 0u);

    const CliRun refused = cli::RunCli({"--port", other.slavePath(), "apply", File("p")});
    EXPECT_EQ(refused.status, kUsageError);
    EXPECT_THAT(refused.err, HasSubstr("destPort must be a port from 1 to 65535, got '70000', "
                                       "and the device does not hold that value"));
    EXPECT_EQ(SetsReceived(other).size(), 0u);
    EXPECT_EQ(other.Value("ENROL"), "QK4520-000123");
}

// Several devices at once: each its own port and thread, one line each in the order given,
// the failing one named with its reason, the others done all the same. A file that is wrong
// anywhere is refused whole first, every problem named, before a device hears so much as
// the handshake.
TEST_F(ProfileCommandsTest, ApplyToSeveralDevicesReportsEachAndFailsIfAnyFails) {
    // A good line first: the file is refused whole all the same. How each problem reads is
    // ProfileTest's.
    std::ofstream(File("bad.profile")) << "destPort=7000\ncolour=red\n";
    std::ofstream(File("site.profile"))
        << "# QK4410 profile, format 1\ndestPort=7000\nprotocol=UDP\n";
    sim::SimulatedDevice first, refusing(sim::SimOptions{.refuseLogin = true}), last;
    for (const char* command : {"apply", "diff"}) {
        const CliRun run = cli::RunCli({"--port", first.slavePath(), "--port", last.slavePath(),
                                        command, File("bad.profile")});
        EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(kUsageError, ""));
        EXPECT_THAT(run.err, HasSubstr(": line 2: unknown name 'colour'"));
        EXPECT_THAT(run.err, HasSubstr(": nothing was sent to any device"));
    }
    EXPECT_EQ(first.BytesReceived() + last.BytesReceived(), 0u);

    const CliRun run =
        cli::RunCli({"--port", first.slavePath(), "--port", refusing.slavePath(), "--port",
                     last.slavePath(), "--log", File("logs"), "apply", File("site.profile")});
    EXPECT_EQ(run.status, kRefused);
    EXPECT_EQ(run.out, first.slavePath() + " QK4520-000123 ok: wrote destPort, protocol\n" +
                           refusing.slavePath() + " QK4520-000123 failed: Login fail!\n" +
                           last.slavePath() + " QK4520-000123 ok: wrote destPort, protocol\n");
    EXPECT_THAT(run.err, HasSubstr("qk4410-cli: " + refusing.slavePath() + ": Login fail!\n"));
    for (const auto* device : {&first, &last}) {
        EXPECT_EQ(std::tuple(device->Value("PPORT"), device->Value("PROTOCOL")),
                  std::tuple("7000", "UDP"));
    }
    EXPECT_EQ(refusing.Value("PPORT"), "5000");

    // Each conversation is kept under its port and ID, and replays.
    // Named by the run, the port's whole path (its bytes escaped) and the device's ID.
    std::string log;
    const std::string ending =
        "%2F" + fs::path(first.slavePath()).filename().string() + "-QK4520-000123.conv";
    for (const auto& entry : fs::directory_iterator(File("logs"))) {
        if (entry.path().filename().string().ends_with(ending)) {
            log = entry.path().string();
        }
    }
    std::ifstream conversation(log);
    ASSERT_TRUE(conversation) << log;
    const auto replay = replay::RunReplay(conversation);
    EXPECT_TRUE(replay.ok()) << (replay.failures.empty() ? "" : replay.failures.front());
    EXPECT_THAT(replay.finalRecord, HasSubstr("destPort=\"7000\""));

    const CliRun json = cli::RunCli({"--json", "--port", first.slavePath(), "--port",
                                     last.slavePath(), "diff", File("site.profile")});
    EXPECT_EQ(json.status, kSuccess) << json.err;
    const auto same = [](const std::string& port) {
        return R"({"schema":2,"command":"diff","port":")" + port +
               R"(","id":"QK4520-000123","result":"ok","differences":[]})" + "\n";
    };
    EXPECT_EQ(json.out, same(first.slavePath()) + same(last.slavePath()));
}

}  // namespace
}  // namespace qk::cli
