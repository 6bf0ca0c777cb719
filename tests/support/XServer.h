#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace quietpane::test {

// An X server of the test's own: Xvfb on a display it picks itself (so tests run in parallel),
// optionally with openbox managing its windows. Both are stopped by PID on destruction.
class XServer {
public:
    struct Options {
        bool windowManager = false;
    };

    explicit XServer(const Options& options);
    XServer() : XServer(Options{}) {}
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N"
    const std::string& Display() const { return display_; }
    // DISPLAY set for programs run against this server.
    std::map<std::string, std::string> Environment() const { return {{"DISPLAY", display_}}; }

    // Runs an X client (xdotool, xprop, ...) against this server and returns its output;
    // throws when it fails or takes more than ten seconds.
    std::string Run(const std::vector<std::string>& argv) const;

private:
    TempDir folder_;
    std::string display_;
    std::unique_ptr<ChildProcess> server_;
    std::unique_ptr<ChildProcess> windowManager_;
};

} // namespace quietpane::test
