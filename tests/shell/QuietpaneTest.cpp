// The built program, started as a process of its own from a copy of its folder.

#include "support/TestSupport.h"
#include "support/XServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

using namespace quietpane::test;
namespace fs = std::filesystem;

namespace {

class QuietpaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(programFolder());
        fs::copy_file(QUIETPANE_PROGRAM, programFolder() / "Quietpane");
        fs::copy_file(QUIETPANE_DELIVERED_DATABASE, programFolder() / "Quietpane.mdb");
        fs::create_directories(home.Path() / ".config");
    }

    fs::path programFolder() const { return folder.Path() / "program"; }
    fs::path registryFile() const { return home.Path() / ".config" / "Tolvar.conf"; }

    // Started from another folder, with a home of its own.
    std::unique_ptr<ChildProcess> Start(std::map<std::string, std::string> environment)
    {
        environment["HOME"] = home.Path().string();
        environment["XDG_CONFIG_HOME"] = (home.Path() / ".config").string();
        environment["XDG_RUNTIME_DIR"] = home.Path().string();
        if (geteuid() == 0) {
            environment["QTWEBENGINE_DISABLE_SANDBOX"] = "1";
            environment["QTWEBENGINE_CHROMIUM_FLAGS"] = "--disable-gpu";
        }
        ChildProcess::Options options;
        options.environment = environment;
        options.workingDirectory = folder.Path();
        options.logFile = folder.Path() / "quietpane.log";
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{(programFolder() / "Quietpane").string()}, options);
    }

    bool WaitFor(const std::function<bool()>& condition,
                 std::chrono::seconds timeout = std::chrono::seconds(30))
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return true;
    }

    bool RegistryHoldsTheDatabasePath()
    {
        return fs::exists(registryFile()) &&
               ReadFile(registryFile()).find("DBPath=" + (programFolder() / "Quietpane.mdb").string()) !=
                   std::string::npos;
    }

    TempDir folder, home;
};

TEST_F(QuietpaneTest, StartsWithoutAnyDisplayAndRecordsTheDatabasePathOverAnOldOne)
{
    home.WriteFile(".config/Tolvar.conf", "[General]\nDBPath=/somewhere/else/Quietpane.mdb\n");
    auto program = Start({{"QT_QPA_PLATFORM", "offscreen"}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
    ASSERT_TRUE(WaitFor([&] { return RegistryHoldsTheDatabasePath(); })) << ReadFile(registryFile());
    EXPECT_EQ(ReadFile(registryFile()).find("/somewhere/else"), std::string::npos);
    ASSERT_TRUE(WaitFor([&] { return fs::is_directory(programFolder() / "Screen"); }));
    // The hotkeys simply fail to register; the program runs on.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(program->Running()) << ReadFile(folder.Path() / "quietpane.log");
}

TEST_F(QuietpaneTest, ShowsItsMainWindowUnderAnXServer)
{
    XServer server;
    auto environment = server.Environment();
    environment["QT_QPA_PLATFORM"] = "xcb";
    auto program = Start(environment);
    const std::string pid = std::to_string(program->Pid());
    ASSERT_TRUE(WaitFor([&] {
        try {
            return server.Run({"xdotool", "search", "--onlyvisible", "--pid", pid, "--name", "."}).size() > 0;
        } catch (const std::exception&) {
            return false;
        }
    })) << ReadFile(folder.Path() / "quietpane.log");
    EXPECT_TRUE(RegistryHoldsTheDatabasePath());
    EXPECT_TRUE(program->Running());
}

TEST_F(QuietpaneTest, MissingDatabaseEndsTheProgramWithAFailureStatus)
{
    fs::remove(programFolder() / "Quietpane.mdb");
    XServer server(XServer::Options{.windowManager = true});
    auto environment = server.Environment();
    environment["QT_QPA_PLATFORM"] = "xcb";
    auto program = Start(environment);
    const std::string pid = std::to_string(program->Pid());
    // Each box the program shows (the database's failure, then the failed table) is confirmed.
    int status = -1;
    ASSERT_TRUE(WaitFor([&] {
        status = program->Wait(std::chrono::milliseconds(200));
        if (status != -1)
            return true;
        try {
            if (!server.Run({"xdotool", "search", "--onlyvisible", "--pid", pid, "--name", "."}).empty())
                server.Run({"xdotool", "key", "Return"});
        } catch (const std::exception&) {
        }
        return false;
    })) << ReadFile(folder.Path() / "quietpane.log");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);
    EXPECT_FALSE(fs::exists(programFolder() / "Quietpane.mdb"));
    EXPECT_FALSE(fs::exists(registryFile()));
}

} // namespace
