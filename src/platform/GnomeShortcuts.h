#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace quietpane {

// GNOME's custom keyboard shortcuts (org.gnome.settings-daemon.plugins.media-keys), written
// through the desktop's own settings tool, gsettings, so that they land wherever the desktop
// keeps its settings. Each shortcut lives at a path of its own; writing one again replaces its
// name, command and keys, so it is never listed twice.
class TGnomeShortcuts {
public:
    struct TShortcut {
        QString path; // ".../custom-keybindings/<name>/"
        QString name;
        QString command;
        QString binding; // "<Control><Alt>h"
    };

    // Whether the settings tool and the schema are here (a GNOME desktop's packages).
    static bool Available();
    // Below the folder GNOME keeps the custom shortcuts in: ".../custom-keybindings/" + name + "/".
    static QString PathOf(const QString& name);

    // Adds the shortcuts to the desktop's list or updates them. Returns the number of them that
    // were new; throws std::runtime_error with the tool's message when the settings can't be written.
    int Write(const std::vector<TShortcut>& shortcuts) const;

    // The paths the desktop lists as custom shortcuts, and a value of one of them (for checks).
    QStringList ListedPaths() const;
    QString Value(const QString& path, const QString& key) const;
};

} // namespace quietpane
