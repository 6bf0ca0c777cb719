#include "shell/SettingsTables.h"

#include "platform/SettingsDatabase.h"
#include "platform/WindowDatabase.h"
#include "shell/BookmarksPanel.h"

#include <QDataWidgetMapper>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSqlTableModel>
#include <QTableView>

namespace quietpane {

TSettingsTables::TSettingsTables(const TBoundControls& controls) : controls_(controls) {}

TSettingsTables::~TSettingsTables()
{
    Deactivate();
}

void TSettingsTables::Activate(const TWindowDatabase& database)
{
    bookmarkTable_ = database.OpenTable(QStringLiteral("Bookmark"), QSqlTableModel::OnRowChange);
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

    hotKeyTable_ = database.OpenTable(QStringLiteral("HotKeys"), QSqlTableModel::OnManualSubmit);
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
    StoreHotKeySetting(column, QString::number(hotKey));
}

bool TSettingsTables::HideMailWindow() const
{
    if (!hotKeyTable_ || hotKeyTable_->rowCount() == 0)
        return false;
    return hotKeyTable_
               ->data(hotKeyTable_->index(0, hotKeyTable_->fieldIndex(QStringLiteral("HideMailWindow"))))
               .toInt() == 1;
}

void TSettingsTables::StoreHideMailWindow(bool hide)
{
    StoreHotKeySetting(QStringLiteral("HideMailWindow"), hide ? 1 : 0);
}

void TSettingsTables::StoreHotKeySetting(const QString& column, const QVariant& value)
{
    QSqlTableModel& table = OpenedTable(hotKeyTable_.get());
    table.setData(table.index(SingleRow(table), table.fieldIndex(column)), value);
    SubmitOrThrow(table);
    hotKeyBinding_->toFirst();
}

} // namespace quietpane
