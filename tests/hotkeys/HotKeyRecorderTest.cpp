#include "hotkeys/HotKeyRecorder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include <cstdlib>
#include <memory>

namespace quietpane {
namespace {

class HotKeyRecorderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        application = std::make_unique<QApplication>(argc, argv);
    }
    static void TearDownTestSuite() { application.reset(); }

    // Presses the key with the modifiers held, and lets it go.
    void Press(Qt::KeyboardModifiers modifiers, Qt::Key key, const QString& text = {})
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QCoreApplication::sendEvent(&recorder, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QCoreApplication::sendEvent(&recorder, &release);
    }

    static inline int argc = 1;
    static inline char name[5] = "test";
    static inline char* argv[2] = {name, nullptr};
    static inline std::unique_ptr<QApplication> application;
    THotKeyRecorder recorder;
};

TEST_F(HotKeyRecorderTest, StartsEmpty)
{
    EXPECT_EQ(recorder.HotKey(), 0);
}

TEST_F(HotKeyRecorderTest, RecordsCombinationsWithCtrlOrAlt)
{
    Press(Qt::ControlModifier | Qt::AltModifier, Qt::Key_H);
    EXPECT_EQ(recorder.HotKey(), 49224);

    Press(Qt::ShiftModifier | Qt::ControlModifier, Qt::Key_K, "K");
    EXPECT_EQ(recorder.HotKey(), 0x2000 + 0x4000 + 0x4B);

    Press(Qt::AltModifier, Qt::Key_F12);
    EXPECT_EQ(recorder.HotKey(), 0x8000 + 0x7B);

    Press(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_5);
    EXPECT_EQ(recorder.HotKey(), 0x4000 + 0x65) << "the numeric pad has keys of its own";
}

TEST_F(HotKeyRecorderTest, ModifierKeysAloneRecordNothingYet)
{
    Press(Qt::ControlModifier, Qt::Key_Control);
    Press(Qt::ControlModifier | Qt::AltModifier, Qt::Key_Alt);
    EXPECT_EQ(recorder.HotKey(), 0);

    Press(Qt::ControlModifier | Qt::AltModifier, Qt::Key_O);
    EXPECT_EQ(recorder.HotKey(), 49231);
}

TEST_F(HotKeyRecorderTest, RefusesCombinationsWithoutModifierOrWithShiftAlone)
{
    Press(Qt::ControlModifier | Qt::AltModifier, Qt::Key_H);

    Press(Qt::NoModifier, Qt::Key_H, "h");
    EXPECT_EQ(recorder.HotKey(), 0);
    EXPECT_TRUE(recorder.keySequence().isEmpty());

    Press(Qt::ShiftModifier, Qt::Key_H, "H");
    EXPECT_EQ(recorder.HotKey(), 0);

    Press(Qt::MetaModifier, Qt::Key_H);
    EXPECT_EQ(recorder.HotKey(), 0) << "the Windows key is no modifier of a hotkey";
}

TEST_F(HotKeyRecorderTest, WindowsKeyIsLeftOut)
{
    Press(Qt::MetaModifier | Qt::ControlModifier, Qt::Key_K);
    EXPECT_EQ(recorder.HotKey(), 0x4000 + 0x4B);
    EXPECT_EQ(recorder.keySequence(), QKeySequence(Qt::ControlModifier | Qt::Key_K));
}

TEST_F(HotKeyRecorderTest, ShiftedSymbolIsRecordedAsItsKey)
{
    Press(Qt::ShiftModifier | Qt::ControlModifier, Qt::Key_Exclam, "!");
    EXPECT_EQ(recorder.HotKey(), 0x2000 + 0x4000 + 0x31);
}

TEST_F(HotKeyRecorderTest, KeyWithoutVirtualKeyIsRefused)
{
    Press(Qt::ControlModifier, Qt::Key_VolumeUp);
    EXPECT_EQ(recorder.HotKey(), 0);
}

TEST_F(HotKeyRecorderTest, EachCombinationReplacesTheOneBefore)
{
    Press(Qt::ControlModifier | Qt::AltModifier, Qt::Key_H);
    Press(Qt::ControlModifier | Qt::AltModifier, Qt::Key_O);

    EXPECT_EQ(recorder.HotKey(), 49231);
    EXPECT_EQ(recorder.keySequence().count(), 1);
}

TEST_F(HotKeyRecorderTest, ClearEmptiesAndSetHotKeyShowsAStoredValue)
{
    recorder.SetHotKey(49231);
    EXPECT_EQ(recorder.HotKey(), 49231);
    recorder.Clear();
    EXPECT_EQ(recorder.HotKey(), 0);

    for (const TShortCut stored :
         {0x8000 + 0x70, 0x4000 + 0x60, 0x4000 + 0xBA, 0xE000 + 0x2E, 0x4000 + 0x6A}) {
        recorder.SetHotKey(static_cast<TShortCut>(stored));
        EXPECT_EQ(recorder.HotKey(), stored);
    }
}

} // namespace
} // namespace quietpane
