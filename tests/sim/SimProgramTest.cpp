// Runs the built qk4410-sim program: its argument checking, its tty and symlink, and its
// clean exit on SIGTERM and after hanging up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CommandTable.h"
#include "SlavePort.h"

extern char** environ;

namespace qk::sim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A started qk4410-sim with its stdout and stderr on pipes; killed if a test leaves it.
class Program {
  public:
    explicit Program(const std::vector<std::string>& arguments) {
        int out[2];
        int err[2];
        if (pipe(out) != 0 || pipe(err) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        std::vector<std::string> all{QK_SIM_PROGRAM};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& argument : all) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, QK_SIM_PROGRAM, &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }
    ~Program() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_out);
        close(m_err);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return m_pid > 0; }
    void Signal(int signal) const { kill(m_pid, signal); }

    // The first line the program prints, without its line feed; empty on timeout.
    std::string FirstLine() {
        const auto deadline = Clock::now() + 5s;
        while (m_stdout.find('\n') == std::string::npos) {
            if (!ReadSome(m_out, m_stdout, deadline)) {
                return {};
            }
        }
        return m_stdout.substr(0, m_stdout.find('\n'));
    }

    // Waits for the program to end (its pipes close) and returns its exit status, or -1
    // when it does not exit in time or ends by a signal.
    int ExitStatus() {
        const auto deadline = Clock::now() + 5s;
        while (ReadSome(m_out, m_stdout, deadline)) {
        }
        while (ReadSome(m_err, m_stderr, deadline)) {
        }
        if (Clock::now() >= deadline) {
            return -1;
        }
        int status = 0;
        const pid_t pid = m_pid;
        m_pid = -1;
        if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
            return -1;
        }
        return WEXITSTATUS(status);
    }

    const std::string& out() const { return m_stdout; }
    const std::string& err() const { return m_stderr; }

  private:
    // Appends one read's worth; false at end of file or when the deadline passes.
    static bool ReadSome(int fd, std::string& text, Clock::time_point deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd request{fd, POLLIN, 0};
        if (poll(&request, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        char buffer[1024];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(count));
        return true;
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::string m_stdout;
    std::string m_stderr;
};

class TemporaryDirectory {
  public:
    TemporaryDirectory() {
        char name[] = "/tmp/qk-sim-test-XXXXXX";
        if (mkdtemp(name) != nullptr) {
            m_path = name;
        }
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

TEST(SimProgramTest, BadArgumentsExitWithStatusOneAndAMessage) {
    // Which values are bad is CommandLineTest's; here, that the program acts on it.
    const std::vector<std::vector<std::string>> cases = {
        {"--latency", "-5"}, {"--chunk", "8:x"}, {"--link"}, {"--frobnicate"}, {"extra"}};
    for (const auto& arguments : cases) {
        SCOPED_TRACE(arguments.front() + (arguments.size() > 1 ? " " + arguments[1] : ""));
        Program program(arguments);
        ASSERT_TRUE(program.started());
        EXPECT_EQ(program.ExitStatus(), 1);
        EXPECT_TRUE(program.err().starts_with("qk4410-sim: ")) << program.err();
        EXPECT_TRUE(program.out().empty()) << program.out();
    }
}

TEST(SimProgramTest, LinkOverAnOrdinaryFileIsRefused) {
    TemporaryDirectory directory;
    const std::string file = directory.path() + "/taken";
    { std::ofstream(file) << "keep me"; }
    Program program({"--link", file});
    ASSERT_TRUE(program.started());
    EXPECT_EQ(program.ExitStatus(), 1);
    EXPECT_NE(program.err().find("not a symlink"), std::string::npos) << program.err();
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
}

TEST(SimProgramTest, HelpListsTheOptionsAndSucceeds) {
    Program program({"--help"});
    ASSERT_TRUE(program.started());
    EXPECT_EQ(program.ExitStatus(), 0);
    EXPECT_NE(program.out().find("--hangup-after"), std::string::npos);
}

TEST(SimProgramTest, ServesItsTtyUntilTerminatedAndRemovesItsLink) {
    TemporaryDirectory directory;
    const std::string link = directory.path() + "/ttyQK";
    Program program({"--link", link, "--verbose"});
    ASSERT_TRUE(program.started());
    const std::string tty = program.FirstLine();
    ASSERT_TRUE(tty.starts_with("/dev/")) << tty;
    EXPECT_EQ(std::filesystem::read_symlink(link), tty);

    const CommandTable table;
    test::SlavePort port(link);
    ASSERT_TRUE(port.ok());
    const std::string request = BuildHandshakeRequest(table);
    ASSERT_TRUE(port.Write(request + request + request));
    EXPECT_EQ(port.ReadOnce(), "CFG MODE\r");
    ASSERT_TRUE(port.Write(BuildQuery(table, CommandId::Protocol)));
    EXPECT_EQ(port.ReadUntilEnd("\r\n"), "+PROTOCOL:TCP\r\n");

    program.Signal(SIGTERM);
    EXPECT_EQ(program.ExitStatus(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    // The log shows control bytes visibly, one event to a line.
    EXPECT_NE(program.err().find("<- QK+PROTOCOL?\\r\\n"), std::string::npos) << program.err();
    EXPECT_NE(program.err().find("-> CFG MODE\\r"), std::string::npos) << program.err();
}

TEST(SimProgramTest, ExitsByItselfAfterHangingUp) {
    Program program({"--hangup-after", "100"});
    ASSERT_TRUE(program.started());
    EXPECT_FALSE(program.FirstLine().empty());
    EXPECT_EQ(program.ExitStatus(), 0);
}

}  // namespace
}  // namespace qk::sim
