#include "net/IdSocketHandle.h"

#include <sys/socket.h>

#include "net/IdAntiFreeze.h"

TIdSocketHandle::~TIdSocketHandle()
{
    ReleaseHandle();
}

void TIdSocketHandle::AllocateHandle(int type, int protocol)
{
    ReleaseHandle();
    const TIdStackSocketHandle handle = SocketStack->OpenSocket(type, protocol);
    if (handle == Id_INVALID_SOCKET) {
        throw EIdInvalidSocket();
    }
    handle_ = handle;
    hasHandle_ = true;
}

void TIdSocketHandle::ReleaseHandle(bool resetLocal)
{
    if (!hasHandle_) {
        return;
    }
    hasHandle_ = false;
    SocketStack->ShutdownSocket(handle_, SHUT_WR);
    SocketStack->CloseSocketHandle(handle_);
    ClearAddresses(resetLocal);
}

void TIdSocketHandle::BindLocal()
{
    if (SocketStack->BindSocket(handle_, AF_INET, IP, Port) == -1) {
        if (SocketStack->LastSocketError() == Id_WSAEADDRINUSE) {
            throw EIdCouldNotBindSocket();
        }
        TIdStack::RaiseSocketFailure(SocketStack->LastSocketError());
    }
    ReadLocalAddress();
}

int TIdSocketHandle::ConnectToPeer(int family)
{
    const int result = SocketStack->ConnectSocket(handle_, family, PeerAddress, PeerPortNumber);
    if (result != -1) {
        ReadLocalAddress();
        ReadPeerAddress();
    }
    return result;
}

void TIdSocketHandle::SetPeerAddress(const std::string& address, int port)
{
    PeerAddress = address;
    PeerPortNumber = port;
}

void TIdSocketHandle::ClearAddresses(bool resetLocal)
{
    hasHandle_ = false;
    handle_ = Id_INVALID_SOCKET;
    if (resetLocal) {
        IP.clear();
        Port = 0;
    }
    PeerAddress.clear();
    PeerPortNumber = 0;
}

bool TIdSocketHandle::IsReadable(int timeoutMs)
{
    if (!hasHandle_) {
        throw EIdConnClosedGracefully();
    }
    const TIdAntiFreezeBase* antiFreeze = CurrentAntiFreeze;
    if (antiFreeze != nullptr && antiFreeze->Active) {
        // Wait in slices so that pending events run between them.
        const int slice = antiFreeze->IdleTimeOut;
        if (timeoutMs == IdTimeoutInfinite) {
            while (!IsReadable(slice)) {
            }
            return true;
        }
        if (timeoutMs > slice) {
            if (IsReadable(timeoutMs - slice)) {
                return true;
            }
            timeoutMs = slice;
        }
    }
    std::vector<TIdStackSocketHandle> readList{handle_};
    const bool ready = SocketStack->WaitReadable(&readList, nullptr, nullptr, timeoutMs) == 1;
    TIdAntiFreezeBase::KeepResponsive(!ready);
    return ready;
}

long TIdSocketHandle::Send(const void* data, std::size_t length)
{
    return SocketStack->SendData(handle_, data, length, 0);
}

long TIdSocketHandle::Receive(void* buffer, std::size_t length)
{
    return SocketStack->ReceiveData(handle_, buffer, length, 0);
}

void TIdSocketHandle::SetSockOpt(int level, int option, const void* value, int length)
{
    SocketStack->CheckSocketResult(SocketStack->SetSocketOption(handle_, level, option, value, length));
}

void TIdSocketHandle::ReadLocalAddress()
{
    TIdSocketAddress address;
    SocketStack->CheckSocketResult(SocketStack->GetSocketAddress(handle_, address));
    IP = address.IP;
    Port = address.Port;
}

void TIdSocketHandle::ReadPeerAddress()
{
    TIdSocketAddress address;
    SocketStack->CheckSocketResult(SocketStack->GetPeerSocketAddress(handle_, address));
    PeerAddress = address.IP;
    PeerPortNumber = address.Port;
}
