#include "platform/GnomeShortcuts.h"

#include <QProcess>

#include <stdexcept>
#include <utility>

namespace quietpane {

namespace {

const QString kListSchema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString kListKey = QStringLiteral("custom-keybindings");
const QString kShortcutSchema =
    QStringLiteral("org.gnome.settings-daemon.plugins.media-keys.custom-keybinding");

QString RunSettingsTool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("gsettings"), arguments);
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        const QString error = QString::fromLocal8Bit(tool.readAllStandardError()).trimmed();
        throw std::runtime_error(
            (error.isEmpty() ? QStringLiteral("gsettings %1 failed").arg(arguments.value(0)) : error)
                .toStdString());
    }
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// A text in GVariant's notation, as gsettings reads it: 'it\'s'.
QString GVariantString(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The strings of a GVariant array of strings in that notation ("@as []", "['a', 'b']").
QStringList ParseGVariantStrings(const QString& text)
{
    QStringList strings;
    QString current;
    QChar quote;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar character = text.at(at);
        if (quote.isNull()) {
            if (character == QLatin1Char('\'') || character == QLatin1Char('"'))
                quote = character;
        } else if (character == QLatin1Char('\\') && at + 1 < text.size()) {
            current += text.at(++at);
        } else if (character == quote) {
            strings.append(std::exchange(current, QString()));
            quote = QChar();
        } else {
            current += character;
        }
    }
    return strings;
}

} // namespace

bool TGnomeShortcuts::Available()
{
    try {
        return RunSettingsTool({QStringLiteral("list-schemas")})
            .split(QLatin1Char('\n'))
            .contains(kListSchema);
    } catch (const std::runtime_error&) {
        return false;
    }
}

QString TGnomeShortcuts::PathOf(const QString& name)
{
    return QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/") + name +
           QLatin1Char('/');
}

int TGnomeShortcuts::Write(const std::vector<TShortcut>& shortcuts) const
{
    // The shortcut's own settings come first: the desktop takes it up once it is listed.
    for (const TShortcut& shortcut : shortcuts) {
        const QString schema = kShortcutSchema + QLatin1Char(':') + shortcut.path;
        RunSettingsTool(
            {QStringLiteral("set"), schema, QStringLiteral("name"), GVariantString(shortcut.name)});
        RunSettingsTool(
            {QStringLiteral("set"), schema, QStringLiteral("command"), GVariantString(shortcut.command)});
        RunSettingsTool(
            {QStringLiteral("set"), schema, QStringLiteral("binding"), GVariantString(shortcut.binding)});
    }
    QStringList listed = ListedPaths();
    int added = 0;
    for (const TShortcut& shortcut : shortcuts) {
        if (!listed.contains(shortcut.path)) {
            listed.append(shortcut.path);
            ++added;
        }
    }
    if (added > 0) {
        QStringList quoted;
        for (const QString& path : listed)
            quoted.append(GVariantString(path));
        RunSettingsTool({QStringLiteral("set"), kListSchema, kListKey,
                         QLatin1Char('[') + quoted.join(QStringLiteral(", ")) + QLatin1Char(']')});
    }
    return added;
}

QStringList TGnomeShortcuts::ListedPaths() const
{
    return ParseGVariantStrings(RunSettingsTool({QStringLiteral("get"), kListSchema, kListKey}));
}

QString TGnomeShortcuts::Value(const QString& path, const QString& key) const
{
    const QStringList value = ParseGVariantStrings(
        RunSettingsTool({QStringLiteral("get"), kShortcutSchema + QLatin1Char(':') + path, key}));
    return value.value(0);
}

} // namespace quietpane
