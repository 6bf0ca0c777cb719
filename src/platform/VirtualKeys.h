#pragma once

#include <cstdint>

#include <Qt>

namespace quietpane {

// Key combinations are stored with the virtual-key codes of the original desktop (0x48 = H,
// 0x70 = F1, 0x60 = numeric-pad 0, ...), so that stored values keep their meaning. This is
// the one place that translates them to Qt keys and X key symbols.

// The Qt key of a virtual key, or Qt::Key_unknown. Numeric-pad digits give the digit key;
// IsKeypadVirtualKey tells them apart.
Qt::Key QtKeyFromVirtualKey(uint16_t virtualKey);
bool IsKeypadVirtualKey(uint16_t virtualKey);

// The virtual key of a Qt key (keypad = the key came from the numeric pad), or 0 when there is none.
uint16_t VirtualKeyFromQtKey(Qt::Key key, bool keypad);

// The X key symbol of a virtual key, or 0 (NoSymbol) when there is none.
uint32_t KeySymFromVirtualKey(uint16_t virtualKey);

} // namespace quietpane
