// Fetching (also over TLS) and sending a 20 MB message (one base64 attachment) through real
// servers, beside Python's poplib/smtplib + email doing the same work in the same run, the
// client's peak memory while it fetches a 100 MB attachment, and listing the headers of 500
// messages through a relay that delays each direction by 20 ms, pipelined, one command at a
// time, and by poplib.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "protocols/IdPOP3.h"
#include "protocols/IdSMTP.h"
#include "support/MailPeers.h"

using namespace quietpane::test;

namespace {

constexpr std::size_t FetchAttachmentBytes = 15000000;   // base64 makes the message about 20 MB
constexpr std::size_t MemoryAttachmentBytes = 100000000; // message 2 of the mailbox
constexpr int Runs = 5;

constexpr int ListedMessages = 500;
constexpr int RelayDelayMs = 20;

const std::string PythonPeer = std::string(QUIETPANE_BENCH_DIR) + "/mail_peer.py";
const std::string DelayRelay = std::string(QUIETPANE_BENCH_DIR) + "/delay_relay.py";

// The servers and the messages, made once for the whole run.
struct Peers {
    Peers()
    {
        for (const auto& [name, size] :
             {std::pair{"fetch", FetchAttachmentBytes}, {"memory", MemoryAttachmentBytes}}) {
            const std::string message = (folder.Path() / (std::string(name) + ".eml")).string();
            const std::string attachment = (folder.Path() / (std::string(name) + ".bin")).string();
            RunProgram({"/usr/bin/python3", PythonPeer, "make", message, attachment, std::to_string(size)});
            mailbox.Deliver(ReadFile(message));
            if (std::string(name) == "fetch") {
                tlsMailbox.Deliver(ReadFile(message));
            }
            messageBytes.push_back(std::filesystem::file_size(message));
            attachments.push_back(attachment);
        }
    }

    TempDir folder;
    DovecotServer mailbox;
    TestCertificates certificates;
    // Requires TLS; message 1 is the one of the plain mailbox.
    DovecotServer tlsMailbox{certificates.ThisMachine()};
    SmtpServer smtp;
    std::vector<std::uintmax_t> messageBytes;
    std::vector<std::string> attachments;
};

Peers& ThePeers()
{
    static Peers peers;
    return peers;
}

void RemoveStoredFiles(const TIdMessage& message)
{
    for (int index = 0; index < message.Parts.Count(); ++index) {
        if (!message.Parts.Items(index).StoredFileName.empty()) {
            std::filesystem::remove(message.Parts.Items(index).StoredFileName);
        }
    }
}

// Fetches message n and decodes its attachment into a temporary file of the expected size;
// overTLS from the mailbox that speaks TLS from the first byte.
void Fetch(int n, int receiveBufferSize, std::size_t attachmentBytes, bool overTLS = false)
{
    Peers& peers = ThePeers();
    TIdPOP3 client;
    client.Host = overTLS ? "localhost" : "127.0.0.1";
    client.Port = overTLS ? peers.tlsMailbox.TlsPort() : peers.mailbox.Port();
    client.ImplicitTLSPort = peers.tlsMailbox.TlsPort();
    client.TLSCAFile = peers.certificates.CAFile().string();
    client.UserId = DovecotServer::User;
    client.Password = DovecotServer::Password;
    client.RecvBufferSize = receiveBufferSize;
    client.Connect();
    TIdMessage message;
    if (!client.FetchMessage(n, message)) {
        throw std::runtime_error("RETR refused");
    }
    client.Disconnect();
    const TIdMessagePart& attachment = message.Parts.Items(message.Parts.Count() - 1);
    const bool whole = std::filesystem::file_size(attachment.StoredFileName) == attachmentBytes;
    RemoveStoredFiles(message);
    if (!whole) {
        throw std::runtime_error("the attachment was not decoded whole");
    }
}

// Seconds of each run, as Python timed them.
std::vector<double> PythonRuns(const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{"/usr/bin/python3", PythonPeer};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::istringstream output(RunProgram(argv));
    std::vector<double> seconds;
    for (double value = 0; output >> value;) {
        seconds.push_back(value);
    }
    return seconds;
}

void ReportPythonRuns(benchmark::State& state, const std::vector<double>& seconds, std::uintmax_t bytes)
{
    std::size_t run = 0;
    for (auto _ : state) {
        state.SetIterationTime(seconds.at(run++));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_FetchMessage(benchmark::State& state)
{
    Peers& peers = ThePeers();
    for (auto _ : state) {
        Fetch(1, static_cast<int>(state.range(0)), FetchAttachmentBytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * peers.messageBytes[0]));
}
BENCHMARK(BM_FetchMessage)
    ->Arg(32768)
    ->Arg(1024)
    ->Iterations(Runs)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_PythonFetchMessage(benchmark::State& state)
{
    Peers& peers = ThePeers();
    TempDir output;
    const std::vector<double> seconds =
        PythonRuns({"fetch", std::to_string(peers.mailbox.Port()), std::to_string(state.max_iterations),
                    output.Path().string()});
    ReportPythonRuns(state, seconds, peers.messageBytes[0]);
}
BENCHMARK(BM_PythonFetchMessage)->Iterations(Runs)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_FetchMessageTLS(benchmark::State& state)
{
    Peers& peers = ThePeers();
    for (auto _ : state) {
        Fetch(1, 32768, FetchAttachmentBytes, true);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * peers.messageBytes[0]));
}
BENCHMARK(BM_FetchMessageTLS)->Iterations(Runs)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PythonFetchMessageTLS(benchmark::State& state)
{
    Peers& peers = ThePeers();
    TempDir output;
    const std::vector<double> seconds = PythonRuns(
        {"fetch-tls", std::to_string(peers.tlsMailbox.TlsPort()), std::to_string(state.max_iterations),
         output.Path().string(), peers.certificates.CAFile().string()});
    ReportPythonRuns(state, seconds, peers.messageBytes[0]);
}
BENCHMARK(BM_PythonFetchMessageTLS)->Iterations(Runs)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_SendMail(benchmark::State& state)
{
    Peers& peers = ThePeers();
    TIdSMTP client;
    client.Host = "127.0.0.1";
    client.Port = peers.smtp.Port();
    client.AuthenticationType = atLogin;
    client.UserId = SmtpServer::User;
    client.Password = SmtpServer::Password;
    client.Connect();
    for (auto _ : state) {
        TIdMessage message;
        message.From.SetText("Ann <ann@example.org>");
        message.Recipients.SetAddressListText("bob@example.org");
        message.Subject = "benchmark";
        message.Body = {"one attachment"};
        message.Parts.AddAttachment(peers.attachments[0]);
        client.SendMail(message);
    }
    client.Disconnect();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * peers.messageBytes[0]));
}
BENCHMARK(BM_SendMail)->Iterations(Runs)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PythonSendMail(benchmark::State& state)
{
    Peers& peers = ThePeers();
    const std::vector<double> seconds =
        PythonRuns({"send", std::to_string(peers.smtp.Port()), std::to_string(state.max_iterations),
                    peers.attachments[0]});
    ReportPythonRuns(state, seconds, peers.messageBytes[0]);
}
BENCHMARK(BM_PythonSendMail)->Iterations(Runs)->Unit(benchmark::kMillisecond)->UseManualTime();

// Peak resident memory growth while a 100 MB attachment is fetched and decoded to its file.
void BM_PeakMemoryFetch100MB(benchmark::State& state)
{
    Peers& peers = ThePeers();
    long growth = 0;
    for (auto _ : state) {
        const long before = ProcessMemoryKiB("VmRSS");
        ResetPeakMemory();
        Fetch(2, 32768, MemoryAttachmentBytes);
        growth = std::max(growth, ProcessMemoryKiB("VmHWM") - before);
    }
    state.counters["peak_growth_MiB"] = static_cast<double>(growth) / 1024.0;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * peers.messageBytes[1]));
}
BENCHMARK(BM_PeakMemoryFetch100MB)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// A mailbox of small messages that lies a round trip of 2 x 20 ms away.
struct DistantMailbox {
    DistantMailbox()
    {
        for (int number = 1; number <= ListedMessages; ++number) {
            mailbox.Deliver("From: Ann <ann@example.org>\r\nTo: bob@example.org\r\nSubject: message " +
                            std::to_string(number) +
                            "\r\nDate: Tue, 08 Dec 2026 10:15:00 +0000\r\n\r\nbody\r\n");
        }
        relay = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/python3", DelayRelay, std::to_string(port),
                                     std::to_string(mailbox.Port()), std::to_string(RelayDelayMs)});
        if (!WaitForPort(port)) {
            throw std::runtime_error("the relay did not start");
        }
    }

    DovecotServer mailbox;
    int port = FreePort();
    std::unique_ptr<ChildProcess> relay;
};

DistantMailbox& TheDistantMailbox()
{
    static DistantMailbox distant;
    return distant;
}

// Check Mail's work: log in, STAT, LIST, then the header block and size of every message.
void ListHeaders(bool pipelined)
{
    TIdPOP3 client;
    client.Host = "127.0.0.1";
    client.Port = TheDistantMailbox().port;
    client.UserId = DovecotServer::User;
    client.Password = DovecotServer::Password;
    client.RecvBufferSize = 1024; // as the mail window sets it
    client.Connect();
    const int count = client.CountMessages();
    benchmark::DoNotOptimize(client.MailboxSize());
    TIdMessage message;
    int listed = 0;
    if (pipelined) {
        client.FetchHeaders(1, count, message, [&listed](int, TIdMessage&, int size) { listed += size > 0; });
    } else {
        for (int number = 1; number <= count; ++number) {
            message.Clear();
            listed += client.FetchHeader(number, message) && client.MessageSize(number) > 0;
        }
    }
    client.Disconnect();
    if (listed != ListedMessages) {
        throw std::runtime_error("not every message was listed");
    }
}

void BM_ListHeadersPipelined(benchmark::State& state)
{
    for (auto _ : state) {
        ListHeaders(true);
    }
}
BENCHMARK(BM_ListHeadersPipelined)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListHeadersOneAtATime(benchmark::State& state)
{
    for (auto _ : state) {
        ListHeaders(false);
    }
}
BENCHMARK(BM_ListHeadersOneAtATime)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PythonListHeaders(benchmark::State& state)
{
    const std::vector<double> seconds =
        PythonRuns({"list", std::to_string(TheDistantMailbox().port), std::to_string(state.max_iterations)});
    ReportPythonRuns(state, seconds, 0);
}
BENCHMARK(BM_PythonListHeaders)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
