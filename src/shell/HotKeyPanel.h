#pragma once

#include "hotkeys/HotKeyManager.h"

#include <QFrame>

class QListWidget;

namespace quietpane {

class THotKeyRecorder;
class TSettingsTables;

// The floating hotkey panel ("Panel1"): a recorder, the two assign buttons that register the
// recorded combination and store it as the hide (HotKey3) or restore (HotKey2) setting, and the
// list of the combinations registered through it in this run, which "Delete" unregisters.
class THotKeyPanel final : public QFrame {
public:
    // Both are borrowed and outlive the panel.
    THotKeyPanel(THotKeyManager& hotKeyManager, TSettingsTables& tables, QWidget* parent);

    void AssignHideHotKey();    // "Hotkey 01"
    void AssignRestoreHotKey(); // "Hotkey 02"
    void DeleteSelected();      // "Delete"

    // The value last taken from the recorder by an assign button.
    TShortCut RecordedHotKey() const { return recordedHotKey_; }

private:
    void AssignHotKey(const QString& column);

    THotKeyManager& hotKeyManager_;
    TSettingsTables& tables_;
    TShortCut recordedHotKey_ = 0;
    THotKeyRecorder* hotKey1_;
    QListWidget* listBox1_;
};

} // namespace quietpane
