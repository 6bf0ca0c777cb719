#pragma once

#include <cstdlib>
#include <memory>

#include "support/QtTestSupport.h" // WaitUntil
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

// An application for the web engine (its sandbox and shared contexts prepared first) on an X
// server of its own with openbox.
template <typename Application> std::unique_ptr<XApplication<Application>> EngineDesktop()
{
    PrepareQtEnvironment(); // the platform is X all the same
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return std::make_unique<XApplication<Application>>(XServer::Options{.windowManager = true});
}

} // namespace quietpane::test
