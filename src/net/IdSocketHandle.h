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
    // Returns the stack's result, which the caller checks.
    int ConnectToPeer(int family);
    void SetPeerAddress(const std::string& address, int port);
    // Forgets the socket and the addresses without closing anything.
    void ClearAddresses(bool resetLocal);
    // Waits for input for at most timeoutMs (IdTimeoutInfinite: no limit), keeping the program
    // responsive between wait slices. Raises EIdConnClosedGracefully when no socket is open, also
    // when a handler run during the wait closed it.
    bool IsReadable(int timeoutMs);
    long Send(const void* data, std::size_t length);
    long Receive(void* buffer, std::size_t length);
    void SetSockOpt(int level, int option, const void* value, int length);

private:
    void ReadLocalAddress();
    void ReadPeerAddress();

    TIdStackSocketHandle handle_ = Id_INVALID_SOCKET;
    bool hasHandle_ = false;
};
