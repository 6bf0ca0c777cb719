// The hotkeys bound through the real shortcuts portal of a headless KDE Plasma session on a
// private bus; a key press is stood for by kglobalaccel's own invocation of the shortcut.

#include "platform/PortalHotKeys.h"

#include "support/KdePortalSession.h"
#include "support/QtTestSupport.h"

#include <QAbstractNativeEventFilter>
#include <QDBusConnection>

#include <gtest/gtest.h>

#include <vector>

using namespace quietpane;
using quietpane::test::KdePortalSession;
using quietpane::test::WaitUntil;

namespace {

constexpr uint16_t kCtrlAlt = MOD_CONTROL | MOD_ALT;

// Every press the application's native events stand for, as the hotkey manager sees them.
class PressRecorder final : public QAbstractNativeEventFilter {
public:
    explicit PressRecorder(SystemHotKeys& keys) : keys_(keys)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~PressRecorder() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (const std::optional<HotKeyMessage> press = keys_.TranslateHotKeyMessage(eventType, message))
            presses.push_back(*press);
        return false;
    }

    std::vector<HotKeyMessage> presses;

private:
    SystemHotKeys& keys_;
};

TEST(PortalHotKeysTest, DesktopGrantsTheKeysFiresThemAndFollowsARecordedKey)
{
    test::TestApplication();
    KdePortalSession desktop;
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(desktop.BusAddress()),
                                                        QStringLiteral("kde-session"));
    ASSERT_TRUE(TPortalHotKeys::Offered(bus));
    TPortalHotKeys portal(bus);
    PressRecorder recorder(portal);

    // Registered one after the other, as at start: bound together, each with its trigger.
    ASSERT_TRUE(portal.RegisterHotKey(0xC000, kCtrlAlt, 'O'));
    ASSERT_TRUE(portal.RegisterHotKey(0xC001, kCtrlAlt, 'H'));
    EXPECT_FALSE(portal.RegisterHotKey(0xC001, kCtrlAlt, 'J')) << "the id is taken";
    ASSERT_TRUE(WaitUntil([&] {
        return portal.Triggers() == QStringList{"Ctrl+Alt+O", "Ctrl+Alt+H"};
    })) << portal.Triggers().join(',').toStdString();
    desktop.InvokeShortcut("quietpane", "hotkey-3-72");
    ASSERT_TRUE(WaitUntil([&] { return !recorder.presses.empty(); }));
    EXPECT_EQ(recorder.presses[0].id, 0xC001);
    EXPECT_EQ(recorder.presses[0].modifiers, kCtrlAlt);
    EXPECT_EQ(recorder.presses[0].virtualKey, 'H');

    // A newly recorded hide key replaces the old one in a new binding.
    ASSERT_TRUE(portal.UnregisterHotKey(0xC001));
    EXPECT_FALSE(portal.UnregisterHotKey(0xC001));
    ASSERT_TRUE(portal.RegisterHotKey(0xC002, MOD_CONTROL | MOD_SHIFT, 'K'));
    ASSERT_TRUE(WaitUntil([&] {
        return portal.Triggers() == QStringList{"Ctrl+Alt+O", "Ctrl+Shift+K"};
    })) << portal.Triggers().join(',').toStdString();
    recorder.presses.clear();
    try {
        desktop.InvokeShortcut("quietpane", "hotkey-3-72"); // the desktop may still list it
    } catch (const std::exception&) {
    }
    desktop.InvokeShortcut("quietpane", "hotkey-6-75");
    ASSERT_TRUE(WaitUntil([&] { return !recorder.presses.empty(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(recorder.presses.size(), 1u);
    EXPECT_EQ(recorder.presses[0].id, 0xC002);
}

} // namespace
