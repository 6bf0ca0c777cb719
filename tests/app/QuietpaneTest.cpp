// The built program, started as a process of its own from a copy of its folder.

#include "support/KdePortalSession.h"
#include "support/ProgramCopy.h"
#include "support/ProgramOnX.h"
#include "support/TestSupport.h"
#include "support/XServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <sys/wait.h>

using namespace quietpane::test;
namespace fs = std::filesystem;

namespace {

constexpr std::chrono::seconds StartTime(30);

class QuietpaneTest : public ::testing::Test {
protected:
    bool RegistryHoldsTheDatabasePath()
    {
        return fs::exists(copy.RegistryFile()) &&
               ReadFile(copy.RegistryFile())
                       .find("DBPath=" + (copy.ProgramFolder() / "Quietpane.mdb").string()) !=
                   std::string::npos;
    }

    ProgramCopy copy{QUIETPANE_PROGRAM, QUIETPANE_DELIVERED_DATABASE};
};

TEST_F(QuietpaneTest, StartsWithoutAnyDisplayAndRecordsTheDatabasePathOverAnOldOne)
{
    copy.Home().WriteFile(".config/Tolvar.conf", "[General]\nDBPath=/somewhere/else/Quietpane.mdb\n");
    auto program = copy.Start({{"QT_QPA_PLATFORM", "offscreen"}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
    ASSERT_TRUE(Eventually([&] { return RegistryHoldsTheDatabasePath(); }, StartTime))
        << ReadFile(copy.RegistryFile());
    EXPECT_EQ(ReadFile(copy.RegistryFile()).find("/somewhere/else"), std::string::npos);
    ASSERT_TRUE(Eventually([&] { return fs::is_directory(copy.ProgramFolder() / "Screen"); }, StartTime));
    // The hotkeys simply fail to register; the program runs on.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(program->Running()) << copy.Log();
}

TEST_F(QuietpaneTest, ShowsItsMainWindowUnderAnXServer)
{
    XServer server;
    auto environment = server.Environment();
    environment["QT_QPA_PLATFORM"] = "xcb";
    auto program = copy.Start(environment);
    const std::string pid = std::to_string(program->Pid());
    ASSERT_TRUE(Eventually(
        [&] {
            try {
                return server.Run({"xdotool", "search", "--onlyvisible", "--pid", pid, "--name", "."})
                           .size() > 0;
            } catch (const std::exception&) {
                return false;
            }
        },
        StartTime))
        << copy.Log();
    EXPECT_TRUE(RegistryHoldsTheDatabasePath());
    EXPECT_TRUE(program->Running());
    // The window carries the program's icon.
    const std::string window =
        server.Run({"xdotool", "search", "--onlyvisible", "--pid", pid, "--name", "."});
    const std::string icon =
        server.Run({"xprop", "-id", window.substr(0, window.find('\n')), "_NET_WM_ICON"});
    EXPECT_NE(icon.find("Icon (16 x 16)"), std::string::npos) << icon.substr(0, 200);
    EXPECT_NE(icon.find("Icon (32 x 32)"), std::string::npos) << icon.substr(0, 200);
}

TEST_F(QuietpaneTest, MissingDatabaseEndsTheProgramWithAFailureStatus)
{
    fs::remove(copy.ProgramFolder() / "Quietpane.mdb");
    XServer server(XServer::Options{.windowManager = true});
    auto environment = server.Environment();
    environment["QT_QPA_PLATFORM"] = "xcb";
    auto program = copy.Start(environment);
    const std::string pid = std::to_string(program->Pid());
    // Each box the program shows (the database's failure, then the failed table) is confirmed.
    int status = -1;
    ASSERT_TRUE(Eventually(
        [&] {
            status = program->Wait(std::chrono::milliseconds(200));
            if (status != -1)
                return true;
            try {
                if (!server.Run({"xdotool", "search", "--onlyvisible", "--pid", pid, "--name", "."}).empty())
                    server.Run({"xdotool", "key", "Return"});
            } catch (const std::exception&) {
            }
            return false;
        },
        StartTime))
        << copy.Log();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);
    EXPECT_FALSE(fs::exists(copy.ProgramFolder() / "Quietpane.mdb"));
    EXPECT_FALSE(fs::exists(copy.RegistryFile()));
}

// The desktop's shortcuts run the window commands as programs of their own.
TEST(WindowCommandsTest, HideRestoreAndToggleReachTheRunningWindowAndFailWithoutOne)
{
    ProgramOnX run{QUIETPANE_PROGRAM, QUIETPANE_DELIVERED_DATABASE};
    // No program runs yet: nothing to act on, and no program is started by the command.
    auto command = [&](const std::string& option) {
        auto process = run.copy.Start({{"QT_QPA_PLATFORM", "offscreen"}, {"DISPLAY", ""}}, {option});
        const int status = process->Wait(ProgramOnX::ReactionTime);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    for (const char* option : {"--hide", "--restore", "--toggle"})
        EXPECT_EQ(command(option), 1) << option;
    EXPECT_NE(run.copy.Log().find("Quietpane is not running"), std::string::npos) << run.copy.Log();

    ASSERT_TRUE(run.Start()) << run.copy.Log();
    struct TStep {
        const char* option;
        bool shownAfter;
    };
    for (const TStep& step : {TStep{"--hide", false}, TStep{"--hide", false}, TStep{"--restore", true},
                              TStep{"--restore", true}, TStep{"--toggle", false}, TStep{"--toggle", true}}) {
        ASSERT_EQ(command(step.option), 0) << step.option << run.copy.Log();
        EXPECT_TRUE(step.shownAfter ? run.BecomesShown(run.mainWindow) : run.BecomesHidden(run.mainWindow))
            << step.option;
    }
    EXPECT_TRUE(run.OffTheTaskBar(run.mainWindow));
    EXPECT_TRUE(run.process->Running());
}

// On a KDE Plasma Wayland session the desktop takes the keys: its shortcut hides and restores
// the window, which stays an X11 window (here on Xvfb, as under XWayland).
TEST(PortalKeysTest, TheDesktopsShortcutsHideAndRestoreTheWindow)
{
    KdePortalSession desktop;
    ProgramOnX run{QUIETPANE_PROGRAM, QUIETPANE_DELIVERED_DATABASE};
    ASSERT_TRUE(run.Start(desktop.Environment())) << run.copy.Log();
    // Ctrl+Alt+H and Ctrl+Alt+O as the delivered settings hold them, once the desktop bound them.
    auto invoke = [&](const std::string& shortcut) {
        try {
            desktop.InvokeShortcut("quietpane", shortcut);
            return true;
        } catch (const std::exception&) {
            return false;
        }
    };
    ASSERT_TRUE(Eventually([&] { return invoke("hotkey-3-72"); }, ProgramOnX::ReactionTime))
        << run.copy.Log();
    EXPECT_TRUE(run.BecomesHidden(run.mainWindow));
    ASSERT_TRUE(invoke("hotkey-3-79"));
    EXPECT_TRUE(run.BecomesShown(run.mainWindow));
    EXPECT_TRUE(run.OffTheTaskBar(run.mainWindow));
}

} // namespace
