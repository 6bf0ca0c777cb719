#include "support/XServer.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace quietpane::test {

namespace {

// Xvfb writes its display number to the descriptor once it accepts clients.
std::string ReadDisplayNumber(int descriptor, std::chrono::milliseconds timeout)
{
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd ready{descriptor, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char c = 0;
        if (read(descriptor, &c, 1) != 1) {
            break;
        }
        if (c == '\n') {
            return number;
        }
        number += c;
    }
    throw std::runtime_error("Xvfb did not start");
}

} // namespace

XServer::XServer(const Options& options)
{
    const std::string xvfb = FindProgram({"/usr/bin/Xvfb"});
    if (xvfb.empty()) {
        throw std::runtime_error("Xvfb is not installed");
    }
    int ends[2];
    if (pipe(ends) != 0) {
        throw std::runtime_error("pipe failed");
    }
    ChildProcess::Options serverOptions;
    serverOptions.logFile = folder_.Path() / "xvfb.log";
    // Without -noreset the server resets whenever its last client leaves, and a client that
    // connects meanwhile (a program starting while xdotool polls) is refused.
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{xvfb, "-displayfd", std::to_string(ends[1]), "-nolisten", "tcp", "-noreset",
                                 "-screen", "0", "1280x1024x24"},
        serverOptions);
    close(ends[1]);
    try {
        display_ = ":" + ReadDisplayNumber(ends[0], std::chrono::seconds(20));
    } catch (const std::exception& error) {
        close(ends[0]);
        throw std::runtime_error(error.what() + (": " + LogOf("xvfb.log")));
    }
    close(ends[0]);

    if (options.windowManager) {
        ChildProcess::Options managerOptions;
        managerOptions.environment = Environment();
        managerOptions.logFile = folder_.Path() / "openbox.log";
        windowManager_ = std::make_unique<ChildProcess>(std::vector<std::string>{"openbox", "--sm-disable"},
                                                        managerOptions);
        // openbox announces itself on the root window once it manages the screen.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline || !windowManager_->Running()) {
                throw std::runtime_error("openbox did not start: " + LogOf("openbox.log"));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

std::string XServer::LogOf(const std::string& name) const
{
    const std::filesystem::path file = folder_.Path() / name;
    return std::filesystem::exists(file) ? ReadFile(file) : std::string();
}

XServer::~XServer()
{
    windowManager_.reset();
    server_.reset();
}

std::string XServer::Run(const std::vector<std::string>& argv) const
{
    TempDir output;
    ChildProcess::Options runOptions;
    runOptions.environment = Environment();
    runOptions.logFile = output.Path() / "output";
    ChildProcess program(argv, runOptions);
    const int status = program.Wait(std::chrono::seconds(10));
    if (status == -1 || !WIFEXITED(status)) {
        throw std::runtime_error(argv.front() + " did not finish");
    }
    const std::filesystem::path file = output.Path() / "output";
    std::string text = std::filesystem::exists(file) ? ReadFile(file) : std::string();
    if (WEXITSTATUS(status) != 0) {
        throw std::runtime_error(argv.front() + " failed: " + text);
    }
    return text;
}

} // namespace quietpane::test
