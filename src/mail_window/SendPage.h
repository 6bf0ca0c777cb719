#pragma once

#include "mail_window/OutgoingMail.h"

#include <QWidget>

#include <functional>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace quietpane {

// The "Send Email" tab: sender, recipients, attachment list, subject and body, with "Add",
// "Delete" and "Send". The message is made from the tab when it is sent.
class TSendPage final : public QWidget {
public:
    explicit TSendPage(QWidget* parent = nullptr);

    // "Send" was clicked.
    std::function<void()> OnSendClick;

    void SetFrom(const QString& text);
    // The mail as the tab shows it, from the account's name and address.
    TComposedMail Composed(const QString& accountName, const QString& accountEmail) const;
    // Starts the reply afresh: nothing of an earlier message stays (copies, attachments).
    void StartReply(const TReplyDraft& draft);
    // Empties everything but the sender, for the next message.
    void Clear();
    // Send is refused while another mail command runs.
    void SetSendEnabled(bool enabled);

    void bAddClick();
    void bRemoveClick();

private:
    QString inReplyTo_;
    QString references_;
    QLineEdit* txtFrom_;
    QLineEdit* txtReceipient_;
    QLineEdit* txtCC_;
    QListWidget* listBox_;
    QLineEdit* txtSubject_;
    QPlainTextEdit* memo1_;
    QPushButton* bSend_;
};

} // namespace quietpane
