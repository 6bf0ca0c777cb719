#include "platform/WebEngineBrowser.h"

#include "platform/WebEngineCommands.h"

#include <QUrl>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace quietpane {

namespace {

class NavigationReportingPage final : public QWebEnginePage {
public:
    NavigationReportingPage(TBrowserControl& control, QObject* parent)
        : QWebEnginePage(parent), control_(control)
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override
    {
        if (control_.OnBeforeNavigate2)
            control_.OnBeforeNavigate2(url.toString(), isMainFrame);
        return true;
    }

private:
    TBrowserControl& control_;
};

} // namespace

TWebEngineBrowser::TWebEngineBrowser(QWidget* parent)
    : view_(std::make_unique<QWebEngineView>(parent)), commands_(std::make_unique<TWebEngineCommands>(*view_))
{
    view_->setObjectName(QStringLiteral("WebBrowser1"));
    view_->setPage(new NavigationReportingPage(*this, view_.get()));
    QObject::connect(view_.get(), &QWebEngineView::titleChanged, view_.get(), [this](const QString& title) {
        if (OnTitleChange)
            OnTitleChange(title);
    });
    auto status = [this](const QString& text) {
        if (OnStatusTextChange)
            OnStatusTextChange(text);
    };
    QObject::connect(view_->page(), &QWebEnginePage::linkHovered, view_.get(), status);
    QObject::connect(view_.get(), &QWebEngineView::loadStarted, view_.get(),
                     [status] { status(QStringLiteral("Opening page...")); });
    QObject::connect(view_.get(), &QWebEngineView::loadProgress, view_.get(), [this](int progress) {
        if (OnProgressChange)
            OnProgressChange(progress, 100);
    });
    QObject::connect(view_.get(), &QWebEngineView::loadFinished, view_.get(), [this, status](bool ok) {
        status(ok ? QStringLiteral("Done") : QStringLiteral("The page could not be loaded"));
        if (OnProgressChange)
            OnProgressChange(-1, 100);
    });
}

TWebEngineBrowser::~TWebEngineBrowser() = default;

QWidget* TWebEngineBrowser::Widget()
{
    return view_.get();
}

void TWebEngineBrowser::Navigate(const QString& url, int, int, int, int)
{
    view_->setUrl(QUrl::fromUserInput(url));
}

void TWebEngineBrowser::GoBack()
{
    if (!view_->history()->canGoBack())
        throw EBrowserError("There is no page to go back to.");
    view_->back();
}

void TWebEngineBrowser::GoForward()
{
    if (!view_->history()->canGoForward())
        throw EBrowserError("There is no page to go forward to.");
    view_->forward();
}

void TWebEngineBrowser::Stop()
{
    view_->stop();
}

void TWebEngineBrowser::Refresh()
{
    view_->reload();
}

int TWebEngineBrowser::QueryStatusWB(int command)
{
    return commands_->QueryStatus(command);
}

void TWebEngineBrowser::ExecWB(int command, int option)
{
    commands_->Execute(command, option);
}

QString TWebEngineBrowser::LocationURL() const
{
    return view_->url().toString();
}

} // namespace quietpane
