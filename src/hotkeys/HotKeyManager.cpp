#include "hotkeys/HotKeyManager.h"

#include <exception>
#include <string>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEvent>

#include "platform/AtomTable.h"

namespace quietpane {

namespace {

// Runs every native event of the application through the manager; never swallows one.
class ApplicationHook final : public QAbstractNativeEventFilter {
public:
    explicit ApplicationHook(THotKeyManager& manager) : manager_(manager) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        return manager_.ApplicationWindowProc(eventType, message);
    }

private:
    THotKeyManager& manager_;
};

// Carries an exception out of a native event filter, where nothing may escape, into an
// ordinary event, so that it reaches the application's handler of escaping exceptions.
class EscapedExceptionEvent final : public QEvent {
public:
    static inline const QEvent::Type Id = static_cast<QEvent::Type>(QEvent::registerEventType());

    explicit EscapedExceptionEvent(std::exception_ptr exception)
        : QEvent(Id), exception_(std::move(exception))
    {
    }
    [[noreturn]] void Rethrow() const { std::rethrow_exception(exception_); }

private:
    std::exception_ptr exception_;
};

} // namespace

THotKeyManager::THotKeyManager(QObject* owner) : THotKeyManager(owner, DesktopHotKeys()) {}

THotKeyManager::THotKeyManager(QObject* owner, SystemHotKeys& system) : QObject(owner), System(system)
{
    HookApplicationWindow();
}

THotKeyManager::~THotKeyManager()
{
    ClearHotKeys();
    UnhookApplicationWindow();
}

THotKeyManager::TSplitShortCut THotKeyManager::SplitShortCut(TShortCut hotKey)
{
    TSplitShortCut split;
    split.virtualKey = hotKey & 0xFF;
    if (hotKey & scAlt) {
        split.modifiers |= MOD_ALT;
    }
    if (hotKey & scCtrl) {
        split.modifiers |= MOD_CONTROL;
    }
    if (hotKey & scShift) {
        split.modifiers |= MOD_SHIFT;
    }
    return split;
}

uint16_t THotKeyManager::AddHotKey(TShortCut hotKey)
{
    // While suspended, the system no longer sees this program's own combinations as taken.
    if (Suspended && IsHotKeyRegistered(hotKey)) {
        return 0;
    }
    const TSplitShortCut split = SplitShortCut(hotKey);
    const uint16_t id = GlobalAddAtom("HotKeyManagerHotKey" + std::to_string(hotKey));
    if (id == 0) {
        return 0;
    }
    if (!System.RegisterHotKey(id, split.modifiers, split.virtualKey)) {
        GlobalDeleteAtom(id);
        return 0;
    }
    if (Suspended) {
        System.UnregisterHotKey(id); // checked free; grabbed with the others on resuming
    }
    Entries.push_back(std::make_unique<TEntry>(TEntry{hotKey, id}));
    return id;
}

bool THotKeyManager::UnregisterEntry(const TEntry& entry)
{
    const bool ok = Suspended || System.UnregisterHotKey(entry.id);
    GlobalDeleteAtom(entry.id);
    return ok;
}

bool THotKeyManager::RemoveHotKey(TShortCut hotKey)
{
    for (auto entry = Entries.begin(); entry != Entries.end(); ++entry) {
        if ((*entry)->hotKey == hotKey) {
            const bool ok = UnregisterEntry(**entry);
            Entries.erase(entry);
            return ok;
        }
    }
    return false;
}

void THotKeyManager::ClearHotKeys()
{
    while (!Entries.empty()) {
        UnregisterEntry(*Entries.back());
        Entries.pop_back();
    }
}

bool THotKeyManager::IsHotKeyRegistered(TShortCut hotKey) const
{
    for (const auto& entry : Entries) {
        if (entry->hotKey == hotKey) {
            return true;
        }
    }
    return false;
}

void THotKeyManager::SuspendHotKeys()
{
    if (Suspended) {
        return;
    }
    for (const auto& entry : Entries) {
        System.UnregisterHotKey(entry->id);
    }
    Suspended = true;
}

void THotKeyManager::ResumeHotKeys()
{
    if (!Suspended) {
        return;
    }
    Suspended = false;
    for (auto entry = Entries.begin(); entry != Entries.end();) {
        const TSplitShortCut split = SplitShortCut((*entry)->hotKey);
        if (System.RegisterHotKey((*entry)->id, split.modifiers, split.virtualKey)) {
            ++entry;
        } else {
            GlobalDeleteAtom((*entry)->id);
            entry = Entries.erase(entry);
        }
    }
}

bool THotKeyManager::ApplicationWindowProc(const QByteArray& eventType, void* message)
{
    if (!OnHotKeyPressed) {
        return false;
    }
    const std::optional<HotKeyMessage> press = System.TranslateHotKeyMessage(eventType, message);
    if (!press) {
        return false;
    }
    // The Windows-key flag has no place in a TShortCut and is left out.
    TShortCut hotKey = press->virtualKey & 0xFF;
    if (press->modifiers & MOD_SHIFT) {
        hotKey |= scShift;
    }
    if (press->modifiers & MOD_CONTROL) {
        hotKey |= scCtrl;
    }
    if (press->modifiers & MOD_ALT) {
        hotKey |= scAlt;
    }
    if (IsHotKeyRegistered(hotKey)) {
        try {
            OnHotKeyPressed(hotKey, press->id);
        } catch (...) {
            QCoreApplication::postEvent(this, new EscapedExceptionEvent(std::current_exception()));
        }
    }
    return false;
}

bool THotKeyManager::event(QEvent* event)
{
    if (event->type() == EscapedExceptionEvent::Id) {
        static_cast<EscapedExceptionEvent*>(event)->Rethrow();
    }
    return QObject::event(event);
}

void THotKeyManager::HookApplicationWindow()
{
    HookProcInstance = std::make_unique<ApplicationHook>(*this);
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->installNativeEventFilter(HookProcInstance.get());
    }
}

void THotKeyManager::UnhookApplicationWindow()
{
    if (HookProcInstance) {
        if (QCoreApplication* application = QCoreApplication::instance()) {
            application->removeNativeEventFilter(HookProcInstance.get());
        }
        HookProcInstance.reset();
    }
}

} // namespace quietpane
