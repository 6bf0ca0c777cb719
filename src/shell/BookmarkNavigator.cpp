#include "shell/BookmarkNavigator.h"

#include "platform/MessageBoxes.h"
#include "platform/SettingsDatabase.h"

#include <QHBoxLayout>
#include <QSqlError>
#include <QSqlTableModel>
#include <QTableView>
#include <QToolButton>

namespace quietpane {

TBookmarkNavigator::TBookmarkNavigator(QTableView& grid, QWidget* parent)
    : QWidget(parent), grid_(grid), insertButton_(new QToolButton(this)), deleteButton_(new QToolButton(this))
{
    insertButton_->setObjectName(QStringLiteral("nbInsert"));
    deleteButton_->setObjectName(QStringLiteral("nbDelete"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {insertButton_, deleteButton_}) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        layout->addWidget(button);
    }
    connect(insertButton_, &QToolButton::clicked, this, &TBookmarkNavigator::Insert);
    connect(deleteButton_, &QToolButton::clicked, this, &TBookmarkNavigator::Delete);
}

QSqlTableModel* TBookmarkNavigator::Model() const
{
    return qobject_cast<QSqlTableModel*>(grid_.model());
}

void TBookmarkNavigator::Insert()
{
    QSqlTableModel* model = Model();
    if (!model)
        return;
    const int row = model->rowCount();
    if (!model->insertRow(row))
        throw EDatabaseError(model->lastError().text().toStdString());
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
    if (!model->removeRow(current.row()) || !model->submitAll()) {
        const QString reason = model->lastError().text();
        model->revertAll();
        throw EDatabaseError(reason.toStdString());
    }
}

} // namespace quietpane
