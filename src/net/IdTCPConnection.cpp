#include "net/IdTCPConnection.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <ostream>

#include "net/IdAntiFreeze.h"
#include "net/IdGlobal.h"

namespace {

// A buffer this large is given back when emptied rather than kept for later reads.
constexpr std::size_t RetainedBufferCapacity = std::size_t{1024} * 1024;

const std::string DefaultLineTerminator = "\n";

// "+OK ...", "-ERR ..." or a three-digit code alone or followed by a blank or a dash.
bool WellFormedReplyLine(const std::string& line)
{
    if (SameTextNoCase(line.substr(0, 3), "+OK") || SameTextNoCase(line.substr(0, 4), "-ERR")) {
        return true;
    }
    const auto digit = [&line](std::size_t index) { return line[index] >= '0' && line[index] <= '9'; };
    return line.size() >= 3 && digit(0) && digit(1) && digit(2) &&
           (line.size() == 3 || line[3] == ' ' || line[3] == '-');
}

} // namespace

void TIdBuffer::Append(const char* data, std::size_t count)
{
    if (count == 0) {
        return;
    }
    std::memcpy(PrepareAppend(count), data, count);
    CommitAppend(count);
}

char* TIdBuffer::PrepareAppend(std::size_t count)
{
    if (capacity_ - end_ < count) {
        const std::size_t size = Size();
        if ((size + count) * 2 <= capacity_) {
            // At least half the capacity was consumed since the last move, so moving is amortised.
            std::memmove(storage_.get(), Data(), size);
        } else {
            const std::size_t capacity = std::max(capacity_ * 2, (size + count) * 2);
            std::unique_ptr<char[]> storage(new char[capacity]);
            if (size > 0) {
                std::memcpy(storage.get(), Data(), size);
            }
            storage_ = std::move(storage);
            capacity_ = capacity;
        }
        begin_ = 0;
        end_ = size;
    }
    return storage_.get() + end_;
}

void TIdBuffer::Remove(std::size_t count)
{
    if (count > Size()) {
        throw EIdNotEnoughDataInBuffer();
    }
    begin_ += count;
    if (begin_ == end_) {
        begin_ = end_ = 0;
    }
}

void TIdBuffer::Clear()
{
    begin_ = end_ = 0;
    if (capacity_ > RetainedBufferCapacity) {
        storage_.reset();
        capacity_ = 0;
    }
}

void TIdLineSink::AddCrLfLines(std::string_view lines)
{
    for (std::size_t end = lines.find('\n'); end != std::string_view::npos; end = lines.find('\n')) {
        AddLine(lines.substr(0, end - 1));
        lines.remove_prefix(end + 1);
    }
}

TIdByteStreamSink::TIdByteStreamSink(std::function<void(std::string_view bytes)> write)
    : write_(std::move(write))
{
    pending_.reserve(ChunkSize);
}

TIdByteStreamSink::TIdByteStreamSink(std::ostream& stream)
    : TIdByteStreamSink([&stream](std::string_view bytes) {
          stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      })
{
}

void TIdByteStreamSink::AddLine(std::string_view line)
{
    Gather(line);
    Gather("\r\n");
}

void TIdByteStreamSink::AddCrLfLines(std::string_view lines)
{
    Gather(lines);
}

void TIdByteStreamSink::Gather(std::string_view bytes)
{
    // Large pieces skip the gathering, but never overtake what is already gathered.
    const bool large = bytes.size() >= ChunkSize / 4;
    if (large || pending_.size() + bytes.size() > ChunkSize) {
        Flush();
    }
    if (large) {
        write_(bytes);
    } else {
        pending_.append(bytes);
    }
}

void TIdByteStreamSink::Flush()
{
    if (!pending_.empty()) {
        write_(pending_);
        pending_.clear();
    }
}

TIdTCPConnection::TIdTCPConnection() = default;

TIdTCPConnection::~TIdTCPConnection() = default;

void TIdTCPConnection::SetIntercept(TIdConnectionIntercept* intercept)
{
    intercept_ = intercept;
    if (intercept == nullptr) {
        interceptEnabled_ = false;
    }
}

void TIdTCPConnection::SetInterceptEnabled(bool enabled)
{
    if (enabled && intercept_ == nullptr) {
        throw EIdInterceptPropIsNil();
    }
    interceptEnabled_ = enabled;
}

void TIdTCPConnection::NotifyDisconnected()
{
    if (OnDisconnected) {
        OnDisconnected(*this);
    }
}

void TIdTCPConnection::ClearConnectionState()
{
    socketHandle_.ClearAddresses(true);
    inputBuffer_.Clear();
    scannedLength_ = 0;
    peerClosed_ = false;
    tls_.reset();
    endedTls_.reset();
}

void TIdTCPConnection::CheckPeerClosed(bool raiseIfClosed, bool ignoreBuffer)
{
    if (!peerClosed_ && socketHandle_.HasHandle()) {
        return;
    }
    if (socketHandle_.HasHandle()) {
        DropConnection();
    }
    if (raiseIfClosed && (ignoreBuffer || inputBuffer_.Empty())) {
        if (socketHandle_.Cancelled()) {
            throw EIdCommandCancelled();
        }
        throw EIdConnClosedGracefully();
    }
}

int16_t TIdTCPConnection::CheckReplyCode(int16_t code, const TIdReplyCodes& accepted)
{
    if (!accepted.empty() && std::find(accepted.begin(), accepted.end(), code) == accepted.end()) {
        if (!replyWellFormed_) {
            // Whatever follows cannot be matched to the commands any more.
            DropConnection();
        }
        RaiseReplyError();
    }
    return code;
}

template <typename Read> auto TIdTCPConnection::WithinReplyTime(Read read)
{
    if (replyDeadline_) {
        return read();
    }
    replyDeadline_.emplace(ReadTimeout);
    const TScopeExit endReply([this] { replyDeadline_.reset(); });
    return read();
}

template <typename Error, typename... Arguments>
void TIdTCPConnection::RejectInput(const Arguments&... arguments)
{
    inputBuffer_.Clear();
    scannedLength_ = 0;
    DropConnection();
    throw Error(arguments...);
}

bool TIdTCPConnection::Connected()
{
    ReceivePending();
    CheckPeerClosed(false, false);
    return socketHandle_.HasHandle();
}

void TIdTCPConnection::ReceivePending()
{
    // Bounded like a line: a server that keeps sending must not exhaust memory here either.
    while (!peerClosed_ && socketHandle_.HasHandle() && inputBuffer_.Size() <= MaxLineLength) {
        std::vector<TIdStackSocketHandle> list{socketHandle_.Handle()};
        if (SocketStack->WaitReadable(&list, nullptr, nullptr, 0) != 1) {
            return;
        }
        if (tls_) {
            // Decrypted here, so that what the server said while idle shows as it does in clear.
            peerClosed_ = tls_->TakeAvailable() <= 0 || !TakeDecrypted();
            continue;
        }
        char* destination = inputBuffer_.PrepareAppend(RecvBufferSize);
        const long received = socketHandle_.Receive(destination, static_cast<std::size_t>(RecvBufferSize));
        // A reset connection is as gone as a closed one.
        peerClosed_ = received <= 0;
        if (received > 0) {
            FilterReceived({destination, static_cast<std::size_t>(received)});
            inputBuffer_.CommitAppend(static_cast<std::size_t>(received));
        }
    }
}

bool TIdTCPConnection::TakeDecrypted()
{
    for (;;) {
        char* destination = inputBuffer_.PrepareAppend(RecvBufferSize);
        long received = 0;
        try {
            received = tls_->ReceiveBuffered(destination, static_cast<std::size_t>(RecvBufferSize));
        } catch (const EIdTLSError&) {
            return false;
        }
        if (received <= 0) {
            return received == 0;
        }
        FilterReceived({destination, static_cast<std::size_t>(received)});
        inputBuffer_.CommitAppend(static_cast<std::size_t>(received));
    }
}

void TIdTCPConnection::FilterReceived(std::span<char> bytes) const
{
    if (ASCIIFilter) {
        for (char& byte : bytes) {
            byte = static_cast<char>(byte & 0x7F);
        }
    }
}

void TIdTCPConnection::Disconnect()
{
    DropConnection();
}

void TIdTCPConnection::Cancel()
{
    socketHandle_.Cancel();
    // Nothing more of the command is read, not even what has already arrived.
    inputBuffer_.Clear();
    scannedLength_ = 0;
    DropConnection();
}

void TIdTCPConnection::DropConnection()
{
    if (!socketHandle_.HasHandle()) {
        return;
    }
    ReportStatus(stDisconnecting, socketHandle_.PeerAddress);
    EndTLS();
    socketHandle_.ReleaseHandle();
    peerClosed_ = true;
    ReportStatus(stDisconnected, socketHandle_.PeerAddress);
    NotifyDisconnected();
}

std::string TIdTCPConnection::TakeInput(std::size_t count)
{
    if (count > inputBuffer_.Size()) {
        throw EIdNotEnoughDataInBuffer();
    }
    std::string bytes(inputBuffer_.Data(), count);
    DiscardInput(count);
    return bytes;
}

int16_t TIdTCPConnection::ReadReply(const TIdReplyCodes& accepted)
{
    replyLines_.clear();
    WithinReplyTime([this] {
        std::string line = ReadNonEmptyLine();
        replyLines_.push_back(line);
        if (line.size() > 3 && line[3] == '-') {
            const std::string endPrefix = line.substr(0, 3) + " ";
            do {
                if (replyLines_.size() >= kMaxReplyLines) {
                    RejectInput<EIdTooManyReplyLines>();
                }
                line = ReadNonEmptyLine();
                replyLines_.push_back(line);
            } while (line.size() >= 4 && !SameTextNoCase(line.substr(0, 4), endPrefix));
        }
    });
    replyWellFormed_ = std::all_of(replyLines_.begin(), replyLines_.end(), WellFormedReplyLine);
    const std::string& last = replyLines_.back();
    if (SameTextNoCase(last.substr(0, 3), "+OK")) {
        replyCode_ = 1;
    } else if (SameTextNoCase(last.substr(0, 4), "-ERR")) {
        replyCode_ = 0;
    } else {
        replyCode_ = static_cast<int16_t>(StrToIntDef(last.substr(0, 3), 0));
    }
    return CheckReplyCode(replyCode_, accepted);
}

void TIdTCPConnection::RaiseReplyError()
{
    throw EIdProtocolReplyError(replyCode_, LastReply());
}

int TIdTCPConnection::FillInputBuffer(bool raiseIfClosed, int timeoutMs, std::span<char> destination,
                                      bool appendToInput)
{
    CheckPeerClosed(raiseIfClosed, false);
    if (!socketHandle_.HasHandle()) {
        return 0;
    }
    // Waiting without a limit of the caller's own is waiting for the server: its time is limited.
    const bool serverLimited = timeoutMs == IdTimeoutInfinite && ReadTimeout != IdTimeoutInfinite;
    const int serverMs = replyDeadline_ ? replyDeadline_->RemainingMs() : ReadTimeout;
    const int waitMs = serverLimited ? serverMs : timeoutMs;
    if (!TLSInputPending() && !socketHandle_.IsReadable(waitMs)) {
        if (serverLimited) {
            DropConnection();
            throw EIdReadTimeout();
        }
        return 0;
    }
    // Received straight into the input buffer when that is where the bytes go anyway.
    const bool intoInput = destination.empty() && appendToInput;
    if (intoInput) {
        destination = {inputBuffer_.PrepareAppend(RecvBufferSize), static_cast<std::size_t>(RecvBufferSize)};
    } else if (destination.empty()) {
        receiveChunk_.resize(RecvBufferSize);
        destination = receiveChunk_;
    }
    long received = ReceiveRaw(destination, waitMs);
    if (received == TIdSSLSession::kNoData) {
        // The socket had bytes, but no whole TLS record came within the time.
        if (serverLimited) {
            DropConnection();
            throw EIdReadTimeout();
        }
        return 0;
    }
    peerClosed_ = received == 0;
    if (received == -1) {
        const int error = SocketStack->LastSocketError();
        if (error != Id_WSAESHUTDOWN) {
            TIdStack::RaiseSocketFailure(error);
        }
        received = 0;
        DropConnection();
        if (inputBuffer_.Empty()) {
            TIdStack::RaiseSocketFailure(error);
        }
    }
    const auto count = static_cast<std::size_t>(received);
    FilterReceived(destination.first(count));
    if (intoInput) {
        inputBuffer_.CommitAppend(count);
    } else if (appendToInput) {
        inputBuffer_.Append(destination.data(), count);
    } else {
        AdvanceWork(wkRead, received);
    }
    CheckPeerClosed(raiseIfClosed, false);
    return static_cast<int>(received);
}

bool TIdTCPConnection::NextLine(std::string_view& line, std::size_t& consumed, const std::string& terminator,
                                int timeoutMs)
{
    const std::string& effective = terminator.empty() ? DefaultLineTerminator : terminator;
    readTimedOut_ = false;
    // A resumed search is only valid for the terminator it was made for.
    if (scannedLength_ > 0 && effective != scannedTerminator_) {
        scannedLength_ = 0;
    }
    // A terminator split across two receives starts before the end of what was scanned.
    const std::size_t overlap = effective.size() - 1;
    // Bytes that may still turn out to be terminator, or the CR dropped before a default one.
    const std::size_t slack = overlap + (terminator.empty() ? 1 : 0);
    for (;;) {
        const std::string_view data = inputBuffer_.View();
        const std::size_t from = scannedLength_ > overlap ? scannedLength_ - overlap : 0;
        const std::size_t position =
            effective.size() == 1 ? data.find(effective[0], from) : data.find(effective, from);
        if (position != std::string_view::npos) {
            line = data.substr(0, position);
            consumed = position + effective.size();
            if (terminator.empty() && line.ends_with('\r')) {
                line.remove_suffix(1);
            }
            if (line.size() > MaxLineLength) {
                RejectInput<EIdReadLineMaxLineLengthExceeded>();
            }
            return true;
        }
        if (data.size() > MaxLineLength + slack) {
            RejectInput<EIdReadLineMaxLineLengthExceeded>();
        }
        scannedLength_ = data.size();
        scannedTerminator_ = effective;
        CheckPeerClosed(true, true);
        if (FillInputBuffer(true, timeoutMs) == 0) {
            readTimedOut_ = true;
            return false;
        }
    }
}

std::string TIdTCPConnection::ReadLine(const std::string& terminator, int timeoutMs)
{
    std::string_view line;
    std::size_t consumed = 0;
    if (!NextLine(line, consumed, terminator, timeoutMs)) {
        return {};
    }
    std::string result(line);
    DiscardInput(consumed);
    return result;
}

void TIdTCPConnection::DiscardInput(std::size_t count)
{
    inputBuffer_.Remove(count);
    scannedLength_ = 0;
    AdvanceWork(wkRead, static_cast<int64_t>(count));
}

int16_t TIdTCPConnection::SendCommand(const std::string& text, const TIdReplyCodes& accepted)
{
    if (!text.empty()) {
        ReceivePending();
        if (!inputBuffer_.Empty()) {
            constexpr std::size_t kQuoted = 200;
            const std::string_view pending = inputBuffer_.View();
            RejectInput<EIdServerEndedSession>(
                std::string(pending.substr(0, std::min(pending.find_first_of("\r\n"), kQuoted))));
        }
        WriteLine(text);
    }
    return ReadReply(accepted);
}

int16_t TIdTCPConnection::SendCommand(const std::string& text, int16_t code)
{
    return SendCommand(text, code == -1 ? TIdReplyCodes{} : TIdReplyCodes{code});
}

void TIdTCPConnection::WriteText(const std::string& text)
{
    if (!text.empty()) {
        WriteBytes(text.data(), text.size());
    }
}

void TIdTCPConnection::WriteLine(const std::string& text)
{
    WriteText(text + "\r\n");
}

void TIdTCPConnection::WriteStreamContent(std::istream& stream, bool fromStart, bool withLength)
{
    if (fromStart) {
        stream.seekg(0, std::ios::beg);
    }
    int64_t position = stream.tellg();
    stream.seekg(0, std::ios::end);
    const int64_t size = stream.tellg();
    stream.seekg(position, std::ios::beg);
    const int64_t remaining = size - position;
    if (withLength) {
        WriteInt32(static_cast<int32_t>(remaining), true);
    }
    StartWork(wkWrite, remaining);
    const TScopeExit endWork([this] { FinishWork(wkWrite); });
    std::vector<char> chunk(std::max(SendBufferSize, 1));
    for (;;) {
        const int64_t wanted = std::min<int64_t>(size - position, static_cast<int64_t>(chunk.size()));
        if (wanted <= 0) {
            break;
        }
        stream.read(chunk.data(), wanted);
        const std::streamsize got = stream.gcount();
        if (got == 0) {
            throw EIdNoDataToRead();
        }
        WriteBytes(chunk.data(), static_cast<std::size_t>(got));
        position += got;
    }
}

std::string TIdTCPConnection::ReadNonEmptyLine()
{
    for (std::size_t blank = 0; blank <= kMaxReplyLines; ++blank) {
        std::string line = Trim(ReadLine());
        if (!line.empty()) {
            return line;
        }
    }
    RejectInput<EIdTooManyBlankLines>();
}

std::vector<std::string> TIdTCPConnection::ReadReplyListing()
{
    return WithinReplyTime([this] {
        std::vector<std::string> lines;
        for (std::string line = ReadLine(); line != "."; line = ReadLine()) {
            if (lines.size() >= kMaxReplyLines) {
                RejectInput<EIdTooManyReplyLines>();
            }
            lines.push_back(line.starts_with("..") ? line.substr(1) : line);
        }
        return lines;
    });
}

void TIdTCPConnection::ReadExact(void* destination, std::size_t count)
{
    if (count == 0 || destination == nullptr) {
        return;
    }
    while (inputBuffer_.Size() < count) {
        // Raises once the peer has closed, rather than waiting for bytes that cannot come.
        CheckPeerClosed(true, true);
        FillInputBuffer(true);
    }
    std::memcpy(destination, inputBuffer_.Data(), count);
    DiscardInput(count);
}

void TIdTCPConnection::CaptureLines(TIdLineSink* destination, const std::string& delimiter, bool unstuff)
{
    StartWork(wkRead, 0);
    const TScopeExit endWork([this] { FinishWork(wkRead); });
    try {
        for (bool ended = false; !ended;) {
            std::string_view line;
            std::size_t consumed = 0;
            if (NextLine(line, consumed, "", IdTimeoutInfinite)) {
                ended = CaptureBufferedLines(destination, delimiter, unstuff, line, consumed);
            } else if (!(ended = delimiter.empty()) && destination != nullptr) {
                // The peer closed in the middle of a line: an empty line, as ReadLine gives;
                // the next read raises.
                destination->AddLine("");
            }
        }
        if (destination != nullptr) {
            destination->Flush();
        }
    } catch (...) {
        // What was captured still reaches the destination; a second failure there changes nothing.
        try {
            if (destination != nullptr) {
                destination->Flush();
            }
        } catch (...) {
        }
        throw;
    }
}

bool TIdTCPConnection::CaptureBufferedLines(TIdLineSink* destination, const std::string& delimiter,
                                            bool unstuff, std::string_view line, std::size_t consumed)
{
    const std::string_view data = inputBuffer_.View();
    // Lines whose received bytes are exactly what the sink stores (the line and CR LF) form runs
    // that are handed over whole: [runStart, lineStart).
    std::size_t runStart = 0;
    std::size_t lineStart = 0;
    const auto flushRun = [&] {
        if (destination != nullptr && lineStart > runStart) {
            destination->AddCrLfLines(data.substr(runStart, lineStart - runStart));
        }
    };
    bool ended = false;
    for (;;) {
        const std::size_t lineEnd = lineStart + consumed;
        if (line == delimiter) {
            ended = true;
            flushRun();
            lineStart = lineEnd;
            break;
        }
        const bool stuffed = unstuff && line.starts_with("..");
        const bool verbatim =
            !stuffed && consumed == line.size() + 2 && data[lineStart + line.size()] == '\r';
        if (!verbatim) {
            flushRun();
            if (stuffed) {
                line.remove_prefix(1);
            }
            if (destination != nullptr) {
                destination->AddLine(line);
            }
            runStart = lineEnd;
        }
        lineStart = lineEnd;
        const std::size_t lineFeed = data.find('\n', lineStart);
        if (lineFeed == std::string_view::npos) {
            flushRun();
            break;
        }
        line = data.substr(lineStart, lineFeed - lineStart);
        consumed = line.size() + 1;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.size() > MaxLineLength) {
            flushRun();
            RejectInput<EIdReadLineMaxLineLengthExceeded>();
        }
    }
    DiscardInput(lineStart);
    return ended;
}

void TIdTCPConnection::WriteBytes(const void* data, std::size_t count)
{
    if (count == 0 || data == nullptr) {
        return;
    }
    const auto* bytes = static_cast<const char*>(data);
    std::size_t position = 0;
    while (position < count) {
        // Checked on every round: an event handler run after the previous send may have closed it.
        CheckPeerClosed(true, true);
        const long sent = SendRaw(bytes + position, count - position);
        if (sent == -1 && SocketStack->LastSocketError() == Id_WSAEWOULDBLOCK) {
            // A server that stops reading fills the socket buffers; waiting for room is waiting for it.
            if (!socketHandle_.IsWritable(ReadTimeout)) {
                DropConnection();
                throw EIdWriteTimeout();
            }
            continue;
        }
        TIdAntiFreezeBase::KeepResponsive(false);
        peerClosed_ = sent == 0;
        CheckPeerClosed(true, false);
        if (sent == -1) {
            const int error = SocketStack->LastSocketError();
            if (error == Id_WSAESHUTDOWN) {
                DropConnection();
            }
            TIdStack::RaiseSocketFailure(error);
        }
        AdvanceWork(wkWrite, sent);
        position += static_cast<std::size_t>(sent);
    }
}

void TIdTCPConnection::WriteLines(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        WriteLine(line);
    }
}

void TIdTCPConnection::WriteInt32(int32_t value, bool networkOrder)
{
    const auto raw = static_cast<uint32_t>(value);
    const uint32_t ordered = networkOrder ? TIdStack::HostToNetwork(raw) : raw;
    WriteBytes(&ordered, sizeof ordered);
}

// ---------------------------------------------------------------- TLS

void TIdTCPConnection::StartTLS(const std::string& peerName)
{
    CheckPeerClosed(true, true);
    if (!inputBuffer_.Empty()) {
        // Bytes the server sent before the handshake could be an attacker's commands.
        throw EIdTLSError("The server sent data before the TLS handshake.");
    }
    // A failed handshake leaves the connection to the caller's clean-up, as any failed command does.
    tls_ = std::make_unique<TIdSSLSession>(socketHandle_, TIdTLSOptions{peerName, TLSCAFile}, ReadTimeout);
}

void TIdTCPConnection::CheckPasswordMayTravel()
{
    CheckSessionMayTravel(EIdTLSRequired::kPassword);
}

void TIdTCPConnection::CheckSessionMayTravel(const std::string& refused)
{
    if (!TLSActive() && !AllowUnencrypted && !PeerIsLoopback()) {
        throw EIdTLSRequired(refused);
    }
}

bool TIdTCPConnection::PeerIsLoopback()
{
    return IsLoopbackAddress(socketHandle_.PeerAddress);
}

long TIdTCPConnection::SendRaw(const char* data, std::size_t count)
{
    if (!tls_) {
        return socketHandle_.Send(data, count);
    }
    // After a failed write or a refused record the session cannot go on.
    try {
        return tls_->Send(data, count);
    } catch (const EIdException&) {
        DropConnection();
        throw;
    }
}

long TIdTCPConnection::ReceiveRaw(std::span<char> destination, int timeoutMs)
{
    if (!tls_) {
        return socketHandle_.Receive(destination.data(), destination.size());
    }
    try {
        return tls_->Receive(destination.data(), destination.size(), timeoutMs);
    } catch (const EIdException&) {
        DropConnection();
        throw;
    }
}

void TIdTCPConnection::EndTLS()
{
    if (tls_) {
        tls_->Close();
        // A handler run while the session waits for the socket may close the connection: the
        // session lives on until the next connect, so that the wait returns into it.
        endedTls_ = std::move(tls_);
    }
}
