#include "platform/X11HotKeys.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#define XK_MISCELLANY
#include <X11/keysymdef.h>

#include "platform/PortalHotKeys.h"
#include "platform/VirtualKeys.h"
#include "platform/X11Connection.h"

namespace quietpane {

namespace {

constexpr uint16_t relevantModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 |
                                       XCB_MOD_MASK_2 | XCB_MOD_MASK_3 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5;

uint16_t KeyModifiersOf(uint16_t modifiers)
{
    uint16_t mask = 0;
    if (modifiers & MOD_SHIFT) {
        mask |= XCB_MOD_MASK_SHIFT;
    }
    if (modifiers & MOD_CONTROL) {
        mask |= XCB_MOD_MASK_CONTROL;
    }
    if (modifiers & MOD_ALT) {
        mask |= XCB_MOD_MASK_1;
    }
    if (modifiers & MOD_WIN) {
        mask |= XCB_MOD_MASK_4;
    }
    return mask;
}

} // namespace

X11HotKeys::X11HotKeys(xcb_connection_t* connection) : connection_(connection)
{
    if (connection_ == nullptr || xcb_connection_has_error(connection_)) {
        connection_ = nullptr;
        return;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    root_ = screen != nullptr ? screen->root : XCB_NONE;
    numLockMask_ = NumLockMask();
}

// Grabs still held end with the connection: it may be gone already.
X11HotKeys::~X11HotKeys() = default;

bool X11HotKeys::RegisterHotKey(uint16_t id, uint16_t modifiers, uint16_t virtualKey)
{
    if (connection_ == nullptr || root_ == XCB_NONE) {
        return false;
    }
    const xcb_keycode_t keyCode = KeyCodeOfVirtualKey(virtualKey);
    if (keyCode == 0) {
        return false;
    }
    const uint16_t keyModifiers = KeyModifiersOf(modifiers);
    const bool heldHere = std::any_of(grabs_.begin(), grabs_.end(), [&](const Grab& grab) {
        return grab.keyCode == keyCode && grab.keyModifiers == keyModifiers;
    });
    if (heldHere) {
        return false;
    }
    if (!GrabAllVariants(keyCode, keyModifiers)) {
        return false;
    }
    grabs_.push_back(Grab{HotKeyMessage{id, modifiers, virtualKey}, keyCode, keyModifiers});
    return true;
}

bool X11HotKeys::GrabAllVariants(xcb_keycode_t keyCode, uint16_t keyModifiers)
{
    // A grab of a combination another client holds fails with BadAccess; it is only seen
    // when each grab is checked before the next one is made. Without owner events the press
    // always comes to the root window, never to a focused window of this program as well.
    std::vector<uint16_t> made;
    for (const uint16_t variant : LockVariants(keyModifiers)) {
        const xcb_void_cookie_t cookie = xcb_grab_key_checked(connection_, 0, root_, variant, keyCode,
                                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (XcbReply<xcb_generic_error_t> error{xcb_request_check(connection_, cookie)}) {
            Ungrab(keyCode, made);
            return false;
        }
        made.push_back(variant);
    }
    return true;
}

// The keys are grabbed by their codes: when the keyboard mapping changes (another layout),
// the same virtual keys are grabbed again on the keys that carry them now. A hotkey whose
// key is gone, or that another client holds by now, stays registered without a grab.
void X11HotKeys::FollowKeyboardMapping()
{
    for (const Grab& grab : grabs_) {
        if (grab.keyCode != 0) {
            Ungrab(grab.keyCode, LockVariants(grab.keyModifiers));
        }
    }
    numLockMask_ = NumLockMask();
    for (Grab& grab : grabs_) {
        const xcb_keycode_t keyCode = KeyCodeOfVirtualKey(grab.hotKey.virtualKey);
        grab.keyCode = keyCode != 0 && GrabAllVariants(keyCode, grab.keyModifiers) ? keyCode : 0;
    }
}

bool X11HotKeys::UnregisterHotKey(uint16_t id)
{
    const auto found =
        std::find_if(grabs_.begin(), grabs_.end(), [id](const Grab& grab) { return grab.hotKey.id == id; });
    if (found == grabs_.end()) {
        return false;
    }
    if (found->keyCode != 0) {
        Ungrab(found->keyCode, LockVariants(found->keyModifiers));
    }
    grabs_.erase(found);
    return true;
}

std::optional<HotKeyMessage> X11HotKeys::TranslateHotKeyMessage(const QByteArray& eventType, void* message)
{
    if (connection_ == nullptr || message == nullptr || eventType != "xcb_generic_event_t") {
        return std::nullopt;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & 0x7F;
    if (type == XCB_MAPPING_NOTIFY) {
        if (static_cast<const xcb_mapping_notify_event_t*>(message)->request != XCB_MAPPING_POINTER) {
            FollowKeyboardMapping();
        }
        return std::nullopt;
    }
    if (type != XCB_KEY_PRESS) {
        return std::nullopt;
    }
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    if (press->root != root_) {
        return std::nullopt;
    }
    const uint16_t keyModifiers = press->state & relevantModifiers & ~numLockMask_;
    for (const Grab& grab : grabs_) {
        if (grab.keyCode != 0 && grab.keyCode == press->detail && grab.keyModifiers == keyModifiers) {
            return grab.hotKey;
        }
    }
    return std::nullopt;
}

xcb_keycode_t X11HotKeys::KeyCodeOfVirtualKey(uint16_t virtualKey) const
{
    return connection_ != nullptr ? KeyCodeOfKeySym(connection_, KeySymFromVirtualKey(virtualKey)) : 0;
}

xcb_keycode_t KeyCodeOfKeySym(xcb_connection_t* connection, uint32_t keySym)
{
    if (keySym == 0) {
        return 0;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    XcbReply<xcb_get_keyboard_mapping_reply_t> mapping{xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, count), nullptr)};
    if (!mapping || mapping->keysyms_per_keycode == 0) {
        return 0;
    }
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perKey = mapping->keysyms_per_keycode;
    // The key that carries the symbol without Shift is the one to grab; a symbol reachable
    // only with Shift (or another level) still names its key.
    for (int level = 0; level < perKey; ++level) {
        for (int key = 0; key < count; ++key) {
            if (symbols[key * perKey + level] == keySym) {
                return static_cast<xcb_keycode_t>(setup->min_keycode + key);
            }
        }
    }
    return 0;
}

uint16_t X11HotKeys::NumLockMask() const
{
    const xcb_keycode_t numLock = KeyCodeOfKeySym(connection_, XK_Num_Lock);
    XcbReply<xcb_get_modifier_mapping_reply_t> mapping{
        xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr)};
    if (numLock == 0 || !mapping) {
        return XCB_MOD_MASK_2;
    }
    const xcb_keycode_t* keyCodes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int index = 0; index < perModifier; ++index) {
            if (keyCodes[modifier * perModifier + index] == numLock) {
                return static_cast<uint16_t>(1U << modifier);
            }
        }
    }
    return XCB_MOD_MASK_2;
}

std::vector<uint16_t> X11HotKeys::LockVariants(uint16_t keyModifiers) const
{
    return {keyModifiers, static_cast<uint16_t>(keyModifiers | numLockMask_),
            static_cast<uint16_t>(keyModifiers | XCB_MOD_MASK_LOCK),
            static_cast<uint16_t>(keyModifiers | numLockMask_ | XCB_MOD_MASK_LOCK)};
}

void X11HotKeys::Ungrab(xcb_keycode_t keyCode, const std::vector<uint16_t>& variants)
{
    for (const uint16_t variant : variants) {
        xcb_ungrab_key(connection_, keyCode, root_, variant);
    }
    // A round trip: once it returns the server has released the keys, so another client may
    // take them at once.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

namespace {

// The registry of a process without an X connection: every registration fails.
class NoHotKeys final : public SystemHotKeys {
public:
    bool RegisterHotKey(uint16_t, uint16_t, uint16_t) override { return false; }
    bool UnregisterHotKey(uint16_t) override { return false; }
    std::optional<HotKeyMessage> TranslateHotKeyMessage(const QByteArray&, void*) override
    {
        return std::nullopt;
    }
};

} // namespace

SystemHotKeys& DesktopHotKeys()
{
    static NoHotKeys none;
    // One per connection: an application made again (as tests do) brings a new connection.
    static std::unique_ptr<X11HotKeys> desktop;
    // Under XWayland a grab sees only the keys typed into X11 windows: the desktop takes the keys.
    if (TPortalHotKeys* portal = SessionPortalHotKeys()) {
        return *portal;
    }
    xcb_connection_t* connection = ApplicationX11Connection();
    if (connection == nullptr) {
        return none;
    }
    if (!desktop || desktop->Connection() != connection) {
        desktop = std::make_unique<X11HotKeys>(connection);
    }
    return *desktop;
}

} // namespace quietpane
