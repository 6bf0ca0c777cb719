#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/IdException.h"

// A socket as the operating system names it.
using TIdStackSocketHandle = int;
constexpr TIdStackSocketHandle Id_INVALID_SOCKET = -1;
// A time-out value that waits without limit.
constexpr int IdTimeoutInfinite = -2;
// The most sockets one readability list may hold.
constexpr std::size_t IdMaxSocketsPerSet = 64;

// Error numbers of the socket layer used by name elsewhere.
constexpr int Id_WSAESHUTDOWN = 10058;
constexpr int Id_WSAEADDRINUSE = 10048;
constexpr int Id_WSAEWOULDBLOCK = 10035;
constexpr int Id_WSAEINPROGRESS = 10036;
// A host name that no lookup could resolve.
constexpr int Id_WSAHOST_NOT_FOUND = 11001;
constexpr int Id_WSATRY_AGAIN = 11002;

class EIdStackError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdStackCanNotLoadWinsock : public EIdException {
public:
    explicit EIdStackCanNotLoadWinsock(const std::string& library)
        : EIdException(library + " could not be loaded.")
    {
    }
};

class EIdStackInitializationFailed : public EIdStackError {
public:
    EIdStackInitializationFailed() : EIdStackError("Winsock Initialization Error.") {}
};

class EIdStackSetSizeExceeded : public EIdStackError {
public:
    EIdStackSetSizeExceeded() : EIdStackError("Set Size Exceeded.") {}
};

class EIdInvalidSocket : public EIdException {
public:
    EIdInvalidSocket() : EIdException("Cannot allocate socket.") {}
};

class EIdSocketError : public EIdException {
public:
    EIdSocketError(int errorCode, const std::string& message)
        : EIdException(message), SocketErrorCode(errorCode)
    {
    }
    int SocketErrorCode;
};

class EIdConnClosedGracefully : public EIdSilentException {
public:
    EIdConnClosedGracefully() : EIdSilentException("Connection Closed Gracefully.") {}
};

// The text of a socket error number; the empty text for a number outside the table.
std::string SocketErrorText(int errorNumber);

// Maps an errno value onto the socket layer's 10000-based numbering. Values that have no
// counterpart keep their own number, which lies outside the table.
int SocketErrorFromErrno(int errnoValue);

// Family, address text and port of one end of a socket.
struct TIdSocketAddress {
    int Family = 0;
    std::string IP;
    int Port = 0;
};

// The process-wide gateway to the operating system's sockets: every socket call of every
// connection passes through it, and failed calls become exceptions with fixed texts.
class TIdStack {
public:
    virtual ~TIdStack() = default;

    virtual TIdStackSocketHandle OpenSocket(int type, int protocol) = 0;
    virtual int BindSocket(TIdStackSocketHandle handle, int family, const std::string& ip, int port) = 0;
    virtual int ConnectSocket(TIdStackSocketHandle handle, int family, const std::string& ip, int port) = 0;
    virtual int ShutdownSocket(TIdStackSocketHandle handle, int direction) = 0;
    virtual int CloseSocketHandle(TIdStackSocketHandle handle) = 0;
    virtual long SendData(TIdStackSocketHandle handle, const void* data, std::size_t length, int flags) = 0;
    virtual long ReceiveData(TIdStackSocketHandle handle, void* buffer, std::size_t length, int flags) = 0;
    // Each list (may be null) keeps only its ready sockets on return. Returns the number of
    // ready sockets, 0 on time-out or -1 on failure. timeoutMs IdTimeoutInfinite waits without limit.
    virtual int WaitReadable(std::vector<TIdStackSocketHandle>* readList,
                             std::vector<TIdStackSocketHandle>* writeList,
                             std::vector<TIdStackSocketHandle>* errorList, int timeoutMs) = 0;
    virtual int SetSocketOption(TIdStackSocketHandle handle, int level, int option, const void* value,
                                int length) = 0;
    virtual int GetSocketAddress(TIdStackSocketHandle handle, TIdSocketAddress& address) = 0;
    virtual int GetPeerSocketAddress(TIdStackSocketHandle handle, TIdSocketAddress& address) = 0;
    virtual std::string LocalHostName() = 0;
    virtual std::string HostToAddress(const std::string& name) = 0;
    virtual int LastSocketError() const = 0;
    // Switches a socket between waiting and non-waiting calls; -1 on failure.
    virtual int SetBlocking(TIdStackSocketHandle handle, bool blocking);
    // How a non-waiting connect ended, in this layer's error numbering; 0 when it succeeded.
    virtual int PendingConnectError(TIdStackSocketHandle handle);

    std::string ResolveHostName(const std::string& host);
    static bool IsDottedIPv4(const std::string& text);
    static uint32_t DottedToAddress(const std::string& text); // the four bytes, first piece first in memory
    static std::string AddressToText(uint32_t address);

    static uint16_t HostToNetwork(uint16_t value);
    static uint32_t HostToNetwork(uint32_t value);
    static uint16_t NetworkToHost(uint16_t value);
    static uint32_t NetworkToHost(uint32_t value);

    // False when result is not -1; true when the last error is one of the tolerated ones;
    // raises EIdSocketError otherwise.
    bool CheckSocketResult(long result, const std::vector<int>& tolerated = {});
    [[noreturn]] static void RaiseSocketFailure(int errorNumber);
};

// The stack over the POSIX socket interface.
class TIdStackPosix final : public TIdStack {
public:
    TIdStackSocketHandle OpenSocket(int type, int protocol) override;
    int BindSocket(TIdStackSocketHandle handle, int family, const std::string& ip, int port) override;
    int ConnectSocket(TIdStackSocketHandle handle, int family, const std::string& ip, int port) override;
    int ShutdownSocket(TIdStackSocketHandle handle, int direction) override;
    int CloseSocketHandle(TIdStackSocketHandle handle) override;
    long SendData(TIdStackSocketHandle handle, const void* data, std::size_t length, int flags) override;
    long ReceiveData(TIdStackSocketHandle handle, void* buffer, std::size_t length, int flags) override;
    int WaitReadable(std::vector<TIdStackSocketHandle>* readList,
                     std::vector<TIdStackSocketHandle>* writeList,
                     std::vector<TIdStackSocketHandle>* errorList, int timeoutMs) override;
    int SetSocketOption(TIdStackSocketHandle handle, int level, int option, const void* value,
                        int length) override;
    int GetSocketAddress(TIdStackSocketHandle handle, TIdSocketAddress& address) override;
    int GetPeerSocketAddress(TIdStackSocketHandle handle, TIdSocketAddress& address) override;
    std::string LocalHostName() override;
    std::string HostToAddress(const std::string& name) override;
    int LastSocketError() const override { return lastError_; }

private:
    // Records the mapped errno when result is -1 and passes result on.
    template <typename T> T Recorded(T result);

    int lastError_ = 0;
};

// The one stack of the process, present while any network component exists.
extern std::unique_ptr<TIdStack> SocketStack;
