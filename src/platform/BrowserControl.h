#pragma once

#include <QString>

#include <functional>
#include <stdexcept>

class QWidget;

namespace quietpane {

// A call the embedded browser refuses (no page in that direction, a command it can't run).
class EBrowserError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The embedded web browser as the windows see it: the calls and events of the classic
// browser control, so the window logic can run against a test double.
class TBrowserControl {
public:
    // Command status bits of QueryStatusWB.
    static constexpr int CommandSupported = 1;
    static constexpr int CommandEnabled = 2;

    virtual ~TBrowserControl() = default;

    virtual QWidget* Widget() = 0;

    // flags, targetFrame, postData and headers are passed through as the callers give them.
    virtual void Navigate(const QString& url, int flags, int targetFrame, int postData, int headers) = 0;
    // Both raise EBrowserError when the travel list has no page in that direction.
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    // Whether the travel list has a page in that direction now.
    virtual bool CanGoBack() const = 0;
    virtual bool CanGoForward() const = 0;
    virtual void Stop() = 0;
    virtual void Refresh() = 0;
    virtual int QueryStatusWB(int command) = 0;
    virtual void ExecWB(int command, int option) = 0;
    virtual QString LocationURL() const = 0;

    // Raised before every navigation; topLevel is false for a frame inside a page.
    std::function<void(const QString& url, bool topLevel)> OnBeforeNavigate2;
    std::function<void(const QString& text)> OnTitleChange;
    std::function<void(const QString& text)> OnStatusTextChange;
    std::function<void(int progress, int progressMax)> OnProgressChange;
    // Raised whenever CanGoBack or CanGoForward may have changed.
    std::function<void()> OnCommandStateChange;
    // The page asks to be saved (its own menu's "Save page"): the program's Save As runs it.
    std::function<void()> OnSaveAsRequested;
};

} // namespace quietpane
