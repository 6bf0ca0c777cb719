#include "platform/WebEngineBrowser.h"

#include "platform/WebEngineCommands.h"
#include "platform/WebEngineDownloads.h"
#include "platform/WebEnginePage.h"
#include "platform/WebEngineSilence.h"

#include <QAction>
#include <QChildEvent>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace quietpane {

namespace {

// Showing the window again must not wait for the page. Shown through its window, the view
// would wake its page and render a frame before the window is mapped; instead the page wakes
// once the window is back on the screen. The view's rendering widgets keep their set-up while
// the window is hidden; the page itself sleeps as before. A view hidden or shown by itself,
// and the first show, are handled as usual.
class PageWakesAfterWindowShows final : public QObject {
public:
    explicit PageWakesAfterWindowShows(QWebEngineView& view) : QObject(&view), view_(view) { Watch(view); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ChildAdded) {
            if (QObject* child = static_cast<QChildEvent*>(event)->child(); child->isWidgetType())
                Watch(*child);
            return false;
        }
        const bool hide = event->type() == QEvent::Hide, show = event->type() == QEvent::Show;
        auto* widget = static_cast<QWidget*>(watched);
        if ((!hide && !show) || event->spontaneous() || widget->isHidden())
            return false;
        if (hide) {
            asleep_.removeAll(nullptr);
            asleep_.append(widget);
            return widget != &view_; // the page goes to sleep at once
        }
        if (asleep_.removeAll(widget) == 0)
            return false;
        if (widget == &view_)
            QTimer::singleShot(0, &view_, [this] { WakePage(); });
        return true;
    }

private:
    void Watch(QObject& object)
    {
        object.installEventFilter(this);
        for (QObject* child : object.children())
            if (child->isWidgetType())
                Watch(*child);
    }

    void WakePage()
    {
        if (view_.isVisible() && !asleep_.contains(QPointer<QWidget>(&view_)))
            view_.page()->setVisible(true);
    }

    QWebEngineView& view_;
    QList<QPointer<QWidget>> asleep_; // hidden through the window; a destroyed one turns null
};

} // namespace

TWebEngineBrowser::TWebEngineBrowser(QWidget* parent)
    : view_(new QWebEngineView(parent)), page_(new TWebEnginePage(*this, view_)),
      receiver_(std::make_unique<QObject>()),
      downloads_(std::make_unique<TWebEngineDownloads>(*page_, *this)),
      commands_(std::make_unique<TWebEngineCommands>(*view_))
{
    view_->setObjectName(QStringLiteral("WebBrowser1"));
    view_->setPage(page_);
    new PageWakesAfterWindowShows(*view_);
    SilenceWhileHidden(*view_);
    QObject* receiver = receiver_.get();
    QObject::connect(view_, &QWebEngineView::titleChanged, receiver, [this](const QString& title) {
        if (OnTitleChange)
            OnTitleChange(title);
    });
    auto status = [this](const QString& text) {
        if (OnStatusTextChange)
            OnStatusTextChange(text);
    };
    QObject::connect(page_, &QWebEnginePage::linkHovered, receiver, status);
    QObject::connect(view_, &QWebEngineView::loadStarted, receiver,
                     [status] { status(QStringLiteral("Opening page...")); });
    QObject::connect(view_, &QWebEngineView::loadProgress, receiver, [this](int progress) {
        if (OnProgressChange)
            OnProgressChange(progress, 100);
    });
    QObject::connect(view_, &QWebEngineView::loadFinished, receiver, [this, status](bool ok) {
        status(ok ? QStringLiteral("Done") : QStringLiteral("The page could not be loaded"));
        if (OnProgressChange)
            OnProgressChange(-1, 100);
    });
    // The travel list changes when a navigation commits (the address changes), also for one
    // inside the page, and a load that ends may have dropped an entry that never committed.
    // Entries a new page cuts off may go after both signals: the engine's own Back and Forward
    // actions follow the list itself.
    auto travel = [this] {
        if (OnCommandStateChange)
            OnCommandStateChange();
    };
    QObject::connect(view_, &QWebEngineView::urlChanged, receiver, travel);
    QObject::connect(view_, &QWebEngineView::loadFinished, receiver, travel);
    for (const auto command : {QWebEnginePage::Back, QWebEnginePage::Forward})
        QObject::connect(page_->action(command), &QAction::changed, receiver, travel);
}

TWebEngineBrowser::~TWebEngineBrowser()
{
    if (page_)
        page_->Detach();
}

QWidget* TWebEngineBrowser::Widget()
{
    return view_;
}

void TWebEngineBrowser::Navigate(const QString& url, int, int, int, int)
{
    view_->setUrl(QUrl::fromUserInput(url));
}

bool TWebEngineBrowser::CanGoBack() const
{
    return view_->history()->canGoBack();
}

bool TWebEngineBrowser::CanGoForward() const
{
    return view_->history()->canGoForward();
}

void TWebEngineBrowser::GoBack()
{
    if (!CanGoBack())
        throw EBrowserError("There is no page to go back to.");
    view_->back();
}

void TWebEngineBrowser::GoForward()
{
    if (!CanGoForward())
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
