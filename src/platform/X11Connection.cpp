#include "platform/X11Connection.h"

#include <QGuiApplication>

namespace quietpane {

xcb_connection_t* ApplicationX11Connection()
{
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    // The offscreen platform may hold an X connection too, but no event of it reaches the application.
    if (application == nullptr || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
    auto* x11 = application->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

} // namespace quietpane
