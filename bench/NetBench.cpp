// Line reading and block capture over loopback, beside plain recv of the same bytes.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "net/IdTCPClient.h"

namespace {

constexpr std::size_t PayloadBytes = std::size_t{20} * 1000 * 1000;

// Lines of 76 characters ending in CR LF, about PayloadBytes in all, with dot-stuffed lines
// among them as a mail body has.
std::string Lines()
{
    std::string text;
    text.reserve(PayloadBytes + 100);
    const std::string body(75, 'm');
    for (std::size_t line = 0; text.size() < PayloadBytes; ++line) {
        text += (line % 100 == 0 ? ".." : "x") + body.substr(line % 100 == 0 ? 1 : 0) + "\r\n";
    }
    return text;
}

const std::string& LinePayload()
{
    static const std::string payload = Lines();
    return payload;
}

const std::string& BlockPayload()
{
    static const std::string payload = LinePayload() + ".\r\n";
    return payload;
}

std::size_t LineCount()
{
    static const std::size_t count = PayloadBytes / 78 + (PayloadBytes % 78 != 0 ? 1 : 0);
    return count;
}

// Sends the payload to one client that connects, then closes.
class Sender {
public:
    explicit Sender(const std::string& payload)
    {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener_, 1) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen");
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, &payload] {
            const int connection = accept(listener_, nullptr, nullptr);
            for (std::size_t at = 0; at < payload.size();) {
                const ssize_t sent = send(connection, payload.data() + at, payload.size() - at, MSG_NOSIGNAL);
                if (sent <= 0) {
                    break;
                }
                at += static_cast<std::size_t>(sent);
            }
            close(connection);
        });
    }
    ~Sender()
    {
        thread_.join();
        close(listener_);
    }
    int Port() const { return port_; }

private:
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

void ConnectClient(TIdTCPClient& client, const Sender& sender, int receiveSize)
{
    client.Host = "127.0.0.1";
    client.Port = sender.Port();
    client.RecvBufferSize = receiveSize;
    client.Connect();
}

void RawRecv(benchmark::State& state, const std::string& payload)
{
    const auto receiveSize = static_cast<std::size_t>(state.range(0));
    std::vector<char> buffer(receiveSize);
    for (auto _ : state) {
        Sender sender(payload);
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(sender.Port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            state.SkipWithError("cannot connect");
        }
        std::size_t total = 0;
        ssize_t received;
        while ((received = recv(fd, buffer.data(), buffer.size(), 0)) > 0) {
            total += static_cast<std::size_t>(received);
        }
        close(fd);
        if (total != payload.size()) {
            state.SkipWithError("short transfer");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload.size()));
}

void BM_RawRecvLines(benchmark::State& state)
{
    RawRecv(state, LinePayload());
}
void BM_RawRecvBlock(benchmark::State& state)
{
    RawRecv(state, BlockPayload());
}

void BM_ReadLine(benchmark::State& state)
{
    TIdTCPClient client;
    for (auto _ : state) {
        Sender sender(LinePayload());
        ConnectClient(client, sender, static_cast<int>(state.range(0)));
        for (std::size_t line = 0; line < LineCount(); ++line) {
            benchmark::DoNotOptimize(client.ReadLine());
        }
        client.Disconnect();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * LinePayload().size()));
}

void BM_CaptureLinesToStringList(benchmark::State& state)
{
    TIdTCPClient client;
    for (auto _ : state) {
        Sender sender(BlockPayload());
        ConnectClient(client, sender, static_cast<int>(state.range(0)));
        std::vector<std::string> lines;
        TIdStringListSink sink(lines);
        client.CaptureLines(&sink);
        client.Disconnect();
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * BlockPayload().size()));
}

void BM_CaptureLinesToByteStream(benchmark::State& state)
{
    TIdTCPClient client;
    std::string bytes;
    bytes.reserve(BlockPayload().size());
    for (auto _ : state) {
        Sender sender(BlockPayload());
        ConnectClient(client, sender, static_cast<int>(state.range(0)));
        bytes.clear();
        TIdByteStreamSink sink([&bytes](std::string_view data) { bytes.append(data); });
        client.CaptureLines(&sink);
        client.Disconnect();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * BlockPayload().size()));
}

} // namespace

BENCHMARK(BM_RawRecvLines)->Arg(32768)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadLine)->Arg(32768)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawRecvBlock)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CaptureLinesToStringList)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CaptureLinesToByteStream)->Arg(32768)->Unit(benchmark::kMillisecond)->UseRealTime();
