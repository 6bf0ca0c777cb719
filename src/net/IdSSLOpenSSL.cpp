#include "net/IdSSLOpenSSL.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <climits>

#include "net/IdDeadline.h"
#include "net/IdSocketHandle.h"

namespace {

// Room for one full TLS record and its overhead, so one receive usually completes a record.
constexpr std::size_t kChunkSize = 65536;

// OpenSSL's reason for the last failure on this thread; empty when it gave none.
std::string LastOpenSSLReason()
{
    const unsigned long error = ERR_peek_last_error();
    if (error == 0) {
        return {};
    }
    char text[256];
    ERR_error_string_n(error, text, sizeof text);
    // "error:0A000086:SSL routines::certificate verify failed": the reason is the last field.
    const std::string full = text;
    return full.substr(full.rfind(':') + 1);
}

bool IsAddressText(const std::string& name)
{
    in6_addr address{};
    return inet_pton(AF_INET, name.c_str(), &address) == 1 ||
           inet_pton(AF_INET6, name.c_str(), &address) == 1;
}

int ClampedSize(std::size_t size)
{
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

} // namespace

void TIdSSLSession::TContextFree::operator()(ssl_ctx_st* context) const
{
    SSL_CTX_free(context);
}

void TIdSSLSession::TSessionFree::operator()(ssl_st* session) const
{
    SSL_free(session);
}

TIdSSLSession::TIdSSLSession(TIdSocketHandle& socket, const TIdTLSOptions& options, int timeoutMs)
    : socket_(socket), timeoutMs_(timeoutMs), chunk_(kChunkSize)
{
    ERR_clear_error();
    context_.reset(SSL_CTX_new(TLS_client_method()));
    if (!context_) {
        RaiseFailure("TLS set-up failed");
    }
    SSL_CTX_set_min_proto_version(context_.get(), TLS1_2_VERSION);
    // A renegotiation would let a server start a second handshake in the middle of a command.
    SSL_CTX_set_options(context_.get(), SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_verify(context_.get(), SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(context_.get());
    if (!options.CAFile.empty() &&
        SSL_CTX_load_verify_locations(context_.get(), options.CAFile.c_str(), nullptr) != 1) {
        throw EIdTLSError("The certificate file " + options.CAFile + " cannot be read.");
    }
    session_.reset(SSL_new(context_.get()));
    if (!session_) {
        RaiseFailure("TLS set-up failed");
    }
    incoming_ = BIO_new(BIO_s_mem());
    outgoing_ = BIO_new(BIO_s_mem());
    if (incoming_ == nullptr || outgoing_ == nullptr) {
        BIO_free(incoming_);
        BIO_free(outgoing_);
        RaiseFailure("TLS set-up failed");
    }
    // An empty memory buffer means "no data yet", not the end of input.
    BIO_set_mem_eof_return(incoming_, -1);
    SSL_set_bio(session_.get(), incoming_, outgoing_);
    ExpectPeerName(options.PeerName);
    Handshake(timeoutMs);
}

void TIdSSLSession::ExpectPeerName(const std::string& name)
{
    // Without a name to check, any trusted certificate would pass.
    if (name.empty()) {
        throw EIdTLSError("TLS set-up failed: no server name to check the certificate against.");
    }
    if (IsAddressText(name)) {
        if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(session_.get()), name.c_str()) != 1) {
            RaiseFailure("TLS set-up failed");
        }
        return;
    }
    // A certificate that names its hosts is not also taken for the name in its subject.
    SSL_set_hostflags(session_.get(),
                      X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
    if (SSL_set1_host(session_.get(), name.c_str()) != 1 ||
        SSL_set_tlsext_host_name(session_.get(), name.c_str()) != 1) {
        RaiseFailure("TLS set-up failed");
    }
}

TIdSSLSession::~TIdSSLSession() = default;

void TIdSSLSession::Handshake(int timeoutMs)
{
    // A server that sends one byte now and then must not hold the handshake open for ever.
    const TIdDeadline deadline(timeoutMs);
    for (;;) {
        ERR_clear_error();
        const int result = SSL_connect(session_.get());
        const int error = SSL_get_error(session_.get(), result);
        // The engine's answer goes out before anything is read: the server waits for it.
        const long flushed = Flush();
        if (result == 1 && flushed == 1) {
            return;
        }
        if (flushed != 1) {
            throw EIdTLSError("TLS handshake failed: the connection was lost.");
        }
        if (error != SSL_ERROR_WANT_READ) {
            const long verification = SSL_get_verify_result(session_.get());
            if (verification != X509_V_OK) {
                throw EIdTLSCertificateNotTrusted(X509_verify_cert_error_string(verification));
            }
            RaiseFailure("TLS handshake failed");
        }
        const long fed = Feed(deadline.RemainingMs());
        if (fed == kNoData) {
            throw EIdTLSError("TLS handshake failed: the server did not answer.");
        }
        if (fed == 0) {
            throw EIdTLSError("TLS handshake failed: the server closed the connection.");
        }
        if (fed < 0) {
            throw EIdTLSError("TLS handshake failed: the connection was lost.");
        }
    }
}

bool TIdSSLSession::HasPendingInput() const
{
    return SSL_pending(session_.get()) > 0 || BIO_ctrl_pending(incoming_) > 0;
}

long TIdSSLSession::Receive(char* destination, std::size_t size, int timeoutMs)
{
    const TIdDeadline deadline(timeoutMs);
    for (;;) {
        ERR_clear_error();
        const int count = SSL_read(session_.get(), destination, ClampedSize(size));
        if (count > 0) {
            return count;
        }
        const int error = SSL_get_error(session_.get(), count);
        // Reading may make the engine answer (a key update).
        const long flushed = Flush();
        if (flushed != 1) {
            return flushed;
        }
        if (error == SSL_ERROR_ZERO_RETURN) {
            return 0;
        }
        if (error != SSL_ERROR_WANT_READ) {
            RaiseFailure("TLS receive failed");
        }
        const long fed = Feed(deadline.RemainingMs());
        if (fed <= 0) {
            return fed;
        }
    }
}

long TIdSSLSession::ReceiveBuffered(char* destination, std::size_t size)
{
    ERR_clear_error();
    const int count = SSL_read(session_.get(), destination, ClampedSize(size));
    if (count > 0) {
        return count;
    }
    switch (SSL_get_error(session_.get(), count)) {
    case SSL_ERROR_WANT_READ:
        return 0;
    case SSL_ERROR_ZERO_RETURN:
        return -1;
    default:
        RaiseFailure("TLS receive failed");
    }
}

long TIdSSLSession::Send(const char* data, std::size_t size)
{
    ERR_clear_error();
    // Memory buffers take any amount, so a write is whole or fails.
    const int count = SSL_write(session_.get(), data, ClampedSize(size));
    if (count <= 0) {
        RaiseFailure("TLS send failed");
    }
    const long flushed = Flush();
    return flushed == 1 ? count : flushed;
}

void TIdSSLSession::Close() noexcept
{
    ERR_clear_error();
    SSL_shutdown(session_.get());
    const int count = BIO_read(outgoing_, chunk_.data(), ClampedSize(chunk_.size()));
    if (count > 0) {
        // What does not fit the socket's buffer now is dropped: the connection closes anyway.
        socket_.Send(chunk_.data(), static_cast<std::size_t>(count));
    }
    ERR_clear_error();
}

std::string TIdSSLSession::ProtocolVersion() const
{
    return SSL_get_version(session_.get());
}

long TIdSSLSession::Flush()
{
    while (BIO_ctrl_pending(outgoing_) > 0) {
        const int count = BIO_read(outgoing_, chunk_.data(), ClampedSize(chunk_.size()));
        for (int position = 0; position < count;) {
            const long sent =
                socket_.Send(chunk_.data() + position, static_cast<std::size_t>(count - position));
            if (sent == -1 && SocketStack->LastSocketError() == Id_WSAEWOULDBLOCK) {
                // The engine has taken the bytes already: they must go out, however long the
                // server takes to make room for them.
                if (!socket_.IsWritable(timeoutMs_)) {
                    throw EIdWriteTimeout();
                }
                continue;
            }
            if (sent <= 0) {
                return sent;
            }
            position += static_cast<int>(sent);
        }
    }
    return 1;
}

long TIdSSLSession::Feed(int timeoutMs)
{
    return socket_.IsReadable(timeoutMs) ? TakeAvailable() : kNoData;
}

long TIdSSLSession::TakeAvailable()
{
    const long count = socket_.Receive(chunk_.data(), chunk_.size());
    if (count > 0) {
        BIO_write(incoming_, chunk_.data(), static_cast<int>(count));
    }
    return count;
}

void TIdSSLSession::RaiseFailure(const std::string& step) const
{
    const std::string reason = LastOpenSSLReason();
    ERR_clear_error();
    throw EIdTLSError(reason.empty() ? step + "." : step + ": " + reason + ".");
}

bool IsLoopbackAddress(const std::string& address)
{
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    return inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}
