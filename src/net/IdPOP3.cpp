#include "net/IdPOP3.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "net/IdGlobal.h"

namespace {

constexpr int16_t OkCode = 1; // "+OK"
constexpr int16_t AnyCode = -1;

// The text after the first blank, or the whole text when it has none.
std::string AfterFirstBlank(const std::string& text)
{
    const std::size_t blank = text.find(' ');
    return blank == std::string::npos ? text : text.substr(blank + 1);
}

} // namespace

TIdPOP3::TIdPOP3()
{
    Port = 110;
}

void TIdPOP3::Connect()
{
    TIdTCPClient::Connect();
    try {
        if (Port == ImplicitTLSPort) {
            StartTLS(Host);
        }
        ReadReply({OkCode});
        if (!TLSActive() && OffersSTLS()) {
            SendCommand("STLS", OkCode);
            StartTLS(Host);
        }
        CheckPasswordMayTravel();
        SendCommand("USER " + UserId, OkCode);
        SendCommand("PASS " + Password, OkCode);
    } catch (...) {
        // A failure of the disconnect itself is what the caller then sees.
        Disconnect();
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

bool TIdPOP3::OffersSTLS()
{
    // A server without CAPA answers "-ERR" and lists nothing.
    if (SendCommand("CAPA", AnyCode) != OkCode) {
        return false;
    }
    std::vector<std::string> capabilities;
    TIdStringListSink sink(capabilities);
    CaptureLines(&sink);
    return std::any_of(capabilities.begin(), capabilities.end(),
                       [](const std::string& line) { return SameTextNoCase(Trim(line), "STLS"); });
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
    try {
        SendCommand("LIST", OkCode);
        long long total = 0;
        for (std::string line = ReadLine(); line != "." && !line.empty(); line = ReadLine()) {
            total += StrToIntDef(AfterFirstBlank(line), 0);
        }
        return total > INT_MAX ? INT_MAX : static_cast<int>(total);
    } catch (const std::exception&) {
        return -1;
    }
}

int TIdPOP3::MessageSize(int n)
{
    try {
        SendCommand("LIST " + std::to_string(n), OkCode);
        const std::string reply = LastReply();
        if (reply.empty()) {
            return -1;
        }
        return StrToIntDef(AfterFirstBlank(reply.substr(std::min<std::size_t>(4, reply.size()))), -1);
    } catch (const std::exception&) {
        return -1;
    }
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
