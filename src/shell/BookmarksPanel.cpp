#include "shell/BookmarksPanel.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSqlTableModel>
#include <QStyledItemDelegate>
#include <QTableView>

namespace quietpane {

namespace {

// Edits a bookmark in place with a line that stops at the column's size.
class BookmarkCellEditor final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(BookmarkMaxLength);
        return editor;
    }
};

} // namespace

QString BookmarkText(const QString& address)
{
    return address.left(BookmarkMaxLength);
}

void DressBookmarkGrid(QTableView& grid, const QSqlTableModel& table)
{
    const int id = table.fieldIndex(QStringLiteral("ID"));
    const int bookmark = table.fieldIndex(QStringLiteral("Bookmark"));
    QHeaderView* titles = grid.horizontalHeader();
    titles->setStretchLastSection(false);
    titles->setMinimumSectionSize(0);
    grid.setColumnWidth(id, 0);
    grid.setColumnWidth(bookmark, 200);
    QFont bold = titles->font();
    bold.setBold(true);
    titles->setFont(bold);
    grid.verticalHeader()->setDefaultSectionSize(grid.fontMetrics().height() + 4);
    grid.setItemDelegateForColumn(bookmark, new BookmarkCellEditor(&grid));
    grid.setStyleSheet(QStringLiteral("QTableView { background-color: #808080; }"
                                      "QTableView::item { background-color: #f0f0f0; color: black; }"
                                      "QTableView::item:selected { background-color: #000080; color: white; }"));
    grid.setSelectionBehavior(QAbstractItemView::SelectRows);
    grid.setSelectionMode(QAbstractItemView::SingleSelection);
}

} // namespace quietpane
