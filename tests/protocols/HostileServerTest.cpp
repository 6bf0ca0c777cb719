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
using Step = ScriptedServer::Step;
using Steps = std::vector<Step>;

namespace {

Steps operator+(Steps steps, const Steps& more)
{
    steps.insert(steps.end(), more.begin(), more.end());
    return steps;
}

Steps S(const std::string& table)
{
    return ScriptedServer::Parse(table);
}

} // namespace

TEST(HostileServers, EveryFaultEndsTheCommandInTimeAndClosesTheSession)
{
    static const TestCertificates certificates;
    const std::string envelope =
        "S: 250 mx\nC: Rset\nS: 250 OK\nC: *\nS: 250 OK\nC: *\nS: 250 OK\nC: Data\nS: 354 go ahead\n<stall>";
    const Steps implicitStall = S("<tls>\nS: 220 ready\nC: *\n" + envelope);
    const Steps startTlsStall =
        S("S: 220 ready\nC: *\nS: 250-mx\nS: 250 STARTTLS\nC: STARTTLS\nS: 220 go\n<tls>\nC: *\n" + envelope);
    const std::string timeout = "The server did not take the data in time.";
    const std::string cancelled = "The command was cancelled.";
    const struct {
        Steps steps;
        bool implicitTls;
        bool cancel; // from the events let through while the send waits
        bool pop3;
        std::string error; // a POP3 row's comes from the connect, an SMTP row's from the send
    } rows[] = {
        {implicitStall, true, false, false, timeout},
        {startTlsStall, false, false, false, timeout},
        {implicitStall, true, true, false, cancelled},
        {startTlsStall, false, true, false, cancelled},
        {S("S: 220 ready\nC: *\nS: 250 mx\nS: 421 idle too long\n<until closed>"), false, false, false,
         "The server ended the session: 421 idle too long"},
        {S("S~ +OK ready\n<until closed>"), false, false, true, "The server did not answer in time."},
        {{{Step::Kind::Trickle, std::string("\x16\x03\x03\x00\x40", 5) + std::string(20, 'x')}},
         true,
         false,
         true,
         "TLS handshake failed: the server did not answer."},
        {S("S: +OK\nC: CAPA\nS: +OK\n") + Steps{ScriptedServer::SendRaw("X\r\n", 1001)}, false, false, true,
         "The server's reply has too many lines."},
        {S("S: 220 ready\nC: *\n") + Steps{ScriptedServer::SendRaw("250-X\r\n", 1000)}, false, false, false,
         "The server's reply has too many lines."},
        {Steps{ScriptedServer::SendRaw("\r\n", 1001)}, false, false, true,
         "The server sent too many blank lines."},
    };
    for (const auto& row : rows) {
        ScriptedServer server(row.steps, certificates.ThisMachine());
        TIdPOP3 pop3;
        TIdSMTP smtp;
        TIdMessageClient& client = row.pop3 ? static_cast<TIdMessageClient&>(pop3) : smtp;
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        pop3.ImplicitTLSPort = smtp.ImplicitTLSPort = row.implicitTls ? server.Port() : 0;
        pop3.UserId = pop3.Password = "x";
        client.TLSCAFile = certificates.CAFile().string();
        client.ReadTimeout = 1000;
        client.RecvBufferSize = 1024; // as the mail window sets it
        TIdAntiFreeze antiFreeze;
        bool sending = false;
        antiFreeze.MessagePump = [&](bool) {
            if (sending && row.cancel) {
                client.Cancel();
            }
        };
        TIdMessage message;
        message.From.Address = "ann@example.org";
        message.Recipients.SetAddressListText("bob@example.org");
        // More than the socket buffers of both ends hold while the server reads nothing.
        message.Body.assign(100000, std::string(78, 'x'));
        const auto started = std::chrono::steady_clock::now();
        EXPECT_THAT(
            [&] {
                client.Connect();
                std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the idle server speaks
                sending = true;
                smtp.SendMail(message);
            },
            testing::ThrowsMessage<EIdException>(testing::StrEq(row.error)));
        EXPECT_FALSE(client.Connected()) << row.error;
        // Generous: a limit the server could stretch would take the scenario's 30 s.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << row.error;
    }
}
