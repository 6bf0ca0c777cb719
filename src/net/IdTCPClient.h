#pragma once

#include <string>

#include "net/IdTCPConnection.h"

class EIdAlreadyConnected : public EIdException {
public:
    EIdAlreadyConnected() : EIdException("Already connected.") {}
};

class EIdSocksError : public EIdException {
public:
    using EIdException::EIdException;
};

// NOLINTBEGIN(bugprone-macro-parentheses): the argument is a class name.
#define QUIETPANE_SOCKS_ERROR(name, text)                                                                    \
    class name : public EIdSocksError {                                                                      \
    public:                                                                                                  \
        name() : EIdSocksError(text) {}                                                                      \
    };

// NOLINTEND(bugprone-macro-parentheses)

QUIETPANE_SOCKS_ERROR(EIdSocksRequestFailed, "Request rejected or failed.")
QUIETPANE_SOCKS_ERROR(EIdSocksRequestServerFailed, "Request rejected because SOCKS server cannot connect.")
QUIETPANE_SOCKS_ERROR(EIdSocksRequestIdentFailed,
                      "Request rejected because the client program and identd report different user-ids.")
QUIETPANE_SOCKS_ERROR(EIdSocksUnknownError, "Unknown socks error.")
QUIETPANE_SOCKS_ERROR(EIdSocksServerRespondError, "Socks server did not respond.")
QUIETPANE_SOCKS_ERROR(EIdSocksAuthMethodError, "Invalid socks authentication method.")
QUIETPANE_SOCKS_ERROR(EIdSocksAuthError, "Authentication error to socks server.")
QUIETPANE_SOCKS_ERROR(EIdSocksServerGeneralError, "General SOCKS server failure.")
QUIETPANE_SOCKS_ERROR(EIdSocksServerPermissionError, "Connection not allowed by ruleset.")
QUIETPANE_SOCKS_ERROR(EIdSocksServerNetUnreachableError, "Network unreachable.")
QUIETPANE_SOCKS_ERROR(EIdSocksServerHostUnreachableError, "Host unreachable.")
QUIETPANE_SOCKS_ERROR(EIdSocksServerConnectionRefusedError, "Connection refused.")
QUIETPANE_SOCKS_ERROR(EIdSocksServerTTLExpiredError, "TTL expired.")
QUIETPANE_SOCKS_ERROR(EIdSocksServerCommandError, "Command not supported.")
QUIETPANE_SOCKS_ERROR(EIdSocksServerAddressError, "Address type not supported.")

#undef QUIETPANE_SOCKS_ERROR

enum TSocksVersion { svNoSocks, svSocks4, svSocks4A, svSocks5 };
enum TSocksAuthentication { saNoAuthentication, saUsernamePassword };

// The SOCKS proxy a client connects through.
struct TSocksInfo {
    TSocksVersion Version = svNoSocks;
    std::string Host;
    int Port = 0;
    TSocksAuthentication Authentication = saNoAuthentication;
    std::string UserID;
    std::string Password;
};

// A connection that opens itself: resolves, binds, connects (optionally through a SOCKS proxy)
// and announces each step through the status event.
class TIdTCPClient : public TIdTCPConnection {
public:
    std::string Host;
    int Port = 0;
    // Local address to bind before connecting; empty = any.
    std::string BoundIP;
    // False sets the TCP no-delay option.
    bool UseNagle = true;
    TSocksInfo SocksInfo;
    TNotifyEvent OnConnected;

    virtual void NotifyConnected();
    // ConnectTimeout bounds the name lookup and the connect together.
    virtual void Connect();

protected:
    // Through a proxy the server is the target host, not the proxy: a proxy on this machine
    // still sends everything on over the network.
    bool PeerIsLoopback() override;

private:
    // The address of host within timeoutMs, with events running; a disconnect or cancel during
    // the wait ends it.
    std::string Resolve(const std::string& host, int timeoutMs);
    void NegotiateSocks4();
    void NegotiateSocks5();
    // A read during SOCKS 5 negotiation; any failure means the proxy did not answer properly.
    std::string ReadSocks5Reply(std::size_t count);
};
