#include "mail_window/SetupPage.h"

#include "mail_window/PasswordScrambling.h"
#include "platform/SettingsDatabase.h"
#include "platform/WindowDatabase.h"

#include <QComboBox>
#include <QDataWidgetMapper>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlTableModel>
#include <QVBoxLayout>

namespace quietpane {

namespace {

const QString kAccountTable = QStringLiteral("Email");
const QString kTypeColumn = QStringLiteral("Type");

} // namespace

QLineEdit* TSetupPage::AddBox(const char* objectName, const char* column)
{
    auto* box = new QLineEdit(this);
    box->setObjectName(QLatin1String(objectName));
    box->setReadOnly(true); // until the table is open
    boxColumns_.append({box, QLatin1String(column)});
    return box;
}

TSetupPage::TSetupPage(QWidget* parent)
    : QWidget(parent), txtServerOut_(AddBox("txtServerOut", "ServerOut")),
      txtPortOut_(AddBox("txtPortOut", "PortOut")), cbType_(new QComboBox(this)),
      txtUserID_(AddBox("txtUserID", "UserID")), txtPassword_(AddBox("txtPassword", "Password")),
      txtName_(AddBox("txtName", "Name")), txtEmail_(AddBox("txtEmail", "Email")),
      txtServerIn_(AddBox("txtServerIn", "ServerIn")), txtPortIn_(AddBox("txtPortIn", "PortIn"))
{
    cbType_->setObjectName(QStringLiteral("cbType"));
    cbType_->addItems({QStringLiteral("None"), QStringLiteral("Simple login")});
    cbType_->setEnabled(false);
    txtPassword_->setEchoMode(QLineEdit::Password);
    connect(txtPassword_, &QLineEdit::textEdited, this, [this] { passwordTyped_ = true; });
    for (QLineEdit* port : {txtPortOut_, txtPortIn_})
        port->setMaximumWidth(60);

    auto* page = new QVBoxLayout(this);
    using TRows = std::initializer_list<std::pair<const char*, QWidget*>>;
    auto addGroup = [&](const char* objectName, const QString& caption, TRows rows) {
        auto* group = new QGroupBox(caption, this);
        group->setObjectName(QLatin1String(objectName));
        auto* form = new QFormLayout(group);
        for (const auto& [label, field] : rows)
            form->addRow(QString::fromUtf8(label), field);
        page->addWidget(group);
    };
    addGroup("GroupBoxOut", QStringLiteral("Mail Server Out"),
             {{"Host (Smtp) :", txtServerOut_}, {"Port Out:", txtPortOut_}, {"Type:", cbType_}});

    auto* login = new QHBoxLayout;
    auto* loginRows = new QFormLayout;
    loginRows->addRow(QStringLiteral("User ID:"), txtUserID_);
    loginRows->addRow(QStringLiteral("Password"), txtPassword_);
    login->addLayout(loginRows, 1);
    auto* bUpdate = new QPushButton(QStringLiteral("Update"), this);
    bUpdate->setObjectName(QStringLiteral("bUpdate"));
    connect(bUpdate, &QPushButton::clicked, this, [this] {
        if (OnUpdateClick)
            OnUpdateClick();
    });
    login->addWidget(bUpdate, 0, Qt::AlignBottom);
    page->addLayout(login);

    addGroup("GroupBoxIn", QStringLiteral("Mail Server In"),
             {{"Name", txtName_},
              {"Email:", txtEmail_},
              {"Incoming Mail Server (POP3)", txtServerIn_},
              {"Port In:", txtPortIn_}});
    page->addStretch(1);
}

void TSetupPage::ActivateTable(const TWindowDatabase& database)
{
    table_ = database.OpenTable(kAccountTable, QSqlTableModel::OnManualSubmit);
    binding_ = new QDataWidgetMapper(this);
    binding_->setModel(table_.get());
    binding_->setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
    for (const auto& [box, column] : boxColumns_) {
        binding_->addMapping(box, table_->fieldIndex(column));
        box->setReadOnly(false);
    }
    binding_->addMapping(cbType_, table_->fieldIndex(kTypeColumn), "currentText");
    cbType_->setEnabled(true);
    ShowStoredRow();
}

void TSetupPage::DeactivateTable()
{
    delete binding_;
    binding_ = nullptr;
    table_.reset();
    for (const auto& [box, column] : boxColumns_) {
        box->clear();
        box->setReadOnly(true);
    }
    cbType_->setCurrentIndex(-1);
    cbType_->setEnabled(false);
    passwordTyped_ = false;
}

void TSetupPage::ShowStoredRow()
{
    binding_->toFirst();
    passwordTyped_ = false;
}

void TSetupPage::Update(const TWindowDatabase& database)
{
    if (passwordTyped_) {
        txtPassword_->setText(ScramblePassword(txtPassword_->text()));
        passwordTyped_ = false; // the box now holds the stored form, even if storing fails
    }
    if (!table_)
        ActivateTable(database);
    StoreBoxes();
    ShowStoredRow();
}

void TSetupPage::StoreBoxes()
{
    const int row = SingleRow(*table_);
    auto store = [this, row](const QString& column, const QString& text) {
        // An empty box is an empty column, which the number columns only take as NULL.
        table_->setData(table_->index(row, table_->fieldIndex(column)),
                        text.isEmpty() ? QVariant() : QVariant(text));
    };
    for (const auto& [box, column] : boxColumns_)
        store(column, box->text());
    store(kTypeColumn, cbType_->currentText());
    SubmitOrThrow(*table_);
    table_->select();
}

QString TSetupPage::AccountName() const
{
    return txtName_->text();
}

QString TSetupPage::AccountEmail() const
{
    return txtEmail_->text();
}

TServerAccount TSetupPage::OutgoingAccount() const
{
    return {txtServerOut_->text(), txtPortOut_->text(), txtUserID_->text(), txtPassword_->text()};
}

TServerAccount TSetupPage::IncomingAccount() const
{
    return {txtServerIn_->text(), txtPortIn_->text(), txtUserID_->text(), txtPassword_->text()};
}

} // namespace quietpane
