// The real and scripted mail servers the protocol tests stand on start and answer.
#include "support/MailPeers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace quietpane::test;

namespace {

// Just enough of a line client to talk to the servers without the library under test.
class LineClient {
public:
    explicit LineClient(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            throw std::runtime_error("connect failed");
        }
    }
    ~LineClient() { close(fd_); }

    std::string Line()
    {
        std::string line;
        char c = 0;
        while (recv(fd_, &c, 1, 0) == 1 && c != '\n') {
            line += c;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return line;
    }
    void Send(const std::string& line)
    {
        const std::string data = line + "\r\n";
        ASSERT_EQ(send(fd_, data.data(), data.size(), MSG_NOSIGNAL), static_cast<ssize_t>(data.size()));
    }
    std::string Command(const std::string& line)
    {
        Send(line);
        return Line();
    }

private:
    int fd_;
};

} // namespace

TEST(MailPeers, DovecotLogsInListsAndDeletesDeliveredMessages)
{
    DovecotServer server;
    server.Deliver("Subject: one\r\n\r\nbody\r\n");
    server.Deliver("Subject: two\r\n\r\nbody\r\n");
    {
        LineClient client(server.Port());
        EXPECT_EQ(client.Line(), "+OK Dovecot (Debian) ready.");
        EXPECT_EQ(client.Command("USER alice"), "+OK");
        EXPECT_EQ(client.Command("PASS secret"), "+OK Logged in.");
        EXPECT_EQ(client.Command("STAT"), "+OK 2 44");
        EXPECT_EQ(client.Command("DELE 1"), "+OK Marked to be deleted.");
        EXPECT_EQ(client.Command("QUIT"), "+OK Logging out, messages deleted.");
    }
    EXPECT_EQ(server.StoredMessageCount(), 1u);
}

TEST(MailPeers, DovecotRefusesAWrongPassword)
{
    DovecotServer server;
    LineClient client(server.Port());
    client.Line();
    client.Command("USER alice");
    EXPECT_EQ(client.Command("PASS wrong"), "-ERR [AUTH] Authentication failed.");
}

TEST(MailPeers, SmtpServerStoresMessagesAndRecordsTheDialogue)
{
    SmtpServer server({"nobody@example.org"});
    {
        LineClient client(server.Port());
        EXPECT_EQ(client.Line().substr(0, 4), "220 ");
        client.Send("ehlo tester");
        std::string line;
        while ((line = client.Line()).substr(0, 4) != "250 ") {
        }
        EXPECT_EQ(client.Command("auth LOGIN").substr(0, 4), "334 ");
        EXPECT_EQ(client.Command("YWxpY2U=").substr(0, 4), "334 ");
        EXPECT_EQ(client.Command("c2VjcmV0").substr(0, 4), "235 ");
        EXPECT_EQ(client.Command("Mail from:<a@example.org>").substr(0, 4), "250 ");
        EXPECT_EQ(client.Command("RCPT to:<nobody@example.org>"), "550 5.1.1 Mailbox unavailable");
        EXPECT_EQ(client.Command("RCPT to:<b@example.org>").substr(0, 4), "250 ");
        EXPECT_EQ(client.Command("Data").substr(0, 4), "354 ");
        client.Send("Subject: hello\r\n\r\n..dot");
        EXPECT_EQ(client.Command(".").substr(0, 4), "250 ");
        client.Send("Quit");
        client.Line();
    }
    ASSERT_TRUE(server.WaitForSessionEnd(1));
    ASSERT_EQ(server.Messages().size(), 1u);
    EXPECT_EQ(ReadFile(server.Messages()[0]), "Subject: hello\r\n\r\n.dot\r\n");
    const std::vector<std::string> expected{"ehlo tester",
                                            "auth LOGIN",
                                            "YWxpY2U=",
                                            "c2VjcmV0",
                                            "Mail from:<a@example.org>",
                                            "RCPT to:<nobody@example.org>",
                                            "RCPT to:<b@example.org>",
                                            "Data",
                                            "<data 25 bytes>",
                                            ".",
                                            "Quit"};
    EXPECT_EQ(server.ClientLines(1), expected);
}

TEST(MailPeers, ScriptedServerPlaysItsTableAndRecordsTheClient)
{
    ScriptedServer server(R"(
        S: +OK hello
        C: USER alice
        S: -ERR no
        C: *
        <close>
    )");
    LineClient client(server.Port());
    EXPECT_EQ(client.Line(), "+OK hello");
    EXPECT_EQ(client.Command("USER alice"), "-ERR no");
    client.Send("Quit");
    EXPECT_EQ(client.Line(), "");
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_EQ(server.Mismatch(), "");
    EXPECT_EQ(server.ClientLines(), (std::vector<std::string>{"USER alice", "Quit"}));
    EXPECT_EQ(server.Received(), "USER alice\r\nQuit\r\n");
}
