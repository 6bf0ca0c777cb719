#pragma once

#include <cstdint>

#include <QString>

namespace quietpane {

// A hotkey (virtual key and MOD_* flags) in the notations the desktops read. Both name the key
// by its X key symbol ("h", "F1", "KP_0"); empty when the virtual key has no symbol.

// The shortcuts portal's trigger notation: "CTRL+ALT+h".
QString PortalTrigger(uint16_t modifiers, uint16_t virtualKey);

// GTK's accelerator notation, as GNOME's keyboard settings store it: "<Control><Alt>h".
QString GnomeAccelerator(uint16_t modifiers, uint16_t virtualKey);

} // namespace quietpane
