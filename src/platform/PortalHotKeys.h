#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QList>
#include <QMap>
#include <QObject>
#include <QVariantMap>

#include <functional>
#include <map>

#include "platform/SystemHotKeys.h"

namespace quietpane {

// One shortcut as the portal passes them, a(sa{sv}): its id and its properties.
struct TPortalShortcut {
    QString id;
    QVariantMap properties;
};
using TPortalShortcuts = QList<TPortalShortcut>;

// Hotkeys registered with the desktop through the shortcuts portal
// (org.freedesktop.portal.GlobalShortcuts), for Wayland sessions, where an X key grab sees
// only the keys typed into X11 windows. Every change of the registered keys binds them again in
// a new portal session; each key goes with its combination as the preferred trigger, which the
// desktop may change. A shortcut's Activated signal stands for the key's press: it is passed
// through the application's native event filters, as an X key press is, and translated back.
// Registration can't be refused synchronously here: the desktop decides which triggers it grants.
class TPortalHotKeys final : public QObject, public SystemHotKeys, protected QDBusContext {
    Q_OBJECT
public:
    // The bus is the session bus of the desktop, or a private one in tests.
    explicit TPortalHotKeys(const QDBusConnection& bus, QObject* parent = nullptr);
    ~TPortalHotKeys() override;
    TPortalHotKeys(const TPortalHotKeys&) = delete;
    TPortalHotKeys& operator=(const TPortalHotKeys&) = delete;

    // True when a portal on the bus serves the shortcuts interface.
    static bool Offered(const QDBusConnection& bus);

    bool RegisterHotKey(uint16_t id, uint16_t modifiers, uint16_t virtualKey) override;
    bool UnregisterHotKey(uint16_t id) override;
    std::optional<HotKeyMessage> TranslateHotKeyMessage(const QByteArray& eventType, void* message) override;

    // The keys as the desktop describes the triggers it granted ("Ctrl+Alt+H"), in the order of
    // registration; a key the desktop left without a trigger is missing.
    QStringList Triggers() const;
    // Raised when the desktop reports the triggers (after a binding, or a change by the user).
    std::function<void()> OnTriggersChanged;

private slots:
    void Response(uint response, const QVariantMap& results);
    void Activated(const QDBusMessage& message);
    void ShortcutsChanged(const QDBusMessage& message);

private:
    void ScheduleBinding();
    // Closes the session in force, then opens one for the registered keys and binds them.
    void Bind();
    void CreateSession();
    void BindShortcuts();
    void BindingDone();
    // The request has answered, or will not: its Response is not awaited any more.
    void StopListening(const QString& request);
    // Calls a portal method that answers through a Request object, whose Response goes to then.
    void CallWithRequest(const QString& method, const QVariantList& arguments, QVariantMap options,
                         std::function<void(const QVariantMap& results)> then);
    TPortalShortcuts Shortcuts() const;
    void TakeTriggers(const TPortalShortcuts& shortcuts);

    QDBusConnection bus_;
    // By hotkey id: the press it stands for.
    std::map<uint16_t, HotKeyMessage> keys_;
    // Trigger descriptions by shortcut id.
    QMap<QString, QString> triggers_;
    std::map<QString, std::function<void(const QVariantMap&)>> pendingRequests_;
    QString session_;
    int requests_ = 0;
    bool bindingScheduled_ = false;
    bool binding_ = false;
    bool bindAgain_ = false;
};

// True in a Wayland session (WAYLAND_DISPLAY set), where our windows run under XWayland and an X
// key grab fires only while one of them has the focus.
bool WaylandSession();

// The portal's hotkeys of this desktop session, owned by the application: on a Wayland session
// (WAYLAND_DISPLAY set) whose portal offers the shortcuts interface; null otherwise.
TPortalHotKeys* SessionPortalHotKeys();

} // namespace quietpane

Q_DECLARE_METATYPE(quietpane::TPortalShortcut)
Q_DECLARE_METATYPE(quietpane::TPortalShortcuts)
