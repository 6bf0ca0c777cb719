#include "support/ProgramCopy.h"

#include <unistd.h>

#include <vector>

namespace fs = std::filesystem;

namespace quietpane::test {

ProgramCopy::ProgramCopy(const fs::path& program, const fs::path& database)
{
    fs::create_directories(ProgramFolder());
    fs::copy_file(program, ProgramFolder() / "Quietpane");
    fs::copy_file(database, ProgramFolder() / "Quietpane.mdb");
    fs::create_directories(home_.Path() / ".config");
}

std::string ProgramCopy::Log() const
{
    const fs::path log = folder_.Path() / "quietpane.log";
    return fs::exists(log) ? ReadFile(log) : std::string();
}

std::unique_ptr<ChildProcess> ProgramCopy::Start(std::map<std::string, std::string> environment,
                                                 const std::vector<std::string>& arguments) const
{
    environment["HOME"] = home_.Path().string();
    environment["XDG_CONFIG_HOME"] = (home_.Path() / ".config").string();
    environment["XDG_RUNTIME_DIR"] = home_.Path().string();
    if (geteuid() == 0) {
        environment["QTWEBENGINE_DISABLE_SANDBOX"] = "1";
        environment["QTWEBENGINE_CHROMIUM_FLAGS"] = "--disable-gpu";
    }
    ChildProcess::Options options;
    options.environment = environment;
    options.workingDirectory = folder_.Path();
    options.logFile = folder_.Path() / "quietpane.log";
    std::vector<std::string> argv{(ProgramFolder() / "Quietpane").string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return std::make_unique<ChildProcess>(argv, options);
}

} // namespace quietpane::test
