#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TcpSocket.h"

extern char** environ;

// A real ser2net on 127.0.0.1 serving devices (the simulated device's pseudo-terminals),
// from a YAML configuration written for it, each line on a TCP port of its own that was free
// when the server started, so that tests running side by side never meet.
namespace qk::test {

class Ser2netServer {
  public:
    enum class Accepter {
        Rfc2217,     // telnet(rfc2217): the client sets the line
        RawTcp,      // tcp: bytes as they are
        TelnetOnly,  // telnet without RFC 2217: refuses COM-PORT-OPTION
    };
    struct Line {
        std::string device;
        Accepter accepter = Accepter::Rfc2217;
        // A new client takes the port from the one connected; otherwise it is turned away.
        bool kickOldUser = true;
    };

    // Starts ser2net and waits until it listens on every port; throws std::runtime_error
    // when it does not.
    explicit Ser2netServer(std::vector<Line> lines) : m_lines(std::move(lines)) {
        m_folder = std::filesystem::temp_directory_path() /
                   ("qk-ser2net-" + std::to_string(getpid()) + "-" + std::to_string(Count()++));
        std::filesystem::create_directories(m_folder);
        // A port free when looked up may be taken before ser2net binds it: then try others.
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (Start()) {
                return;
            }
            Stop(SIGKILL);
        }
        throw std::runtime_error("ser2net did not start listening; see " + m_folder.string());
    }
    ~Ser2netServer() {
        Stop(SIGTERM);
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    Ser2netServer(const Ser2netServer&) = delete;
    Ser2netServer& operator=(const Ser2netServer&) = delete;

    unsigned Port(std::size_t line) const { return m_ports.at(line); }
    // rfc2217://127.0.0.1:PORT for RFC 2217 and telnet, tcp://127.0.0.1:PORT for raw TCP.
    std::string Url(std::size_t line) const {
        const bool raw = m_lines.at(line).accepter == Accepter::RawTcp;
        return std::string(raw ? "tcp" : "rfc2217") + "://127.0.0.1:" + std::to_string(Port(line));
    }
    pid_t pid() const { return m_pid; }
    // The server dies at once, as a machine that loses power does, from the other end's
    // view its connections reset or closed.
    void Kill() { Stop(SIGKILL); }

    // A TCP port on 127.0.0.1 nothing listens on as this returns.
    static unsigned FreePort() { return FreePorts(1).front(); }

    // `count` such ports, all different: each is held until all are found, as the kernel
    // may hand out a port it just got back again.
    static std::vector<unsigned> FreePorts(std::size_t count) {
        std::vector<int> held;
        std::vector<unsigned> ports;
        for (std::size_t i = 0; i < count; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t length = sizeof address;
            unsigned port = 0;
            if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
                port = ntohs(address.sin_port);
            }
            held.push_back(fd);
            ports.push_back(port);
        }
        for (const int fd : held) {
            close(fd);
        }
        return ports;
    }

  private:
    static int& Count() {
        static int count = 0;
        return count;
    }

    static const char* AccepterText(Accepter accepter) {
        switch (accepter) {
            case Accepter::Rfc2217:
                return "telnet(rfc2217),tcp";
            case Accepter::RawTcp:
                return "tcp";
            case Accepter::TelnetOnly:
                return "telnet,tcp";
        }
        return "tcp";
    }

    bool Start() {
        // Two lines on one port would both listen there (ser2net reuses the address), and
        // a client of one would take the other's connection.
        m_ports = FreePorts(m_lines.size());
        std::ostringstream config;
        config << "%YAML 1.1\n---\n";
        for (std::size_t i = 0; i < m_lines.size(); ++i) {
            config << "connection: &line" << i << "\n"
                   << "  accepter: " << AccepterText(m_lines[i].accepter) << ",127.0.0.1,"
                   << m_ports[i] << "\n"
                   << "  connector: serialdev," << m_lines[i].device << ",9600n81,local\n"
                   << "  options:\n"
                   << "    kickolduser: " << (m_lines[i].kickOldUser ? "true" : "false") << "\n"
                   << "    mdns: false\n";
        }
        const std::string file = (m_folder / "ser2net.yaml").string();
        std::ofstream(file) << config.str();
        const std::string log = (m_folder / "ser2net.log").string();
        std::vector<std::string> arguments = {QK_SER2NET_PROGRAM, "-n", "-u", "-c", file};
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        const int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            m_pid = -1;
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return false;
            }
            if (ListensOnEveryPort()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    // Every port is in LISTEN state on a socket of ser2net's own: a connection to find out
    // would open the device.
    bool ListensOnEveryPort() const {
        std::set<std::string> sockets;
        const std::string fds = "/proc/" + std::to_string(m_pid) + "/fd";
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
            const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
            if (!error && target.starts_with("socket:[")) {
                sockets.insert(target.substr(8, target.size() - 9));
            }
        }
        std::set<unsigned> listening;
        for (const TcpTableRow& row : ReadTcpTables()) {
            if (row.state == "0A" && sockets.contains(row.inode)) {
                listening.insert(row.localPort);
            }
        }
        for (const unsigned port : m_ports) {
            if (!listening.contains(port)) {
                return false;
            }
        }
        return true;
    }

    // ser2net ends on SIGTERM once its connections are shut down, which can hang (seen
    // with 64 lines and a client it had turned away): then it is killed.
    void Stop(int signal) {
        if (m_pid <= 0) {
            return;
        }
        kill(m_pid, signal);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (waitpid(m_pid, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        m_pid = -1;
    }

    std::vector<Line> m_lines;
    std::filesystem::path m_folder;
    std::vector<unsigned> m_ports;
    pid_t m_pid = -1;
};

}  // namespace qk::test
