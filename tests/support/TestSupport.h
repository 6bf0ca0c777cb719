#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <sys/types.h>

namespace quietpane::test {

// A fresh folder below $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Writes a file below the folder and returns its path.
    std::filesystem::path WriteFile(const std::string& name, const std::string& contents) const;

private:
    std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);

// count bytes of every value, the same for the same seed.
std::string RandomBytes(std::size_t count, unsigned seed);
// The lines of a text whose lines end in CR LF; a last line without one counts too.
std::vector<std::string> SplitCRLF(const std::string& text);

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreePort();

// True once a TCP connection to 127.0.0.1:port is accepted, false after the timeout.
bool WaitForPort(int port, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Polls the condition every 50 ms until it holds (true) or the timeout passes (false).
bool Eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The first of the candidates that is an executable file, or empty.
std::string FindProgram(const std::vector<std::string>& candidates);

// A size field of /proc/self/status ("VmRSS", "VmHWM") in KiB; 0 when it is missing.
long ProcessMemoryKiB(const std::string& field);
// Restarts the peak resident size (VmHWM) at the current size.
void ResetPeakMemory();

// Runs a program to its end and returns what it wrote to its standard output; throws when it
// cannot be started or exits with a status other than 0.
std::string RunProgram(const std::vector<std::string>& argv);

// A program started with fork/exec and stopped by its PID: SIGTERM, then SIGKILL
// if it has not ended after the grace period. Output goes to a log file of its own.
class ChildProcess {
public:
    struct Options {
        std::map<std::string, std::string> environment; // added to or replacing the parent's
        std::filesystem::path workingDirectory;         // empty: the parent's
        std::filesystem::path logFile;                  // empty: /dev/null
        std::chrono::milliseconds stopGrace{std::chrono::seconds(5)};
    };

    ChildProcess(const std::vector<std::string>& argv, const Options& options);
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    bool Running();
    // Stops the process and returns its exit status as waitpid reports it.
    int Stop();
    // Waits for the process to end by itself; returns its exit status or -1 on timeout.
    int Wait(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    int status_ = 0;
    std::chrono::milliseconds stopGrace_;
};

} // namespace quietpane::test
