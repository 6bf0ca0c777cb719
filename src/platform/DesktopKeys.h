#pragma once

#include <QString>

#include <functional>

#include "platform/SystemHotKeys.h"

namespace quietpane {

// What the hotkey panel tells and offers about the way the hotkeys reach this program on this
// desktop: an X11 key grab, the desktop's shortcuts portal, or the desktop's own keyboard
// shortcuts running the program's window commands.
class TDesktopKeys {
public:
    virtual ~TDesktopKeys() = default;

    // One line naming the path ("Keys are handled by the desktop: Ctrl+Alt+H, Ctrl+Alt+O").
    virtual QString PathText() const = 0;
    // True where only the desktop's own keyboard shortcuts can carry the keys: the panel then
    // offers to add them there.
    virtual bool OffersDesktopShortcuts() const = 0;
    // Adds (or updates) desktop shortcuts that hide and restore the window with these keys
    // (virtual key and MOD_* flags; id unused). Returns the text that tells what was done.
    virtual QString AddDesktopShortcuts(const HotKeyMessage& hide, const HotKeyMessage& restore) = 0;

    // Raised when PathText changes (the desktop reported the keys it granted).
    std::function<void()> OnChanged;
};

// The keys' path of this desktop session, owned by the application.
TDesktopKeys& SessionDesktopKeys();

} // namespace quietpane
