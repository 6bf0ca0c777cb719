#include "hotkeys/HotKeyManager.h"

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>

#include <xcb/xcb.h>

#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <vector>

#include "platform/AtomTable.h"
#include "platform/X11HotKeys.h"
#include "support/XApplication.h"
#include "support/XKeyboard.h"

namespace quietpane {
namespace {

using quietpane::test::MoveKeyToAFreeKey;
using quietpane::test::WaitUntil;
using quietpane::test::XApplication;
using quietpane::test::XServer;

constexpr TShortCut ctrlAltH = 49224;
constexpr TShortCut ctrlAltO = 49231;
const QByteArray testEventType = "quietpane-test-hotkey";

// One X server and one application for the whole test program, made by the first test that
// needs them, so that a failure to start is that test's failure.
class DesktopEnvironment : public ::testing::Environment {
public:
    XApplication<QGuiApplication>& Desktop()
    {
        if (!desktop_) {
            desktop_ = std::make_unique<XApplication<QGuiApplication>>(XServer::Options{});
        }
        return *desktop_;
    }
    void TearDown() override { desktop_.reset(); }

private:
    std::unique_ptr<XApplication<QGuiApplication>> desktop_;
};

DesktopEnvironment* const environment =
    static_cast<DesktopEnvironment*>(::testing::AddGlobalTestEnvironment(new DesktopEnvironment));

// Stands in for the system's hotkeys: it holds what it is given, refuses what it already holds
// or what "another program" holds, and turns test events into hotkey presses.
class FakeSystemHotKeys final : public SystemHotKeys {
public:
    bool RegisterHotKey(uint16_t id, uint16_t modifiers, uint16_t virtualKey) override
    {
        const uint32_t combination = modifiers << 16 | virtualKey;
        if (heldElsewhere.count(combination) != 0 || held.count(combination) != 0) {
            return false;
        }
        held.insert(combination);
        ids[id] = combination;
        registered.push_back(HotKeyMessage{id, modifiers, virtualKey});
        return true;
    }
    bool UnregisterHotKey(uint16_t id) override
    {
        unregistered.push_back(id);
        const auto found = ids.find(id);
        if (found == ids.end() || refuseUnregistering) {
            return false;
        }
        held.erase(found->second);
        ids.erase(found);
        return true;
    }
    std::optional<HotKeyMessage> TranslateHotKeyMessage(const QByteArray& eventType, void* message) override
    {
        if (eventType != testEventType) {
            return std::nullopt;
        }
        return *static_cast<HotKeyMessage*>(message);
    }

    std::set<uint32_t> heldElsewhere;
    bool refuseUnregistering = false;
    std::set<uint32_t> held;
    std::map<uint16_t, uint32_t> ids;
    std::vector<HotKeyMessage> registered;
    std::vector<uint16_t> unregistered;
};

uint16_t AtomOf(TShortCut hotKey)
{
    return GlobalAtoms().FindAtom("HotKeyManagerHotKey" + std::to_string(hotKey));
}

// Sends a native event through the application, as the event loop does; true when a filter took it.
bool DeliverNativeEvent(HotKeyMessage message)
{
    qintptr result = 0;
    return QAbstractEventDispatcher::instance()->filterNativeEvent(testEventType, &message, &result);
}

struct Press {
    TShortCut hotKey;
    uint16_t index;
};

class HotKeyManagerTest : public ::testing::Test {
protected:
    HotKeyManagerTest()
    {
        manager->OnHotKeyPressed = [this](TShortCut hotKey, uint16_t index) {
            presses.push_back({hotKey, index});
        };
    }

    XServer& server = environment->Desktop().server; // the manager hooks the application
    FakeSystemHotKeys system;
    std::unique_ptr<THotKeyManager> manager = std::make_unique<THotKeyManager>(nullptr, system);
    std::vector<Press> presses;
};

TEST_F(HotKeyManagerTest, AddHotKeyRegistersTheCombinationUnderTheAtomOfItsName)
{
    const uint16_t id = manager->AddHotKey(ctrlAltH);

    EXPECT_GE(id, AtomTable::FirstAtom);
    EXPECT_EQ(id, AtomOf(ctrlAltH));
    EXPECT_EQ(GlobalAtoms().UseCount(id), 1);
    ASSERT_EQ(system.registered.size(), 1U);
    EXPECT_EQ(system.registered[0].id, id);
    EXPECT_EQ(system.registered[0].modifiers, MOD_CONTROL | MOD_ALT);
    EXPECT_EQ(system.registered[0].virtualKey, 0x48);
    EXPECT_TRUE(manager->IsHotKeyRegistered(ctrlAltH));
    EXPECT_FALSE(manager->IsHotKeyRegistered(ctrlAltO));
}

TEST_F(HotKeyManagerTest, SameCombinationTwiceFailsTheSecondTimeAndGivesItsAtomUseBack)
{
    const uint16_t id = manager->AddHotKey(ctrlAltH);

    EXPECT_EQ(manager->AddHotKey(ctrlAltH), 0);
    EXPECT_EQ(GlobalAtoms().UseCount(id), 1);
}

TEST_F(HotKeyManagerTest, CombinationHeldByAnotherProgramFailsAndLeavesNoAtom)
{
    system.heldElsewhere.insert((MOD_CONTROL | MOD_ALT) << 16 | 0x4F);

    EXPECT_EQ(manager->AddHotKey(ctrlAltO), 0);
    EXPECT_EQ(AtomOf(ctrlAltO), 0);
    EXPECT_FALSE(manager->IsHotKeyRegistered(ctrlAltO));
}

TEST_F(HotKeyManagerTest, SecondManagerSharesTheAtomButNotTheCombination)
{
    const uint16_t id = manager->AddHotKey(ctrlAltH);
    THotKeyManager second(nullptr, system);

    EXPECT_EQ(second.AddHotKey(ctrlAltH), 0);
    EXPECT_EQ(GlobalAtoms().UseCount(id), 1);
}

TEST_F(HotKeyManagerTest, RemoveHotKeyUnregistersOnceAndGivesTheAtomBack)
{
    const uint16_t id = manager->AddHotKey(ctrlAltH);

    EXPECT_TRUE(manager->RemoveHotKey(ctrlAltH));
    EXPECT_EQ(GlobalAtoms().UseCount(id), 0);
    EXPECT_FALSE(manager->IsHotKeyRegistered(ctrlAltH));
    EXPECT_FALSE(manager->RemoveHotKey(ctrlAltH));
    EXPECT_FALSE(manager->RemoveHotKey(ctrlAltO));
    EXPECT_NE(manager->AddHotKey(ctrlAltH), 0);
}

TEST_F(HotKeyManagerTest, FailedUnregisteringStillDropsTheEntryAndItsAtomUse)
{
    const uint16_t id = manager->AddHotKey(ctrlAltH);
    system.refuseUnregistering = true;

    EXPECT_FALSE(manager->RemoveHotKey(ctrlAltH));
    EXPECT_FALSE(manager->IsHotKeyRegistered(ctrlAltH));
    EXPECT_EQ(GlobalAtoms().UseCount(id), 0);
}

TEST_F(HotKeyManagerTest, SuspendedHotKeysAreLetGoAndGrabbedAgainUnderTheirIds)
{
    const uint16_t hide = manager->AddHotKey(ctrlAltH);
    const uint16_t restore = manager->AddHotKey(ctrlAltO);
    manager->SuspendHotKeys();
    EXPECT_TRUE(system.held.empty());
    EXPECT_TRUE(manager->IsHotKeyRegistered(ctrlAltH));
    // Its own combinations still count as taken; a new one is checked free but not held yet.
    EXPECT_EQ(manager->AddHotKey(ctrlAltH), 0);
    const TShortCut ctrlAltK = scCtrl | scAlt | 'K';
    const uint16_t added = manager->AddHotKey(ctrlAltK);
    EXPECT_NE(added, 0);
    EXPECT_TRUE(system.held.empty());
    // Another program takes Ctrl+Alt+O meanwhile: it is dropped on resuming.
    system.heldElsewhere.insert(static_cast<uint32_t>(MOD_CONTROL | MOD_ALT) << 16 | 0x4F);

    manager->ResumeHotKeys();
    EXPECT_EQ(system.ids.count(hide), 1u);
    EXPECT_EQ(system.ids.count(added), 1u);
    EXPECT_EQ(system.ids.count(restore), 0u);
    EXPECT_FALSE(manager->IsHotKeyRegistered(ctrlAltO));
    EXPECT_EQ(AtomOf(ctrlAltO), 0);
    EXPECT_FALSE(manager->HotKeysSuspended());
}

TEST_F(HotKeyManagerTest, ClearHotKeysUnregistersFromLastToFirst)
{
    const uint16_t first = manager->AddHotKey(ctrlAltO);
    const uint16_t second = manager->AddHotKey(ctrlAltH);

    manager->ClearHotKeys();

    EXPECT_EQ(system.unregistered, (std::vector<uint16_t>{second, first}));
    EXPECT_FALSE(manager->RemoveHotKey(ctrlAltH));
    EXPECT_EQ(AtomOf(ctrlAltH), 0);
    EXPECT_EQ(AtomOf(ctrlAltO), 0);
}

TEST_F(HotKeyManagerTest, DestructionUnregistersEverythingAndUnhooksTheApplication)
{
    const uint16_t id = manager->AddHotKey(ctrlAltH);
    manager.reset();

    EXPECT_EQ(system.unregistered, std::vector<uint16_t>{id});
    EXPECT_EQ(AtomOf(ctrlAltH), 0);
    EXPECT_FALSE(DeliverNativeEvent({id, MOD_CONTROL | MOD_ALT, 0x48}));
    EXPECT_TRUE(presses.empty());
}

TEST_F(HotKeyManagerTest, PressRaisesTheEventWithTheIdAsIndexAndPassesTheEventOn)
{
    const uint16_t id = manager->AddHotKey(ctrlAltH);

    EXPECT_FALSE(DeliverNativeEvent({id, MOD_CONTROL | MOD_ALT, 0x48}));

    ASSERT_EQ(presses.size(), 1U);
    EXPECT_EQ(presses[0].hotKey, ctrlAltH);
    EXPECT_EQ(presses[0].index, id);
}

TEST_F(HotKeyManagerTest, WindowsKeyFlagOfAPressIsIgnored)
{
    const uint16_t id = manager->AddHotKey(ctrlAltH);

    DeliverNativeEvent({id, MOD_CONTROL | MOD_ALT | MOD_WIN, 0x48});

    ASSERT_EQ(presses.size(), 1U);
    EXPECT_EQ(presses[0].hotKey, ctrlAltH);
}

TEST_F(HotKeyManagerTest, PressOfACombinationNotInTheEntriesRaisesNothing)
{
    manager->AddHotKey(ctrlAltH);

    EXPECT_FALSE(DeliverNativeEvent({0xC0FF, MOD_CONTROL | MOD_ALT, 0x4F}));
    EXPECT_TRUE(presses.empty());
}

TEST_F(HotKeyManagerTest, WithoutAHandlerAPressRaisesNothing)
{
    const uint16_t id = manager->AddHotKey(ctrlAltH);
    manager->OnHotKeyPressed = nullptr;

    EXPECT_FALSE(DeliverNativeEvent({id, MOD_CONTROL | MOD_ALT, 0x48}));
}

TEST_F(HotKeyManagerTest, ExceptionOfTheHandlerIsThrownAgainFromAnOrdinaryEvent)
{
    const uint16_t id = manager->AddHotKey(ctrlAltH);
    manager->OnHotKeyPressed = [](TShortCut, uint16_t) { throw std::runtime_error("not a number"); };

    EXPECT_NO_THROW(DeliverNativeEvent({id, MOD_CONTROL | MOD_ALT, 0x48}));
    EXPECT_THROW(QCoreApplication::sendPostedEvents(manager.get()), std::runtime_error);
}

TEST(SplitShortCutTest, SplitsIntoVirtualKeyAndModifierFlags)
{
    const THotKeyManager::TSplitShortCut split =
        THotKeyManager::SplitShortCut(scShift | scCtrl | scAlt | 0x70);
    EXPECT_EQ(split.virtualKey, 0x70);
    EXPECT_EQ(split.modifiers, MOD_SHIFT | MOD_CONTROL | MOD_ALT);
    EXPECT_EQ(THotKeyManager::SplitShortCut(ctrlAltO).modifiers, MOD_CONTROL | MOD_ALT);
}

// The real thing: grabs on the X server of the test, presses from xdotool.
class DesktopHotKeyTest : public ::testing::Test {
protected:
    DesktopHotKeyTest()
    {
        manager.OnHotKeyPressed = [this](TShortCut hotKey, uint16_t index) {
            presses.push_back({hotKey, index});
        };
    }

    bool WaitForPresses(size_t count)
    {
        return WaitUntil([&] { return presses.size() >= count; });
    }

    XServer& server = environment->Desktop().server;
    THotKeyManager manager;
    std::vector<Press> presses;
};

TEST_F(DesktopHotKeyTest, CtrlAltHPressedAnywhereRaisesTheEvent)
{
    const uint16_t hide = manager.AddHotKey(ctrlAltH);
    const uint16_t restore = manager.AddHotKey(ctrlAltO);
    ASSERT_NE(hide, 0);
    ASSERT_NE(restore, 0);

    server.Run({"xdotool", "key", "ctrl+alt+h"});
    server.Run({"xdotool", "key", "Num_Lock", "ctrl+alt+o", "Num_Lock"});

    ASSERT_TRUE(WaitForPresses(2));
    EXPECT_EQ(presses[0].hotKey, ctrlAltH);
    EXPECT_EQ(presses[0].index, hide);
    EXPECT_EQ(presses[1].hotKey, ctrlAltO);
    EXPECT_EQ(presses[1].index, restore);
}

TEST_F(DesktopHotKeyTest, PressGoesToTheHotKeyNotToTheFocusedWindowOfTheProgram)
{
    // Counts the keys that reach the window, leaving out Ctrl and Alt, which it sees go down
    // and up before and after the hotkey, as with any hotkey.
    class KeyCounter : public QObject {
    public:
        int keys = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
                const int key = static_cast<QKeyEvent*>(event)->key();
                keys += key != Qt::Key_Control && key != Qt::Key_Alt;
            }
            return false;
        }
    } counter;
    QWindow window;
    window.resize(200, 100);
    window.installEventFilter(&counter);
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return window.isExposed(); }));
    server.Run({"xdotool", "windowfocus", "--sync", std::to_string(window.winId())});
    ASSERT_TRUE(WaitUntil([&] { return window.isActive(); }));
    server.Run({"xdotool", "key", "x"});
    ASSERT_TRUE(WaitUntil([&] { return counter.keys == 2; })) << "the window takes ordinary keys";
    ASSERT_NE(manager.AddHotKey(ctrlAltH), 0);

    server.Run({"xdotool", "key", "ctrl+alt+h"});

    ASSERT_TRUE(WaitForPresses(1));
    WaitUntil([] { return false; }, 100);
    EXPECT_EQ(counter.keys, 2);
}

TEST_F(DesktopHotKeyTest, CombinationGrabbedByAnotherClientCannotBeAdded)
{
    xcb_connection_t* other = xcb_connect(server.Display().c_str(), nullptr);
    X11HotKeys otherProgram(other);
    ASSERT_TRUE(otherProgram.RegisterHotKey(0xC000, MOD_CONTROL | MOD_ALT, 0x4F));

    EXPECT_EQ(manager.AddHotKey(ctrlAltO), 0);
    EXPECT_EQ(AtomOf(ctrlAltO), 0);

    ASSERT_TRUE(otherProgram.UnregisterHotKey(0xC000));
    EXPECT_NE(manager.AddHotKey(ctrlAltO), 0);
    xcb_disconnect(other);
}

TEST_F(DesktopHotKeyTest, HotKeyKeepsWorkingAfterTheKeyboardMappingChanges)
{
    ASSERT_NE(manager.AddHotKey(ctrlAltH), 0);
    xcb_connection_t* other = xcb_connect(server.Display().c_str(), nullptr);
    const X11HotKeys keys(other);
    const xcb_keycode_t h = keys.KeyCodeOfVirtualKey(0x48);

    ASSERT_NE(MoveKeyToAFreeKey(other, h), 0);
    WaitUntil([] { return false; }, 200); // the application learns of the change
    server.Run({"xdotool", "key", "ctrl+alt+h"});

    EXPECT_TRUE(WaitForPresses(1));
    MoveKeyToAFreeKey(other, keys.KeyCodeOfVirtualKey(0x48)); // h back to a key of its own for later tests
    xcb_disconnect(other);
}

TEST_F(DesktopHotKeyTest, RemovedHotKeyIsFreeForOtherClients)
{
    ASSERT_NE(manager.AddHotKey(ctrlAltH), 0);
    ASSERT_TRUE(manager.RemoveHotKey(ctrlAltH));

    xcb_connection_t* other = xcb_connect(server.Display().c_str(), nullptr);
    X11HotKeys otherProgram(other);
    EXPECT_TRUE(otherProgram.RegisterHotKey(0xC000, MOD_CONTROL | MOD_ALT, 0x48));
    xcb_disconnect(other);
}

} // namespace
} // namespace quietpane
