#pragma once

#include <memory>
#include <string>
#include <vector>

#include "net/IdException.h"

struct ssl_st;
struct ssl_ctx_st;
struct bio_st;
class TIdSocketHandle;

class EIdTLSError : public EIdException {
public:
    using EIdException::EIdException;
};

// The peer's certificate chain or its name did not check out; the reason is OpenSSL's.
class EIdTLSCertificateNotTrusted : public EIdTLSError {
public:
    explicit EIdTLSCertificateNotTrusted(const std::string& reason)
        : EIdTLSError("The server's certificate is not trusted: " + reason + ".")
    {
    }
};

// How a TLS session checks the server it talks to.
struct TIdTLSOptions {
    // The name the certificate must carry: a host name, or an address text for a server
    // reached by its address.
    std::string PeerName;
    // Certificates trusted beside the system's store (PEM); empty for the system's alone.
    std::string CAFile;
};

// A TLS 1.2+ client session over a connected socket. OpenSSL works on memory buffers and every
// byte on the wire still goes through the socket handle, so waits keep the program responsive
// and socket failures read as they do without TLS.
//
// Results of Receive and Send follow the socket's: a count, 0 when the peer has closed (or ended
// the session), -1 on a socket error (its number is the stack's last error). Failures of the
// protocol itself raise EIdTLSError.
//
// Cost: each byte received is copied once from the socket into OpenSSL's buffer and decrypted
// into the caller's; each byte sent is encrypted into a buffer and sent from there.
class TIdSSLSession {
public:
    // Receive found no complete record within the time-out.
    static constexpr long kNoData = -2;

    // Runs the handshake and checks the certificate against the system's trust store and the
    // peer name. Raises EIdTLSCertificateNotTrusted or EIdTLSError and leaves nothing behind.
    // timeoutMs bounds the whole handshake, and later each wait for room to send (EIdWriteTimeout).
    TIdSSLSession(TIdSocketHandle& socket, const TIdTLSOptions& options, int timeoutMs);
    ~TIdSSLSession();
    TIdSSLSession(const TIdSSLSession&) = delete;
    TIdSSLSession& operator=(const TIdSSLSession&) = delete;

    // Bytes received but not yet handed out: the socket's readability says nothing about them.
    bool HasPendingInput() const;
    // timeoutMs bounds the wait for a whole record, however slowly its bytes come.
    long Receive(char* destination, std::size_t size, int timeoutMs);
    // Decrypts what the engine already holds, without waiting: the count, 0 when no application
    // data is there (a session ticket is no data), -1 when the peer ended the session.
    long ReceiveBuffered(char* destination, std::size_t size);
    // Takes what the socket holds into the engine without decrypting it, for a socket known to
    // be readable: the count, or 0 when the peer has closed, -1 on a socket error.
    long TakeAvailable();
    // Encrypts and sends all of data; returns its size on success.
    long Send(const char* data, std::size_t size);
    // Tells the peer the session ends with at most one attempt that does not wait: a server that
    // stopped reading must not hold a close, and a close runs where nothing may raise.
    void Close() noexcept;
    // "TLSv1.3" and the like.
    std::string ProtocolVersion() const;

private:
    struct TContextFree {
        void operator()(ssl_ctx_st* context) const;
    };
    struct TSessionFree {
        void operator()(ssl_st* session) const;
    };

    void Handshake(int timeoutMs);
    // Sends what the engine has written; 1 when all went, else the socket's 0 or -1.
    long Flush();
    // One receive from the socket into the engine; the count, or 0, -1 or kNoData.
    long Feed(int timeoutMs);
    // Sets the name the certificate must carry; an empty name or one OpenSSL refuses raises.
    void ExpectPeerName(const std::string& name);
    [[noreturn]] void RaiseFailure(const std::string& step) const;

    TIdSocketHandle& socket_;
    // How long the server may take to answer or to make room for what is sent.
    int timeoutMs_;
    std::unique_ptr<ssl_ctx_st, TContextFree> context_;
    std::unique_ptr<ssl_st, TSessionFree> session_;
    // Owned by the session.
    bio_st* incoming_ = nullptr;
    bio_st* outgoing_ = nullptr;
    std::vector<char> chunk_;
};

// What a session may not do in clear text: the refusal names it.
class EIdTLSRequired : public EIdTLSError {
public:
    static constexpr const char* kPassword = "the password is not sent";
    static constexpr const char* kMessage = "the message is not sent";
    static constexpr const char* kMailbox = "the mailbox is not read";

    explicit EIdTLSRequired(const std::string& refused)
        : EIdTLSError("The server does not offer TLS: " + refused + " over the network unencrypted.")
    {
    }
};

// True for 127.0.0.0/8 and ::1: traffic to these never leaves the machine.
bool IsLoopbackAddress(const std::string& address);
