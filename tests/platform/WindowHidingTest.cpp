#include "platform/WindowHiding.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "support/XApplication.h"

namespace quietpane {
namespace {

using quietpane::test::WaitUntil;
using quietpane::test::XApplication;
using quietpane::test::XServer;

// Looks at the test's windows the way the window manager and a task bar do: from outside.
class Observer {
public:
    explicit Observer(const XServer& server) : connection_(xcb_connect(server.Display().c_str(), nullptr)) {}
    ~Observer() { xcb_disconnect(connection_); }
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    bool Mapped(xcb_window_t window) const
    {
        auto* reply = xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, window), nullptr);
        const bool mapped = reply != nullptr && reply->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(reply);
        return mapped;
    }

    // The window manager puts WM_STATE on the windows it manages and takes it off withdrawn ones.
    bool Managed(xcb_window_t window) const { return !Property(window, "WM_STATE", XCB_ATOM_ANY).empty(); }

    bool HasState(xcb_window_t window, const char* state) const
    {
        const std::vector<uint32_t> states = Property(window, "_NET_WM_STATE", XCB_ATOM_ATOM);
        return std::find(states.begin(), states.end(), Atom(state)) != states.end();
    }

private:
    xcb_atom_t Atom(const char* name) const
    {
        auto* reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply != nullptr ? reply->atom : XCB_NONE;
        std::free(reply);
        return atom;
    }

    std::vector<uint32_t> Property(xcb_window_t window, const char* name, xcb_atom_t type) const
    {
        auto* reply = xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, Atom(name), type, 0, 64), nullptr);
        std::vector<uint32_t> values;
        if (reply != nullptr && reply->format == 32) {
            const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
            values.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
        return values;
    }

    xcb_connection_t* connection_;
};

class WindowHidingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        desktop = std::make_unique<XApplication<QApplication>>(XServer::Options{.windowManager = true});
    }
    static void TearDownTestSuite() { desktop.reset(); }

    WindowHidingTest()
    {
        window->resize(400, 300);
        KeepOffTaskBar(*window);
        HideWhenMinimised(*window);
    }

    xcb_window_t Id() const { return static_cast<xcb_window_t>(window->winId()); }
    bool ShownAndManaged() const { return observer.Mapped(Id()) && observer.Managed(Id()); }
    bool Withdrawn() const { return !observer.Mapped(Id()) && !observer.Managed(Id()); }

    static inline std::unique_ptr<XApplication<QApplication>> desktop;
    Observer observer{desktop->server};
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
};

TEST_F(WindowHidingTest, WindowStaysOffTheTaskBarThroughHideAndShowCycles)
{
    for (int cycle = 0; cycle < 4; ++cycle) {
        ShowInFront(*window);
        ASSERT_TRUE(WaitUntil([&] { return ShownAndManaged(); })) << "cycle " << cycle;
        EXPECT_TRUE(WaitUntil([&] { return observer.HasState(Id(), "_NET_WM_STATE_SKIP_TASKBAR"); }))
            << "cycle " << cycle;
        EXPECT_TRUE(observer.HasState(Id(), "_NET_WM_STATE_SKIP_PAGER")) << "cycle " << cycle;

        window->hide();
        ASSERT_TRUE(WaitUntil([&] { return Withdrawn(); })) << "cycle " << cycle;
    }
}

TEST_F(WindowHidingTest, WindowShownBeforeItWasKeptOffTheTaskBarLeavesIt)
{
    QWidget early;
    early.show();
    const auto id = static_cast<xcb_window_t>(early.winId());
    ASSERT_TRUE(WaitUntil([&] { return observer.Mapped(id) && observer.Managed(id); }));

    KeepOffTaskBar(early);

    EXPECT_TRUE(WaitUntil([&] { return observer.HasState(id, "_NET_WM_STATE_SKIP_TASKBAR"); }));
}

TEST_F(WindowHidingTest, MinimisingHidesTheWindowAndShowingBringsItBackInItsSize)
{
    ShowInFront(*window);
    // Activation waits for the window to be exposed, and would bring an iconified window back.
    ASSERT_TRUE(WaitUntil([&] { return ShownAndManaged() && window->isActiveWindow(); }));
    const QSize size = window->size();

    desktop->server.Run({"xdotool", "windowminimize", std::to_string(Id())});

    ASSERT_TRUE(WaitUntil([&] { return window->isHidden() && Withdrawn(); }));

    ShowInFront(*window);
    ASSERT_TRUE(WaitUntil([&] { return ShownAndManaged(); }));
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(window->size(), size);
    EXPECT_TRUE(WaitUntil([&] { return observer.HasState(Id(), "_NET_WM_STATE_SKIP_TASKBAR"); }));
    EXPECT_FALSE(observer.HasState(Id(), "_NET_WM_STATE_HIDDEN"));
}

} // namespace
} // namespace quietpane
