#pragma once

#include "platform/BrowserControl.h"

#include <memory>

class QWebEngineView;

namespace quietpane {

class TWebEngineCommands;

// The browser control on Qt WebEngine. Every navigation is accepted and reported through
// OnBeforeNavigate2 as TWebEnginePage tells; a finished load reports progress -1. Downloads ask
// where to go, and the page is muted while the view is hidden.
class TWebEngineBrowser final : public TBrowserControl {
public:
    explicit TWebEngineBrowser(QWidget* parent);
    ~TWebEngineBrowser() override;

    QWidget* Widget() override;
    void Navigate(const QString& url, int flags, int targetFrame, int postData, int headers) override;
    void GoBack() override;
    void GoForward() override;
    void Stop() override;
    void Refresh() override;
    int QueryStatusWB(int command) override;
    void ExecWB(int command, int option) override;
    QString LocationURL() const override;

private:
    std::unique_ptr<QWebEngineView> view_; // a child of the parent widget, destroyed first
    std::unique_ptr<TWebEngineCommands> commands_;
};

} // namespace quietpane
