#include "platform/LocalAddresses.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>

namespace quietpane {
namespace {

// The IPv4 addresses of the interfaces that are up, as iproute2 lists them, loopback ones apart.
struct ListedAddresses {
    std::vector<std::string> others, loopback;
};

ListedAddresses ListedByIp()
{
    const test::TempDir folder;
    test::ChildProcess::Options options;
    options.logFile = folder.Path() / "addresses.txt";
    test::ChildProcess ip({"ip", "-o", "-4", "address", "show", "up"}, options);
    EXPECT_EQ(ip.Wait(std::chrono::seconds(10)), 0);
    ListedAddresses listed;
    std::istringstream lines(test::ReadFile(options.logFile));
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find(" inet ");
        if (at == std::string::npos)
            continue;
        const std::string address = line.substr(at + 6, line.find('/', at) - at - 6);
        (address.rfind("127.", 0) == 0 ? listed.loopback : listed.others).push_back(address);
    }
    return listed;
}

TEST(LocalAddressesTest, AddressesOfTheInterfacesThatAreUpWithLoopbackOnlyWhenThereIsNoOther)
{
    const ListedAddresses listed = ListedByIp();
    std::vector<std::string> expected = listed.others.empty() ? listed.loopback : listed.others;
    std::vector<std::string> found = LocalIPv4Addresses();
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);
    EXPECT_FALSE(found.empty()); // loopback at least is always up
}

} // namespace
} // namespace quietpane
