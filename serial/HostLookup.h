#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qk {

// One address a host name stands for, numeric and as the system's socket address.
struct HostAddress {
    std::string numeric;  // "127.0.0.1", "::1"
    sockaddr_storage socket{};
    socklen_t length = 0;
};

// The addresses of `host` with `port`, looked up by the system's resolver, which has no
// time limit of its own: the lookup runs on a thread of its own, and one that has not
// answered by `deadline` is left to finish there. nullopt with why in `failure` ("cannot
// look up the host 'rack7': Name or service not known", "... no answer within 5 s").
std::optional<std::vector<HostAddress>> LookUpHost(const std::string& host, std::uint16_t port,
                                                   std::chrono::steady_clock::time_point deadline,
                                                   std::string& failure);

}  // namespace qk
