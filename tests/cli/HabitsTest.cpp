// The command line as the people who use it expect: a write goes only to a device someone
// named, a failure says what to do next, options are spelled as in neighbouring tools, and
// a rack of devices is backed up in one run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CliRun.h"

namespace qk::cli {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

// With two ports in the list and none named, a write goes nowhere and a read does not
// guess; one pinned port is a device named.
TEST(HabitsTest, WritesNeedANamedDeviceAndReadsDoNotGuess) {
    sim::SimulatedDevice a, b;
    const std::vector<std::string> both = {"--com", "1=" + a.slavePath(), "--com",
                                           "2=" + b.slavePath()};
    for (const auto& [command, message] :
         {std::pair<std::vector<std::string>, std::string>{
              {"set", "destPort=5000"},
              "set writes to a device: name it with --port PATH or --com N"},
          {{"get"}, "there are several serial ports; name one with --port PATH or --com N"}}) {
        std::vector<std::string> arguments = both;
        arguments.insert(arguments.end(), command.begin(), command.end());
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(kUsageError, ""));
        EXPECT_THAT(run.err, HasSubstr(message));
        EXPECT_THAT(run.err, HasSubstr("COM2=" + b.slavePath()));
    }
    EXPECT_EQ(a.BytesReceived() + b.BytesReceived(), 0u);
    const CliRun named = RunCli({"--com", "1=" + a.slavePath(), "set", "parity=even"});
    EXPECT_EQ(named.status, kSuccess) << named.err;
    EXPECT_EQ(SetsReceived(a), std::vector<std::string>{"QK+CHECKB=E\r\n"});
}

// A device at another line speed: the failure names the rate tried, the time waited and
// the way to find the right one.
TEST(HabitsTest, AHandshakeWithoutAnswerSaysWhatToTryNext) {
    sim::SimulatedDevice device({.lineSpeed = 57600});
    const CliRun run = RunCli({"--port", device.slavePath(), "--attempts", "3", "get"});
    EXPECT_EQ(run.status, kNoDevice);
    EXPECT_THAT(run.err, HasSubstr("Fail, Please try again! No answer to \"REQUEST CFG MODE\" at "
                                   "9600 baud in 0.6 s. The device may use another line speed: "
                                   "Find Device... (in the window's context menu) and qk4410-cli "
                                   "scan find it."));
}

// One run backs up every device into a folder, a profile each named by its ID; each goes
// back to its device writing nothing. Another device's file is never replaced unasked.
TEST(HabitsTest, SaveBacksUpSeveralDevicesIntoAFolder) {
    char name[] = "/tmp/qk-backup-XXXXXX";
    const fs::path folder = mkdtemp(name);
    std::vector<std::unique_ptr<sim::SimulatedDevice>> devices;
    std::vector<std::string> arguments = {"save", "-o", (folder / "rack").string()};
    for (const char* id : {"QK4520-000001", "QK4520-000002", "QK4520-000003"}) {
        devices.push_back(std::make_unique<sim::SimulatedDevice>());
        devices.back()->SetValue("ID", id);
        arguments.insert(arguments.end(), {"-p", devices.back()->slavePath()});
    }
    const CliRun saved = RunCli(arguments);
    ASSERT_EQ(saved.status, kSuccess) << saved.err;
    EXPECT_THAT(saved.out, HasSubstr(" QK4520-000002 ok: saved " + (folder / "rack").string() +
                                     "/QK4520-000002.profile\n"));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const std::string file =
            (folder / "rack" / ("QK4520-00000" + std::to_string(i + 1) + ".profile")).string();
        const CliRun back = RunCli({"-p", devices[i]->slavePath(), "apply", file});
        EXPECT_EQ(back.status, kSuccess) << back.err;
        EXPECT_THAT(back.out, HasSubstr("ok: nothing to write"));
    }

    // A file of that name that holds another device's profile stays, unless --force.
    const fs::path other = folder / "rack" / "QK4520-000001.profile";
    std::ofstream(other) << "# QK4410 profile, format 1\n# device ID: QK4520-999999\ndestPort=1\n";
    const CliRun refused =
        RunCli({"save", "-o", (folder / "rack").string(), "-p", devices[0]->slavePath()});
    EXPECT_EQ(refused.status, kOutputError);
    EXPECT_THAT(refused.err, HasSubstr("holds the profile of device QK4520-999999 (--force "
                                       "replaces it)"));
    std::ifstream kept(other);
    EXPECT_THAT(std::string(std::istreambuf_iterator<char>(kept), {}), HasSubstr("QK4520-999999"));
    EXPECT_EQ(
        RunCli({"save", "-f", "-o", (folder / "rack").string(), "-p", devices[0]->slavePath()})
            .status,
        kSuccess);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace qk::cli
