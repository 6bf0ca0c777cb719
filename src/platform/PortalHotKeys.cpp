#include "platform/PortalHotKeys.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QPointer>
#include <QTimer>

#include "platform/DesktopKeyNames.h"

namespace quietpane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
// The desktop keeps the keys a user changed under the session's token: the same one every run.
const QString kSessionToken = QStringLiteral("quietpane");
// What a shortcut's activation travels as through the application's native event filters.
const QByteArray kActivationEventType = QByteArrayLiteral("quietpane_portal_activation");

QString ShortcutId(const HotKeyMessage& key)
{
    return QStringLiteral("hotkey-%1-%2").arg(key.modifiers).arg(key.virtualKey);
}

// Ending a session drops the keys the desktop bound for it.
QDBusMessage CloseSession(const QString& session)
{
    return QDBusMessage::createMethodCall(kService, session, QStringLiteral("org.freedesktop.portal.Session"),
                                          QStringLiteral("Close"));
}

} // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const TPortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TPortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

TPortalHotKeys::TPortalHotKeys(const QDBusConnection& bus, QObject* parent) : QObject(parent), bus_(bus)
{
    qDBusRegisterMetaType<TPortalShortcut>();
    qDBusRegisterMetaType<TPortalShortcuts>();
    // The signals' arguments are read from the messages: a slot with D-Bus types of their own
    // would need their names registered with Qt's type system first.
    bus_.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                 SLOT(Activated(QDBusMessage)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ShortcutsChanged"), this,
                 SLOT(ShortcutsChanged(QDBusMessage)));
}

TPortalHotKeys::~TPortalHotKeys()
{
    // The desktop drops the session's keys with it; nothing waits for the answer.
    if (!session_.isEmpty()) {
        bus_.call(CloseSession(session_), QDBus::NoBlock);
    }
}

bool TPortalHotKeys::Offered(const QDBusConnection& bus)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kInterface << QStringLiteral("version");
    return bus.isConnected() && bus.call(get, QDBus::Block, 2000).type() == QDBusMessage::ReplyMessage;
}

bool TPortalHotKeys::RegisterHotKey(uint16_t id, uint16_t modifiers, uint16_t virtualKey)
{
    const HotKeyMessage key{id, modifiers, virtualKey};
    if (keys_.count(id) != 0 || PortalTrigger(modifiers, virtualKey).isEmpty())
        return false;
    keys_[id] = key;
    ScheduleBinding();
    return true;
}

bool TPortalHotKeys::UnregisterHotKey(uint16_t id)
{
    if (keys_.erase(id) == 0)
        return false;
    ScheduleBinding();
    return true;
}

std::optional<HotKeyMessage> TPortalHotKeys::TranslateHotKeyMessage(const QByteArray& eventType,
                                                                    void* message)
{
    if (eventType != kActivationEventType)
        return std::nullopt;
    return *static_cast<const HotKeyMessage*>(message);
}

QStringList TPortalHotKeys::Triggers() const
{
    QStringList triggers;
    for (const auto& [id, key] : keys_) {
        const QString trigger = triggers_.value(ShortcutId(key));
        if (!trigger.isEmpty())
            triggers.append(trigger);
    }
    return triggers;
}

// The keys registered one after the other (at start, on resuming) go to the desktop together.
void TPortalHotKeys::ScheduleBinding()
{
    if (std::exchange(bindingScheduled_, true))
        return;
    QTimer::singleShot(0, this, [this] {
        bindingScheduled_ = false;
        Bind();
    });
}

void TPortalHotKeys::Bind()
{
    if (binding_) {
        bindAgain_ = true;
        return;
    }
    binding_ = true;
    triggers_.clear();
    if (session_.isEmpty()) {
        CreateSession();
        return;
    }
    // The session's token is used again, so the old session must be gone first.
    auto* watcher =
        new QDBusPendingCallWatcher(bus_.asyncCall(CloseSession(std::exchange(session_, QString()))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        CreateSession();
    });
}

void TPortalHotKeys::CreateSession()
{
    if (keys_.empty()) {
        BindingDone();
        return;
    }
    // Some desktops (KDE Plasma 5.27) register only the shortcuts named at the session's creation.
    CallWithRequest(QStringLiteral("CreateSession"), {},
                    {{QStringLiteral("session_handle_token"), kSessionToken},
                     {QStringLiteral("shortcuts"), QVariant::fromValue(Shortcuts())}},
                    [this](const QVariantMap& results) {
                        session_ = results.value(QStringLiteral("session_handle")).toString();
                        if (session_.isEmpty())
                            BindingDone();
                        else
                            BindShortcuts();
                    });
}

void TPortalHotKeys::BindShortcuts()
{
    CallWithRequest(
        QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(Shortcuts()), QString()}, {},
        [this](const QVariantMap& results) {
            const QVariant shortcuts = results.value(QStringLiteral("shortcuts"));
            if (shortcuts.canConvert<QDBusArgument>())
                TakeTriggers(qdbus_cast<TPortalShortcuts>(shortcuts.value<QDBusArgument>()));
            BindingDone();
        });
}

void TPortalHotKeys::BindingDone()
{
    binding_ = false;
    if (std::exchange(bindAgain_, false))
        Bind();
}

void TPortalHotKeys::CallWithRequest(const QString& method, const QVariantList& arguments,
                                     QVariantMap options,
                                     std::function<void(const QVariantMap& results)> then)
{
    // The Request's path follows from the caller's bus name and the token, so its Response is
    // listened to before the call: a quick portal may answer before the call returns.
    const QString token = QStringLiteral("quietpane%1").arg(++requests_);
    QString sender = bus_.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString request = kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    pendingRequests_[request] = std::move(then);
    bus_.connect(kService, request, kRequestInterface, QStringLiteral("Response"), this,
                 SLOT(Response(uint, QVariantMap)));
    options.insert(QStringLiteral("handle_token"), token);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(QVariantList() << arguments << QVariant(options));
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, request] {
        watcher->deleteLater();
        if (watcher->isError() && pendingRequests_.erase(request) != 0) {
            StopListening(request);
            BindingDone();
        }
    });
}

void TPortalHotKeys::StopListening(const QString& request)
{
    bus_.disconnect(kService, request, kRequestInterface, QStringLiteral("Response"), this,
                    SLOT(Response(uint, QVariantMap)));
}

void TPortalHotKeys::Response(uint response, const QVariantMap& results)
{
    const QString request = message().path();
    const auto pending = pendingRequests_.find(request);
    if (pending == pendingRequests_.end())
        return;
    const std::function<void(const QVariantMap&)> then = std::move(pending->second);
    pendingRequests_.erase(pending);
    StopListening(request);
    // 0 is success; the user's cancel (1) or a failure (2) leaves the keys unbound.
    if (response == 0)
        then(results);
    else
        BindingDone();
}

void TPortalHotKeys::Activated(const QDBusMessage& message)
{
    // (o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || arguments[0].value<QDBusObjectPath>().path() != session_)
        return;
    const QString shortcutId = arguments[1].toString();
    for (const auto& [id, key] : keys_) {
        if (ShortcutId(key) == shortcutId) {
            HotKeyMessage press = key;
            qintptr result = 0;
            if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
                dispatcher->filterNativeEvent(kActivationEventType, &press, &result);
            return;
        }
    }
}

void TPortalHotKeys::ShortcutsChanged(const QDBusMessage& message)
{
    // (o session_handle, a(sa{sv}) shortcuts)
    const QVariantList arguments = message.arguments();
    if (arguments.size() == 2 && arguments[0].value<QDBusObjectPath>().path() == session_ &&
        arguments[1].canConvert<QDBusArgument>())
        TakeTriggers(qdbus_cast<TPortalShortcuts>(arguments[1].value<QDBusArgument>()));
}

TPortalShortcuts TPortalHotKeys::Shortcuts() const
{
    TPortalShortcuts shortcuts;
    for (const auto& [id, key] : keys_) {
        const QString trigger = PortalTrigger(key.modifiers, key.virtualKey);
        shortcuts.append(
            {ShortcutId(key),
             {{QStringLiteral("description"), QStringLiteral("Quietpane hotkey %1").arg(trigger)},
              {QStringLiteral("preferred_trigger"), trigger}}});
    }
    return shortcuts;
}

void TPortalHotKeys::TakeTriggers(const TPortalShortcuts& shortcuts)
{
    triggers_.clear();
    for (const TPortalShortcut& shortcut : shortcuts)
        triggers_[shortcut.id] = shortcut.properties.value(QStringLiteral("trigger_description")).toString();
    if (OnTriggersChanged)
        OnTriggersChanged();
}

bool WaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

TPortalHotKeys* SessionPortalHotKeys()
{
    static const bool wanted = WaylandSession() && TPortalHotKeys::Offered(QDBusConnection::sessionBus());
    if (!wanted)
        return nullptr;
    static QPointer<TPortalHotKeys> portal;
    if (!portal && QCoreApplication::instance() != nullptr)
        portal = new TPortalHotKeys(QDBusConnection::sessionBus(), QCoreApplication::instance());
    return portal;
}

} // namespace quietpane
