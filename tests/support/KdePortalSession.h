#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace quietpane::test {

// A headless KDE Plasma desktop of the test's own, as far as the shortcuts portal needs it: a
// private session bus (dbus-daemon), KWin on a virtual Wayland output (which owns
// org.kde.kglobalaccel), xdg-desktop-portal-kde and xdg-desktop-portal, with private runtime,
// configuration and home folders. Everything is stopped by PID on destruction.
class KdePortalSession {
public:
    KdePortalSession();
    ~KdePortalSession();
    KdePortalSession(const KdePortalSession&) = delete;
    KdePortalSession& operator=(const KdePortalSession&) = delete;

    const std::string& BusAddress() const { return busAddress_; }
    // The session bus, the Wayland display and the private folders, for a program of this desktop.
    std::map<std::string, std::string> Environment() const;

    // Fires a bound shortcut as its key would, through kglobalaccel's D-Bus interface.
    void InvokeShortcut(const std::string& component, const std::string& shortcutId) const;

private:
    std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& argv, const std::string& log,
                                        const std::map<std::string, std::string>& extra = {});
    void AwaitName(const std::string& name) const;

    TempDir folder_;
    std::string busAddress_;
    std::string waylandSocket_;
    std::vector<std::unique_ptr<ChildProcess>> processes_; // stopped last to first
};

} // namespace quietpane::test
