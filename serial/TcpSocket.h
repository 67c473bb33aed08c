#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "HostLookup.h"

namespace qk {

// What the network line does to the socket gensio connects for it. gensio 2.6 turns
// keepalive on with the system's timing (two hours of silence) and gives no access to the
// socket, so the socket is found among this process's descriptors by its two ends.

// One socket of the kernel's TCP tables (`/proc/PID/net/tcp` and `tcp6`), as written there:
// addresses as hex `ADDRESS:PORT`, the state as two hex digits ("01" established, "0A"
// listening).
struct TcpTableRow {
    std::string local;
    std::string remote;
    std::string state;
    std::string inode;
    unsigned localPort = 0;
};

// The rows of both tables of the network namespace `procSelf` names ("/proc/self").
std::vector<TcpTableRow> ReadTcpTables(const std::string& procSelf = "/proc/self");

// The descriptor of this process's established TCP connection from local port `localPort`
// to one of `peers`; -1 when there is none. The socket belongs to its connection: the caller
// must keep that open while it uses the descriptor.
int FindConnectedSocket(unsigned localPort, const std::vector<HostAddress>& peers);

// Whether this process has an established TCP connection to one of `peers`, from any port.
bool ConnectedTo(const std::vector<HostAddress>& peers);

// Bounds how long a dead connection goes unnoticed: keepalive probes after `idle` of
// silence, a second apart, three of them; and data the server has not acknowledged within
// `unacknowledged` ends the connection (TCP_USER_TIMEOUT). False when the system refuses.
bool WatchConnection(int fd, std::chrono::seconds idle, std::chrono::milliseconds unacknowledged);

// Bytes sent on the socket that the other end has not acknowledged yet; nullopt when the
// system cannot tell.
std::optional<std::size_t> UnacknowledgedBytes(int fd);

}  // namespace qk
