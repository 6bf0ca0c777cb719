// TLS sessions of the mail clients against real peers that require TLS (Dovecot, aiosmtpd) with
// certificates the tests make, and the rule that keeps passwords off the network in clear text.
#include "net/IdSSLOpenSSL.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "message/IdMessage.h"
#include "protocols/IdPOP3.h"
#include "protocols/IdSMTP.h"
#include "support/MailPeers.h"

using namespace quietpane::test;
using testing::StrEq;
using testing::ThrowsMessage;

namespace {

using Lines = std::vector<std::string>;

const std::string Note = "From: Ann <ann@example.org>\r\nSubject: sealed\r\n\r\nover TLS\r\n";

// One set of certificates for the whole program: making them costs a few openssl runs.
const TestCertificates& Certificates()
{
    static const TestCertificates certificates;
    return certificates;
}

// Clients that see their loopback server as a remote one.
template <typename Client> class TRemoteLooking : public Client {
protected:
    bool PeerIsLoopback() override { return false; }
};

void Point(TIdPOP3& client, int port, int implicitTLSPort, const std::string& host = "localhost")
{
    client.Host = host;
    client.Port = port;
    client.ImplicitTLSPort = implicitTLSPort;
    client.UserId = DovecotServer::User;
    client.Password = DovecotServer::Password;
    client.TLSCAFile = Certificates().CAFile().string();
}

void Point(TIdSMTP& client, int port, int implicitTLSPort)
{
    client.Host = "localhost";
    client.Port = port;
    client.ImplicitTLSPort = implicitTLSPort;
    client.UserId = SmtpServer::User;
    client.Password = SmtpServer::Password;
    client.AuthenticationType = atLogin;
    client.TLSCAFile = Certificates().CAFile().string();
}

void Fill(TIdMessage& message)
{
    message.From.SetText("ann@example.org");
    message.Recipients.SetAddressListText("bob@example.org");
    message.Subject = "sealed";
    message.Body = {"over TLS"};
}

} // namespace

TEST(TLSPasswordRule, OnlyLoopbackAddressesAreThisMachine)
{
    const std::vector<std::pair<std::string, bool>> cases = {
        {"127.0.0.1", true}, {"127.255.0.9", true}, {"::1", true},        {"128.0.0.1", false},
        {"10.0.0.1", false}, {"::2", false},        {"localhost", false}, {"", false},
    };
    for (const auto& [address, loopback] : cases) {
        EXPECT_EQ(IsLoopbackAddress(address), loopback) << address;
    }
}

// Dovecot requires TLS before any login; the mailbox holds one message.
class POP3OverTLS : public ::testing::TestWithParam<bool> {
protected:
    POP3OverTLS() { server.Deliver(Note); }

    DovecotServer server{Certificates().ThisMachine()};
    TIdPOP3 client;
};

TEST_P(POP3OverTLS, LogsInAndFetchesOverStlsAndFromTheFirstByte)
{
    const bool implicit = GetParam();
    Point(client, implicit ? server.TlsPort() : server.Port(), server.TlsPort());
    client.RecvBufferSize = 1024; // smaller than a TLS record, as the mail window sets it
    client.Connect();
    ASSERT_TRUE(client.TLSActive());
    EXPECT_THAT(client.TLSSession()->ProtocolVersion(), testing::AnyOf("TLSv1.2", "TLSv1.3"));
    EXPECT_EQ(client.CountMessages(), 1);
    TIdMessage message;
    message.NoDecode = true;
    ASSERT_TRUE(client.FetchMessage(1, message));
    EXPECT_EQ(message.Subject, "sealed");
    EXPECT_EQ(message.Body, Lines{"over TLS"});
    client.Disconnect();
    EXPECT_FALSE(client.Connected());
}

INSTANTIATE_TEST_SUITE_P(Ports, POP3OverTLS, testing::Bool(),
                         [](const auto& info) { return info.param ? "Implicit" : "Stls"; });

TEST(POP3OverTLSRefused, AnUntrustedOrMisnamedCertificateEndsTheConnectWithTheReason)
{
    struct Case {
        bool trustTheCA;
        bool stranger;
        std::string host;
        std::string message;
    };
    const std::vector<Case> cases = {
        {false, false, "localhost",
         "The server's certificate is not trusted: self-signed certificate in certificate chain."},
        {true, true, "localhost", "The server's certificate is not trusted: hostname mismatch."},
        {true, true, "127.0.0.1", "The server's certificate is not trusted: IP address mismatch."},
    };
    DovecotServer trusted(Certificates().ThisMachine());
    DovecotServer stranger(Certificates().Stranger());
    for (const Case& test : cases) {
        for (const bool implicit : {false, true}) {
            DovecotServer& server = test.stranger ? stranger : trusted;
            TIdPOP3 client;
            Point(client, implicit ? server.TlsPort() : server.Port(), server.TlsPort(), test.host);
            if (!test.trustTheCA) {
                client.TLSCAFile.clear();
            }
            EXPECT_THAT([&] { client.Connect(); },
                        ThrowsMessage<EIdTLSCertificateNotTrusted>(StrEq(test.message)))
                << test.host << (implicit ? " implicit" : " STLS");
            EXPECT_FALSE(client.Connected());
        }
    }
}

class SMTPOverTLS : public ::testing::TestWithParam<SmtpServer::Tls> {
protected:
    SmtpServer server{GetParam(), Certificates().ThisMachine()};
    TIdSMTP client;
};

TEST_P(SMTPOverTLS, LogsInAndSendsAfterStartTlsOrFromTheFirstByte)
{
    const bool implicit = GetParam() == SmtpServer::Tls::Implicit;
    Point(client, server.Port(), implicit ? server.Port() : 0);
    client.Connect();
    ASSERT_TRUE(client.TLSActive());
    TIdMessage message;
    Fill(message);
    // Several megabytes: many records, each sent as fast as the socket takes it.
    message.Body.insert(message.Body.end(), 100000, std::string(78, 'x'));
    message.Body.push_back("all of it");
    client.SendMail(message);
    EXPECT_TRUE(client.LoggedIn());
    client.Disconnect();
    ASSERT_EQ(server.Messages().size(), 1U);
    const std::string stored = ReadFile(server.Messages()[0]);
    EXPECT_THAT(stored, testing::HasSubstr("over TLS"));
    EXPECT_THAT(stored, testing::HasSubstr("all of it"));
    EXPECT_GT(stored.size(), 8000000U);
    ASSERT_TRUE(server.WaitForSessionEnd(1));
    const Lines expected =
        implicit ? Lines{"ehlo", "Rset", "auth"} : Lines{"ehlo", "STARTTLS", "ehlo", "Rset", "auth"};
    Lines sent;
    for (const std::string& line : server.ClientLines(1)) {
        sent.push_back(line.substr(0, line.find(' ')));
    }
    sent.resize(expected.size());
    EXPECT_EQ(sent, expected);
}

INSTANTIATE_TEST_SUITE_P(Modes, SMTPOverTLS,
                         testing::Values(SmtpServer::Tls::Implicit, SmtpServer::Tls::StartTls),
                         [](const auto& info) {
                             return info.param == SmtpServer::Tls::Implicit ? "Implicit" : "StartTls";
                         });

TEST(SMTPOverTLSRefused, AnUntrustedCertificateEndsTheConnectWithTheReason)
{
    SmtpServer server(SmtpServer::Tls::StartTls, Certificates().ThisMachine());
    TIdSMTP client;
    Point(client, server.Port(), 0);
    client.TLSCAFile.clear();
    EXPECT_THAT(
        [&] { client.Connect(); },
        ThrowsMessage<EIdTLSCertificateNotTrusted>(
            StrEq("The server's certificate is not trusted: self-signed certificate in certificate chain.")));
    EXPECT_FALSE(client.Connected());
}

// A server off this machine that offers no TLS gets nothing but "Quit", unless the account
// allows unencrypted sessions; then the login and the command go through in clear.
TEST(TLSRequiredOffThisMachine, ARemoteServerWithoutTlsGetsNeitherPasswordNorMailUnlessAllowed)
{
    const std::string pop3Greeting = "S: +OK ready\nC: CAPA\nS: +OK\nS: USER\nS: .\n";
    const std::string smtpGreeting = "S: 220 ready\nC: *\nS: 250-mail\nS: 250 AUTH LOGIN\n";
    const struct {
        bool pop3;
        bool allowUnencrypted;
        std::string table;
        std::string refusal; // empty: the command succeeds
    } rows[] = {
        {true, false, pop3Greeting + "C: Quit\n",
         "The server does not offer TLS: the mailbox is not read over the network unencrypted."},
        {true, true, pop3Greeting + "C: USER alice\nS: +OK\nC: PASS secret\nS: +OK\nC: STAT\nS: +OK 0 0\n",
         ""},
        {false, false, smtpGreeting + "C: Quit\n",
         "The server does not offer TLS: the message is not sent over the network unencrypted."},
        {false, true,
         smtpGreeting +
             "C: Rset\nS: 250 OK\nC: auth LOGIN\nS: 334 VXNlcm5hbWU6\nC: YWxpY2U=\nS: 334 "
             "UGFzc3dvcmQ6\nC: c2VjcmV0\nS: 235 OK\nC: *\nS: 250 OK\nC: *\nS: 250 OK\nC: Data\nS: 354 "
             "go ahead\nC: <data>\nS: 250 taken\n",
         ""},
    };
    for (const auto& row : rows) {
        ScriptedServer server(row.table);
        TRemoteLooking<TIdPOP3> pop3;
        TRemoteLooking<TIdSMTP> smtp;
        Point(pop3, server.Port(), 0, "127.0.0.1");
        Point(smtp, server.Port(), 0);
        smtp.Host = "127.0.0.1";
        pop3.AllowUnencrypted = smtp.AllowUnencrypted = row.allowUnencrypted;
        const auto command = [&] {
            if (row.pop3) {
                pop3.Connect();
                pop3.CountMessages();
            } else {
                smtp.Connect();
                TIdMessage message;
                Fill(message);
                smtp.SendMail(message);
            }
        };
        if (row.refusal.empty()) {
            command();
        } else {
            EXPECT_THAT(command, ThrowsMessage<EIdTLSRequired>(StrEq(row.refusal)));
        }
        EXPECT_EQ(server.Mismatch(), "") << row.table;
    }
}

TEST(TLSPeerName, NeitherAnEmptyNameNorTheCommonNameOfACertificateWithOtherNamesPasses)
{
    const struct {
        TlsIdentity identity;
        std::string peerName;
        std::string error;
    } rows[] = {
        {Certificates().CommonNameOnly(), "common-name-only",
         "The server's certificate is not trusted: hostname mismatch."},
        {Certificates().ThisMachine(), "",
         "TLS set-up failed: no server name to check the certificate against."},
    };
    for (const auto& row : rows) {
        ScriptedServer server(ScriptedServer::Parse("<tls>\n<until closed>"), row.identity);
        TIdTCPClient client;
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        client.TLSCAFile = Certificates().CAFile().string();
        client.Connect();
        EXPECT_THAT([&] { client.StartTLS(row.peerName); }, ThrowsMessage<EIdTLSError>(StrEq(row.error)))
            << row.peerName;
        EXPECT_FALSE(client.TLSActive());
    }
}

TEST(STARTTLS, PlainTextSentAheadOfTheHandshakeIsRefused)
{
    ScriptedServer server({ScriptedServer::Step{ScriptedServer::Step::Kind::Send, "220 ready"},
                           ScriptedServer::Step{ScriptedServer::Step::Kind::Expect, "*"},
                           ScriptedServer::Step{ScriptedServer::Step::Kind::Send, "250-mail\r\n250 STARTTLS"},
                           ScriptedServer::Step{ScriptedServer::Step::Kind::Expect, "STARTTLS"},
                           ScriptedServer::SendRaw("220 go ahead\r\n250 smuggled\r\n"),
                           ScriptedServer::Step{ScriptedServer::Step::Kind::UntilClosed, ""}});
    TIdSMTP client;
    Point(client, server.Port(), 0);
    EXPECT_THAT([&] { client.Connect(); },
                ThrowsMessage<EIdTLSError>(StrEq("The server sent data before the TLS handshake.")));
    EXPECT_FALSE(client.Connected());
}

TEST(ImplicitTLS, AServerThatSpeaksPlainTextFailsTheHandshake)
{
    ScriptedServer server("S: +OK ready\n<until closed>");
    TIdPOP3 client;
    Point(client, server.Port(), server.Port(), "127.0.0.1");
    EXPECT_THAT([&] { client.Connect(); },
                ThrowsMessage<EIdTLSError>(testing::StartsWith("TLS handshake failed: ")));
    EXPECT_FALSE(client.Connected());
}
