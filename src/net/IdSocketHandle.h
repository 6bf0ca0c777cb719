#pragma once

#include <string>

#include "net/IdStack.h"

class EIdSocketHandleError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdCouldNotBindSocket : public EIdSocketHandleError {
public:
    EIdCouldNotBindSocket()
        : EIdSocketHandleError("Could not bind socket. Address and port are already in use.")
    {
    }
};

class EIdConnectTimeout : public EIdSocketHandleError {
public:
    EIdConnectTimeout() : EIdSocketHandleError("The server did not answer the connection request in time.") {}
};

class EIdReadTimeout : public EIdSocketHandleError {
public:
    EIdReadTimeout() : EIdSocketHandleError("The server did not answer in time.") {}
};

class EIdWriteTimeout : public EIdSocketHandleError {
public:
    EIdWriteTimeout() : EIdSocketHandleError("The server did not take the data in time.") {}
};

class EIdCommandCancelled : public EIdSocketHandleError {
public:
    EIdCommandCancelled() : EIdSocketHandleError("The command was cancelled.") {}
};

// One socket with its local and peer addresses. All calls pass through SocketStack.
class TIdSocketHandle {
public:
    TIdSocketHandle() = default;
    // Closes an open socket.
    ~TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

    TIdStackSocketHandle Handle() const { return handle_; }
    bool HasHandle() const { return hasHandle_; }

    // Local address; before binding, the address and port to bind to (empty and 0 = any).
    std::string IP;
    int Port = 0;
    std::string PeerAddress;
    int PeerPortNumber = 0;

    void AllocateHandle(int type, int protocol);
    void ReleaseHandle(bool resetLocal = true);
    void BindLocal();
    // Returns the stack's result, which the caller checks. With a time-out the connect does not
    // block: it waits like IsReadable, so the program stays responsive while a host is silent,
    // raises EIdConnectTimeout when the time runs out and the socket error of a refused attempt.
    int ConnectToPeer(int family, int timeoutMs = IdTimeoutInfinite);
    void SetPeerAddress(const std::string& address, int port);
    // Forgets the socket and the addresses without closing anything.
    void ClearAddresses(bool resetLocal);
    // Waits for input for at most timeoutMs (IdTimeoutInfinite: no limit), keeping the program
    // responsive between wait slices. Raises EIdConnClosedGracefully when no socket is open, also
    // when a handler run during the wait closed it.
    // A wait that Cancel ended raises EIdCommandCancelled instead.
    bool IsReadable(int timeoutMs);
    bool IsWritable(int timeoutMs);
    // Waits like IsReadable, but for another descriptor to become readable (a name lookup's
    // answer): closing or cancelling this socket ends the wait all the same.
    bool IsOtherReadable(TIdStackSocketHandle descriptor, int timeoutMs);
    // Makes the wait in progress (a handler running inside it calls this) and every later one on
    // this socket raise EIdCommandCancelled; the owner closes the socket. A new socket forgets it.
    void Cancel() { cancelled_ = true; }
    bool Cancelled() const { return cancelled_; }
    // Sends what fits without waiting (possibly nothing: -1 with "would block"); IsWritable waits.
    long Send(const void* data, std::size_t length);
    long Receive(void* buffer, std::size_t length);
    void SetSockOpt(int level, int option, const void* value, int length);

private:
    void ReadLocalAddress();
    void ReadPeerAddress();
    bool Wait(TIdStackSocketHandle descriptor, bool forWriting, int timeoutMs);
    // Raises when the socket was closed or the wait cancelled, also by a handler run meanwhile.
    void CheckWaitable() const;

    TIdStackSocketHandle handle_ = Id_INVALID_SOCKET;
    bool hasHandle_ = false;
    bool cancelled_ = false;
};
