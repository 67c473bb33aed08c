#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qk {

// A serial port served over the network, named where a device path would go:
// rfc2217://HOST:PORT, whose line settings are negotiated with the server through RFC 2217's
// COM-PORT-OPTION, or tcp://HOST:PORT, raw TCP, where the line runs as the server has set
// it. An IPv6 address goes in brackets (rfc2217://[fd00::5]:2001). Parsing only: reaching
// the server is NetworkLine's job.
struct NetworkAddress {
    enum class Protocol { Rfc2217, RawTcp };

    Protocol protocol = Protocol::Rfc2217;
    std::string host;  // a name or an address, without brackets
    std::uint16_t port = 0;

    // "rfc2217://[::1]:2001", the scheme in lower case.
    std::string Url() const;
    // "[::1]:2001", "rack7:2001": the server as messages name it.
    std::string HostAndPort() const;
    bool Raw() const { return protocol == Protocol::RawTcp; }
};

// True when `path` names a network port (rfc2217:// or tcp://, in any letter case), whether
// or not the rest of it is right: such a path is never a device node.
bool IsNetworkPath(std::string_view path);

// The address `path` names; nullopt with the reason in `error` when it is no network port
// or not a well-formed one (no port, a port out of range, an IPv6 address without brackets,
// a path or user part after the host).
std::optional<NetworkAddress> ParseNetworkAddress(std::string_view path, std::string& error);

// True when `path` names a raw TCP port: the line runs at the server's settings, so there
// is no line speed to choose or search for.
bool IsRawTcpPath(std::string_view path);

}  // namespace qk
