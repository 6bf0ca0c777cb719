#pragma once

// Stand-ins for the main window's surroundings (header-only: only Qt tests include it).

#include "platform/BrowserControl.h"
#include "platform/Registry.h"

#include <QStringList>
#include <QWidget>

namespace quietpane::test {

// A browser without an engine: each navigation is reported at once; it offers no page command.
class ReportingBrowser final : public TBrowserControl {
public:
    explicit ReportingBrowser(QWidget* parent) : widget_(new QWidget(parent)) {}

    QWidget* Widget() override { return widget_; }
    void Navigate(const QString& url, int, int, int, int) override
    {
        navigated.append(url);
        OnBeforeNavigate2(url, true);
    }
    void GoBack() override {}
    void GoForward() override {}
    void Stop() override {}
    void Refresh() override {}
    int QueryStatusWB(int) override { return 0; }
    void ExecWB(int, int) override {}
    QString LocationURL() const override { return navigated.isEmpty() ? QString() : navigated.last(); }

    QStringList navigated;

private:
    QWidget* widget_;
};

// A registry that takes every value and keeps none.
class AcceptingRegistry final : public Registry {
public:
    bool WriteString(const std::string&, const std::string&) override { return true; }
};

} // namespace quietpane::test
