#include <cstdlib>
#include <string_view>

#include "MessageSnapshot.h"

// Reads arbitrary text as a whole message, at once and again byte by byte and in pieces whose
// size the input chooses: where the input is cut must never show in the result.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quietpane::test;
    if (size < 1) {
        return 0;
    }
    const std::size_t piece = 2 + data[0] % 96;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string whole = ReadInPieces(text, 0);
    if (ReadInPieces(text, 1) != whole || ReadInPieces(text, piece) != whole) {
        std::abort();
    }
    return 0;
}
