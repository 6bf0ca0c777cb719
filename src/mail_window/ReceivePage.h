#pragma once

#include "mail_window/MailServices.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QStatusBar;
class QTextEdit;
class QTreeWidget;
class QTreeWidgetItem;
class TIdMessage;
class TIdPOP3;

namespace quietpane {

class TMessagePane;

// What the receive page borrows from the mail window.
struct TReceivePageServices {
    TIdPOP3* pop3 = nullptr;
    TIdMessage* message = nullptr; // the window's one message object
    TMailStatus* status = nullptr;
    TMailboxState* mailbox = nullptr;
    TMailCommandGate* commands = nullptr;
    std::function<TServerAccount()> account;
    std::function<QString()> attachmentFolder; // ends in "/"
};

// The "Receive Email" tab: the header list, the message pane with its attachment list, and the
// body box, with the commands that check, read, save, delete and disconnect. The mail window's
// handlers of the same names forward here.
class TReceivePage final : public QWidget {
public:
    TReceivePage(const TReceivePageServices& services, QWidget* parent = nullptr);
    ~TReceivePage() override;

    void bReceiveClick();
    void ListMessageHeaders(int count);
    void lvHeadersClick();
    void RetrieveMail();
    int FindAttachmentIndex(const QString& fileName) const;
    void lvMessagePartsClick();
    void tDeleteClick();
    void tDisconnectClick();

    // What Reply quotes: the shown sender, subject and body text; empty before any message.
    QString ShownFrom() const;
    QString ShownSubject() const;
    QString ShownBodyText() const;

private:
    void BuildHeaderList();
    void CheckMail();
    void ShowRetrievedMessage();
    void ShowParts();
    void SaveSelectedAttachments();
    void DeleteSelectedMessage();
    void EndSession();
    // The first selected row in list order; null when none is selected.
    QTreeWidgetItem* FirstSelectedHeader() const;

    TReceivePageServices services_;
    QTreeWidget* lvHeaders_;
    QStatusBar* statusBar2_;
    QPushButton* bReceive_;
    TMessagePane* messagePane_;
    QTreeWidget* lvMessageParts_;
    QTextEdit* memo2_;
};

} // namespace quietpane
