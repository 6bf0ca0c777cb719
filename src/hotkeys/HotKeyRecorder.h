#pragma once

#include <QKeySequenceEdit>

#include "hotkeys/HotKeyManager.h"

namespace quietpane {

// Records one key combination for a hotkey. Combinations without a modifier or with Shift
// alone are refused (the recorder stays empty), as are keys that have no virtual-key code;
// the Windows key is not recorded. Of several combinations typed in a row the first is kept.
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

private:
    void KeepFirstValidCombination(const QKeySequence& sequence);
};

} // namespace quietpane
