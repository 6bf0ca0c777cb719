// Where typed keys go after a dialog or message box of the main window closes: the real dialogs
// and the real engine on an X server with openbox, another program's window beside ours, and a
// user at the keyboard (xdotool).

#include "shell/BookmarkNavigator.h"
#include "shell/formWeb.h"
#include "support/PageServer.h"
#include "support/QtTestSupport.h"
#include "support/ShellDoubles.h"
#include "support/TestSupport.h"
#include "support/XApplication.h"
#include "support/XClient.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace quietpane;
using namespace quietpane::test;

namespace {

// A user who waits for each situation in turn and then presses keys, also while a dialog runs
// a loop of its own.
class KeyboardUser {
public:
    struct Step {
        std::function<bool()> when;
        std::string keys;
    };

    KeyboardUser(const XServer& server, std::vector<Step> steps) : server_(server), steps_(std::move(steps))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (next_ < steps_.size() && steps_[next_].when())
                server_.Run({"xdotool", "key", steps_[next_++].keys});
        });
        timer_.start(100);
    }

    bool Done() const { return next_ == steps_.size(); }

private:
    const XServer& server_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    QTimer timer_;
};

class DialogFocusTest : public ::testing::Test {
protected:
    static XApplication<TQuietpaneApplication>& Desktop()
    {
        if (!desktop)
            desktop = EngineDesktop<TQuietpaneApplication>();
        return *desktop;
    }
    static void TearDownTestSuite() { desktop.reset(); }

    void SetUp() override
    {
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, folder.Path() / "Quietpane.mdb");
        pages.Write("index.html", "<html><head><title>Home</title></head><body>Home</body></html>");
        window = std::make_unique<TfrmWeb>(
            EngineWindowSetup(folder.Path(), registry, QString::fromStdString(pages.Url("index.html"))));
        window->show();
        ASSERT_TRUE(WaitUntil([&] { return window->windowTitle() == "Home" && Active(); }));
    }
    void TearDown() override { window.reset(); }

    bool Active() const { return QApplication::activeWindow() == window.get(); }
    // The window's dialog has the focus, ready for the user's keys.
    static bool DialogActive()
    {
        return QApplication::activeModalWidget() != nullptr &&
               QApplication::activeWindow() == QApplication::activeModalWidget();
    }
    QComboBox* Urls() const { return window->findChild<QComboBox*>("Urls"); }
    QString AddressText() const { return Urls()->currentText(); }

    XServer& server = Desktop().server;
    OtherProgramWindow other{server}; // mapped first: ours come later and on top
    Observer observer{server};
    TempDir folder;
    PageServer pages;
    RecordingRegistry registry;
    std::unique_ptr<TfrmWeb> window;
    static inline std::unique_ptr<XApplication<TQuietpaneApplication>> desktop;
};

TEST_F(DialogFocusTest, TypedKeysReachTheAddressBoxAfterADialogCloses)
{
    const KeyboardUser::Step answer{DialogActive, "Escape"};
    struct Case {
        const char* name;
        std::function<void()> open; // returns once the dialog is closed
        std::vector<KeyboardUser::Step> user;
    };
    const Case cases[] = {
        {"Page Properties", [&] { window->Properties1Click(); }, {answer}},
        {"Save As", [&] { window->SaveAs1Click(); }, {answer}},
        {"Delete record?",
         [&] {
             window->Bookmark1Click();
             window->findChild<TBookmarkNavigator*>("DBNavigator1")->DeleteButton()->click();
         },
         {answer}},
        // Hidden and restored while the dialog waits (it stays on the screen).
        {"Page Properties across a hide",
         [&] { window->Properties1Click(); },
         {{DialogActive, "ctrl+alt+h"},
          {[&] { return observer.Withdrawn(static_cast<xcb_window_t>(window->winId())); }, "ctrl+alt+o"},
          {[&] { return window->isVisible() && DialogActive(); }, "Escape"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->FocusAddressBox(); // its text selected: typing replaces it
        KeyboardUser user(server, c.user);
        c.open();
        ASSERT_TRUE(user.Done());
        // The user looks up from the dialog, then types.
        ASSERT_TRUE(WaitUntil([&] { return observer.Focus() == window->winId(); }, 10000))
            << observer.Focus();
        const std::string typed = std::string("typed") + char('a' + (&c - cases));
        server.Run({"xdotool", "type", "--delay", "20", typed});
        EXPECT_TRUE(WaitUntil([&] { return AddressText().toStdString() == typed; }, 10000))
            << AddressText().toStdString();
        EXPECT_FALSE(other.KeyArrived());
    }
}

} // namespace
