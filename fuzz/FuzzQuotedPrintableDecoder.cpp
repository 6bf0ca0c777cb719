#include "CoderFuzzing.h"
#include "message/IdCoderText.h"

// Decodes arbitrary text as quoted-printable, whole and in chunks, and checks that any bytes
// survive the encoder and decoder unchanged.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quietpane::fuzz;
    CheckChunking(data, size, [] { return std::make_unique<TIdQuotedPrintableDecoder>(); });
    CheckChunking(data, size, [] { return std::make_unique<TIdQuotedPrintableEncoder>(); });

    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TIdQuotedPrintableEncoder encoder;
    const TDecodeResult encoded = Run(encoder, bytes, {});
    TIdQuotedPrintableDecoder decoder;
    const TDecodeResult decoded = Run(decoder, encoded.items.empty() ? "" : encoded.items[0].substr(2), {});
    if (decoded.items.empty() ? !bytes.empty() : decoded.items[0] != "0;" + bytes) {
        std::abort();
    }
    return 0;
}
