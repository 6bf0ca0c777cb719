#include "mail_window/Email.h"

#include "mail_window/ReceivePage.h"
#include "mail_window/SendPage.h"
#include "mail_window/SetupPage.h"
#include "mail_window/StatusPanel.h"
#include "platform/EventPump.h"
#include "platform/GuardedApplication.h"
#include "platform/ProgramData.h"
#include "platform/WindowFont.h"
#include "platform/WindowHiding.h"

#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

namespace quietpane {

namespace {

constexpr int kPOP3ReceiveBufferSize = 1024;
constexpr int kStatusPanelWidths[2] = {360, 50};

} // namespace

TfrmEmail::TfrmEmail(const TfrmEmailSetup& setup, QWidget* parent)
    : QMainWindow(parent), setup_(setup), database_(QStringLiteral("frmEmail"), setup.registry)
{
    setObjectName(QStringLiteral("frmEmail"));
    setWindowTitle(QStringLiteral("Email"));
    setFont(WindowFont());
    resize(640, 520);
    idPOP3_.RecvBufferSize = kPOP3ReceiveBufferSize;
    idSmtp_.OnConnected = [this](TIdComponent&) { IdSmtpConnected(); };
    idSmtp_.OnDisconnected = [this](TIdComponent&) { IdSmtpDisconnected(); };
    idSmtp_.OnStatus = [this](TIdComponent&, TIdStatus, const std::string& text) {
        IdSmtpStatus(QString::fromStdString(text));
    };

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
    sendPage_ = new TSendPage(idMessage_, pageControl1_);
    sendPage_->setObjectName(QStringLiteral("tsSendEmail"));
    sendPage_->OnSendClick = [this] { bSendClick(); };
    pageControl1_->addTab(sendPage_, QStringLiteral("Send Email"));
    TReceivePageServices services;
    services.pop3 = &idPOP3_;
    services.message = &idMessage_;
    services.status = this;
    services.mailbox = &mailbox_;
    services.commands = &commands_;
    services.account = [this] { return setupPage_->IncomingAccount(); };
    services.attachmentFolder = [this] { return attachmentFolder_; };
    receivePage_ = new TReceivePage(services, pageControl1_);
    receivePage_->setObjectName(QStringLiteral("tsReceiveEmail"));
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
    setupPage_->DeactivateTable();
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
    };
    addButton("tCheckMail", QStringLiteral("Check Mail"), &TfrmEmail::bReceiveClick);
    addButton("tDisconnect", QStringLiteral("Disconnect"), &TfrmEmail::tDisconnectClick);
    addButton("tDelete", QStringLiteral("Delete"), &TfrmEmail::tDeleteClick);
    addButton("tReply", QStringLiteral("Reply"), &TfrmEmail::tReplyClick);
    for (int separator = 0; separator < 3; ++separator)
        toolBar1->addSeparator();
    addButton("tExit", QStringLiteral("Exit"), &TfrmEmail::FormDestroy);
    addToolBar(toolBar1);
}

void TfrmEmail::BuildStatusBar()
{
    statusBar1_ = new QStatusBar(this);
    statusBar1_->setObjectName(QStringLiteral("StatusBar1"));
    for (int panel = 0; panel < 2; ++panel) {
        statusPanels_[panel] = AddStatusPanel(*statusBar1_, kStatusPanelWidths[panel]);
        statusPanels_[panel]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(panel));
    }
    statusPanels_[0]->setText(QStringLiteral("No message selected"));
    setStatusBar(statusBar1_);
}

void TfrmEmail::FormCreate()
{
    attachmentFolder_ = TWindowDatabase::DataFolder(setup_.programFolder);
    terminationRequested_ = !database_.Open(attachmentFolder_);
    setupPage_->ActivateTable(database_);
    sendPage_->SetFrom(setupPage_->AccountName() + QStringLiteral("   <") + setupPage_->AccountEmail() +
                       QLatin1Char('>'));
    // The outgoing server is connected later, once the program is on the screen.
    attachmentFolder_ += QStringLiteral("/Attach/");
    MakePrivateFolder(attachmentFolder_);
}

void TfrmEmail::ConnectOutgoingServer()
{
    commands_.Run([this] { outgoing_.Connect(setupPage_->OutgoingAccount()); });
}

void TfrmEmail::DropMailSessions()
{
    outgoing_.Drop();
    idPOP3_.DropConnection();
}

void TfrmEmail::bUpdateClick()
{
    setupPage_->Update(database_);
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
        commands_.Run([this] { outgoing_.Disconnect(); });
}

void TfrmEmail::CancelMailCommand()
{
    // Only one command runs, but which session it waits on does not matter: the POP3 session is
    // what Disconnect ends anyway, and the SMTP session is opened again by the next send.
    outgoing_.Cancel();
    idPOP3_.Cancel();
    ShowConnectionState(false);
}

void TfrmEmail::tDisconnectClick()
{
    // The one button that works while a command runs: it ends the command, whose error then
    // reaches the error box, instead of waiting behind it.
    if (commands_.Busy())
        CancelMailCommand();
    else
        receivePage_->tDisconnectClick();
}

void TfrmEmail::FormDestroy()
{
    setupPage_->DeactivateTable();
    close();
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
    commands_.Run([this] {
        const TBusySpan busy(*this);
        ComposeMessage(idMessage_,
                       sendPage_->Composed(setupPage_->AccountName(), setupPage_->AccountEmail()));
        outgoing_.Send(idMessage_, setupPage_->OutgoingAccount());
    });
}

void TfrmEmail::tReplyClick()
{
    const QString sender = receivePage_->ShownFrom();
    if (sender.isEmpty())
        return;
    sendPage_->StartReply(sender, receivePage_->ShownSubject(), receivePage_->ShownBodyText());
    pageControl1_->setCurrentWidget(sendPage_);
}

// clang-format off
void TfrmEmail::bAddClick() { sendPage_->bAddClick(); }
void TfrmEmail::bRemoveClick() { sendPage_->bRemoveClick(); }
void TfrmEmail::Memo1Change() { sendPage_->Memo1Change(); }
void TfrmEmail::txtSubjectChange() { sendPage_->txtSubjectChange(); }
void TfrmEmail::txtFromChange() { sendPage_->txtFromChange(); }
void TfrmEmail::bReceiveClick() { receivePage_->bReceiveClick(); }
void TfrmEmail::ListMessageHeaders(int count) { receivePage_->ListMessageHeaders(count); }
void TfrmEmail::lvHeadersClick() { receivePage_->lvHeadersClick(); }
void TfrmEmail::RetrieveMail() { receivePage_->RetrieveMail(); }
int TfrmEmail::FindAttachmentIndex(const QString& fileName) const { return receivePage_->FindAttachmentIndex(fileName); }
void TfrmEmail::lvMessagePartsClick() { receivePage_->lvMessagePartsClick(); }
void TfrmEmail::tDeleteClick() { receivePage_->tDeleteClick(); }
// clang-format on

} // namespace quietpane
