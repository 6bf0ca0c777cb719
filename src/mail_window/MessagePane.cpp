#include "mail_window/MessagePane.h"

#include "mail_window/ReceivedText.h"
#include "message/IdMessage.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTreeWidget>

namespace quietpane {

namespace {

const QColor kPaneColour(211, 222, 202); // colour value 13295059
constexpr int kLeftValueWidth = 270;
constexpr int kPartColumnWidth = 150;
constexpr int kPartListHeight = 92; // the four rows of header values

QDateTime ToQDateTime(TDateTime value)
{
    const TDateParts parts = DecodeDateTime(value);
    return {QDate(parts.year, parts.month, parts.day), QTime(parts.hours, parts.minutes, parts.seconds)};
}

} // namespace

QString ListDateText(TDateTime date)
{
    return QLocale().toString(ToQDateTime(date).date(), QLocale::ShortFormat);
}

QString PaneDateText(TDateTime date)
{
    return QLocale().toString(ToQDateTime(date), QStringLiteral("dd MMM yyyy hh:mm:ss"));
}

TMessagePane::TMessagePane(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("MessagePane"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kPaneColour);
    setPalette(colours);
    // Wider than a small window with its attachment list shown: it is cut, the window keeps its size.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    auto* row = new QHBoxLayout(this);
    values_ = new QGridLayout;
    values_->setHorizontalSpacing(8);
    values_->setVerticalSpacing(2);
    // Room to spare goes to the values on the left, up to their width.
    row->addLayout(values_, 1);
    values_->setColumnStretch(1, 1);

    from_ = AddValue("From", "From", 0, 0, true);
    recipients_ = AddValue("To", "Recipients", 1, 0, true);
    cc_ = AddValue("Cc", "Cc", 2, 0, true);
    subject_ = AddValue("Subject", "Subject", 3, 0, true);
    date_ = AddValue("Date", "Date", 0, 2, false);
    priority_ = AddValue("Priority", "Priority", 1, 2, false);
    receipt_ = AddValue("Receipt", "Receipt", 2, 2, false);
    organization_ = AddValue("Organization", "Organization", 3, 2, false);

    lvMessageParts_ = new QTreeWidget(this);
    lvMessageParts_->setObjectName(QStringLiteral("lvMessageParts"));
    lvMessageParts_->setHeaderLabels({QStringLiteral("Fille Name"), QStringLiteral("Content Type")});
    lvMessageParts_->header()->resizeSection(0, kPartColumnWidth);
    lvMessageParts_->header()->resizeSection(1, kPartColumnWidth);
    lvMessageParts_->setRootIsDecorated(false);
    lvMessageParts_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvMessageParts_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // In a window too narrow for the whole pane, the list and the values on the left give up
    // room instead of pushing the window wider or drawing over each other.
    lvMessageParts_->setFixedHeight(kPartListHeight);
    lvMessageParts_->setMinimumWidth(kPartColumnWidth);
    lvMessageParts_->setMaximumWidth(2 * kPartColumnWidth + 2 * lvMessageParts_->frameWidth());
    lvMessageParts_->setAutoFillBackground(true);
    lvMessageParts_->hide();
    row->addWidget(lvMessageParts_);
}

QLabel* TMessagePane::AddValue(const char* caption, const char* objectName, int row, int column,
                               bool fixedWidth)
{
    auto* title = new QLabel(QLatin1String(caption), this);
    title->setObjectName(QLatin1String("lbl") + QLatin1String(objectName));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* value = new QLabel(this);
    value->setObjectName(QLatin1String(objectName));
    value->setStyleSheet(QStringLiteral("color: maroon;"));
    value->setTextFormat(Qt::PlainText);
    if (fixedWidth) {
        value->setMaximumWidth(kLeftValueWidth);
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    values_->addWidget(title, row, column);
    values_->addWidget(value, row, column + 1);
    return value;
}

void TMessagePane::ClearValues()
{
    for (QLabel* value : {from_, cc_, subject_, date_, receipt_, organization_, priority_})
        value->clear();
}

void TMessagePane::Fill(const TIdMessage& message)
{
    from_->setText(FromLibraryText(message.From.Text()));
    recipients_->setText(FromLibraryText(message.Recipients.AddressListText()));
    cc_->setText(FromLibraryText(message.CCList.AddressListText()));
    subject_->setText(FromLibraryText(message.Subject));
    date_->setText(PaneDateText(message.Date));
    priority_->setText(QString::number(static_cast<int>(message.Priority) + 1));
    receipt_->setText(FromLibraryText(message.ReceiptRecipient.Text()));
    organization_->setText(FromLibraryText(message.Organization));
}

} // namespace quietpane
