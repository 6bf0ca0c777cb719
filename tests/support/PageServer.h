#pragma once

#include <memory>
#include <string>

#include "support/TestSupport.h"

namespace quietpane::test {

// Web pages of the test's own, served over HTTP from 127.0.0.1 on a free port by Python's
// http.server, which is stopped by its PID on destruction.
class PageServer {
public:
    PageServer();

    // Writes a page into the served folder.
    void Write(const std::string& name, const std::string& contents) const
    {
        pages_.WriteFile(name, contents);
    }
    // "http://127.0.0.1:PORT/name"
    std::string Url(const std::string& name) const;
    int Port() const { return port_; }

private:
    TempDir pages_;
    int port_;
    std::unique_ptr<ChildProcess> server_;
};

} // namespace quietpane::test
