#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/IdComponent.h"
#include "net/IdDeadline.h"
#include "net/IdSSLOpenSSL.h"
#include "net/IdSocketHandle.h"

class EIdTCPConnectionError : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdNotEnoughDataInBuffer : public EIdTCPConnectionError {
public:
    EIdNotEnoughDataInBuffer() : EIdTCPConnectionError("Not enough data in buffer.") {}
};

class EIdObjectTypeNotSupported : public EIdTCPConnectionError {
public:
    EIdObjectTypeNotSupported() : EIdTCPConnectionError("Object type not supported.") {}
};

class EIdNoDataToRead : public EIdTCPConnectionError {
public:
    EIdNoDataToRead() : EIdTCPConnectionError("No data to read.") {}
};

class EIdInterceptPropIsNil : public EIdTCPConnectionError {
public:
    EIdInterceptPropIsNil()
        : EIdTCPConnectionError("InterceptEnabled cannot be set to true when Intercept is nil.")
    {
    }
};

// A line grew beyond MaxLineLength without its terminator.
class EIdReadLineMaxLineLengthExceeded : public EIdTCPConnectionError {
public:
    EIdReadLineMaxLineLengthExceeded() : EIdTCPConnectionError("Max line length exceeded.") {}
};

// A reply or capability list longer than any server needs; the connection is dropped.
class EIdTooManyReplyLines : public EIdTCPConnectionError {
public:
    EIdTooManyReplyLines() : EIdTCPConnectionError("The server's reply has too many lines.") {}
};

// Endless blank lines instead of a reply; the connection is dropped.
class EIdTooManyBlankLines : public EIdTCPConnectionError {
public:
    EIdTooManyBlankLines() : EIdTCPConnectionError("The server sent too many blank lines.") {}
};

// The server spoke while no command was waiting for it (an idle session's "421 ..."): what it
// said cannot answer the next command, so the session is over.
class EIdServerEndedSession : public EIdTCPConnectionError {
public:
    explicit EIdServerEndedSession(const std::string& said)
        : EIdTCPConnectionError("The server ended the session: " + said)
    {
    }
};

class EIdProtocolReplyError : public EIdException {
public:
    EIdProtocolReplyError(int16_t replyCode, const std::string& lastReply)
        : EIdException(lastReply), ErrorReplyCode(replyCode)
    {
    }
    int16_t ErrorReplyCode;
};

using TIdReplyCodes = std::vector<int16_t>;

// A growable byte buffer consumed from the front. Consuming only moves a start mark; the
// remainder is moved to the front only when room is needed at the end, so every byte is moved
// a bounded number of times on average.
class TIdBuffer {
public:
    std::size_t Size() const { return end_ - begin_; }
    bool Empty() const { return end_ == begin_; }
    const char* Data() const { return storage_.get() + begin_; }
    std::string_view View() const { return {Data(), Size()}; }

    void Append(const char* data, std::size_t count);
    // Room for count more bytes at the end; CommitAppend makes the bytes written there part of the buffer.
    char* PrepareAppend(std::size_t count);
    void CommitAppend(std::size_t count) { end_ += count; }
    void Remove(std::size_t count);
    void Clear();

private:
    std::unique_ptr<char[]> storage_;
    std::size_t capacity_ = 0;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

// Where CaptureLines stores the lines of a block.
class TIdLineSink {
public:
    virtual ~TIdLineSink() = default;
    virtual void AddLine(std::string_view line) = 0;
    // Several lines at once, each followed by CR LF; the same as AddLine of each. A sink that
    // stores bytes takes them as they are.
    virtual void AddCrLfLines(std::string_view lines);
    // Called when the block has ended, also when it ended with an exception.
    virtual void Flush() {}
};

// Appends every line as an item of a string list.
class TIdStringListSink final : public TIdLineSink {
public:
    explicit TIdStringListSink(std::vector<std::string>& list) : list_(list) {}
    void AddLine(std::string_view line) override { list_.emplace_back(line); }

private:
    std::vector<std::string>& list_;
};

// Hands every line as its bytes followed by CR LF to a byte consumer (a stream, a decoder). Lines
// that need no change reach the consumer straight from the input in large pieces; single lines
// are gathered into chunks first, because one call per short line costs more than the copy.
class TIdByteStreamSink final : public TIdLineSink {
public:
    static constexpr std::size_t ChunkSize = 16384;

    explicit TIdByteStreamSink(std::function<void(std::string_view bytes)> write);
    explicit TIdByteStreamSink(std::ostream& stream);
    void AddLine(std::string_view line) override;
    void AddCrLfLines(std::string_view lines) override;
    void Flush() override;

private:
    void Gather(std::string_view bytes);

    std::function<void(std::string_view bytes)> write_;
    std::string pending_;
};

class TIdConnectionIntercept;

// A blocking, buffered, line-oriented TCP connection. Waits happen in the socket layer's
// readability test, which keeps the program responsive.
class TIdTCPConnection : public TIdComponent {
public:
    TIdTCPConnection();
    ~TIdTCPConnection() override;

    // Lines a reply, a capability list or the blank lines before a reply may have at most.
    static constexpr std::size_t kMaxReplyLines = 1000;

    // Settings.
    int RecvBufferSize = 32768;
    int SendBufferSize = 32768;
    // Longest line ReadLine accepts; a longer one drops the connection and raises.
    std::size_t MaxLineLength = std::size_t{16} * 1024 * 1024;
    bool ASCIIFilter = false;
    // How long a connect (with its name lookup) and a read wait for the server, in ms;
    // IdTimeoutInfinite waits for ever. A command's reply must come whole within ReadTimeout; a
    // long transfer (a message) may take longer while no gap in it does. Running out closes the
    // connection and raises.
    int ConnectTimeout = 20000;
    int ReadTimeout = 60000;
    TIdConnectionIntercept* Intercept() const { return intercept_; }
    void SetIntercept(TIdConnectionIntercept* intercept);
    bool InterceptEnabled() const { return interceptEnabled_; }
    void SetInterceptEnabled(bool enabled);

    TNotifyEvent OnDisconnected;

    // State.
    TIdSocketHandle& SocketHandle() { return socketHandle_; }
    const TIdBuffer& InputBuffer() const { return inputBuffer_; }
    bool PeerClosed() const { return peerClosed_; }
    bool ReadTimedOut() const { return readTimedOut_; }
    const std::vector<std::string>& ReplyLines() const { return replyLines_; }
    std::string LastReply() const { return replyLines_.empty() ? std::string() : replyLines_.back(); }
    int16_t ReplyCode() const { return replyCode_; }
    // False when a line of the last reply was neither "+OK", "-ERR" nor a three-digit code. Such
    // a reply, when refused, also closes the connection.
    bool ReplyWellFormed() const { return replyWellFormed_; }

    virtual void NotifyDisconnected();
    virtual void ClearConnectionState();
    virtual void CheckPeerClosed(bool raiseIfClosed, bool ignoreBuffer);
    virtual int16_t CheckReplyCode(int16_t code, const TIdReplyCodes& accepted);
    // Also notices a peer that has closed since the last call.
    virtual bool Connected();
    virtual void Disconnect();
    // Ends the command waiting on this connection (called by a handler that runs inside its
    // wait) with EIdCommandCancelled, and closes the connection without a word to the server.
    virtual void Cancel();
    virtual void DropConnection();
    virtual std::string TakeInput(std::size_t count);
    virtual int16_t ReadReply(const TIdReplyCodes& accepted);
    [[noreturn]] virtual void RaiseReplyError();
    // One receive, into destination when given, else into the receive chunk. Returns the byte
    // count, 0 when nothing came within the time-out.
    virtual int FillInputBuffer(bool raiseIfClosed, int timeoutMs = IdTimeoutInfinite,
                                std::span<char> destination = {}, bool appendToInput = true);
    // The next line without its terminator; LF when terminator is empty, and then a CR before
    // the LF is dropped too. Returns "" with ReadTimedOut set when no data came.
    virtual std::string ReadLine(const std::string& terminator = "", int timeoutMs = IdTimeoutInfinite);
    virtual void DiscardInput(std::size_t count);
    // Raises EIdServerEndedSession, with the connection closed, when the server has said
    // something since the last reply: it would pass for the answer to this command.
    virtual int16_t SendCommand(const std::string& text, const TIdReplyCodes& accepted);
    int16_t SendCommand(const std::string& text, int16_t code);
    virtual void WriteText(const std::string& text);
    virtual void WriteLine(const std::string& text);
    virtual void WriteStreamContent(std::istream& stream, bool fromStart, bool withLength);

    std::string ReadNonEmptyLine();
    // The lines of a reply's listing up to "." (a capability list), within the reply limits.
    std::vector<std::string> ReadReplyListing();
    void ReadExact(void* destination, std::size_t count);
    // Reads lines up to the delimiter line (consumed, not stored). With unstuff a leading ".."
    // loses its first dot. A null destination drops the lines.
    void CaptureLines(TIdLineSink* destination, const std::string& delimiter = ".", bool unstuff = true);
    void WriteBytes(const void* data, std::size_t count);
    void WriteLines(const std::vector<std::string>& lines);
    void WriteInt32(int32_t value, bool networkOrder = true);

    // TLS. After StartTLS everything sent and received is encrypted until the connection closes.
    // Certificates trusted beside the system's store (PEM), for a server with a private CA.
    std::string TLSCAFile;
    // The handshake on the open connection; the certificate must name peerName (a host name or
    // an address). Nothing of the plain-text dialogue may be left unread: it would pass for
    // encrypted input.
    void StartTLS(const std::string& peerName);
    bool TLSActive() const { return tls_ != nullptr; }
    const TIdSSLSession* TLSSession() const { return tls_.get(); }
    // Raises EIdTLSRequired when a password sent now would cross a network unencrypted.
    void CheckPasswordMayTravel();
    // Raises EIdTLSRequired with the refusal ("the message is not sent", ...) when the session
    // would go on over a network unencrypted.
    void CheckSessionMayTravel(const std::string& refused);
    // The user's leave to talk without TLS to a server that is not on this machine (a plain
    // server on a local network), the login included; off unless the account allows it.
    bool AllowUnencrypted = false;

protected:
    // Whether the server is this machine; a test may present a loopback server as a remote one.
    virtual bool PeerIsLoopback();

private:
    // The socket's send and receive, through the TLS session when one is active. ReceiveRaw
    // returns TIdSSLSession::kNoData when no data came within the time-out.
    long SendRaw(const char* data, std::size_t count);
    long ReceiveRaw(std::span<char> destination, int timeoutMs);
    bool TLSInputPending() const { return tls_ != nullptr && tls_->HasPendingInput(); }
    void EndTLS();

    // Like ReadLine, but the line stays in the input buffer: the view is valid until the next
    // buffer operation, and consumed tells how much to discard. Returns false when no data came.
    bool NextLine(std::string_view& line, std::size_t& consumed, const std::string& terminator,
                  int timeoutMs);
    // Stores the line found at the front of the input buffer and every further complete line
    // already buffered, then consumes them. Returns true when the delimiter line was among them.
    bool CaptureBufferedLines(TIdLineSink* destination, const std::string& delimiter, bool unstuff,
                              std::string_view line, std::size_t consumed);
    // Takes in whatever the peer sent without waiting, to learn whether it has closed.
    void ReceivePending();
    void FilterReceived(std::span<char> bytes) const;
    // Decrypts into the input buffer what the TLS session holds; false when the peer ended it.
    bool TakeDecrypted();
    // Runs read, whose waits for the server then end together within ReadTimeout.
    template <typename Read> auto WithinReplyTime(Read read);
    // Drops the connection with what it sent and raises: the server's input cannot be used.
    template <typename Error, typename... Arguments>
    [[noreturn]] void RejectInput(const Arguments&... arguments);

    TIdSocketHandle socketHandle_;
    TIdBuffer inputBuffer_;
    std::vector<char> receiveChunk_;
    // How far the terminator search got into the input buffer, so that a long line is scanned once.
    std::size_t scannedLength_ = 0;
    std::string scannedTerminator_;
    std::vector<std::string> replyLines_;
    int16_t replyCode_ = 0;
    bool replyWellFormed_ = true;
    bool peerClosed_ = false;
    bool readTimedOut_ = false;
    // Set while a command's reply is read: every wait for it ends by then.
    std::optional<TIdDeadline> replyDeadline_;
    TIdConnectionIntercept* intercept_ = nullptr;
    bool interceptEnabled_ = false;
    std::unique_ptr<TIdSSLSession> tls_;
    std::unique_ptr<TIdSSLSession> endedTls_;
};

// A hook that may watch a connection's data. No connection of this program attaches one; the
// settings exist, without effect.
class TIdConnectionIntercept : public TIdBaseComponent {};
