// A fleet against simulated devices with IDs of their own: a values file, an inventory fed
// back, the journal's history and undo, and the input that must reach no device at all.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>

#include "CliRun.h"
#include "Journal.h"
#include "JsonOutput.h"

namespace qk::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
namespace fs = std::filesystem;

struct FleetTest : ::testing::Test {
    FleetTest() {
        char name[] = "/tmp/qk-fleet-XXXXXX";
        folder = mkdtemp(name);
        journal = File("journal.sqlite");
    }
    ~FleetTest() override { fs::remove_all(folder); }
    std::string File(const std::string& name) const { return (folder / name).string(); }
    void Put(const std::string& name, std::string_view text) const {
        std::ofstream(File(name), std::ios::binary) << text;
    }
    // Devices QK-1, QK-2, ... each with the factory's settings.
    void StartDevices(int count) {
        for (int i = 1; i <= count; ++i) {
            devices.push_back(std::make_unique<sim::SimulatedDevice>(
                sim::SimOptions{.id = "QK-" + std::to_string(i)}));
        }
    }
    std::vector<std::string> Ports(std::vector<std::string> arguments) const {
        for (const auto& device : devices) {
            arguments.insert(arguments.begin(), {"--port", device->slavePath()});
        }
        return arguments;
    }
    // Answers wait up to 2 s: a device that answers at once costs nothing more, and a
    // loaded machine's slow one fails no test.
    CliRun Run(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"--journal", journal, "--settle", "2000"});
        return RunCli(std::move(arguments));
    }
    fs::path folder;
    std::string journal;
    std::vector<std::unique_ptr<sim::SimulatedDevice>> devices;
};

TEST_F(FleetTest, EachDeviceGetsItsOwnRowAndADeviceWithoutOneIsLeftAlone) {
    StartDevices(4);
    Put("fleet.csv",
        "id,registerData,destPort\r\n"
        "QK-1,SITE-A,6001\r\n"
        "QK-2,\"SITE,B\",\r\n"
        "QK-3,站点C,6003\r\n");
    Put("site.profile", "heartbeatData=HB-${id}\nregisterEnable=1\n");
    const CliRun run = Run(Ports({"apply", File("site.profile"), "--values", File("fleet.csv")}));
    EXPECT_EQ(run.status, kRefused) << run.err;
    EXPECT_THAT(run.out, HasSubstr("QK-4 failed: no row for QK-4 in " + File("fleet.csv") +
                                   "; nothing was written"));
    const std::pair<std::string, std::string> wanted[] = {{"SITE-A", "6001"},
                                                          {"SITE,B", "5000"},
                                                          {"\xD5\xBE\xB5\xE3"
                                                           "C",
                                                           "6003"}};
    for (int i = 0; i < 3; ++i) {
        const auto& device = *devices[static_cast<std::size_t>(i)];
        EXPECT_EQ(device.Value("ENROL"), wanted[i].first);
        EXPECT_EQ(device.Value("PPORT"), wanted[i].second);
        EXPECT_EQ(device.Value("HEARTDAT"), "HB-QK-" + std::to_string(i + 1));
        EXPECT_THAT(run.out, HasSubstr(" QK-" + std::to_string(i + 1) + " ok: wrote "));
    }
    EXPECT_THAT(SetsReceived(*devices[3]), IsEmpty());
    // Confirmed by each device's own answers, as the journal shows.
    std::string error;
    const auto history = Journal::Open(journal, {}, error)->History({}, error);
    ASSERT_TRUE(history) << error;
    ASSERT_EQ(history->size(), 3u);
    EXPECT_TRUE(std::ranges::all_of(*history, [](const Change& c) {
        return c.result == ChangeResult::Ok &&
               std::ranges::all_of(c.values, [](const auto& v) { return v.after == v.wanted; });
    }));

    const CliRun again = Run(Ports({"--allow-missing", "apply", "--values", File("fleet.csv")}));
    EXPECT_EQ(again.status, kSuccess) << again.err;
    EXPECT_THAT(again.out, HasSubstr("QK-4 ok: no row for QK-4"));
}

TEST_F(FleetTest, AnEditedInventoryAppliesExactlyTheEditedCells) {
    StartDevices(3);
    const CliRun inventory = Run(Ports({"get", "--csv"}));
    ASSERT_EQ(inventory.status, kSuccess) << inventory.err;
    std::vector<std::string> lines;
    std::istringstream in(inventory.out);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "id,deviceBaud,destAddress,destPort,protocol,workType,heartbeat,heartbeatData,"
              "dnsServer,dataBits,parity,registerEnable,registerData,port,version,signal,"
              "temperature,voltage,result,reason\r");
    // As a spreadsheet would: QK-2's port, QK-3's heartbeat.
    std::string edited = inventory.out;
    const std::size_t two = edited.find("QK-2,");
    edited.replace(edited.find(",5000,", two), 6, ",7002,");
    const std::size_t three = edited.find("QK-3,");
    edited.replace(edited.find(",30s,", three), 5, ",60s,");
    Put("inventory.csv", edited);

    const CliRun run = Run(Ports({"apply", "--values", File("inventory.csv")}));
    EXPECT_EQ(run.status, kSuccess) << run.err;
    EXPECT_THAT(SetsReceived(*devices[0]), IsEmpty());
    EXPECT_THAT(SetsReceived(*devices[1]), ElementsAre("QK+PPORT=7002\r\n"));
    EXPECT_THAT(SetsReceived(*devices[2]), ElementsAre("QK+HEARTIME=3\r\n"));

    // save --csv writes the same inventory, as editors write a file.
    const CliRun save = Run(Ports({"save", "--csv", File("saved.csv")}));
    EXPECT_EQ(save.status, kSuccess) << save.err;
    std::ifstream saved(File("saved.csv"), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(saved), {}};
    EXPECT_THAT(text, HasSubstr(",7002,"));
    EXPECT_EQ(std::ranges::count(text, '\n'), 4);
    // One device that cannot be read: the inventory that was there stays, and the run
    // fails with that device's status. It comes first, as the run's status is its first
    // failing device's, and a loaded machine may leave another one's read incomplete.
    std::vector<std::string> arguments = Ports({"save", "--csv", File("saved.csv")});
    arguments.insert(arguments.begin(), {"--port", File("no-such-port"), "--attempts", "1"});
    const CliRun partly = Run(arguments);
    EXPECT_EQ(partly.status, kNoDevice);
    EXPECT_THAT(partly.err, HasSubstr("no inventory was written"));
    EXPECT_THAT(partly.out, Not(HasSubstr("id,deviceBaud")));
    std::ifstream again(File("saved.csv"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), text);
}

TEST_F(FleetTest, HistoryShowsBeforeAndAfterAndUndoPutsTheDeviceBack) {
    StartDevices(2);
    const std::string& port = devices[0]->slavePath();
    ASSERT_EQ(Run({"--port", port, "set", "destPort=6001", "heartbeat=45s"}).status, kSuccess);
    const CliRun history = Run({"history", "--id", "QK-1"});
    EXPECT_EQ(history.status, kSuccess) << history.err;
    EXPECT_THAT(history.out, HasSubstr("  QK-1  " + port + "  qk4410-cli set  ok\n"));
    EXPECT_THAT(history.out, HasSubstr("  destPort: \"5000\" -> \"6001\"\n"));
    EXPECT_THAT(history.out, HasSubstr("  heartbeat: \"30s\" -> \"45s\"\n"));

    // Undo goes only to the device it names: another port is left alone.
    const CliRun wrong = Run({"--port", devices[1]->slavePath(), "undo", "--id", "QK-1"});
    EXPECT_EQ(wrong.status, kRefused);
    EXPECT_THAT(wrong.out, HasSubstr("this is device QK-2, not QK-1; nothing was written"));
    EXPECT_THAT(SetsReceived(*devices[1]), IsEmpty());

    const CliRun undo = Run({"--json", "--port", port, "undo", "--id", "QK-1"});
    EXPECT_EQ(undo.status, kSuccess) << undo.err;
    const Json line = Json::parse(undo.out);
    EXPECT_EQ(line["written"], Json({"destPort", "heartbeat"}));
    EXPECT_EQ(line["undone"], 1);
    EXPECT_EQ(line["change"], 2);
    EXPECT_EQ(devices[0]->Value("PPORT"), "5000");
    EXPECT_EQ(devices[0]->Value("HEARTIME"), "1");
    const CliRun after = Run({"--csv", "history", "--id", "QK-1"});
    EXPECT_THAT(after.out, HasSubstr(",undo,"));
    EXPECT_THAT(after.out, HasSubstr(",destPort,6001,5000,5000\r\n"));
    EXPECT_EQ(Run({"history", "--id", "QK-1", "--since", "2999-01-01"}).out, "");
    const CliRun none = Run({"--port", port, "undo", "--id", "QK-7"});
    EXPECT_EQ(none.status, kUsageError);
    EXPECT_THAT(none.err, HasSubstr("holds no change of QK-7; nothing was sent"));
}

// Nothing reaches any device, not even the handshake, when the values file is wrong
// anywhere, and everything wrong is named.
TEST_F(FleetTest, BadValuesFilesReachNoDevice) {
    StartDevices(2);
    const std::pair<std::string, std::string> cases[] = {
        {"id,destPort\nQK-1,\"6001\n", "never closed"},
        {"id,destPort\nQK-1,6001,1\n", "line 2: 3 fields, the header has 2"},
        {"id,destPort\nQK-1,6001\nQK-1,6002\n", "the device ID 'QK-1' again"},
        {"id,colour\nQK-1,red\n", "column 2 'colour' is no parameter"},
        {"id,heartbeat\nQK-1,2\n", "heartbeat must be one of"},
        {"\xEF\xBB\xBFid,destPort\r\nQK-1,6001\r\nQK-2,\"6002\"x\r\n", "goes on after its closing"},
    };
    for (const auto& [text, problem] : cases) {
        Put("bad.csv", text);
        const CliRun run = Run(Ports({"apply", "--values", File("bad.csv")}));
        EXPECT_EQ(run.status, kUsageError) << text;
        EXPECT_THAT(run.err, HasSubstr(problem)) << text;
        EXPECT_THAT(run.err, HasSubstr("nothing was sent to any device"));
        for (const auto& device : devices) {
            EXPECT_EQ(device->BytesReceived(), 0u) << text;
        }
    }
    Put("huge.csv", "id,destPort\n" + std::string(10 * 1024 * 1024, 'x'));
    const CliRun huge = Run(Ports({"apply", "--values", File("huge.csv")}));
    EXPECT_EQ(huge.status, kUsageError);
    EXPECT_THAT(huge.err, HasSubstr("is larger than 4194304 bytes"));
    // A template only a values file can fill, given without one.
    Put("site.profile", "heartbeatData=${destPort}\n");
    const CliRun unfilled = Run(Ports({"apply", File("site.profile")}));
    EXPECT_EQ(unfilled.status, kUsageError);
    EXPECT_THAT(unfilled.err, HasSubstr("${destPort} has no value"));
    for (const auto& device : devices) {
        EXPECT_EQ(device->BytesReceived(), 0u);
    }
    // Beyond the limits: decided for each device once it says what it holds; neither holds
    // these, so neither is written to.
    Put("beyond.csv",
        "id,destPort,registerData\nQK-1,70000,\nQK-2,," + std::string(41, 'r') + "\n");
    const CliRun beyond = Run(Ports({"apply", "--values", File("beyond.csv")}));
    EXPECT_EQ(beyond.status, kUsageError);
    EXPECT_THAT(beyond.err, HasSubstr("destPort must be a port from 1 to 65535, got '70000', and "
                                      "the device does not hold that value"));
    EXPECT_THAT(beyond.err, HasSubstr("registerData is 41 bytes in GBK, at most 40"));
    for (const auto& device : devices) {
        EXPECT_THAT(SetsReceived(*device), IsEmpty());
    }
}

// The journal comes first: a change it cannot record is not made, and no device hears
// anything. Without --journal it is at its default place.
TEST_F(FleetTest, AJournalThatCannotRecordRefusesEveryChangeBeforeItStarts) {
    StartDevices(1);
    const std::string port = devices[0]->slavePath();
    Put("not-a-journal", "id,destPort\n");
    chmod(File("read-only").c_str(), 0444);
    for (const std::string& file : {File("not-a-journal"), File("folder/")}) {
        fs::create_directory(File("folder"));
        const CliRun run = RunCli({"--journal", file, "--port", port, "set", "destPort=6001"});
        EXPECT_EQ(run.status, kJournalError) << file;
        EXPECT_THAT(run.err, HasSubstr("nothing was sent to any device"));
        EXPECT_EQ(devices[0]->BytesReceived(), 0u);
    }
    const CliRun off = RunCli({"--no-journal", "--port", port, "set", "destPort=6001"});
    EXPECT_EQ(off.status, kSuccess) << off.err;

    const char* saved = std::getenv("XDG_STATE_HOME");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("XDG_STATE_HOME", File("state").c_str(), 1);
    const CliRun byDefault = RunCli({"--port", port, "set", "destPort=6002"});
    const CliRun history = RunCli({"history"});
    setenv("XDG_STATE_HOME", previous.c_str(), 1);
    EXPECT_EQ(byDefault.status, kSuccess) << byDefault.err;
    EXPECT_TRUE(fs::exists(File("state/qk4410/journal.sqlite")));
    EXPECT_THAT(history.out, HasSubstr("destPort: \"6001\" -> \"6002\""));
}

}  // namespace
}  // namespace qk::cli
