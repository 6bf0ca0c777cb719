// The SMTP client's dialogue, checked against what a real server (aiosmtpd) recorded, and
// against scripted servers for the replies a real one does not give.
#include "protocols/IdSMTP.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <future>
#include <ostream>

#include "net/IdCommandArgument.h"
#include "support/LoopbackServer.h"
#include "support/MailPeers.h"
#include "support/RecordingStack.h"

using namespace quietpane::test;

namespace {

using Lines = std::vector<std::string>;

void Fill(TIdMessage& message)
{
    message.From.SetText("Ann Sender <ann@example.org>");
    message.Recipients.SetAddressListText("to1@example.org, to2@example.org");
    message.CCList.SetAddressListText("cc@example.org");
    message.BccList.SetAddressListText("bcc@example.org");
    message.Subject = "Hello";
    message.Body = {"one line"};
}

class SMTPAgainstAiosmtpd : public ::testing::Test {
protected:
    void Connect(TAuthenticationType authentication, const std::string& password = SmtpServer::Password)
    {
        client.Host = "127.0.0.1";
        client.Port = server->Port();
        client.AuthenticationType = authentication;
        client.UserId = SmtpServer::User;
        client.Password = password;
        client.Connect();
    }
    // The client's lines of the first dialogue from "Rset" on.
    Lines SentAfterHello()
    {
        Lines lines = server->ClientLines(1);
        EXPECT_GE(lines.size(), 1u);
        EXPECT_EQ(lines[0].rfind("ehlo ", 0), 0u) << lines[0];
        return Lines(lines.begin() + 1, lines.end());
    }

    std::unique_ptr<SmtpServer> server = std::make_unique<SmtpServer>(Lines{"refused@example.org"});
    TIdSMTP client;
};

} // namespace

TEST_F(SMTPAgainstAiosmtpd, ConnectLearnsTheAuthMechanismsFromEhlo)
{
    Connect(atLogin);
    EXPECT_TRUE(client.Connected());
    EXPECT_EQ(client.AuthMechanisms(), (Lines{"LOGIN", "PLAIN"}));
    EXPECT_TRUE(client.ServerOffersAuth(atLogin));
    EXPECT_FALSE(client.ServerOffersAuth(atNone));
    EXPECT_FALSE(client.LoggedIn());
}

TEST_F(SMTPAgainstAiosmtpd, LogsInOnlyOnTheFirstSendAndSendsRsetFirst)
{
    Connect(atLogin);
    TIdMessage message;
    Fill(message);
    client.SendMail(message);
    EXPECT_TRUE(client.LoggedIn());
    client.SendMail(message);
    client.Disconnect();
    EXPECT_FALSE(client.LoggedIn());
    EXPECT_FALSE(client.Connected());
    ASSERT_TRUE(server->WaitForSessionEnd(1));

    ASSERT_EQ(server->Messages().size(), 2u);
    const Lines envelope{"Mail from:<ann@example.org>", "RCPT to:<to1@example.org>",
                         "RCPT to:<to2@example.org>",   "RCPT to:<cc@example.org>",
                         "RCPT to:<bcc@example.org>",   "Data"};
    Lines expected{"Rset", "auth LOGIN", "YWxpY2U=", "c2VjcmV0"};
    for (int send = 0; send < 2; ++send) {
        expected.insert(expected.end(), envelope.begin(), envelope.end());
        expected.push_back(server->ClientLines(1)[expected.size() + 1]); // "<data N bytes>"
        expected.push_back(".");
        if (send == 0) {
            expected.push_back("Rset");
        }
    }
    expected.push_back("Quit");
    EXPECT_EQ(SentAfterHello(), expected);
}

TEST_F(SMTPAgainstAiosmtpd, SendsWithoutLoginWhenNoneIsAsked)
{
    Connect(atNone);
    TIdMessage message;
    Fill(message);
    client.SendMail(message);
    EXPECT_EQ(SentAfterHello()[1], "Mail from:<ann@example.org>");
    EXPECT_EQ(server->Messages().size(), 1u);
}

TEST_F(SMTPAgainstAiosmtpd, RefusedRecipientRaisesWithTheReplyAndSendsNoData)
{
    Connect(atNone);
    TIdMessage message;
    Fill(message);
    message.CCList.SetAddressListText("refused@example.org");
    try {
        client.SendMail(message);
        FAIL() << "no exception";
    } catch (const EIdProtocolReplyError& error) {
        EXPECT_STREQ(error.what(), "550 5.1.1 Mailbox unavailable");
        EXPECT_EQ(error.ErrorReplyCode, 550);
    }
    EXPECT_TRUE(client.Connected());
    EXPECT_EQ(SentAfterHello(), (Lines{"Rset", "Mail from:<ann@example.org>", "RCPT to:<to1@example.org>",
                                       "RCPT to:<to2@example.org>", "RCPT to:<refused@example.org>"}));
    // The connection stays usable: the next send starts over with "Rset".
    message.CCList.Clear();
    client.SendMail(message);
    EXPECT_EQ(server->Messages().size(), 1u);
}

TEST_F(SMTPAgainstAiosmtpd, WrongPasswordRaises535AndTheNextSendTriesAgain)
{
    Connect(atLogin, "wrong");
    TIdMessage message;
    Fill(message);
    try {
        client.SendMail(message);
        FAIL() << "no exception";
    } catch (const EIdProtocolReplyError& error) {
        EXPECT_EQ(error.ErrorReplyCode, 535);
        EXPECT_STREQ(error.what(), "535 5.7.8 Authentication credentials invalid");
    }
    EXPECT_FALSE(client.LoggedIn());
    client.Password = SmtpServer::Password;
    client.SendMail(message);
    EXPECT_TRUE(client.LoggedIn());
    EXPECT_EQ(server->Messages().size(), 1u);
}

TEST_F(SMTPAgainstAiosmtpd, ABodyWithBareLineBreaksCannotSmuggleASecondMessage)
{
    Connect(atNone);
    TIdMessage message;
    Fill(message);
    message.Body = {
        "a\n.\r\nMAIL FROM:<evil@example.org>\r\nRCPT TO:<victim@example.org>\r\nDATA\r\nforged\r.\rb"};
    client.SendMail(message);
    client.Disconnect();
    ASSERT_TRUE(server->WaitForSessionEnd(1));
    ASSERT_EQ(server->Messages().size(), 1u);
    const std::string stored = ReadFile(server->Messages()[0]);
    EXPECT_NE(stored.find("\r\n\r\na\r\n.\r\nMAIL FROM:<evil@example.org>\r\nRCPT TO:<victim@example.org>\r\n"
                          "DATA\r\nforged\r\n.\r\nb\r\n"),
              std::string::npos);
    for (const std::string& line : server->ClientLines(1)) {
        EXPECT_NE(line.rfind("MAIL FROM:<evil", 0), 0u);
    }
}

TEST_F(SMTPAgainstAiosmtpd, MailAgentBecomesTheXMailerHeaderAndEmptyRemovesIt)
{
    Connect(atNone);
    TIdMessage message;
    Fill(message);
    client.MailAgent = "Quietpane test";
    client.SendMail(message);
    client.MailAgent.clear();
    client.SendMail(message);
    const auto messages = server->Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(ReadFile(messages[0]).find("\r\nX-Mailer: Quietpane test\r\n"), std::string::npos);
    EXPECT_EQ(ReadFile(messages[1]).find("X-Mailer"), std::string::npos);
}

TEST_F(SMTPAgainstAiosmtpd, AServerThatDroppedTheConnectionEndsTheNextSendGracefully)
{
    Connect(atNone);
    TIdMessage message;
    Fill(message);
    client.SendMail(message);
    server.reset();
    EXPECT_THROW(client.SendMail(message), EIdException);
    EXPECT_FALSE(client.Connected());
    EXPECT_NO_THROW(client.Disconnect());
}

TEST(SMTPAgainstScriptedServers, RefusedEhloFallsBackToHeloAndAPasswordWithoutALoginSendsNothing)
{
    ScriptedServer server(R"(
        S: 220 old.example.org ready
        C: *
        S: 500 Command unrecognized
        C: *
        S: 250 old.example.org
        C: Rset
        S: 250 OK
        C: Quit
    )");
    TIdSMTP client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.AuthenticationType = atLogin;
    client.Password = "secret";
    client.Connect();
    EXPECT_TRUE(client.AuthMechanisms().empty());
    TIdMessage message;
    message.From.Address = "ann@example.org";
    message.Recipients.SetAddressListText("to@example.org");
    EXPECT_THAT(
        [&] { client.SendMail(message); },
        testing::ThrowsMessage<EIdSMTPNoLogin>(testing::StrEq(
            "The server offers no login this program speaks (LOGIN or PLAIN): the message is not sent.")));
    client.Disconnect();
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_EQ(server.Mismatch(), "");
    const Lines lines = server.ClientLines();
    EXPECT_EQ(lines[0].substr(5), lines[1].substr(5));
}

TEST(SMTPAgainstScriptedServers, AuthMechanismsAreCollectedOnceFromBothLineForms)
{
    ScriptedServer server(R"(
        S: 220 ready
        C: *
        S: 250-mx.example.org
        S: 250-AUTH=LOGIN CRAM-MD5
        S: 250-XAUTH LOGIN
        S: 250-SIZE 1000
        S: 250 AUTH LOGIN
        C: Quit
    )");
    TIdSMTP client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.Connect();
    EXPECT_EQ(client.AuthMechanisms(), (Lines{"LOGIN", "CRAM-MD5"}));
    client.Disconnect();
}

TEST(SMTPAgainstScriptedServers, AGreetingOtherThan220RaisesAfterQuitAndClosing)
{
    ScriptedServer server(R"(
        S: 554 no service here
        C: Quit
    )");
    TIdSMTP client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    try {
        client.Connect();
        FAIL() << "no exception";
    } catch (const EIdProtocolReplyError& error) {
        EXPECT_STREQ(error.what(), "554 no service here");
    }
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(SMTPAgainstScriptedServers, GarbageRepliesRaiseAClearError)
{
    ScriptedServer server({{ScriptedServer::Step::Kind::Send, "220 ok"},
                           {ScriptedServer::Step::Kind::Expect, "*"},
                           ScriptedServer::SendRaw(std::string("\x01\xff garbage\0 here\r\n", 18)),
                           {ScriptedServer::Step::Kind::Expect, "*"},
                           {ScriptedServer::Step::Kind::Send, "zzz"},
                           {ScriptedServer::Step::Kind::UntilClosed, ""}});
    TIdSMTP client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    EXPECT_THROW(client.Connect(), EIdProtocolReplyError);
    EXPECT_FALSE(client.Connected());
}

TEST(SMTPClient, DisconnectOnAClosedClientSendsNothingAndRaisesNothing)
{
    TIdSMTP client;
    EXPECT_NO_THROW(client.Disconnect());
    EXPECT_EQ(client.Port, 25);
}

TEST(SMTPClient, AssignCopiesTheSettings)
{
    TIdSMTP source;
    source.AuthenticationType = atLogin;
    source.Host = "mail.example.org";
    source.MailAgent = "agent";
    source.Password = "pw";
    source.Port = 587;
    source.UserId = "me";
    source.ImplicitTLSPort = 2465;
    source.TLSCAFile = "ca.crt";
    TIdSMTP copy;
    copy.Assign(source);
    EXPECT_EQ(copy.AuthenticationType, atLogin);
    EXPECT_EQ(copy.Host, "mail.example.org");
    EXPECT_EQ(copy.MailAgent, "agent");
    EXPECT_EQ(copy.Password, "pw");
    EXPECT_EQ(copy.Port, 587);
    EXPECT_EQ(copy.UserId, "me");
    EXPECT_EQ(copy.ImplicitTLSPort, 2465);
    EXPECT_EQ(copy.TLSCAFile, "ca.crt");
}

namespace {

const std::string Hello = "S: 220 ready\nC: *\nS: 250-mx.example.org\nS: 250 AUTH LOGIN\n";
const std::string Delivered = "C: Data\nS: 354 go ahead\nC: <data>\nS: 250 taken\n";

void Point(TIdSMTP& client, const ScriptedServer& server)
{
    client.Host = "127.0.0.1";
    client.Port = server.Port();
}

void Address(TIdMessage& message)
{
    message.From.Address = "ann@example.org";
    message.Recipients.SetAddressListText("to@example.org");
}

// A failure in the middle of a send, the error it gives, and whether the read time-out caused it.
struct Failure {
    const char* name;
    std::string table;
    const char* error;
};

void PrintTo(const Failure& failure, std::ostream* stream)
{
    *stream << failure.name;
}

class SMTPFailureEndsTheSession : public ::testing::TestWithParam<Failure> {};

} // namespace

TEST_P(SMTPFailureEndsTheSession, WithItsErrorInTimeAndTheSameClientSendsAgain)
{
    constexpr int kTimeoutMs = 1000;
    TIdSMTP client;
    client.ReadTimeout = kTimeoutMs;
    TIdMessage message;
    Address(message);
    {
        ScriptedServer server(Hello + GetParam().table);
        Point(client, server);
        client.Connect();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_THAT([&] { client.SendMail(message); },
                    testing::ThrowsMessage<EIdException>(testing::StrEq(GetParam().error)));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2 * kTimeoutMs));
        EXPECT_FALSE(client.Connected());
    }
    ScriptedServer next(Hello +
                        "C: Rset\nS: 250 OK\nC: Mail from:<ann@example.org>\nS: 250 OK\n"
                        "C: RCPT to:<to@example.org>\nS: 250 OK\n" +
                        Delivered + "C: Quit\n");
    Point(client, next);
    client.Connect();
    client.SendMail(message);
    client.Disconnect();
    EXPECT_TRUE(next.WaitFinished());
    EXPECT_EQ(next.Mismatch(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Failures, SMTPFailureEndsTheSession,
    testing::Values(Failure{"SilentServer", "C: Rset\n<until closed>", "The server did not answer in time."},
                    Failure{"StopsAfterData",
                            "C: Rset\nS: 250 OK\nC: *\nS: 250 OK\nC: *\nS: 250 OK\nC: Data\nS: 354 go\nC: "
                            "<data>\n<until closed>",
                            "The server did not answer in time."},
                    Failure{"DropsMidReply", "C: Rset\nS: 250 OK\nC: *\nS: 250-first line\n<close>",
                            "Connection Closed Gracefully."},
                    Failure{"BrokenReply", "C: Rset\nS: 250 OK\nC: *\nS: hello?\n<until closed>", "hello?"}),
    [](const testing::TestParamInfo<Failure>& info) { return info.param.name; });

TEST(SMTPAgainstScriptedServers, ConnectedNoticesAServerThatHasGone)
{
    ScriptedServer server(Hello + "<close>");
    TIdSMTP client;
    Point(client, server);
    client.Connect();
    ASSERT_TRUE(server.WaitFinished());
    EXPECT_FALSE(client.Connected());
}

TEST(SMTPAgainstScriptedServers, DialoguesAsTheRfcsWriteThem)
{
    const struct {
        const char* name;
        std::string table;
        std::string user;
        std::string password = "secret";
    } dialogues[] = {
        {"251 accepts the recipient",
         "S: 220 ready\nC: *\nS: 250 mx.example.org\nC: Rset\nS: 250 OK\nC: *\nS: 250 OK\nC: RCPT "
         "to:<to@example.org>\nS: 251 will forward\n",
         "", ""},
        // base64 of NUL "alice" NUL "secret".
        {"PLAIN when LOGIN is not offered",
         "S: 220 ready\nC: *\nS: 250-mx.example.org\nS: 250 AUTH PLAIN\nC: Rset\nS: 250 OK\n"
         "C: AUTH PLAIN AGFsaWNlAHNlY3JldA==\nS: 235 OK\nC: *\nS: 250 OK\nC: *\nS: 250 OK\n",
         "alice"},
        {"an empty user name is an empty answer",
         Hello + "C: Rset\nS: 250 OK\nC: auth LOGIN\nS: 334 VXNlcm5hbWU6\nC: \nS: 334 UGFzc3dvcmQ6\n"
                 "C: c2VjcmV0\nS: 235 OK\nC: *\nS: 250 OK\nC: *\nS: 250 OK\n",
         ""},
    };
    for (const auto& dialogue : dialogues) {
        ScriptedServer server(dialogue.table + Delivered + "C: Quit\n");
        TIdSMTP client;
        Point(client, server);
        client.AuthenticationType = dialogue.password.empty() ? atNone : atLogin;
        client.UserId = dialogue.user;
        client.Password = dialogue.password;
        client.Connect();
        TIdMessage message;
        Address(message);
        client.SendMail(message);
        client.Disconnect();
        EXPECT_TRUE(server.WaitFinished()) << dialogue.name;
        EXPECT_EQ(server.Mismatch(), "") << dialogue.name;
    }
}

TEST(SMTPAgainstScriptedServers, LineBreaksNulOrSmuggledParametersInAnArgumentAreRefusedBeforeAnythingIsSent)
{
    const std::vector<std::pair<std::function<void(TIdSMTP&, TIdMessage&)>, const char*>> cases{
        {[](TIdSMTP&, TIdMessage& m) { m.From.Address = "ann@example.org>\r\nRCPT to:<x@y"; },
         "The sender address contains a line break or NUL character and cannot be sent."},
        {[](TIdSMTP&, TIdMessage& m) { m.BccList.Add().Address = "b@example.org\n"; },
         "The recipient address contains a line break or NUL character and cannot be sent."},
        {[](TIdSMTP& c, TIdMessage&) { c.UserId = std::string("al\0ice", 6); },
         "The user name contains a line break or NUL character and cannot be sent."},
        {[](TIdSMTP& c, TIdMessage&) { c.Password = "pw\rQUIT"; },
         "The password contains a line break or NUL character and cannot be sent."},
        {[](TIdSMTP&, TIdMessage& m) {
             m.From.Address = "a@b.example> NOTIFY=SUCCESS ORCPT=rfc822;x@y <c@d.example";
         },
         "The sender address \"a@b.example> NOTIFY=SUCCESS ORCPT=rfc822;x@y <c@d.example\" is not a plain "
         "e-mail "
         "address and cannot be sent."},
        {[](TIdSMTP&, TIdMessage& m) { m.CCList.Add().Address = "c@d.example>\tSIZE=1"; },
         "The recipient address \"c@d.example>\tSIZE=1\" is not a plain e-mail address and cannot be sent."},
        {[](TIdSMTP&, TIdMessage& m) { m.From.Address = "\"open quote@b.example"; },
         "The sender address \"\"open quote@b.example\" is not a plain e-mail address and cannot be sent."},
    };
    ScriptedServer server(Hello + "C: Quit\n");
    TIdSMTP client;
    Point(client, server);
    client.AuthenticationType = atLogin;
    client.Connect();
    for (const auto& [spoil, error] : cases) {
        TIdMessage message;
        Address(message);
        client.UserId = "alice";
        client.Password = "secret";
        spoil(client, message);
        EXPECT_THAT([&] { client.SendMail(message); },
                    testing::ThrowsMessage<EIdInvalidCommandArgument>(testing::StrEq(error)));
    }
    client.Host = "127.0.0.1\r\nx";
    client.Disconnect();
    EXPECT_THAT([&] { client.Connect(); },
                testing::ThrowsMessage<EIdInvalidCommandArgument>(testing::StrEq(
                    "The host name contains a line break or NUL character and cannot be sent.")));
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(SMTPAgainstScriptedServers, HelloNamesAQualifiedHostOrElseTheAddressLiteral)
{
    for (const auto& [machine, hello] : std::vector<std::pair<std::string, std::string>>{
             {"vm", "ehlo [127.0.0.1]"}, {"vm.example.org", "ehlo vm.example.org"}}) {
        TIdSMTP client; // first: it brings up the stack the recorder stands in for
        RecordingStack::Installed stack;
        stack->hostName = machine;
        ScriptedServer server("S: 220 ready\nC: " + hello + "\nS: 250 mx.example.org\nC: Quit\n");
        Point(client, server);
        client.Connect();
        client.Disconnect();
        EXPECT_TRUE(server.WaitFinished());
        EXPECT_EQ(server.Mismatch(), "") << machine;
    }
}

TEST(SMTPAgainstScriptedServers, AServerThatStopsReadingInsideDataTimesOutTheWrite)
{
    constexpr int kTimeoutMs = 1000;
    std::promise<void> given;
    std::shared_future<void> givenUp = given.get_future().share();
    LoopbackServer server([givenUp](int connection) {
        // A small receive buffer of fixed size, so that a few megabytes fill the way to it.
        const int receiveBuffer = 64 * 1024;
        setsockopt(connection, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        SendAll(connection, "220 ready\r\n");
        for (const char* reply :
             {"250 mx.example.org\r\n", "250 OK\r\n", "250 OK\r\n", "250 OK\r\n", "354 go\r\n"}) {
            ReceiveLine(connection);
            SendAll(connection, reply);
        }
        // Takes nothing of the message text until the client has given up.
        givenUp.wait();
    });
    TIdSMTP client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.ReadTimeout = kTimeoutMs;
    client.Connect();
    TIdMessage message;
    Address(message);
    message.Body.assign(60000, std::string(99, 'x')); // 6 MB: more than the socket buffers hold
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THAT([&] { client.SendMail(message); }, testing::ThrowsMessage<EIdWriteTimeout>(testing::StrEq(
                                                       "The server did not take the data in time.")));
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(2 * kTimeoutMs) + std::chrono::seconds(2));
    EXPECT_FALSE(client.Connected());
    given.set_value();
}
