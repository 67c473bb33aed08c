#include "NetworkAddress.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

namespace qk {
namespace {

constexpr std::array<std::pair<std::string_view, NetworkAddress::Protocol>, 2> kSchemes = {{
    {"rfc2217://", NetworkAddress::Protocol::Rfc2217},
    {"tcp://", NetworkAddress::Protocol::RawTcp},
}};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
           });
}

bool IsHostNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

bool IsIpv6Character(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
           c == '.';
}

// An interface after '%' (fe80::1%eth0) is a name as well.
bool IsIpv6Literal(std::string_view text) {
    const auto zone = text.find('%');
    const std::string_view address = text.substr(0, zone);
    if (address.find(':') == std::string_view::npos ||
        !std::ranges::all_of(address, IsIpv6Character)) {
        return false;
    }
    if (zone == std::string_view::npos) {
        return true;
    }
    const std::string_view name = text.substr(zone + 1);
    return !name.empty() && std::ranges::all_of(name, IsHostNameCharacter);
}

}  // namespace

std::string NetworkAddress::Url() const {
    return std::string(Raw() ? "tcp://" : "rfc2217://") + HostAndPort();
}

std::string NetworkAddress::HostAndPort() const {
    const bool bracket = host.find(':') != std::string::npos;
    return (bracket ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool IsNetworkPath(std::string_view path) {
    return std::ranges::any_of(
        kSchemes, [&](const auto& scheme) { return StartsWithNoCase(path, scheme.first); });
}

bool IsRawTcpPath(std::string_view path) {
    return StartsWithNoCase(path, "tcp://");
}

std::optional<NetworkAddress> ParseNetworkAddress(std::string_view path, std::string& error) {
    const auto scheme = std::ranges::find_if(
        kSchemes, [&](const auto& known) { return StartsWithNoCase(path, known.first); });
    if (scheme == kSchemes.end()) {
        error = "'" + std::string(path) + "' is no network port (rfc2217://HOST:PORT or " +
                "tcp://HOST:PORT)";
        return std::nullopt;
    }
    const std::string_view rest = path.substr(scheme->first.size());
    const std::string example = std::string(scheme->first) + "HOST:PORT";
    NetworkAddress address;
    address.protocol = scheme->second;
    std::string_view portText;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        if (close == std::string_view::npos) {
            error = "'" + std::string(path) + "': the IPv6 address has no closing ']'";
            return std::nullopt;
        }
        address.host = rest.substr(1, close - 1);
        if (!IsIpv6Literal(address.host)) {
            error = "'" + std::string(path) + "': '" + address.host + "' is no IPv6 address";
            return std::nullopt;
        }
        if (close + 1 >= rest.size() || rest[close + 1] != ':') {
            error = "'" + std::string(path) + "' names no port: " + std::string(scheme->first) +
                    "[" + address.host + "]:PORT";
            return std::nullopt;
        }
        portText = rest.substr(close + 2);
    } else {
        const auto colon = rest.rfind(':');
        address.host = rest.substr(0, colon == std::string_view::npos ? rest.size() : colon);
        if (address.host.find(':') != std::string::npos) {
            error = "'" + std::string(path) + "': an IPv6 address goes in brackets, " +
                    std::string(scheme->first) + "[ADDRESS]:PORT";
            return std::nullopt;
        }
        if (address.host.empty() || !std::ranges::all_of(address.host, IsHostNameCharacter)) {
            error = "'" + std::string(path) + "' names no host: " + example;
            return std::nullopt;
        }
        if (colon == std::string_view::npos) {
            error = "'" + std::string(path) + "' names no port: " + example;
            return std::nullopt;
        }
        portText = rest.substr(colon + 1);
    }
    unsigned port = 0;
    const char* last = portText.data() + portText.size();
    const auto [end, ec] = std::from_chars(portText.data(), last, port);
    if (portText.empty() || ec != std::errc() || end != last || port == 0 || port > 65535) {
        error = "'" + std::string(path) + "': '" + std::string(portText) +
                "' is no TCP port (1 to 65535)";
        return std::nullopt;
    }
    address.port = static_cast<std::uint16_t>(port);
    return address;
}

}  // namespace qk
