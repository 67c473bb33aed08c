#include "TcpSocket.h"

#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

namespace qk {
namespace {

// How the kernel's socket tables (/proc/net/tcp, tcp6) write an endpoint: the address's
// 32-bit words as hexadecimal numbers, then the port, "0100007F:1F40".
std::string TableEndpoint(const sockaddr_storage& address, unsigned port) {
    char text[64] = "";
    if (address.ss_family == AF_INET) {
        std::snprintf(text, sizeof text, "%08X:%04X",
                      reinterpret_cast<const sockaddr_in&>(address).sin_addr.s_addr, port);
    } else if (address.ss_family == AF_INET6) {
        std::uint32_t words[4];
        std::memcpy(words, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, sizeof words);
        std::snprintf(text, sizeof text, "%08X%08X%08X%08X:%04X", words[0], words[1], words[2],
                      words[3], port);
    }
    return text;
}

unsigned PortOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    }
    return 0;
}

constexpr std::string_view kEstablished = "01";

// The inodes of the established connections from `localPort` (from any port when none is
// given) to one of `peers`.
std::vector<std::string> ConnectionInodes(std::optional<unsigned> localPort,
                                          const std::vector<HostAddress>& peers) {
    std::vector<std::string> inodes;
    for (const TcpTableRow& row : ReadTcpTables()) {
        if (row.state != kEstablished || (localPort && row.localPort != *localPort)) {
            continue;
        }
        for (const HostAddress& peer : peers) {
            if (row.remote == TableEndpoint(peer.socket, PortOf(peer.socket))) {
                inodes.push_back(row.inode);
            }
        }
    }
    return inodes;
}

// This process's descriptor of the socket `inode`; -1 when it has none. The descriptors are
// matched by their links alone, so no other thread's descriptor is touched.
int DescriptorOf(const std::string& inode) {
    const std::string wanted = "socket:[" + inode + "]";
    std::error_code error;
    for (auto entry = std::filesystem::directory_iterator("/proc/self/fd", error);
         !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        std::error_code unreadable;
        if (std::filesystem::read_symlink(entry->path(), unreadable).string() == wanted) {
            return std::atoi(entry->path().filename().c_str());
        }
    }
    return -1;
}

}  // namespace

std::vector<TcpTableRow> ReadTcpTables(const std::string& procSelf) {
    std::vector<TcpTableRow> rows;
    for (const char* table : {"/net/tcp", "/net/tcp6"}) {
        std::ifstream in(procSelf + table);
        std::string line;
        std::getline(in, line);  // the header
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            TcpTableRow row;
            std::string slot, queues, timer, retransmits, uid, timeouts;
            fields >> slot >> row.local >> row.remote >> row.state >> queues >> timer >>
                retransmits >> uid >> timeouts >> row.inode;
            const auto colon = row.local.find(':');
            if (!fields || colon == std::string::npos) {
                continue;
            }
            row.localPort =
                static_cast<unsigned>(std::strtoul(row.local.c_str() + colon + 1, nullptr, 16));
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

int FindConnectedSocket(unsigned localPort, const std::vector<HostAddress>& peers) {
    const auto inodes = ConnectionInodes(localPort, peers);
    return inodes.empty() ? -1 : DescriptorOf(inodes.front());
}

bool ConnectedTo(const std::vector<HostAddress>& peers) {
    return std::ranges::any_of(ConnectionInodes(std::nullopt, peers),
                               [](const std::string& inode) { return DescriptorOf(inode) >= 0; });
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
