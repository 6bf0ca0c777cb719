#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QObject>

#include "platform/SystemHotKeys.h"

class QAbstractNativeEventFilter;

namespace quietpane {

// Key combination: low byte the virtual-key code, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;

using TOnHotKeyPressed = std::function<void(TShortCut hotKey, uint16_t index)>;

// Registers key combinations as system-wide hotkeys and raises OnHotKeyPressed when one of
// them is pressed, whichever program has the keyboard focus. Presses arrive through a native
// event filter on the application, installed for the manager's whole life.
class THotKeyManager : public QObject {
public:
    // Uses the desktop's hotkeys.
    explicit THotKeyManager(QObject* owner = nullptr);
    // Uses the given hotkey registry, which must outlive the manager.
    THotKeyManager(QObject* owner, SystemHotKeys& system);
    ~THotKeyManager() override;
    THotKeyManager(const THotKeyManager&) = delete;
    THotKeyManager& operator=(const THotKeyManager&) = delete;

    // The id of the new hotkey (an atom id, from 0xC000), 0 when the combination can't be registered.
    uint16_t AddHotKey(TShortCut hotKey);
    // True when the combination was unregistered.
    bool RemoveHotKey(TShortCut hotKey);
    void ClearHotKeys();
    bool IsHotKeyRegistered(TShortCut hotKey) const;

    // Lets the keys of every registered combination through to the focused window (for a
    // recorder to take them) until ResumeHotKeys grabs them again; the registrations, their ids
    // and IsHotKeyRegistered stay. A combination that someone else grabbed meanwhile is dropped.
    void SuspendHotKeys();
    void ResumeHotKeys();
    bool HotKeysSuspended() const { return Suspended; }

    struct TSplitShortCut {
        uint16_t virtualKey = 0;
        uint16_t modifiers = 0; // MOD_ALT, MOD_CONTROL, MOD_SHIFT
    };
    static TSplitShortCut SplitShortCut(TShortCut hotKey);

    // Handles one native event of the application; false lets it continue on its way.
    // An exception escaping OnHotKeyPressed is thrown again from an event posted to the
    // manager, so it reaches the application's handler of escaping exceptions.
    bool ApplicationWindowProc(const QByteArray& eventType, void* message);

    TOnHotKeyPressed OnHotKeyPressed;

protected:
    bool event(QEvent* event) override;

private:
    struct TEntry {
        TShortCut hotKey = 0;
        uint16_t id = 0;
    };

    bool UnregisterEntry(const TEntry& entry);
    void HookApplicationWindow();
    void UnhookApplicationWindow();

    SystemHotKeys& System;
    std::vector<std::unique_ptr<TEntry>> Entries;
    std::unique_ptr<QAbstractNativeEventFilter> HookProcInstance;
    bool Suspended = false;
};

} // namespace quietpane
