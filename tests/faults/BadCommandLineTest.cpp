// The command-line program given bad input: usage errors end with status 1 and a reason,
// paths that are not serial ports with status 2, before a byte is written to them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "ProcessProbe.h"

namespace qk::faults {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(BadCommandLine, UsageErrorsExitWithOneAndAReasonBeforeAnythingIsOpened) {
    const TempName outputs;
    const std::vector<std::string> cases[] = {
        {"--baud", "9601", "get"},
        {"--parity"},
        {"--com", "2=/dev/null", "--com", "2=/dev/zero", "get"},
        {"set", "protocol=SCTP"},
        {"fetch"},
    };
    for (const auto& arguments : cases) {
        std::vector<std::string> command = {QK_CLI_PROGRAM};
        command.insert(command.end(), arguments.begin(), arguments.end());
        ChildProcess cli(command, outputs.path);
        EXPECT_EQ(cli.Wait(), 1) << arguments[0];
        const std::string errors = cli.Errors();
        EXPECT_TRUE(errors.starts_with("qk4410-cli: ")) << errors;
        EXPECT_TRUE(errors.ends_with("\nTry 'qk4410-cli --help'.\n")) << errors;
        EXPECT_EQ(cli.Output(), "");
    }
}

TEST(BadCommandLine, APathThatIsNoSerialPortExitsWithTwoAndIsLeftUntouched) {
    const TempName dir;
    fs::create_directory(dir.path);
    const fs::path file = dir.path / "settings.txt";
    const std::string content = "keep me\r\nQK+BAUD=9600\r\n";
    std::ofstream(file, std::ios::binary) << content;
    const auto fileTime = fs::last_write_time(file);
    const fs::path fifo = dir.path / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A reader on the fifo: had the tool opened it and written, the bytes would wait here.
    const int fifoReader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fifoReader, 0);

    struct Case {
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {file.string(), " is not a serial port (not a terminal device)"},
        {fifo.string(), " is not a serial port (not a terminal device)"},
        {dir.path.string(), " is not a serial port (not a terminal device)"},
        {"/dev/null", " is not a serial port (not a terminal device)"},
        {(dir.path / "missing").string(), ": No such file or directory"},
    };
    for (const auto& c : cases) {
        ChildProcess cli({QK_CLI_PROGRAM, "--port", c.path, "--attempts", "1", "get"},
                         dir.path / "cli");
        EXPECT_EQ(cli.Wait(), 2) << c.path;
        const std::string errors = cli.Errors();
        EXPECT_TRUE(errors.starts_with("qk4410-cli: Open com failed! (" + c.path + c.reason))
            << errors;
        EXPECT_EQ(cli.Output(), "") << c.path;
    }

    EXPECT_EQ(ReadFile(file), content);
    EXPECT_EQ(fs::last_write_time(file), fileTime);
    char byte = 0;
    EXPECT_EQ(read(fifoReader, &byte, 1), 0);  // no writer ever came
    close(fifoReader);
    fs::remove_all(dir.path);
}

}  // namespace
}  // namespace qk::faults
