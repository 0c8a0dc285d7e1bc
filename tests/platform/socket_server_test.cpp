#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

#include "platform/socket.h"

namespace platform = tarvelin::platform;

namespace {

constexpr auto patience = std::chrono::seconds(5);

class SocketServer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(platform::socketStartup(), 0); }
    void TearDown() override { platform::socketCleanup(); }

    // A listening socket on 127.0.0.1:port (0: any free port), or invalidSocket.
    static platform::SocketHandle listenOn(std::uint16_t port) {
        const platform::SocketHandle listener = platform::openTcpSocket();
        if (platform::setReuseAddress(listener) && platform::bindSocket(listener, {platform::loopbackIpv4, port}) &&
            platform::listenSocket(listener, 1)) {
            return listener;
        }
        platform::closeSocket(listener);
        return platform::invalidSocket;
    }
};

}  // namespace

TEST_F(SocketServer, AcceptsAClientAndCarriesItsBytes) {
    const platform::SocketHandle listener = listenOn(0);
    ASSERT_NE(listener, platform::invalidSocket);
    const std::uint16_t port = platform::localPort(listener);
    const platform::SocketHandle client = platform::openTcpSocket();
    ASSERT_TRUE(platform::connectSocket(client, {platform::loopbackIpv4, port}));

    ASSERT_EQ(platform::waitReadable(listener, patience), 1);
    const platform::SocketHandle connection = platform::acceptConnection(listener);
    ASSERT_NE(connection, platform::invalidSocket);
    ASSERT_EQ(platform::send(client, "NL", 2), 2);
    ASSERT_EQ(platform::waitReadable(connection, patience), 1);
    char received[4] = {};
    EXPECT_EQ(platform::receive(connection, received, sizeof received), 2);
    EXPECT_EQ(received[0], 'N');

    platform::closeSocket(connection);
    platform::closeSocket(client);
    platform::closeSocket(listener);
}

// The server that closes a connection first keeps its port in TIME_WAIT for a minute or so;
// a server started again on the same fixed port must still get it.
TEST_F(SocketServer, ReuseAddressTakesAPortStillHeldByAClosedConnection) {
    const platform::SocketHandle listener = listenOn(0);
    ASSERT_NE(listener, platform::invalidSocket);
    const std::uint16_t port = platform::localPort(listener);
    const platform::SocketHandle client = platform::openTcpSocket();
    ASSERT_TRUE(platform::connectSocket(client, {platform::loopbackIpv4, port}));
    ASSERT_EQ(platform::waitReadable(listener, patience), 1);
    const platform::SocketHandle connection = platform::acceptConnection(listener);
    ASSERT_NE(connection, platform::invalidSocket);
    platform::closeSocket(connection);
    platform::closeSocket(client);
    platform::closeSocket(listener);

    const platform::SocketHandle again = listenOn(port);
    EXPECT_NE(again, platform::invalidSocket) << "error " << platform::lastSocketError();
    platform::closeSocket(again);
}
