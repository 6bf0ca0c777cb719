#include "platform/EventPump.h"

#include "net/IdAntiFreeze.h"
#include "net/IdTCPClient.h"
#include "support/LoopbackServer.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// The server answers only after a Qt timer of the client's thread has fired, which it can do
// only if the waiting network call lets the event loop run.
TEST(EventPumpTest, QtEventsRunWhileANetworkCallWaits)
{
    int argc = 1;
    char name[] = "EventPumpTest";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    TIdAntiFreeze antiFreeze;
    antiFreeze.IdleTimeOut = 20;
    antiFreeze.MessagePump = quietpane::PumpQtEvents;

    std::atomic<bool> timerFired{false};
    quietpane::test::LoopbackServer server([&](int connection) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!timerFired && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        quietpane::test::SendAll(connection, timerFired ? "pumped\r\n" : "starved\r\n");
    });
    QTimer::singleShot(100, [&] { timerFired = true; });

    TIdTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.Connect();
    EXPECT_EQ("pumped", client.ReadLine());
    client.Disconnect();
}

} // namespace
