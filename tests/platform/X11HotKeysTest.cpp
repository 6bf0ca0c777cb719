#include "platform/X11HotKeys.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "support/XClient.h"
#include "support/XKeyboard.h"
#include "support/XServer.h"

namespace quietpane {
namespace {

using quietpane::test::Connect;
using quietpane::test::Connection;
using quietpane::test::GrabAsOtherClient;
using quietpane::test::MoveKeyToAFreeKey;
using quietpane::test::XServer;

constexpr uint16_t vkH = 0x48;
constexpr uint16_t ctrlAlt = MOD_CONTROL | MOD_ALT;

// The first hotkey press among the connection's events within the time.
std::optional<HotKeyMessage> WaitForHotKey(X11HotKeys& hotKeys, xcb_connection_t* connection,
                                           std::chrono::milliseconds time = std::chrono::seconds(5))
{
    const auto deadline = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < deadline) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            const std::optional<HotKeyMessage> press =
                hotKeys.TranslateHotKeyMessage("xcb_generic_event_t", event);
            std::free(event);
            if (press) {
                return press;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

class X11HotKeysTest : public ::testing::Test {
protected:
    XServer server;
    Connection program = Connect(server);
    X11HotKeys hotKeys{program.get()};
};

TEST_F(X11HotKeysTest, PressOfARegisteredCombinationBecomesItsHotKeyMessage)
{
    ASSERT_TRUE(hotKeys.RegisterHotKey(0xC001, ctrlAlt, vkH));

    server.Run({"xdotool", "key", "ctrl+alt+h"});

    const std::optional<HotKeyMessage> press = WaitForHotKey(hotKeys, program.get());
    ASSERT_TRUE(press);
    EXPECT_EQ(press->id, 0xC001);
    EXPECT_EQ(press->modifiers, ctrlAlt);
    EXPECT_EQ(press->virtualKey, vkH);
}

TEST_F(X11HotKeysTest, NumLockAndCapsLockLeaveTheHotKeyWorking)
{
    ASSERT_TRUE(hotKeys.RegisterHotKey(0xC001, ctrlAlt, vkH));

    server.Run({"xdotool", "key", "Num_Lock", "ctrl+alt+h"});
    EXPECT_TRUE(WaitForHotKey(hotKeys, program.get())) << "NumLock on";

    server.Run({"xdotool", "key", "Caps_Lock", "ctrl+alt+h"});
    EXPECT_TRUE(WaitForHotKey(hotKeys, program.get())) << "NumLock and CapsLock on";

    server.Run({"xdotool", "key", "Num_Lock", "ctrl+alt+h"});
    EXPECT_TRUE(WaitForHotKey(hotKeys, program.get())) << "CapsLock on";
}

TEST_F(X11HotKeysTest, OtherModifiersDoNotMatch)
{
    ASSERT_TRUE(hotKeys.RegisterHotKey(0xC001, ctrlAlt, vkH));
    ASSERT_TRUE(hotKeys.RegisterHotKey(0xC002, ctrlAlt | MOD_SHIFT, vkH));

    server.Run({"xdotool", "key", "ctrl+alt+shift+h"});

    const std::optional<HotKeyMessage> press = WaitForHotKey(hotKeys, program.get());
    ASSERT_TRUE(press);
    EXPECT_EQ(press->id, 0xC002);
}

TEST_F(X11HotKeysTest, CombinationHeldByAnotherClientIsRefusedWithoutLeavingGrabs)
{
    const Connection other = Connect(server);
    const xcb_keycode_t h = hotKeys.KeyCodeOfVirtualKey(vkH);
    ASSERT_NE(h, 0);
    // The other client holds only the NumLock variant, so the first grabs succeed and must be undone.
    ASSERT_TRUE(GrabAsOtherClient(other.get(), h, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_2));

    EXPECT_FALSE(hotKeys.RegisterHotKey(0xC001, ctrlAlt, vkH));

    const Connection third = Connect(server);
    EXPECT_TRUE(GrabAsOtherClient(third.get(), h, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1));
    EXPECT_TRUE(GrabAsOtherClient(third.get(), h, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_LOCK));
}

TEST_F(X11HotKeysTest, CombinationHeldByThisProgramIsRefusedUntilUnregistered)
{
    ASSERT_TRUE(hotKeys.RegisterHotKey(0xC001, ctrlAlt, vkH));
    EXPECT_FALSE(hotKeys.RegisterHotKey(0xC002, ctrlAlt, vkH));

    const Connection other = Connect(server);
    const xcb_keycode_t h = hotKeys.KeyCodeOfVirtualKey(vkH);
    ASSERT_NE(h, 0);
    EXPECT_FALSE(GrabAsOtherClient(other.get(), h, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1));

    EXPECT_TRUE(hotKeys.UnregisterHotKey(0xC001));
    EXPECT_FALSE(hotKeys.UnregisterHotKey(0xC001));
    EXPECT_TRUE(GrabAsOtherClient(other.get(), h, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1));
    EXPECT_FALSE(hotKeys.RegisterHotKey(0xC001, ctrlAlt, vkH));
}

TEST_F(X11HotKeysTest, HotKeyFollowsItsSymbolToAnotherKey)
{
    ASSERT_TRUE(hotKeys.RegisterHotKey(0xC001, ctrlAlt, vkH));
    const xcb_keycode_t oldH = hotKeys.KeyCodeOfVirtualKey(vkH);
    const Connection other = Connect(server);

    const xcb_keycode_t newH = MoveKeyToAFreeKey(other.get(), oldH);
    ASSERT_NE(newH, 0);
    EXPECT_FALSE(WaitForHotKey(hotKeys, program.get(), std::chrono::milliseconds(200)))
        << "the mapping change";
    server.Run({"xdotool", "key", "ctrl+alt+h"});

    const std::optional<HotKeyMessage> press = WaitForHotKey(hotKeys, program.get());
    ASSERT_TRUE(press);
    EXPECT_EQ(press->id, 0xC001);
    EXPECT_TRUE(GrabAsOtherClient(other.get(), oldH, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1))
        << "old key let go";
    EXPECT_FALSE(GrabAsOtherClient(other.get(), newH, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1));
}

TEST_F(X11HotKeysTest, VirtualKeyWithoutAKeyIsRefused)
{
    EXPECT_FALSE(hotKeys.RegisterHotKey(0xC001, ctrlAlt, 0));
    EXPECT_FALSE(hotKeys.RegisterHotKey(0xC001, ctrlAlt, 0xFF));
}

TEST(DesktopHotKeysTest, WithoutTheXcbPlatformEveryRegistrationFails)
{
    EXPECT_FALSE(DesktopHotKeys().RegisterHotKey(0xC001, ctrlAlt, vkH)) << "no application";

    // An X server is there, but the offscreen platform passes none of its events on.
    const XServer server;
    setenv("DISPLAY", server.Display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);

    EXPECT_FALSE(DesktopHotKeys().RegisterHotKey(0xC001, ctrlAlt, vkH));
    EXPECT_FALSE(DesktopHotKeys().UnregisterHotKey(0xC001));
}

} // namespace
} // namespace quietpane
