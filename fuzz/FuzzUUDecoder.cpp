#include "CoderFuzzing.h"
#include "message/IdCoderUU.h"

// Decodes arbitrary text as UU (first byte even) or XX, whole and in chunks. Most inputs get a
// begin line so that the fuzzer reaches the data lines quickly.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quietpane::fuzz;
    if (size == 0) {
        return 0;
    }
    const bool xx = data[0] & 1;
    std::string text = (data[0] & 2) ? "" : "begin 644 f\r\n";
    text.append(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto make = [xx]() -> std::unique_ptr<TIdCoder> {
        if (xx) {
            return std::make_unique<TIdXXDecoder>();
        }
        return std::make_unique<TIdUUDecoder>();
    };
    std::string prefixed = std::string(reinterpret_cast<const char*>(data), std::min<size_t>(size, 4)) + text;
    CheckChunking(reinterpret_cast<const uint8_t*>(prefixed.data()), prefixed.size(), make);
    return 0;
}
