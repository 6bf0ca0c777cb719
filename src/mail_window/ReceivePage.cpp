#include "mail_window/ReceivePage.h"

#include "mail_window/AttachmentFiles.h"
#include "mail_window/MessagePane.h"
#include "mail_window/ReceivedText.h"
#include "mail_window/StatusPanel.h"
#include "message/IdMessage.h"
#include "message/IdMessageContent.h"
#include "platform/Dialogs.h"
#include "platform/MessageBoxes.h"

#include <QCoreApplication>
#include <QHeaderView>
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
constexpr int kPartIndexRole = Qt::UserRole;
constexpr int kPartNameRole = Qt::UserRole + 1;

enum THeaderColumn { kSubjectColumn, kFromColumn, kDateColumn, kSizeColumn };

// Markup shown here loads nothing it names: a remote image or style sheet would tell the sender
// that the mail was read, a local one would show the user's own files inside a stranger's mail.
class TOfflineDocument final : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

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

TReceivePage::TReceivePage(const TMailServices& services, TIdMessage& received, TMailboxState& mailbox,
                           std::function<TMailAccount()> account, std::function<QString()> attachmentFolder,
                           QWidget* parent)
    : QWidget(parent), services_(services), received_(received), mailbox_(mailbox),
      account_(std::move(account)), attachmentFolder_(std::move(attachmentFolder))
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
    const TMailAccount account = account_();
    if (account.serverIn.trimmed().isEmpty()) {
        MessageBoxes().ShowMessage(
            QStringLiteral("Fill in the incoming mail server on the Setup tab first."));
        if (OnSetupNeeded)
            OnSetupNeeded();
        return;
    }
    const TBusySpan busy(status);
    // The rows and the message shown belong to the session that ends now.
    ForgetShownMessage();
    lvHeaders_->clear();
    lvMessageParts_->hide();
    status.ShowStatus(QStringLiteral("Connecting...."));
    const TMailboxCount count = services_.incoming->Check(account.Incoming());
    mailbox_.MessageCount = count.messages;
    mailbox_.MailboxSizeK = count.bytes / 1024;
    if (count.messages <= 0) {
        status.ShowStatus(QStringLiteral("No messages on server"));
        return;
    }
    ListMessageHeaders(count.messages);
    status.ShowStatus(count.messages == 1 ? QStringLiteral("1 message on server")
                                          : QStringLiteral("%1 messages on server").arg(count.messages));
}

void TReceivePage::ListMessageHeaders(int count)
{
    TMailStatus& status = *services_.status;
    lvHeaders_->clear();
    const auto showProgress = [&status, count](int number) {
        status.ShowStatus(QStringLiteral("Messsage %1 of %2").arg(number).arg(count));
        QCoreApplication::processEvents();
    };
    showProgress(1);
    // The rows come as the headers arrive; a failure keeps those listed so far.
    services_.incoming->ListHeaders(count, [&](int number, const TIdMessage& header, int size) {
        auto* row = new QTreeWidgetItem(lvHeaders_);
        row->setText(kSubjectColumn, FromLibraryText(header.Subject));
        row->setText(kFromColumn, FromLibraryText(header.From.Text()));
        row->setText(kDateColumn, ListDateText(header.Date));
        row->setText(kSizeColumn, QString::number(size));
        row->setData(kSubjectColumn, kMessageNumberRole, number);
        if (number < count)
            showProgress(number + 1);
    });
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

void TReceivePage::ForgetShownMessage()
{
    received_.Clear();
    received_.MessageIdentifier.clear(); // a reply must never answer an earlier message
    memo2_->clear();
    lvMessageParts_->clear();
    messagePane_->ClearValues();
    shownNumber_ = 0;
    shownSubject_.clear();
}

void TReceivePage::ShowRetrievedMessage()
{
    TMailStatus& status = *services_.status;
    const QString sizeText = status.StatusText(1);
    QTreeWidgetItem* row = FirstSelectedHeader();
    if (row == nullptr)
        return;
    const QString subject = row->text(kSubjectColumn);
    const int number = row->data(kSubjectColumn, kMessageNumberRole).toInt();
    const TBusySpan busy(status);
    ForgetShownMessage();
    status.ShowStatus(QStringLiteral("Retrieving message \"%1\"").arg(subject));
    services_.incoming->Fetch(number, received_);
    shownNumber_ = number;
    shownSubject_ = subject;
    status.SetStatusText(0, subject);
    messagePane_->Fill(received_);
    status.ShowStatus(QStringLiteral("Decoding attachments (%1)").arg(received_.Parts.Count()));
    ShowParts();
    for (int index = 0; index < received_.Parts.Count(); ++index) {
        const std::string& failure = received_.Parts.Items(index).DecodeFailure;
        if (!failure.empty()) {
            status.ShowStatus(QStringLiteral("A part of this message could not be decoded: %1")
                                  .arg(FromLibraryText(failure)));
            return;
        }
    }
    status.ShowStatus(sizeText);
}

void TReceivePage::ShowParts()
{
    for (const TIdListedAttachment& attachment : ListedAttachments(received_)) {
        lvMessageParts_->show();
        auto* row = new QTreeWidgetItem(lvMessageParts_);
        const QString name = FromLibraryText(attachment.name);
        row->setText(0, attachment.undecodable ? name + QStringLiteral(" (could not be decoded)") : name);
        row->setText(1, FromLibraryText(attachment.contentType));
        row->setData(0, kPartIndexRole, attachment.index);
        row->setData(0, kPartNameRole, name);
    }
    const TShownBody body = ChooseShownBody(received_);
    if (body.html)
        memo2_->setHtml(body.text);
    else
        memo2_->setPlainText(body.text);
}

void TReceivePage::lvMessagePartsClick()
{
    services_.commands->Run([this] { SaveSelectedAttachments(); });
}

void TReceivePage::SaveSelectedAttachments()
{
    QString lastSaved;
    ForEachSelectedRow(*lvMessageParts_, [&](QTreeWidgetItem* row) {
        const auto& attachment =
            dynamic_cast<const TIdAttachment&>(received_.Parts.Items(row->data(0, kPartIndexRole).toInt()));
        // The sender chose the name: only its safe base name goes below the attachment folder.
        const QString proposed =
            attachmentFolder_() +
            FromLibraryText(SafeAttachmentFileName(row->data(0, kPartNameRole).toString().toStdString()));
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
    services_.commands->Run([this] { DeleteShownMessage(); });
}

void TReceivePage::DeleteShownMessage()
{
    if (shownNumber_ == 0) {
        MessageBoxes().ShowMessage(QStringLiteral("There is no message selected to be deleted"));
        return;
    }
    const TBusySpan busy(*services_.status);
    services_.incoming->MarkDeleted(shownNumber_);
    for (int index = 0; index < lvHeaders_->topLevelItemCount(); ++index) {
        QTreeWidgetItem* row = lvHeaders_->topLevelItem(index);
        if (row->data(kSubjectColumn, kMessageNumberRole).toInt() == shownNumber_) {
            delete row;
            break;
        }
    }
    const QString subject = shownSubject_;
    ForgetShownMessage();
    services_.status->ShowStatus(QStringLiteral("Message \"%1\" marked for deletion").arg(subject));
}

void TReceivePage::tDisconnectClick()
{
    services_.commands->Run([this] { EndSession(); });
}

void TReceivePage::EndSession()
{
    TIncomingService& incoming = *services_.incoming;
    if (!incoming.SessionOpen())
        return;
    // The rows address messages of the session that ends.
    ForgetShownMessage();
    lvHeaders_->clear();
    if (!incoming.EndUndoingDeletions())
        services_.status->ShowStatus(QStringLiteral("Your POP server doesn't have Reset feature"));
    services_.status->ShowConnectionState(false);
}

void TReceivePage::SetCommandRunning(bool running)
{
    lvHeaders_->setEnabled(!running);
    lvMessageParts_->setEnabled(!running);
}

// ---------------------------------------------------------------- helpers

QTreeWidgetItem* TReceivePage::FirstSelectedHeader() const
{
    QTreeWidgetItem* first = nullptr;
    ForEachSelectedRow(*lvHeaders_, [&first](QTreeWidgetItem* row) {
        if (first == nullptr)
            first = row;
    });
    return first;
}

QString TReceivePage::ShownBodyText() const
{
    return memo2_->toPlainText();
}

} // namespace quietpane
