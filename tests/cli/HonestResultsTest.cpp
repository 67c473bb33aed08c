// What the command line reports and leaves behind when the device, the shell or the files
// around it are hostile: a confirmation is only ever the device's answer to the question
// asked, a failed run leaves every file as it was, and no input is read or echoed without
// bounds.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "CliRun.h"
#include "JsonOutput.h"
#include "PortDiagnostics.h"
#include "PseudoTerminal.h"

namespace qk::cli {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct HonestResultsTest : ::testing::Test {
    HonestResultsTest() {
        char name[] = "/tmp/qk-honest-XXXXXX";
        folder = mkdtemp(name);
    }
    ~HonestResultsTest() override { fs::remove_all(folder); }
    std::string File(const std::string& name) const { return (folder / name).string(); }
    void Put(const std::string& name, std::string_view text) const {
        std::ofstream(File(name), std::ios::binary) << text;
    }
    fs::path folder;
};

// A device that answers a second late acknowledges the write with the value written but
// keeps its old one. The acknowledgement arrives after the read-back has begun, and is not
// taken for the read-back's answer.
TEST_F(HonestResultsTest, ALateAcknowledgementIsNoConfirmation) {
    sim::SimulatedDevice device({.latency = 1000ms, .unstoredSets = {"PPORT"}});
    const CliRun run =
        RunCli({"--settle", "2500", "--port", device.slavePath(), "set", "destPort=7000"});
    EXPECT_EQ(run.status, kRefused) << run.err;
    EXPECT_THAT(run.err, HasSubstr("destPort=7000 not confirmed: refused (the device reports "
                                   "\"5000\")"));
    EXPECT_EQ(device.Value("PPORT"), "5000");
}

// Lines that end in a line feed alone are no answers: nothing counts as reported, nothing is
// shown as "", and save keeps the good profile that was there.
TEST_F(HonestResultsTest, AnswersWithoutTheirLineEndAreNotReported) {
    sim::SimulatedDevice device({.lfOnly = true});
    const CliRun get = RunCli({"--json", "--port", device.slavePath(), "get"});
    EXPECT_EQ(get.status, kIncomplete);
    const Json line = Json::parse(get.out);
    for (const auto& [name, value] : line["settings"].items()) {
        EXPECT_TRUE(value.is_null()) << name << "=" << value;
    }
    EXPECT_TRUE(line["identity"]["id"].is_null());

    const std::string good = "# QK4410 profile, format 1\ndestPort=6001\n";
    Put("site.profile", good);
    const CliRun save = RunCli({"--port", device.slavePath(), "save", File("site.profile")});
    EXPECT_EQ(save.status, kIncomplete);
    EXPECT_THAT(save.err, HasSubstr("no profile was written"));
    EXPECT_EQ(Read(File("site.profile")), good);
}

// A device that does not report every parameter: save fails and the earlier, complete file
// stays as it was.
TEST_F(HonestResultsTest, AFailedSaveLeavesTheProfileThatWasThere) {
    sim::SimulatedDevice device({.ignoredCommands = {"PPORT", "ENROL"}});
    const std::string good = "# QK4410 profile, format 1\ndestPort=6001\nregisterData=x\n";
    Put("site.profile", good);
    const CliRun save = RunCli({"--port", device.slavePath(), "save", File("site.profile")});
    EXPECT_EQ(save.status, kIncomplete);
    EXPECT_THAT(save.err, HasSubstr("the device did not report: destPort, registerData"));
    EXPECT_EQ(Read(File("site.profile")), good);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

// save writes as editors do: through a link to its target, keeping the target's mode;
// never over a read-only file without --force; in place into a FIFO or device, with its
// errors; never through a fixed temporary name someone else may have placed.
TEST_F(HonestResultsTest, SaveWritesAsEditorsDo) {
    sim::SimulatedDevice device;
    const auto save = [&](const std::string& path, std::vector<std::string> more = {}) {
        std::vector<std::string> arguments = {"--port", device.slavePath(), "save", path};
        arguments.insert(arguments.begin(), more.begin(), more.end());
        return RunCli(arguments);
    };
    Put("shared.profile", "old");
    fs::permissions(File("shared.profile"), fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(File("shared.profile"), File("link.profile"));
    Put("unrelated", "keep me");
    fs::create_symlink(File("unrelated"), File("link.profile.partial"));
    ASSERT_EQ(save(File("link.profile")).status, kSuccess);
    EXPECT_TRUE(fs::is_symlink(File("link.profile")));
    EXPECT_THAT(Read(File("shared.profile")), HasSubstr("destPort=5000\n"));
    EXPECT_EQ(fs::status(File("shared.profile")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Read(File("unrelated")), "keep me");

    Put("locked.profile", "old");
    fs::permissions(File("locked.profile"), fs::perms::owner_read);
    const CliRun refused = save(File("locked.profile"));
    EXPECT_EQ(refused.status, kOutputError);
    EXPECT_THAT(refused.err, HasSubstr("is read-only (--force replaces it)"));
    EXPECT_EQ(Read(File("locked.profile")), "old");
    EXPECT_EQ(save(File("locked.profile"), {"--force"}).status, kSuccess);
    EXPECT_THAT(Read(File("locked.profile")), HasSubstr("destPort=5000\n"));

    const std::string fifo = File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = Read(fifo); });
    std::this_thread::sleep_for(100ms);  // the reader waits in open
    EXPECT_EQ(save(fifo).status, kSuccess);
    reader.join();
    EXPECT_THAT(received, HasSubstr("destPort=5000\n"));
    EXPECT_TRUE(fs::is_fifo(fifo));

    const CliRun full = save("/dev/full");
    EXPECT_EQ(full.status, kOutputError);
    EXPECT_THAT(full.err, HasSubstr("cannot write /dev/full: No space left on device"));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// A profile must say something, in a format this program knows, and be of a profile's
// size; what it holds is echoed briefly and harmlessly. No device hears anything.
TEST_F(HonestResultsTest, ProfilesThatSayNothingOrTooMuchAreRefusedBeforeAnyDevice) {
    sim::SimulatedDevice device;
    Put("empty.profile", "");
    Put("format-only.profile", "# QK4410 profile, format 1\n");
    Put("later-format.profile", "destPort=6001\n# QK4410 profile, format 1\n");
    Put("huge.profile", "destAddress=" + std::string(10 << 20, 'a') + "\n");
    Put("escapes.profile", "\x1B[2J" + std::string(5000, 'x') + "\n");
    fs::create_directory(File("folder.profile"));
    const std::pair<std::string, std::string> cases[] = {
        {"empty.profile", ": the profile names no setting"},
        {"format-only.profile", ": the profile names no setting"},
        {"later-format.profile", ": line 2: the format line must come before the settings"},
        {"huge.profile", ": is larger than 65536 bytes"},
        {"/dev/zero", ": is larger than 65536 bytes"},
        {"folder.profile", ": is a folder"},
        {"escapes.profile", "got '\\x1B[2Jxxxx"},
    };
    for (const auto& [file, problem] : cases) {
        const std::string path = file.starts_with('/') ? file : File(file);
        const CliRun run = RunCli({"--port", device.slavePath(), "apply", path});
        EXPECT_EQ(run.status, kUsageError) << file;
        EXPECT_THAT(run.err, HasSubstr(problem)) << file;
        EXPECT_THAT(run.err, Not(HasSubstr("\x1B"))) << file;
        EXPECT_LT(run.err.size(), 1000u) << file;
    }
    EXPECT_EQ(device.BytesReceived(), 0u);
}

// The login key is in no message, output or log; each run's logs are its own, readable by
// their owner alone, one per port even where two paths end alike.
TEST_F(HonestResultsTest, ConversationLogsKeepNoKeyAndNeverMeet) {
    sim::SimulatedDevice first, second;
    fs::create_directories(folder / "a");
    fs::create_directories(folder / "b");
    fs::create_symlink(first.slavePath(), folder / "a" / "tty");
    fs::create_symlink(second.slavePath(), folder / "b" / "tty");
    Put("site.profile", "destPort=6001\n");
    for (int run = 0; run < 2; ++run) {
        const CliRun apply =
            RunCli({"--key", "358024", "--json", "--log", File("logs"), "--port", File("a/tty"),
                    "--port", File("b/tty"), "apply", File("site.profile")});
        EXPECT_EQ(apply.status, kSuccess) << apply.err;
        EXPECT_THAT(apply.out + apply.err, Not(HasSubstr("358024")));
    }
    std::vector<fs::path> logs;
    for (const auto& entry : fs::directory_iterator(folder / "logs")) {
        logs.push_back(entry.path());
    }
    ASSERT_EQ(logs.size(), 4u);
    int logins = 0;  // the first run logs in on both devices; the second has nothing to write
    for (const fs::path& log : logs) {
        const std::string text = Read(log);
        EXPECT_THAT(text, Not(HasSubstr("358024"))) << log;
        logins += text.find("> QK+LOGIN=******\\r\\n") != std::string::npos;
        EXPECT_EQ(fs::status(log).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_EQ(logins, 2);
}

// Every parameter Get Param. asks for counts for get's verdict: a device that leaves out any
// one of them fails, naming exactly that one.
TEST_F(HonestResultsTest, EveryQueriedParameterCountsForGetsVerdict) {
    const std::vector<const Parameter*> queried = QueriedParameters();
    std::vector<std::unique_ptr<sim::SimulatedDevice>> devices;
    std::vector<std::string> arguments = {"--json"};
    for (const Parameter* parameter : queried) {
        // The command's name after "QK+"; STAT, ID and VER carry "?\r\n" in their text.
        const std::string command(CommandTable().Text(parameter->command).substr(3));
        const std::string name = command.substr(0, command.find('?'));
        devices.push_back(
            std::make_unique<sim::SimulatedDevice>(sim::SimOptions{.ignoredCommands = {name}}));
        arguments.insert(arguments.end(), {"--port", devices.back()->slavePath()});
    }
    arguments.push_back("get");
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.status, kIncomplete);
    std::istringstream lines(run.out);
    std::size_t i = 0;
    for (std::string line; std::getline(lines, line); ++i) {
        ASSERT_LT(i, queried.size());
        EXPECT_EQ(Json::parse(line)["reason"],
                  "the device did not report: " + std::string(queried[i]->name));
    }
    EXPECT_EQ(i, queried.size());
}

// Another program with the port open may be taking the device's answers: a device that
// seems not to answer comes with the name of that program.
TEST_F(HonestResultsTest, AProgramWithThePortOpenIsNamedWhenNoDeviceAnswers) {
    sim::SimulatedDevice device({.noHandshake = true});
    const pid_t reader = fork();
    if (reader == 0) {
        const int port = open(device.slavePath().c_str(), O_RDONLY | O_NOCTTY);
        dup2(port, STDIN_FILENO);
        execlp("sleep", "sleep", "30", nullptr);
        _exit(127);
    }
    ASSERT_GT(reader, 0);
    for (int i = 0; i < 100 && OtherUsers(device.slavePath()).empty(); ++i) {
        std::this_thread::sleep_for(20ms);
    }
    const CliRun run = RunCli({"--port", device.slavePath(), "--attempts", "2", "get"});
    kill(reader, SIGTERM);
    waitpid(reader, nullptr, 0);
    EXPECT_EQ(run.status, kNoDevice);
    EXPECT_THAT(run.err, HasSubstr("The port is open in sleep (pid " + std::to_string(reader) +
                                   ") as well, which may take the answers."));
}

// Devices given by COM number each get their own port, whichever order they are named in.
TEST_F(HonestResultsTest, DevicesGivenByComNumberEachTalkToTheirOwnPort) {
    sim::SimulatedDevice two, three;
    const CliRun run = RunCli({"--com", "2=" + two.slavePath(), "--com", "3=" + three.slavePath(),
                               "--com", "3", "--com", "2", "set", "destPort=6003"});
    EXPECT_EQ(run.status, kSuccess) << run.err;
    EXPECT_EQ(run.out, three.slavePath() + " QK4520-000123 ok\ndestPort=6003\n" + two.slavePath() +
                           " QK4520-000123 ok\ndestPort=6003\n");
    for (const auto* device : {&two, &three}) {
        EXPECT_EQ(SetsReceived(*device), std::vector<std::string>{"QK+PPORT=6003\r\n"});
    }
}

}  // namespace
}  // namespace qk::cli
