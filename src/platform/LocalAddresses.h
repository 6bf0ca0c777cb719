#pragma once

#include <string>
#include <vector>

namespace quietpane {

// The dotted-decimal IPv4 addresses of the local host name, in the resolver's order;
// empty when the name doesn't resolve.
std::vector<std::string> LocalIPv4Addresses();

} // namespace quietpane
