#include "hotkeys/HotKeyRecorder.h"

#include "platform/VirtualKeys.h"

namespace quietpane {

THotKeyRecorder::THotKeyRecorder(QWidget* parent) : QKeySequenceEdit(parent)
{
    connect(this, &QKeySequenceEdit::keySequenceChanged, this, &THotKeyRecorder::KeepFirstValidCombination);
}

TShortCut THotKeyRecorder::HotKey() const
{
    const QKeySequence sequence = keySequence();
    return sequence.isEmpty() ? 0 : ShortCutFromKeyCombination(sequence[0]);
}

void THotKeyRecorder::SetHotKey(TShortCut hotKey)
{
    if (hotKey == 0) {
        clear();
    } else {
        setKeySequence(QKeySequence(KeyCombinationFromShortCut(hotKey)));
    }
}

void THotKeyRecorder::Clear()
{
    clear();
}

TShortCut THotKeyRecorder::ShortCutFromKeyCombination(QKeyCombination combination)
{
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    if (!(modifiers & (Qt::ControlModifier | Qt::AltModifier))) {
        return 0;
    }
    const uint16_t virtualKey =
        VirtualKeyFromQtKey(combination.key(), modifiers.testFlag(Qt::KeypadModifier));
    if (virtualKey == 0) {
        return 0;
    }
    TShortCut hotKey = virtualKey;
    if (modifiers & Qt::ShiftModifier) {
        hotKey |= scShift;
    }
    if (modifiers & Qt::ControlModifier) {
        hotKey |= scCtrl;
    }
    if (modifiers & Qt::AltModifier) {
        hotKey |= scAlt;
    }
    return hotKey;
}

QKeyCombination THotKeyRecorder::KeyCombinationFromShortCut(TShortCut hotKey)
{
    const uint16_t virtualKey = hotKey & 0xFF;
    Qt::KeyboardModifiers modifiers;
    if (hotKey & scShift) {
        modifiers |= Qt::ShiftModifier;
    }
    if (hotKey & scCtrl) {
        modifiers |= Qt::ControlModifier;
    }
    if (hotKey & scAlt) {
        modifiers |= Qt::AltModifier;
    }
    if (IsKeypadVirtualKey(virtualKey)) {
        modifiers |= Qt::KeypadModifier;
    }
    return QKeyCombination(modifiers, QtKeyFromVirtualKey(virtualKey));
}

void THotKeyRecorder::KeepFirstValidCombination(const QKeySequence& sequence)
{
    if (sequence.isEmpty()) {
        return;
    }
    const TShortCut first = ShortCutFromKeyCombination(sequence[0]);
    if (first == 0) {
        clear();
        return;
    }
    // Shown as recorded from the stored value: the Windows key is dropped, later combinations too.
    const QKeySequence kept(KeyCombinationFromShortCut(first));
    if (kept != sequence) {
        setKeySequence(kept);
    }
}

} // namespace quietpane
