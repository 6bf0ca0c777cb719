// The keys in the desktops' notations, and GNOME's custom shortcuts written through the real
// settings tool and schema into a keyfile settings store of a temporary home.

#include "platform/DesktopKeys.h"
#include "platform/DesktopKeyNames.h"
#include "platform/GnomeShortcuts.h"

#include "support/QtTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace quietpane;

namespace {

struct TNotationCase {
    uint16_t modifiers;
    uint16_t virtualKey;
    const char* portal;
    const char* gnome;
};

TEST(DesktopKeyNamesTest, NameTheKeysAsThePortalAndGnomeReadThem)
{
    for (const TNotationCase& key :
         {TNotationCase{MOD_CONTROL | MOD_ALT, 'H', "CTRL+ALT+h", "<Control><Alt>h"},
          TNotationCase{MOD_SHIFT, 0x70, "SHIFT+F1", "<Shift>F1"},
          TNotationCase{MOD_ALT | MOD_SHIFT, 0x60, "SHIFT+ALT+KP_0", "<Shift><Alt>KP_0"},
          TNotationCase{MOD_CONTROL, '7', "CTRL+7", "<Control>7"},
          TNotationCase{MOD_CONTROL, 0x0D, "CTRL+Return", "<Control>Return"},
          TNotationCase{MOD_CONTROL, 0xFF, "", ""}}) {
        EXPECT_EQ(PortalTrigger(key.modifiers, key.virtualKey), QString::fromLatin1(key.portal))
            << key.portal;
        EXPECT_EQ(GnomeAccelerator(key.modifiers, key.virtualKey), QString::fromLatin1(key.gnome))
            << key.gnome;
    }
}

// A GNOME session on Wayland whose portal offers no shortcuts: the panel's click writes them.
TEST(GnomeShortcutsTest, ClickAddsTheWindowCommandsOnceAndUpdatesThemAfterwards)
{
    test::TestApplication();
    const test::TempDir home;
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home.Path() / "config").c_str(), 1);
    setenv("GSETTINGS_BACKEND", "keyfile", 1);
    setenv("WAYLAND_DISPLAY", "wayland-gnome", 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    ASSERT_TRUE(TGnomeShortcuts::Available());
    // A shortcut of the user's own stays where it is.
    const QString own = TGnomeShortcuts::PathOf(QStringLiteral("custom0"));
    TGnomeShortcuts gnome;
    ASSERT_EQ(gnome.Write({{own, "Jo's \\ terminal", "gnome-terminal", "<Super>t"}}), 1);

    TDesktopKeys& keys = SessionDesktopKeys();
    ASSERT_TRUE(keys.OffersDesktopShortcuts());
    EXPECT_EQ(keys.PathText(), QStringLiteral("Keys reach Quietpane only from X11 windows here"));
    const QString said =
        keys.AddDesktopShortcuts({0, MOD_CONTROL | MOD_ALT, 'H'}, {0, MOD_CONTROL | MOD_ALT, 'O'});
    EXPECT_TRUE(said.startsWith(QStringLiteral("Added to the desktop's keyboard shortcuts")))
        << said.toStdString();
    const QString hide = TGnomeShortcuts::PathOf(QStringLiteral("quietpane-hide"));
    const QString restore = TGnomeShortcuts::PathOf(QStringLiteral("quietpane-restore"));
    EXPECT_EQ(gnome.ListedPaths(), (QStringList{own, hide, restore}));
    const QString program = QCoreApplication::applicationFilePath();
    EXPECT_EQ(gnome.Value(hide, QStringLiteral("command")), program + QStringLiteral(" --hide"));
    EXPECT_EQ(gnome.Value(hide, QStringLiteral("binding")), QStringLiteral("<Control><Alt>h"));
    EXPECT_EQ(gnome.Value(restore, QStringLiteral("command")), program + QStringLiteral(" --restore"));
    EXPECT_EQ(gnome.Value(restore, QStringLiteral("name")), QStringLiteral("Restore Quietpane"));

    // Recorded anew, the restore key replaces the old one: nothing is listed twice.
    const QString again =
        keys.AddDesktopShortcuts({0, MOD_CONTROL | MOD_ALT, 'H'}, {0, MOD_CONTROL | MOD_SHIFT, 'K'});
    EXPECT_TRUE(again.startsWith(QStringLiteral("Updated"))) << again.toStdString();
    EXPECT_EQ(gnome.ListedPaths(), (QStringList{own, hide, restore}));
    EXPECT_EQ(gnome.Value(restore, QStringLiteral("binding")), QStringLiteral("<Shift><Control>k"));
    EXPECT_EQ(gnome.Value(own, QStringLiteral("name")), QStringLiteral("Jo's \\ terminal"));
    // It is GNOME's own store that holds them.
    EXPECT_NE(test::ReadFile(home.Path() / "config" / "glib-2.0" / "settings" / "keyfile")
                  .find("quietpane-restore"),
              std::string::npos);
}

} // namespace
