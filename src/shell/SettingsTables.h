#pragma once

#include "hotkeys/HotKeyManager.h"

#include <QString>

#include <memory>

class QDataWidgetMapper;
class QLineEdit;
class QSqlTableModel;
class QTableView;
class QVariant;

namespace quietpane {

class TWindowDatabase;

// The main window's controls that show the tables' current rows (borrowed).
struct TBoundControls {
    QTableView* grid = nullptr;   // DBGrid1 over "Bookmark"
    QLineEdit* urls = nullptr;    // dbUrls: column Bookmark
    QLineEdit* hotKey2 = nullptr; // dbHotkey2: column HotKey2, the restore hotkey
    QLineEdit* hotKey3 = nullptr; // dbHotkey3: column HotKey3, the hide hotkey
};

// The main window's two tables on its settings connection, "Bookmark" and "HotKeys", with the
// bindings that keep the bound controls on their current rows.
class TSettingsTables final {
public:
    explicit TSettingsTables(const TBoundControls& controls);
    ~TSettingsTables();
    TSettingsTables(const TSettingsTables&) = delete;
    TSettingsTables& operator=(const TSettingsTables&) = delete;

    // Opens both tables on the window's connection, Bookmark first; raises EDatabaseError.
    void Activate(const TWindowDatabase& database);
    void Deactivate();

    const TBoundControls& Bound() const { return controls_; }

    // Writes the bound box dbUrls into the current bookmark row (nothing while inactive).
    void SubmitBookmark();
    // Sets the column of the one HotKeys row (created when the table is empty) and writes it.
    void StoreHotKey(const QString& column, TShortCut hotKey);
    // Whether the hide key hides the mail window and the open dialogs too (false while inactive).
    bool HideMailWindow() const;
    void StoreHideMailWindow(bool hide);

private:
    void StoreHotKeySetting(const QString& column, const QVariant& value);

    TBoundControls controls_;
    // Declared before the bindings, so the bindings go first.
    std::unique_ptr<QSqlTableModel> bookmarkTable_;
    std::unique_ptr<QSqlTableModel> hotKeyTable_;
    std::unique_ptr<QDataWidgetMapper> bookmarkBinding_;
    std::unique_ptr<QDataWidgetMapper> hotKeyBinding_;
};

} // namespace quietpane
