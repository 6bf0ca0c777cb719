#pragma once

#include "mail_window/MailAccount.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace quietpane {

// The "Setup" tab: the account's boxes, and "Update", which stores what they show. The boxes are
// what Check Mail and Send use, stored or not: a password typed here counts as typed.
class TSetupPage final : public QWidget {
public:
    explicit TSetupPage(QWidget* parent = nullptr);

    // Shows the account in the boxes, which take typing from now on.
    void Show(const TMailAccount& account);
    // Empties the boxes, which take no typing until an account is shown again.
    void Clear();
    // An account is shown while the boxes take typing.
    bool Showing() const;
    TMailAccount Account() const;
    // The password the keyring gave, unless the user has typed one meanwhile.
    void ShowReadPassword(const QString& password);
    // The line that says where the password is kept.
    void ShowPasswordPlace(const QString& line);

    // The "Update" button was clicked.
    std::function<void()> OnUpdateClick;

private:
    QLineEdit* AddBox(const char* objectName);
    void SetEditable(bool editable);

    QList<QLineEdit*> boxes_; // filled as the boxes below are made
    QLineEdit* txtServerOut_;
    QLineEdit* txtPortOut_;
    QComboBox* cbType_;
    QLineEdit* txtUserID_;
    QLineEdit* txtPassword_;
    QLineEdit* txtName_;
    QLineEdit* txtEmail_;
    QLineEdit* txtServerIn_;
    QLineEdit* txtPortIn_;
    QCheckBox* cbAllowPlain_;
    QLabel* lblPasswordPlace_;
};

} // namespace quietpane
