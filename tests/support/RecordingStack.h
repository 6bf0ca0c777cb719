#pragma once

#include <memory>
#include <string>
#include <vector>

#include "net/IdStack.h"

namespace quietpane::test {

// Stands in for the process-wide socket stack while it lives, passing every call to the real
// one and recording the time-outs of readability waits and the sizes of receives.
class RecordingStack : public TIdStack {
public:
    RecordingStack() : real_(std::move(SocketStack)) {}
    ~RecordingStack() override = default;

    // Installs a recorder as SocketStack; the real stack returns when the guard ends.
    class Installed {
    public:
        Installed()
        {
            auto recorder = std::make_unique<RecordingStack>();
            recorder_ = recorder.get();
            SocketStack = std::move(recorder);
        }
        ~Installed() { SocketStack = std::move(recorder_->real_); }
        RecordingStack& operator*() const { return *recorder_; }
        RecordingStack* operator->() const { return recorder_; }

    private:
        RecordingStack* recorder_ = nullptr;
    };

    std::vector<int> waitTimeouts;
    std::vector<long> receiveResults;
    // The machine name to report instead of the real one, when set.
    std::string hostName;

    TIdStackSocketHandle OpenSocket(int type, int protocol) override
    {
        return real_->OpenSocket(type, protocol);
    }
    int BindSocket(TIdStackSocketHandle h, int family, const std::string& ip, int port) override
    {
        return real_->BindSocket(h, family, ip, port);
    }
    int ConnectSocket(TIdStackSocketHandle h, int family, const std::string& ip, int port) override
    {
        return real_->ConnectSocket(h, family, ip, port);
    }
    int ShutdownSocket(TIdStackSocketHandle h, int direction) override
    {
        return real_->ShutdownSocket(h, direction);
    }
    int CloseSocketHandle(TIdStackSocketHandle h) override { return real_->CloseSocketHandle(h); }
    long SendData(TIdStackSocketHandle h, const void* data, std::size_t length, int flags) override
    {
        return real_->SendData(h, data, length, flags);
    }
    long ReceiveData(TIdStackSocketHandle h, void* buffer, std::size_t length, int flags) override
    {
        const long result = real_->ReceiveData(h, buffer, length, flags);
        receiveResults.push_back(result);
        return result;
    }
    int WaitReadable(std::vector<TIdStackSocketHandle>* readList,
                     std::vector<TIdStackSocketHandle>* writeList,
                     std::vector<TIdStackSocketHandle>* errorList, int timeoutMs) override
    {
        waitTimeouts.push_back(timeoutMs);
        return real_->WaitReadable(readList, writeList, errorList, timeoutMs);
    }
    int SetSocketOption(TIdStackSocketHandle h, int level, int option, const void* value, int length) override
    {
        return real_->SetSocketOption(h, level, option, value, length);
    }
    int GetSocketAddress(TIdStackSocketHandle h, TIdSocketAddress& address) override
    {
        return real_->GetSocketAddress(h, address);
    }
    int GetPeerSocketAddress(TIdStackSocketHandle h, TIdSocketAddress& address) override
    {
        return real_->GetPeerSocketAddress(h, address);
    }
    std::string LocalHostName() override { return hostName.empty() ? real_->LocalHostName() : hostName; }
    std::string HostToAddress(const std::string& name) override { return real_->HostToAddress(name); }
    int LastSocketError() const override { return real_->LastSocketError(); }

private:
    std::unique_ptr<TIdStack> real_;
};

} // namespace quietpane::test
