// The "Receive Email" tab against a real Dovecot: listing, reading, saving attachments, deleting
// and disconnecting, with the window's POP3 session and message object behind it.

#include "mail_window/ReceivePage.h"

#include "mail_window/AttachmentFiles.h"
#include "mail_window/IncomingServer.h"
#include "message/IdMessage.h"
#include "net/IdGlobal.h"

#include "support/MailPeers.h"
#include "support/QtTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStatusBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <sys/stat.h>

using namespace quietpane;
using test::DovecotServer;

namespace {

// The mail window's status bar as the page uses it: panel 0 the text, panel 1 the size text.
class TRecordingStatus final : public TMailStatus {
public:
    explicit TRecordingStatus(const TMailboxState& mailbox) : mailbox_(mailbox) {}

    void ShowStatus(const QString& text) override
    {
        texts.append(text);
        panels[0] = text;
        panels[1] = QStringLiteral("Mail takes up %1K on the server").arg(mailbox_.MailboxSizeK);
        if (onShow)
            onShow(text);
    }
    void ShowBusy(bool value) override { busy = value; }
    void ShowConnectionState(bool connected) override
    {
        ShowStatus(connected ? QStringLiteral("Connected") : QStringLiteral("Not connected"));
    }
    QString StatusText(int panel) const override { return panels[panel]; }
    void SetStatusText(int panel, const QString& text) override { panels[panel] = text; }

    QStringList texts;
    QString panels[2];
    bool busy = false;
    std::function<void(const QString&)> onShow; // runs inside the command that shows the text

private:
    const TMailboxState& mailbox_;
};

std::string Mail(const std::string& subject, const std::string& headers, const std::string& body)
{
    return "From: Ann Smith <ann@example.org>\r\nTo: bob@example.org\r\nSubject: " + subject +
           "\r\nDate: Tue, 08 Dec 2026 10:15:00 +0000\r\n" + headers + "\r\n" + body;
}

const std::string kReportBytes = std::string("\x00\x01\x02\xff report\r\n", 13);

// A message with two attachments, the second with a name that tries to leave any folder.
const std::string kMailWithAttachments = Mail(
    "Quarterly report",
    "Cc: Carl <carl@example.org>, dora@example.org\r\nOrganization: Example Ltd\r\nX-Priority: 1\r\n"
    "Disposition-Notification-To: ann@example.org\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"b1\"\r\n",
    "--b1\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nSee the attached files.\r\n"
    "--b1\r\nContent-Type: application/octet-stream; name=\"report.bin\"\r\n"
    "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"report.bin\"\r\n\r\n"
    "AAEC/yByZXBvcnQNCg==\r\n"
    "--b1\r\nContent-Type: text/x-sh; name=\"../../evil.sh\"\r\nContent-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment; filename=\"../../evil.sh\"\r\n\r\nIyEvYmluL3NoCg==\r\n"
    "--b1--\r\n");

TMailAccount Account(int port)
{
    TMailAccount account;
    account.serverIn = QStringLiteral("127.0.0.1");
    account.portIn = QString::number(port);
    account.userId = QString::fromLatin1(DovecotServer::User);
    account.password = QString::fromLatin1(DovecotServer::Password);
    return account;
}

// A gate whose failures the test reads.
TMailCommandGate RecordingGate(QStringList& failures)
{
    TMailCommandGate gate;
    gate.OnFailure = [&failures](const QString& text, TFailureReport) { failures.append(text); };
    return gate;
}

class ReceivePageTest : public ::testing::Test {
protected:
    ReceivePageTest()
    {
        // Dates as a German user in Berlin's winter sees them, whatever the machine's settings.
        setenv("TZ", "CET-1", 1);
        tzset();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        SetAttachmentOpener([this](const QUrl& url) { opened.append(url.toLocalFile()); });
    }
    ~ReceivePageTest() override { SetAttachmentOpener({}); }

    // Check Mail, then the row of message `number` selected and clicked.
    void Open(int number)
    {
        if (List()->topLevelItemCount() == 0)
            page.bReceiveClick();
        QTreeWidgetItem* row = List()->topLevelItem(number - 1);
        List()->clearSelection();
        row->setSelected(true);
        emit List()->itemClicked(row, 0);
    }
    void SelectAttachment(int row)
    {
        Parts()->clearSelection();
        Parts()->topLevelItem(row)->setSelected(true);
    }

    QTreeWidget* List() const { return page.findChild<QTreeWidget*>(QStringLiteral("lvHeaders")); }
    QTreeWidget* Parts() const { return page.findChild<QTreeWidget*>(QStringLiteral("lvMessageParts")); }
    QString Label(const char* name) const { return page.findChild<QLabel*>(QLatin1String(name))->text(); }
    QStringList Row(int index) const
    {
        QStringList cells;
        for (int column = 0; column < List()->columnCount(); ++column)
            cells.append(List()->topLevelItem(index)->text(column));
        return cells;
    }
    QString AttachmentFolder() const { return QString::fromStdString(folder.Path().string()) + "/"; }

    TQuietpaneApplication& application = test::TestApplication(); // before any widget
    DovecotServer mailbox;
    test::TempDir folder;
    test::RecordingMessageBoxes boxes;
    test::ScriptedDialogs dialogs;
    QStringList opened;
    TIncomingServer incoming;
    TIdMessage message;
    TMailboxState state;
    TRecordingStatus status{state};
    QStringList failures;
    TMailCommandGate gate = RecordingGate(failures);
    TMailAccount account = Account(mailbox.Port());
    std::unique_ptr<TReceivePage> pageOwner = std::make_unique<TReceivePage>(
        TMailServices{&incoming, &status, &gate}, message, state, [this] { return account; },
        [this] { return AttachmentFolder(); });
    TReceivePage& page = *pageOwner;
};

// ---------------------------------------------------------------- layout

TEST_F(ReceivePageTest, ControlsCarryTheirNamesCaptionsAndWidths)
{
    const QTreeWidget* list = List();
    ASSERT_NE(list, nullptr);
    const QStringList captions{"Subject", "From", "Date", "Byte(s)"};
    const int widths[] = {300, 200, 80, 60};
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(list->headerItem()->text(column), captions[column]);
        EXPECT_EQ(list->header()->sectionSize(column), widths[column]);
    }
    EXPECT_EQ(list->maximumHeight(), 120);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);

    const QTreeWidget* parts = Parts();
    ASSERT_NE(parts, nullptr);
    EXPECT_EQ(parts->headerItem()->text(0), "Fille Name");
    EXPECT_EQ(parts->headerItem()->text(1), "Content Type");
    EXPECT_EQ(parts->header()->sectionSize(0), 150);
    EXPECT_TRUE(parts->isHidden());

    const auto* receive = page.findChild<QPushButton*>(QStringLiteral("bReceive"));
    ASSERT_NE(receive, nullptr);
    EXPECT_EQ(receive->text(), "Receive");
    EXPECT_TRUE(receive->isHidden());

    const auto* bar = page.findChild<QStatusBar*>(QStringLiteral("StatusBar2"));
    ASSERT_NE(bar, nullptr);
    QList<int> panelWidths;
    for (const QLabel* panel : bar->findChildren<QLabel*>())
        panelWidths.append(panel->width());
    EXPECT_EQ(panelWidths, (QList<int>{60, 50}));

    const auto* body = page.findChild<QTextEdit*>(QStringLiteral("Memo2"));
    ASSERT_NE(body, nullptr);
    EXPECT_TRUE(body->isReadOnly());
    EXPECT_EQ(body->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(body->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    const auto* pane = page.findChild<QWidget*>(QStringLiteral("MessagePane"));
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->palette().color(QPalette::Window), QColor(211, 222, 202));
    EXPECT_TRUE(pane->autoFillBackground());
    const char* values[] = {"From", "Recipients", "Cc",      "Subject",
                            "Date", "Priority",   "Receipt", "Organization"};
    for (int index = 0; index < 8; ++index) {
        SCOPED_TRACE(values[index]);
        const auto* value = page.findChild<QLabel*>(QLatin1String(values[index]));
        ASSERT_NE(value, nullptr);
        EXPECT_TRUE(value->styleSheet().contains("maroon"));
        EXPECT_EQ(value->maximumWidth() == 270, index < 4);
        const auto* caption = page.findChild<QLabel*>(QLatin1String("lbl") + QLatin1String(values[index]));
        ASSERT_NE(caption, nullptr);
        EXPECT_TRUE(caption->font().bold());
    }
    EXPECT_EQ(page.findChild<QLabel*>(QStringLiteral("lblRecipients"))->text(), "To");
}

// ---------------------------------------------------------------- Check Mail

TEST_F(ReceivePageTest, CheckMailListsEveryMessageInServerOrder)
{
    const std::string messages[] = {
        Mail("First", "", "one\r\n"),
        Mail("Second", "", std::string(2000, 'x') + "\r\n"),
        "From: carl@example.org\r\nSubject: Third\r\nDate: Wed, 09 Dec 2026 23:30:00 +0000\r\n\r\nthree\r\n",
    };
    std::uintmax_t total = 0;
    for (const std::string& text : messages) {
        mailbox.Deliver(text);
        total += text.size();
    }
    status.panels[1] = QStringLiteral("Mail takes up 0K on the server");

    page.bReceiveClick();

    ASSERT_EQ(List()->topLevelItemCount(), 3);
    EXPECT_EQ(Row(0), (QStringList{"First", "Ann Smith <ann@example.org>", "08.12.26",
                                   QString::number(messages[0].size())}));
    EXPECT_EQ(Row(1)[0], "Second");
    EXPECT_EQ(Row(1)[3], QString::number(messages[1].size()));
    EXPECT_EQ(Row(2)[0], "Third");
    EXPECT_EQ(Row(2)[1], "carl@example.org");
    EXPECT_EQ(Row(2)[2], "10.12.26"); // 23:30 in London is past midnight in Berlin
    EXPECT_EQ(state.MessageCount, 3);
    EXPECT_EQ(state.MailboxSizeK, static_cast<int>(total / 1024));
    EXPECT_EQ(status.texts, (QStringList{"Connecting....", "Messsage 1 of 3", "Messsage 2 of 3",
                                         "Messsage 3 of 3", "3 messages on server"}));
    EXPECT_EQ(status.panels[1], QStringLiteral("Mail takes up %1K on the server").arg(total / 1024));
    EXPECT_FALSE(status.busy);
    EXPECT_TRUE(incoming.SessionOpen());
}

TEST_F(ReceivePageTest, AnEmptyMailboxEmptiesTheList)
{
    mailbox.Deliver(Mail("Gone", "", "x\r\n"));
    page.bReceiveClick();
    mailbox.EmptyMailbox();
    status.texts.clear();

    page.bReceiveClick();

    EXPECT_EQ(status.texts, (QStringList{"Connecting....", "No messages on server"}));
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    EXPECT_EQ(state.MessageCount, 0);
}

TEST_F(ReceivePageTest, FailuresReachTheErrorBoxWithTheCursorBackToNormal)
{
    const struct {
        QString port, password, error;
    } cases[] = {
        {QString::number(mailbox.Port()), "wrong", "-ERR [AUTH] Authentication failed."},
        {"11o", "secret", "'11o' is not a valid integer value"},
    };
    for (const auto& failure : cases) {
        account.portIn = failure.port;
        account.password = failure.password;
        failures.clear();
        page.bReceiveClick();
        EXPECT_EQ(failures, QStringList{failure.error});
        EXPECT_FALSE(status.busy);
        EXPECT_FALSE(gate.Busy());
    }
}

// ---------------------------------------------------------------- one message and its attachments

TEST_F(ReceivePageTest, ARowShowsItsMessageAndItsAttachments)
{
    mailbox.Deliver(Mail("Plain", "", "nothing attached\r\n"));
    mailbox.Deliver(kMailWithAttachments);
    page.bReceiveClick();
    status.texts.clear();
    const QString sizeText = status.panels[1];

    Open(2);

    EXPECT_EQ(status.texts,
              (QStringList{"Retrieving message \"Quarterly report\"", "Decoding attachments (4)", sizeText}));
    EXPECT_EQ(Label("From"), "Ann Smith <ann@example.org>");
    EXPECT_EQ(Label("Recipients"), "bob@example.org");
    EXPECT_EQ(Label("Cc"), "Carl <carl@example.org>, dora@example.org");
    EXPECT_EQ(Label("Subject"), "Quarterly report");
    EXPECT_EQ(Label("Date"), "08 Dez. 2026 11:15:00");
    EXPECT_EQ(Label("Priority"), "1");
    EXPECT_EQ(Label("Receipt"), "ann@example.org");
    EXPECT_EQ(Label("Organization"), "Example Ltd");
    EXPECT_EQ(page.ShownBodyText(), "See the attached files.");
    EXPECT_TRUE(page.MessageShown());
    EXPECT_FALSE(Parts()->isHidden());
    ASSERT_EQ(Parts()->topLevelItemCount(), 2);
    EXPECT_EQ(Parts()->topLevelItem(0)->text(0), "report.bin");
    EXPECT_EQ(Parts()->topLevelItem(1)->text(0), "../../evil.sh");

    // A plain message after it empties the attachment list and hides it at the next check.
    Open(1);
    EXPECT_EQ(Parts()->topLevelItemCount(), 0);
    EXPECT_EQ(Label("Cc"), "");
    EXPECT_EQ(page.ShownBodyText(), "nothing attached\n");
}

// Saving: the attachment's bytes go where the user said, the proposed name stays in the folder, a
// confirmed replacement replaces, a failure says why, and only a file just saved is opened.
TEST_F(ReceivePageTest, SavingCopiesTheAttachmentSafely)
{
    mailbox.Deliver(kMailWithAttachments);
    Open(1);
    dialogs.saveAnswer = QString::fromStdString((folder.Path() / "chosen.bin").string());
    SelectAttachment(0);
    emit Parts()->itemClicked(Parts()->topLevelItem(0), 0);
    EXPECT_EQ(dialogs.proposedNames, QStringList{AttachmentFolder() + "report.bin"});
    EXPECT_EQ(dialogs.overwriteQuestions, QList<bool>{true});
    EXPECT_EQ(test::ReadFile(dialogs.saveAnswer.toStdString()), kReportBytes);
    EXPECT_EQ(opened, QStringList{dialogs.saveAnswer});
    EXPECT_FALSE(status.busy);
    opened.clear();

    const std::filesystem::path existing = folder.WriteFile("evil.sh", "an older file of the same name");
    std::filesystem::permissions(existing, std::filesystem::perms(0755));

    // The sender's "../../evil.sh" is proposed inside the folder; the user confirms replacing.
    dialogs.saveAnswer = QString::fromStdString(existing.string());
    SelectAttachment(1);
    page.lvMessagePartsClick();
    EXPECT_EQ(dialogs.proposedNames.last(), AttachmentFolder() + "evil.sh");
    EXPECT_EQ(test::ReadFile(existing), "#!/bin/sh\n");
    struct stat saved {};
    ASSERT_EQ(stat(existing.c_str(), &saved), 0);
    EXPECT_EQ(saved.st_mode & 0111, 0u);
    EXPECT_EQ(opened, QStringList{dialogs.saveAnswer});

    // A new file gets the user's normal permissions.
    const mode_t mask = umask(0);
    umask(mask);
    dialogs.saveAnswer = QString::fromStdString((folder.Path() / "new.bin").string());
    SelectAttachment(0);
    page.lvMessagePartsClick();
    ASSERT_EQ(stat((folder.Path() / "new.bin").c_str(), &saved), 0);
    EXPECT_EQ(saved.st_mode & 0777, 0666u & ~mask);

    // Cancelled: nothing opens, not even the older file in the attachment folder.
    opened.clear();
    dialogs.saveAnswer.clear();
    page.lvMessagePartsClick();
    EXPECT_TRUE(opened.isEmpty());

    // A failed save says why and opens nothing.
    dialogs.saveAnswer = QString::fromStdString((folder.Path() / "no-such-folder" / "x.bin").string());
    page.lvMessagePartsClick();
    ASSERT_EQ(boxes.errors.size(), 1);
    EXPECT_TRUE(
        boxes.errors[0].startsWith("The attachment could not be saved as \"" + dialogs.saveAnswer + "\": "))
        << boxes.errors[0].toStdString();
    EXPECT_GT(boxes.errors[0].size(), dialogs.saveAnswer.size() + 40);
    EXPECT_TRUE(opened.isEmpty());
}

// Parts are addressed by position: of two attachments named the same, each saves its own bytes. A
// part that can't be decoded is listed as such beside the text and the parts that could, and
// saves as it was sent.
TEST_F(ReceivePageTest, EveryPartSavesItsOwnBytesAndABrokenOneDoesNotHideTheRest)
{
    const auto part = [](const std::string& name, const std::string& base64) {
        return "--b1\r\nContent-Type: text/plain; name=\"" + name +
               "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + base64 + "\r\n";
    };
    mailbox.Deliver(Mail("Twins", "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n",
                         "--b1\r\nContent-Type: text/plain\r\n\r\nThe text.\r\n" +
                             part("report.txt", "Zmlyc3Q=") + part("report.txt", "c2Vjb25k") +
                             part("broken.txt", "!!not base64!!") + part("good.txt", "Z29vZA==") +
                             "--b1--\r\n"));
    Open(1);
    EXPECT_EQ(page.ShownBodyText(), "The text.");
    EXPECT_EQ(Label("Subject"), "Twins");
    ASSERT_EQ(Parts()->topLevelItemCount(), 4);
    EXPECT_EQ(Parts()->topLevelItem(2)->text(0), "broken.txt (could not be decoded)");
    EXPECT_EQ(status.texts.last(),
              "A part of this message could not be decoded: Coding table entry not found.");
    EXPECT_TRUE(failures.isEmpty()) << failures.join("\n").toStdString();

    const char* saved[] = {"first", "second", "!!not base64!!", "good"};
    for (int row = 0; row < 4; ++row) {
        dialogs.saveAnswer =
            QString::fromStdString((folder.Path() / ("saved-" + std::to_string(row))).string());
        SelectAttachment(row);
        page.lvMessagePartsClick();
        EXPECT_EQ(test::ReadFile(dialogs.saveAnswer.toStdString()).substr(0, std::strlen(saved[row])),
                  saved[row]);
    }
    EXPECT_EQ(dialogs.proposedNames[1], AttachmentFolder() + "report.txt");
}

// A row of a message the server no longer has shows the server's refusal.
TEST_F(ReceivePageTest, ARefusedRetrievalShowsTheServersAnswer)
{
    mailbox.Deliver(Mail("Gone soon", "", "x\r\n"));
    page.bReceiveClick();
    TIncomingServer other;
    other.Check(account.Incoming());
    other.MarkDeleted(1);
    other.EndKeepingDeletions(5000);
    Open(1);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].startsWith("-ERR")) << failures[0].toStdString();
    EXPECT_FALSE(page.MessageShown());
}

// ---------------------------------------------------------------- what the body box shows

struct TBodyCase {
    const char* name;
    std::string headers; // the Content-Type and transfer encoding of the message
    std::string body;
    QString shown;  // the body box's text
    bool formatted; // markup shown formatted
};

// The header lines of a multipart message whose boundary is its subtype.
std::string MultipartHeaders(const std::string& type)
{
    return "MIME-Version: 1.0\r\nContent-Type: multipart/" + type + "; boundary=\"" + type + "\"\r\n";
}

std::string MultipartBody(const std::string& type, const std::string& parts)
{
    return "This is a multi-part message in MIME format.\r\n" + parts + "--" + type + "--\r\n";
}

std::string Part(const std::string& boundary, const std::string& headers, const std::string& content)
{
    return "--" + boundary + "\r\n" + headers + "\r\n" + content + "\r\n";
}

const std::string kAlternative =
    Part("alternative", "Content-Type: text/plain; charset=utf-8\r\n", "Plain version") +
    Part("alternative", "Content-Type: text/html; charset=utf-8\r\n", "<p>HTML <b>version</b></p>");

const TBodyCase kBodyCases[] = {
    {"PlainAlternativeOfTwo", MultipartHeaders("alternative"), MultipartBody("alternative", kAlternative),
     "Plain version", false},
    {"PlainAlternativeBesideAnAttachment", MultipartHeaders("mixed"),
     MultipartBody("mixed", Part("mixed", "Content-Type: multipart/alternative; boundary=\"alternative\"\r\n",
                                 "\r\n" + kAlternative + "--alternative--") +
                                Part("mixed",
                                     "Content-Type: application/pdf; name=\"a.pdf\"\r\n"
                                     "Content-Transfer-Encoding: base64\r\n",
                                     "JVBERg==")),
     "Plain version", false},
    {"HtmlOnly", "MIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n",
     "<html><body><p>Only <b>HTML</b> here</p><script>document.write('ran')</script></body></html>\r\n",
     "Only HTML here ", true}, // the line end after the markup is white space
    {"HtmlBesideAnAttachment", MultipartHeaders("mixed"),
     MultipartBody("mixed", Part("mixed", "Content-Type: text/html\r\n", "<p>Rich <i>text</i></p>") +
                                Part("mixed",
                                     "Content-Type: image/png; name=\"a.png\"\r\n"
                                     "Content-Transfer-Encoding: base64\r\n",
                                     "iVBORw0KGgo=")),
     "Rich text", true},
    {"Latin1QuotedPrintable",
     "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"ISO-8859-1\"\r\n"
     "Content-Transfer-Encoding: quoted-printable\r\n",
     "Caf=E9 cr=E8me br=FBl=E9e\r\n", "Caf\u00e9 cr\u00e8me br\u00fbl\u00e9e\n", false},
    {"Iso2022Japanese", "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n",
     "\x1b$BF|K\\8l$N%a!<%k\x1b(B\r\n", "\u65e5\u672c\u8a9e\u306e\u30e1\u30fc\u30eb\n", false},
    {"ShiftJisBase64",
     "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=Shift_JIS\r\nContent-Transfer-Encoding: "
     "base64\r\n",
     "grGC8YLJgr+CzYFBkKKKRQ==\r\n", "\u3053\u3093\u306b\u3061\u306f\u3001\u4e16\u754c", false},
    {"Windows1252", "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=windows-1252\r\n",
     "\x80 5, \x93quoted\x94\r\n", "\u20ac 5, \u201cquoted\u201d\n", false},
    {"UndeclaredUtf8", "",
     "Gr\xc3\xbc\xc3\x9f"
     "e aus K\xc3\xb6ln\r\n",
     "Gr\u00fc\u00dfe aus K\u00f6ln\n", false},
    {"UndeclaredLatin1", "",
     "Gr\xfc\xdf"
     "e aus K\xf6ln\r\n",
     "Gr\u00fc\u00dfe aus K\u00f6ln\n", false},
};

TEST_F(ReceivePageTest, TheBodyBoxShowsTheReadableTextInItsCharset)
{
    for (const TBodyCase& body : kBodyCases)
        mailbox.Deliver(Mail(body.name, body.headers, body.body));
    page.bReceiveClick();
    const auto* memo = page.findChild<QTextEdit*>(QStringLiteral("Memo2"));
    for (int index = 0; index < static_cast<int>(std::size(kBodyCases)); ++index) {
        const TBodyCase& body = kBodyCases[index];
        SCOPED_TRACE(body.name);
        Open(index + 1);
        EXPECT_EQ(page.ShownBodyText(), body.shown);
        // Formatted markup leaves its traces in the document, never its tags in the text.
        EXPECT_EQ(memo->toHtml().contains("font-weight:700") || memo->toHtml().contains("font-style:italic"),
                  body.formatted);
        EXPECT_FALSE(page.ShownBodyText().contains('<')) << page.ShownBodyText().toStdString();
    }
}

TEST_F(ReceivePageTest, MarkupLoadsNoResource)
{
    const std::filesystem::path image = folder.WriteFile("pixel.png", "\x89PNG\r\n\x1a\n");
    const QUrl local = QUrl::fromLocalFile(QString::fromStdString(image.string()));
    mailbox.Deliver(Mail("Images", "Content-Type: text/html\r\n",
                         "<p>Look</p><img src=\"" + local.toString().toStdString() +
                             "\"><img src=\"http://127.0.0.1:9/track.png\">\r\n"));
    Open(1);
    const QTextDocument* document = page.findChild<QTextEdit*>(QStringLiteral("Memo2"))->document();
    EXPECT_TRUE(document->resource(QTextDocument::ImageResource, local).isNull());
    EXPECT_TRUE(
        document->resource(QTextDocument::ImageResource, QUrl("http://127.0.0.1:9/track.png")).isNull());
}

// ---------------------------------------------------------------- decoded attachment files

TEST_F(ReceivePageTest, DecodedAttachmentFilesGoWithTheMessageShown)
{
    mailbox.Deliver(Mail("Plain", "", "x\r\n"));
    mailbox.Deliver(kMailWithAttachments);
    const auto storedFiles = [this] {
        std::vector<std::string> files;
        for (int index = 0; index < message.Parts.Count(); ++index)
            if (!message.Parts.Items(index).StoredFileName.empty())
                files.push_back(message.Parts.Items(index).StoredFileName);
        return files;
    };
    const auto existing = [](const std::vector<std::string>& files) {
        return std::count_if(files.begin(), files.end(),
                             [](const std::string& file) { return std::filesystem::exists(file); });
    };

    Open(2);
    std::vector<std::string> files = storedFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(existing(files), 2);
    Open(1); // another retrieval replaces the message
    EXPECT_EQ(existing(files), 0);

    Open(2);
    files = storedFiles();
    page.bReceiveClick(); // the listing resets the message
    EXPECT_EQ(existing(files), 0);
}

// ---------------------------------------------------------------- one command at a time

TEST_F(ReceivePageTest, CommandsStartedWhileAnotherRunsAreIgnored)
{
    for (const char* subject : {"One", "Two", "Three"})
        mailbox.Deliver(Mail(subject, "", "x\r\n"));
    const auto everyOtherCommand = [this] {
        page.bReceiveClick();
        page.RetrieveMail();
        page.lvMessagePartsClick();
        page.tDeleteClick(); // nothing is shown: it would say so
        page.tDisconnectClick();
    };

    // While Check Mail lists the headers, the events it lets through start other commands.
    QTimer::singleShot(0, &page, everyOtherCommand);
    page.bReceiveClick();
    EXPECT_EQ(status.texts, (QStringList{"Connecting....", "Messsage 1 of 3", "Messsage 2 of 3",
                                         "Messsage 3 of 3", "3 messages on server"}));
    EXPECT_EQ(List()->topLevelItemCount(), 3);

    // While a message is retrieved.
    status.onShow = [&](const QString& text) {
        if (text.startsWith("Retrieving"))
            everyOtherCommand();
    };
    status.texts.clear();
    Open(2);
    status.onShow = nullptr;
    EXPECT_EQ(status.texts.size(), 3) << status.texts.join(" | ").toStdString();
    EXPECT_EQ(Label("Subject"), "Two");
    EXPECT_TRUE(boxes.messages.isEmpty());
    EXPECT_TRUE(incoming.SessionOpen());
    EXPECT_EQ(mailbox.StoredMessageCount(), 3u);
}

// ---------------------------------------------------------------- delete and disconnect

TEST_F(ReceivePageTest, DeleteTakesEffectAtTheNextCheckAndDisconnectUndoesIt)
{
    for (const char* subject : {"One", "Two", "Three"})
        mailbox.Deliver(Mail(subject, "", "x\r\n"));
    page.bReceiveClick();
    page.tDeleteClick();
    EXPECT_EQ(boxes.messages, QStringList{"There is no message selected to be deleted"});

    // The row of message 3 keeps addressing message 3 once the row of message 2 has gone.
    Open(2);
    page.tDeleteClick();
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    Open(2);
    EXPECT_EQ(Label("Subject"), "Three");

    // Disconnect resets the deletion: the message stays on the server, the rows go with the session.
    status.texts.clear();
    page.tDisconnectClick();
    EXPECT_EQ(status.texts, QStringList{"Not connected"});
    EXPECT_FALSE(incoming.SessionOpen());
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    EXPECT_EQ(mailbox.StoredMessageCount(), 3u);

    // Delete, then Check Mail: the new session starts after the deletion took effect.
    Open(1);
    page.tDeleteClick();
    page.bReceiveClick();
    EXPECT_EQ(state.MessageCount, 2);
    EXPECT_EQ(Row(0)[0], "Two");
    EXPECT_TRUE(test::Eventually([&] { return mailbox.StoredMessageCount() == 2; }));

    // Disconnect without a session does nothing at all.
    page.tDisconnectClick();
    status.texts.clear();
    page.tDisconnectClick();
    EXPECT_TRUE(status.texts.isEmpty());
}

TEST(ReceivePageDisconnect, AServerWithoutResetIsReportedBeforeTheSessionEnds)
{
    test::TestApplication();
    test::ScriptedServer server(
        "S: +OK ready\nC: CAPA\nS: -ERR\nC: USER alice\nS: +OK\nC: PASS secret\nS: +OK\n"
        "C: STAT\nS: +OK 0 0\nC: LIST\nS: +OK\nS: .\nC: RSET\nS: -ERR unknown command\nC: Quit\nS: +OK\n"
        "<until closed>");
    TIncomingServer incoming;
    TIdMessage message;
    TMailboxState state;
    TRecordingStatus status(state);
    QStringList failures;
    TMailCommandGate gate = RecordingGate(failures);
    TMailAccount account;
    account.serverIn = QStringLiteral("127.0.0.1");
    account.portIn = QString::number(server.Port());
    account.userId = QStringLiteral("alice");
    account.password = QStringLiteral("secret");
    TReceivePage page({&incoming, &status, &gate}, message, state, [&] { return account; }, {});
    page.bReceiveClick();
    status.texts.clear();

    page.tDisconnectClick();

    EXPECT_EQ(status.texts, (QStringList{"Your POP server doesn't have Reset feature", "Not connected"}));
    EXPECT_TRUE(failures.isEmpty()) << failures.join("\n").toStdString();
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_EQ(server.Mismatch(), "");
}

} // namespace
