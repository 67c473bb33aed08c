#include <gtest/gtest.h>

#include "CliOptions.h"
#include "Journal.h"

namespace qk::cli {
namespace {

TEST(CliOptionsTest, DefaultsMatchTheWindowAndSettingsBecomeListPositions) {
    std::string error;
    const auto defaults = ParseCommandLine({"get"}, error);
    ASSERT_TRUE(defaults) << error;
    EXPECT_EQ(
        std::tuple(defaults->command, defaults->session.baudIndex, defaults->session.dataBitsIndex,
                   defaults->session.parityIndex, defaults->session.settle.count(),
                   defaults->session.handshakeAttempts, defaults->session.loginKey),
        std::tuple(Command::Get, 4, 3, 0, 1000, 80, "358024"));
    EXPECT_TRUE(defaults->targets.empty());  // the run decides, from the ports there are
    // Long and short forms alike; parity as terminal programs spell it, in any case.
    for (const auto& arguments :
         {std::vector<std::string>{"--com", "3", "--baud", "76800", "--data-bits", "7", "--parity",
                                   "even", "--json", "--quiet", "get"},
          std::vector<std::string>{"-c", "3", "-b76800", "-d", "7", "--parity=E", "-jq", "get"}}) {
        const auto options = ParseCommandLine(arguments, error);
        ASSERT_TRUE(options) << error;
        EXPECT_EQ(std::tuple(options->targets.at(0).comNumber, options->session.baudIndex,
                             options->session.dataBitsIndex, options->session.parityIndex,
                             options->json, options->quiet),
                  std::tuple(3, 10, 2, 2, true, true));
    }
    for (const char* parity : {"none", "N", "n", "NONE"}) {
        EXPECT_EQ(ParseCommandLine({"--parity", parity, "get"}, error)->session.parityIndex, 0);
    }
}

// "--opt value" and "--opt=value" mean the same, and options may follow the command.
// Devices are taken in the order given, by path or by COM number; a file follows the
// command that takes one.
TEST(CliOptionsTest, BothValueStylesSeveralDevicesAndAFile) {
    std::string error;
    const auto spaced =
        ParseCommandLine({"--baud", "76800", "--port", "/dev/pts/7", "--com", "2=/dev/ttyUSB1",
                          "--com", "2", "apply", "site.profile", "--log", "logs"},
                         error);
    const auto joined =
        ParseCommandLine({"apply", "--baud=76800", "--port=/dev/pts/7", "--com=2=/dev/ttyUSB1",
                          "--com=2", "site.profile", "--log=logs"},
                         error);
    ASSERT_TRUE(spaced && joined) << error;
    for (const auto* o : {&*spaced, &*joined}) {
        ASSERT_EQ(o->targets.size(), 2u);
        EXPECT_EQ(std::tuple(o->session.baudIndex, o->targets[0].path, o->targets[1].path,
                             o->targets[1].comNumber, o->pins.at(0).path, o->file, o->logFolder),
                  std::tuple(10, "/dev/pts/7", "", 2, "/dev/ttyUSB1", "site.profile", "logs"));
    }
    const auto fleet = ParseCommandLine(
        {"apply", "--values", "f.csv", "--allow-missing", "--journal", "j.sqlite", "--port", "/a"},
        error);
    ASSERT_TRUE(fleet) << error;
    EXPECT_EQ(std::tuple(fleet->file, fleet->valuesFile, fleet->allowMissing,
                         fleet->journal.enabled, fleet->journal.Path()),
              std::tuple("", "f.csv", true, true, "j.sqlite"));
    const auto history =
        ParseCommandLine({"history", "--id", "QK-1", "--since", "2026-12-07T05:25Z"}, error);
    ASSERT_TRUE(history) << error;
    EXPECT_EQ(std::tuple(history->deviceId, history->since),
              std::tuple("QK-1", "2026-12-07T05:25:00.000Z"));
    EXPECT_FALSE(ParseCommandLine({"set", "destPort=1", "--no-journal"}, error)->journal.enabled);
    EXPECT_EQ(ParseCommandLine({"save", "-"}, error)->file, "-");
    EXPECT_EQ(ParseCommandLine({"save", "backups/"}, error)->outputDir, "backups/");
    EXPECT_EQ(ParseCommandLine({"--version"}, error)->command, Command::Version);
    EXPECT_EQ(ParseCommandLine({"get", "-h"}, error)->command, Command::Help);
}

TEST(CliOptionsTest, BadCommandLinesAreRefusedWithAReason) {
    std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no command given (get, set, save, diff, apply, undo, history, scan or ports)"},
        {{"fetch"},
         "unknown command 'fetch' (get, set, save, diff, apply, undo, history, scan or ports)"},
        {{"get", "ports"}, "only one command may be given, got 'ports' as well"},
        {{"get", "extra"}, "unexpected argument 'extra'"},
        {{"get", "--json=1"}, "unknown option '--json=1'"},
        {{"--settle=", "get"}, "--settle takes milliseconds from 0 to 600000, got ''"},
        {{"--port", "", "get"}, "--port needs a path"},
        {{"--com", "1=/a", "--com", "1=/b", "get"}, "COM1 is given two paths, '/a' and '/b'"},
        {{"--com", "15", "get"}, "--com takes a number from 1 to 14 or N=PATH, got '15'"},
        {{"--baud", "9601", "get"}, "--baud must be one of 1200, 2400, "},
        {{"--data-bits", "9", "get"}, "--data-bits must be 5, 6, 7 or 8; got '9'"},
        {{"--parity", "x", "get"}, "--parity must be none, odd or even (N, O, E); got 'x'"},
        {{"--key", "12\n34", "get"}, "--key cannot hold a line break"},
        {{"--attempts", "+5", "get"}, "--attempts takes a number from 1 to 1000, got '+5'"},
        {{"--log", "", "get"}, "--log needs a folder"},
        {{"set"}, "set needs at least one NAME=VALUE"},
        {{"set", "=5"}, "expected NAME=VALUE, got '=5'"},
        {{"set", "colour=red"}, "unknown parameter 'colour' (known: deviceBaud, "},
        {{"set", "workType=2"}, "workType must be one of 0, 1, got '2'"},
        // What apply would only give a device that holds it already, set never sends.
        {{"set", "destPort=70000"}, "destPort must be a port from 1 to 65535, got '70000'"},
        {{"set", "destPort=abc"}, "destPort must be a port from 1 to 65535, got 'abc'"},
        {{"set", "registerData=" + std::string(43, 'r')},
         "registerData is 43 bytes in GBK, at most 40"},
        {{"set", "destPort=50\n00"}, "destPort: a value cannot hold a line break"},
        {{"set", "registerData=\xFF\xFE"}, "registerData: not valid UTF-8"},
        {{"set", "registerData=a\\q"}, "registerData: unknown escape \\q"},
        {{"diff", "a", "b"}, "unexpected argument 'b'"},
        {{"--port", "/a", "--port", "/b", "save", "f"}, "save with several devices writes one"},
        {{"save", "-o", "dir", "f"}, "save writes to FILE or into --output-dir, not both"},
        {{"save"}, "save needs a FILE"},
        // Options given to a command that would ignore them, and the fleet's own.
        {{"apply"}, "apply needs a FILE"},
        {{"get", "--values", "f.csv"}, "--values goes with apply, not get"},
        {{"apply", "f", "--allow-missing"}, "--allow-missing goes with apply --values"},
        {{"set", "destPort=1", "--csv"}, "--csv goes with get, save and history, not set"},
        {{"get", "--csv", "--json"}, "--csv and --json: give one"},
        {{"save", "--csv", "-o", "dir"}, "save --csv writes one FILE"},
        {{"get", "--id", "X"}, "--id goes with history and undo, not get"},
        {{"undo"}, "undo needs the device: --id ID"},
        {{"apply", "f", "--since", "2026-01-01"}, "--since goes with history, not apply"},
        {{"history", "--since", "2026-02-30"}, "--since takes a UTC date"},
        {{"history", "--since", "yesterday"}, "--since takes a UTC date"},
        {{"history", "--since", "2026-01-01T25:00"}, "--since takes a UTC date"},
        {{"apply", "--values", ""}, "--values needs a file"},
        {{"apply", "f", "--journal="}, "--journal needs a file"},
    };
    for (const char* option : {"--port", "--com", "--baud", "--data-bits", "--parity", "--key",
                               "--settle", "--attempts", "--log", "--output-dir", "-p", "-o"}) {
        cases.push_back({{option}, std::string(option) + " needs a value"});
    }
    // Without a journal in the build, history says so when it runs, whatever the options.
    if (Journal::Available()) {
        cases.push_back({{"history", "--no-journal"}, "history reads the journal: --no-journal"});
    }
    for (const auto& [arguments, reason] : cases) {
        std::string error;
        EXPECT_FALSE(ParseCommandLine(arguments, error)) << reason;
        EXPECT_TRUE(error.starts_with(reason)) << "got: " << error;
    }
}

}  // namespace
}  // namespace qk::cli
