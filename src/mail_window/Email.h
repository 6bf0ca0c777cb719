#pragma once

#include "mail_window/MailServices.h"
#include "mail_window/OutgoingServer.h"
#include "message/IdMessage.h"
#include "platform/Registry.h"
#include "platform/WindowDatabase.h"
#include "protocols/IdPOP3.h"
#include "protocols/IdSMTP.h"

#include <QMainWindow>

class QLabel;
class QStatusBar;
class QTabWidget;

namespace quietpane {

class TReceivePage;
class TSendPage;
class TSetupPage;

// What the mail window takes from its surroundings; every empty member means the real thing.
struct TfrmEmailSetup {
    QString programFolder;        // folder of Quietpane.mdb and "Attach"; empty: the program file's folder
    Registry* registry = nullptr; // borrowed
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
    // window is on the screen, so that start-up never waits on a mail server.
    void ConnectOutgoingServer();
    // Ends both mail sessions without a word to the servers, so that a command waiting on a
    // server that never answers fails at once; the program ends its run with it.
    void DropMailSessions();

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
    void Memo1Change();
    void txtSubjectChange();
    void txtFromChange();
    void tReplyClick();
    void bReceiveClick();
    void ListMessageHeaders(int count);
    void lvHeadersClick();
    void RetrieveMail();
    int FindAttachmentIndex(const QString& fileName) const;
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
    // Ends the running mail command with its cancel error and closes its session.
    void CancelMailCommand();
    void BuildToolBar();
    void BuildStatusBar();

    TfrmEmailSetup setup_;
    TWindowDatabase database_;
    QString attachmentFolder_;
    bool terminationRequested_ = false;
    TMailboxState mailbox_;
    // The bar's single-text line, which the SMTP client's events write; the bar always
    // shows its panels instead.
    QString statusSimpleText_;

    // Components, owned for the window's whole life.
    TIdMessage idMessage_;
    TIdSMTP idSmtp_;
    TIdPOP3 idPOP3_;
    TMailCommandGate commands_;
    TOutgoingServer outgoing_{idSmtp_};

    // Controls, owned by the window's widget tree.
    QTabWidget* pageControl1_ = nullptr;
    TSetupPage* setupPage_ = nullptr;
    TSendPage* sendPage_ = nullptr;
    TReceivePage* receivePage_ = nullptr;
    QStatusBar* statusBar1_ = nullptr;
    QLabel* statusPanels_[2] = {nullptr, nullptr};
};

} // namespace quietpane
