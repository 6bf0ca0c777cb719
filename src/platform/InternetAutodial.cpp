#include "platform/InternetAutodial.h"

#include <fstream>
#include <sstream>
#include <string>

namespace quietpane {

bool InternetAutodial()
{
    std::ifstream routes("/proc/net/route");
    std::string line;
    std::getline(routes, line); // column titles
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string interface, destination, gateway, flags;
        if (!(fields >> interface >> destination >> gateway >> flags))
            continue;
        constexpr unsigned long routeUp = 0x1;
        if (destination == "00000000" && (std::stoul(flags, nullptr, 16) & routeUp))
            return true;
    }
    return false;
}

} // namespace quietpane
