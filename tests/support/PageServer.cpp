#include "support/PageServer.h"

#include <stdexcept>

namespace quietpane::test {

PageServer::PageServer() : port_(FreePort())
{
    ChildProcess::Options options;
    options.workingDirectory = pages_.Path();
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/python3", "-m", "http.server", "--bind", "127.0.0.1",
                                 std::to_string(port_), "--directory", pages_.Path().string()},
        options);
    if (!WaitForPort(port_))
        throw std::runtime_error("the page server did not start");
}

std::string PageServer::Url(const std::string& name) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
}

} // namespace quietpane::test
