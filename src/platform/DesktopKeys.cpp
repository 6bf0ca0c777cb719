#include "platform/DesktopKeys.h"

#include <QCoreApplication>
#include <QDir>
#include <QObject>
#include <QPointer>
#include <QRegularExpression>

#include <stdexcept>

#include "platform/DesktopKeyNames.h"
#include "platform/GnomeShortcuts.h"
#include "platform/PortalHotKeys.h"

namespace quietpane {

namespace {

// A program path as the desktop's command line reads it (GLib's shell rules).
QString ShellQuoted(const QString& path)
{
    if (!path.contains(QRegularExpression(QStringLiteral("[^A-Za-z0-9_./+-]"))))
        return path;
    QString quoted = path;
    return QLatin1Char('\'') + quoted.replace(QLatin1Char('\''), QLatin1String("'\\''")) + QLatin1Char('\'');
}

class TSessionDesktopKeys final : public QObject, public TDesktopKeys {
public:
    explicit TSessionDesktopKeys(QObject* parent)
        : QObject(parent), portal_(SessionPortalHotKeys()), wayland_(WaylandSession())
    {
        if (portal_) {
            portal_->OnTriggersChanged = [this] {
                if (OnChanged)
                    OnChanged();
            };
        }
    }

    QString PathText() const override
    {
        if (portal_) {
            const QStringList triggers = portal_->Triggers();
            return triggers.isEmpty() ? QStringLiteral("Keys are handled by the desktop")
                                      : QStringLiteral("Keys are handled by the desktop: ") +
                                            triggers.join(QStringLiteral(", "));
        }
        if (wayland_)
            return QStringLiteral("Keys reach Quietpane only from X11 windows here");
        return QStringLiteral("Keys are grabbed through X11");
    }

    bool OffersDesktopShortcuts() const override { return !portal_ && wayland_; }

    QString AddDesktopShortcuts(const HotKeyMessage& hide, const HotKeyMessage& restore) override
    {
        const QString hideKeys = GnomeAccelerator(hide.modifiers, hide.virtualKey);
        const QString restoreKeys = GnomeAccelerator(restore.modifiers, restore.virtualKey);
        if (hideKeys.isEmpty() || restoreKeys.isEmpty())
            return QStringLiteral("Choose a hide key and a restore key first.");
        if (!TGnomeShortcuts::Available())
            return QStringLiteral(
                "This desktop keeps no custom keyboard shortcuts that Quietpane can write: "
                "bind \"quietpane --hide\" and \"quietpane --restore\" to keys in its settings.");
        const QString program =
            ShellQuoted(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
        try {
            const int added = TGnomeShortcuts().Write(
                {{TGnomeShortcuts::PathOf(QStringLiteral("quietpane-hide")), QStringLiteral("Hide Quietpane"),
                  program + QStringLiteral(" --hide"), hideKeys},
                 {TGnomeShortcuts::PathOf(QStringLiteral("quietpane-restore")),
                  QStringLiteral("Restore Quietpane"), program + QStringLiteral(" --restore"), restoreKeys}});
            return QStringLiteral(
                       "%1 the desktop's keyboard shortcuts \"Hide Quietpane\" and \"Restore Quietpane\", "
                       "which run \"quietpane --hide\" and \"quietpane --restore\".")
                .arg(added > 0 ? QStringLiteral("Added to") : QStringLiteral("Updated"));
        } catch (const std::runtime_error& failure) {
            return QStringLiteral("The desktop's keyboard shortcuts could not be changed: ") +
                   QString::fromStdString(failure.what());
        }
    }

private:
    TPortalHotKeys* portal_;
    bool wayland_;
};

} // namespace

TDesktopKeys& SessionDesktopKeys()
{
    static QPointer<TSessionDesktopKeys> keys;
    if (!keys)
        keys = new TSessionDesktopKeys(QCoreApplication::instance());
    return *keys;
}

} // namespace quietpane
