// The POP3 client against a real Dovecot mailbox, and against scripted servers that misbehave.
#include "protocols/IdPOP3.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <tuple>

#include "net/IdAntiFreeze.h"
#include "net/IdCommandArgument.h"
#include "support/MailPeers.h"

using namespace quietpane::test;

namespace {

using Lines = std::vector<std::string>;

const std::string First = "From: Ann <ann@example.org>\r\nSubject: first\r\n\r\nhello\r\n";
const std::string Second = "From: Bob <bob@example.org>\r\nSubject: second\r\nTo: ann@example.org\r\n\r\n"
                           ".\r\n..x\r\n.y\r\nlast\r\n";
const std::string Third = "Subject: third\r\n\r\n" + std::string(5000, 'z') + "\r\n";

void Point(TIdPOP3& client, int port, const std::string& password = DovecotServer::Password)
{
    client.Host = "127.0.0.1";
    client.Port = port;
    client.UserId = DovecotServer::User;
    client.Password = password;
}

class POP3AgainstDovecot : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const std::string* message : {&First, &Second, &Third}) {
            server.Deliver(*message);
        }
        Point(client, server.Port());
        client.RecvBufferSize = 1024; // as the mail window sets it
        client.Connect();
    }
    bool WaitForStoredCount(std::size_t count)
    {
        for (int attempt = 0; attempt < 250 && server.StoredMessageCount() != count; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return server.StoredMessageCount() == count;
    }

    DovecotServer server;
    TIdPOP3 client;
};

std::string Joined(const Lines& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
    }
    return text;
}

// A server that logs the client in and then plays the rest of the table.
// The greeting and login, the capabilities asked on the way (by default the server has none).
std::string LoggedIn(const std::string& rest, const std::string& capabilities = "S: -ERR unknown command\n")
{
    return "S: +OK ready\nC: CAPA\n" + capabilities +
           "C: USER alice\nS: +OK\nC: PASS secret\nS: +OK Logged in.\n" + rest;
}

void ConnectTo(TIdPOP3& client, ScriptedServer& server)
{
    Point(client, server.Port());
    client.Connect();
}

bool SentAny(ScriptedServer& server, const std::string& command)
{
    for (const std::string& line : server.ClientLines()) {
        if (line.rfind(command, 0) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST_F(POP3AgainstDovecot, StatAndListGiveTheMailboxFigures)
{
    EXPECT_EQ(client.CountMessages(), 3);
    EXPECT_EQ(client.MailboxSize(), static_cast<int>(First.size() + Second.size() + Third.size()));
    EXPECT_EQ(client.MessageSize(2), static_cast<int>(Second.size()));
    EXPECT_EQ(client.MessageSize(99), -1);
    EXPECT_EQ(client.MessageSize(0), -1);
    // The refusals left the session usable.
    EXPECT_EQ(client.MessageSize(3), static_cast<int>(Third.size()));
}

TEST_F(POP3AgainstDovecot, TopZeroGivesTheHeaderFieldsOnly)
{
    TIdMessage message;
    ASSERT_TRUE(client.FetchHeader(2, message));
    EXPECT_EQ(message.Subject, "second");
    EXPECT_EQ(message.From.Address, "bob@example.org");
    EXPECT_EQ(message.Recipients.Count(), 1);
    EXPECT_EQ(message.ReceivedHeaders.Count(), 3);
    EXPECT_EQ(message.Parts.Count(), 0);
    EXPECT_TRUE(message.Body.empty());

    TIdMessage missing;
    EXPECT_FALSE(client.FetchHeader(99, missing));
    EXPECT_EQ(client.CountMessages(), 3);
}

TEST_F(POP3AgainstDovecot, RetrReadsDotStuffedLinesBackAsTheyWere)
{
    TIdMessage raw;
    raw.NoDecode = true;
    ASSERT_TRUE(client.FetchMessage(2, raw));
    EXPECT_EQ(raw.Body, (Lines{".", "..x", ".y", "last"}));
    EXPECT_EQ(raw.Parts.Count(), 0);

    TIdMessage decoded;
    ASSERT_TRUE(client.FetchMessage(2, decoded));
    ASSERT_EQ(decoded.Parts.Count(), 1);
    const auto& text = dynamic_cast<const TIdText&>(decoded.Parts.Items(0));
    EXPECT_EQ(Joined(text.Body), ".\r\n..x\r\n.y\r\nlast\r\n");

    TIdMessage untouched;
    untouched.Subject = "kept";
    EXPECT_FALSE(client.FetchMessage(99, untouched));
    EXPECT_EQ(untouched.Subject, "kept");
    EXPECT_EQ(client.CountMessages(), 3);
}

TEST_F(POP3AgainstDovecot, DeleteTakesEffectAtQuit)
{
    EXPECT_TRUE(client.DeleteMessage(1));
    EXPECT_EQ(server.StoredMessageCount(), 3u);
    client.Disconnect();
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(WaitForStoredCount(2));

    client.Connect();
    EXPECT_EQ(client.CountMessages(), 2);
    TIdMessage message;
    ASSERT_TRUE(client.FetchHeader(1, message));
    EXPECT_EQ(message.Subject, "second");
}

TEST_F(POP3AgainstDovecot, ResetUndoesTheDeletions)
{
    EXPECT_TRUE(client.DeleteMessage(1));
    EXPECT_TRUE(client.DeleteMessage(3));
    EXPECT_TRUE(client.ResetDeletions());
    client.Disconnect();
    client.Connect();
    EXPECT_EQ(client.CountMessages(), 3);
    EXPECT_EQ(server.StoredMessageCount(), 3u);
}

TEST_F(POP3AgainstDovecot, DeletingAMissingMessageRaisesTheServersReply)
{
    try {
        client.DeleteMessage(99);
        FAIL() << "no exception";
    } catch (const EIdProtocolReplyError& error) {
        EXPECT_EQ(error.ErrorReplyCode, 0);
        EXPECT_EQ(std::string(error.what()).rfind("-ERR", 0), 0u);
    }
    EXPECT_EQ(client.CountMessages(), 3);
}

TEST(POP3AgainstDovecotLogin, WrongPasswordRaisesAfterQuitAndCloses)
{
    DovecotServer server;
    TIdPOP3 client;
    Point(client, server.Port(), "wrong");
    try {
        client.Connect();
        FAIL() << "no exception";
    } catch (const EIdProtocolReplyError& error) {
        EXPECT_STREQ(error.what(), "-ERR [AUTH] Authentication failed.");
        EXPECT_EQ(error.ErrorReplyCode, 0);
    }
    EXPECT_FALSE(client.Connected());
}

TEST(POP3Client, DisconnectOnANeverConnectedClientRaisesClosedGracefully)
{
    TIdPOP3 client;
    EXPECT_EQ(client.Port, 110);
    try {
        client.Disconnect();
        FAIL() << "no exception";
    } catch (const EIdConnClosedGracefully& error) {
        EXPECT_STREQ(error.what(), "Connection Closed Gracefully.");
    }
}

TEST(POP3AgainstScriptedServers, AnErrGreetingRaisesWithThatLineAfterQuit)
{
    ScriptedServer server("S: -ERR go away\nC: Quit\n");
    TIdPOP3 client;
    Point(client, server.Port());
    try {
        client.Connect();
        FAIL() << "no exception";
    } catch (const EIdProtocolReplyError& error) {
        EXPECT_STREQ(error.what(), "-ERR go away");
    }
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(POP3AgainstScriptedServers, ReplyFiguresFollowTheirTextRules)
{
    ScriptedServer server(LoggedIn(R"(
        C: STAT
        S: +OK 12 34567
        C: STAT
        S: +OK 0 0
        C: STAT
        S: +OK 7
        C: STAT
        S: +OK many 1
        C: LIST
        S: +OK
        S: 1 100
        S: 2 200
        S: 300
        S: 4 lots
        S: .
        C: LIST 2
        S: +OK 2 320
        C: LIST 3
        S: +OK 3 huge
        C: LIST
        S: -ERR no
        C: Quit
    )"));
    TIdPOP3 client;
    ConnectTo(client, server);
    EXPECT_EQ(client.CountMessages(), 12);
    EXPECT_EQ(client.CountMessages(), 0);
    EXPECT_THROW(client.CountMessages(), std::invalid_argument);
    EXPECT_THROW(client.CountMessages(), std::invalid_argument);
    EXPECT_EQ(client.MailboxSize(), 600);
    EXPECT_EQ(client.MessageSize(2), 320);
    EXPECT_EQ(client.MessageSize(3), -1);
    EXPECT_EQ(client.MailboxSize(), -1);
    client.Disconnect();
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(POP3AgainstScriptedServers, AHeaderBlockWithoutItsEndGivesFalse)
{
    ScriptedServer server(LoggedIn(R"(
        C: TOP 1 0
        S: +OK
        S: Subject: cut
        S:
        S: stray line
        C: Quit
    )"));
    TIdPOP3 client;
    ConnectTo(client, server);
    TIdMessage message;
    EXPECT_FALSE(client.FetchHeader(1, message));
    EXPECT_EQ(message.Subject, "cut");
    client.Disconnect();
}

TEST(POP3AgainstScriptedServers, ADisconnectInTheMiddleOfAMessageRaisesAndDeletesNothing)
{
    ScriptedServer server(LoggedIn(R"(
        C: RETR 1
        S: +OK 900 octets
        S: Subject: cut short
        S: Content-Type: multipart/mixed; boundary="b"
        S:
        S: --b
        S: Content-Type: application/octet-stream; name="a.bin"
        S: Content-Transfer-Encoding: base64
        S:
        S: AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4
        <close>
    )"));
    TIdPOP3 client;
    ConnectTo(client, server);
    TIdMessage message;
    EXPECT_THROW(client.FetchMessage(1, message), EIdConnClosedGracefully);
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(message.Subject, "cut short");
    EXPECT_FALSE(SentAny(server, "DELE"));
}

TEST(POP3AgainstScriptedServers, AReplyLineOf100MBRaisesWithBoundedMemory)
{
    const std::string megabyte(1 << 20, 'a');
    std::vector<ScriptedServer::Step> steps = ScriptedServer::Parse(LoggedIn("C: STAT\n"));
    steps.push_back(ScriptedServer::SendRaw("+OK "));
    steps.push_back(ScriptedServer::SendRaw(megabyte, 100));
    ScriptedServer server(steps);
    TIdPOP3 client;
    ConnectTo(client, server);
    const long before = ProcessMemoryKiB("VmRSS");
    ResetPeakMemory();
    EXPECT_THROW(client.CountMessages(), EIdReadLineMaxLineLengthExceeded);
    EXPECT_FALSE(client.Connected());
    // The line is given up long before it is whole: far less than 100 MB was ever held.
    EXPECT_LT(ProcessMemoryKiB("VmHWM") - before, 64 * 1024);
    EXPECT_FALSE(SentAny(server, "DELE"));
}

TEST(POP3AgainstScriptedServers, AServerThatNeverAnswersWaitsWhileThePumpRunsUntilThePumpCloses)
{
    ScriptedServer server(LoggedIn("C: STAT\n<until closed>\n"));
    TIdPOP3 client;
    ConnectTo(client, server);
    TIdAntiFreeze antiFreeze;
    antiFreeze.IdleTimeOut = 20;
    int pumps = 0;
    antiFreeze.MessagePump = [&](bool) {
        // The user gives up: the window closes the connection from inside the wait.
        if (++pumps == 5) {
            client.Disconnect();
        }
    };
    EXPECT_THROW(client.CountMessages(), EIdException);
    EXPECT_GE(pumps, 5);
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_EQ(server.ClientLines().back(), "Quit");
}

TEST(POP3AgainstScriptedServers, GarbageRepliesRaiseClearErrorsAndDeleteNothing)
{
    ScriptedServer server(LoggedIn(R"(
        C: STAT
        S: hello? 42
        C: LIST
        S: +OK
        S: \x01\x02
        S: 1 abc
        <close>
    )"));
    TIdPOP3 client;
    ConnectTo(client, server);
    try {
        client.CountMessages();
        FAIL() << "no exception";
    } catch (const EIdProtocolReplyError& error) {
        EXPECT_STREQ(error.what(), "hello? 42");
    }
    // A listing cut off before its "." is a failed session, not a total nor a refusal.
    EXPECT_THAT([&] { client.MailboxSize(); }, testing::Throws<EIdException>());
    EXPECT_FALSE(SentAny(server, "DELE"));
}

// A refusal is an answer: the session goes on. Only a failed session raises.
TEST(POP3AgainstScriptedServers, RefusedSizesGiveMinusOneAndTheSessionGoesOn)
{
    ScriptedServer server(
        LoggedIn("C: LIST\nS: -ERR busy\nC: LIST 1\nS: -ERR no such message\n<until closed>"));
    TIdPOP3 client;
    ConnectTo(client, server);
    EXPECT_EQ(client.MailboxSize(), -1);
    EXPECT_EQ(client.MessageSize(1), -1);
    EXPECT_TRUE(client.Connected());
}

// The session ends once the server has answered QUIT, or has closed without an answer.
TEST(POP3AgainstScriptedServers, QuitAndAwaitDeletionsEndsTheSessionEitherWay)
{
    for (const char* ending : {"S: +OK bye\n<until closed>", "<close>"}) {
        SCOPED_TRACE(ending);
        ScriptedServer server(LoggedIn(std::string("C: QUIT\n") + ending));
        TIdPOP3 client;
        ConnectTo(client, server);
        client.QuitAndAwaitDeletions(2000);
        EXPECT_FALSE(client.Connected());
        EXPECT_TRUE(server.WaitFinished());
        EXPECT_EQ(server.Mismatch(), "");
    }
}

TEST(POP3AgainstScriptedServers, AListingThatNeverEndsWithADotRaises)
{
    std::vector<ScriptedServer::Step> steps = ScriptedServer::Parse(LoggedIn("C: LIST\nS: +OK\n"));
    steps.push_back(ScriptedServer::SendRaw("1 100\r\n", 100000));
    steps.push_back({ScriptedServer::Step::Kind::Close, ""});
    ScriptedServer server(steps);
    TIdPOP3 client;
    ConnectTo(client, server);
    EXPECT_THAT([&] { client.MailboxSize(); }, testing::Throws<EIdException>());
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(SentAny(server, "DELE"));
}

namespace {

// What a header listing handed over: number, subject and size of each message.
struct Listed {
    int number;
    std::string subject;
    int size;
    bool operator==(const Listed&) const = default;
};

std::ostream& operator<<(std::ostream& stream, const Listed& listed)
{
    return stream << listed.number << " " << listed.subject << " " << listed.size;
}

TIdPOP3::THeaderHandler Recording(std::vector<Listed>& listed)
{
    return [&listed](int number, TIdMessage& message, int size) {
        listed.push_back({number, message.Subject, size});
    };
}

} // namespace

TEST_F(POP3AgainstDovecot, ACancelBetweenTwoMessagesOfTheListingEndsIt)
{
    TIdMessage message;
    std::vector<Listed> listed;
    const auto record = Recording(listed);
    EXPECT_THAT(
        [&] {
            client.FetchHeaders(1, 3, message, [&](int number, TIdMessage& header, int size) {
                record(number, header, size);
                client.Cancel(); // as the window's Disconnect does from the events let through here
            });
        },
        testing::ThrowsMessage<EIdCommandCancelled>(testing::StrEq("The command was cancelled.")));
    EXPECT_EQ(listed.size(), 1u);
    EXPECT_FALSE(client.Connected());
}

TEST_F(POP3AgainstDovecot, HeaderListingIsPipelinedBatchAfterBatchInOrder)
{
    const auto text = [](int index) { return "Subject: m" + std::to_string(index) + "\r\n\r\nbody\r\n"; };
    for (int index = 4; index <= 150; ++index) {
        server.Deliver(text(index));
    }
    client.Disconnect();
    client.Connect();
    EXPECT_TRUE(client.OffersPipelining());
    TIdMessage message;
    std::vector<Listed> listed;
    client.FetchHeaders(2, 150, message, Recording(listed));
    ASSERT_EQ(listed.size(), 149u);
    EXPECT_EQ(listed[0], (Listed{2, "second", static_cast<int>(Second.size())}));
    EXPECT_EQ(listed[1], (Listed{3, "third", static_cast<int>(Third.size())}));
    for (int index = 4; index <= 150; ++index) {
        EXPECT_EQ(listed[index - 2],
                  (Listed{index, "m" + std::to_string(index), static_cast<int>(text(index).size())}));
    }
    // The session is in step afterwards.
    EXPECT_EQ(client.CountMessages(), 150);
}

TEST(POP3AgainstScriptedServers, WithoutPipeliningTheListingSendsOneCommandAtATimeForListedMessagesOnly)
{
    ScriptedServer server(LoggedIn(R"(
        C: LIST
        S: +OK
        S: 1 120
        S: 3 80
        S: .
        C: TOP 1 0
        S: +OK
        S: Subject: one
        S:
        S: .
        C: LIST 1
        S: +OK 1 120 octets
        C: TOP 3 0
        S: -ERR no such message
        C: LIST 3
        S: -ERR no such message
        C: Quit
    )"));
    TIdPOP3 client;
    ConnectTo(client, server);
    TIdMessage message;
    std::vector<Listed> listed;
    // A count beyond the listing (a server's STAT can claim millions) asks only for listed messages.
    client.FetchHeaders(1, 1000000, message, Recording(listed));
    EXPECT_EQ(listed, (std::vector<Listed>{{1, "one", 120}, {3, "", -1}}));
    client.Disconnect();
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_EQ(server.Mismatch(), "");
}

TEST(POP3AgainstScriptedServers, AListingCutOffKeepsWhatCameRaisesAndClosesAndTheClientConnectsAgain)
{
    TIdPOP3 client;
    TIdMessage message;
    std::vector<Listed> listed;
    {
        ScriptedServer server(LoggedIn(R"(
            C: LIST
            S: +OK
            S: 1 99
            S: 2 99
            S: .
            C: TOP 1 0
            C: LIST 1
            C: TOP 2 0
            C: LIST 2
            S: +OK
            S: Subject: one
            S:
            S: .
            S: +OK 1 99
            S: +OK
            S: Subject: tw
            <close>
        )",
                                       "S: +OK\nS: PIPELINING\nS: .\n"));
        ConnectTo(client, server);
        EXPECT_THAT([&] { client.FetchHeaders(1, 2, message, Recording(listed)); },
                    testing::ThrowsMessage<EIdException>(testing::StrEq("Connection Closed Gracefully.")));
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(server.Mismatch(), "");
    }
    EXPECT_EQ(listed, (std::vector<Listed>{{1, "one", 99}}));
    ScriptedServer next(LoggedIn("C: STAT\nS: +OK 2 300\n"));
    ConnectTo(client, next);
    EXPECT_EQ(client.CountMessages(), 2);
}

TEST(POP3AgainstScriptedServers, ListingLinesWithTextAfterTheSizeGiveTheSize)
{
    ScriptedServer server(LoggedIn(R"(
        C: LIST
        S: +OK
        S: 1 100 extra words
        S: 2 200
        S: .
        C: LIST 2
        S: +OK 2 320 octets
    )"));
    TIdPOP3 client;
    ConnectTo(client, server);
    EXPECT_EQ(client.MailboxSize(), 300);
    EXPECT_EQ(client.MessageSize(2), 320);
}

TEST(POP3Client, LineBreaksOrNulInTheLoginAreRefusedBeforeConnecting)
{
    for (const auto& [user, password, error] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"alice\r\nDELE 1", "secret",
              "The user name contains a line break or NUL character and cannot be sent."},
             {"alice", std::string("se\0cret", 7),
              "The password contains a line break or NUL character and cannot be sent."}}) {
        TIdPOP3 client;
        client.Host = "127.0.0.1";
        client.Port = FreePort(); // nobody listens: a connect attempt would fail otherwise
        client.UserId = user;
        client.Password = password;
        EXPECT_THAT([&] { client.Connect(); },
                    testing::ThrowsMessage<EIdInvalidCommandArgument>(testing::StrEq(error)));
    }
}

namespace {

// How a silent server's wait ends: the read time-out, or the user's cancel from inside the wait.
struct SilentEnd {
    const char* name;
    bool cancel;
    const char* error;
};

void PrintTo(const SilentEnd& end, std::ostream* stream)
{
    *stream << end.name;
}

class POP3SilentServer : public ::testing::TestWithParam<SilentEnd> {};

} // namespace

TEST_P(POP3SilentServer, EndsTheWaitWithItsErrorInTimeAndTheClientConnectsAgain)
{
    constexpr int kTimeoutMs = 1000;
    TIdPOP3 client;
    client.ReadTimeout = kTimeoutMs;
    {
        ScriptedServer server("<until closed>");
        TIdAntiFreeze antiFreeze;
        antiFreeze.IdleTimeOut = 20;
        int pumps = 0;
        antiFreeze.MessagePump = [&](bool) {
            if (GetParam().cancel && ++pumps == 3) {
                client.Cancel();
            }
        };
        Point(client, server.Port());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_THAT([&] { client.Connect(); },
                    testing::ThrowsMessage<EIdException>(testing::StrEq(GetParam().error)));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2 * kTimeoutMs));
        EXPECT_FALSE(client.Connected());
        EXPECT_TRUE(server.WaitFinished());
    }
    ScriptedServer next(LoggedIn("C: STAT\nS: +OK 1 10\n"));
    ConnectTo(client, next);
    EXPECT_EQ(client.CountMessages(), 1);
}

INSTANTIATE_TEST_SUITE_P(Ends, POP3SilentServer,
                         testing::Values(SilentEnd{"ReadTimeOut", false,
                                                   "The server did not answer in time."},
                                         SilentEnd{"Cancel", true, "The command was cancelled."}),
                         [](const testing::TestParamInfo<SilentEnd>& info) { return info.param.name; });
