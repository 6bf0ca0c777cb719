#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace quietpane::test {

// A stored message as Python's email package reads it (tests/scripts/read_message.py).
struct TPythonView {
    // "subject", "from", "from-name", "to", "cc", "text", "attachment", "part": the lines given
    // for each field, in order.
    std::map<std::string, std::vector<std::string>> fields;
    // Where the decoded parts were written (attachment-N, part-N).
    std::filesystem::path folder;
};

// Reads the message; the decoded parts go into a new folder of that name below scratch.
TPythonView ReadWithPython(const std::filesystem::path& message, const TempDir& scratch,
                           const std::string& name);

} // namespace quietpane::test
