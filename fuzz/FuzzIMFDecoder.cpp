#include "CoderFuzzing.h"
#include "message/IdCoderIMF.h"

// Decodes arbitrary text as a MIME body, whole and in chunks of sizes the input chooses, with a
// buffer size the input chooses too: delimiters and header lines must come out the same.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quietpane::fuzz;
    if (size < 2) {
        return 0;
    }
    const uint32_t bufferSize = 8 + data[0] * 4;
    CheckChunking(
        data + 1, size - 1, [] { return std::make_unique<TIdIMFDecoder>(); },
        [bufferSize] {
            auto decoder = std::make_unique<TIdIMFDecoder>();
            decoder->ChangeBufferSize(bufferSize);
            return decoder;
        });
    return 0;
}
