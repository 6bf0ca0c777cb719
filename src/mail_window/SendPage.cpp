#include "mail_window/SendPage.h"

#include "platform/Dialogs.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quietpane {

namespace {

QLineEdit* NamedBox(const char* objectName, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(objectName));
    return box;
}

QPushButton* NamedButton(const char* objectName, const QString& caption, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(objectName));
    return button;
}

} // namespace

TSendPage::TSendPage(QWidget* parent)
    : QWidget(parent), txtFrom_(NamedBox("txtFrom", this)), txtReceipient_(NamedBox("txtReceipient", this)),
      txtCC_(NamedBox("txtCC", this)), listBox_(new QListWidget(this)),
      txtSubject_(NamedBox("txtSubject", this)), memo1_(new QPlainTextEdit(this))
{
    listBox_->setObjectName(QStringLiteral("ListBox"));
    listBox_->setFixedHeight(60);
    memo1_->setObjectName(QStringLiteral("Memo1"));
    memo1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo1_->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* page = new QVBoxLayout(this);
    auto* fields = new QGridLayout;
    auto addRow = [&](int row, const QString& caption, QWidget* field) {
        fields->addWidget(new QLabel(caption, this), row, 0);
        fields->addWidget(field, row, 1);
    };
    addRow(0, QStringLiteral("From:"), txtFrom_);
    addRow(1, QStringLiteral("To:"), txtReceipient_);
    addRow(2, QStringLiteral("CC: "), txtCC_);
    addRow(3, QStringLiteral("Attachments"), listBox_);
    auto* attachmentButtons = new QVBoxLayout;
    QPushButton* bAdd = NamedButton("bAdd", QStringLiteral("Add"), this);
    QPushButton* bRemove = NamedButton("bRemove", QStringLiteral("Delete"), this);
    attachmentButtons->addWidget(bAdd);
    attachmentButtons->addWidget(bRemove);
    attachmentButtons->addStretch(1);
    fields->addLayout(attachmentButtons, 3, 2);
    addRow(4, QStringLiteral("Subject: "), txtSubject_);
    bSend_ = NamedButton("bSend", QStringLiteral("Send"), this);
    fields->addWidget(bSend_, 4, 2);
    fields->setColumnStretch(1, 1);
    page->addLayout(fields);
    page->addWidget(memo1_, 1);

    connect(bAdd, &QPushButton::clicked, this, &TSendPage::bAddClick);
    connect(bRemove, &QPushButton::clicked, this, &TSendPage::bRemoveClick);
    connect(bSend_, &QPushButton::clicked, this, [this] {
        if (OnSendClick)
            OnSendClick();
    });
}

void TSendPage::SetFrom(const QString& text)
{
    txtFrom_->setText(text);
}

TComposedMail TSendPage::Composed(const QString& accountName, const QString& accountEmail) const
{
    QStringList attachments;
    for (int row = 0; row < listBox_->count(); ++row)
        attachments.append(listBox_->item(row)->text());
    return {accountName,    accountEmail,        txtReceipient_->text(),
            txtCC_->text(), txtSubject_->text(), memo1_->toPlainText(),
            attachments,    inReplyTo_,          references_};
}

void TSendPage::StartReply(const TReplyDraft& draft)
{
    Clear();
    txtReceipient_->setText(draft.to);
    txtSubject_->setText(draft.subject);
    memo1_->setPlainText(draft.body);
    inReplyTo_ = draft.inReplyTo;
    references_ = draft.references;
}

void TSendPage::Clear()
{
    for (QLineEdit* box : {txtReceipient_, txtCC_, txtSubject_})
        box->clear();
    listBox_->clear();
    memo1_->clear();
    inReplyTo_.clear();
    references_.clear();
}

void TSendPage::SetSendEnabled(bool enabled)
{
    bSend_->setEnabled(enabled);
}

void TSendPage::bAddClick()
{
    const QString path = Dialogs().OpenFileName(this);
    if (!path.isEmpty())
        listBox_->addItem(path); // the file is read when the message is written
}

void TSendPage::bRemoveClick()
{
    QListWidgetItem* entry = listBox_->currentItem();
    if (entry && entry->isSelected())
        delete entry;
}

} // namespace quietpane
