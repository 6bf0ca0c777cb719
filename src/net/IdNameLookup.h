#pragma once

#include <memory>
#include <string>

#include "net/IdStack.h"

// No address could be found for the name.
class EIdHostNotFound : public EIdSocketError {
public:
    explicit EIdHostNotFound(const std::string& name)
        : EIdSocketError(Id_WSAHOST_NOT_FOUND, "The server name \"" + name + "\" could not be found.")
    {
    }
};

// The resolver did not answer within the connect time-out, or gave up waiting itself.
class EIdHostLookupTimeout : public EIdSocketError {
public:
    explicit EIdHostLookupTimeout(const std::string& name)
        : EIdSocketError(Id_WSATRY_AGAIN, "The server name \"" + name + "\" was not resolved in time.")
    {
    }
};

// The IPv4 address of a host name, looked up on a thread of its own: the resolver's own waits
// (seconds per server that does not answer) must not hold the caller, who waits on Descriptor()
// with a limit and its events running, and may walk away. The thread then finishes alone.
class TIdNameLookup {
public:
    explicit TIdNameLookup(const std::string& name);
    ~TIdNameLookup() = default;
    TIdNameLookup(const TIdNameLookup&) = delete;
    TIdNameLookup& operator=(const TIdNameLookup&) = delete;

    // Readable once the answer is there.
    TIdStackSocketHandle Descriptor() const;
    // The address text, once Descriptor() is readable; raises EIdHostNotFound or
    // EIdHostLookupTimeout when the lookup failed.
    std::string Address() const;

private:
    struct TAnswer;
    std::string name_;
    std::shared_ptr<TAnswer> answer_;
};

// getaddrinfo for an IPv4 address: 0 and the address text, or getaddrinfo's failure.
int LookUpIPv4(const std::string& name, std::string& address);
