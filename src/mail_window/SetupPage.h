#pragma once

#include "mail_window/MailServices.h"
#include "mail_window/OutgoingServer.h"

#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QDataWidgetMapper;
class QLineEdit;
class QSqlTableModel;

namespace quietpane {

class TWindowDatabase;

// The "Setup" tab: the account's boxes bound to the row of the "Email" table, and "Update",
// which writes what the boxes show back into that row.
class TSetupPage final : public QWidget {
public:
    explicit TSetupPage(QWidget* parent = nullptr);

    // Opens the account table on the window's database connection and shows its row; raises
    // EDatabaseError when that can't be done.
    void ActivateTable(const TWindowDatabase& database);
    // Closes the table; the boxes are empty and take no typing until it is opened again.
    void DeactivateTable();
    bool TableActive() const { return table_ != nullptr; }

    // Stores the boxes in the account row, the password in its scrambled form, and shows
    // the row as stored. Only a password typed since the row was last shown is scrambled:
    // the stored form is never scrambled a second time.
    void Update(const TWindowDatabase& database);

    // The "Update" button was clicked.
    std::function<void()> OnUpdateClick;

    QString AccountName() const;
    QString AccountEmail() const;
    TServerAccount OutgoingAccount() const;
    TServerAccount IncomingAccount() const;

private:
    QLineEdit* AddBox(const char* objectName, const char* column);
    void ShowStoredRow();
    void StoreBoxes();

    // Box and column, for every box that edits a column of the row; filled as the boxes are made.
    QList<QPair<QLineEdit*, QString>> boxColumns_;
    QLineEdit* txtServerOut_;
    QLineEdit* txtPortOut_;
    QComboBox* cbType_;
    QLineEdit* txtUserID_;
    QLineEdit* txtPassword_;
    QLineEdit* txtName_;
    QLineEdit* txtEmail_;
    QLineEdit* txtServerIn_;
    QLineEdit* txtPortIn_;
    bool passwordTyped_ = false;
    std::unique_ptr<QSqlTableModel> table_;
    QDataWidgetMapper* binding_ = nullptr;
};

} // namespace quietpane
