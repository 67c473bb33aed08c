#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "PseudoTerminal.h"

namespace qk::sim::test {

// The tool's end of a simulated device in tests: the slave tty opened with plain POSIX calls
// in raw mode, with reads and writes bounded by timeouts so a silent device fails a test
// instead of hanging it.
class SlavePort {
  public:
    using Clock = std::chrono::steady_clock;

    explicit SlavePort(const std::string& path)
        : m_fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        if (m_fd >= 0 && !MakeRaw(m_fd)) {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~SlavePort() { Close(); }
    SlavePort(const SlavePort&) = delete;
    SlavePort& operator=(const SlavePort&) = delete;

    bool ok() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    void Close() {
        if (m_fd >= 0) {
            close(m_fd);
            m_fd = -1;
        }
    }

    // Writes everything; false on an error or when the device stops taking bytes.
    bool Write(std::string_view bytes, std::chrono::milliseconds timeout = kTimeout) {
        const auto deadline = Clock::now() + timeout;
        while (!bytes.empty()) {
            const ssize_t count = write(m_fd, bytes.data(), bytes.size());
            if (count > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(count));
                continue;
            }
            if (count < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            }
            if (!Wait(POLLOUT, deadline)) {
                return false;
            }
        }
        return true;
    }

    // Reads until `done` holds for everything read so far, the line closes, or the timeout
    // passes; returns what was read.
    std::string ReadUntil(const std::function<bool(const std::string&)>& done,
                          std::chrono::milliseconds timeout = kTimeout) {
        const auto deadline = Clock::now() + timeout;
        std::string received;
        while (!done(received)) {
            if (!Wait(POLLIN, deadline)) {
                break;
            }
            const std::size_t before = received.size();
            if (!ReadAvailable(received) && received.size() == before) {
                break;
            }
        }
        return received;
    }

    std::string ReadCount(std::size_t count, std::chrono::milliseconds timeout = kTimeout) {
        return ReadUntil([count](const std::string& text) { return text.size() >= count; },
                         timeout);
    }

    // Reads until `text` ends with `ending` (a whole answer when it is its last line).
    std::string ReadUntilEnd(std::string_view ending,
                             std::chrono::milliseconds timeout = kTimeout) {
        return ReadUntil(
            [ending](const std::string& text) { return std::string_view(text).ends_with(ending); },
            timeout);
    }

    // One read() as the tool's handshake poll makes it: whatever has arrived, once some has.
    std::string ReadOnce(std::chrono::milliseconds timeout = kTimeout) {
        std::string received;
        if (Wait(POLLIN, Clock::now() + timeout)) {
            char buffer[256];
            const ssize_t count = read(m_fd, buffer, sizeof buffer);
            if (count > 0) {
                received.assign(buffer, static_cast<std::size_t>(count));
            }
        }
        return received;
    }

    // True when a read reports the end of the line (0 bytes or EIO) within the timeout;
    // bytes still buffered before the end are skipped.
    bool SeesHangUp(std::chrono::milliseconds timeout = kTimeout) {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            if (!Wait(POLLIN, deadline)) {
                return false;
            }
            char buffer[4096];
            const ssize_t count = read(m_fd, buffer, sizeof buffer);
            if (count == 0 || (count < 0 && errno == EIO)) {
                return true;
            }
        }
    }

    static constexpr std::chrono::milliseconds kTimeout{3000};

  private:
    // Appends what is there; false when the read failed or the line closed.
    bool ReadAvailable(std::string& received) {
        char buffer[4096];
        for (;;) {
            const ssize_t count = read(m_fd, buffer, sizeof buffer);
            if (count > 0) {
                received.append(buffer, static_cast<std::size_t>(count));
                continue;
            }
            return count < 0 && (errno == EAGAIN || errno == EINTR);
        }
    }

    bool Wait(short events, Clock::time_point deadline) const {
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return false;
            }
            pollfd request{m_fd, events, 0};
            const int ready = poll(&request, 1, static_cast<int>(left.count()));
            if (ready > 0) {
                return true;
            }
            if (ready < 0 && errno != EINTR) {
                return false;
            }
        }
    }

    int m_fd = -1;
};

}  // namespace qk::sim::test
