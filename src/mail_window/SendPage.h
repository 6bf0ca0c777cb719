#pragma once

#include "mail_window/OutgoingMail.h"

#include <QWidget>

#include <functional>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class TIdMessage;

namespace quietpane {

// The "Send Email" tab: sender, recipients, attachment list, subject and body, with "Add",
// "Delete" and "Send". The boxes write through to the window's message object as they change.
class TSendPage final : public QWidget {
public:
    TSendPage(TIdMessage& message, QWidget* parent = nullptr);

    // "Send" was clicked.
    std::function<void()> OnSendClick;

    void SetFrom(const QString& text);
    // The mail as the tab shows it, from the account's name and address.
    TComposedMail Composed(const QString& accountName, const QString& accountEmail) const;
    // An answer to the sender: the quoted text below an empty line to write in.
    void StartReply(const QString& sender, const QString& subject, const QString& text);

    void bAddClick();
    void bRemoveClick();
    void Memo1Change();
    void txtSubjectChange();
    void txtFromChange();

private:
    TIdMessage& message_;
    QLineEdit* txtFrom_;
    QLineEdit* txtReceipient_;
    QLineEdit* txtCC_;
    QListWidget* listBox_;
    QLineEdit* txtSubject_;
    QPlainTextEdit* memo1_;
};

} // namespace quietpane
