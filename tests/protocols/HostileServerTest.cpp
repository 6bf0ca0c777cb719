// Servers on loopback that stall, trickle, talk without end or speak out of turn: each ends the
// command in time with its error, the session closed, and the program lives on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "net/IdAntiFreeze.h"
#include "protocols/IdPOP3.h"
#include "protocols/IdSMTP.h"
#include "support/MailPeers.h"

using namespace quietpane::test;
using testing::StrEq;
using testing::ThrowsMessage;
using Step = ScriptedServer::Step;
using Steps = std::vector<Step>;

namespace {

constexpr int kTimeoutMs = 1000;

const TestCertificates& Certificates()
{
    static const TestCertificates certificates;
    return certificates;
}

Steps operator+(Steps steps, const Steps& more)
{
    steps.insert(steps.end(), more.begin(), more.end());
    return steps;
}

Steps S(const std::string& table)
{
    return ScriptedServer::Parse(table);
}

const std::string Envelope =
    "S: 250 mx.example.org\nC: Rset\nS: 250 OK\nC: *\nS: 250 OK\nC: *\nS: 250 OK\nC: Data\nS: 354 go ahead\n";

// Several megabytes: more than the socket buffers of both ends hold while the server reads nothing.
void FillLarge(TIdMessage& message)
{
    message.From.Address = "ann@example.org";
    message.Recipients.SetAddressListText("bob@example.org");
    message.Body.assign(100000, std::string(78, 'x'));
}

enum class Stage { Connect, Send };

struct Row {
    const char* name;
    Steps steps;
    bool implicitTls = false;
    bool cancel = false; // Cancel from the events let through while the send waits
    Stage failsAt = Stage::Send;
    std::string error;
};

} // namespace

TEST(SMTPAgainstHostileServers, EveryFaultEndsTheCommandInTimeAndClosesTheSession)
{
    const std::string writeTimeout = "The server did not take the data in time.";
    const std::string cancelled = "The command was cancelled.";
    const Steps implicitStall = S("<tls>\nS: 220 ready\nC: *\n" + Envelope + "<stall>");
    const Steps startTlsStall = S("S: 220 ready\nC: *\nS: 250-mx.example.org\nS: 250 STARTTLS\nC: STARTTLS\n"
                                  "S: 220 go ahead\n<tls>\nC: *\n" +
                                  Envelope + "<stall>");
    const std::vector<Row> rows = {
        {"stall after 354, implicit TLS", implicitStall, true, false, Stage::Send, writeTimeout},
        {"stall after 354, STARTTLS", startTlsStall, false, false, Stage::Send, writeTimeout},
        {"cancel in a stall, implicit TLS", implicitStall, true, true, Stage::Send, cancelled},
        {"cancel in a stall, STARTTLS", startTlsStall, false, true, Stage::Send, cancelled},
        {"trickled greeting", S("S~ 220 ready\n<until closed>"), false, false, Stage::Connect,
         "The server did not answer in time."},
        {"trickled handshake",
         {{Step::Kind::Trickle, std::string("\x16\x03\x03\x00\x40", 5) + std::string(20, 'x')}},
         true,
         false,
         Stage::Connect,
         "TLS handshake failed: the server did not answer."},
        {"endless EHLO", S("S: 220 ready\nC: *\n") + Steps{ScriptedServer::SendRaw("250-X\r\n", 1000)}, false,
         false, Stage::Connect, "The server's reply has too many lines."},
        {"endless blank lines", Steps{ScriptedServer::SendRaw("\r\n", 1001)}, false, false, Stage::Connect,
         "The server sent too many blank lines."},
        {"a 421 while idle",
         S("S: 220 ready\nC: *\nS: 250 mx.example.org\nS: 421 idle too long\n<until closed>"), false, false,
         Stage::Send, "The server ended the session: 421 idle too long"},
    };
    for (const Row& row : rows) {
        ScriptedServer server(row.steps, Certificates().ThisMachine());
        TIdSMTP client;
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        client.ImplicitTLSPort = row.implicitTls ? server.Port() : 0;
        client.TLSCAFile = Certificates().CAFile().string();
        client.ReadTimeout = kTimeoutMs;
        client.RecvBufferSize = 1024; // as the mail window sets it
        TIdAntiFreeze antiFreeze;
        bool sending = false;
        antiFreeze.MessagePump = [&](bool) {
            if (sending && row.cancel) {
                client.Cancel();
            }
        };
        TIdMessage message;
        FillLarge(message);
        const auto connectAndSend = [&] {
            client.Connect();
            // The idle server's words have arrived before the next command.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            sending = true;
            client.SendMail(message);
        };
        const auto started = std::chrono::steady_clock::now();
        EXPECT_THAT(connectAndSend, ThrowsMessage<EIdException>(StrEq(row.error))) << row.name;
        EXPECT_EQ(sending, row.failsAt == Stage::Send) << row.name;
        EXPECT_FALSE(client.Connected()) << row.name;
        // Generous: a limit stretched by the server would take the scenario's 30 s.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << row.name;
    }
}

TEST(POP3AgainstHostileServers, EndlessCapabilitiesAndAMadeUpCountAskForNothingMore)
{
    {
        ScriptedServer server(S("S: +OK ready\nC: CAPA\nS: +OK\n") +
                              Steps{ScriptedServer::SendRaw("X\r\n", 1001)} + S("<until closed>"));
        TIdPOP3 client;
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        client.UserId = "alice";
        client.Password = "secret";
        EXPECT_THAT([&] { client.Connect(); },
                    ThrowsMessage<EIdTooManyReplyLines>(StrEq("The server's reply has too many lines.")));
        EXPECT_FALSE(client.Connected());
    }
    // STAT claims a million messages; LIST names two, and only those are asked for.
    ScriptedServer server(R"(
        S: +OK ready
        C: CAPA
        S: -ERR
        C: USER alice
        S: +OK
        C: PASS secret
        S: +OK
        C: STAT
        S: +OK 1000000 300
        C: LIST
        S: +OK
        S: 1 100
        S: 7 200
        S: .
        C: TOP 1 0
        S: +OK
        S: Subject: one
        S: .
        C: LIST 1
        S: +OK 1 100
        C: TOP 7 0
        S: +OK
        S: Subject: seven
        S: .
        C: LIST 7
        S: +OK 7 200
        C: Quit
    )");
    TIdPOP3 client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.UserId = "alice";
    client.Password = "secret";
    client.Connect();
    const int count = client.CountMessages();
    TIdMessage message;
    std::vector<std::string> listed;
    client.FetchHeaders(1, count, message, [&](int number, TIdMessage& header, int) {
        listed.push_back(std::to_string(number) + " " + header.Subject);
    });
    client.Disconnect();
    EXPECT_EQ(listed, (std::vector<std::string>{"1 one", "7 seven"}));
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_EQ(server.Mismatch(), "");
}
