// The window's SMTP session against a server that ends it while idle, over TLS: the next send
// finds the session over and makes a fresh one.
#include "mail_window/OutgoingServer.h"

#include "message/IdMessage.h"
#include "protocols/IdSMTP.h"
#include "support/MailPeers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace quietpane;
using namespace quietpane::test;

TEST(OutgoingServerTest, AnIdle421OverTlsEndsTheSessionAndTheSendGoesOutOnAFreshOne)
{
    const TestCertificates certificates;
    const std::string hello = "<tls>\nS: 220 ready\nC: *\nS: 250 mx.example.org\n";
    // The "421" comes a while after the greeting, when the session is idle.
    ScriptedServer server({hello + "S~ 421 idle\nC: Quit\n",
                           hello + "C: Rset\nS: 250 OK\nC: Mail from:<ann@example.org>\nS: 250 OK\n"
                                   "C: RCPT to:<bob@example.org>\nS: 250 OK\nC: Data\nS: 354 go ahead\n"
                                   "C: <data>\nS: 250 taken\nC: Quit\n"},
                          certificates.ThisMachine());
    TIdSMTP smtp;
    smtp.ImplicitTLSPort = server.Port();
    smtp.TLSCAFile = certificates.CAFile().string();
    TOutgoingServer outgoing(smtp);
    const TServerAccount account{QStringLiteral("127.0.0.1"), QString::number(server.Port()), {}, {}};
    outgoing.Connect(account);
    // Until the whole "421 idle" line has trickled in.
    std::this_thread::sleep_for(ScriptedServer::kTricklePause * 14);

    TIdMessage message;
    message.From.Address = "ann@example.org";
    message.Recipients.SetAddressListText("bob@example.org");
    message.Body = {"after the idle time"};
    outgoing.Send(message, account);
    outgoing.Disconnect();
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_EQ(server.Mismatch(), "");
}
