#include "shell/BookmarksPanel.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSqlTableModel>
#include <QStyledItemDelegate>
#include <QTableView>

namespace quietpane {

namespace {

const QColor GridGrey(0x80, 0x80, 0x80);
const QColor LightCell(0xf4, 0xf4, 0xf4);

// Shows a bookmark on a light cell and edits it in place with a line that stops at the
// column's size.
class BookmarkCellEditor final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->backgroundBrush = LightCell;
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(BookmarkMaxLength);
        return editor;
    }
};

// The ID column belongs to the database: shown (at width 0) but never edited.
class ReadOnlyCell final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return nullptr;
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
    // Titles start at the left, clear of the navigator on the right of the title row.
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid.verticalHeader()->hide();
    grid.verticalHeader()->setDefaultSectionSize(grid.fontMetrics().height() + 4);
    grid.setItemDelegateForColumn(bookmark, new BookmarkCellEditor(&grid));
    grid.setItemDelegateForColumn(id, new ReadOnlyCell(&grid));
    // A double click opens the bookmark, so it must not open a cell editor too (neither at once
    // nor as the delayed edit of a click on the selected cell); F2 or typing edits in place.
    grid.setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    // Colours through the palette: a style sheet would cut the grid off from the window's font.
    QPalette colours = grid.palette();
    colours.setColor(QPalette::Base, GridGrey);
    grid.setPalette(colours);
    grid.setSelectionBehavior(QAbstractItemView::SelectRows);
    grid.setSelectionMode(QAbstractItemView::SingleSelection);
}

} // namespace quietpane
