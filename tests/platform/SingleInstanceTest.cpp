// The single-instance socket against another local user (nobody) who listens first: in the
// temporary folder where the socket used to go, and at the very path the program uses.
#include "platform/SingleInstance.h"

#include "support/QtTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace quietpane;
using quietpane::test::ChildProcess;
using quietpane::test::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr int kNobody = 65534;
// What the hostile listener logs before it is handed anything.
const std::string kListening = "listening\n";

// Listens as nobody on a local socket at path and writes whatever it receives to its log.
class HostileListener {
public:
    HostileListener(const fs::path& path, const fs::path& log)
    {
        ChildProcess::Options options;
        options.logFile = log;
        process_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"setpriv", "--reuid=" + std::to_string(kNobody),
                                     "--regid=" + std::to_string(kNobody), "--clear-groups",
                                     "/usr/bin/python3", "-c",
                                     "import os, socket, sys\n"
                                     "s = socket.socket(socket.AF_UNIX)\n"
                                     "s.bind(sys.argv[1])\n"
                                     "os.chmod(sys.argv[1], 0o777)\n"
                                     "s.listen()\n"
                                     "print('listening', flush=True)\n"
                                     "while True:\n"
                                     "    c, _ = s.accept()\n"
                                     "    data = c.recv(4096)\n"
                                     "    print(data if data else '', end='', flush=True)\n"
                                     "    c.close()\n",
                                     path.string()},
            options);
        // A loaded machine may take seconds to start Python.
        const auto listening = [&log] { return fs::exists(log) && test::ReadFile(log) == kListening; };
        for (int wait = 0; wait < 1200 && !listening(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        if (!listening())
            throw std::runtime_error("the hostile listener did not start");
    }

private:
    std::unique_ptr<ChildProcess> process_;
};

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApplication();
        // A temporary folder everyone may write to, as /tmp is; no runtime folder of the user's.
        fs::permissions(temp.Path(), fs::perms::all | fs::perms::sticky_bit);
        setenv("TMPDIR", temp.Path().c_str(), 1);
        setenv("XDG_CACHE_HOME", (home.Path() / "cache").c_str(), 1);
        unsetenv("XDG_RUNTIME_DIR");
    }
    void TearDown() override
    {
        unsetenv("TMPDIR");
        unsetenv("XDG_CACHE_HOME");
    }

    TempDir temp;
    TempDir home;
    TempDir logs;
};

} // namespace

TEST_F(SingleInstanceTest, AnotherUsersSocketOrFolderInTheTemporaryFolderIsNeverHandedAnything)
{
    // Nobody owns the runtime folder Qt would make and listens where the socket used to go.
    const fs::path runtime = temp.Path() / ("runtime-" + std::string(getpwuid(getuid())->pw_name));
    fs::create_directory(runtime);
    ASSERT_EQ(chown(runtime.c_str(), kNobody, kNobody), 0);
    const std::string name = TSingleInstance::DefaultSocketName().toStdString();
    const HostileListener hostile(temp.Path() / name, logs.Path() / "hostile.log");

    TSingleInstance first;
    EXPECT_FALSE(first.HandOverOrListen(QStringLiteral("https://private.example/")));
    TSingleInstance second;
    QString received;
    first.OnRequest = [&received](const QString& address) { received = address; };
    // The second start reaches the first one's socket in the user's own folder.
    std::thread handOver(
        [&second] { EXPECT_TRUE(second.HandOverOrListen(QStringLiteral("https://next.example/"))); });
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (received.isEmpty() && std::chrono::steady_clock::now() < giveUp)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    handOver.join();
    EXPECT_EQ(received, QStringLiteral("https://next.example/"));
    EXPECT_EQ(test::ReadFile(logs.Path() / "hostile.log"), kListening);
    struct stat folder {};
    ASSERT_EQ(lstat((home.Path() / "cache" / "Quietpane").c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700U);
}

TEST_F(SingleInstanceTest, AListenerOfAnotherUserAtThePathItselfGetsNoAddressAndTheSocketIsTakenOver)
{
    const fs::path path = temp.Path() / "shared-socket";
    {
        const HostileListener hostile(path, logs.Path() / "hostile.log");
        TSingleInstance start(QString::fromStdString(path.string()));
        EXPECT_FALSE(start.HandOverOrListen(QStringLiteral("https://private.example/")));
        struct stat socket {};
        ASSERT_EQ(lstat(path.c_str(), &socket), 0);
        EXPECT_EQ(socket.st_uid, getuid());
    }
    EXPECT_EQ(test::ReadFile(logs.Path() / "hostile.log"), kListening);
}
