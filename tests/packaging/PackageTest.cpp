// The Debian package as the build makes it: its contents and metadata checked with Debian's own
// tools, then the program unpacked from it run as an unprivileged user on an X server of the
// test's own.

#include "support/PageServer.h"
#include "support/TestSupport.h"
#include "support/XClient.h"
#include "support/XServer.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace quietpane::test;
namespace fs = std::filesystem;

namespace {

constexpr std::chrono::seconds kStartTime{60};
constexpr std::chrono::seconds kReactionTime{15};

// Runs a shell command line; its output and error output, then "status=N".
std::string Checked(const std::string& commandLine)
{
    return RunProgram({"sh", "-c", commandLine + " 2>&1; echo status=$?"});
}
bool Passed(const std::string& checked)
{
    return checked.ends_with("status=0\n");
}

std::string FirstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

// The processes below a process, children first.
std::vector<pid_t> Descendants(pid_t parent)
{
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream status(entry.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("PPid:") && std::stoi(line.substr(5)) == parent) {
                found.push_back(std::stoi(name));
                for (const pid_t below : Descendants(std::stoi(name)))
                    found.push_back(below);
            }
        }
    }
    return found;
}

std::string StatusField(pid_t pid, const std::string& field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field + ":"))
            return line.substr(line.find_first_not_of(" \t", field.size() + 1));
    return {};
}

std::string UserNamespace(pid_t pid)
{
    std::error_code error;
    return fs::read_symlink("/proc/" + std::to_string(pid) + "/ns/user", error).string();
}

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The unprivileged user walks through the test's folder to the unpacked program.
        fs::permissions(work.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
        RunProgram({"cpack", "-G", "DEB", "--config", QUIETPANE_BUILD_DIR "/CPackConfig.cmake", "-B",
                    (work.Path() / "package").string()});
        for (const auto& entry : fs::directory_iterator(work.Path() / "package"))
            if (entry.path().extension() == ".deb")
                package = entry.path();
        ASSERT_FALSE(package.empty());
        RunProgram({"dpkg-deb", "-x", package.string(), root.string()});
    }

    TempDir work;
    fs::path root = work.Path() / "root";
    fs::path package;
};

TEST_F(PackageTest, HoldsTheProgramItsDatabaseMenuEntryAndMetadataAndPassesDebiansChecks)
{
    for (const char* file :
         {"usr/bin/quietpane", "usr/share/applications/org.tolvar.Quietpane.desktop",
          "usr/share/metainfo/org.tolvar.Quietpane.metainfo.xml",
          "usr/share/icons/hicolor/16x16/apps/quietpane.png",
          "usr/share/icons/hicolor/32x32/apps/quietpane.png",
          "usr/share/icons/hicolor/256x256/apps/quietpane.png", "usr/share/doc/quietpane/copyright",
          "usr/share/doc/quietpane/changelog.gz", "usr/share/man/man1/quietpane.1.gz"})
        EXPECT_TRUE(fs::is_regular_file(root / file)) << file;
    EXPECT_EQ(ReadFile(root / "usr/share/quietpane/Quietpane.mdb"), ReadFile(QUIETPANE_DELIVERED_DATABASE));

    const std::string fields =
        RunProgram({"dpkg-deb", "--field", package.string(), "Package", "Section", "Depends"});
    EXPECT_NE(fields.find("Package: quietpane\n"), std::string::npos) << fields;
    EXPECT_NE(fields.find("Section: web\n"), std::string::npos) << fields;
    // Found by dpkg-shlibdeps from what the program links, and what it loads at run time.
    for (const char* dependency :
         {"libqt6webenginewidgets6 (>=", "libqt6sql6 (>=", "libxcb1", "libc6 (>=", "libqt6sql6-sqlite",
          "libqt6webenginecore6-bin", "libqt6keychain1", "libsecret-1-0"})
        EXPECT_NE(fields.find(dependency), std::string::npos) << dependency << "\n" << fields;

    std::string checked = Checked("lintian --fail-on error " + package.string());
    EXPECT_TRUE(Passed(checked)) << checked;
    checked = Checked("desktop-file-validate " +
                      (root / "usr/share/applications/org.tolvar.Quietpane.desktop").string());
    EXPECT_EQ(checked, "status=0\n");
    checked = Checked("appstreamcli validate --no-net " +
                      (root / "usr/share/metainfo/org.tolvar.Quietpane.metainfo.xml").string());
    EXPECT_TRUE(Passed(checked)) << checked;
    const std::string desktop = ReadFile(root / "usr/share/applications/org.tolvar.Quietpane.desktop");
    EXPECT_NE(desktop.find("\nExec=quietpane %u\n"), std::string::npos);
    EXPECT_NE(desktop.find("\nCategories=Network;WebBrowser;\n"), std::string::npos);
    EXPECT_NE(desktop.find("\nIcon=quietpane\n"), std::string::npos);
}

TEST_F(PackageTest, HelpAndVersionNeedNoDisplay)
{
    EXPECT_EQ(RunProgram({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                          (root / "usr/bin/quietpane").string(), "--version"}),
              "Quietpane 0.1\n");
    EXPECT_TRUE(RunProgram({"env", "-u", "DISPLAY", (root / "usr/bin/quietpane").string(), "--help"})
                    .starts_with("Usage: quietpane [ADDRESS]\n"));
}

// An unprivileged user with a home of its own in the test's folder, which is also its runtime folder.
struct TUser {
    std::string name, group;
    fs::path home;
};

// The unpacked program as the user "nobody" (and "daemon" as another user).
class InstalledProgramTest : public PackageTest {
protected:
    void SetUp() override
    {
        // The web engine's sandbox puts its processes into user namespaces of their own; a
        // machine that refuses them to unprivileged users cannot run the program as one.
        if (!Passed(Checked("setpriv --reuid=nobody --regid=nogroup --clear-groups unshare --user true")))
            GTEST_SKIP() << "unprivileged user namespaces are not available here";
        ASSERT_NO_FATAL_FAILURE(PackageTest::SetUp());
        for (const TUser* user : {&nobody, &daemon}) {
            const passwd* account = getpwnam(user->name.c_str());
            ASSERT_NE(account, nullptr) << user->name;
            fs::create_directories(user->home);
            ASSERT_EQ(chown(user->home.c_str(), account->pw_uid, account->pw_gid), 0);
            fs::permissions(user->home, fs::perms::owner_all);
        }
        pages.Write("first.html", "<html><head><title>First page</title></head><body>1</body></html>");
        pages.Write("second.html", "<html><head><title>Handed over</title></head><body>2</body></html>");
    }

    // The unpacked program started as the user, with the web engine's sandbox left to the program.
    std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& arguments, const std::string& log,
                                        const TUser& user)
    {
        const fs::path& home = user.home;
        std::vector<std::string> argv{"env",
                                      "-u",
                                      "QTWEBENGINE_DISABLE_SANDBOX",
                                      "setpriv",
                                      "--reuid=" + user.name,
                                      "--regid=" + user.group,
                                      "--clear-groups",
                                      (root / "usr/bin/quietpane").string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        ChildProcess::Options options;
        options.environment = server.Environment();
        options.environment["QT_QPA_PLATFORM"] = "xcb";
        options.environment["QTWEBENGINE_CHROMIUM_FLAGS"] = "--disable-gpu";
        options.environment["HOME"] = home.string();
        options.environment["XDG_RUNTIME_DIR"] = home.string();
        options.environment["XDG_CONFIG_HOME"] = (home / "config").string();
        options.environment["XDG_DATA_HOME"] = (home / "data").string();
        options.workingDirectory = home;
        options.logFile = work.Path() / log;
        return std::make_unique<ChildProcess>(argv, options);
    }

    // The shown main window of the process, once it is managed.
    xcb_window_t MainWindowOf(ChildProcess& process)
    {
        xcb_window_t window = XCB_NONE;
        Eventually(
            [&] {
                try {
                    window = static_cast<xcb_window_t>(
                        std::stoul(FirstLine(server.Run({"xdotool", "search", "--onlyvisible", "--pid",
                                                         std::to_string(process.Pid()), "--name", "."}))));
                } catch (const std::exception&) {
                    return false;
                }
                return observer.ShownAndManaged(window);
            },
            kStartTime);
        return window;
    }
    std::string WindowName(xcb_window_t window) const
    {
        return FirstLine(server.Run({"xdotool", "getwindowname", std::to_string(window)}));
    }
    bool NamedEventually(xcb_window_t window, const std::string& name)
    {
        return Eventually([&] { return WindowName(window) == name; }, kReactionTime);
    }

    std::string Bookmarks() const
    {
        return RunProgram({"sqlite3", "-readonly", database.string(), "SELECT count(*) FROM Bookmark"});
    }
    std::string Log(const std::string& name) const
    {
        return fs::exists(work.Path() / name) ? ReadFile(work.Path() / name) : std::string();
    }

    // A web engine process below the program that runs in a user namespace of its own under a
    // seccomp filter: the sandbox is on.
    bool SandboxedRendererBelow(pid_t program) const
    {
        for (const pid_t process : Descendants(program)) {
            const std::string commandLine = ReadFile("/proc/" + std::to_string(process) + "/cmdline");
            if (commandLine.find("--no-sandbox") != std::string::npos)
                return false;
            if (StatusField(process, "Seccomp") == "2" && UserNamespace(process) != UserNamespace(program))
                return true;
        }
        return false;
    }

    TUser nobody{"nobody", "nogroup", work.Path() / "nobody"};
    TUser daemon{"daemon", "daemon", work.Path() / "daemon"};
    fs::path& home = nobody.home;
    fs::path data = home / "data" / "Quietpane";
    fs::path database = data / "Quietpane.mdb";
    XServer server{XServer::Options{.windowManager = true}};
    Observer observer{server};
    PageServer pages;
};

TEST_F(InstalledProgramTest, MakesThePrivateDatabaseRunsSandboxedAndALaterStartBringsTheWindowBack)
{
    auto first = Start({}, "first.log", nobody);
    const xcb_window_t window = MainWindowOf(*first);
    ASSERT_NE(window, XCB_NONE) << Log("first.log");

    // The user's own copy of the delivered database, private to the user, and its folders.
    const uid_t owner = getpwnam("nobody")->pw_uid;
    for (const fs::path& path : {data, data / "Screen", data / "Attach", database}) {
        struct stat status {};
        ASSERT_EQ(stat(path.c_str(), &status), 0) << path;
        EXPECT_EQ(status.st_uid, owner) << path;
        EXPECT_EQ(status.st_mode & 0777, path == database ? 0600u : 0700u) << path;
    }
    EXPECT_NE(ReadFile(home / "config" / "Tolvar.conf").find("DBPath=" + database.string()),
              std::string::npos);
    EXPECT_TRUE(Eventually([&] { return SandboxedRendererBelow(first->Pid()); }, kStartTime))
        << Log("first.log");

    // "Add" on the bookmark grid's title row keeps the address in the user's database.
    server.Run({"xdotool", "mousemove", "--window", std::to_string(window), "120", "161", "click", "1"});
    ASSERT_TRUE(Eventually([&] { return Bookmarks() == "1\n"; }, kReactionTime));

    // Hidden by the hotkey, the window comes back for a later start, which opens its address.
    server.Run({"xdotool", "key", "ctrl+alt+h"});
    ASSERT_TRUE(Eventually([&] { return observer.Withdrawn(window); }, kReactionTime));
    auto second = Start({pages.Url("second.html")}, "second.log", nobody);
    const int status = second->Wait(kStartTime);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << Log("second.log");
    EXPECT_TRUE(Eventually([&] { return observer.ShownAndManaged(window); }, kReactionTime));
    EXPECT_TRUE(NamedEventually(window, "Handed over")) << WindowName(window);
    // Another user's start runs a program of its own beside it.
    auto other = Start({}, "other.log", daemon);
    EXPECT_NE(MainWindowOf(*other), XCB_NONE) << Log("other.log");
    EXPECT_TRUE(first->Running());
    other->Stop();
    first->Stop();

    // The next run keeps the user's database and opens the address it is given; of two starts
    // at the same moment, one runs and the other hands the address over to it.
    auto third = Start({pages.Url("first.html")}, "third.log", nobody);
    auto twin = Start({}, "twin.log", nobody);
    ASSERT_TRUE(Eventually([&] { return !third->Running() || !twin->Running(); }, kStartTime))
        << Log("third.log") << Log("twin.log");
    ChildProcess& running = third->Running() ? *third : *twin;
    ChildProcess& ended = third->Running() ? *twin : *third;
    EXPECT_EQ(ended.Wait(kReactionTime), 0);
    const xcb_window_t thirdWindow = MainWindowOf(running);
    ASSERT_NE(thirdWindow, XCB_NONE) << Log("third.log") << Log("twin.log");
    EXPECT_TRUE(NamedEventually(thirdWindow, "First page")) << WindowName(thirdWindow);
    EXPECT_TRUE(running.Running());
    EXPECT_EQ(Bookmarks(), "1\n");
}

} // namespace
