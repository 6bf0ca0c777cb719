#include "hotkeys/HotKeyRecorder.h"

#include <QKeyEvent>

#include "platform/VirtualKeys.h"

namespace quietpane {

THotKeyRecorder::THotKeyRecorder(QWidget* parent) : QKeySequenceEdit(parent) {}

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

// The base class records up to four combinations and finishes a second after the last key;
// a hotkey is one combination, taken as soon as its key goes down.
void THotKeyRecorder::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    switch (event->key()) {
    case Qt::Key_Control:
    case Qt::Key_Shift:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
    case Qt::Key_unknown:
        return; // wait for the key itself
    default:
        break;
    }
    const TShortCut hotKey =
        ShortCutFromKeyCombination(QKeyCombination(event->modifiers(), static_cast<Qt::Key>(event->key())));
    SetHotKey(hotKey);
    if (hotKey != 0) {
        emit editingFinished();
    }
}

void THotKeyRecorder::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
}

} // namespace quietpane
