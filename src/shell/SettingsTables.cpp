#include "shell/SettingsTables.h"

#include "platform/SettingsDatabase.h"
#include "shell/BookmarksPanel.h"

#include <QDataWidgetMapper>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSqlError>
#include <QSqlTableModel>
#include <QTableView>

namespace quietpane {

namespace {

std::unique_ptr<QSqlTableModel> OpenTable(const QSqlDatabase& database, const QString& name,
                                          QSqlTableModel::EditStrategy strategy)
{
    auto table = std::make_unique<QSqlTableModel>(nullptr, database);
    table->setTable(name);
    table->setEditStrategy(strategy);
    if (!table->select())
        ThrowDatabaseError(table->lastError());
    return table;
}

} // namespace

void ThrowDatabaseError(const QSqlError& error)
{
    throw EDatabaseError(error.text().toStdString());
}

void SubmitOrThrow(QSqlTableModel& table)
{
    if (table.submitAll())
        return;
    const QSqlError error = table.lastError();
    table.revertAll();
    ThrowDatabaseError(error);
}

TSettingsTables::TSettingsTables(const TBoundControls& controls) : controls_(controls) {}

TSettingsTables::~TSettingsTables()
{
    Deactivate();
}

void TSettingsTables::Activate(const QString& connectionName)
{
    QSqlDatabase database = QSqlDatabase::database(connectionName, false);
    if (!database.isOpen())
        throw EDatabaseError("The settings database is not open.");
    bookmarkTable_ = OpenTable(database, QStringLiteral("Bookmark"), QSqlTableModel::OnRowChange);
    controls_.grid->setModel(bookmarkTable_.get());
    DressBookmarkGrid(*controls_.grid, *bookmarkTable_);
    bookmarkBinding_ = std::make_unique<QDataWidgetMapper>();
    bookmarkBinding_->setModel(bookmarkTable_.get());
    bookmarkBinding_->addMapping(controls_.urls, bookmarkTable_->fieldIndex(QStringLiteral("Bookmark")));
    QObject::connect(controls_.grid->selectionModel(), &QItemSelectionModel::currentRowChanged,
                     bookmarkBinding_.get(), &QDataWidgetMapper::setCurrentModelIndex);
    // The grid's current row is the bound box's row from the start, so "Delete" acts on it.
    if (bookmarkTable_->rowCount() > 0)
        controls_.grid->setCurrentIndex(
            bookmarkTable_->index(0, bookmarkTable_->fieldIndex(QStringLiteral("Bookmark"))));
    else
        bookmarkBinding_->toFirst();

    hotKeyTable_ = OpenTable(database, QStringLiteral("HotKeys"), QSqlTableModel::OnManualSubmit);
    hotKeyBinding_ = std::make_unique<QDataWidgetMapper>();
    hotKeyBinding_->setModel(hotKeyTable_.get());
    hotKeyBinding_->setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
    hotKeyBinding_->addMapping(controls_.hotKey2, hotKeyTable_->fieldIndex(QStringLiteral("HotKey2")));
    hotKeyBinding_->addMapping(controls_.hotKey3, hotKeyTable_->fieldIndex(QStringLiteral("HotKey3")));
    hotKeyBinding_->toFirst();
}

void TSettingsTables::Deactivate()
{
    if (bookmarkTable_)
        controls_.grid->setModel(nullptr);
    bookmarkBinding_.reset();
    hotKeyBinding_.reset();
    bookmarkTable_.reset();
    hotKeyTable_.reset();
}

void TSettingsTables::SubmitBookmark()
{
    if (bookmarkBinding_)
        bookmarkBinding_->submit();
}

void TSettingsTables::StoreHotKey(const QString& column, TShortCut hotKey)
{
    if (!hotKeyTable_)
        throw EDatabaseError("The settings database is not open.");
    // An empty table gets its one row now.
    if (hotKeyTable_->rowCount() == 0 && !hotKeyTable_->insertRow(0))
        ThrowDatabaseError(hotKeyTable_->lastError());
    hotKeyTable_->setData(hotKeyTable_->index(0, hotKeyTable_->fieldIndex(column)), QString::number(hotKey));
    SubmitOrThrow(*hotKeyTable_);
    hotKeyBinding_->toFirst();
}

} // namespace quietpane
