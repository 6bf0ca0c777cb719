#pragma once

// Shared by the coder fuzz targets: the input is decoded whole and again in chunks whose sizes
// come from the input itself; both must give the same items (or both the same failure).

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "message/IdCoder.h"
#include "message/IdCoder3To4.h"

namespace quietpane::fuzz {

struct TDecodeResult {
    std::vector<std::string> items; // adjacent data joined, empty data dropped
    bool tableError = false;
};

inline void Collect(TIdCoder& coder, std::string item, TDecodeResult& result)
{
    for (; !item.empty(); item = coder.TakeNextItem()) {
        const bool data = item.starts_with("0;");
        if (data && item.size() == 2) {
            continue;
        }
        if (data && !result.items.empty() && result.items.back().starts_with("0;")) {
            result.items.back().append(item, 2);
        } else {
            result.items.push_back(std::move(item));
        }
    }
}

// Feeds the text in chunks of the given sizes (cycled; empty: all at once) and finishes.
inline TDecodeResult Run(TIdCoder& coder, std::string_view text, const std::vector<size_t>& chunks)
{
    TDecodeResult result;
    try {
        size_t next = 0;
        while (!text.empty()) {
            const size_t size =
                chunks.empty() ? text.size() : std::min(chunks[next++ % chunks.size()], text.size());
            Collect(coder, coder.FeedInput(text.substr(0, size)), result);
            text.remove_prefix(size);
        }
        Collect(coder, coder.FinishInput(), result);
    } catch (const EIdTableNotFound&) {
        result.tableError = true;
    }
    return result;
}

using TMakeCoder = std::function<std::unique_ptr<TIdCoder>()>;

// The first bytes choose the chunk sizes (1..64); the rest is the text. The chunked run may use
// a coder made differently (another buffer size) that must still give the same items.
inline void CheckChunking(const uint8_t* data, size_t size, const TMakeCoder& make,
                          const TMakeCoder& makeChunked = {})
{
    std::vector<size_t> chunks;
    size_t at = 0;
    for (; at < size && at < 4; ++at) {
        chunks.push_back(1 + data[at] % 64);
    }
    const std::string_view text(reinterpret_cast<const char*>(data) + at, size - at);
    const std::unique_ptr<TIdCoder> whole = make();
    const std::unique_ptr<TIdCoder> chunked = makeChunked ? makeChunked() : make();
    const TDecodeResult a = Run(*whole, text, {});
    const TDecodeResult b = Run(*chunked, text, chunks);
    if (a.tableError != b.tableError || (!a.tableError && a.items != b.items)) {
        std::abort();
    }
}

} // namespace quietpane::fuzz
