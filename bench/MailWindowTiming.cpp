// The receive page of the mail window, offscreen: Check Mail listing 500 messages from Dovecot,
// beside Python's poplib issuing the same commands in the same run, and the time from a click on
// a row to the message shown when it carries a 20 MB attachment.
#include <benchmark/benchmark.h>

#include "mail_window/IncomingServer.h"
#include "mail_window/ReceivePage.h"
#include "message/IdMessage.h"
#include "net/IdAntiFreeze.h"
#include "platform/EventPump.h"
#include "support/MailPeers.h"

#include <QApplication>
#include <QTreeWidget>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using namespace quietpane;
using namespace quietpane::test;

namespace {

constexpr int kListedMessages = 500;
constexpr std::size_t kLargeAttachmentBytes = 15000000; // base64 makes the message about 20 MB
constexpr int kRuns = 5;

const std::string kPythonPeer = std::string(QUIETPANE_BENCH_DIR) + "/mail_peer.py";

// A message of a usual size: a header block with its relay lines, a short text.
std::string ListedMessage(int number)
{
    std::ostringstream text;
    for (int hop = 0; hop < 3; ++hop)
        text << "Received: from relay" << hop << ".example.org (relay" << hop << ".example.org [192.0.2."
             << hop << "])\r\n\tby mx.example.net with ESMTPS id " << number << hop
             << "\r\n\tfor <bob@example.net>; "
             << "Tue, 08 Dec 2026 10:15:00 +0000\r\n";
    text << "From: Ann Smith <ann@example.org>\r\nTo: Bob <bob@example.net>\r\n"
         << "Subject: =?UTF-8?Q?Message_n=C2=B0_" << number << "?=\r\n"
         << "Date: Tue, 08 Dec 2026 10:15:00 +0000\r\nMessage-ID: <" << number << "@example.org>\r\n"
         << "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n";
    for (int line = 0; line < 20; ++line)
        text << "Line " << line << " of a message body that is long enough to look like mail.\r\n";
    return text.str();
}

// The servers, made once for the whole run.
struct TPeers {
    TPeers()
    {
        for (int number = 1; number <= kListedMessages; ++number)
            listing.Deliver(ListedMessage(number));
        const std::string message = (folder.Path() / "large.eml").string();
        const std::string attachment = (folder.Path() / "large.bin").string();
        RunProgram({"/usr/bin/python3", kPythonPeer, "make", message, attachment,
                    std::to_string(kLargeAttachmentBytes)});
        large.Deliver(ReadFile(message));
        largeBytes = std::filesystem::file_size(message);
    }

    TempDir folder;
    DovecotServer listing;
    DovecotServer large;
    std::uintmax_t largeBytes = 0;
};

TPeers& Peers()
{
    static TPeers peers;
    return peers;
}

// A receive page with the mail window's services and responsiveness component, for one mailbox.
class TPageHost final : public TMailStatus {
public:
    explicit TPageHost(const DovecotServer& mailbox)
    {
        account_.serverIn = QStringLiteral("127.0.0.1");
        account_.portIn = QString::number(mailbox.Port());
        account_.userId = QString::fromLatin1(DovecotServer::User);
        account_.password = QString::fromLatin1(DovecotServer::Password);
        antiFreeze_.MessagePump = PumpQtEvents;
        page_ = std::make_unique<TReceivePage>(
            TMailServices{&incoming_, this, &gate_}, message_, mailbox_, [this] { return account_; },
            [this] { return QString::fromStdString(attachments_.Path().string()) + "/"; });
    }

    TReceivePage& Page() { return *page_; }
    QTreeWidget& Headers() { return *page_->findChild<QTreeWidget*>(QStringLiteral("lvHeaders")); }
    const TIdMessage& Message() const { return message_; }

    void ShowStatus(const QString& text) override
    {
        panels_[0] = text;
        panels_[1] = QStringLiteral("Mail takes up %1K on the server").arg(mailbox_.MailboxSizeK);
    }
    void ShowBusy(bool) override {}
    void ShowConnectionState(bool) override {}
    QString StatusText(int panel) const override { return panels_[panel]; }
    void SetStatusText(int panel, const QString& text) override { panels_[panel] = text; }

private:
    TIdAntiFreeze antiFreeze_;
    TempDir attachments_;
    TIncomingServer incoming_;
    TIdMessage message_;
    TMailboxState mailbox_;
    TMailCommandGate gate_;
    TMailAccount account_;
    QString panels_[2];
    std::unique_ptr<TReceivePage> page_;
};

// Seconds of each run, as Python timed them.
std::vector<double> PythonRuns(const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{"/usr/bin/python3", kPythonPeer};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::istringstream output(RunProgram(argv));
    std::vector<double> seconds;
    for (double value = 0; output >> value;)
        seconds.push_back(value);
    return seconds;
}

void ReportPythonRuns(benchmark::State& state, const std::vector<double>& seconds)
{
    std::size_t run = 0;
    for (auto _ : state)
        state.SetIterationTime(seconds.at(run++));
}

void BM_CheckMail500(benchmark::State& state)
{
    TPageHost host(Peers().listing);
    for (auto _ : state) {
        host.Page().bReceiveClick();
        if (host.Headers().topLevelItemCount() != kListedMessages)
            state.SkipWithError("the list does not hold every message");
    }
}
BENCHMARK(BM_CheckMail500)->Iterations(kRuns)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PythonCheckMail500(benchmark::State& state)
{
    ReportPythonRuns(state, PythonRuns({"list", std::to_string(Peers().listing.Port()),
                                        std::to_string(state.max_iterations)}));
}
BENCHMARK(BM_PythonCheckMail500)->Iterations(kRuns)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_ClickToShown20MB(benchmark::State& state)
{
    TPageHost host(Peers().large);
    host.Page().bReceiveClick();
    QTreeWidget& headers = host.Headers();
    QTreeWidgetItem* row = headers.topLevelItem(0);
    row->setSelected(true);
    for (auto _ : state) {
        emit headers.itemClicked(row, 0);
        if (host.Message().Parts.Count() < 2)
            state.SkipWithError("the message was not shown");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Peers().largeBytes));
}
BENCHMARK(BM_ClickToShown20MB)->Iterations(kRuns)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PythonFetch20MB(benchmark::State& state)
{
    TempDir output;
    ReportPythonRuns(state, PythonRuns({"fetch", std::to_string(Peers().large.Port()),
                                        std::to_string(state.max_iterations), output.Path().string()}));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Peers().largeBytes));
}
BENCHMARK(BM_PythonFetch20MB)->Iterations(kRuns)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
