// Hiding and restoring the main window with the global hotkeys, on a real X server with a
// window manager, pressed from outside with xdotool.

#include "hotkeys/HotKeyRecorder.h"
#include "platform/GuardedApplication.h"
#include "platform/X11HotKeys.h"
#include "support/ShellDoubles.h"
#include "shell/formWeb.h"
#include "support/ProgramCopy.h"
#include "support/QtTestSupport.h"
#include "support/TestSupport.h"
#include "support/XApplication.h"
#include "support/XClient.h"

#include <QListWidget>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

using namespace quietpane;
using namespace quietpane::test;

namespace {

constexpr std::chrono::seconds StartTime(30);
constexpr std::chrono::seconds ReactionTime(10);
constexpr uint16_t CtrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
constexpr uint32_t KeySymO = 'o';

// Holds Ctrl+Alt+O as another program would, for as long as it lives.
class OtherClientHoldingCtrlAltO {
public:
    explicit OtherClientHoldingCtrlAltO(const XServer& server) : connection_(Connect(server))
    {
        if (!GrabAsOtherClient(connection_.get(), KeyCodeOfKeySym(connection_.get(), KeySymO), CtrlAlt))
            throw std::runtime_error("Ctrl+Alt+O could not be grabbed");
    }

    // True once a press of the combination reached this client.
    bool PressArrived()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_.get())) {
            pressArrived_ = pressArrived_ || (event->response_type & 0x7f) == XCB_KEY_PRESS;
            std::free(event);
        }
        return pressArrived_;
    }

private:
    Connection connection_;
    bool pressArrived_ = false;
};

// The built program on an X server of its own with openbox; the test presses keys from outside.
class HideRestoreTest : public ::testing::Test {
protected:
    // Starts the program and waits for its main window to be shown; the stored hotkeys are
    // registered before that.
    void Start()
    {
        auto environment = server.Environment();
        environment["QT_QPA_PLATFORM"] = "xcb";
        program = copy.Start(environment);
        const std::string pid = std::to_string(program->Pid());
        ASSERT_TRUE(Eventually(
            [&] {
                try {
                    window = static_cast<xcb_window_t>(std::stoul(
                        server.Run({"xdotool", "search", "--onlyvisible", "--pid", pid, "--name", "."})));
                    return true;
                } catch (const std::exception&) {
                    return false;
                }
            },
            StartTime))
            << copy.Log();
        ASSERT_TRUE(Eventually([&] { return observer.ShownAndManaged(window); }, ReactionTime));
    }

    void Press(const std::string& keys) { server.Run({"xdotool", "key", keys}); }

    bool BecomesHidden()
    {
        return Eventually([&] { return observer.Withdrawn(window); }, ReactionTime);
    }
    bool BecomesShown()
    {
        return Eventually([&] { return observer.ShownAndManaged(window); }, ReactionTime);
    }
    bool OffTheTaskBar()
    {
        return Eventually(
            [&] {
                return server.Run({"xprop", "-id", std::to_string(window), "_NET_WM_STATE"})
                           .find("_NET_WM_STATE_SKIP_TASKBAR") != std::string::npos;
            },
            ReactionTime);
    }
    std::string Size() const
    {
        const std::string geometry = server.Run({"xdotool", "getwindowgeometry", std::to_string(window)});
        const size_t at = geometry.find("Geometry:");
        return at == std::string::npos ? geometry : geometry.substr(at);
    }

    XServer server{XServer::Options{.windowManager = true}};
    Observer observer{server};
    ProgramCopy copy{QUIETPANE_PROGRAM, QUIETPANE_DELIVERED_DATABASE};
    std::unique_ptr<ChildProcess> program;
    xcb_window_t window = XCB_NONE;
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

TEST_F(HideRestoreTest, CombinationHeldByAnotherProgramAtStartIsPassedOverSilently)
{
    OtherClientHoldingCtrlAltO other(server);
    ASSERT_NO_FATAL_FAILURE(Start());

    Press("ctrl+alt+h");
    ASSERT_TRUE(BecomesHidden());
    Press("ctrl+alt+o");
    ASSERT_TRUE(Eventually([&] { return other.PressArrived(); }, ReactionTime));
    EXPECT_TRUE(observer.Withdrawn(window));
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
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, folder.Path() / "Quietpane.mdb");
        TfrmWebSetup setup;
        setup.programFolder = QString::fromStdString(folder.Path().string());
        setup.createBrowser = [](QWidget* parent) { return std::make_unique<FakeBrowser>(parent); };
        setup.registry = &registry;
        setup.internetAutodial = [] { return true; };
        return std::make_unique<TfrmWeb>(setup);
    }

    static THotKeyRecorder& Recorder(TfrmWeb& window)
    {
        return *window.findChild<THotKeyRecorder*>("HotKey1");
    }
    static xcb_window_t Id(TfrmWeb& window) { return static_cast<xcb_window_t>(window.winId()); }

    static inline std::unique_ptr<XApplication<TQuietpaneApplication>> desktop;
    XServer& server = Desktop().server;
    Observer observer{server};
    TempDir folder;
    RecordingRegistry registry;
    RecordingMessageBoxes boxes;
};

TEST_F(HotKeyPanelOnXTest, CombinationHeldByAnotherProgramCannotBeAssigned)
{
    OtherClientHoldingCtrlAltO other(server);
    auto window = Create();
    EXPECT_TRUE(boxes.warnings.isEmpty()); // the failed start-up registration is not reported

    Recorder(*window).SetHotKey(0x4000 | 0x8000 | 'O');
    window->bHotkey2Click();

    EXPECT_EQ(boxes.warnings, QStringList({"Ctrl+Alt+O couldn't be assigned to a hotkey."}));
    EXPECT_EQ(window->findChild<QListWidget*>("ListBox1")->count(), 0);
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

} // namespace
