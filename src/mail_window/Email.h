#pragma once

#include "mail_window/AccountPassword.h"
#include "mail_window/MailServices.h"
#include "message/IdMessage.h"
#include "platform/Registry.h"
#include "platform/WindowDatabase.h"
#include "protocols/IdSMTP.h"

#include <QMainWindow>

#include <memory>

class QLabel;
class QStatusBar;
class QTabWidget;
class QToolButton;

namespace quietpane {

class TReceivePage;
class TSendPage;
class TSetupPage;

// What the mail window takes from its surroundings; every empty member means the real thing.
struct TfrmEmailSetup {
    QString programFolder;        // folder of Quietpane.mdb and "Attach"; empty: the program file's folder
    Registry* registry = nullptr; // borrowed
    TIncomingService* incoming = nullptr; // borrowed; null: a POP3 session of the window's own
    TOutgoingService* outgoing = nullptr; // borrowed; null: an SMTP session of the window's own
    TPasswordStore* passwords = nullptr;  // borrowed; null: the desktop's keyring
};

// The mail window: one account's settings, composing and sending, and the mailbox. Created
// hidden at start and shown by the main window's "Email" command; closing it only hides it.
class TfrmEmail final : public QMainWindow, public TMailStatus {
public:
    explicit TfrmEmail(const TfrmEmailSetup& setup = {}, QWidget* parent = nullptr);
    ~TfrmEmail() override;

    // True once start-up failed so badly that the program must end.
    bool TerminationRequested() const { return terminationRequested_; }
    const QString& AttachmentFolder() const { return attachmentFolder_; }
    const TMailboxState& Mailbox() const { return mailbox_; }

    // Opens the session with the outgoing server; the program asks for it once the main
    // window is on the screen, so that start-up never waits on a mail server. A failure is
    // shown in the status bar: the next send tries again and reports its own.
    void ConnectOutgoingServer();
    // The program ends: a mailbox session ends with "QUIT", so that the deletions the user
    // marked take effect, waiting for them a short while; a command still waiting on a server
    // is given up, and the SMTP session dropped without a word.
    void EndMailSessions();

    // TMailStatus.
    void ShowStatus(const QString& text) override;
    void ShowBusy(bool busy) override;
    void ShowConnectionState(bool connected) override;
    QString StatusText(int panel) const override;
    void SetStatusText(int panel, const QString& text) override;

    bool SaveRegistryValue(const QString& name, const QString& value);

    // Handlers.
    void bUpdateClick();
    void FormDestroy();
    void bAddClick();
    void bRemoveClick();
    void bSendClick();
    void tReplyClick();
    void bReceiveClick();
    void ListMessageHeaders(int count);
    void lvHeadersClick();
    void RetrieveMail();
    void lvMessagePartsClick();
    void tDeleteClick();
    void tDisconnectClick();
    void IdSmtpConnected();
    void IdSmtpDisconnected();
    void IdSmtpStatus(const QString& statusText);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void SendComposedMessage();
    // Ends the running mail command without an error report and closes its session.
    void CancelMailCommand();
    void BuildToolBar();
    void BuildStatusBar();
    void ReportFailure(const QString& text, TFailureReport report);
    void SetCommandRunning(bool running);
    // Runs a command that logs in once the account's password is known.
    void WithPassword(std::function<void()> command);

    TfrmEmailSetup setup_;
    TWindowDatabase database_;
    QString attachmentFolder_;
    bool terminationRequested_ = false;
    TMailboxState mailbox_;
    // The bar's single-text line, which the SMTP client's events write; the bar always
    // shows its panels instead.
    QString statusSimpleText_;

    // Components, owned for the window's whole life.
    TIdMessage idMessage_; // the message received and shown
    TIdSMTP idSmtp_;
    std::unique_ptr<TIncomingService> ownIncoming_;
    std::unique_ptr<TOutgoingService> ownOutgoing_;
    TIncomingService* incoming_;
    TOutgoingService* outgoing_;
    TMailCommandGate commands_;
    std::unique_ptr<TPasswordStore> ownPasswords_;
    TAccountPassword password_;

    // Controls, owned by the window's widget tree.
    QTabWidget* pageControl1_ = nullptr;
    TSetupPage* setupPage_ = nullptr;
    TSendPage* sendPage_ = nullptr;
    TReceivePage* receivePage_ = nullptr;
    QList<QToolButton*> gatedButtons_; // the commands a running command would ignore
    QStatusBar* statusBar1_ = nullptr;
    QLabel* statusPanels_[2] = {nullptr, nullptr};
};

} // namespace quietpane
