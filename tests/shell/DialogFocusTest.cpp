// Where typed keys go after a dialog or message box of the main window closes: the real dialogs
// and engine under Xvfb with openbox, another program's window beside ours, keys from xdotool.

#include "shell/BookmarkNavigator.h"
#include "shell/formWeb.h"
#include "support/PageServer.h"
#include "support/ShellDoubles.h"
#include "support/XApplication.h"
#include "support/XClient.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace quietpane;
using namespace quietpane::test;

namespace {

TEST(DialogFocusTest, TypedKeysReachTheAddressBoxAfterADialogCloses)
{
    auto desktop = EngineDesktop<TQuietpaneApplication>();
    XServer& server = desktop->server;
    OtherProgramWindow other(server); // mapped first: ours come later, on top
    Observer observer(server);
    TempDir folder;
    PageServer pages;
    RecordingRegistry registry;
    std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, folder.Path() / "Quietpane.mdb");
    pages.Write("index.html", "<html><head><title>Home</title></head><body>Home</body></html>");
    TfrmWeb window(
        EngineWindowSetup(folder.Path(), registry, QString::fromStdString(pages.Url("index.html"))));
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return window.windowTitle() == "Home" && window.isActiveWindow(); }));
    auto* urls = window.findChild<QComboBox*>("Urls");

    auto dialogActive = [] {
        return QApplication::activeModalWidget() &&
               QApplication::activeWindow() == QApplication::activeModalWidget();
    };
    using Steps = std::vector<std::pair<std::function<bool()>, std::string>>; // when, then the keys
    const Steps answer{{dialogActive, "Escape"}};
    const struct {
        const char* name;
        std::function<void()> open; // returns once the dialog is closed
        Steps user;
    } cases[] = {
        {"Page Properties", [&] { window.Properties1Click(); }, answer},
        {"Save As", [&] { window.SaveAs1Click(); }, answer},
        {"Delete record?",
         [&] {
             window.Bookmark1Click();
             window.findChild<TBookmarkNavigator*>("DBNavigator1")->DeleteButton()->click();
         },
         answer},
        // Hidden and restored while the dialog waits (it stays on the screen).
        {"Page Properties across a hide",
         [&] { window.Properties1Click(); },
         {{dialogActive, "ctrl+alt+h"},
          {[&] { return observer.Withdrawn(window.winId()); }, "ctrl+alt+o"},
          {[&] { return window.isVisible() && dialogActive(); }, "Escape"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window.FocusAddressBox(); // its text selected: typing replaces it
        // The user, also while the dialog runs a loop of its own.
        size_t next = 0;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (next < c.user.size() && c.user[next].first())
                server.Run({"xdotool", "key", c.user[next++].second});
        });
        user.start(100);
        c.open();
        ASSERT_EQ(next, c.user.size());
        // The user looks up from the dialog, then types.
        ASSERT_TRUE(WaitUntil([&] { return observer.Focus() == window.winId(); }, 10000)) << observer.Focus();
        const std::string typed = std::string("typed") + char('a' + (&c - cases));
        server.Run({"xdotool", "type", "--delay", "20", typed});
        EXPECT_TRUE(WaitUntil([&] { return urls->currentText().toStdString() == typed; }, 10000));
        EXPECT_FALSE(other.KeyArrived());
    }
}

} // namespace
