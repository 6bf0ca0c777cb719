#include "platform/WebEngineRedirects.h"

#include <QWebEngineNavigationRequest>
#include <QWebEngineView>

namespace quietpane {

void WatchServerRedirects(QWidget& browserWidget, std::function<void(const QString& url)> redirected)
{
    auto* view = qobject_cast<QWebEngineView*>(&browserWidget);
    if (!view)
        return;
    QObject::connect(view->page(), &QWebEnginePage::navigationRequested, view,
                     [redirected = std::move(redirected)](QWebEngineNavigationRequest& request) {
                         if (request.isMainFrame() &&
                             request.navigationType() == QWebEngineNavigationRequest::RedirectNavigation)
                             redirected(request.url().toString());
                     });
}

} // namespace quietpane
