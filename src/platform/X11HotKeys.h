#pragma once

#include <vector>

#include <xcb/xcb.h>

#include "platform/SystemHotKeys.h"

namespace quietpane {

// Hotkeys as passive key grabs on the root window of one X connection. Each registration
// grabs the key with its modifiers four times, alone and with NumLock, CapsLock or both
// added, so that the lock keys do not disable it. A grab that the server refuses (another
// client holds the combination) undoes the grabs already made and fails the registration.
class X11HotKeys final : public SystemHotKeys {
public:
    // The connection is borrowed. Grabs still held at destruction end with the connection.
    explicit X11HotKeys(xcb_connection_t* connection);
    ~X11HotKeys() override;
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    bool RegisterHotKey(uint16_t id, uint16_t modifiers, uint16_t virtualKey) override;
    bool UnregisterHotKey(uint16_t id) override;
    std::optional<HotKeyMessage> TranslateHotKeyMessage(const QByteArray& eventType, void* message) override;

    xcb_connection_t* Connection() const { return connection_; }
    // The key that carries the virtual key's symbol in the server's keymap, 0 when there is none.
    xcb_keycode_t KeyCodeOfVirtualKey(uint16_t virtualKey) const;

private:
    struct Grab {
        HotKeyMessage hotKey;
        xcb_keycode_t keyCode = 0;
        uint16_t keyModifiers = 0; // X modifier mask without the lock keys
    };

    xcb_keycode_t KeyCodeOf(uint32_t keySym) const;
    uint16_t NumLockMask() const;
    std::vector<uint16_t> LockVariants(uint16_t keyModifiers) const;
    void Ungrab(xcb_keycode_t keyCode, const std::vector<uint16_t>& variants);

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_NONE;
    uint16_t numLockMask_ = 0;
    std::vector<Grab> grabs_;
};

} // namespace quietpane
