#include "net/IdSocketHandle.h"

#include <sys/socket.h>

#include <algorithm>

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
    cancelled_ = false;
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

int TIdSocketHandle::ConnectToPeer(int family, int timeoutMs)
{
    const bool limited = timeoutMs != IdTimeoutInfinite;
    if (limited) {
        SocketStack->CheckSocketResult(SocketStack->SetBlocking(handle_, false));
    }
    int result = SocketStack->ConnectSocket(handle_, family, PeerAddress, PeerPortNumber);
    if (limited) {
        if (result == -1 && SocketStack->LastSocketError() == Id_WSAEINPROGRESS) {
            if (!IsWritable(timeoutMs)) {
                throw EIdConnectTimeout();
            }
            const int error = SocketStack->PendingConnectError(handle_);
            if (error != 0) {
                TIdStack::RaiseSocketFailure(error);
            }
            result = 0;
        }
        SocketStack->CheckSocketResult(SocketStack->SetBlocking(handle_, true));
    }
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
    return Wait(handle_, false, timeoutMs);
}

bool TIdSocketHandle::IsWritable(int timeoutMs)
{
    return Wait(handle_, true, timeoutMs);
}

bool TIdSocketHandle::IsOtherReadable(TIdStackSocketHandle descriptor, int timeoutMs)
{
    return Wait(descriptor, false, timeoutMs);
}

void TIdSocketHandle::CheckWaitable() const
{
    if (cancelled_) {
        throw EIdCommandCancelled();
    }
    if (!hasHandle_) {
        throw EIdConnClosedGracefully();
    }
}

bool TIdSocketHandle::Wait(TIdStackSocketHandle descriptor, bool forWriting, int timeoutMs)
{
    int remaining = timeoutMs == IdTimeoutInfinite ? IdTimeoutInfinite : std::max(timeoutMs, 0);
    for (;;) {
        CheckWaitable();
        int slice = remaining;
        const TIdAntiFreezeBase* antiFreeze = CurrentAntiFreeze;
        if (antiFreeze != nullptr && antiFreeze->Active) {
            // Wait in slices so that pending events run between them; the odd part comes first.
            const int idle = antiFreeze->IdleTimeOut;
            if (remaining == IdTimeoutInfinite) {
                slice = idle;
            } else if (remaining > idle && idle > 0) {
                slice = remaining % idle == 0 ? idle : remaining % idle;
            }
        }
        std::vector<TIdStackSocketHandle> list{descriptor};
        const bool ready = (forWriting ? SocketStack->WaitReadable(nullptr, &list, nullptr, slice)
                                       : SocketStack->WaitReadable(&list, nullptr, nullptr, slice)) == 1;
        TIdAntiFreezeBase::KeepResponsive(!ready);
        CheckWaitable();
        if (ready) {
            return true;
        }
        if (remaining != IdTimeoutInfinite) {
            remaining -= slice;
            if (remaining <= 0) {
                return false;
            }
        }
    }
}

long TIdSocketHandle::Send(const void* data, std::size_t length)
{
    return SocketStack->SendData(handle_, data, length, MSG_DONTWAIT);
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
