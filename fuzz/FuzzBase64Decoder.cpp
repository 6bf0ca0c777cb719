#include "CoderFuzzing.h"

// Decodes arbitrary text as base64, whole and in chunks; whatever decodes must also survive a
// round trip through the encoder.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quietpane::fuzz;
    CheckChunking(data, size, [] { return std::make_unique<TIdBase64Decoder>(); });

    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TIdBase64Decoder decoder;
    const TDecodeResult decoded = Run(decoder, EncodeBase64Text(bytes), {});
    if (decoded.tableError || (decoded.items.empty() ? !bytes.empty() : decoded.items[0] != "0;" + bytes)) {
        std::abort();
    }
    return 0;
}
