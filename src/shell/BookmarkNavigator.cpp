#include "shell/BookmarkNavigator.h"

#include "platform/MessageBoxes.h"
#include "platform/SettingsDatabase.h"

#include <QHBoxLayout>
#include <QSqlError>
#include <QSqlTableModel>
#include <QTableView>
#include <QToolButton>

#include <algorithm>

namespace quietpane {

namespace {

// A navigator button as wide as its glyph and caption need and no wider: two captioned
// buttons share the navigator's 110 pixels.
class CompactButton final : public QToolButton {
public:
    using QToolButton::QToolButton;

    QSize sizeHint() const override
    {
        const QSize standard = QToolButton::sizeHint();
        const int content = iconSize().width() + CaptionGap + fontMetrics().horizontalAdvance(text());
        return {std::min(standard.width(), content + 2 * Margin), standard.height()};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr int CaptionGap = 4;
    static constexpr int Margin = 3;
};

} // namespace

TBookmarkNavigator::TBookmarkNavigator(QTableView& grid, QWidget* parent)
    : QWidget(parent), grid_(grid), insertButton_(new CompactButton(this)),
      deleteButton_(new CompactButton(this))
{
    insertButton_->setObjectName(QStringLiteral("nbInsert"));
    deleteButton_->setObjectName(QStringLiteral("nbDelete"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {insertButton_, deleteButton_}) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setIconSize(QSize(16, 16));
        layout->addWidget(button);
    }
    connect(insertButton_, &QToolButton::clicked, this, [this] { BtnClick(TNavigateBtn::nbInsert); });
    connect(deleteButton_, &QToolButton::clicked, this, [this] { BtnClick(TNavigateBtn::nbDelete); });
}

QSqlTableModel* TBookmarkNavigator::Model() const
{
    return qobject_cast<QSqlTableModel*>(grid_.model());
}

void TBookmarkNavigator::BtnClick(TNavigateBtn button)
{
    switch (button) {
    case TNavigateBtn::nbInsert:
        Insert();
        break;
    case TNavigateBtn::nbDelete:
        Delete();
        break;
    case TNavigateBtn::nbPost:
        Post();
        break;
    }
    if (OnClick)
        OnClick(button);
}

void TBookmarkNavigator::Insert()
{
    QSqlTableModel* model = Model();
    if (!model)
        return;
    // An edit still open in the grid is ended first: leaving the row commits it.
    grid_.setCurrentIndex(QModelIndex());
    Post();
    const int row = model->rowCount();
    if (!model->insertRow(row))
        ThrowDatabaseError(model->lastError());
    grid_.setCurrentIndex(model->index(row, model->fieldIndex(QStringLiteral("Bookmark"))));
}

void TBookmarkNavigator::Delete()
{
    QSqlTableModel* model = Model();
    const QModelIndex current = grid_.currentIndex();
    if (!model || !current.isValid())
        return;
    if (!MessageBoxes().Confirm(QStringLiteral("Delete record?")))
        return;
    if (!model->removeRow(current.row()))
        ThrowDatabaseError(model->lastError());
    SubmitOrThrow(*model);
    // The table keeps a blank line for a deleted row until it is read again.
    ReadAgain(*model, current.row(), current.column());
}

void TBookmarkNavigator::Post()
{
    QSqlTableModel* model = Model();
    if (!model || !model->isDirty())
        return;
    const QModelIndex current = grid_.currentIndex();
    SubmitOrThrow(*model);
    // Read back, so a new row carries the key the database gave it and can be edited later.
    if (current.isValid())
        ReadAgain(*model, current.row(), current.column());
}

void TBookmarkNavigator::ReadAgain(QSqlTableModel& model, int row, int column)
{
    if (!model.select())
        ThrowDatabaseError(model.lastError());
    if (model.rowCount() > 0)
        grid_.setCurrentIndex(model.index(std::min(row, model.rowCount() - 1), column));
}

} // namespace quietpane
