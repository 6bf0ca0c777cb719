// Throughput of the content coders on 20 MB inputs. bench/coders.sh runs it beside Python's
// binascii and email package on the same inputs (written out when QUIETPANE_BENCH_DATA names a
// folder).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "message/IdCoder3To4.h"
#include "message/IdCoderIMF.h"
#include "message/IdCoderText.h"

namespace {

constexpr size_t InputSize = 20 * 1000 * 1000;
constexpr size_t FeedSize = 64 * 1024;

std::string RandomBytes(size_t size)
{
    std::mt19937_64 random(42);
    std::string bytes(size, '\0');
    for (size_t i = 0; i + 8 <= size; i += 8) {
        const uint64_t v = random();
        std::memcpy(bytes.data() + i, &v, 8);
    }
    return bytes;
}

// Text as mail carries it: mostly ASCII words, accented letters in UTF-8, tabs, "=" signs,
// lines of 40 to 110 characters ending in CR LF.
std::string MixedText(size_t size)
{
    static const char* const words[] = {"the",   "quiet", "pane", "mail",    "über",       "café",
                                        "naïve", "a=b",   "\t",   "message", "attachment", "Grüße",
                                        "50%",   "x",     "déjà", "vu"};
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> pick(0, std::size(words) - 1);
    std::uniform_int_distribution<size_t> lineLength(40, 110);
    std::string text;
    text.reserve(size + 128);
    while (text.size() < size) {
        const size_t end = text.size() + lineLength(random);
        while (text.size() < end) {
            text += words[pick(random)];
            text += ' ';
        }
        text += "\r\n";
    }
    text.resize(size);
    return text;
}

// Runs the coder over the input fed in 64 KB chunks; data goes to a counting handler.
size_t RunCoder(TIdCoder& coder, const std::string& input)
{
    size_t delivered = 0;
    coder.DeliverEvents = true;
    coder.OnCodedData = [&](TIdCoder&, const std::string& data) { delivered += data.size(); };
    for (size_t at = 0; at < input.size(); at += FeedSize) {
        coder.FeedInput(std::string_view(input).substr(at, FeedSize));
    }
    coder.FinishInput();
    return delivered;
}

std::string Base64Lines(const std::string& bytes)
{
    std::string text;
    text.reserve(bytes.size() / 57 * 78 + 80);
    for (size_t at = 0; at < bytes.size(); at += 57) {
        text += EncodeBase64Text(bytes.substr(at, 57));
        text += "\r\n";
    }
    return text;
}

std::string QuotedPrintable(const std::string& text)
{
    TIdQuotedPrintableEncoder encoder;
    std::string out;
    encoder.DeliverEvents = true;
    encoder.OnCodedData = [&](TIdCoder&, const std::string& data) { out += data; };
    encoder.FeedInput(text);
    encoder.FinishInput();
    return out;
}

std::string MultipartMessage()
{
    const std::string attachment = Base64Lines(RandomBytes((InputSize - 4000) / 78 * 57));
    return "Content-Type: multipart/mixed; boundary=\"=_quietpane_bench\"\r\n"
           "Content-Transfer-Encoding: 7bit\r\n\r\n"
           "This is a multi-part message in MIME format.\r\n\r\n"
           "--=_quietpane_bench\r\n"
           "Content-Type: text/plain; charset=\"utf-8\"\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
           QuotedPrintable(MixedText(2000)) +
           "\r\n--=_quietpane_bench\r\n"
           "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=\"data.bin\"\r\n\r\n" +
           attachment + "--=_quietpane_bench--\r\n";
}

struct TInputs {
    std::string raw = RandomBytes(InputSize);
    std::string base64 = Base64Lines(RandomBytes(InputSize / 78 * 57));
    std::string text = MixedText(InputSize);
    std::string quotedPrintable = QuotedPrintable(MixedText(InputSize * 7 / 10));
    std::string message = MultipartMessage();

    TInputs()
    {
        if (const char* folder = std::getenv("QUIETPANE_BENCH_DATA")) {
            for (const auto& [name, data] :
                 {std::pair{"raw", &raw}, std::pair{"base64", &base64}, std::pair{"text", &text},
                  std::pair{"qp", &quotedPrintable}, std::pair{"message", &message}}) {
                std::ofstream(std::string(folder) + "/" + name, std::ios::binary) << *data;
            }
        }
    }
};

const TInputs& Inputs()
{
    static const TInputs inputs;
    return inputs;
}

void BM_Base64Decode(benchmark::State& state)
{
    const std::string& input = Inputs().base64;
    for (auto _ : state) {
        TIdBase64Decoder decoder;
        if (RunCoder(decoder, input) != input.size() / 78 * 57) {
            state.SkipWithError("wrong decoded size");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_Base64Encode(benchmark::State& state)
{
    const std::string& input = Inputs().raw;
    for (auto _ : state) {
        TIdBase64Encoder encoder;
        if (RunCoder(encoder, input) != (input.size() + 2) / 3 * 4) {
            state.SkipWithError("wrong encoded size");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_QuotedPrintableDecode(benchmark::State& state)
{
    const std::string& input = Inputs().quotedPrintable;
    for (auto _ : state) {
        TIdQuotedPrintableDecoder decoder;
        benchmark::DoNotOptimize(RunCoder(decoder, input));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_QuotedPrintableEncode(benchmark::State& state)
{
    const std::string& input = Inputs().text;
    for (auto _ : state) {
        TIdQuotedPrintableEncoder encoder;
        benchmark::DoNotOptimize(RunCoder(encoder, input));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

// The message fed the way the message reader feeds it: line by line, items taken after each.
void BM_IMFDecode(benchmark::State& state)
{
    const std::string& input = Inputs().message;
    for (auto _ : state) {
        TIdIMFDecoder decoder;
        size_t delivered = 0;
        const auto take = [&](std::string item) {
            for (; !item.empty(); item = decoder.TakeNextItem()) {
                delivered += item.size();
            }
        };
        for (size_t at = 0; at < input.size();) {
            const size_t end = input.find("\r\n", at) + 2;
            take(decoder.FeedInput(std::string_view(input).substr(at, end - at)));
            at = end;
        }
        take(decoder.FinishInput());
        benchmark::DoNotOptimize(delivered);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

BENCHMARK(BM_Base64Decode)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Base64Encode)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_QuotedPrintableDecode)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_QuotedPrintableEncode)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_IMFDecode)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
