#pragma once

#include "hotkeys/HotKeyManager.h"

#include <QFrame>
#include <QPointer>

class QCheckBox;
class QLabel;
class QListWidget;

namespace quietpane {

class TDesktopKeys;
class THotKeyRecorder;
class TSettingsTables;

// The floating hotkey panel ("Panel1"): a recorder, the two assign buttons that register the
// recorded combination and store it as the hide (HotKey3) or restore (HotKey2) setting, and the
// list of the combinations registered through it in this run, which "Delete" unregisters.
// A combination that does not work (held by another program) is not stored, so the key in force
// stays. While the recorder has the keyboard focus the program's own hotkeys are let through to
// it, so that a combination in use can be recorded; below, the panel tells which keys hide and
// restore, and whether the mail window hides with the main window.
class THotKeyPanel final : public QFrame {
public:
    // Both are borrowed and outlive the panel.
    THotKeyPanel(THotKeyManager& hotKeyManager, TSettingsTables& tables, QWidget* parent);

    void AssignHideHotKey();    // "Hotkey 01"
    void AssignRestoreHotKey(); // "Hotkey 02"
    void DeleteSelected();      // "Delete"

    // The value last taken from the recorder by an assign button.
    TShortCut RecordedHotKey() const { return recordedHotKey_; }

    // Shows which keys hide and restore now (the stored settings as the bound boxes hold them)
    // and the stored choice of hiding the mail window too.
    void ShowCurrentHotKeys();

    // Below the keys, the panel tells which path carries them on this desktop and, where only
    // the desktop's own shortcuts can, offers to add them there (borrowed; outlives the panel).
    void SetDesktopKeys(TDesktopKeys& desktopKeys);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AssignHotKey(const QString& column);
    // Places a widget of the panel on a new line below the others, the panel growing with it.
    void AppendLine(QWidget* widget);
    // "Add to the desktop's keyboard shortcuts": the stored hide and restore keys.
    void AddToDesktopShortcuts();

    // Focus leaves the recorder also while the window's widgets are destroyed, after the manager.
    QPointer<THotKeyManager> hotKeyManager_;
    TSettingsTables& tables_;
    TShortCut recordedHotKey_ = 0;
    int nextLineTop_ = 312; // below the setup texts
    THotKeyRecorder* hotKey1_;
    QListWidget* listBox1_;
    QLabel* hideKey_;
    QLabel* restoreKey_;
    QCheckBox* hideMailWindow_;
    TDesktopKeys* desktopKeys_ = nullptr;
    QLabel* keyPath_ = nullptr;
    QLabel* desktopShortcuts_ = nullptr;
};

} // namespace quietpane
