// The mail window driven as a person does (typing, clicks, dialogs answered by the test) on a
// copy of the delivered settings database, sending to aiosmtpd, with Python's email package
// reading what arrived.

#include "mail_window/Email.h"

#include "mail_window/OutgoingMail.h"
#include "mail_window/PasswordScrambling.h"
#include "message/IdMessage.h"
#include "net/IdAntiFreeze.h"
#include "platform/EventPump.h"
#include "support/FakePasswordStore.h"
#include "support/LoopbackServer.h"
#include "support/MailPeers.h"
#include "support/MailWindowDriver.h"
#include "support/PythonMessageView.h"
#include "support/QtTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/ShellDoubles.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace quietpane;
using namespace quietpane::test;

namespace {

using Lines = std::vector<std::string>;

const QString kSender = QStringLiteral("zoe@example.org");
const QString kSenderName = QStringLiteral("Zoë Tester");

class FrmEmailTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApplication();
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, Database());
        // The program keeps the windows responsive while a mail command waits.
        antiFreeze.MessagePump = PumpQtEvents;
    }

    std::filesystem::path Database() const { return folder.Path() / "Quietpane.mdb"; }
    QString Folder() const { return QString::fromStdString(folder.Path().string()); }

    std::unique_ptr<TfrmEmail> Create()
    {
        // Without a keyring the password stays scrambled in the database, as these tests expect.
        noKeyring.storeAnswer = noKeyring.readAnswer =
            TPasswordReply{TPasswordOutcome::NoSecretService, {}, {}};
        auto window =
            std::make_unique<TfrmEmail>(TfrmEmailSetup{Folder(), &registry, nullptr, nullptr, &noKeyring});
        EXPECT_TRUE(AwaitPasswordPlace(*window));
        return window;
    }

    // The account typed into the Setup tab and stored with "Update".
    static void TypeAccount(TfrmEmail& window, int smtpPort)
    {
        Type(window, "txtServerOut", QStringLiteral("127.0.0.1"));
        Type(window, "txtPortOut", QString::number(smtpPort));
        Type(window, "txtUserID", QLatin1String(SmtpServer::User));
        Type(window, "txtPassword", QLatin1String(SmtpServer::Password));
        Type(window, "txtName", kSenderName);
        Type(window, "txtEmail", kSender);
        Click(window, "bUpdate");
    }

    std::string StoredColumn(const std::string& column) const
    {
        return RunProgram({"sqlite3", Database().string(), "SELECT " + column + " FROM Email"});
    }

    // Files picked in the open dialog, one "Add" each.
    void Attach(TfrmEmail& window, const std::vector<std::filesystem::path>& paths)
    {
        for (const auto& path : paths) {
            dialogs.openAnswers.append(QString::fromStdString(path.string()));
            Click(window, "bAdd");
        }
    }

    void RemoveAttachment(TfrmEmail& window, int row)
    {
        auto& list = Child<QListWidget>(window, "ListBox");
        list.setCurrentRow(row);
        Click(window, "bRemove");
    }

    TIdAntiFreeze antiFreeze;
    TempDir folder, files;
    RecordingRegistry registry;
    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
    FakePasswordStore noKeyring;
};

std::string BinaryBytes()
{
    std::string bytes;
    for (int round = 0; round < 12; ++round)
        for (int value = 0; value < 256; ++value)
            bytes += static_cast<char>(value ^ round);
    return bytes;
}

// The session number aiosmtpd recorded with the n-th stored message.
int SessionOfMessage(const SmtpServer& smtp, int number)
{
    const std::string details = ReadFile(smtp.Folder() / ("message-" + std::to_string(number) + ".json"));
    const std::string key = "\"session\": ";
    return std::stoi(details.substr(details.find(key) + key.size()));
}

TEST_F(FrmEmailTest, AccountTypedAndRestartedSendsWhatTheWindowShowsNonAsciiAsUtf8)
{
    SmtpServer smtp;
    const std::string scrambled = ScramblePassword(QLatin1String(SmtpServer::Password)).toStdString() + "\n";
    {
        auto window = Create();
        TypeAccount(*window, smtp.Port());
        EXPECT_TRUE(boxes.applicationErrors.isEmpty()) << boxes.applicationErrors.join("\n").toStdString();
        EXPECT_EQ(Child<QLineEdit>(*window, "txtServerOut").text(), "127.0.0.1");
        EXPECT_EQ(StoredColumn("ServerOut"), "127.0.0.1\n");
        EXPECT_EQ(StoredColumn("Password"), scrambled);
        // Update again without retyping: the stored form is not scrambled a second time.
        Click(*window, "bUpdate");
        EXPECT_EQ(StoredColumn("Password"), scrambled);
    }
    auto window = Create();
    EXPECT_EQ(registry.values["DBPath"], Database().string());
    EXPECT_EQ(window->AttachmentFolder(), Folder() + "/Attach/");
    EXPECT_TRUE(QDir(window->AttachmentFolder()).exists());
    EXPECT_EQ(Child<QLineEdit>(*window, "txtFrom").text(), kSenderName + "   <" + kSender + ">");
    EXPECT_EQ(Child<QLabel>(*window, "StatusBar1Panel0").text(), "No message selected");
    window->ConnectOutgoingServer();

    const std::string binary = BinaryBytes();
    Attach(*window, {files.WriteFile("notes.txt", "plain notes\n"), files.WriteFile("data.bin", binary),
                     files.WriteFile("dropped.txt", "removed again")});
    RemoveAttachment(*window, 2);
    Type(*window, "txtFrom", QStringLiteral("Someone Else <other@example.org>")); // the account sends
    Type(*window, "txtReceipient", QStringLiteral("bob@example.org, \"Carol, C.\" <carol@example.org>"));
    Type(*window, "txtCC", QStringLiteral("dave@example.org"));
    const QString subject = QStringLiteral("Grüße aus Köln – 日本");
    Type(*window, "txtSubject", subject);
    const QString longLine = QString(1200, QLatin1Char('w'));
    const QStringList body{QStringLiteral("Hallo Bob,"), QStringLiteral("schöne Grüße — ça va? 日本語"),
                           QString(), longLine, QStringLiteral(".a line with a leading dot")};
    Type(*window, "Memo1", body.join(QLatin1Char('\n')));
    Click(*window, "bSend");
    ASSERT_TRUE(boxes.applicationErrors.isEmpty()) << boxes.applicationErrors.join("\n").toStdString();
    EXPECT_EQ(Child<QLabel>(*window, "StatusBar1Panel0").text(),
              "Message sent to bob@example.org, carol@example.org, dave@example.org");
    EXPECT_EQ(Child<QListWidget>(*window, "ListBox").count(), 0);
    EXPECT_EQ(Child<QLineEdit>(*window, "txtCC").text(), "");

    // Now an ASCII text alone, on the same session: it goes out as it always did.
    Type(*window, "txtReceipient", QStringLiteral("bob@example.org"));
    Type(*window, "txtSubject", QStringLiteral("plain"));
    Type(*window, "Memo1", QStringLiteral("Plain ASCII only.\n.dot"));
    Click(*window, "bSend");
    ASSERT_TRUE(boxes.applicationErrors.isEmpty()) << boxes.applicationErrors.join("\n").toStdString();

    const auto stored = smtp.Messages();
    ASSERT_EQ(stored.size(), 2u);
    const TPythonView first = ReadWithPython(stored[0], files, "first");
    EXPECT_EQ(first.fields.at("subject"), Lines{subject.toStdString()});
    EXPECT_EQ(first.fields.at("from"), Lines{kSender.toStdString()});
    EXPECT_EQ(first.fields.at("from-name"), Lines{kSenderName.toStdString()});
    EXPECT_EQ(first.fields.at("to"), (Lines{"bob@example.org", "carol@example.org"}));
    EXPECT_EQ(first.fields.at("cc"), Lines{"dave@example.org"});
    EXPECT_EQ(ReadWithPython(stored[1], files, "second-cc").fields.count("cc"), 0u);
    Lines bodyLines;
    for (const QString& line : body)
        bodyLines.push_back(line.toStdString());
    EXPECT_EQ(first.fields.at("text"), bodyLines);
    EXPECT_EQ(first.fields.at("attachment"),
              (Lines{"1\tnotes.txt\t12", "2\tdata.bin\t" + std::to_string(binary.size())}));
    EXPECT_EQ(ReadFile(first.folder / "attachment-2"), binary);
    const std::string firstWire = ReadFile(stored[0]);
    EXPECT_NE(firstWire.find("MIME-Version: 1.0"), std::string::npos);
    EXPECT_NE(firstWire.find("charset=UTF-8"), std::string::npos);
    for (std::size_t start = 0, end; (end = firstWire.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        ASSERT_LE(end - start, 998u) << "a line SMTP does not take";

    const std::string secondWire = ReadFile(stored[1]);
    const std::string secondBody = secondWire.substr(secondWire.find("\r\n\r\n") + 4);
    EXPECT_EQ(secondBody, "Plain ASCII only.\r\n.dot\r\n");
    EXPECT_EQ(secondWire.find("MIME-Version"), std::string::npos);
    EXPECT_EQ(secondWire.find("Content-Type"), std::string::npos);
    EXPECT_EQ(ReadWithPython(stored[1], files, "second").fields.count("attachment"), 0u);

    // "Exit" ends the session with "Quit" and closes the table; "Update" opens it again
    // without overwriting the stored account with the empty boxes.
    Click(*window, "tExit");
    EXPECT_EQ(Child<QLineEdit>(*window, "txtServerOut").text(), "");
    ASSERT_TRUE(smtp.WaitForSessionEnd(1));
    const Lines dialogue = smtp.ClientLines(1);
    EXPECT_EQ(std::count(dialogue.begin(), dialogue.end(), "auth LOGIN"), 1);
    EXPECT_EQ(std::count(dialogue.begin(), dialogue.end(), "Mail from:<zoe@example.org>"), 2);
    EXPECT_EQ(dialogue.back(), "Quit");
    Click(*window, "bUpdate");
    EXPECT_EQ(Child<QLineEdit>(*window, "txtServerOut").text(), "127.0.0.1");
    EXPECT_EQ(StoredColumn("Password"), scrambled);

    window->ShowConnectionState(false);
    EXPECT_EQ(Child<QLabel>(*window, "StatusBar1Panel0").text(), "Not connected");
    EXPECT_EQ(Child<QLabel>(*window, "StatusBar1Panel1").text(), "Mail takes up 0K on the server");
}

TEST_F(FrmEmailTest, SendAfterAFailedSendOrAnIdleSessionClosedByTheServerStartsAFreshSession)
{
    SmtpServer smtp({}, std::chrono::seconds(2));
    auto window = Create();
    TypeAccount(*window, smtp.Port());
    window->ConnectOutgoingServer();
    const auto vanishing = files.WriteFile("vanishing.txt", "gone before sending");
    Attach(*window, {vanishing});
    std::filesystem::remove(vanishing);
    Type(*window, "txtReceipient", QStringLiteral("bob@example.org"));
    Type(*window, "Memo1", QStringLiteral("Hello"));
    // The attachment fails once the server has taken DATA: the session is out of step.
    Click(*window, "bSend");
    ASSERT_EQ(boxes.applicationErrors.size(), 1);

    RemoveAttachment(*window, 0);
    Click(*window, "bSend");
    ASSERT_EQ(boxes.applicationErrors.size(), 1) << boxes.applicationErrors.join("\n").toStdString();
    ASSERT_EQ(smtp.Messages().size(), 1u);
    const int afterFailure = SessionOfMessage(smtp, 1);
    const Lines fresh = smtp.ClientLines(afterFailure);
    EXPECT_EQ(std::count(fresh.begin(), fresh.end(), "auth LOGIN"), 1) << "logged in again";

    // The server ends the idle session; the next send does not fail because of that.
    ASSERT_TRUE(smtp.WaitForSessionEnd(afterFailure));
    Type(*window, "txtReceipient", QStringLiteral("bob@example.org")); // a send empties the tab
    Click(*window, "bSend");
    ASSERT_EQ(boxes.applicationErrors.size(), 1) << boxes.applicationErrors.join("\n").toStdString();
    ASSERT_EQ(smtp.Messages().size(), 2u);
    EXPECT_GT(SessionOfMessage(smtp, 2), afterFailure);
}

TEST_F(FrmEmailTest, AServerWhoseCertificateIsNotTrustedIsReportedInTheErrorBox)
{
    // The test CA is in no trust store of the system: a session that asks for TLS must fail.
    const TestCertificates certificates;
    SmtpServer smtp(SmtpServer::Tls::StartTls, certificates.ThisMachine());
    auto window = Create();
    TypeAccount(*window, smtp.Port());
    Type(*window, "txtReceipient", QStringLiteral("bob@example.org"));
    Click(*window, "bSend");
    EXPECT_EQ(boxes.applicationErrors,
              QStringList{
                  "The server's certificate is not trusted: self-signed certificate in certificate chain."});
    EXPECT_TRUE(smtp.Messages().empty());
}

TEST_F(FrmEmailTest, StartUpMeetsNoServerAndMailCommandsWaitingOnOneAreIgnored)
{
    // The delivered account has no server: no connection, no box, and Check Mail says what to do.
    {
        auto window = Create();
        window->ConnectOutgoingServer();
        EXPECT_TRUE(boxes.applicationErrors.isEmpty());
        EXPECT_TRUE(boxes.messages.isEmpty());
        Click(*window, "tCheckMail");
        EXPECT_EQ(boxes.messages, QStringList{"Fill in the incoming mail server on the Setup tab first."});
        EXPECT_EQ(Child<QTabWidget>(*window, "PageControl1").currentWidget()->objectName(), "tsSetup");
        boxes.messages.clear();
    }

    // A server that never greets: creating the window meets no server at all; the connection,
    // once asked for, keeps the window responsive, and a send clicked meanwhile is ignored.
    std::atomic<bool> accepted{false};
    std::string received;
    LoopbackServer silent([&](int connection) {
        accepted = true;
        received = ReceiveAll(connection);
    });
    RunProgram({"sqlite3", Database().string(),
                "UPDATE Email SET ServerOut = '127.0.0.1', PortOut = " + std::to_string(silent.Port()) +
                    ", Email = 'zoe@example.org'"});
    auto window = Create();
    EXPECT_FALSE(accepted);
    bool clickedMeanwhile = false;
    QTimer::singleShot(0, window.get(), [&] {
        clickedMeanwhile = true;
        EXPECT_EQ(Child<QLabel>(*window, "StatusBar1Panel0").text(), "Connecting to 127.0.0.1...");
        Type(*window, "txtReceipient", QStringLiteral("bob@example.org"));
        window->bSendClick();
        window->EndMailSessions();
    });
    window->ConnectOutgoingServer();
    silent.Join();
    EXPECT_TRUE(clickedMeanwhile);
    EXPECT_EQ(received, "");
    // The program's end gave the connect up: that is no error.
    EXPECT_TRUE(boxes.applicationErrors.isEmpty());
}

TEST_F(FrmEmailTest, MissingDatabaseIsReportedAndEndsTheProgram)
{
    std::filesystem::remove(Database());
    auto window = Create();
    ASSERT_EQ(boxes.messages.size(), 1);
    EXPECT_TRUE(boxes.messages.front().startsWith("Could not open the database file"));
    EXPECT_TRUE(window->TerminationRequested());
    EXPECT_EQ(boxes.applicationErrors, QStringList{"The settings database is not open."});
    EXPECT_EQ(registry.values.count("DBPath"), 0u);
}

// A new user types the account and checks mail without "Update", writes a message, then answers a
// received one: the reply goes to its one sender, in its thread, with nothing of the earlier
// compose.
TEST_F(FrmEmailTest, ReplyAfterAnEarlierComposeGoesToTheOneSenderInTheThread)
{
    DovecotServer pop3;
    SmtpServer smtp;
    pop3.Deliver(
        "From: \"Doe, John\" <jd@example.org>\r\nTo: zoe@example.org\r\nCc: carl@example.org\r\n"
        "Subject: Lunch\r\nMessage-ID: <lunch-1@example.org>\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\n"
        "Shall we meet?\r\nAt noon.\r\n--b\r\nContent-Type: text/plain; name=\"menu.txt\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\nU291cA==\r\n--b--\r\n");
    auto window = Create();
    Type(*window, "txtServerIn", QStringLiteral("127.0.0.1"));
    Type(*window, "txtPortIn", QString::number(pop3.Port()));
    Type(*window, "txtServerOut", QStringLiteral("127.0.0.1"));
    Type(*window, "txtPortOut", QString::number(smtp.Port()));
    Type(*window, "txtUserID", QLatin1String(DovecotServer::User));
    Type(*window, "txtPassword", QLatin1String(DovecotServer::Password));
    Type(*window, "txtEmail", kSender);
    Click(*window, "tReply"); // no message shown: nothing to answer
    EXPECT_EQ(Child<QLineEdit>(*window, "txtSubject").text(), "");
    // An earlier compose, never sent.
    Type(*window, "txtCC", QStringLiteral("dave@example.org"));
    Attach(*window, {files.WriteFile("draft.txt", "draft")});

    Click(*window, "tCheckMail");
    ASSERT_TRUE(boxes.applicationErrors.isEmpty()) << boxes.applicationErrors.join("\n").toStdString();
    auto& headers = Child<QAbstractItemView>(*window, "lvHeaders");
    ASSERT_EQ(headers.model()->rowCount(), 1);
    headers.setCurrentIndex(headers.model()->index(0, 0));
    window->lvHeadersClick();
    Click(*window, "tReply");
    EXPECT_EQ(Child<QLineEdit>(*window, "txtSubject").text(), "Re: Lunch");
    EXPECT_TRUE(
        Child<QPlainTextEdit>(*window, "Memo1").toPlainText().contains("> Shall we meet?\n> At noon."));
    EXPECT_EQ(Child<QTabWidget>(*window, "PageControl1").currentWidget()->objectName(), "tsSendEmail");
    Click(*window, "bSend");
    ASSERT_TRUE(boxes.applicationErrors.isEmpty()) << boxes.applicationErrors.join("\n").toStdString();

    const auto stored = smtp.Messages();
    ASSERT_EQ(stored.size(), 1u);
    const Lines dialogue = smtp.ClientLines(1);
    EXPECT_EQ(std::count_if(dialogue.begin(), dialogue.end(),
                            [](const std::string& line) {
                                return line.rfind("RCPT", 0) == 0 || line.rfind("Rcpt", 0) == 0;
                            }),
              1);
    const TPythonView reply = ReadWithPython(stored[0], files, "reply");
    EXPECT_EQ(reply.fields.at("to"), Lines{"jd@example.org"});
    EXPECT_EQ(reply.fields.count("cc"), 0u);
    EXPECT_EQ(reply.fields.count("attachment"), 0u);
    EXPECT_NE(ReadFile(stored[0]).find("In-Reply-To: <lunch-1@example.org>"), std::string::npos);
    EXPECT_EQ(Child<QLineEdit>(*window, "txtReceipient").text(), "");
}

TEST(OutgoingMail, SendingForgetsWhatTheMessageHeldFromAMessageRead)
{
    TIdMessage message;
    message.Organization = "Read Ltd";
    message.ReplyTo.SetAddressListText("reader@example.org");
    message.ReceiptRecipient.SetText("receipt@example.org");
    message.Priority = mpHighest;
    message.Parts.AddText({"the text read"});
    message.Parts.AddAttachment("read.bin");

    ComposeMessage(message, {QStringLiteral("Zoe"),
                             QStringLiteral("zoe@example.org"),
                             QStringLiteral("bob@example.org"),
                             QString(),
                             QStringLiteral("Hi"),
                             QStringLiteral("ASCII\n"),
                             {QStringLiteral("/tmp/new.bin")}});

    EXPECT_EQ(message.Organization, "");
    EXPECT_EQ(message.ReplyTo.Count(), 0);
    EXPECT_EQ(message.ReceiptRecipient.Address, "");
    EXPECT_EQ(message.Priority, mpNormal);
    EXPECT_EQ(message.Body, Lines{"ASCII"});
    ASSERT_EQ(message.Parts.Count(), 1);
    EXPECT_EQ(dynamic_cast<const TIdAttachment&>(message.Parts.Items(0)).FileName, "/tmp/new.bin");
}

TEST(OutgoingMail, ReplyTakesOneReAndQuotesEveryLine)
{
    const std::vector<std::pair<QString, QString>> subjects{
        {"Lunch", "Re: Lunch"}, {"Re: Lunch", "Re: Lunch"}, {"RE: Lunch", "RE: Lunch"}, {"", "Re: "}};
    for (const auto& [subject, reply] : subjects)
        EXPECT_EQ(ReplySubject(subject), reply) << subject.toStdString();
    EXPECT_EQ(QuoteForReply(QStringLiteral("first\n\n> earlier")), "> first\n> \n> > earlier");
}

} // namespace

namespace {

// Whether a command shows the busy cursor while it waits.
bool CursorBusy()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

} // namespace

TEST_F(FrmEmailTest, ASendWaitingOnAHostThatNeverAnswersStaysResponsiveAndDisconnectOrClosingCancelsIt)
{
    UnansweringHost host;
    RunProgram({"sqlite3", Database().string(),
                "UPDATE Email SET ServerOut = '127.0.0.1', PortOut = " + std::to_string(host.Port()) +
                    ", Email = 'zoe@example.org'"});
    auto window = Create();
    Type(*window, "txtReceipient", QStringLiteral("bob@example.org"));
    for (const bool closing : {false, true}) {
        boxes.applicationErrors.clear();
        bool ran = false;
        bool busyMeanwhile = false;
        const auto posted = std::chrono::steady_clock::now();
        std::chrono::steady_clock::duration waited{};
        QTimer::singleShot(0, window.get(), [&] {
            ran = true;
            waited = std::chrono::steady_clock::now() - posted;
            busyMeanwhile = CursorBusy();
            if (closing)
                window->close();
            else
                Click(*window, "tDisconnect");
        });
        Click(*window, "bSend");
        EXPECT_TRUE(ran);
        // Far less than the connect time-out: the event ran inside the wait, not after it.
        EXPECT_LT(waited, std::chrono::seconds(10));
        EXPECT_TRUE(busyMeanwhile);
        EXPECT_FALSE(CursorBusy());
        // The user gave it up: no error box.
        EXPECT_TRUE(boxes.applicationErrors.isEmpty()) << closing;
        EXPECT_EQ(Child<QLabel>(*window, "StatusBar1Panel0").text(), "Not connected");
    }
}

TEST_F(FrmEmailTest, CheckMailWaitingOnASilentServerIsCancelledByDisconnectAndCanRunAgain)
{
    ScriptedServer silent("<until closed>");
    DovecotServer mailbox;
    mailbox.Deliver("Subject: hello\r\n\r\nbody\r\n");
    RunProgram({"sqlite3", Database().string(),
                "UPDATE Email SET ServerIn = '127.0.0.1', PortIn = " + std::to_string(silent.Port()) +
                    ", UserID = 'alice', Password = '" +
                    ScramblePassword(QStringLiteral("secret")).toStdString() + "'"});
    auto window = Create();
    bool busyMeanwhile = false;
    QTimer::singleShot(0, window.get(), [&] {
        busyMeanwhile = CursorBusy();
        Click(*window, "tDisconnect");
    });
    Click(*window, "tCheckMail");
    EXPECT_TRUE(silent.WaitFinished());
    EXPECT_TRUE(busyMeanwhile);
    EXPECT_FALSE(CursorBusy());
    EXPECT_TRUE(boxes.applicationErrors.isEmpty());

    // Nothing is left waiting: the same window checks another server at once.
    Type(*window, "txtPortIn", QString::number(mailbox.Port()));
    Click(*window, "tCheckMail");
    EXPECT_TRUE(boxes.applicationErrors.isEmpty()) << boxes.applicationErrors.join("\n").toStdString();
    auto& list = Child<QAbstractItemView>(*window, "lvHeaders");
    EXPECT_EQ(list.model()->rowCount(), 1);
}
