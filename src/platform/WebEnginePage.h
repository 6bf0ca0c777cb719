#pragma once

#include "platform/BrowserControl.h"

#include <QWebEnginePage>

#include <optional>

class QAuthenticator;
class QWebEngineLoadingInfo;
class QWebEngineNewWindowRequest;

namespace quietpane {

// The engine's page as the browser control shows it to the windows.
//
// A navigation of the page itself is reported through OnBeforeNavigate2 once the engine knows
// it shows a page (it has committed, or ended in a page of its own or an error page); one that
// turns into a download or is stopped first leaves no trace. Frames are reported at once.
// A new window asked for by the user's click opens its page here; a pop-up without one is refused.
// The page's own "Save page" runs the control's OnSaveAsRequested, "View page source" shows the
// source here. Sign-in requests of servers and proxies ask the user through Dialogs().
class TWebEnginePage final : public QWebEnginePage {
public:
    TWebEnginePage(TBrowserControl& control, QObject* parent);

    // The control is going: from now on nothing is reported.
    void Detach() { control_ = nullptr; }

    void triggerAction(WebAction action, bool checked = false) override;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    void ReportNavigation();
    void DropNavigation(const QUrl& url);
    void LoadingChanged(const QWebEngineLoadingInfo& loading);
    void NewWindowRequested(QWebEngineNewWindowRequest& request);
    void AskForCredentials(const QUrl& address, QAuthenticator* authenticator, const QString& proxyHost);

    TBrowserControl* control_; // null once detached
    std::optional<QUrl> pendingNavigation_; // accepted, not yet known to show a page
};

} // namespace quietpane
