#pragma once

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>

#include <QCoreApplication>

#include "support/XServer.h"

namespace quietpane::test {

// A Qt application (QGuiApplication, QApplication) on an X server of the test's own.
// Header only: it is for the tests that link Qt.
template <typename Application> class XApplication {
public:
    explicit XApplication(const XServer::Options& options) : server(options)
    {
        setenv("DISPLAY", server.Display().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        application = std::make_unique<Application>(argc_, argv_);
    }
    ~XApplication() { application.reset(); }
    XApplication(const XApplication&) = delete;
    XApplication& operator=(const XApplication&) = delete;

    XServer server;
    std::unique_ptr<Application> application;

private:
    int argc_ = 1;
    char name_[5] = "test";
    char* argv_[2] = {name_, nullptr};
};

// Runs the event loop until the condition holds; false when it still fails after the timeout.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace quietpane::test
