#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

// Helpers for tests that play the other end of a pseudo-terminal (the serial tests and the
// simulator's): a descriptor that closes itself, and waits
// bounded by a deadline, so that a silent line fails a test instead of hanging it.
namespace qk::test {

struct UniqueFd {
    explicit UniqueFd(int value) : fd(value) {}
    ~UniqueFd() { close(fd); }
    UniqueFd(const UniqueFd&) = delete;
    const int fd;
};

// Reads until `count` bytes have arrived, the line ends, or `timeout` passes.
inline std::string ReadFor(int fd, std::size_t count,
                           std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string got;
    char buffer[4096];
    for (ssize_t n = 0; got.size() < count; got.append(buffer, static_cast<std::size_t>(n))) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd input{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&input, 1, static_cast<int>(left.count())) <= 0 ||
            (n = read(fd, buffer, sizeof buffer)) <= 0) {
            break;
        }
    }
    return got;
}

inline bool WriteAllTo(int fd, const std::string& bytes) {
    return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

// Waits (spinning) up to two seconds for `condition`; returns whether it holds.
inline bool Eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!condition() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    return condition();
}

}  // namespace qk::test
