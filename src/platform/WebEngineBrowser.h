#pragma once

#include "platform/BrowserControl.h"

#include <QPointer>

#include <memory>

class QObject;
class QWebEngineView;

namespace quietpane {

class TWebEngineCommands;
class TWebEngineDownloads;
class TWebEnginePage;

// The browser control on Qt WebEngine. Every navigation is accepted and reported through
// OnBeforeNavigate2 as TWebEnginePage tells; a finished load reports progress -1. Downloads ask
// where to go, and the page is muted while the view is hidden. The view belongs to the parent
// widget, which must outlive the control; the control cuts the view's ties to it when it goes.
class TWebEngineBrowser final : public TBrowserControl {
public:
    explicit TWebEngineBrowser(QWidget* parent);
    ~TWebEngineBrowser() override;

    QWidget* Widget() override;
    void Navigate(const QString& url, int flags, int targetFrame, int postData, int headers) override;
    void GoBack() override;
    void GoForward() override;
    bool CanGoBack() const override;
    bool CanGoForward() const override;
    void Stop() override;
    void Refresh() override;
    int QueryStatusWB(int command) override;
    void ExecWB(int command, int option) override;
    QString LocationURL() const override;

private:
    QWebEngineView* view_;          // owned by the parent widget
    QPointer<TWebEnginePage> page_; // the view's
    // The context of every connection that reaches this control: going with it, it ends them.
    std::unique_ptr<QObject> receiver_;
    std::unique_ptr<TWebEngineDownloads> downloads_;
    std::unique_ptr<TWebEngineCommands> commands_;
};

} // namespace quietpane
