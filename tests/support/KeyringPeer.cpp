#include "support/KeyringPeer.h"

#include <filesystem>
#include <stdexcept>

namespace quietpane::test {

namespace {

// A session bus without service folders: a name that nobody owns is not started for a caller.
std::string BusConfig(const std::filesystem::path& socket)
{
    return R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=)" +
           socket.string() + R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";
}

constexpr const char* kKeyringPassword = "login-keyring-password";

} // namespace

KeyringPeer::KeyringPeer()
{
    const std::filesystem::path socket = folder_.Path() / "bus";
    environment_["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + socket.string();
    bus_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        "dbus-daemon", "--nofork",
        "--config-file=" + folder_.WriteFile("bus.conf", BusConfig(socket)).string()});
    if (!Eventually([&] { return std::filesystem::exists(socket); }))
        throw std::runtime_error("the session bus did not start");
}

KeyringPeer::~KeyringPeer() = default;

void KeyringPeer::Start()
{
    const std::filesystem::path home = folder_.Path() / "home";
    for (const char* place : {"home", "home/data", "home/run"})
        std::filesystem::create_directories(folder_.Path() / place);
    std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all);
    ChildProcess::Options options;
    options.environment = environment_;
    options.environment["HOME"] = home.string();
    options.environment["XDG_DATA_HOME"] = (home / "data").string();
    options.environment["XDG_RUNTIME_DIR"] = (home / "run").string();
    options.logFile = folder_.Path() / "keyring.log";
    // --unlock reads the login keyring's password from standard input, and makes the keyring
    // with it when there is none yet.
    const std::string password = folder_.WriteFile("password", kKeyringPassword).string();
    keyring_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{
            "sh", "-c", "exec gnome-keyring-daemon --foreground --unlock --components=secrets < \"$0\"",
            password},
        options);
    Run({"gdbus", "wait", "--session", "--timeout", "10", "org.freedesktop.secrets"});
}

void KeyringPeer::Stop()
{
    keyring_.reset();
}

void KeyringPeer::Lock()
{
    Run({"gdbus", "call", "--session", "--dest", "org.freedesktop.secrets", "--object-path",
         "/org/freedesktop/secrets", "--method", "org.freedesktop.Secret.Service.Lock",
         "['/org/freedesktop/secrets/collection/login']"});
}

std::string KeyringPeer::Run(const std::vector<std::string>& argv) const
{
    std::vector<std::string> command{"env"};
    for (const auto& [name, value] : environment_)
        command.push_back(name + "=" + value);
    command.insert(command.end(), argv.begin(), argv.end());
    return RunProgram(command);
}

std::string KeyringPeer::Lookup(const std::string& key) const
{
    // secret-tool ends with status 1 when it finds nothing.
    return Run({"sh", "-c", "secret-tool lookup user \"$0\" server Quietpane || true", key});
}

} // namespace quietpane::test
