// save, diff and apply against simulated devices on real pseudo-terminals: a profile goes
// from one device to a file to others, nothing reaches a device from a file that is wrong,
// and several devices are done at once with one honest line each.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CliRun.h"
#include "ConversationReplay.h"

namespace qk::cli {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

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
    const CliRun saved = RunCli({"--port", source.slavePath(), "save", File("site.profile")});
    ASSERT_EQ(saved.status, kSuccess) << saved.err;
    const std::string profile = Read(File("site.profile"));
    EXPECT_THAT(profile, HasSubstr("# QK4410 profile, format 1\n# device ID: QK4520-000123\n"));
    EXPECT_THAT(profile, HasSubstr("\nheartbeatData=\xE5\xBF\x83\xE8\xB7\xB3\\xFF\n"));

    const CliRun same = RunCli({"--port", source.slavePath(), "apply", File("site.profile")});
    EXPECT_EQ(same.status, kSuccess) << same.err;
    EXPECT_EQ(same.out, source.slavePath() + " QK4520-000123 ok: nothing to write\n");
    EXPECT_EQ(SetsReceived(source).size(), 0u);
    EXPECT_FALSE(source.LoggedIn());

    sim::SimulatedDevice target;
    const CliRun before = RunCli({"--port", target.slavePath(), "diff", File("site.profile")});
    EXPECT_EQ(before.status, kDiffers);
    EXPECT_EQ(before.out,
              "destPort: device \"5000\", file \"6001\"\n"
              "heartbeatData: device \"HEART\", file \"\xE5\xBF\x83\xE8\xB7\xB3\\xFF\"\n"
              "registerData: device \"QK4520-000123\", file "
              "\"QK\xE6\xB3\xA8\xE5\x86\x8C\xE2\x82\xAC\\\\\"\n");
    const CliRun applied = RunCli({"--port", target.slavePath(), "apply", File("site.profile")});
    EXPECT_EQ(applied.status, kSuccess) << applied.err;
    EXPECT_EQ(SetsReceived(target).size(), 3u);
    for (const char* key : {"PPORT", "HEARTDAT", "ENROL"}) {
        EXPECT_EQ(target.Value(key), source.Value(key)) << key;
    }
    const CliRun after = RunCli({"--port", target.slavePath(), "diff", File("site.profile")});
    EXPECT_EQ(after.status, kSuccess) << after.out;
    EXPECT_EQ(after.out, "");
}

// Several devices at once: each its own port and thread, one line each in the order given,
// the failing one named with its reason, the others done all the same. A file that is wrong
// anywhere is refused whole first, every problem named, before a device hears so much as
// the handshake.
TEST_F(ProfileCommandsTest, ApplyToSeveralDevicesReportsEachAndFailsIfAnyFails) {
    std::ofstream(File("bad.profile")) << "destPort=70000\nprotocol=SCTP\ncolour=red\n"
                                          "heartbeat=30s\nheartbeat=45s\n";
    std::ofstream(File("site.profile"))
        << "# QK4410 profile, format 1\ndestPort=7000\nprotocol=UDP\n";
    sim::SimulatedDevice first, refusing(sim::SimOptions{.refuseLogin = true}), last;
    for (const char* command : {"apply", "diff"}) {
        const CliRun run = RunCli({"--port", first.slavePath(), "--port", last.slavePath(), command,
                                   File("bad.profile")});
        EXPECT_EQ(run.status, kUsageError);
        EXPECT_EQ(run.out, "");
        for (const char* problem :
             {": line 1: destPort must be a port from 1 to 65535, got '70000'",
              ": line 2: protocol must be one of TCP, UDP, got 'SCTP'",
              ": line 3: unknown name 'colour'",
              ": line 5: heartbeat given again (first on line 4)",
              ": nothing was sent to any device"}) {
            EXPECT_THAT(run.err, HasSubstr(problem));
        }
    }
    EXPECT_EQ(first.BytesReceived() + last.BytesReceived(), 0u);

    const CliRun run =
        RunCli({"--port", first.slavePath(), "--port", refusing.slavePath(), "--port",
                last.slavePath(), "--log", File("logs"), "apply", File("site.profile")});
    EXPECT_EQ(run.status, kRefused);
    EXPECT_EQ(run.out, first.slavePath() + " QK4520-000123 ok: wrote destPort, protocol\n" +
                           refusing.slavePath() + " QK4520-000123 failed: Login fail!\n" +
                           last.slavePath() + " QK4520-000123 ok: wrote destPort, protocol\n");
    EXPECT_THAT(run.err, HasSubstr("qk4410-cli: " + refusing.slavePath() + ": Login fail!\n"));
    for (const auto* device : {&first, &last}) {
        EXPECT_EQ(std::tuple(device->Value("PPORT"), device->Value("PROTOCOL")), std::tuple("7000", "UDP"));
    }
    EXPECT_EQ(refusing.Value("PPORT"), "5000");

    // Each conversation is kept under its port and ID, and replays.
    const std::string log = File("logs") + "/" + fs::path(first.slavePath()).filename().string() +
                            "-QK4520-000123.conv";
    std::ifstream conversation(log);
    ASSERT_TRUE(conversation) << log;
    const auto replay = replay::RunReplay(conversation);
    EXPECT_TRUE(replay.ok()) << (replay.failures.empty() ? "" : replay.failures.front());
    EXPECT_THAT(replay.finalRecord, HasSubstr("destPort=\"7000\""));

    const CliRun json = RunCli({"--json", "--port", first.slavePath(), "--port", last.slavePath(),
                                "diff", File("site.profile")});
    EXPECT_EQ(json.status, kSuccess) << json.err;
    const std::string same = "\",\"id\":\"QK4520-000123\",\"result\":\"ok\",\"differences\":[]}\n";
    EXPECT_EQ(json.out, "{\"port\":\"" + first.slavePath() + same + "{\"port\":\"" + last.slavePath() + same);
}

}  // namespace
}  // namespace qk::cli
