#pragma once

#include <string>
#include <vector>

namespace quietpane {

// The dotted-decimal IPv4 addresses of the network interfaces that are up, in the system's
// order; the loopback addresses only when there is no other. Empty when none can be read.
std::vector<std::string> LocalIPv4Addresses();

} // namespace quietpane
