#include "net/IdSocketHandle.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>

#include "net/IdAntiFreeze.h"
#include "net/IdComponent.h"
#include "support/LoopbackServer.h"
#include "support/RecordingStack.h"

namespace {

using quietpane::test::LoopbackServer;
using quietpane::test::RecordingStack;

class IdSocketHandleTest : public ::testing::Test {
protected:
    TIdComponent component; // brings up SocketStack
    TIdSocketHandle handle;

    void ConnectTo(int port)
    {
        handle.AllocateHandle(SOCK_STREAM, 0);
        handle.SetPeerAddress("127.0.0.1", port);
        ASSERT_NE(handle.ConnectToPeer(AF_INET), -1);
    }
};

// A server that accepts and then stays silent until the client goes.
LoopbackServer SilentServer()
{
    return LoopbackServer([](int connection) { quietpane::test::ReceiveAll(connection); });
}

TEST_F(IdSocketHandleTest, ConnectingReadsBackBothAddressesAndReleasingForgetsThem)
{
    LoopbackServer server = SilentServer();
    ConnectTo(server.Port());
    EXPECT_TRUE(handle.HasHandle());
    EXPECT_EQ(handle.IP, "127.0.0.1");
    EXPECT_NE(handle.Port, 0);
    EXPECT_EQ(handle.PeerAddress, "127.0.0.1");
    EXPECT_EQ(handle.PeerPortNumber, server.Port());
    handle.ReleaseHandle();
    EXPECT_FALSE(handle.HasHandle());
    EXPECT_EQ(handle.Handle(), Id_INVALID_SOCKET);
    EXPECT_EQ(handle.IP, "");
    EXPECT_EQ(handle.PeerAddress, "");
    EXPECT_EQ(handle.PeerPortNumber, 0);
}

TEST_F(IdSocketHandleTest, BindingAPortInUseRaisesCouldNotBind)
{
    LoopbackServer server = SilentServer();
    handle.AllocateHandle(SOCK_STREAM, 0);
    handle.IP = "127.0.0.1";
    handle.Port = server.Port();
    try {
        handle.BindLocal();
        FAIL() << "bound a port in use";
    } catch (const EIdCouldNotBindSocket& error) {
        EXPECT_STREQ(error.what(), "Could not bind socket. Address and port are already in use.");
    }
    handle.IP = "10.255.255.1"; // not an address of this machine
    handle.Port = 0;
    try {
        handle.BindLocal();
        FAIL() << "bound a foreign address";
    } catch (const EIdSocketError& error) {
        EXPECT_EQ(error.SocketErrorCode, 10049);
    }
}

TEST_F(IdSocketHandleTest, IsReadableWithoutSocketRaisesConnClosedGracefully)
{
    try {
        handle.IsReadable(0);
        FAIL() << "no exception";
    } catch (const EIdConnClosedGracefully& error) {
        EXPECT_STREQ(error.what(), "Connection Closed Gracefully.");
    }
}

TEST_F(IdSocketHandleTest, WaitsInIdleSlicesAndPumpsAfterEach)
{
    LoopbackServer server = SilentServer();
    ConnectTo(server.Port());
    TIdAntiFreeze antiFreeze;
    RecordingStack::Installed stack;
    std::vector<std::size_t> waitsBeforePump;
    antiFreeze.MessagePump = [&](bool) { waitsBeforePump.push_back(stack->waitTimeouts.size()); };

    EXPECT_FALSE(handle.IsReadable(700));
    EXPECT_EQ(stack->waitTimeouts, (std::vector<int>{200, 250, 250}));
    EXPECT_EQ(waitsBeforePump, (std::vector<std::size_t>{1, 2, 3}));

    stack->waitTimeouts.clear();
    waitsBeforePump.clear();
    antiFreeze.Active = false;
    EXPECT_FALSE(handle.IsReadable(300));
    EXPECT_EQ(stack->waitTimeouts, (std::vector<int>{300}));
    EXPECT_TRUE(waitsBeforePump.empty());
}

TEST_F(IdSocketHandleTest, UnlimitedWaitEndsWhenDataArrives)
{
    LoopbackServer server([](int connection) {
        quietpane::test::ReceiveLine(connection);
        quietpane::test::SendAll(connection, "x");
        quietpane::test::ReceiveAll(connection);
    });
    ConnectTo(server.Port());
    TIdAntiFreeze antiFreeze;
    antiFreeze.IdleTimeOut = 50;
    int pumps = 0;
    antiFreeze.MessagePump = [&](bool) {
        if (++pumps == 3) {
            handle.Send("go\n", 3);
        }
    };
    EXPECT_TRUE(handle.IsReadable(IdTimeoutInfinite));
    EXPECT_GE(pumps, 3);
}

TEST_F(IdSocketHandleTest, PumpThatClosesTheSocketEndsTheWait)
{
    LoopbackServer server = SilentServer();
    ConnectTo(server.Port());
    TIdAntiFreeze antiFreeze;
    antiFreeze.IdleTimeOut = 20;
    antiFreeze.MessagePump = [&](bool) { handle.ReleaseHandle(); };
    EXPECT_THROW(handle.IsReadable(IdTimeoutInfinite), EIdConnClosedGracefully);
}

} // namespace
