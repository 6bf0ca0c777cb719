#include "support/PythonMessageView.h"

#include <sstream>

namespace quietpane::test {

TPythonView ReadWithPython(const std::filesystem::path& message, const TempDir& scratch,
                           const std::string& name)
{
    TPythonView view;
    view.folder = scratch.Path() / name;
    std::filesystem::create_directories(view.folder);
    const std::string output =
        RunProgram({"/usr/bin/python3", std::string(QUIETPANE_TEST_SCRIPTS_DIR) + "/read_message.py",
                    message.string(), view.folder.string()});
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t colon = line.find(": ");
        if (colon != std::string::npos) {
            view.fields[line.substr(0, colon)].push_back(line.substr(colon + 2));
        } else if (!line.empty() && line.back() == ':') {
            view.fields[line.substr(0, line.size() - 1)].push_back("");
        }
    }
    return view;
}

} // namespace quietpane::test
