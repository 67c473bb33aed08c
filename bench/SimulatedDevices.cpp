#include "SimulatedDevices.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "Measure.h"

extern char** environ;

namespace qk::bench {

std::optional<Child> StartProgram(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    Child child;
    const int spawned = posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return std::nullopt;
    }
    child.out = pipeFds[0];
    return child;
}

bool ReadUntil(int fd, std::string& text, std::string_view wanted, int waitMs) {
    const double deadline = Now() + waitMs / 1000.0;
    while (text.find(wanted) == std::string::npos) {
        const double left = deadline - Now();
        pollfd ready{fd, POLLIN, 0};
        if (left <= 0 || poll(&ready, 1, static_cast<int>(left * 1000) + 1) < 0) {
            return false;
        }
        if ((ready.revents & (POLLIN | POLLHUP)) == 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return true;
}

int FinishProgram(const Child& child, std::string& output,
                  const std::function<void(pid_t)>& whileRunning) {
    char buffer[4096];
    for (;;) {
        pollfd ready{child.out, POLLIN, 0};
        if (poll(&ready, 1, 10) < 0 && errno != EINTR) {
            break;
        }
        if ((ready.revents & (POLLIN | POLLHUP)) == 0) {
            if (whileRunning) {
                whileRunning(child.pid);
            }
            continue;
        }
        const ssize_t n = read(child.out, buffer, sizeof buffer);
        if (n == 0) {
            break;
        }
        if (n > 0) {
            output.append(buffer, static_cast<std::size_t>(n));
        } else if (errno != EINTR) {
            break;
        }
    }
    int status = 0;
    waitpid(child.pid, &status, 0);
    close(child.out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

SimulatedDevices::SimulatedDevices(const std::string& sim, int latencyMs, int count, bool ids) {
    for (int i = 0; i < count; ++i) {
        std::vector<std::string> arguments = {sim, "--latency", std::to_string(latencyMs)};
        if (ids) {
            char id[32];
            std::snprintf(id, sizeof id, "BENCH-%04d", i + 1);
            arguments.insert(arguments.end(), {"--id", id});
        }
        if (const auto child = StartProgram(arguments)) {
            m_children.push_back(*child);
        }
    }
    for (const Child& child : m_children) {
        std::string text;
        if (!ReadUntil(child.out, text, "\n")) {
            return;
        }
        m_ttys.push_back(text.substr(0, text.find('\n')));
    }
}

SimulatedDevices::~SimulatedDevices() {
    for (const Child& child : m_children) {
        kill(child.pid, SIGTERM);
    }
    for (const Child& child : m_children) {
        waitpid(child.pid, nullptr, 0);
        close(child.out);
    }
}

}  // namespace qk::bench
