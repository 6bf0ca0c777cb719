#include "mail_window/Email.h"

#include "mail_window/AccountStore.h"
#include "mail_window/IncomingServer.h"
#include "mail_window/OutgoingMail.h"
#include "mail_window/OutgoingServer.h"
#include "mail_window/ReceivePage.h"
#include "mail_window/SendPage.h"
#include "mail_window/SetupPage.h"
#include "mail_window/StatusPanel.h"
#include "platform/EventPump.h"
#include "platform/GuardedApplication.h"
#include "platform/KeyringPasswordStore.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramData.h"
#include "platform/WindowFont.h"
#include "platform/WindowHiding.h"

#include <QCloseEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

namespace quietpane {

namespace {

constexpr int kStatusPanel0Width = 360;
// At program end the server has this long to carry out the session's deletions.
constexpr int kEndQuitWaitMs = 2000;

// The addresses a message went to, for the status bar.
QString RecipientAddresses(const TIdMessage& message)
{
    QStringList addresses;
    for (const TIdEMailAddressList* list : {&message.Recipients, &message.CCList})
        for (int index = 0; index < list->Count(); ++index)
            addresses.append(QString::fromStdString(list->Items(index).Address));
    return addresses.join(QStringLiteral(", "));
}

} // namespace

TfrmEmail::TfrmEmail(const TfrmEmailSetup& setup, QWidget* parent)
    : QMainWindow(parent), setup_(setup), database_(QStringLiteral("frmEmail"), setup.registry),
      ownIncoming_(setup.incoming ? nullptr : std::make_unique<TIncomingServer>()),
      ownOutgoing_(setup.outgoing ? nullptr : std::make_unique<TOutgoingServer>(idSmtp_)),
      incoming_(setup.incoming ? setup.incoming : ownIncoming_.get()),
      outgoing_(setup.outgoing ? setup.outgoing : ownOutgoing_.get()),
      ownPasswords_(setup.passwords ? nullptr : std::make_unique<TKeyringPasswordStore>()),
      password_(setup.passwords ? *setup.passwords : *ownPasswords_, database_.ConnectionName())
{
    setObjectName(QStringLiteral("frmEmail"));
    setWindowTitle(QStringLiteral("Email"));
    setFont(WindowFont());
    resize(640, 520);
    idSmtp_.OnConnected = [this](TIdComponent&) { IdSmtpConnected(); };
    idSmtp_.OnDisconnected = [this](TIdComponent&) { IdSmtpDisconnected(); };
    idSmtp_.OnStatus = [this](TIdComponent&, TIdStatus, const std::string& text) {
        IdSmtpStatus(QString::fromStdString(text));
    };
    commands_.OnBusyChanged = [this](bool running) { SetCommandRunning(running); };
    commands_.OnFailure = [this](const QString& text, TFailureReport report) { ReportFailure(text, report); };
    password_.OnPasswordRead = [this](const QString& password) { setupPage_->ShowReadPassword(password); };
    password_.OnPlace = [this](const QString& line) { setupPage_->ShowPasswordPlace(line); };

    BuildToolBar();
    // The status bar comes before the pages, which report through it.
    BuildStatusBar();
    pageControl1_ = new QTabWidget(this);
    pageControl1_->setObjectName(QStringLiteral("PageControl1"));
    setCentralWidget(pageControl1_);
    setupPage_ = new TSetupPage(pageControl1_);
    setupPage_->setObjectName(QStringLiteral("tsSetup"));
    setupPage_->OnUpdateClick = [this] { bUpdateClick(); };
    pageControl1_->addTab(setupPage_, QStringLiteral("Setup"));
    sendPage_ = new TSendPage(pageControl1_);
    sendPage_->setObjectName(QStringLiteral("tsSendEmail"));
    sendPage_->OnSendClick = [this] { bSendClick(); };
    pageControl1_->addTab(sendPage_, QStringLiteral("Send Email"));
    const TMailServices services{incoming_, this, &commands_};
    receivePage_ = new TReceivePage(
        services, idMessage_, mailbox_, [this] { return setupPage_->Account(); },
        [this] { return attachmentFolder_; }, pageControl1_);
    receivePage_->setObjectName(QStringLiteral("tsReceiveEmail"));
    receivePage_->OnSetupNeeded = [this] { pageControl1_->setCurrentWidget(setupPage_); };
    pageControl1_->addTab(receivePage_, QStringLiteral("Receive Email"));

    // Like the main window, the mail window has no task-bar button; so minimising it hides it,
    // and the main window's "Email" brings it back.
    KeepOffTaskBar(*this);
    HideWhenMinimised(*this);
    RunGuarded([this] { FormCreate(); });
}

TfrmEmail::~TfrmEmail()
{
    // Nothing may run in between while the window goes.
    const TEventPumpPause noEvents;
    RunGuarded([this] { FormClose(); });
    // The pages borrow the mail components, which would otherwise go before the widget tree.
    delete pageControl1_;
}

void TfrmEmail::BuildToolBar()
{
    auto* toolBar1 = new QToolBar(this);
    toolBar1->setObjectName(QStringLiteral("ToolBar1"));
    toolBar1->setMovable(false);
    toolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto addButton = [&](const char* objectName, const QString& caption, void (TfrmEmail::*handler)()) {
        auto* button = new QToolButton(toolBar1);
        button->setObjectName(QLatin1String(objectName));
        button->setText(caption);
        toolBar1->addWidget(button);
        connect(button, &QToolButton::clicked, this, handler);
        return button;
    };
    gatedButtons_.append(addButton("tCheckMail", QStringLiteral("Check Mail"), &TfrmEmail::bReceiveClick));
    addButton("tDisconnect", QStringLiteral("Disconnect"), &TfrmEmail::tDisconnectClick);
    gatedButtons_.append(addButton("tDelete", QStringLiteral("Delete"), &TfrmEmail::tDeleteClick));
    gatedButtons_.append(addButton("tReply", QStringLiteral("Reply"), &TfrmEmail::tReplyClick));
    for (int separator = 0; separator < 3; ++separator)
        toolBar1->addSeparator();
    addButton("tExit", QStringLiteral("Exit"), &TfrmEmail::FormDestroy);
    addToolBar(toolBar1);
}

void TfrmEmail::BuildStatusBar()
{
    statusBar1_ = new QStatusBar(this);
    statusBar1_->setObjectName(QStringLiteral("StatusBar1"));
    // The size text at its longest fits.
    const int sizePanelWidth =
        statusBar1_->fontMetrics().horizontalAdvance(QStringLiteral("Mail takes up 2097151K on the server")) +
        12;
    const int widths[2] = {kStatusPanel0Width, sizePanelWidth};
    for (int panel = 0; panel < 2; ++panel) {
        statusPanels_[panel] = AddStatusPanel(*statusBar1_, widths[panel]);
        statusPanels_[panel]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(panel));
    }
    statusPanels_[0]->setText(QStringLiteral("No message selected"));
    setStatusBar(statusBar1_);
}

void TfrmEmail::FormCreate()
{
    attachmentFolder_ = TWindowDatabase::DataFolder(setup_.programFolder);
    terminationRequested_ = !database_.Open(attachmentFolder_);
    const TMailAccount account = TAccountStore(database_).Load();
    setupPage_->Show(account);
    password_.Settle(account, false);
    sendPage_->SetFrom(account.FromText());
    // The outgoing server is connected later, once the program is on the screen.
    attachmentFolder_ += QStringLiteral("/Attach/");
    MakePrivateFolder(attachmentFolder_);
}

void TfrmEmail::ConnectOutgoingServer()
{
    WithPassword([this] {
        const TServerAccount account = setupPage_->Account().Outgoing();
        if (account.host.trimmed().isEmpty())
            return;
        commands_.Run(
            [&] {
                ShowStatus(QStringLiteral("Connecting to %1...").arg(account.host));
                outgoing_->Connect(account);
                ShowConnectionState(true);
            },
            TFailureReport::StatusBar);
    });
}

void TfrmEmail::WithPassword(std::function<void()> command)
{
    if (!password_.IsKnown())
        ShowStatus(TAccountPassword::kWaiting);
    password_.WhenKnown(std::move(command));
}

void TfrmEmail::EndMailSessions()
{
    if (commands_.Busy())
        CancelMailCommand();
    else
        commands_.Run([this] { incoming_->EndKeepingDeletions(kEndQuitWaitMs); }, TFailureReport::StatusBar);
    outgoing_->Drop();
}

void TfrmEmail::bUpdateClick()
{
    commands_.Guard([this] {
        const TAccountStore store(database_);
        // After Exit the boxes are empty: Update shows the stored account again, never stores them.
        const bool storing = setupPage_->Showing();
        if (storing)
            store.Store(setupPage_->Account());
        const TMailAccount account = store.Load();
        setupPage_->Show(account);
        password_.Settle(account, storing);
        sendPage_->SetFrom(account.FromText());
    });
}

void TfrmEmail::closeEvent(QCloseEvent* event)
{
    FormClose();
    QMainWindow::closeEvent(event);
}

void TfrmEmail::FormClose()
{
    // Closing the window gives up a command that still waits on a server.
    if (commands_.Busy())
        CancelMailCommand();
    else
        commands_.Run([this] { outgoing_->Disconnect(); });
}

void TfrmEmail::CancelMailCommand()
{
    // Only one command runs, but which session it waits on does not matter: the POP3 session is
    // what Disconnect ends anyway, and the SMTP session is opened again by the next send.
    commands_.CancelRequested();
    outgoing_->Cancel();
    incoming_->Cancel();
    ShowConnectionState(false);
}

void TfrmEmail::tDisconnectClick()
{
    // The one button that works while a command runs: it gives the command up instead of
    // waiting behind it.
    if (commands_.Busy())
        CancelMailCommand();
    else
        receivePage_->tDisconnectClick();
}

void TfrmEmail::FormDestroy()
{
    setupPage_->Clear();
    close();
}

void TfrmEmail::ReportFailure(const QString& text, TFailureReport report)
{
    if (report == TFailureReport::Box)
        MessageBoxes().ApplicationError(text);
    else
        ShowStatus(text);
}

void TfrmEmail::SetCommandRunning(bool running)
{
    for (QToolButton* button : gatedButtons_)
        button->setEnabled(!running);
    sendPage_->SetSendEnabled(!running);
    receivePage_->SetCommandRunning(running);
}

void TfrmEmail::ShowStatus(const QString& text)
{
    statusPanels_[0]->setText(text);
    statusPanels_[1]->setText(QStringLiteral("Mail takes up %1K on the server").arg(mailbox_.MailboxSizeK));
    statusBar1_->repaint();
}

void TfrmEmail::ShowBusy(bool busy)
{
    ShowBusyCursor(busy);
}

void TfrmEmail::ShowConnectionState(bool connected)
{
    ShowStatus(connected ? QStringLiteral("Connected") : QStringLiteral("Not connected"));
}

QString TfrmEmail::StatusText(int panel) const
{
    return statusPanels_[panel]->text();
}

void TfrmEmail::SetStatusText(int panel, const QString& text)
{
    statusPanels_[panel]->setText(text);
}

bool TfrmEmail::SaveRegistryValue(const QString& name, const QString& value)
{
    return database_.SaveRegistryValue(name, value);
}

void TfrmEmail::IdSmtpConnected()
{
    statusSimpleText_ = QStringLiteral("Connected");
}

void TfrmEmail::IdSmtpDisconnected()
{
    statusSimpleText_ = QStringLiteral("Disconnected");
}

void TfrmEmail::IdSmtpStatus(const QString& statusText)
{
    statusSimpleText_ = statusText;
}

void TfrmEmail::bSendClick()
{
    WithPassword([this] { commands_.Run([this] { SendComposedMessage(); }); });
}

void TfrmEmail::SendComposedMessage()
{
    const TMailAccount account = setupPage_->Account();
    if (account.serverOut.trimmed().isEmpty()) {
        MessageBoxes().ShowMessage(
            QStringLiteral("Fill in the outgoing mail server on the Setup tab first."));
        pageControl1_->setCurrentWidget(setupPage_);
        return;
    }
    const TComposedMail mail = sendPage_->Composed(account.name, account.email);
    if (mail.to.trimmed().isEmpty()) {
        MessageBoxes().ShowMessage(QStringLiteral("Fill in the recipient (To) first."));
        return;
    }
    const TBusySpan busy(*this);
    // The message is the tab's alone: nothing of a message read goes out with it.
    TIdMessage message;
    ComposeMessage(message, mail);
    outgoing_->Send(message, account.Outgoing());
    ShowStatus(QStringLiteral("Message sent to %1").arg(RecipientAddresses(message)));
    sendPage_->Clear();
}

void TfrmEmail::tReplyClick()
{
    if (!receivePage_->MessageShown())
        return;
    sendPage_->StartReply(StartReply(idMessage_, receivePage_->ShownBodyText()));
    pageControl1_->setCurrentWidget(sendPage_);
}

void TfrmEmail::bReceiveClick()
{
    pageControl1_->setCurrentWidget(receivePage_);
    WithPassword([this] { receivePage_->bReceiveClick(); });
}

// clang-format off
void TfrmEmail::bAddClick() { sendPage_->bAddClick(); }
void TfrmEmail::bRemoveClick() { sendPage_->bRemoveClick(); }
void TfrmEmail::ListMessageHeaders(int count) { receivePage_->ListMessageHeaders(count); }
void TfrmEmail::lvHeadersClick() { receivePage_->lvHeadersClick(); }
void TfrmEmail::RetrieveMail() { receivePage_->RetrieveMail(); }
void TfrmEmail::lvMessagePartsClick() { receivePage_->lvMessagePartsClick(); }
void TfrmEmail::tDeleteClick() { receivePage_->tDeleteClick(); }
// clang-format on

} // namespace quietpane
