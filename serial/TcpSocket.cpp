#include "TcpSocket.h"

#include <dirent.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace qk {
namespace {

unsigned PortOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    }
    return 0;
}

bool SameEndpoint(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family || PortOf(a) != PortOf(b)) {
        return false;
    }
    if (a.ss_family == AF_INET) {
        return reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr ==
               reinterpret_cast<const sockaddr_in&>(b).sin_addr.s_addr;
    }
    return std::memcmp(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr,
                       &reinterpret_cast<const sockaddr_in6&>(b).sin6_addr, sizeof(in6_addr)) == 0;
}

bool Connects(int fd, unsigned localPort, const std::vector<HostAddress>& peers) {
    struct stat node {};
    if (fstat(fd, &node) != 0 || !S_ISSOCK(node.st_mode)) {
        return false;
    }
    sockaddr_storage local{}, remote{};
    socklen_t localLength = sizeof local, remoteLength = sizeof remote;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
        PortOf(local) != localPort ||
        getpeername(fd, reinterpret_cast<sockaddr*>(&remote), &remoteLength) != 0) {
        return false;
    }
    for (const HostAddress& peer : peers) {
        if (SameEndpoint(remote, peer.socket)) {
            return true;
        }
    }
    return false;
}

}  // namespace

int FindConnectedSocket(unsigned localPort, const std::vector<HostAddress>& peers) {
    const std::unique_ptr<DIR, int (*)(DIR*)> descriptors(opendir("/proc/self/fd"), closedir);
    if (!descriptors) {
        return -1;
    }
    const int own = dirfd(descriptors.get());
    while (const dirent* entry = readdir(descriptors.get())) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == own) {
            continue;
        }
        if (Connects(static_cast<int>(fd), localPort, peers)) {
            return static_cast<int>(fd);
        }
    }
    return -1;
}

bool WatchConnection(int fd, std::chrono::seconds idle, std::chrono::milliseconds unacknowledged) {
    const int on = 1;
    const int idleSeconds = static_cast<int>(idle.count());
    const int interval = 1;
    const int probes = 3;
    const auto userTimeout = static_cast<unsigned>(unacknowledged.count());
    return setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout) == 0;
}

std::optional<std::size_t> UnacknowledgedBytes(int fd) {
    int queued = 0;
    if (ioctl(fd, SIOCOUTQ, &queued) != 0 || queued < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(queued);
}

}  // namespace qk
