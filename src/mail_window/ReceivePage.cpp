#include "mail_window/ReceivePage.h"

#include "mail_window/AttachmentFiles.h"
#include "mail_window/MessagePane.h"
#include "mail_window/PasswordScrambling.h"
#include "mail_window/ReceivedText.h"
#include "mail_window/StatusPanel.h"
#include "message/IdMessage.h"
#include "net/IdGlobal.h"
#include "platform/Dialogs.h"
#include "platform/MessageBoxes.h"
#include "platform/NumberText.h"
#include "protocols/IdMessageClient.h"
#include "protocols/IdPOP3.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quietpane {

namespace {

constexpr int kHeaderListMaxHeight = 120;
constexpr int kMessageNumberRole = Qt::UserRole;
constexpr int kQuitReplyTimeoutMs = 30000;

enum THeaderColumn { kSubjectColumn, kFromColumn, kDateColumn, kSizeColumn };

// Markup shown here loads nothing it names: a remote image or style sheet would tell the sender
// that the mail was read, a local one would show the user's own files inside a stranger's mail.
class TOfflineDocument final : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

// Ends a session before the next one counts the mailbox. The server carries out the session's
// deletions when it reads "Quit" and answers once they are done: without waiting for that
// answer, the new session may still count and number the deleted messages.
void QuitAndAwaitDeletions(TIdPOP3& pop3)
{
    const TScopeExit drop([&pop3] { pop3.DropConnection(); });
    pop3.WriteLine("Quit");
    try {
        pop3.ReadLine({}, kQuitReplyTimeoutMs);
    } catch (const EIdCommandCancelled&) {
        throw; // the user gave up the whole check
    } catch (const EIdException&) {
        // The server closing without an answer ends the session just as well.
    }
}

// Visits the list's selected rows in list order.
template <typename Visit> void ForEachSelectedRow(const QTreeWidget& list, Visit&& visit)
{
    for (int row = 0; row < list.topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = list.topLevelItem(row);
        if (item->isSelected())
            visit(item);
    }
}

} // namespace

TReceivePage::TReceivePage(const TReceivePageServices& services, QWidget* parent)
    : QWidget(parent), services_(services)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    BuildHeaderList();
    column->addWidget(lvHeaders_);

    statusBar2_ = new QStatusBar(this);
    statusBar2_->setObjectName(QStringLiteral("StatusBar2"));
    statusBar2_->setSizeGripEnabled(false);
    AddStatusPanel(*statusBar2_, 60);
    AddStatusPanel(*statusBar2_, 50);
    column->addWidget(statusBar2_);

    bReceive_ = new QPushButton(QStringLiteral("Receive"), this);
    bReceive_->setObjectName(QStringLiteral("bReceive"));
    bReceive_->hide();
    connect(bReceive_, &QPushButton::clicked, this, &TReceivePage::bReceiveClick);

    messagePane_ = new TMessagePane(this);
    lvMessageParts_ = messagePane_->Attachments();
    connect(lvMessageParts_, &QTreeWidget::itemClicked, this, &TReceivePage::lvMessagePartsClick);
    column->addWidget(messagePane_);

    memo2_ = new QTextEdit(this);
    memo2_->setObjectName(QStringLiteral("Memo2"));
    memo2_->setDocument(new TOfflineDocument(memo2_));
    memo2_->setReadOnly(true);
    memo2_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo2_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    column->addWidget(memo2_, 1);
}

TReceivePage::~TReceivePage() = default;

void TReceivePage::BuildHeaderList()
{
    lvHeaders_ = new QTreeWidget(this);
    lvHeaders_->setObjectName(QStringLiteral("lvHeaders"));
    lvHeaders_->setHeaderLabels({QStringLiteral("Subject"), QStringLiteral("From"), QStringLiteral("Date"),
                                 QStringLiteral("Byte(s)")});
    const int widths[] = {300, 200, 80, 60};
    for (int index = 0; index < 4; ++index)
        lvHeaders_->header()->resizeSection(index, widths[index]);
    lvHeaders_->setRootIsDecorated(false);
    lvHeaders_->setItemsExpandable(false);
    lvHeaders_->setAllColumnsShowFocus(true);
    lvHeaders_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvHeaders_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvHeaders_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvHeaders_->setMaximumHeight(kHeaderListMaxHeight);
    connect(lvHeaders_, &QTreeWidget::itemClicked, this, &TReceivePage::lvHeadersClick);
}

// ---------------------------------------------------------------- the mailbox list

void TReceivePage::bReceiveClick()
{
    services_.commands->Run([this] { CheckMail(); });
}

void TReceivePage::CheckMail()
{
    TMailStatus& status = *services_.status;
    TIdPOP3& pop3 = *services_.pop3;
    const TBusySpan busy(status);
    lvMessageParts_->hide();
    status.ShowStatus(QStringLiteral("Connecting...."));
    if (pop3.Connected())
        QuitAndAwaitDeletions(pop3);
    const TServerAccount account = services_.account();
    pop3.Host = account.host.toStdString();
    pop3.Port = StrToInt(account.port);
    pop3.UserId = account.userId.toStdString();
    pop3.Password = ScramblePassword(account.password).toStdString();
    pop3.Connect();
    TMailboxState& mailbox = *services_.mailbox;
    mailbox.MessageCount = pop3.CountMessages();
    mailbox.MailboxSizeK = pop3.MailboxSize() / 1024;
    if (mailbox.MessageCount <= 0)
        status.ShowStatus(QStringLiteral("No messages on server"));
    else
        ListMessageHeaders(mailbox.MessageCount);
}

void TReceivePage::ListMessageHeaders(int count)
{
    TMailStatus& status = *services_.status;
    const QString previousSizeText = status.StatusText(1);
    lvHeaders_->clear();
    const auto showProgress = [&status, count](int number) {
        status.ShowStatus(QStringLiteral("Messsage %1 of %2").arg(number).arg(count));
        QCoreApplication::processEvents();
    };
    showProgress(1);
    // The rows come as the headers arrive; a failure keeps those listed so far.
    services_.pop3->FetchHeaders(1, count, *services_.message,
                                 [&](int number, TIdMessage& message, int size) {
                                     auto* row = new QTreeWidgetItem(lvHeaders_);
                                     row->setText(kSubjectColumn, FromLibraryText(message.Subject));
                                     row->setText(kFromColumn, FromLibraryText(message.From.Text()));
                                     row->setText(kDateColumn, ListDateText(message.Date));
                                     row->setText(kSizeColumn, QString::number(size));
                                     row->setData(kSubjectColumn, kMessageNumberRole, number);
                                     if (number < count)
                                         showProgress(number + 1);
                                 });
    status.ShowStatus(previousSizeText);
}

// ---------------------------------------------------------------- one message

void TReceivePage::lvHeadersClick()
{
    RetrieveMail();
}

void TReceivePage::RetrieveMail()
{
    services_.commands->Run([this] { ShowRetrievedMessage(); });
}

void TReceivePage::ShowRetrievedMessage()
{
    TMailStatus& status = *services_.status;
    TIdMessage& message = *services_.message;
    const QString sizeText = status.StatusText(1);
    QTreeWidgetItem* row = FirstSelectedHeader();
    if (row == nullptr)
        return;
    const QString subject = row->text(kSubjectColumn);
    const int number = row->data(kSubjectColumn, kMessageNumberRole).toInt();
    const TBusySpan busy(status);
    message.Clear();
    memo2_->clear();
    lvMessageParts_->clear();
    messagePane_->ClearValues();
    status.ShowStatus(QStringLiteral("Retrieving message \"%1\"").arg(subject));
    services_.pop3->FetchMessage(number, message);
    status.SetStatusText(0, subject);
    messagePane_->Fill(message);
    status.ShowStatus(QStringLiteral("Decoding attachments (%1)").arg(message.Parts.Count()));
    ShowParts();
    status.ShowStatus(sizeText);
}

void TReceivePage::ShowParts()
{
    const TIdMessage& message = *services_.message;
    for (int index = 0; index < message.Parts.Count(); ++index) {
        const auto* attachment = dynamic_cast<const TIdAttachment*>(&message.Parts.Items(index));
        if (attachment == nullptr)
            continue;
        lvMessageParts_->show();
        auto* row = new QTreeWidgetItem(lvMessageParts_);
        row->setText(0, FromLibraryText(attachment->FileName));
        row->setText(1, FromLibraryText(attachment->ContentType()));
    }
    const TShownBody body = ChooseShownBody(message);
    if (body.html)
        memo2_->setHtml(body.text);
    else
        memo2_->setPlainText(body.text);
}

int TReceivePage::FindAttachmentIndex(const QString& fileName) const
{
    const TIdMessage& message = *services_.message;
    const std::string wanted = fileName.toStdString();
    for (int index = 0; index < message.Parts.Count(); ++index) {
        const auto* attachment = dynamic_cast<const TIdAttachment*>(&message.Parts.Items(index));
        // Compared as shown, so that a name that is not valid UTF-8 still finds its part.
        if (attachment != nullptr &&
            SameTextNoCase(FromLibraryText(attachment->FileName).toStdString(), wanted))
            return index;
    }
    return -1;
}

void TReceivePage::lvMessagePartsClick()
{
    services_.commands->Run([this] { SaveSelectedAttachments(); });
}

void TReceivePage::SaveSelectedAttachments()
{
    QString lastSaved;
    ForEachSelectedRow(*lvMessageParts_, [&](QTreeWidgetItem* row) {
        const int index = FindAttachmentIndex(row->text(0));
        if (index < 0)
            return;
        const auto& attachment = static_cast<const TIdAttachment&>(services_.message->Parts.Items(index));
        // The sender chose the name: only its safe base name goes below the attachment folder.
        const QString proposed =
            services_.attachmentFolder() + FromLibraryText(SafeAttachmentFileName(attachment.FileName));
        const QString chosen = Dialogs().SaveFileName(this, proposed, QString(), true);
        if (chosen.isEmpty())
            return;
        QString failure;
        bool saved = false;
        {
            const TBusySpan busy(*services_.status);
            saved = SaveAttachmentAs(attachment, chosen, failure);
        }
        if (saved)
            lastSaved = chosen;
        else
            MessageBoxes().Error(
                QStringLiteral("The attachment could not be saved as \"%1\": %2").arg(chosen, failure));
    });
    if (!lastSaved.isEmpty())
        OpenSavedAttachment(lastSaved);
}

// ---------------------------------------------------------------- delete and disconnect

void TReceivePage::tDeleteClick()
{
    services_.commands->Run([this] { DeleteSelectedMessage(); });
}

void TReceivePage::DeleteSelectedMessage()
{
    QTreeWidgetItem* row = FirstSelectedHeader();
    if (row == nullptr) {
        MessageBoxes().ShowMessage(QStringLiteral("There is no message selected to be deleted"));
        return;
    }
    const TBusySpan busy(*services_.status);
    services_.pop3->DeleteMessage(row->data(kSubjectColumn, kMessageNumberRole).toInt());
    delete row;
}

void TReceivePage::tDisconnectClick()
{
    services_.commands->Run([this] { EndSession(); });
}

void TReceivePage::EndSession()
{
    TIdPOP3& pop3 = *services_.pop3;
    if (!pop3.Connected())
        return;
    try {
        pop3.ResetDeletions();
    } catch (const std::exception&) {
        services_.status->ShowStatus(QStringLiteral("Your POP server doesn't have Reset feature"));
    }
    pop3.Disconnect();
    services_.status->ShowConnectionState(false);
}

// ---------------------------------------------------------------- helpers and Reply's view

QTreeWidgetItem* TReceivePage::FirstSelectedHeader() const
{
    QTreeWidgetItem* first = nullptr;
    ForEachSelectedRow(*lvHeaders_, [&first](QTreeWidgetItem* row) {
        if (first == nullptr)
            first = row;
    });
    return first;
}

QString TReceivePage::ShownFrom() const
{
    return messagePane_->From();
}

QString TReceivePage::ShownSubject() const
{
    return messagePane_->Subject();
}

QString TReceivePage::ShownBodyText() const
{
    return memo2_->toPlainText();
}

} // namespace quietpane
