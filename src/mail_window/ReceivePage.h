#pragma once

#include "mail_window/MailServices.h"

#include <QWidget>

#include <functional>

class QPushButton;
class QStatusBar;
class QTextEdit;
class QTreeWidget;
class QTreeWidgetItem;
class TIdMessage;

namespace quietpane {

class TMessagePane;

// The "Receive Email" tab: the header list, the message pane with its attachment list, and the
// body box, with the commands that check, read, save, delete and disconnect. The mail window's
// handlers of the same names forward here.
class TReceivePage final : public QWidget {
public:
    // received is the window's message object: the message shown.
    TReceivePage(const TMailServices& services, TIdMessage& received, TMailboxState& mailbox,
                 std::function<TMailAccount()> account, std::function<QString()> attachmentFolder,
                 QWidget* parent = nullptr);
    ~TReceivePage() override;

    // Check Mail found no incoming server to ask: the Setup tab is to be shown.
    std::function<void()> OnSetupNeeded;

    void bReceiveClick();
    void ListMessageHeaders(int count);
    void lvHeadersClick();
    void RetrieveMail();
    void lvMessagePartsClick();
    void tDeleteClick();
    void tDisconnectClick();
    // While a command runs, the lists take no clicks or keys: the message shown stays the one
    // the next command acts on.
    void SetCommandRunning(bool running);

    // What Reply answers: whether a message is shown, and its text as shown.
    bool MessageShown() const { return shownNumber_ != 0; }
    QString ShownBodyText() const;

private:
    void BuildHeaderList();
    void CheckMail();
    void ShowRetrievedMessage();
    void ShowParts();
    void SaveSelectedAttachments();
    void DeleteShownMessage();
    void EndSession();
    void ForgetShownMessage();
    // The first selected row in list order; null when none is selected.
    QTreeWidgetItem* FirstSelectedHeader() const;

    TMailServices services_;
    TIdMessage& received_;
    TMailboxState& mailbox_;
    std::function<TMailAccount()> account_;
    std::function<QString()> attachmentFolder_; // ends in "/"
    int shownNumber_ = 0;                       // the message shown, by its number; 0 for none
    QString shownSubject_;
    QTreeWidget* lvHeaders_;
    QStatusBar* statusBar2_;
    QPushButton* bReceive_;
    TMessagePane* messagePane_;
    QTreeWidget* lvMessageParts_;
    QTextEdit* memo2_;
};

} // namespace quietpane
