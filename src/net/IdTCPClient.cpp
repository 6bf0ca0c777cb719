#include "net/IdTCPClient.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "net/IdCommandArgument.h"
#include "net/IdDeadline.h"
#include "net/IdGlobal.h"
#include "net/IdNameLookup.h"

namespace {

// A port in network order as two bytes.
std::string PortBytes(int port)
{
    return {static_cast<char>((port >> 8) & 0xFF), static_cast<char>(port & 0xFF)};
}

std::string AddressBytes(const std::string& dottedAddress)
{
    const uint32_t address = TIdStack::DottedToAddress(dottedAddress);
    return std::string(reinterpret_cast<const char*>(&address), sizeof address);
}

// A SOCKS 5 field is preceded by its length in one byte; a longer text cannot be sent.
std::string LengthPrefixed(const std::string& text)
{
    if (text.size() > 255) {
        throw EIdSocksError("SOCKS field longer than 255 bytes.");
    }
    return static_cast<char>(text.size()) + text;
}

} // namespace

void TIdTCPClient::NotifyConnected()
{
    if (OnConnected) {
        OnConnected(*this);
    }
}

void TIdTCPClient::Connect()
{
    if (SocketHandle().HasHandle()) {
        throw EIdAlreadyConnected();
    }
    CheckCommandArgument(Host, "host name");
    const TIdDeadline deadline(ConnectTimeout);
    ClearConnectionState();
    SocketHandle().AllocateHandle(SOCK_STREAM, 0);
    try {
        SocketHandle().IP = BoundIP;
        SocketHandle().BindLocal();
        const bool viaSocks = SocksInfo.Version != svNoSocks;
        const std::string& host = viaSocks ? SocksInfo.Host : Host;
        const int port = viaSocks ? SocksInfo.Port : Port;
        SocketHandle().SetPeerAddress(Resolve(host, deadline.RemainingMs()), port);
        if (!UseNagle) {
            const int noDelay = 1;
            SocketHandle().SetSockOpt(IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        }
        ReportStatus(stConnecting, SocketHandle().PeerAddress);
        SocketStack->CheckSocketResult(SocketHandle().ConnectToPeer(AF_INET, deadline.RemainingMs()));
    } catch (...) {
        try {
            Disconnect();
        } catch (...) {
        }
        throw;
    }
    if (SocksInfo.Version == svSocks4 || SocksInfo.Version == svSocks4A) {
        NegotiateSocks4();
    } else if (SocksInfo.Version == svSocks5) {
        NegotiateSocks5();
    }
    ReportStatus(stConnected, SocketHandle().PeerAddress);
    NotifyConnected();
}

std::string TIdTCPClient::Resolve(const std::string& host, int timeoutMs)
{
    if (TIdStack::IsDottedIPv4(host)) {
        return host;
    }
    ReportStatus(stResolving, host);
    if (SameTextNoCase(host, "LOCALHOST")) {
        return SocketStack->ResolveHostName(host);
    }
    const TIdNameLookup lookup(host);
    if (!SocketHandle().IsOtherReadable(lookup.Descriptor(), timeoutMs)) {
        throw EIdHostLookupTimeout(host);
    }
    return lookup.Address();
}

bool TIdTCPClient::PeerIsLoopback()
{
    if (SocksInfo.Version == svNoSocks) {
        return TIdTCPConnection::PeerIsLoopback();
    }
    // The proxy may look the name up itself: only a name that is this machine by itself counts.
    return SameTextNoCase(Host, "LOCALHOST") || IsLoopbackAddress(Host);
}

void TIdTCPClient::NegotiateSocks4()
{
    const bool remoteLookup = SocksInfo.Version == svSocks4A;
    std::string request = {4, 1};
    request += PortBytes(Port);
    request += remoteLookup ? std::string{0, 0, 0, 1} : AddressBytes(Resolve(Host, ConnectTimeout));
    request += SocksInfo.UserID + '\0';
    if (remoteLookup) {
        request += Host + '\0';
    }
    WriteBytes(request.data(), request.size());
    char reply[8];
    ReadExact(reply, sizeof reply);
    switch (static_cast<unsigned char>(reply[1])) {
    case 90:
        return;
    case 91:
        throw EIdSocksRequestFailed();
    case 92:
        throw EIdSocksRequestServerFailed();
    case 93:
        throw EIdSocksRequestIdentFailed();
    default:
        throw EIdSocksUnknownError();
    }
}

std::string TIdTCPClient::ReadSocks5Reply(std::size_t count)
{
    std::string reply(count, '\0');
    try {
        ReadExact(reply.data(), count);
    } catch (const EIdException&) {
        throw EIdSocksServerRespondError();
    }
    return reply;
}

void TIdTCPClient::NegotiateSocks5()
{
    const char method = SocksInfo.Authentication == saUsernamePassword ? 2 : 0;
    const std::string greeting = {5, 1, method};
    WriteBytes(greeting.data(), greeting.size());
    const std::string chosen = ReadSocks5Reply(2);
    if (chosen[1] != method || static_cast<unsigned char>(chosen[1]) == 255) {
        throw EIdSocksAuthMethodError();
    }
    if (method == 2) {
        const std::string login =
            '\1' + LengthPrefixed(SocksInfo.UserID) + LengthPrefixed(SocksInfo.Password);
        WriteBytes(login.data(), login.size());
        if (ReadSocks5Reply(2)[1] != 0) {
            throw EIdSocksAuthError();
        }
    }
    const std::string request = std::string{5, 1, 0, 3} + LengthPrefixed(Host) + PortBytes(Port);
    WriteBytes(request.data(), request.size());
    const std::string reply = ReadSocks5Reply(5);
    switch (reply[1]) {
    case 0:
        break;
    case 1:
        throw EIdSocksServerGeneralError();
    case 2:
        throw EIdSocksServerPermissionError();
    case 3:
        throw EIdSocksServerNetUnreachableError();
    case 4:
        throw EIdSocksServerHostUnreachableError();
    case 5:
        throw EIdSocksServerConnectionRefusedError();
    case 6:
        throw EIdSocksServerTTLExpiredError();
    case 7:
        throw EIdSocksServerCommandError();
    case 8:
        throw EIdSocksServerAddressError();
    default:
        throw EIdSocksUnknownError();
    }
    // The rest of the bound address, so that nothing of the reply is left for the protocol.
    std::size_t rest = 2;
    switch (reply[3]) {
    case 1:
        rest = 5;
        break;
    case 3:
        rest = static_cast<unsigned char>(reply[4]) + 2;
        break;
    case 4:
        rest = 17;
        break;
    }
    ReadSocks5Reply(rest);
}
