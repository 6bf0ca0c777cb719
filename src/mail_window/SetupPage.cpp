#include "mail_window/SetupPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quietpane {

QLineEdit* TSetupPage::AddBox(const char* objectName)
{
    auto* box = new QLineEdit(this);
    box->setObjectName(QLatin1String(objectName));
    boxes_.append(box);
    return box;
}

TSetupPage::TSetupPage(QWidget* parent)
    : QWidget(parent), txtServerOut_(AddBox("txtServerOut")), txtPortOut_(AddBox("txtPortOut")),
      cbType_(new QComboBox(this)), txtUserID_(AddBox("txtUserID")), txtPassword_(AddBox("txtPassword")),
      txtName_(AddBox("txtName")), txtEmail_(AddBox("txtEmail")), txtServerIn_(AddBox("txtServerIn")),
      txtPortIn_(AddBox("txtPortIn")),
      cbAllowPlain_(new QCheckBox(QStringLiteral("Allow unencrypted connection"), this)),
      lblPasswordPlace_(new QLabel(this))
{
    lblPasswordPlace_->setObjectName(QStringLiteral("lblPasswordPlace"));
    lblPasswordPlace_->setWordWrap(true);
    cbType_->setObjectName(QStringLiteral("cbType"));
    cbType_->addItems({QStringLiteral("None"), QStringLiteral("Simple login")});
    cbAllowPlain_->setObjectName(QStringLiteral("cbAllowPlain"));
    txtPassword_->setEchoMode(QLineEdit::Password);
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
    page->addWidget(lblPasswordPlace_);

    addGroup("GroupBoxIn", QStringLiteral("Mail Server In"),
             {{"Name", txtName_},
              {"Email:", txtEmail_},
              {"Incoming Mail Server (POP3)", txtServerIn_},
              {"Port In:", txtPortIn_}});
    page->addWidget(cbAllowPlain_);
    page->addStretch(1);

    // Tab follows the boxes top to bottom; Update, which stores them, comes last.
    QList<QWidget*> order{txtServerOut_, txtPortOut_,  cbType_,    txtUserID_,    txtPassword_, txtName_,
                          txtEmail_,     txtServerIn_, txtPortIn_, cbAllowPlain_, bUpdate};
    for (qsizetype index = 1; index < order.size(); ++index)
        setTabOrder(order[index - 1], order[index]);
    SetEditable(false);
}

void TSetupPage::SetEditable(bool editable)
{
    for (QLineEdit* box : boxes_)
        box->setReadOnly(!editable);
    cbType_->setEnabled(editable);
    cbAllowPlain_->setEnabled(editable);
}

bool TSetupPage::Showing() const
{
    return !txtServerOut_->isReadOnly();
}

void TSetupPage::Show(const TMailAccount& account)
{
    txtServerOut_->setText(account.serverOut);
    txtPortOut_->setText(account.portOut);
    cbType_->setCurrentIndex(cbType_->findText(account.type));
    txtUserID_->setText(account.userId);
    txtPassword_->setText(account.password);
    txtName_->setText(account.name);
    txtEmail_->setText(account.email);
    txtServerIn_->setText(account.serverIn);
    txtPortIn_->setText(account.portIn);
    cbAllowPlain_->setChecked(account.allowPlain);
    SetEditable(true);
}

void TSetupPage::Clear()
{
    Show({});
    SetEditable(false);
}

void TSetupPage::ShowReadPassword(const QString& password)
{
    if (txtPassword_->text().isEmpty())
        txtPassword_->setText(password);
}

void TSetupPage::ShowPasswordPlace(const QString& line)
{
    lblPasswordPlace_->setText(line);
}

TMailAccount TSetupPage::Account() const
{
    return {txtServerOut_->text(), txtPortOut_->text(),       cbType_->currentText(), txtUserID_->text(),
            txtPassword_->text(),  txtName_->text(),          txtEmail_->text(),      txtServerIn_->text(),
            txtPortIn_->text(),    cbAllowPlain_->isChecked()};
}

} // namespace quietpane
