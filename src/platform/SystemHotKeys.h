#pragma once

#include <cstdint>
#include <optional>

#include <QByteArray>

namespace quietpane {

// Modifier flags of a system hotkey, as the hotkey message carries them.
enum HotKeyModifier : uint16_t {
    MOD_ALT = 1,
    MOD_CONTROL = 2,
    MOD_SHIFT = 4,
    MOD_WIN = 8,
};

// One press of a registered hotkey: the id it was registered with, its modifier flags and its
// virtual key (the message's wParam and the two words of its lParam).
struct HotKeyMessage {
    uint16_t id = 0;
    uint16_t modifiers = 0;
    uint16_t virtualKey = 0;
};

// The system's registry of hotkeys of this program. Registration is process-wide: a
// combination held by this program (through any id) or by another program can't be
// registered again.
class SystemHotKeys {
public:
    virtual ~SystemHotKeys() = default;

    virtual bool RegisterHotKey(uint16_t id, uint16_t modifiers, uint16_t virtualKey) = 0;
    virtual bool UnregisterHotKey(uint16_t id) = 0;
    // The hotkey press that a native event of the application stands for, if it is one.
    virtual std::optional<HotKeyMessage> TranslateHotKeyMessage(const QByteArray& eventType,
                                                                void* message) = 0;
};

// The hotkeys of this desktop session: X11 key grabs on the root window through the
// application's X connection, or a registry that refuses everything when the application
// has no X connection (no QGuiApplication, offscreen, Wayland-only).
SystemHotKeys& DesktopHotKeys();

} // namespace quietpane
