#include "protocols/IdPOP3.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "net/IdCommandArgument.h"
#include "net/IdGlobal.h"
#include "net/IdSocketHandle.h"

namespace {

constexpr int16_t OkCode = 1; // "+OK"
constexpr int16_t AnyCode = -1;

// Messages whose commands are on their way at most, when the server takes pipelined commands.
// Enough to cover a slow round trip; few enough that the commands fit the socket buffers.
constexpr int PipelineDepth = 64;

// The size in a listing line "number size [more]": the word after the first blank (the whole
// first word when there is no blank), fallback when it is no number.
int ListedSize(const std::string& listing, int fallback)
{
    const std::size_t blank = listing.find(' ');
    const std::string rest = blank == std::string::npos ? listing : listing.substr(blank + 1);
    return StrToIntDef(rest.substr(0, rest.find(' ')), fallback);
}

// The size in a reply "+OK number size [more]"; -1 when it has none.
int SizeInReply(const std::string& reply)
{
    return ListedSize(reply.substr(std::min<std::size_t>(4, reply.size())), -1);
}

} // namespace

TIdPOP3::TIdPOP3()
{
    Port = 110;
}

void TIdPOP3::Connect()
{
    CheckCommandArgument(UserId, "user name");
    CheckCommandArgument(Password, "password");
    capabilities_.reset();
    TIdTCPClient::Connect();
    try {
        if (Port == ImplicitTLSPort) {
            StartTLS(Host);
        }
        ReadReply({OkCode});
        if (!TLSActive() && Offers("STLS")) {
            SendCommand("STLS", OkCode);
            StartTLS(Host);
            // What the server offered before TLS no longer counts once it is up.
            capabilities_.reset();
        }
        CheckSessionMayTravel(EIdTLSRequired::kMailbox);
        SendCommand("USER " + UserId, OkCode);
        SendCommand("PASS " + Password, OkCode);
    } catch (...) {
        // A failure of the disconnect itself is what the caller then sees. A session that is
        // already closed (a time-out, a cancel) keeps its own failure.
        if (Connected()) {
            Disconnect();
        }
        throw;
    }
}

void TIdPOP3::Disconnect()
{
    try {
        WriteLine("Quit");
    } catch (...) {
        DropConnection();
        throw;
    }
    DropConnection();
}

int TIdPOP3::CountMessages()
{
    SendCommand("STAT", OkCode);
    const std::string reply = LastReply();
    if (reply.empty()) {
        return 0;
    }
    // "+OK count size": the count is what stands before the first blank after "+OK ".
    const std::string figures = reply.size() > 5 ? reply.substr(4, reply.size() - 5) : std::string();
    const std::size_t blank = figures.find(' ');
    const std::string count = blank == std::string::npos ? std::string() : figures.substr(0, blank);
    int value = 0;
    if (!TryStrToInt(count, value)) {
        throw std::invalid_argument("'" + count + "' is not a valid integer value");
    }
    return value;
}

int TIdPOP3::MailboxSize()
{
    if (SendCommand("LIST", AnyCode) != OkCode) {
        return -1;
    }
    long long total = 0;
    for (std::string line = ReadLine(); line != "." && !line.empty(); line = ReadLine()) {
        total += ListedSize(line, 0);
    }
    return total > INT_MAX ? INT_MAX : static_cast<int>(total);
}

int TIdPOP3::MessageSize(int n)
{
    if (SendCommand("LIST " + std::to_string(n), AnyCode) != OkCode) {
        return -1;
    }
    return SizeInReply(LastReply());
}

bool TIdPOP3::FetchHeader(int n, TIdMessage& message)
{
    try {
        SendCommand("TOP " + std::to_string(n) + " 0", OkCode);
        ReadMessageHeader(message);
        if (MessageEnded()) {
            return true;
        }
        std::string line;
        while ((line = ReadLine()).empty()) {
        }
        return line == ".";
    } catch (const std::exception&) {
        return false;
    }
}

bool TIdPOP3::FetchMessage(int n, TIdMessage& message)
{
    if (SendCommand("RETR " + std::to_string(n), AnyCode) == OkCode) {
        ReadMessageHeader(message);
        ReadMessageBody(message);
    }
    return ReplyCode() == OkCode;
}

bool TIdPOP3::DeleteMessage(int n)
{
    SendCommand("DELE " + std::to_string(n), OkCode);
    return true;
}

bool TIdPOP3::ResetDeletions()
{
    SendCommand("RSET", OkCode);
    return true;
}

void TIdPOP3::QuitAndAwaitDeletions(int timeoutMs)
{
    const TScopeExit drop([this] { DropConnection(); });
    try {
        WriteLine("QUIT");
        ReadLine({}, timeoutMs);
    } catch (const EIdCommandCancelled&) {
        throw;
    } catch (const EIdException&) {
        // The server closing without an answer ends the session just as well.
    }
}

bool TIdPOP3::OffersPipelining()
{
    return Offers("PIPELINING");
}

bool TIdPOP3::Offers(const std::string& capability)
{
    if (!capabilities_) {
        capabilities_.emplace();
        // A server without CAPA answers "-ERR" and lists nothing.
        if (SendCommand("CAPA", AnyCode) == OkCode) {
            *capabilities_ = ReadReplyListing();
        }
    }
    return std::any_of(capabilities_->begin(), capabilities_->end(),
                       [&](const std::string& line) { return SameTextNoCase(Trim(line), capability); });
}

void TIdPOP3::FetchHeaders(int first, int last, TIdMessage& message, const THeaderHandler& onHeader)
{
    try {
        const std::vector<int> numbers = first <= last ? ListedNumbers(first, last) : std::vector<int>{};
        if (!numbers.empty() && OffersPipelining()) {
            std::size_t unsent = 0;
            for (std::size_t index = 0; index < numbers.size(); ++index) {
                // Topped up in batches, so that one write carries many commands.
                if (unsent < numbers.size() && unsent - index <= PipelineDepth / 2) {
                    std::string batch;
                    for (; unsent < numbers.size() && unsent < index + PipelineDepth; ++unsent) {
                        const std::string number = std::to_string(numbers[unsent]);
                        batch += "TOP " + number + " 0\r\nLIST " + number + "\r\n";
                    }
                    WriteText(batch);
                }
                ReadHeaderListing(numbers[index], true, message, onHeader);
            }
        } else {
            for (const int number : numbers) {
                ReadHeaderListing(number, false, message, onHeader);
            }
        }
    } catch (...) {
        // Replies to commands already sent may be on their way: the session is out of step.
        DropConnection();
        throw;
    }
}

std::vector<int> TIdPOP3::ListedNumbers(int first, int last)
{
    SendCommand("LIST", OkCode);
    std::vector<int> numbers;
    for (std::string line = ReadLine(); line != "."; line = ReadLine()) {
        const int number = StrToIntDef(line.substr(0, line.find(' ')), 0);
        // Servers list in ascending order; a number out of it or repeated is not asked for twice.
        if (number >= first && number <= last && (numbers.empty() || number > numbers.back())) {
            numbers.push_back(number);
        }
    }
    return numbers;
}

void TIdPOP3::ReadHeaderListing(int number, bool pipelined, TIdMessage& message,
                                const THeaderHandler& onHeader)
{
    message.Clear();
    if (!pipelined) {
        WriteLine("TOP " + std::to_string(number) + " 0");
    }
    if (ReadListingReply()) {
        ReadMessageHeader(message);
        if (!MessageEnded()) {
            // Whatever stands between the header block and the end line belongs to this reply.
            while (ReadLine() != ".") {
            }
        }
    }
    if (!pipelined) {
        WriteLine("LIST " + std::to_string(number));
    }
    const int size = ReadListingReply() ? SizeInReply(LastReply()) : -1;
    onHeader(number, message, size);
}

bool TIdPOP3::ReadListingReply()
{
    // A refusal is an answer too; garbage is not, and leaves the pipeline out of step.
    if (ReadReply({}) != OkCode && !ReplyWellFormed()) {
        RaiseReplyError();
    }
    return ReplyCode() == OkCode;
}
