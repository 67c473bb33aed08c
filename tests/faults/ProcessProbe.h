#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

// What the fault tests measure of their own process (CPU time, descriptors, threads), and
// other programs run as child processes.
namespace qk::faults {

inline std::chrono::nanoseconds ProcessCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

inline int CountEntries(const char* directory) {
    const std::filesystem::directory_iterator entries(directory);
    return static_cast<int>(std::distance(begin(entries), end(entries)));
}
inline int OpenDescriptors() {
    return CountEntries("/proc/self/fd");
}
inline int Threads() {
    return CountEntries("/proc/self/task");
}

// The p-th percentile (0..100) of `samples`, nearest rank.
template <typename T>
T Percentile(std::vector<T> samples, double p) {
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<std::size_t>(p / 100.0 * static_cast<double>(samples.size()));
    return samples[std::min(rank, samples.size() - 1)];
}

// A fresh path in the temporary directory, for files a test makes; not created here.
struct TempName {
    TempName() {
        static std::atomic<int> counter{0};
        path = std::filesystem::temp_directory_path() /
               ("qk-faults-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    }
    std::filesystem::path path;
};

// A program started with posix_spawn (safe beside this process's threads), its standard
// output and error going to files so that a long run cannot block on a full pipe.
class ChildProcess {
  public:
    ChildProcess(const std::vector<std::string>& arguments, const std::filesystem::path& outputs)
        : m_out(outputs.string() + ".out"), m_err(outputs.string() + ".err") {
        std::vector<char*> argv;
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_err.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess() {
        if (m_pid > 0 && !m_status) {
            kill(m_pid, SIGKILL);
            Wait();
        }
        std::error_code ignored;
        std::filesystem::remove(m_out, ignored);
        std::filesystem::remove(m_err, ignored);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    // The exit status, or 128 + signal.
    int Wait() {
        if (!m_status && m_pid > 0) {
            int raw = 0;
            while (waitpid(m_pid, &raw, 0) < 0 && errno == EINTR) {
            }
            m_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        }
        return m_status.value_or(-1);
    }
    std::string Output() const { return Slurp(m_out); }
    std::string Errors() const { return Slurp(m_err); }

  private:
    static std::string Slurp(const std::string& path) {
        std::string text;
        if (FILE* file = std::fopen(path.c_str(), "rb")) {
            char buffer[4096];
            for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
                text.append(buffer, n);
            }
            std::fclose(file);
        }
        return text;
    }

    std::string m_out;
    std::string m_err;
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

}  // namespace qk::faults
