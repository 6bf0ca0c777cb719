#include "net/IdTCPConnection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "net/IdAntiFreeze.h"
#include "net/IdTCPClient.h"
#include "support/LoopbackServer.h"
#include "support/RecordingStack.h"

namespace {

using quietpane::test::LoopbackServer;
using quietpane::test::ReceiveAll;
using quietpane::test::ReceiveLine;
using quietpane::test::RecordingStack;
using quietpane::test::SendAll;

// A server that sends the bytes, then waits for the client to go.
LoopbackServer Sending(const std::string& bytes)
{
    return LoopbackServer([bytes](int connection) {
        SendAll(connection, bytes);
        ReceiveAll(connection);
    });
}

// A server that sends the bytes and closes at once.
LoopbackServer SendingAndClosing(const std::string& bytes)
{
    return LoopbackServer([bytes](int connection) { SendAll(connection, bytes); });
}

class IdTCPConnectionTest : public ::testing::Test {
protected:
    TIdTCPClient client;

    void ConnectTo(const LoopbackServer& server)
    {
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        client.Connect();
    }

    std::vector<std::string> CaptureToList(const std::string& delimiter, bool unstuff)
    {
        std::vector<std::string> lines;
        TIdStringListSink sink(lines);
        client.CaptureLines(&sink, delimiter, unstuff);
        return lines;
    }

    // Receives until the peer's close has been seen; the received bytes stay buffered.
    void WaitForPeerClose()
    {
        while (client.Connected()) {
            client.FillInputBuffer(false);
        }
    }
};

// Reading lines

TEST_F(IdTCPConnectionTest, ReadLineStripsLfCrLfAndOnlyOneCr)
{
    LoopbackServer server = Sending("lf\ncrlf\r\ncrcrlf\r\r\n\r\nend");
    ConnectTo(server);
    EXPECT_EQ(client.ReadLine(), "lf");
    EXPECT_EQ(client.ReadLine(), "crlf");
    EXPECT_EQ(client.ReadLine(), "crcrlf\r");
    EXPECT_EQ(client.ReadLine(), "");
    EXPECT_FALSE(client.ReadTimedOut());
    EXPECT_EQ(client.ReadLine("", 100), "");
    EXPECT_TRUE(client.ReadTimedOut());
    EXPECT_EQ(client.InputBuffer().Size(), 3u);
}

TEST_F(IdTCPConnectionTest, ReadLineWithOwnTerminatorKeepsCarriageReturns)
{
    LoopbackServer server = Sending("a\r<>b<>\r\n");
    ConnectTo(server);
    EXPECT_EQ(client.ReadLine("<>"), "a\r");
    EXPECT_EQ(client.ReadLine("<>"), "b");
    EXPECT_EQ(client.ReadLine(), "");
}

TEST_F(IdTCPConnectionTest, LongLineArrivesThroughSmallReceivesWhole)
{
    const std::string line(5000, 'q');
    LoopbackServer server([line](int connection) {
        // In pieces, so that the terminator search resumes across receives.
        for (std::size_t at = 0; at < line.size(); at += 700) {
            SendAll(connection, line.substr(at, 700));
        }
        SendAll(connection, "\r\nnext\r\n");
        ReceiveAll(connection);
    });
    client.RecvBufferSize = 1024;
    ConnectTo(server);
    RecordingStack::Installed stack;
    EXPECT_EQ(client.ReadLine(), line);
    EXPECT_GE(stack->receiveResults.size(), 5u);
    EXPECT_LE(*std::max_element(stack->receiveResults.begin(), stack->receiveResults.end()), 1024);
    EXPECT_EQ(client.ReadLine(), "next");
}

TEST_F(IdTCPConnectionTest, TenMegabyteLineThroughKilobyteReceivesCompletes)
{
    const std::string line(std::size_t{10} * 1000 * 1000, 'x');
    LoopbackServer server = Sending(line + "\r\n");
    client.RecvBufferSize = 1024;
    ConnectTo(server);
    EXPECT_EQ(client.ReadLine().size(), line.size());
}

TEST_F(IdTCPConnectionTest, EndlessLineRaisesMaxLineLengthAndDrops)
{
    LoopbackServer server([](int connection) {
        const std::string chunk(4096, 'x');
        for (;;) {
            SendAll(connection, chunk); // ends with an exception once the client has gone
        }
    });
    client.MaxLineLength = std::size_t{64} * 1024;
    ConnectTo(server);
    try {
        client.ReadLine();
        FAIL() << "no exception";
    } catch (const EIdReadLineMaxLineLengthExceeded& error) {
        EXPECT_STREQ(error.what(), "Max line length exceeded.");
    }
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.InputBuffer().Size(), 0u);
}

TEST_F(IdTCPConnectionTest, LineOfExactlyMaxLengthIsAccepted)
{
    LoopbackServer server = Sending(std::string(100, 'a') + "\r\n" + std::string(101, 'b') + "\n");
    client.MaxLineLength = 100;
    ConnectTo(server);
    EXPECT_EQ(client.ReadLine(), std::string(100, 'a'));
    EXPECT_THROW(client.ReadLine("\n"), EIdReadLineMaxLineLengthExceeded);
}

TEST_F(IdTCPConnectionTest, ReadExactTakeInputAndDiscardInputConsumeFromTheFront)
{
    LoopbackServer server = Sending("0123456789abcdef");
    ConnectTo(server);
    char first[4];
    client.ReadExact(first, sizeof first);
    EXPECT_EQ(std::string(first, 4), "0123");
    while (client.InputBuffer().Size() < 12) {
        client.FillInputBuffer(true);
    }
    client.DiscardInput(2);
    EXPECT_EQ(client.TakeInput(4), "6789");
    EXPECT_THROW(client.TakeInput(7), EIdNotEnoughDataInBuffer);
    EXPECT_THROW(client.DiscardInput(7), EIdNotEnoughDataInBuffer);
    EXPECT_EQ(client.TakeInput(6), "abcdef");
}

TEST_F(IdTCPConnectionTest, ReadProgressIsReportedWhenInputIsConsumed)
{
    LoopbackServer server = Sending("abc\r\ndefg\r\n");
    ConnectTo(server);
    std::vector<int64_t> counts;
    client.OnWork = [&](TIdComponent&, TWorkMode mode, int64_t count) {
        EXPECT_EQ(mode, wkRead);
        counts.push_back(count);
    };
    client.StartWork(wkRead, 0);
    client.ReadLine();
    client.ReadLine();
    client.FinishWork(wkRead);
    EXPECT_EQ(counts, (std::vector<int64_t>{5, 11}));
}

TEST_F(IdTCPConnectionTest, AsciiFilterClearsTheHighBit)
{
    LoopbackServer server = Sending("\xC1\xE2\x63\n");
    client.ASCIIFilter = true;
    ConnectTo(server);
    EXPECT_EQ(client.ReadLine(), "Abc");
}

// Replies and commands

TEST_F(IdTCPConnectionTest, MultiLineReplyEndsAtTheCodeAndSpace)
{
    LoopbackServer server = Sending("\r\n  \r\n250-a\r\n250-b\r\n 250 c  \r\n");
    ConnectTo(server);
    EXPECT_EQ(client.ReadReply({250}), 250);
    EXPECT_EQ(client.ReplyLines(), (std::vector<std::string>{"250-a", "250-b", "250 c"}));
    EXPECT_EQ(client.LastReply(), "250 c");
}

TEST_F(IdTCPConnectionTest, MultiLineReplyIgnoresCodeWithoutSpaceAndEndsAtShortLine)
{
    LoopbackServer server = Sending("250-a\r\n250c\r\nok\r\n");
    ConnectTo(server);
    EXPECT_EQ(client.ReadReply({}), 0);
    EXPECT_EQ(client.ReplyLines(), (std::vector<std::string>{"250-a", "250c", "ok"}));
}

TEST_F(IdTCPConnectionTest, ReplyCodesOfOkErrDigitsAndLetters)
{
    LoopbackServer server = Sending("+ok fine\r\n-ErR bad\r\nabc\r\n3\r\n354 go\r\n+OK\r\n");
    ConnectTo(server);
    EXPECT_EQ(client.ReadReply({}), 1);
    EXPECT_EQ(client.ReadReply({}), 0);
    EXPECT_EQ(client.ReadReply({}), 0);
    EXPECT_EQ(client.ReadReply({}), 3);
    EXPECT_EQ(client.ReadReply({354}), 354);
    EXPECT_EQ(client.ReadReply({1}), 1);
}

TEST_F(IdTCPConnectionTest, SendCommandWritesTheLineAndChecksTheReply)
{
    std::vector<std::string> received;
    LoopbackServer server([&received](int connection) {
        received.push_back(ReceiveLine(connection));
        SendAll(connection, "220 any\r\n");
        received.push_back(ReceiveLine(connection));
        SendAll(connection, "550 No such user here\r\n");
        ReceiveAll(connection);
    });
    ConnectTo(server);
    EXPECT_EQ(client.SendCommand("NOOP", -1), 220);
    try {
        client.SendCommand("RCPT to:<x@y>", 250);
        FAIL() << "no exception";
    } catch (const EIdProtocolReplyError& error) {
        EXPECT_STREQ(error.what(), "550 No such user here");
        EXPECT_EQ(error.ErrorReplyCode, 550);
    }
    EXPECT_EQ(client.ReplyCode(), 550);
    EXPECT_TRUE(client.Connected());
    client.Disconnect();
    server.Join();
    EXPECT_EQ(received, (std::vector<std::string>{"NOOP\r\n", "RCPT to:<x@y>\r\n"}));
}

// Blocks of lines

TEST_F(IdTCPConnectionTest, CaptureLinesUnstuffsAndLeavesWhatFollows)
{
    LoopbackServer server = Sending("a\r\n..b\r\n..\r\n.\r\nc\r\n");
    ConnectTo(server);
    EXPECT_EQ(CaptureToList(".", true), (std::vector<std::string>{"a", ".b", "."}));
    EXPECT_EQ(client.ReadLine(), "c");
}

TEST_F(IdTCPConnectionTest, CaptureLinesWithEmptyDelimiterStopsAtFirstEmptyLine)
{
    LoopbackServer server = Sending("Subject: x\r\nFrom: y\r\n\r\nbody\r\n");
    ConnectTo(server);
    EXPECT_EQ(CaptureToList("", false), (std::vector<std::string>{"Subject: x", "From: y"}));
    EXPECT_EQ(client.ReadLine(), "body");
}

TEST_F(IdTCPConnectionTest, CaptureLinesIntoAByteStreamEndsEveryLineWithCrLf)
{
    LoopbackServer server = Sending("one\n..two\r\n\r\n.\r\n.\r\n");
    ConnectTo(server);
    std::ostringstream stream;
    TIdByteStreamSink sink(stream);
    std::vector<std::string> events;
    client.OnWorkBegin = [&](TIdComponent&, TWorkMode, int64_t) { events.push_back("begin"); };
    client.OnWorkEnd = [&](TIdComponent&, TWorkMode) { events.push_back("end"); };
    client.CaptureLines(&sink);
    EXPECT_EQ(stream.str(), "one\r\n.two\r\n\r\n");
    client.CaptureLines(nullptr); // an empty block, dropped
    EXPECT_EQ(client.InputBuffer().Size(), 0u);
    EXPECT_EQ(events, (std::vector<std::string>{"begin", "end", "begin", "end"}));
}

TEST_F(IdTCPConnectionTest, CaptureLinesGivesTheSameBlockForEveryReceiveSize)
{
    const std::string block = "a\r\nb\nc\r\r\n..d\r\n\r\n..\r\ne.\r\n.\r\nafter\r\n";
    const std::vector<std::string> expectedLines{"a", "b", "c\r", ".d", "", ".", "e."};
    const std::string expectedBytes = "a\r\nb\r\nc\r\r\n.d\r\n\r\n.\r\ne.\r\n";
    for (int receiveSize : {1, 2, 3, 5, 8, 13, 1024}) {
        SCOPED_TRACE(receiveSize);
        LoopbackServer server = Sending(block + block);
        TIdTCPClient reader;
        reader.RecvBufferSize = receiveSize;
        reader.Host = "127.0.0.1";
        reader.Port = server.Port();
        reader.Connect();
        std::vector<std::string> lines;
        TIdStringListSink listSink(lines);
        reader.CaptureLines(&listSink);
        EXPECT_EQ(lines, expectedLines);
        EXPECT_EQ(reader.ReadLine(), "after");
        std::string bytes;
        TIdByteStreamSink byteSink([&bytes](std::string_view data) { bytes.append(data); });
        reader.CaptureLines(&byteSink);
        EXPECT_EQ(bytes, expectedBytes);
        EXPECT_EQ(reader.ReadLine(), "after");
    }
}

TEST_F(IdTCPConnectionTest, CaptureLinesPassesALargeBlockThroughUnchanged)
{
    std::string block;
    for (int line = 0; block.size() < 500000; ++line) {
        block += std::string(line % 7 == 0 ? 0 : 76, static_cast<char>('a' + line % 26)) + "\r\n";
    }
    LoopbackServer server = Sending(block + ".\r\n");
    ConnectTo(server);
    std::string bytes;
    TIdByteStreamSink sink([&bytes](std::string_view data) { bytes.append(data); });
    client.CaptureLines(&sink);
    EXPECT_TRUE(bytes == block);
}

TEST(TIdByteStreamSinkTest, LargePiecesNeverOvertakeGatheredLines)
{
    std::string bytes;
    TIdByteStreamSink sink([&bytes](std::string_view data) { bytes.append(data); });
    const std::string large(TIdByteStreamSink::ChunkSize / 2, 'x');
    sink.AddLine("first");
    sink.AddCrLfLines(large + "\r\n");
    sink.AddLine("last");
    sink.Flush();
    EXPECT_TRUE(bytes == "first\r\n" + large + "\r\nlast\r\n");
}

TEST_F(IdTCPConnectionTest, CaptureLinesEndsItsWorkSpanWhenThePeerCloses)
{
    LoopbackServer server = SendingAndClosing("a\r\nb");
    ConnectTo(server);
    int ends = 0;
    client.OnWorkEnd = [&](TIdComponent&, TWorkMode) { ++ends; };
    EXPECT_THROW(CaptureToList(".", true), EIdConnClosedGracefully);
    EXPECT_EQ(ends, 1);
}

// Closing

TEST_F(IdTCPConnectionTest, PeerClosingAfterPartialLineTimesOutOnceThenRaises)
{
    LoopbackServer server = SendingAndClosing("abc");
    ConnectTo(server);
    std::vector<std::string> statuses;
    client.OnStatus = [&](TIdComponent&, TIdStatus, const std::string& text) { statuses.push_back(text); };
    int disconnected = 0;
    client.OnDisconnected = [&](TIdComponent&) { ++disconnected; };

    EXPECT_EQ(client.ReadLine(), "");
    EXPECT_TRUE(client.ReadTimedOut());
    EXPECT_TRUE(client.PeerClosed());
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(statuses, (std::vector<std::string>{"Disconnecting from 127.0.0.1.", "Not connected."}));
    EXPECT_EQ(disconnected, 1);
    try {
        client.ReadLine();
        FAIL() << "no exception";
    } catch (const EIdConnClosedGracefully& error) {
        EXPECT_STREQ(error.what(), "Connection Closed Gracefully.");
    }
}

TEST_F(IdTCPConnectionTest, BufferedLinesStayReadableAfterCloseButWritesRaise)
{
    LoopbackServer server = SendingAndClosing("a\r\nb\r\n");
    ConnectTo(server);
    WaitForPeerClose();
    EXPECT_THROW(client.WriteLine("QUIT"), EIdConnClosedGracefully);
    EXPECT_EQ(client.ReadLine(), "a");
    EXPECT_EQ(client.ReadLine(), "b");
    EXPECT_THROW(client.ReadLine(), EIdConnClosedGracefully);
}

TEST_F(IdTCPConnectionTest, ReadExactRaisesWhenThePeerClosesShort)
{
    LoopbackServer server = SendingAndClosing("abc");
    ConnectTo(server);
    char bytes[8];
    EXPECT_THROW(client.ReadExact(bytes, sizeof bytes), EIdConnClosedGracefully);
}

TEST_F(IdTCPConnectionTest, ResetPeerRaisesConnectionResetByPeer)
{
    LoopbackServer server([](int connection) {
        ReceiveLine(connection);
        quietpane::test::ResetConnection(connection);
    });
    ConnectTo(server);
    client.WriteLine("hello");
    try {
        client.ReadLine();
        FAIL() << "no exception";
    } catch (const EIdSocketError& error) {
        EXPECT_EQ(error.SocketErrorCode, 10054);
        EXPECT_STREQ(error.what(), "Socket Error # 10054\r\nConnection reset by peer.");
    }
}

TEST_F(IdTCPConnectionTest, WritingToAPeerThatHasGoneRaisesInsteadOfEndingTheProcess)
{
    LoopbackServer server([](int connection) {
        ReceiveLine(connection);
        quietpane::test::ResetConnection(connection);
    });
    ConnectTo(server);
    client.WriteLine("hello");
    const std::string chunk(65536, 'w');
    std::vector<int> errors;
    // The reset shows first; writing on reaches the closed-pipe condition that raises SIGPIPE.
    for (int round = 0; round < 1000 && client.SocketHandle().HasHandle(); ++round) {
        try {
            client.WriteBytes(chunk.data(), chunk.size());
        } catch (const EIdSocketError& error) {
            errors.push_back(error.SocketErrorCode);
        }
    }
    EXPECT_FALSE(client.Connected());
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back(), 10058);
    EXPECT_THROW(client.WriteBytes(chunk.data(), chunk.size()), EIdConnClosedGracefully);
}

TEST_F(IdTCPConnectionTest, WritingAfterDisconnectRaisesConnClosedGracefully)
{
    LoopbackServer server = Sending("");
    ConnectTo(server);
    client.Disconnect();
    EXPECT_THROW(client.WriteText("x"), EIdConnClosedGracefully);
}

// Responsiveness while waiting

TEST_F(IdTCPConnectionTest, DisconnectFromAnEventHandlerEndsAWaitingRead)
{
    LoopbackServer server = Sending("");
    ConnectTo(server);
    TIdAntiFreeze antiFreeze;
    antiFreeze.IdleTimeOut = 20;
    int pumps = 0;
    antiFreeze.MessagePump = [&](bool) {
        if (++pumps == 2) {
            client.Disconnect();
        }
    };
    try {
        client.ReadLine();
        FAIL() << "no exception";
    } catch (const EIdConnClosedGracefully& error) {
        EXPECT_STREQ(error.what(), "Connection Closed Gracefully.");
    }
    EXPECT_EQ(pumps, 2);
}

TEST_F(IdTCPConnectionTest, EventsArePumpedAfterSendsOnlyWhenNotOnlyWhenIdle)
{
    LoopbackServer server = Sending("");
    ConnectTo(server);
    TIdAntiFreeze antiFreeze;
    int pumps = 0;
    antiFreeze.MessagePump = [&](bool) { ++pumps; };
    client.WriteLine("one");
    EXPECT_EQ(pumps, 0);
    antiFreeze.OnlyWhenIdle = false;
    client.WriteLine("two");
    EXPECT_EQ(pumps, 1);
}

// Writing

TEST_F(IdTCPConnectionTest, WritesArriveInOrderWithProgress)
{
    std::string received;
    LoopbackServer server([&received](int connection) { received = ReceiveAll(connection); });
    ConnectTo(server);
    std::vector<int64_t> written;
    client.OnWork = [&](TIdComponent&, TWorkMode mode, int64_t count) {
        if (mode == wkWrite) {
            written.push_back(count);
        }
    };
    client.WriteLine("");
    client.WriteLines({"x", "y"});
    client.WriteText("");
    client.WriteInt32(0x01020304, true);
    client.WriteInt32(0x01020304, false);
    client.SendBufferSize = 4;
    std::istringstream stream("skip0123456789");
    stream.seekg(4);
    client.WriteStreamContent(stream, false, true);
    client.WriteStreamContent(stream, true, false);
    client.Disconnect();
    server.Join();
    EXPECT_EQ(received, std::string("\r\nx\r\ny\r\n\x01\x02\x03\x04\x04\x03\x02\x01", 16) +
                            std::string("\0\0\0\x0a", 4) + "0123456789" + "skip0123456789");
    // Progress only inside the stream's work spans, in chunks of SendBufferSize.
    EXPECT_EQ(written, (std::vector<int64_t>{4, 8, 10, 4, 8, 12, 14}));
}

} // namespace
