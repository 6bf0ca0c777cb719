#include "mail_window/SendPage.h"

#include "message/IdMessage.h"
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

TSendPage::TSendPage(TIdMessage& message, QWidget* parent)
    : QWidget(parent), message_(message), txtFrom_(NamedBox("txtFrom", this)),
      txtReceipient_(NamedBox("txtReceipient", this)), txtCC_(NamedBox("txtCC", this)),
      listBox_(new QListWidget(this)), txtSubject_(NamedBox("txtSubject", this)),
      memo1_(new QPlainTextEdit(this))
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
    QPushButton* bSend = NamedButton("bSend", QStringLiteral("Send"), this);
    fields->addWidget(bSend, 4, 2);
    fields->setColumnStretch(1, 1);
    page->addLayout(fields);
    page->addWidget(memo1_, 1);

    connect(bAdd, &QPushButton::clicked, this, &TSendPage::bAddClick);
    connect(bRemove, &QPushButton::clicked, this, &TSendPage::bRemoveClick);
    connect(bSend, &QPushButton::clicked, this, [this] {
        if (OnSendClick)
            OnSendClick();
    });
    connect(memo1_, &QPlainTextEdit::textChanged, this, &TSendPage::Memo1Change);
    connect(txtSubject_, &QLineEdit::textChanged, this, &TSendPage::txtSubjectChange);
    connect(txtFrom_, &QLineEdit::textChanged, this, &TSendPage::txtFromChange);
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
    return {accountName,           accountEmail, txtReceipient_->text(), txtCC_->text(), txtSubject_->text(),
            memo1_->toPlainText(), attachments};
}

void TSendPage::StartReply(const QString& sender, const QString& subject, const QString& text)
{
    txtReceipient_->setText(sender);
    txtSubject_->setText(ReplySubject(subject));
    memo1_->setPlainText(QStringLiteral("\n\n") + QuoteForReply(text));
}

void TSendPage::bAddClick()
{
    const QString path = Dialogs().OpenFileName(this);
    if (path.isEmpty())
        return;
    listBox_->addItem(path);
    // The file is read when the message is written.
    message_.Parts.AddAttachment(path.toStdString());
}

void TSendPage::bRemoveClick()
{
    QListWidgetItem* entry = listBox_->currentItem();
    if (!entry || !entry->isSelected())
        return;
    const std::string path = entry->text().toStdString();
    delete entry;
    for (int index = 0; index < message_.Parts.Count(); ++index) {
        auto* attachment = dynamic_cast<TIdAttachment*>(&message_.Parts.Items(index));
        if (attachment && attachment->FileName == path) {
            message_.Parts.Delete(index);
            return;
        }
    }
}

void TSendPage::Memo1Change()
{
    message_.Body = EditorLines(memo1_->toPlainText());
}

void TSendPage::txtSubjectChange()
{
    message_.Subject = txtSubject_->text().toStdString();
}

void TSendPage::txtFromChange()
{
    message_.From.Address = txtFrom_->text().toStdString();
}

} // namespace quietpane
