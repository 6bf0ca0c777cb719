#pragma once

// Helpers shared by the coder tests: feeding input in chunks, collecting output items, random
// inputs, and running the independent implementations (Python's binascii/quopri/email, uudeview).

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "message/IdCoder.h"
#include "support/TestSupport.h"

namespace quietpane::test {

inline void TakeAll(TIdCoder& coder, std::string item, std::vector<std::string>& items)
{
    for (; !item.empty(); item = coder.TakeNextItem()) {
        items.push_back(std::move(item));
    }
}

// Feeds the input in chunks of the given size (0: all at once), finishes, and returns every
// item in order.
inline std::vector<std::string> CollectItems(TIdCoder& coder, std::string_view input, size_t chunk = 0)
{
    std::vector<std::string> items;
    if (chunk == 0) {
        chunk = std::max<size_t>(input.size(), 1);
    }
    for (size_t at = 0; at < input.size(); at += chunk) {
        TakeAll(coder, coder.FeedInput(input.substr(at, chunk)), items);
    }
    TakeAll(coder, coder.FinishInput(), items);
    return items;
}

// Adjacent data items joined, and empty data items dropped: how many pieces the data came in
// depends on when the caller takes them, their content and order must not.
inline std::vector<std::string> MergeData(const std::vector<std::string>& items)
{
    std::vector<std::string> merged;
    bool lastWasData = false;
    for (const std::string& item : items) {
        const bool data = item.starts_with("0;");
        if (data && item.size() == 2) {
            continue;
        }
        if (data && lastWasData) {
            merged.back().append(item, 2);
        } else {
            merged.push_back(item);
        }
        lastWasData = data;
    }
    return merged;
}

// All data of the items, without prefixes.
inline std::string DataOf(const std::vector<std::string>& items)
{
    std::string data;
    for (const std::string& item : items) {
        if (item.starts_with("0;")) {
            data.append(item, 2);
        }
    }
    return data;
}

using TCoderFactory = std::function<std::unique_ptr<TIdCoder>()>;

inline std::vector<std::string> RunCoder(const TCoderFactory& factory, std::string_view input,
                                         size_t chunk = 0)
{
    const std::unique_ptr<TIdCoder> coder = factory();
    return CollectItems(*coder, input, chunk);
}

// The same input fed in chunks of every size from 1 to 97 gives the items of the whole input.
inline void ExpectSameItemsForEveryChunkSize(const TCoderFactory& factory, std::string_view input)
{
    const std::vector<std::string> whole = MergeData(RunCoder(factory, input));
    for (size_t chunk = 1; chunk <= 97; ++chunk) {
        ASSERT_EQ(MergeData(RunCoder(factory, input, chunk)), whole) << "chunk size " << chunk;
    }
}

// Random bytes that stress line handling: runs of text with CR, LF, CR LF, blanks before line
// ends, NUL and bytes from 0x80, and now and then a long line.
inline std::string RandomMailBytes(std::mt19937& random, size_t size)
{
    std::string out;
    out.reserve(size);
    std::uniform_int_distribution<int> kind(0, 99);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> printable(0x20, 0x7E);
    while (out.size() < size) {
        const int k = kind(random);
        if (k < 60) {
            out += static_cast<char>(printable(random));
        } else if (k < 70) {
            out += static_cast<char>(byte(random));
        } else if (k < 75) {
            out += "\r\n";
        } else if (k < 78) {
            out += '\n';
        } else if (k < 80) {
            out += '\r';
        } else if (k < 85) {
            out += " \r\n";
        } else if (k < 88) {
            out += "\t\n";
        } else if (k < 90) {
            out += '\0';
        } else if (k < 91) {
            out.append(150, 'x');
        } else {
            out += ' ';
        }
    }
    out.resize(size);
    return out;
}

inline std::string RandomText(std::mt19937& random, size_t size)
{
    static const std::string alphabet = "abcdefghij klmnopqrstuvwxyz ABCDEFG,.;:=!?-_\t ";
    std::string out;
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> lineEnd(0, 59);
    while (out.size() < size) {
        out += lineEnd(random) == 0 ? '\n' : alphabet[pick(random)];
    }
    out.resize(size);
    return out;
}

inline const std::string& SystemPython()
{
    static const std::string python = FindProgram({"/usr/bin/python3"});
    return python;
}

// Tests that compare with Python's codings skip where Debian's Python is missing.
class NeedsSystemPython : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (SystemPython().empty()) {
            GTEST_SKIP() << "/usr/bin/python3 is missing";
        }
    }
};

// Runs tests/scripts/coders.py MODE on the input and returns what it wrote.
inline std::string PythonCoder(const std::string& mode, const std::string& input)
{
    TempDir folder;
    const auto in = folder.WriteFile("in", input);
    const auto out = folder.Path() / "out";
    try {
        RunProgram({SystemPython(), std::string(QUIETPANE_TEST_SCRIPTS_DIR) + "/coders.py", mode, in.string(),
                    out.string()});
    } catch (const std::exception& failure) {
        ADD_FAILURE() << mode << ": " << failure.what();
        return {};
    }
    return ReadFile(out);
}

} // namespace quietpane::test
