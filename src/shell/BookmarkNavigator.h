#pragma once

#include <QWidget>

#include <functional>

class QSqlTableModel;
class QTableView;
class QToolButton;

namespace quietpane {

// The navigator's buttons, including post, which has no button of its own here.
enum class TNavigateBtn { nbInsert, nbDelete, nbPost };

// The bookmark grid's navigator: an insert and a delete button over the grid's table.
// Deleting asks "Delete record?" first. After each action it raises OnClick with the button.
class TBookmarkNavigator final : public QWidget {
public:
    TBookmarkNavigator(QTableView& grid, QWidget* parent);

    std::function<void(TNavigateBtn button)> OnClick;

    // Performs the button's action, then raises OnClick with it.
    void BtnClick(TNavigateBtn button);

    QToolButton* InsertButton() const { return insertButton_; }
    QToolButton* DeleteButton() const { return deleteButton_; }

    void Insert();
    void Delete();
    // Writes the current row's pending changes to the database.
    void Post();

private:
    QSqlTableModel* Model() const;
    // Reads the table again and makes the row (or the last one) current.
    void ReadAgain(QSqlTableModel& model, int row, int column);

    QTableView& grid_;
    QToolButton* insertButton_;
    QToolButton* deleteButton_;
};

} // namespace quietpane
