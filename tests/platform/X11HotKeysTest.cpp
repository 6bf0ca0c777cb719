#include "platform/X11HotKeys.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "support/XServer.h"

namespace quietpane {
namespace {

using quietpane::test::XServer;

constexpr uint16_t vkH = 0x48;
constexpr uint16_t ctrlAlt = MOD_CONTROL | MOD_ALT;

struct ConnectionCloser {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

// Each X client of a test is a connection of its own.
Connection Connect(const XServer& server)
{
    Connection connection{xcb_connect(server.Display().c_str(), nullptr)};
    if (xcb_connection_has_error(connection.get())) {
        throw std::runtime_error("cannot connect to " + server.Display());
    }
    return connection;
}

xcb_window_t RootOf(xcb_connection_t* connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// Grabs a key as another program would, checked; true when the server accepted it.
bool GrabAsOtherClient(xcb_connection_t* connection, xcb_keycode_t key, uint16_t keyModifiers)
{
    const xcb_void_cookie_t cookie = xcb_grab_key_checked(connection, 1, RootOf(connection), keyModifiers,
                                                          key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_generic_error_t* error = xcb_request_check(connection, cookie);
    std::free(error);
    return error == nullptr;
}

// The first hotkey press among the connection's events within a few seconds.
std::optional<HotKeyMessage> WaitForHotKey(X11HotKeys& hotKeys, xcb_connection_t* connection)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
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

TEST_F(X11HotKeysTest, VirtualKeyWithoutAKeyIsRefused)
{
    EXPECT_FALSE(hotKeys.RegisterHotKey(0xC001, ctrlAlt, 0));
    EXPECT_FALSE(hotKeys.RegisterHotKey(0xC001, ctrlAlt, 0xFF));
}

TEST(DesktopHotKeysTest, WithoutAnXConnectionEveryRegistrationFails)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    EXPECT_FALSE(DesktopHotKeys().RegisterHotKey(0xC001, ctrlAlt, vkH));
    EXPECT_FALSE(DesktopHotKeys().UnregisterHotKey(0xC001));
}

} // namespace
} // namespace quietpane
