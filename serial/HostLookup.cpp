#include "HostLookup.h"

#include <netdb.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "PortDiagnostics.h"

namespace qk {
namespace {

// What the lookup thread and its caller share; whichever is last frees it.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int error = 0;
    int systemError = 0;  // errno, for EAI_SYSTEM
    std::vector<HostAddress> addresses;
};

void Resolve(const std::string& host, std::uint16_t port, Lookup& lookup) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int error = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    const int systemError = errno;
    std::vector<HostAddress> addresses;
    for (const addrinfo* entry = found; error == 0 && entry != nullptr; entry = entry->ai_next) {
        char numeric[NI_MAXHOST];
        if (entry->ai_addrlen > sizeof(sockaddr_storage) ||
            getnameinfo(entry->ai_addr, entry->ai_addrlen, numeric, sizeof numeric, nullptr, 0,
                        NI_NUMERICHOST) != 0) {
            continue;
        }
        HostAddress address;
        address.numeric = numeric;
        std::memcpy(&address.socket, entry->ai_addr, entry->ai_addrlen);
        address.length = entry->ai_addrlen;
        addresses.push_back(std::move(address));
    }
    if (found != nullptr) {
        freeaddrinfo(found);
    }
    std::lock_guard lock(lookup.mutex);
    lookup.error = error;
    lookup.systemError = systemError;
    lookup.addresses = std::move(addresses);
    lookup.finished = true;
    lookup.done.notify_all();
}

}  // namespace

std::optional<std::vector<HostAddress>> LookUpHost(const std::string& host, std::uint16_t port,
                                                   std::chrono::steady_clock::time_point deadline,
                                                   std::string& failure) {
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([host, port, lookup] { Resolve(host, port, *lookup); }).detach();
    } catch (const std::system_error& error) {
        failure = "cannot look up the host '" + host + "': " + error.what();
        return std::nullopt;
    }
    std::unique_lock lock(lookup->mutex);
    if (!lookup->done.wait_until(lock, deadline, [&] { return lookup->finished; })) {
        failure = "the lookup of the host '" + host + "' got no answer in time (check the " +
                  "name and the DNS server)";
        return std::nullopt;
    }
    if (lookup->error != 0) {
        failure = "cannot look up the host '" + host + "': " +
                  (lookup->error == EAI_SYSTEM ? ErrnoText(lookup->systemError)
                                               : std::string(gai_strerror(lookup->error)));
        return std::nullopt;
    }
    if (lookup->addresses.empty()) {
        failure = "the host '" + host + "' has no address";
        return std::nullopt;
    }
    return lookup->addresses;
}

}  // namespace qk
