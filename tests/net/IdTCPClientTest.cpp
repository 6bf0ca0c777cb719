#include "net/IdTCPClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "net/IdAntiFreeze.h"
#include "net/IdNameLookup.h"
#include "support/LoopbackServer.h"
#include "support/TestSupport.h"

namespace {

using quietpane::test::ChildProcess;
using quietpane::test::EchoLines;
using quietpane::test::FindProgram;
using quietpane::test::FreePort;
using quietpane::test::LoopbackServer;
using quietpane::test::ReceiveAll;
using quietpane::test::TempDir;
using quietpane::test::WaitForPort;

class IdTCPClientTest : public ::testing::Test {
protected:
    TIdTCPClient client;
    std::vector<std::string> statuses;
    int connectedEvents = 0;

    void SetUp() override
    {
        client.OnStatus = [this](TIdComponent&, TIdStatus, const std::string& text) {
            statuses.push_back(text);
        };
        client.OnConnected = [this](TIdComponent&) { ++connectedEvents; };
    }

    // Connect fails with an exception of type E carrying the text.
    template <typename E> void ExpectConnectRaises(const std::string& text)
    {
        try {
            client.Connect();
            ADD_FAILURE() << "connected; expected: " << text;
        } catch (const E& error) {
            EXPECT_EQ(error.what(), text);
        }
    }

    // Connects through the proxy to an echo server and proves that bytes pass both ways.
    void ExpectEchoThroughProxy(TSocksVersion version, int proxyPort,
                                const std::string& targetHost = "127.0.0.1")
    {
        LoopbackServer echo(EchoLines);
        client.SocksInfo.Version = version;
        client.SocksInfo.Host = "127.0.0.1";
        client.SocksInfo.Port = proxyPort;
        client.Host = targetHost;
        client.Port = echo.Port();
        client.Connect();
        EXPECT_EQ(client.SocketHandle().PeerPortNumber, proxyPort);
        EXPECT_EQ(client.InputBuffer().Size(), 0u); // nothing of the proxy's reply is left over
        client.WriteLine("through the proxy");
        EXPECT_EQ(client.ReadLine(), "through the proxy");
        client.Disconnect();
    }
};

// A proxy program started on a free port of its own, stopped with the test.
struct Proxy {
    TempDir folder;
    int port = FreePort();
    std::unique_ptr<ChildProcess> process;

    void Start(const std::vector<std::string>& argv)
    {
        ChildProcess::Options options;
        options.logFile = folder.Path() / "proxy.log";
        process = std::make_unique<ChildProcess>(argv, options);
        ASSERT_TRUE(WaitForPort(port)) << quietpane::test::ReadFile(options.logFile);
    }
    std::string Log() const { return quietpane::test::ReadFile(folder.Path() / "proxy.log"); }
};

TEST_F(IdTCPClientTest, ConnectByNameReportsResolvingConnectingConnected)
{
    LoopbackServer server([](int connection) { ReceiveAll(connection); });
    client.Host = "localhost";
    client.Port = server.Port();
    client.Connect();
    EXPECT_EQ(statuses, (std::vector<std::string>{"Resolving hostname localhost.", "Connecting to 127.0.0.1.",
                                                  "Connected."}));
    EXPECT_EQ(connectedEvents, 1);
    EXPECT_TRUE(client.Connected());
    client.Disconnect();
    EXPECT_EQ(statuses.size(), 5u);
    EXPECT_EQ(statuses[3], "Disconnecting from 127.0.0.1.");
    EXPECT_EQ(statuses[4], "Not connected.");
}

TEST_F(IdTCPClientTest, ConnectByAddressSkipsResolvingAndCanReconnect)
{
    LoopbackServer server([](int connection) { ReceiveAll(connection); }, 2);
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.Connect();
    EXPECT_EQ(statuses, (std::vector<std::string>{"Connecting to 127.0.0.1.", "Connected."}));
    EXPECT_THROW(client.Connect(), EIdAlreadyConnected);
    EXPECT_TRUE(client.Connected());
    client.Disconnect();
    client.Connect();
    EXPECT_EQ(connectedEvents, 2);
}

TEST_F(IdTCPClientTest, RefusedPortGives10061AndASecondConnectWorks)
{
    client.Host = "127.0.0.1";
    client.Port = FreePort();
    try {
        client.Connect();
        FAIL() << "connected to a closed port";
    } catch (const EIdSocketError& error) {
        EXPECT_EQ(error.SocketErrorCode, 10061);
        EXPECT_STREQ(error.what(), "Socket Error # 10061\r\nConnection refused.");
    }
    // The failed attempt's socket is closed through the usual disconnect.
    EXPECT_EQ(statuses, (std::vector<std::string>{"Connecting to 127.0.0.1.", "Disconnecting from 127.0.0.1.",
                                                  "Not connected."}));
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(connectedEvents, 0);

    LoopbackServer server([](int connection) { ReceiveAll(connection); });
    client.Port = server.Port();
    client.Connect();
    EXPECT_TRUE(client.Connected());
}

TEST_F(IdTCPClientTest, UnresolvableNameRaisesAndLeavesTheClientClosed)
{
    client.Host = "no-such-host.invalid";
    client.Port = 25;
    EXPECT_THAT([&] { client.Connect(); },
                testing::ThrowsMessage<EIdHostNotFound>(
                    testing::StrEq("The server name \"no-such-host.invalid\" could not be found.")));
    EXPECT_EQ(statuses, (std::vector<std::string>{"Resolving hostname no-such-host.invalid.",
                                                  "Disconnecting from .", "Not connected."}));
    EXPECT_FALSE(client.SocketHandle().HasHandle());
}

TEST_F(IdTCPClientTest, BoundIPAndNagleSettingsReachTheSocket)
{
    LoopbackServer server([](int connection) { ReceiveAll(connection); }, 2);
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.BoundIP = "127.0.0.1";
    client.UseNagle = false;
    client.Connect();
    EXPECT_EQ(client.SocketHandle().IP, "127.0.0.1");
    int noDelay = 0;
    socklen_t length = sizeof noDelay;
    getsockopt(client.SocketHandle().Handle(), IPPROTO_TCP, TCP_NODELAY, &noDelay, &length);
    EXPECT_EQ(noDelay, 1);
    client.Disconnect();

    client.UseNagle = true;
    client.Connect();
    getsockopt(client.SocketHandle().Handle(), IPPROTO_TCP, TCP_NODELAY, &noDelay, &length);
    EXPECT_EQ(noDelay, 0);
}

// SOCKS

TEST_F(IdTCPClientTest, Socks5ThroughMicrosocks)
{
    const std::string program = FindProgram({"/usr/bin/microsocks", "/usr/local/bin/microsocks"});
    if (program.empty()) {
        GTEST_SKIP() << "microsocks is not installed";
    }
    Proxy proxy;
    proxy.Start({program, "-i", "127.0.0.1", "-p", std::to_string(proxy.port)});
    ExpectEchoThroughProxy(svSocks5, proxy.port);
    ExpectEchoThroughProxy(svSocks5, proxy.port, "localhost");

    client.Port = FreePort(); // nothing listens there
    ExpectConnectRaises<EIdSocksServerConnectionRefusedError>("Connection refused.");
}

TEST_F(IdTCPClientTest, Socks5WithUsernameAndPassword)
{
    const std::string program = FindProgram({"/usr/bin/microsocks", "/usr/local/bin/microsocks"});
    if (program.empty()) {
        GTEST_SKIP() << "microsocks is not installed";
    }
    Proxy proxy;
    proxy.Start(
        {program, "-i", "127.0.0.1", "-p", std::to_string(proxy.port), "-u", "mailer", "-P", "s3cret"});
    client.SocksInfo.Authentication = saUsernamePassword;
    client.SocksInfo.UserID = "mailer";
    client.SocksInfo.Password = "s3cret";
    ExpectEchoThroughProxy(svSocks5, proxy.port);

    client.SocksInfo.Password = "wrong";
    try {
        ExpectEchoThroughProxy(svSocks5, proxy.port);
        FAIL() << "a wrong password was accepted";
    } catch (const EIdSocksAuthError& error) {
        EXPECT_STREQ(error.what(), "Authentication error to socks server.");
    }
    client.Disconnect();

    client.SocksInfo.Authentication = saNoAuthentication;
    EXPECT_THROW(ExpectEchoThroughProxy(svSocks5, proxy.port), EIdSocksAuthMethodError);
}

TEST_F(IdTCPClientTest, Socks4RepliesOtherThanGrantedRaiseTheirErrors)
{
    const std::vector<std::pair<char, std::string>> replies{
        {91, "Request rejected or failed."},
        {92, "Request rejected because SOCKS server cannot connect."},
        {93, "Request rejected because the client program and identd report different user-ids."},
        {17, "Unknown socks error."}};
    LoopbackServer proxy(
        [&replies, served = std::size_t{0}](int connection) mutable {
            quietpane::test::ReceiveBytes(connection, 9); // version, command, port, address, empty user
            quietpane::test::SendAll(connection, std::string{0, replies[served++].first, 0, 0, 0, 0, 0, 0});
            ReceiveAll(connection);
        },
        static_cast<int>(replies.size()));
    client.SocksInfo.Version = svSocks4;
    client.SocksInfo.Host = "127.0.0.1";
    client.SocksInfo.Port = proxy.Port();
    client.Host = "127.0.0.1";
    client.Port = 25;
    for (const auto& [code, text] : replies) {
        ExpectConnectRaises<EIdSocksError>(text);
        client.Disconnect();
    }
}

TEST_F(IdTCPClientTest, Socks5ProxyThatHangsUpDidNotRespond)
{
    LoopbackServer proxy([](int connection) { quietpane::test::ReceiveBytes(connection, 3); });
    client.SocksInfo.Version = svSocks5;
    client.SocksInfo.Host = "127.0.0.1";
    client.SocksInfo.Port = proxy.Port();
    client.Host = "example.org";
    client.Port = 25;
    ExpectConnectRaises<EIdSocksServerRespondError>("Socks server did not respond.");
}

TEST_F(IdTCPClientTest, Socks4ThroughDante)
{
    const std::string program = FindProgram({"/usr/sbin/danted", "/usr/bin/danted"});
    if (program.empty()) {
        GTEST_SKIP() << "danted is not installed";
    }
    Proxy proxy;
    const auto config =
        proxy.folder.WriteFile("danted.conf", "logoutput: stderr\n"
                                              "internal: 127.0.0.1 port = " +
                                                  std::to_string(proxy.port) +
                                                  "\n"
                                                  "external: lo\n"
                                                  "clientmethod: none\n"
                                                  "socksmethod: none\n"
                                                  "user.unprivileged: nobody\n"
                                                  "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
                                                  "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n");
    proxy.Start(
        {program, "-f", config.string(), "-N", "1", "-p", (proxy.folder.Path() / "danted.pid").string()});
    ExpectEchoThroughProxy(svSocks4, proxy.port);
    ExpectEchoThroughProxy(svSocks4, proxy.port, "localhost");

    client.SocksInfo.Version = svSocks4;
    client.Port = FreePort(); // nothing listens there
    ExpectConnectRaises<EIdSocksRequestFailed>("Request rejected or failed.");
}

TEST_F(IdTCPClientTest, Socks4AHandsTheNameToTheProxy)
{
    const std::string python = FindProgram({"/usr/bin/python3"});
    if (python.empty()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    Proxy proxy;
    proxy.Start(
        {python, std::string(QUIETPANE_TEST_SCRIPTS_DIR) + "/socks4a_proxy.py", std::to_string(proxy.port)});
    client.SocksInfo.UserID = "quietpane";
    ExpectEchoThroughProxy(svSocks4A, proxy.port, "localhost");
    EXPECT_NE(proxy.Log().find("request localhost "), std::string::npos) << proxy.Log();
    EXPECT_NE(proxy.Log().find(" quietpane\n"), std::string::npos) << proxy.Log();
}

} // namespace

TEST_F(IdTCPClientTest, AHostThatNeverAnswersTimesOutWhileThePumpRunsAndASecondConnectWorks)
{
    constexpr int kTimeoutMs = 1000;
    quietpane::test::UnansweringHost host;
    TIdAntiFreeze antiFreeze;
    antiFreeze.IdleTimeOut = 50;
    int pumps = 0;
    antiFreeze.MessagePump = [&pumps](bool) { ++pumps; };
    client.Host = "127.0.0.1";
    client.Port = host.Port();
    client.ConnectTimeout = kTimeoutMs;
    const auto start = std::chrono::steady_clock::now();
    ExpectConnectRaises<EIdConnectTimeout>("The server did not answer the connection request in time.");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2 * kTimeoutMs));
    EXPECT_GE(pumps, 2);
    EXPECT_FALSE(client.Connected());

    LoopbackServer server([](int connection) { ReceiveAll(connection); });
    client.Port = server.Port();
    client.Connect();
    EXPECT_TRUE(client.Connected());
}

TEST_F(IdTCPClientTest, CancelInsideTheConnectWaitEndsItAtOnce)
{
    quietpane::test::UnansweringHost host;
    TIdAntiFreeze antiFreeze;
    antiFreeze.IdleTimeOut = 20;
    antiFreeze.MessagePump = [this](bool) { client.Cancel(); };
    client.Host = "127.0.0.1";
    client.Port = host.Port();
    ExpectConnectRaises<EIdCommandCancelled>("The command was cancelled.");
    EXPECT_FALSE(client.Connected());
}

namespace {

// While it lives, name lookups of this process (and of threads it starts) ask a resolver that
// never answers: in a mount namespace of the process's own, /etc/resolv.conf names a loopback
// address whose DNS port takes the queries and never replies. The resolver's own patience is
// 2 x 5 s, far beyond the connect time-outs of the tests.
class SilentResolver {
public:
    SilentResolver()
    {
        udp_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        // An address of this process's own, so that tests running in parallel do not meet.
        const auto pid = static_cast<uint32_t>(getpid());
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(53);
        address.sin_addr.s_addr = htonl(0x7F000000U | (53U << 16) | (pid & 0xFFFFU));
        if (bind(udp_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            throw std::runtime_error("cannot take the DNS port of a loopback address");
        }
        const std::string text = TIdStack::AddressToText(address.sin_addr.s_addr);
        const auto conf =
            folder_.WriteFile("resolv.conf", "nameserver " + text + "\noptions timeout:5 attempts:2\n");
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(conf.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) {
            throw std::runtime_error("cannot make a mount namespace with a resolv.conf of its own");
        }
    }
    ~SilentResolver()
    {
        umount("/etc/resolv.conf");
        close(udp_);
    }
    SilentResolver(const SilentResolver&) = delete;
    SilentResolver& operator=(const SilentResolver&) = delete;

private:
    TempDir folder_;
    int udp_ = -1;
};

} // namespace

TEST_F(IdTCPClientTest, ANameLookupWithoutAnswerEndsWithinTheConnectTimeOutWithEventsRunningOrAtADisconnect)
{
    const SilentResolver resolver;
    const struct {
        const char* action;
        std::function<void(TIdTCPClient&)> onPump;
        std::string error;
    } rows[] = {
        {"none", [](TIdTCPClient&) {}, "The server name \"mail.quietpane.test\" was not resolved in time."},
        {"Cancel", [](TIdTCPClient& c) { c.Cancel(); }, "The command was cancelled."},
        {"Disconnect", [](TIdTCPClient& c) { c.Disconnect(); }, "Connection Closed Gracefully."},
    };
    for (const auto& row : rows) {
        TIdAntiFreeze antiFreeze;
        antiFreeze.IdleTimeOut = 50;
        int pumps = 0;
        antiFreeze.MessagePump = [&](bool) {
            ++pumps;
            row.onPump(client);
        };
        client.Host = "mail.quietpane.test";
        client.Port = 25;
        client.ConnectTimeout = 1500;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_THAT([&] { client.Connect(); },
                    testing::ThrowsMessage<EIdException>(testing::StrEq(row.error)))
            << row.action;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000)) << row.action;
        EXPECT_GE(pumps, 1) << row.action;
        EXPECT_FALSE(client.Connected()) << row.action;
    }
}

TEST(ProxyPasswordRule, ThroughAProxyOnThisMachineThePasswordMayTravelOnlyToATargetOnThisMachine)
{
    const struct {
        TSocksVersion version;
        std::string host;
        bool mayTravel;
    } rows[] = {
        {svSocks5, "mail.example.org", false}, {svSocks4A, "10.0.0.1", false},
        {svSocks4, "203.0.113.5", false},      {svSocks5, "localhost", true},
        {svSocks5, "127.0.0.1", true},
    };
    for (const auto& row : rows) {
        TIdTCPClient client;
        client.SocksInfo.Version = row.version;
        client.SocksInfo.Host = "127.0.0.1";
        client.Host = row.host;
        if (row.mayTravel) {
            EXPECT_NO_THROW(client.CheckPasswordMayTravel()) << row.host;
        } else {
            EXPECT_THROW(client.CheckPasswordMayTravel(), EIdTLSRequired) << row.host;
        }
    }
}
