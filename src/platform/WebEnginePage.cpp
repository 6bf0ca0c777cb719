#include "platform/WebEnginePage.h"

#include "platform/Dialogs.h"

#include <QAuthenticator>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace quietpane {

TWebEnginePage::TWebEnginePage(TBrowserControl& control, QObject* parent)
    : QWebEnginePage(parent), control_(&control)
{
    // Connected before the view connects to the page, so the navigation is reported before the
    // title of the page it brought.
    connect(this, &QWebEnginePage::titleChanged, this, [this] { ReportNavigation(); });
    connect(this, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
        // The engine also shows an address before the navigation starts and the old one again
        // when a navigation turns into a download; only the navigation's own address counts.
        if (pendingNavigation_ == url)
            ReportNavigation();
    });
    connect(this, &QWebEnginePage::loadingChanged, this, &TWebEnginePage::LoadingChanged);
    connect(profile(), &QWebEngineProfile::downloadRequested, this,
            [this](QWebEngineDownloadRequest* download) {
                if (download->page() == this)
                    DropNavigation(download->url());
            });
    connect(this, &QWebEnginePage::newWindowRequested, this, &TWebEnginePage::NewWindowRequested);
    connect(this, &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl& address, QAuthenticator* authenticator) {
                AskForCredentials(address, authenticator, QString());
            });
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this, &TWebEnginePage::AskForCredentials);
}

bool TWebEnginePage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame)
{
    if (!isMainFrame) {
        if (control_ && control_->OnBeforeNavigate2)
            control_->OnBeforeNavigate2(url.toString(), false);
        return true;
    }
    // A later request (a redirect, another click) takes the place of one not yet reported.
    pendingNavigation_ = url;
    return true;
}

void TWebEnginePage::ReportNavigation()
{
    if (!pendingNavigation_)
        return;
    QUrl address = *pendingNavigation_;
    pendingNavigation_.reset();
    // The engine asks about the address inside a "view-source:" one; the page shows the whole.
    if (url().scheme() == QLatin1String("view-source") && QUrl(url().path()) == address)
        address = url();
    if (control_ && control_->OnBeforeNavigate2)
        control_->OnBeforeNavigate2(address.toString(), true);
}

void TWebEnginePage::DropNavigation(const QUrl& url)
{
    if (pendingNavigation_ == url)
        pendingNavigation_.reset();
}

void TWebEnginePage::LoadingChanged(const QWebEngineLoadingInfo& loading)
{
    switch (loading.status()) {
    case QWebEngineLoadingInfo::LoadSucceededStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus: // the engine shows its error page
        ReportNavigation();
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus: // a download, or stopped before any page came
        DropNavigation(loading.url());
        break;
    case QWebEngineLoadingInfo::LoadStartedStatus:
        break;
    }
}

void TWebEnginePage::NewWindowRequested(QWebEngineNewWindowRequest& request)
{
    if (!request.isUserInitiated())
        return;
    // Loaded once the engine has finished with its request, as any navigation of this page.
    QTimer::singleShot(0, this, [this, address = request.requestedUrl()] { load(address); });
}

void TWebEnginePage::triggerAction(WebAction action, bool checked)
{
    if (action == SavePage && control_ && control_->OnSaveAsRequested) {
        control_->OnSaveAsRequested();
        return;
    }
    if (action == ViewSource) {
        load(QUrl(QStringLiteral("view-source:") + url().toString()));
        return;
    }
    QWebEnginePage::triggerAction(action, checked);
}

void TWebEnginePage::AskForCredentials(const QUrl& address, QAuthenticator* authenticator,
                                       const QString& proxyHost)
{
    const QString asking = proxyHost.isEmpty() ? address.host() : QStringLiteral("The proxy ") + proxyHost;
    QString prompt = QStringLiteral("%1 asks for a user name and password.").arg(asking);
    if (!authenticator->realm().isEmpty())
        prompt += QStringLiteral("\nRealm: ") + authenticator->realm();
    QString user = authenticator->user(), password;
    const QWebEngineView* view = QWebEngineView::forPage(this);
    QWidget* parentWindow = view ? view->window() : nullptr;
    if (Dialogs().Credentials(parentWindow, prompt, user, password)) {
        authenticator->setUser(user);
        authenticator->setPassword(password);
    } else {
        // A null authenticator tells the engine the user declined; it then shows the server's answer.
        *authenticator = QAuthenticator();
    }
}

} // namespace quietpane
