// The built program, started as a process of its own from a copy of its folder.

#include "support/ProgramCopy.h"
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

} // namespace
