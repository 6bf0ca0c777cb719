#include "platform/LocalAddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <memory>

namespace quietpane {

std::vector<std::string> LocalIPv4Addresses()
{
    // The host name's own lookup would give 127.0.1.1 on Debian: the interfaces are asked instead.
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return {};
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owned(interfaces, &freeifaddrs);
    std::vector<std::string> addresses, loopback;
    for (const ifaddrs* entry = interfaces; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !(entry->ifa_flags & IFF_UP))
            continue;
        char text[INET_ADDRSTRLEN] = {};
        if (!inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr, text,
                       sizeof text))
            continue;
        ((entry->ifa_flags & IFF_LOOPBACK) ? loopback : addresses).emplace_back(text);
    }
    return addresses.empty() ? loopback : addresses;
}

} // namespace quietpane
