#pragma once

// The built program run from a copy of its own on an X server of the test's own with openbox;
// the test looks at its windows and presses keys from outside with xdotool.
// Header only: it is for the tests that link xcb.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include <xcb/xcb.h>

#include "support/ProgramCopy.h"
#include "support/TestSupport.h"
#include "support/XClient.h"
#include "support/XServer.h"

namespace quietpane::test {

class ProgramOnX {
public:
    static constexpr std::chrono::seconds StartTime{30};
    static constexpr std::chrono::seconds ReactionTime{10};

    ProgramOnX(const std::filesystem::path& program, const std::filesystem::path& database)
        : copy(program, database)
    {
    }

    // Starts the program and waits until its main window is shown and managed; the stored
    // hotkeys are registered before that. Returns false (the log tells why) when it never is.
    // The extra environment joins the X server's (a desktop session's bus, for instance).
    bool Start(const std::map<std::string, std::string>& extra = {})
    {
        auto environment = server.Environment();
        environment.insert(extra.begin(), extra.end());
        environment["QT_QPA_PLATFORM"] = "xcb";
        process = copy.Start(environment);
        return Eventually([&] { return (mainWindow = VisibleWindowNamed(".")) != XCB_NONE; }, StartTime) &&
               Eventually([&] { return observer.ShownAndManaged(mainWindow); }, ReactionTime);
    }

    // A visible window of the program whose title matches the pattern, other than the one
    // excepted, or none. (A search may also list the main window for another window's title.)
    xcb_window_t VisibleWindowNamed(const std::string& pattern, xcb_window_t except = XCB_NONE) const
    {
        std::string found;
        try {
            found = server.Run({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(process->Pid()),
                                "--name", pattern});
        } catch (const std::exception&) {
            return XCB_NONE; // nothing found
        }
        std::istringstream lines(found);
        for (std::string line; std::getline(lines, line);) {
            const auto window = static_cast<xcb_window_t>(std::stoul(line));
            if (window != except)
                return window;
        }
        return XCB_NONE;
    }

    void Press(const std::string& keys) const { server.Run({"xdotool", "key", keys}); }
    // A click at a point of the window's client area.
    void Click(xcb_window_t window, int x, int y) const
    {
        server.Run({"xdotool", "mousemove", "--window", std::to_string(window), std::to_string(x),
                    std::to_string(y), "click", "1"});
    }

    // Activates the window as a task switcher does; true once it has the keyboard, so that keys
    // pressed next (the window manager's Alt+F4 among them) are meant for it.
    bool Activate(xcb_window_t window)
    {
        server.Run({"xdotool", "windowactivate", "--sync", std::to_string(window)});
        return Eventually([&] { return observer.Focus() == window; }, ReactionTime);
    }
    bool BecomesHidden(xcb_window_t window)
    {
        return Eventually([&] { return observer.Withdrawn(window); }, ReactionTime);
    }
    bool BecomesShown(xcb_window_t window)
    {
        return Eventually([&] { return observer.ShownAndManaged(window); }, ReactionTime);
    }
    bool OffTheTaskBar(xcb_window_t window)
    {
        return Eventually(
            [&] {
                return server.Run({"xprop", "-id", std::to_string(window), "_NET_WM_STATE"})
                           .find("_NET_WM_STATE_SKIP_TASKBAR") != std::string::npos;
            },
            ReactionTime);
    }

    XServer server{XServer::Options{.windowManager = true}};
    Observer observer{server};
    ProgramCopy copy;
    std::unique_ptr<ChildProcess> process;
    xcb_window_t mainWindow = XCB_NONE;
};

} // namespace quietpane::test
