#include "platform/WindowHiding.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <memory>

#include "support/XApplication.h"
#include "support/XClient.h"

namespace quietpane {
namespace {

using quietpane::test::Observer;
using quietpane::test::WaitUntil;
using quietpane::test::XApplication;
using quietpane::test::XServer;

class WindowHidingTest : public ::testing::Test {
protected:
    // Made by the first test, so that a failure to start is that test's failure.
    static XApplication<QApplication>& Desktop()
    {
        if (!desktop) {
            desktop = std::make_unique<XApplication<QApplication>>(XServer::Options{.windowManager = true});
        }
        return *desktop;
    }
    static void TearDownTestSuite() { desktop.reset(); }

    WindowHidingTest()
    {
        window->resize(400, 300);
        KeepOffTaskBar(*window);
        HideWhenMinimised(*window);
    }

    xcb_window_t Id() const { return static_cast<xcb_window_t>(window->winId()); }
    bool ShownAndManaged() const { return observer.ShownAndManaged(Id()); }
    bool Withdrawn() const { return observer.Withdrawn(Id()); }

    static inline std::unique_ptr<XApplication<QApplication>> desktop;
    Observer observer{Desktop().server};
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
    // The activation waits for the window to be mapped, and would bring an iconified window back:
    // once exposed, the window has asked for it (granted or not, on a busy machine).
    ASSERT_TRUE(WaitUntil([&] { return ShownAndManaged() && window->windowHandle()->isExposed(); }));
    const QSize size = window->size();

    Desktop().server.Run({"xdotool", "windowminimize", std::to_string(Id())});

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
