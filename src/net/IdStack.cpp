#include "net/IdStack.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "net/IdGlobal.h"
#include "net/IdNameLookup.h"

std::unique_ptr<TIdStack> SocketStack;

namespace {

struct ErrorEntry {
    int number;
    const char* text;
};

constexpr std::array<ErrorEntry, 38> errorTexts{{
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
}};

constexpr std::array<std::pair<int, int>, 39> errnoNumbers{{
    {EINTR, 10004},
    {EBADF, 10009},
    {EACCES, 10013},
    {EFAULT, 10014},
    {EINVAL, 10022},
    {EMFILE, 10024},
    {EWOULDBLOCK, 10035},
    {EINPROGRESS, 10036},
    {EALREADY, 10037},
    {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},
    {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},
    {ENETUNREACH, 10051},
    {ENETRESET, 10052},
    {ECONNABORTED, 10053},
    {ECONNRESET, 10054},
    {ENOBUFS, 10055},
    {EISCONN, 10056},
    {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},
    // Sending after the connection was shut down: the same condition as above.
    {EPIPE, 10058},
    {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},
    {ELOOP, 10062},
    {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065},
    {ENOTEMPTY, 10066},
}};

sockaddr_in MakeAddress(int family, const std::string& ip, int port)
{
    sockaddr_in address{};
    address.sin_family = static_cast<sa_family_t>(family);
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = ip.empty() ? htonl(INADDR_ANY) : TIdStack::DottedToAddress(ip);
    return address;
}

void ReadAddress(const sockaddr_in& address, TIdSocketAddress& result)
{
    result.Family = address.sin_family;
    result.IP = TIdStack::AddressToText(address.sin_addr.s_addr);
    result.Port = ntohs(address.sin_port);
}

// getsockname or getpeername into an address.
int QueryAddress(int (*query)(int, sockaddr*, socklen_t*), TIdStackSocketHandle handle,
                 TIdSocketAddress& result)
{
    sockaddr_in raw{};
    socklen_t length = sizeof raw;
    const int status = query(handle, reinterpret_cast<sockaddr*>(&raw), &length);
    if (status == 0) {
        ReadAddress(raw, result);
    }
    return status;
}

int ParseAddressPiece(const std::string& piece)
{
    int value = 0;
    if (!TryStrToInt(piece, value)) {
        throw std::invalid_argument("'" + piece + "' is not a valid integer value");
    }
    return value;
}

} // namespace

std::string SocketErrorText(int errorNumber)
{
    for (const ErrorEntry& entry : errorTexts) {
        if (entry.number == errorNumber) {
            return entry.text;
        }
    }
    return {};
}

int SocketErrorFromErrno(int errnoValue)
{
    for (const auto& [errnoNumber, socketNumber] : errnoNumbers) {
        if (errnoNumber == errnoValue) {
            return socketNumber;
        }
    }
    return errnoValue;
}

std::string TIdStack::ResolveHostName(const std::string& host)
{
    if (SameTextNoCase(host, "LOCALHOST")) {
        return "127.0.0.1";
    }
    if (IsDottedIPv4(host)) {
        return host;
    }
    return HostToAddress(host);
}

bool TIdStack::IsDottedIPv4(const std::string& text)
{
    std::string rest = text;
    for (int piece = 0; piece < 4; ++piece) {
        const std::string token = piece < 3 ? CutToken(rest, ".") : rest;
        int value = 0;
        if (!TryStrToInt(token, value) || value < 0 || value > 255) {
            return false;
        }
    }
    return true;
}

uint32_t TIdStack::DottedToAddress(const std::string& text)
{
    std::string rest = text;
    std::array<uint8_t, 4> bytes{};
    for (std::size_t piece = 0; piece < bytes.size(); ++piece) {
        bytes[piece] = static_cast<uint8_t>(ParseAddressPiece(piece < 3 ? CutToken(rest, ".") : rest));
    }
    uint32_t address = 0;
    std::memcpy(&address, bytes.data(), sizeof address);
    return address;
}

std::string TIdStack::AddressToText(uint32_t address)
{
    std::array<uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &address, sizeof address);
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
           std::to_string(bytes[3]);
}

uint16_t TIdStack::HostToNetwork(uint16_t value)
{
    return htons(value);
}
uint32_t TIdStack::HostToNetwork(uint32_t value)
{
    return htonl(value);
}
uint16_t TIdStack::NetworkToHost(uint16_t value)
{
    return ntohs(value);
}
uint32_t TIdStack::NetworkToHost(uint32_t value)
{
    return ntohl(value);
}

bool TIdStack::CheckSocketResult(long result, const std::vector<int>& tolerated)
{
    if (result != -1) {
        return false;
    }
    const int error = LastSocketError();
    for (int number : tolerated) {
        if (number == error) {
            return true;
        }
    }
    RaiseSocketFailure(error);
}

void TIdStack::RaiseSocketFailure(int errorNumber)
{
    throw EIdSocketError(errorNumber, "Socket Error # " + std::to_string(errorNumber) + "\r\n" +
                                          SocketErrorText(errorNumber));
}

template <typename T> T TIdStackPosix::Recorded(T result)
{
    if (result == -1) {
        lastError_ = SocketErrorFromErrno(errno);
    }
    return result;
}

TIdStackSocketHandle TIdStackPosix::OpenSocket(int type, int protocol)
{
    return Recorded(socket(AF_INET, type | SOCK_CLOEXEC, protocol));
}

int TIdStackPosix::BindSocket(TIdStackSocketHandle handle, int family, const std::string& ip, int port)
{
    const sockaddr_in address = MakeAddress(family, ip, port);
    return Recorded(bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

int TIdStackPosix::ConnectSocket(TIdStackSocketHandle handle, int family, const std::string& ip, int port)
{
    const sockaddr_in address = MakeAddress(family, ip, port);
    int result;
    do {
        result = connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result == -1 && errno == EINTR);
    return Recorded(result);
}

int TIdStackPosix::ShutdownSocket(TIdStackSocketHandle handle, int direction)
{
    return Recorded(shutdown(handle, direction));
}

int TIdStackPosix::CloseSocketHandle(TIdStackSocketHandle handle)
{
    return Recorded(close(handle));
}

long TIdStackPosix::SendData(TIdStackSocketHandle handle, const void* data, std::size_t length, int flags)
{
    // Without MSG_NOSIGNAL a write to a connection the peer has dropped raises SIGPIPE and ends the
    // process; with it the write fails with EPIPE, which the caller reports as an exception.
    ssize_t result;
    do {
        result = send(handle, data, length, flags | MSG_NOSIGNAL);
    } while (result == -1 && errno == EINTR);
    return Recorded(static_cast<long>(result));
}

long TIdStackPosix::ReceiveData(TIdStackSocketHandle handle, void* buffer, std::size_t length, int flags)
{
    ssize_t result;
    do {
        result = recv(handle, buffer, length, flags);
    } while (result == -1 && errno == EINTR);
    return Recorded(static_cast<long>(result));
}

int TIdStackPosix::WaitReadable(std::vector<TIdStackSocketHandle>* readList,
                                std::vector<TIdStackSocketHandle>* writeList,
                                std::vector<TIdStackSocketHandle>* errorList, int timeoutMs)
{
    struct Watched {
        std::vector<TIdStackSocketHandle>* list;
        short events;
    };
    const std::array<Watched, 3> lists{{{readList, POLLIN}, {writeList, POLLOUT}, {errorList, POLLPRI}}};
    std::vector<pollfd> polled;
    for (const Watched& watched : lists) {
        if (watched.list == nullptr) {
            continue;
        }
        if (watched.list->size() > IdMaxSocketsPerSet) {
            throw EIdStackSetSizeExceeded();
        }
        for (TIdStackSocketHandle handle : *watched.list) {
            polled.push_back({handle, watched.events, 0});
        }
    }
    const int result =
        Recorded(poll(polled.data(), polled.size(), timeoutMs == IdTimeoutInfinite ? -1 : timeoutMs));
    if (result < 0) {
        return result;
    }
    int ready = 0;
    std::size_t index = 0;
    for (const Watched& watched : lists) {
        if (watched.list == nullptr) {
            continue;
        }
        std::vector<TIdStackSocketHandle> readyHandles;
        for (TIdStackSocketHandle handle : *watched.list) {
            const short events = polled[index++].revents;
            // A hung-up or failed socket is reported ready, so that the next call shows why.
            const short readyEvents =
                watched.events == POLLPRI ? POLLPRI : watched.events | POLLHUP | POLLERR;
            if ((events & readyEvents) != 0) {
                readyHandles.push_back(handle);
            }
        }
        ready += static_cast<int>(readyHandles.size());
        *watched.list = std::move(readyHandles);
    }
    return ready;
}

int TIdStackPosix::SetSocketOption(TIdStackSocketHandle handle, int level, int option, const void* value,
                                   int length)
{
    return Recorded(setsockopt(handle, level, option, value, static_cast<socklen_t>(length)));
}

int TIdStackPosix::GetSocketAddress(TIdStackSocketHandle handle, TIdSocketAddress& address)
{
    return Recorded(QueryAddress(&getsockname, handle, address));
}

int TIdStackPosix::GetPeerSocketAddress(TIdStackSocketHandle handle, TIdSocketAddress& address)
{
    return Recorded(QueryAddress(&getpeername, handle, address));
}

int TIdStack::SetBlocking(TIdStackSocketHandle handle, bool blocking)
{
    const int flags = fcntl(handle, F_GETFL);
    if (flags == -1) {
        return -1;
    }
    return fcntl(handle, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
}

int TIdStack::PendingConnectError(TIdStackSocketHandle handle)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) == -1) {
        error = errno;
    }
    return error == 0 ? 0 : SocketErrorFromErrno(error);
}

std::string TIdStackPosix::LocalHostName()
{
    std::array<char, 250> name{};
    gethostname(name.data(), name.size() - 1);
    return name.data();
}

std::string TIdStackPosix::HostToAddress(const std::string& name)
{
    std::string address;
    const int status = LookUpIPv4(name, address);
    if (status != 0) {
        lastError_ = status == EAI_AGAIN ? Id_WSATRY_AGAIN : Id_WSAHOST_NOT_FOUND;
        RaiseSocketFailure(lastError_);
    }
    return address;
}
