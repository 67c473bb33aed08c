// Network ports as named where a device path goes: what is one, what is a well-formed one,
// and what each malformed one is told.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "NetworkAddress.h"

namespace qk {
namespace {

using ::testing::HasSubstr;
using Protocol = NetworkAddress::Protocol;

TEST(NetworkAddressTest, WellFormedAddressesInEveryShape) {
    const struct {
        const char* path;
        Protocol protocol;
        const char* host;
        unsigned port;
        const char* url;
    } cases[] = {
        {"rfc2217://127.0.0.1:2001", Protocol::Rfc2217, "127.0.0.1", 2001,
         "rfc2217://127.0.0.1:2001"},
        {"RFC2217://rack-7.lab_a:65535", Protocol::Rfc2217, "rack-7.lab_a", 65535,
         "rfc2217://rack-7.lab_a:65535"},
        {"tcp://[::1]:1", Protocol::RawTcp, "::1", 1, "tcp://[::1]:1"},
        {"Tcp://[fe80::1%eth0]:3000", Protocol::RawTcp, "fe80::1%eth0", 3000,
         "tcp://[fe80::1%eth0]:3000"},
        {"rfc2217://[::ffff:192.0.2.1]:2002", Protocol::Rfc2217, "::ffff:192.0.2.1", 2002,
         "rfc2217://[::ffff:192.0.2.1]:2002"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto address = ParseNetworkAddress(c.path, error);
        ASSERT_TRUE(address) << c.path << ": " << error;
        EXPECT_EQ(address->protocol, c.protocol) << c.path;
        EXPECT_EQ(address->host, c.host);
        EXPECT_EQ(address->port, c.port);
        EXPECT_EQ(address->Url(), c.url);
        EXPECT_TRUE(IsNetworkPath(c.path));
        EXPECT_EQ(IsRawTcpPath(c.path), c.protocol == Protocol::RawTcp);
    }
}

TEST(NetworkAddressTest, EachMalformedAddressSaysWhatIsWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"rfc2217://rack7", "names no port: rfc2217://HOST:PORT"},
        {"rfc2217://:2001", "names no host"},
        {"tcp://rack7:0", "'0' is no TCP port (1 to 65535)"},
        {"tcp://rack7:65536", "'65536' is no TCP port"},
        {"tcp://rack7:20x1", "'20x1' is no TCP port"},
        {"tcp://rack7:2001/ttyS0", "'2001/ttyS0' is no TCP port"},
        {"rfc2217://::1:2001", "an IPv6 address goes in brackets, rfc2217://[ADDRESS]:PORT"},
        {"rfc2217://[::1:2001", "has no closing ']'"},
        {"rfc2217://[::1]", "names no port: rfc2217://[::1]:PORT"},
        {"rfc2217://[rack7]:2001", "'rack7' is no IPv6 address"},
        {"rfc2217://user@rack7:2001", "names no host"},
        {"rfc2217://rack,7:2001", "names no host"},
        {"telnet://rack7:23", "is no network port"},
    };
    for (const auto& [path, message] : cases) {
        std::string error;
        EXPECT_FALSE(ParseNetworkAddress(path, error)) << path;
        EXPECT_THAT(error, HasSubstr(message)) << path;
    }
}

TEST(NetworkAddressTest, OnlyTheTwoSchemesAreNetworkPorts) {
    for (const char* path : {"rfc2217://", "TCP://x", "tcp://"}) {
        EXPECT_TRUE(IsNetworkPath(path)) << path;
    }
    for (const char* path : {"/dev/ttyUSB0", "COM3", "rfc2217:/x", "tcp:x", "./tcp://x", ""}) {
        EXPECT_FALSE(IsNetworkPath(path)) << path;
    }
}

}  // namespace
}  // namespace qk
