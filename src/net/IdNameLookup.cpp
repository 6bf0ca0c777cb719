#include "net/IdNameLookup.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <thread>

struct TIdNameLookup::TAnswer {
    TAnswer() : ready(eventfd(0, EFD_CLOEXEC)) {}
    ~TAnswer()
    {
        if (ready >= 0) {
            close(ready);
        }
    }
    TAnswer(const TAnswer&) = delete;
    TAnswer& operator=(const TAnswer&) = delete;

    const int ready;
    // Written by the lookup thread before it sets done, read only after that.
    int status = EAI_SYSTEM;
    std::string address;
    std::atomic<bool> done{false};
};

TIdNameLookup::TIdNameLookup(const std::string& name) : name_(name), answer_(std::make_shared<TAnswer>())
{
    if (answer_->ready < 0) {
        TIdStack::RaiseSocketFailure(SocketErrorFromErrno(errno));
    }
    // The thread shares the answer, so that it outlives a caller who stopped waiting.
    std::thread([answer = answer_, name] {
        answer->status = LookUpIPv4(name, answer->address);
        answer->done.store(true, std::memory_order_release);
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(answer->ready, &one, sizeof one);
    }).detach();
}

TIdStackSocketHandle TIdNameLookup::Descriptor() const
{
    return answer_->ready;
}

std::string TIdNameLookup::Address() const
{
    if (!answer_->done.load(std::memory_order_acquire) || answer_->status == EAI_AGAIN) {
        throw EIdHostLookupTimeout(name_);
    }
    if (answer_->status != 0) {
        throw EIdHostNotFound(name_);
    }
    return answer_->address;
}

int LookUpIPv4(const std::string& name, std::string& address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    const int status = getaddrinfo(name.c_str(), nullptr, &hints, &answer);
    if (status != 0) {
        return status;
    }
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owned(answer, &freeaddrinfo);
    address = TIdStack::AddressToText(reinterpret_cast<const sockaddr_in*>(answer->ai_addr)->sin_addr.s_addr);
    return 0;
}
