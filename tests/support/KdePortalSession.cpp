#include "support/KdePortalSession.h"

#include <stdexcept>

namespace fs = std::filesystem;

namespace quietpane::test {

namespace {

constexpr std::chrono::seconds kStartTime{30};

} // namespace

KdePortalSession::KdePortalSession() : waylandSocket_("quietpane-" + folder_.Path().filename().string())
{
    for (const char* name : {"runtime", "config", "home"})
        fs::create_directories(folder_.Path() / name);
    fs::permissions(folder_.Path() / "runtime", fs::perms::owner_all);
    const fs::path addressFile = folder_.Path() / "bus-address";
    processes_.push_back(Start(
        {"sh", "-c", "exec dbus-daemon --session --nofork --print-address=3 3>\"$0\"", addressFile.string()},
        "dbus.log"));
    if (!Eventually(
            [&] { return fs::exists(addressFile) && ReadFile(addressFile).find('\n') != std::string::npos; },
            kStartTime))
        throw std::runtime_error("the session bus did not start");
    busAddress_ = ReadFile(addressFile);
    busAddress_.erase(busAddress_.find('\n'));
    // The installed KWin carries a file capability that containers may not grant; a copy has none.
    const fs::path kwin = folder_.Path() / "kwin_wayland";
    fs::copy_file(FindProgram({"/usr/bin/kwin_wayland"}), kwin);
    processes_.push_back(
        Start({kwin.string(), "--virtual", "--socket", waylandSocket_, "--width", "1280", "--height", "1024"},
              "kwin.log"));
    AwaitName("org.kde.kglobalaccel");
    // Its Qt 5 has no Wayland plugin here, and it needs no window to bind shortcuts.
    processes_.push_back(Start({FindProgram({"/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde"})},
                               "portal-kde.log", {{"QT_QPA_PLATFORM", "offscreen"}}));
    AwaitName("org.freedesktop.impl.portal.desktop.kde");
    processes_.push_back(Start({FindProgram({"/usr/libexec/xdg-desktop-portal"})}, "portal.log"));
    AwaitName("org.freedesktop.portal.Desktop");
}

KdePortalSession::~KdePortalSession()
{
    while (!processes_.empty())
        processes_.pop_back();
}

std::map<std::string, std::string> KdePortalSession::Environment() const
{
    return {{"DBUS_SESSION_BUS_ADDRESS", busAddress_},
            {"WAYLAND_DISPLAY", waylandSocket_},
            {"XDG_RUNTIME_DIR", (folder_.Path() / "runtime").string()},
            {"XDG_CONFIG_HOME", (folder_.Path() / "config").string()},
            {"HOME", (folder_.Path() / "home").string()},
            {"XDG_CURRENT_DESKTOP", "KDE"},
            {"XDG_SESSION_TYPE", "wayland"}};
}

void KdePortalSession::InvokeShortcut(const std::string& component, const std::string& shortcutId) const
{
    RunProgram({"env", "DBUS_SESSION_BUS_ADDRESS=" + busAddress_, "gdbus", "call", "--session", "--dest",
                "org.kde.kglobalaccel", "--object-path", "/component/" + component, "--method",
                "org.kde.kglobalaccel.Component.invokeShortcut", shortcutId});
}

std::unique_ptr<ChildProcess> KdePortalSession::Start(const std::vector<std::string>& argv,
                                                      const std::string& log,
                                                      const std::map<std::string, std::string>& extra)
{
    ChildProcess::Options options;
    options.environment = Environment();
    if (busAddress_.empty())
        options.environment.erase("DBUS_SESSION_BUS_ADDRESS");
    options.environment.erase("WAYLAND_DISPLAY"); // KWin makes it; the portals need none
    for (const auto& [name, value] : extra)
        options.environment[name] = value;
    options.logFile = folder_.Path() / log;
    return std::make_unique<ChildProcess>(argv, options);
}

void KdePortalSession::AwaitName(const std::string& name) const
{
    RunProgram({"env", "DBUS_SESSION_BUS_ADDRESS=" + busAddress_, "gdbus", "wait", "--session", "--timeout",
                std::to_string(kStartTime.count()), name});
}

} // namespace quietpane::test
