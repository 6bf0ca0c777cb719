// The mail window's logic on fakes of its two servers: which account reaches them, what is caught
// before a connection, one command at a time with the others disabled, where failures go, what
// Delete and Reply act on, and what a send leaves behind.

#include "mail_window/Email.h"

#include "mail_window/PasswordScrambling.h"
#include "support/FakeMailServers.h"
#include "support/FakePasswordStore.h"
#include "support/MailWindowDriver.h"
#include "support/QtTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/ShellDoubles.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace quietpane;
using namespace quietpane::test;

namespace {

// A message from Ann, unless the headers name another sender.
std::string Mail(const std::string& subject, const std::string& headers = {})
{
    const std::string from =
        headers.find("From:") == std::string::npos ? "From: Ann <ann@example.org>\r\n" : "";
    return headers + from + "Subject: " + subject + "\r\n\r\ntext of " + subject + "\r\n";
}

class MailWindowTest : public ::testing::Test {
protected:
    MailWindowTest()
    {
        TestApplication();
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, folder.Path() / "Quietpane.mdb");
        Create();
    }
    void Create()
    {
        window.reset();
        window = std::make_unique<TfrmEmail>(TfrmEmailSetup{QString::fromStdString(folder.Path().string()),
                                                            &registry, &incoming, &outgoing, &passwords});
        EXPECT_TRUE(AwaitPasswordPlace(*window));
    }
    QString PasswordColumn() const
    {
        return QString::fromStdString(RunProgram(
            {"sqlite3", (folder.Path() / "Quietpane.mdb").string(), "SELECT Password FROM Email"}));
    }

    void TypeAccount()
    {
        Type(*window, "txtServerOut", QStringLiteral("smtp.example.org"));
        Type(*window, "txtPortOut", QStringLiteral("587"));
        Type(*window, "txtUserID", QStringLiteral("alice"));
        Type(*window, "txtPassword", QStringLiteral("secret"));
        Type(*window, "txtServerIn", QStringLiteral("pop.example.org"));
        Type(*window, "txtPortIn", QStringLiteral("110"));
    }
    void CheckMail(const std::vector<std::string>& messages)
    {
        incoming.mailbox = messages;
        Click(*window, "tCheckMail");
    }
    QTreeWidget& Headers() { return Child<QTreeWidget>(*window, "lvHeaders"); }
    void Show(int row)
    {
        Headers().clearSelection();
        Headers().topLevelItem(row)->setSelected(true);
        window->lvHeadersClick();
    }
    QString Status(int panel)
    {
        return Child<QLabel>(*window, panel == 0 ? "StatusBar1Panel0" : "StatusBar1Panel1").text();
    }
    QString CurrentTab() { return Child<QTabWidget>(*window, "PageControl1").currentWidget()->objectName(); }
    QString Text(const char* box) { return Child<QLineEdit>(*window, box).text(); }

    TempDir folder;
    RecordingRegistry registry;
    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
    FakeIncomingServer incoming;
    FakeOutgoingServer outgoing;
    FakePasswordStore passwords;
    std::unique_ptr<TfrmEmail> window;
};

TEST_F(MailWindowTest, TheAccountAsTypedReachesBothServersWithoutUpdate)
{
    TypeAccount();
    Child<QCheckBox>(*window, "cbAllowPlain").setChecked(true);
    const QString password = QStringLiteral("secret");
    CheckMail({});
    EXPECT_EQ(incoming.calls, QStringList{"Check pop.example.org:110 alice " + password + " 1"});
    Type(*window, "txtReceipient", QStringLiteral("bob@example.org"));
    Click(*window, "bSend");
    EXPECT_EQ(outgoing.calls, QStringList{"Send smtp.example.org:587 alice " + password + " 1"});
    EXPECT_TRUE(boxes.applicationErrors.isEmpty()) << boxes.applicationErrors.join("\n").toStdString();

    // Update stores it; the sender shown follows at once.
    Type(*window, "txtName", QStringLiteral("Zoe"));
    Type(*window, "txtEmail", QStringLiteral("zoe@example.org"));
    Click(*window, "bUpdate");
    EXPECT_EQ(Text("txtFrom"), "Zoe   <zoe@example.org>");
    EXPECT_EQ(Text("txtPassword"), "secret");
    EXPECT_TRUE(Child<QCheckBox>(*window, "cbAllowPlain").isChecked());
}

TEST_F(MailWindowTest, AMissingServerOrRecipientIsCaughtBeforeAnyConnection)
{
    const struct {
        const char* serverOut;
        const char* button;
        QString message, tab;
    } rows[] = {
        {"", "tCheckMail", "Fill in the incoming mail server on the Setup tab first.", "tsSetup"},
        {"", "bSend", "Fill in the outgoing mail server on the Setup tab first.", "tsSetup"},
        {"smtp.example.org", "bSend", "Fill in the recipient (To) first.", "tsSendEmail"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.button);
        Type(*window, "txtServerOut", QLatin1String(row.serverOut));
        Child<QTabWidget>(*window, "PageControl1").setCurrentIndex(1);
        boxes.messages.clear();
        Click(*window, row.button);
        EXPECT_EQ(boxes.messages, QStringList{row.message});
        EXPECT_EQ(CurrentTab(), row.tab);
    }
    EXPECT_TRUE(incoming.calls.isEmpty());
    EXPECT_TRUE(outgoing.calls.isEmpty());
    EXPECT_TRUE(boxes.applicationErrors.isEmpty());
}

// While a command waits on its server, the commands it would ignore are disabled and ignored,
// Disconnect stays, and the status says what runs.
TEST_F(MailWindowTest, WhileACommandRunsTheOthersAreDisabledAndIgnored)
{
    TypeAccount();
    CheckMail({Mail("One"), Mail("Two")});
    const QStringList checked = incoming.calls;
    const auto disabledMeanwhile = [this](FakeWait& server, const std::function<void()>& command) {
        QStringList disabled;
        server.whileWaiting = [&] {
            for (const char* name : {"tCheckMail", "tDisconnect", "tDelete", "tReply", "bSend"})
                if (!Child<QAbstractButton>(*window, name).isEnabled())
                    disabled.append(QLatin1String(name));
            if (!Headers().isEnabled())
                disabled.append(QStringLiteral("lvHeaders"));
            disabled.append(Status(0));
            window->bReceiveClick();
            window->bSendClick();
            window->tDeleteClick();
        };
        command();
        return disabled;
    };
    const QStringList all{"tCheckMail", "tDelete", "tReply", "bSend", "lvHeaders"};
    EXPECT_EQ(disabledMeanwhile(incoming, [&] { Show(1); }), all + QStringList{"Retrieving message \"Two\""});
    EXPECT_EQ(incoming.calls, checked + QStringList{"Fetch 2"});
    EXPECT_EQ(disabledMeanwhile(outgoing, [&] { window->ConnectOutgoingServer(); }),
              all + QStringList{"Connecting to smtp.example.org..."});
    EXPECT_EQ(outgoing.calls, QStringList{"Connect smtp.example.org:587"});
    EXPECT_TRUE(Headers().isEnabled());
    EXPECT_TRUE(boxes.messages.isEmpty());
}

TEST_F(MailWindowTest, FailuresGoToTheBoxOrTheStatusBarAndACancelAskedForToNeither)
{
    TypeAccount();
    Type(*window, "txtReceipient", QStringLiteral("bob@example.org"));
    const struct {
        const char* name;
        FakeWait& server;
        std::function<void()> command;
        QString failure; // empty: the user cancels with Disconnect
        QStringList box;
        QString status;
    } rows[] = {
        {"check refused",
         incoming,
         [&] { Click(*window, "tCheckMail"); },
         "-ERR [AUTH] Authentication failed.",
         {"-ERR [AUTH] Authentication failed."},
         "Connecting...."},
        {"start-up connect",
         outgoing,
         [&] { window->ConnectOutgoingServer(); },
         "Connection refused.",
         {},
         "Connection refused."},
        {"check cancelled", incoming, [&] { Click(*window, "tCheckMail"); }, "", {}, "Not connected"},
        {"send cancelled", outgoing, [&] { Click(*window, "bSend"); }, "", {}, "Not connected"},
        {"send failed", outgoing, [&] { Click(*window, "bSend"); }, "554 refused", {"554 refused"}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        boxes.applicationErrors.clear();
        if (row.failure.isEmpty())
            row.server.whileWaiting = [this] { Click(*window, "tDisconnect"); };
        else
            row.server.failure = row.failure.toStdString();
        row.command();
        EXPECT_EQ(boxes.applicationErrors, row.box);
        if (!row.status.isEmpty())
            EXPECT_EQ(Status(0), row.status);
    }
    // Closing the window while a send waits gives it up without a word.
    boxes.applicationErrors.clear();
    outgoing.whileWaiting = [this] { window->close(); };
    Click(*window, "bSend");
    EXPECT_TRUE(boxes.applicationErrors.isEmpty());
}

TEST_F(MailWindowTest, DeleteMarksTheMessageShownAndNamesIt)
{
    TypeAccount();
    Click(*window, "tDelete");
    EXPECT_EQ(boxes.messages, QStringList{"There is no message selected to be deleted"});
    CheckMail({Mail("One"), Mail("Two"), Mail("Three")});
    Show(1);
    // The selection moves on, the message shown stays.
    Headers().clearSelection();
    Headers().topLevelItem(2)->setSelected(true);
    Click(*window, "tDelete");
    EXPECT_EQ(incoming.calls.last(), "Delete 2");
    EXPECT_EQ(Status(0), "Message \"Two\" marked for deletion");
    ASSERT_EQ(Headers().topLevelItemCount(), 2);
    EXPECT_EQ(Headers().topLevelItem(1)->text(0), "Three");
    // Nothing is shown any more: a second Delete marks nothing.
    Click(*window, "tDelete");
    EXPECT_EQ(boxes.messages.size(), 2);

    // At program end the session ends with QUIT, so the deletion takes effect.
    window->EndMailSessions();
    EXPECT_EQ(incoming.calls.last(), "Quit, waiting 2000 ms");
    EXPECT_EQ(outgoing.calls.last(), "Drop");
}

TEST_F(MailWindowTest, CheckMailShowsTheReceiveTabThisChecksCountAndNoRowsOfAnEarlierSession)
{
    TypeAccount();
    CheckMail({Mail("One"), std::string(3000, 'x')});
    EXPECT_EQ(CurrentTab(), "tsReceiveEmail");
    EXPECT_EQ(Headers().topLevelItemCount(), 2);
    EXPECT_EQ(Status(0), "2 messages on server");
    EXPECT_EQ(Status(1), "Mail takes up 2K on the server");
    const QLabel& sizePanel = Child<QLabel>(*window, "StatusBar1Panel1");
    EXPECT_GE(sizePanel.width(), sizePanel.fontMetrics().horizontalAdvance(Status(1)));

    Child<QTabWidget>(*window, "PageControl1").setCurrentIndex(0);
    CheckMail({});
    EXPECT_EQ(CurrentTab(), "tsReceiveEmail");
    EXPECT_EQ(Headers().topLevelItemCount(), 0);
    EXPECT_EQ(Status(0), "No messages on server");
    EXPECT_EQ(Status(1), "Mail takes up 0K on the server");
}

// The attachment list, once shown, does not widen the window; a raw 8-bit header value reads as
// a body does (Latin-1 when not UTF-8).
TEST_F(MailWindowTest, AttachmentsKeepTheWindowsWidthAndRawHeadersAreReadable)
{
    TypeAccount();
    window->show();
    const int width = window->width();
    CheckMail(
        {Mail("Caf\xe9", "Content-Type: multipart/mixed; boundary=b\r\n") +
         "--b\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\niVBORw==\r\n--b--\r\n"});
    EXPECT_EQ(Headers().topLevelItem(0)->text(0), QStringLiteral("Caf\u00e9"));
    Show(0);
    EXPECT_EQ(Child<QTreeWidget>(*window, "lvMessageParts").topLevelItem(0)->text(0), "attachment-1.png");
    QCoreApplication::processEvents();
    EXPECT_EQ(window->width(), width);
}

TEST_F(MailWindowTest, ReplyStartsAfreshToOneQuotedSenderInTheThreadAndASendEmptiesTheTab)
{
    TypeAccount();
    // An earlier compose leaves a copy and an attachment in the tab.
    Type(*window, "txtCC", QStringLiteral("carl@example.org"));
    dialogs.openAnswers.append(QString::fromStdString(folder.WriteFile("old.txt", "old").string()));
    Click(*window, "bAdd");
    CheckMail({Mail("Lunch", "From: \"Doe, John\" <jd@example.org>\r\nCc: dora@example.org\r\n"
                             "Message-ID: <m1@example.org>\r\nReferences: <m0@example.org>\r\n")});
    Show(0);
    Click(*window, "tReply");
    EXPECT_EQ(CurrentTab(), "tsSendEmail");
    EXPECT_EQ(Text("txtReceipient"), "\"Doe, John\" <jd@example.org>");
    EXPECT_EQ(Text("txtCC"), "");
    EXPECT_EQ(Child<QListWidget>(*window, "ListBox").count(), 0);
    EXPECT_EQ(Text("txtSubject"), "Re: Lunch");

    Click(*window, "bSend");
    ASSERT_EQ(outgoing.sent.size(), 1u);
    const FakeSent& reply = outgoing.sent[0];
    EXPECT_EQ(reply.recipients, 1);
    EXPECT_EQ(reply.cc, "");
    EXPECT_EQ(reply.attachments, 0);
    EXPECT_EQ(reply.inReplyTo, "<m1@example.org>");
    EXPECT_EQ(reply.references, "<m0@example.org> <m1@example.org>");
    EXPECT_EQ(Status(0), "Message sent to jd@example.org");
    for (const char* box : {"txtReceipient", "txtCC", "txtSubject"})
        EXPECT_EQ(Text(box), "") << box;
    EXPECT_EQ(Child<QPlainTextEdit>(*window, "Memo1").toPlainText(), "");

    // A new message after the reply is no longer in its thread.
    Type(*window, "txtReceipient", QStringLiteral("bob@example.org"));
    Click(*window, "bSend");
    ASSERT_EQ(outgoing.sent.size(), 2u);
    EXPECT_EQ(outgoing.sent[1].inReplyTo, "");
}

} // namespace

namespace {

// The keyring answers later: a check asked for before it has waits for the password.
TEST_F(MailWindowTest, UpdateMovesThePasswordIntoTheKeyringAndAStartWaitsForItsAnswer)
{
    TypeAccount();
    Click(*window, "bUpdate");
    ASSERT_TRUE(AwaitPasswordPlace(*window));
    EXPECT_EQ(Child<QLabel>(*window, "lblPasswordPlace").text(),
              "The password is kept in the desktop's keyring.");
    EXPECT_EQ(passwords.entries[QStringLiteral("alice@pop.example.org")], "secret");
    EXPECT_EQ(PasswordColumn(), "\n");

    window = std::make_unique<TfrmEmail>(TfrmEmailSetup{QString::fromStdString(folder.Path().string()),
                                                        &registry, &incoming, &outgoing, &passwords});
    CheckMail({});
    EXPECT_TRUE(incoming.calls.isEmpty());
    EXPECT_EQ(Status(0), "Waiting for the desktop's keyring...");
    ASSERT_TRUE(WaitUntil([&] { return !incoming.calls.isEmpty(); }));
    EXPECT_EQ(incoming.calls, QStringList{"Check pop.example.org:110 alice secret 0"});
    EXPECT_EQ(Text("txtPassword"), "secret");

    // Another login takes the password along; an emptied one leaves the keyring too, or the next
    // start would bring it back.
    Type(*window, "txtUserID", QStringLiteral("bob"));
    Click(*window, "bUpdate");
    ASSERT_TRUE(AwaitPasswordPlace(*window));
    EXPECT_EQ(passwords.entries, (std::map<QString, QString>{{"bob@pop.example.org", "secret"}}));
    Child<QLineEdit>(*window, "txtPassword").clear();
    Click(*window, "bUpdate");
    ASSERT_TRUE(WaitUntil([&] { return passwords.entries.empty(); }));
}

TEST_F(MailWindowTest, WithoutAKeyringThePasswordStaysScrambledAndTheSetupTabSaysSo)
{
    passwords.storeAnswer = TPasswordReply{TPasswordOutcome::NoSecretService, {}, {}};
    TypeAccount();
    Click(*window, "bUpdate");
    ASSERT_TRUE(AwaitPasswordPlace(*window));
    EXPECT_EQ(Child<QLabel>(*window, "lblPasswordPlace").text(),
              "No keyring runs on this desktop: the password is kept scrambled in the settings database.");
    EXPECT_EQ(PasswordColumn(), ScramblePassword(QStringLiteral("secret")) + "\n");
}

} // namespace
