#pragma once

#include <QString>

#include "hotkeys/HotKeyManager.h"

namespace quietpane {

// "Shift+", "Ctrl+", "Alt+" in this order for the modifiers present, then the key's name:
// 49224 gives "Ctrl+Alt+H". 0 gives an empty text.
QString ShortCutText(TShortCut shortCut);

} // namespace quietpane
