#pragma once

#include <QKeySequenceEdit>

#include "hotkeys/HotKeyManager.h"

namespace quietpane {

// Records one key combination for a hotkey; each combination pressed replaces the one before.
// Combinations without a modifier or with Shift alone are refused (the recorder is left
// empty), as are keys that have no virtual-key code; the Windows key is not recorded.
class THotKeyRecorder : public QKeySequenceEdit {
public:
    explicit THotKeyRecorder(QWidget* parent = nullptr);

    // The recorded combination, 0 when empty.
    TShortCut HotKey() const;
    void SetHotKey(TShortCut hotKey);
    void Clear();

    // The combination a Qt key combination stands for, 0 when it has none or is refused.
    static TShortCut ShortCutFromKeyCombination(QKeyCombination combination);
    static QKeyCombination KeyCombinationFromShortCut(TShortCut hotKey);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};

} // namespace quietpane
