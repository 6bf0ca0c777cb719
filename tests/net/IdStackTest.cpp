#include "net/IdStack.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/IdComponent.h"

namespace {

class IdStackTest : public ::testing::Test {
protected:
    TIdComponent component; // brings up SocketStack
};

TEST(SocketErrorTextTest, GivesTheTableTextAndEmptyOutsideIt)
{
    EXPECT_EQ(SocketErrorText(10054), "Connection reset by peer.");
    EXPECT_EQ(SocketErrorText(10035), "Operation would block. ");
    EXPECT_EQ(SocketErrorText(10066), "Directory not empty");
    EXPECT_EQ(SocketErrorText(10003), "");
    EXPECT_EQ(SocketErrorText(11001), "");
}

TEST(SocketErrorTextTest, ErrnoValuesMapOntoTheSocketNumbers)
{
    EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(SocketErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(SocketErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(SocketErrorFromErrno(EPIPE), 10058);
    EXPECT_EQ(SocketErrorFromErrno(EAGAIN), 10035);
    EXPECT_EQ(SocketErrorFromErrno(ENOENT), ENOENT);
}

TEST_F(IdStackTest, DottedAddressesNeedFourPiecesFrom0To255)
{
    EXPECT_TRUE(TIdStack::IsDottedIPv4("10.0.0.1"));
    EXPECT_TRUE(TIdStack::IsDottedIPv4("255.255.255.0"));
    EXPECT_FALSE(TIdStack::IsDottedIPv4("1.2.3"));
    EXPECT_FALSE(TIdStack::IsDottedIPv4("1.2.3.4.5"));
    EXPECT_FALSE(TIdStack::IsDottedIPv4("256.1.1.1"));
    EXPECT_FALSE(TIdStack::IsDottedIPv4("1..2.3"));
    EXPECT_FALSE(TIdStack::IsDottedIPv4("a.b.c.d"));
    EXPECT_FALSE(TIdStack::IsDottedIPv4(""));
    EXPECT_EQ(TIdStack::AddressToText(TIdStack::DottedToAddress("192.168.7.42")), "192.168.7.42");
    EXPECT_THROW(TIdStack::DottedToAddress("1.x.3.4"), std::invalid_argument);
}

TEST_F(IdStackTest, ResolveHostNameAnswersLocalhostAndAddressesWithoutLookup)
{
    EXPECT_EQ(SocketStack->ResolveHostName("localhost"), "127.0.0.1");
    EXPECT_EQ(SocketStack->ResolveHostName("LocalHost"), "127.0.0.1");
    EXPECT_EQ(SocketStack->ResolveHostName("10.0.0.1"), "10.0.0.1");
}

TEST_F(IdStackTest, UnresolvableNameRaisesSocketErrorWithoutText)
{
    for (const char* name : {"no-such-host.invalid", "256.1.1.1"}) {
        try {
            SocketStack->ResolveHostName(name);
            FAIL() << name << " resolved";
        } catch (const EIdSocketError& error) {
            EXPECT_EQ(error.SocketErrorCode, 11001);
            EXPECT_STREQ(error.what(), "Socket Error # 11001\r\n");
        }
    }
}

TEST_F(IdStackTest, CheckSocketResultRaisesUnlessToleratedOrNotFailed)
{
    EXPECT_FALSE(SocketStack->CheckSocketResult(0));
    const int handle = SocketStack->OpenSocket(SOCK_STREAM, 0);
    SocketStack->CloseSocketHandle(handle);
    char byte = 0;
    const long result = SocketStack->ReceiveData(handle, &byte, 1, 0);
    EXPECT_EQ(SocketStack->LastSocketError(), 10009);
    EXPECT_TRUE(SocketStack->CheckSocketResult(result, {10009}));
    try {
        SocketStack->CheckSocketResult(result);
        FAIL() << "no exception";
    } catch (const EIdSocketError& error) {
        EXPECT_EQ(error.SocketErrorCode, 10009);
        EXPECT_STREQ(error.what(), "Socket Error # 10009\r\nBad file number.");
    }
}

TEST_F(IdStackTest, WaitReadableTakesSixtyFourSocketsPerListAndRefusesMore)
{
    std::vector<int> sockets;
    for (int i = 0; i < 65; ++i) {
        sockets.push_back(SocketStack->OpenSocket(SOCK_STREAM, 0));
    }
    std::vector<int> readList(sockets.begin(), sockets.begin() + 64);
    EXPECT_NO_THROW(SocketStack->WaitReadable(&readList, nullptr, nullptr, 0));
    std::vector<int> tooMany = sockets;
    try {
        SocketStack->WaitReadable(&tooMany, nullptr, nullptr, 0);
        ADD_FAILURE() << "no exception";
    } catch (const EIdStackSetSizeExceeded& error) {
        EXPECT_STREQ(error.what(), "Set Size Exceeded.");
    }
    for (int handle : sockets) {
        SocketStack->CloseSocketHandle(handle);
    }
}

TEST_F(IdStackTest, WaitReadableKeepsOnlyTheReadySockets)
{
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    int quiet[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, quiet), 0);
    ASSERT_EQ(write(pair[1], "x", 1), 1);
    std::vector<int> readList{quiet[0], pair[0]};
    std::vector<int> writeList{quiet[0]};
    EXPECT_EQ(SocketStack->WaitReadable(&readList, &writeList, nullptr, 1000), 2);
    EXPECT_EQ(readList, std::vector<int>{pair[0]});
    EXPECT_EQ(writeList, std::vector<int>{quiet[0]});
    std::vector<int> nothingReady{quiet[0]};
    EXPECT_EQ(SocketStack->WaitReadable(&nothingReady, nullptr, nullptr, 10), 0);
    EXPECT_TRUE(nothingReady.empty());
    for (int handle : {pair[0], pair[1], quiet[0], quiet[1]}) {
        close(handle);
    }
}

} // namespace
