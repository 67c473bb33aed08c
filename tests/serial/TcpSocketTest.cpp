// The network line's own hold on its socket: found by its two ends among this process's
// descriptors, watched with bounded keepalive, its unacknowledged bytes counted.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "TcpSocket.h"

namespace qk {
namespace {

using namespace std::chrono_literals;

struct Connection {
    Connection() {
        listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(listener, 1), 0);
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        server.length = length;
        std::memcpy(&server.socket, &address, length);
        server.numeric = "127.0.0.1";
        client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), length), 0);
        accepted = accept(listener, nullptr, nullptr);
        sockaddr_in local{};
        length = sizeof local;
        getsockname(client, reinterpret_cast<sockaddr*>(&local), &length);
        localPort = ntohs(local.sin_port);
    }
    ~Connection() {
        close(client);
        close(accepted);
        close(listener);
    }
    int listener = -1, client = -1, accepted = -1;
    unsigned localPort = 0;
    HostAddress server;
};

TEST(TcpSocketTest, TheConnectionsSocketIsFoundByItsEndsAndNoOther) {
    Connection connection;
    EXPECT_EQ(FindConnectedSocket(connection.localPort, {connection.server}), connection.client);
    HostAddress elsewhere = connection.server;
    reinterpret_cast<sockaddr_in&>(elsewhere.socket).sin_port = htons(1);
    EXPECT_EQ(FindConnectedSocket(connection.localPort, {elsewhere}), -1);
    EXPECT_EQ(FindConnectedSocket(connection.localPort + 1 == 65536 ? 1 : connection.localPort + 1,
                                  {connection.server}),
              -1);
    // From any port; the accepted end, though this process's too, is no connection to it.
    EXPECT_TRUE(ConnectedTo({connection.server}));
    EXPECT_FALSE(ConnectedTo({elsewhere}));
}

TEST(TcpSocketTest, WatchingBoundsKeepaliveAndUnacknowledgedData) {
    Connection connection;
    ASSERT_TRUE(WatchConnection(connection.client, 5s, 4000ms));
    int value = 0;
    socklen_t size = sizeof value;
    getsockopt(connection.client, SOL_SOCKET, SO_KEEPALIVE, &value, &size);
    EXPECT_EQ(value, 1);
    getsockopt(connection.client, IPPROTO_TCP, TCP_KEEPIDLE, &value, &size);
    EXPECT_EQ(value, 5);
    getsockopt(connection.client, IPPROTO_TCP, TCP_USER_TIMEOUT, &value, &size);
    EXPECT_EQ(value, 4000);
    EXPECT_EQ(UnacknowledgedBytes(connection.client), 0u);
    EXPECT_FALSE(UnacknowledgedBytes(-1));
}

}  // namespace
}  // namespace qk
