#pragma once

#include <QWidget>

class QSqlTableModel;
class QTableView;
class QToolButton;

namespace quietpane {

// The bookmark grid's navigator: an insert and a delete button over the grid's table.
// Deleting asks "Delete record?" first.
class TBookmarkNavigator final : public QWidget {
public:
    TBookmarkNavigator(QTableView& grid, QWidget* parent);

    QToolButton* InsertButton() const { return insertButton_; }
    QToolButton* DeleteButton() const { return deleteButton_; }

    void Insert();
    void Delete();

private:
    QSqlTableModel* Model() const;

    QTableView& grid_;
    QToolButton* insertButton_;
    QToolButton* deleteButton_;
};

} // namespace quietpane
