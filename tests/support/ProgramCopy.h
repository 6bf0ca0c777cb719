#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace quietpane::test {

// The built program in a folder of its own beside a copy of its database, started as a process
// of its own from another folder, with a home (and so a registry file) of its own.
class ProgramCopy {
public:
    ProgramCopy(const std::filesystem::path& program, const std::filesystem::path& database);

    std::filesystem::path ProgramFolder() const { return folder_.Path() / "program"; }
    std::filesystem::path RegistryFile() const { return home_.Path() / ".config" / "Tolvar.conf"; }
    const TempDir& Home() const { return home_; }
    // What the program wrote to its standard output and error.
    std::string Log() const;

    // The environment is added to the test's own; DISPLAY and QT_QPA_PLATFORM choose the screen.
    // The arguments follow the program's name.
    std::unique_ptr<ChildProcess> Start(std::map<std::string, std::string> environment,
                                        const std::vector<std::string>& arguments = {}) const;

private:
    TempDir folder_, home_;
};

} // namespace quietpane::test
