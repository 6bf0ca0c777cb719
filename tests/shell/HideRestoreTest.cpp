// Hiding and restoring the main window with the global hotkeys, on a real X server with a
// window manager, pressed from outside with xdotool.

#include "hotkeys/HotKeyRecorder.h"
#include "platform/GuardedApplication.h"
#include "platform/X11HotKeys.h"
#include "shell/formWeb.h"
#include "support/PageServer.h"
#include "support/ProgramCopy.h"
#include "support/ProgramOnX.h"
#include "support/QtTestSupport.h"
#include "support/ShellDoubles.h"
#include "support/TestSupport.h"
#include "support/XApplication.h"
#include "support/XClient.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace quietpane;
using namespace quietpane::test;

namespace {

constexpr uint16_t CtrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
constexpr uint32_t KeySymO = 'o';
constexpr TShortCut CtrlAltKey = 0x4000 | 0x8000;

// Holds Ctrl+Alt and a letter (O unless told) as another program would, for as long as it lives.
class OtherClientHoldingCtrlAlt {
public:
    explicit OtherClientHoldingCtrlAlt(const XServer& server, uint32_t keySym = KeySymO)
        : connection_(Connect(server))
    {
        if (!GrabAsOtherClient(connection_.get(), KeyCodeOfKeySym(connection_.get(), keySym), CtrlAlt))
            throw std::runtime_error("the combination could not be grabbed");
    }

    // True once a press of the combination reached this client.
    bool PressArrived() { return KeyPressArrived(connection_.get(), pressArrived_); }

private:
    Connection connection_;
    bool pressArrived_ = false;
};

// The built program on an X server of its own with openbox; the test presses keys from outside.
class HideRestoreTest : public ::testing::Test {
protected:
    void Start() { ASSERT_TRUE(run.Start()) << copy.Log(); }

    void Press(const std::string& keys) { run.Press(keys); }
    bool BecomesHidden() { return run.BecomesHidden(window); }
    bool BecomesShown() { return run.BecomesShown(window); }
    bool OffTheTaskBar() { return run.OffTheTaskBar(window); }

    // Types an address where the keyboard focus is and presses Return; true once the window's
    // caption is the title of the page, so the typing went to the address box.
    bool TypedAddressOpens(const std::string& url, const std::string& title)
    {
        // The user types once the window is active; keys sent before the window manager has
        // handed it the keyboard would go nowhere.
        if (!Eventually([&] { return observer.Focus() == window; }, ProgramOnX::ReactionTime))
            return false;
        server.Run({"xdotool", "type", "--delay", "20", url});
        Press("Return");
        return Eventually([&] { return WindowName() == title; }, ProgramOnX::ReactionTime);
    }
    std::string WindowName() const
    {
        const std::string name = server.Run({"xdotool", "getwindowname", std::to_string(window)});
        return name.substr(0, name.find('\n'));
    }
    std::string Size() const
    {
        const std::string geometry = server.Run({"xdotool", "getwindowgeometry", std::to_string(window)});
        const size_t at = geometry.find("Geometry:");
        return at == std::string::npos ? geometry : geometry.substr(at);
    }

    ProgramOnX run{QUIETPANE_PROGRAM, QUIETPANE_DELIVERED_DATABASE};
    XServer& server = run.server;
    Observer& observer = run.observer;
    ProgramCopy& copy = run.copy;
    std::unique_ptr<ChildProcess>& program = run.process;
    const xcb_window_t& window = run.mainWindow;
};

TEST_F(HideRestoreTest, DeliveredHotKeysHideAndRestoreAlsoWithNumLockAndKeepItOffTheTaskBar)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_TRUE(OffTheTaskBar());
    for (const char* lock : {"", "Num_Lock"}) {
        if (*lock != '\0')
            Press(lock);
        for (int cycle = 0; cycle < 2; ++cycle) {
            Press("ctrl+alt+h");
            ASSERT_TRUE(BecomesHidden()) << lock << " cycle " << cycle;
            Press("ctrl+alt+o");
            ASSERT_TRUE(BecomesShown()) << lock << " cycle " << cycle;
            EXPECT_TRUE(OffTheTaskBar()) << lock << " cycle " << cycle;
        }
    }
    EXPECT_TRUE(program->Running());
}

TEST_F(HideRestoreTest, TypingGoesToTheAddressBoxAfterStartAndAfterEachRestore)
{
    PageServer pages;
    pages.Write("first.html", "<html><head><title>First typed</title></head><body>1</body></html>");
    pages.Write("second.html", "<html><head><title>Second typed</title></head><body>2</body></html>");
    ASSERT_NO_FATAL_FAILURE(Start());
    // The home page's title puts its address into the box: typing starts after it.
    ASSERT_TRUE(Eventually([&] { return WindowName() != "Quietpane"; }, ProgramOnX::StartTime));
    EXPECT_TRUE(TypedAddressOpens(pages.Url("first.html"), "First typed")) << WindowName() << copy.Log();

    Press("ctrl+alt+h");
    ASSERT_TRUE(BecomesHidden());
    Press("ctrl+alt+o");
    ASSERT_TRUE(BecomesShown());
    EXPECT_TRUE(TypedAddressOpens(pages.Url("second.html"), "Second typed")) << WindowName() << copy.Log();
}

TEST_F(HideRestoreTest, MinimisingHidesAndTheRestoreHotKeyBringsItBackInItsSize)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::string size = Size();

    server.Run({"xdotool", "windowminimize", std::to_string(window)});
    ASSERT_TRUE(BecomesHidden()); // withdrawn, not iconified

    Press("ctrl+alt+o");
    ASSERT_TRUE(BecomesShown());
    EXPECT_EQ(Size(), size);
    EXPECT_TRUE(OffTheTaskBar());
}

TEST_F(HideRestoreTest, RestoreKeyHeldByAnotherProgramAtStartLeavesTheWindowOnTheScreen)
{
    OtherClientHoldingCtrlAlt other(server);
    ASSERT_NO_FATAL_FAILURE(Start());

    Press("ctrl+alt+h");
    Press("ctrl+alt+o");
    ASSERT_TRUE(Eventually([&] { return other.PressArrived(); }, ProgramOnX::ReactionTime));
    EXPECT_TRUE(observer.ShownAndManaged(window));
    EXPECT_TRUE(program->Running()) << copy.Log();
}

// The main window in this process with the desktop's hotkeys on a real X server, so that the
// hotkey panel's warnings can be read.
class HotKeyPanelOnXTest : public ::testing::Test {
protected:
    static XApplication<TQuietpaneApplication>& Desktop()
    {
        if (!desktop)
            desktop = std::make_unique<XApplication<TQuietpaneApplication>>(
                XServer::Options{.windowManager = true});
        return *desktop;
    }
    static void TearDownTestSuite() { desktop.reset(); }

    std::unique_ptr<TfrmWeb> Create()
    {
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, folder.Path() / "Quietpane.mdb",
                                   std::filesystem::copy_options::overwrite_existing);
        TfrmWebSetup setup;
        setup.programFolder = QString::fromStdString(folder.Path().string());
        setup.createBrowser = [](QWidget* parent) { return std::make_unique<FakeBrowser>(parent); };
        setup.registry = &registry;
        setup.internetAutodial = [] { return true; };
        return std::make_unique<TfrmWeb>(setup);
    }

    // A click of the user's on the middle of one of the window's widgets.
    void ClickOn(TfrmWeb& window, const QWidget& widget)
    {
        const QPoint where = widget.mapTo(&window, widget.rect().center());
        server.Run({"xdotool", "mousemove", "--window", std::to_string(Id(window)), std::to_string(where.x()),
                    std::to_string(where.y()), "click", "1"});
    }

    // Presses keys as the user, then waits for what they should bring.
    bool Press(const std::string& keys, const std::function<bool()>& until)
    {
        server.Run({"xdotool", "key", keys});
        return WaitUntil(until, 10000);
    }

    void Show(QWidget& window)
    {
        window.show();
        ASSERT_TRUE(WaitUntil([&] { return observer.ShownAndManaged(Id(window)); }, 10000));
    }

    static THotKeyRecorder& Recorder(TfrmWeb& window)
    {
        return *window.findChild<THotKeyRecorder*>("HotKey1");
    }
    static xcb_window_t Id(QWidget& window) { return static_cast<xcb_window_t>(window.winId()); }

    static inline std::unique_ptr<XApplication<TQuietpaneApplication>> desktop;
    XServer& server = Desktop().server;
    Observer observer{server};
    TempDir folder;
    RecordingRegistry registry;
    RecordingMessageBoxes boxes;
};

TEST_F(HotKeyPanelOnXTest, CombinationHeldByAnotherProgramIsNotStoredAndTheOldRestoreKeyWorks)
{
    OtherClientHoldingCtrlAlt other(server, 't');
    auto window = Create();
    Show(*window);
    window->HotKeys1Click();
    Recorder(*window).SetHotKey(CtrlAltKey | 'T');
    window->bHotkey2Click();

    EXPECT_EQ(boxes.warnings, QStringList({"Ctrl+Alt+T couldn't be assigned to a hotkey."}));
    EXPECT_EQ(window->findChild<QLabel*>("lbRestoreKey")->text(), "Restores now: Ctrl+Alt+O");
    ASSERT_TRUE(Press("ctrl+alt+h", [&] { return observer.Withdrawn(Id(*window)); }));
    EXPECT_TRUE(Press("ctrl+alt+o", [&] { return observer.ShownAndManaged(Id(*window)); }));
}

// With no restore key at work, the hide key and minimising leave the window on the screen.
TEST_F(HotKeyPanelOnXTest, WithoutAWorkingRestoreKeyTheWindowIsNotHidden)
{
    // What the user does clears the status bar first.
    auto staysShown = [&](TfrmWeb& window, const std::vector<std::string>& command) {
        window.statusBar()->clearMessage();
        server.Run(command);
        return WaitUntil([&] {
            return window.statusBar()->currentMessage() == "No restore key works, so the window is not "
                                                           "hidden. Choose one under Tools > Hot Keys." &&
                   observer.ShownAndManaged(Id(window)) && !window.isMinimized();
        });
    };
    const std::vector<std::string> hideKey{"xdotool", "key", "ctrl+alt+h"};
    {
        OtherClientHoldingCtrlAlt other(server); // the stored restore key, at start
        auto window = Create();
        EXPECT_EQ(window->statusBar()->currentMessage(),
                  "Ctrl+Alt+O couldn't be assigned to a hotkey, so it does not restore the window.");
        Show(*window);
        EXPECT_TRUE(staysShown(*window, hideKey));
        EXPECT_TRUE(staysShown(*window, {"xdotool", "windowminimize", std::to_string(Id(*window))}));
    }
    // A restore key of the panel's, deleted there.
    auto window = Create();
    Show(*window);
    window->HotKeys1Click();
    Recorder(*window).SetHotKey(CtrlAltKey | 'R');
    window->bHotkey2Click();
    window->findChild<QListWidget*>("ListBox1")->setCurrentRow(0);
    window->bDeleteClick();
    EXPECT_EQ(window->findChild<QLabel*>("lbRestoreKey")->text(),
              "Restores now: Ctrl+Alt+R (not registered)");
    EXPECT_TRUE(staysShown(*window, hideKey));
}

TEST_F(HotKeyPanelOnXTest, WithTheOptionTheMailWindowAndAnOpenDialogHideAndComeBack)
{
    for (const bool option : {false, true}) {
        SCOPED_TRACE(option);
        auto window = Create();
        QWidget mailWindow;
        window->SetMailWindow(&mailWindow);
        window->HotKeys1Click();
        if (option)
            window->findChild<QCheckBox*>("cbHideMailWindow")->click();
        QDialog dialog(window.get());
        Show(*window);
        Show(mailWindow);
        dialog.open(); // modal to the window, waiting for its answer
        Show(dialog);
        const std::vector<QWidget*> others{&mailWindow, &dialog};

        ASSERT_TRUE(Press("ctrl+alt+h", [&] { return observer.Withdrawn(Id(*window)); }));
        for (QWidget* other : others)
            EXPECT_TRUE(WaitUntil([&] { return observer.Withdrawn(Id(*other)) == option; }, 10000));
        EXPECT_TRUE(Press("ctrl+alt+o", [&] {
            return observer.ShownAndManaged(Id(*window)) && observer.ShownAndManaged(Id(mailWindow)) &&
                   observer.ShownAndManaged(Id(dialog));
        }));
        EXPECT_TRUE(dialog.isVisible()); // still waiting: hiding it was no answer
    }
}

TEST_F(HotKeyPanelOnXTest, RecordedCtrlShiftKHidesFromThenOn)
{
    auto window = Create();
    Recorder(*window).SetHotKey(0x2000 | 0x4000 | 'K');
    window->bHotkey1Click();
    ASSERT_TRUE(boxes.warnings.isEmpty()) << boxes.warnings.join("\n").toStdString();
    ASSERT_EQ(window->findChild<QListWidget*>("ListBox1")->item(0)->text(), "Shift+Ctrl+K");

    window->show();
    ASSERT_TRUE(WaitUntil([&] { return observer.ShownAndManaged(Id(*window)); }, 10000));
    server.Run({"xdotool", "key", "ctrl+shift+k"});
    EXPECT_TRUE(WaitUntil([&] { return window->isHidden() && observer.Withdrawn(Id(*window)); }, 10000));

    server.Run({"xdotool", "key", "ctrl+alt+o"});
    ASSERT_TRUE(WaitUntil([&] { return observer.ShownAndManaged(Id(*window)); }, 10000));
    server.Run({"xdotool", "key", "ctrl+shift+k"});
    EXPECT_TRUE(WaitUntil([&] { return observer.Withdrawn(Id(*window)); }, 10000));
}

TEST_F(HotKeyPanelOnXTest, HideKeyCanBeRecordedAsTheRestoreKeyWhileTheRecorderHasTheFocus)
{
    auto window = Create();
    window->show();
    ASSERT_TRUE(WaitUntil([&] { return observer.ShownAndManaged(Id(*window)); }, 10000));
    window->HotKeys1Click();
    THotKeyRecorder& recorder = Recorder(*window);
    ClickOn(*window, recorder);
    ASSERT_TRUE(WaitUntil([&] { return recorder.hasFocus(); }, 10000));

    // The program's own grab lets the key through to the recorder instead of hiding the window.
    server.Run({"xdotool", "key", "ctrl+alt+h"});
    ASSERT_TRUE(WaitUntil([&] { return recorder.HotKey() == (0x4000 | 0x8000 | 'H'); }, 10000));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(observer.ShownAndManaged(Id(*window)));

    ClickOn(*window, *window->findChild<QPushButton*>("bHotkey2"));
    ASSERT_TRUE(WaitUntil([&] { return !boxes.warnings.isEmpty(); }, 10000));
    // Ctrl+Alt+H is still registered as the hide key, and now stored as the restore key too.
    EXPECT_EQ(boxes.warnings, QStringList({"Ctrl+Alt+H couldn't be assigned to a hotkey."}));
    EXPECT_EQ(window->findChild<QLabel*>("lbRestoreKey")->text(), "Restores now: Ctrl+Alt+H");
    EXPECT_EQ(window->findChild<QLabel*>("lbHideKey")->text(), "Hides now: Ctrl+Alt+H");

    // The focus has left the recorder: the program holds its keys again.
    Connection other = Connect(server);
    EXPECT_FALSE(GrabAsOtherClient(other.get(), KeyCodeOfKeySym(other.get(), 'h'), CtrlAlt));
    EXPECT_FALSE(GrabAsOtherClient(other.get(), KeyCodeOfKeySym(other.get(), KeySymO), CtrlAlt));
}

} // namespace
