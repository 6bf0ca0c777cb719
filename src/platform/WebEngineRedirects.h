#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace quietpane {

// Calls redirected with the new address each time the server redirects the page's own (not a
// frame's) navigation in the browser's widget (a web engine view), after the browser control has
// reported the new address as a navigation. Nothing happens for any other widget.
void WatchServerRedirects(QWidget& browserWidget, std::function<void(const QString& url)> redirected);

} // namespace quietpane
