#pragma once

// Stand-ins for the main window's engine and registry, and its surroundings for tests with the real
// engine (header-only: only Qt tests include it).

#include "platform/BrowserControl.h"
#include "platform/Registry.h"
#include "shell/formWeb.h"

#include <QWidget>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace quietpane::test {

// A browser with a travel list and no engine: navigations report BeforeNavigate2 at once;
// the test raises the page events itself.
class FakeBrowser final : public TBrowserControl {
public:
    explicit FakeBrowser(QWidget* parent) : widget_(new QWidget(parent)) {}

    QWidget* Widget() override { return widget_; }
    void Navigate(const QString& url, int flags, int targetFrame, int postData, int headers) override
    {
        navigateArguments.push_back({flags, targetFrame, postData, headers});
        Open(url);
    }
    // A link clicked in the page.
    void Open(const QString& url)
    {
        OnBeforeNavigate2(url, true);
        travel_.resize(position_ + 1);
        travel_.push_back(url);
        position_ = static_cast<int>(travel_.size()) - 1;
        CommandStateChange();
    }
    void GoBack() override { Travel(-1); }
    void GoForward() override { Travel(+1); }
    bool CanGoBack() const override { return !refuseTravel && position_ > 0; }
    bool CanGoForward() const override
    {
        return !refuseTravel && position_ + 1 < static_cast<int>(travel_.size());
    }
    void Stop() override { ++stops; }
    void Refresh() override { ++refreshes; }
    int QueryStatusWB(int) override { return 0; }
    void ExecWB(int, int) override {}
    QString LocationURL() const override { return position_ >= 0 ? travel_[position_] : QString(); }

    std::vector<std::vector<int>> navigateArguments;
    int stops = 0, refreshes = 0;
    bool refuseTravel = false;

private:
    void Travel(int step)
    {
        const int target = position_ + step;
        if (refuseTravel || target < 0 || target >= static_cast<int>(travel_.size()))
            throw EBrowserError("no page that way");
        position_ = target;
        OnBeforeNavigate2(travel_[position_], true);
        CommandStateChange();
    }
    void CommandStateChange()
    {
        if (OnCommandStateChange)
            OnCommandStateChange();
    }

    QWidget* widget_;
    std::vector<QString> travel_;
    int position_ = -1;
};

// A registry that takes every value and remembers the last one written under each name.
class RecordingRegistry final : public Registry {
public:
    bool WriteString(const std::string& name, const std::string& value) override
    {
        values[name] = value;
        return true;
    }
    std::map<std::string, std::string> values;
};

// The main window's surroundings for a test with the real engine: the program folder (with its
// database), the registry, always online, and the home page.
inline TfrmWebSetup EngineWindowSetup(const std::filesystem::path& programFolder, Registry& registry,
                                      const QString& homePage)
{
    TfrmWebSetup setup;
    setup.programFolder = QString::fromStdString(programFolder.string());
    setup.registry = &registry;
    setup.internetAutodial = [] { return true; };
    setup.homePage = homePage;
    return setup;
}

} // namespace quietpane::test
