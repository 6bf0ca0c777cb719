#include "hotkeys/ShortCutText.h"

#include <gtest/gtest.h>

namespace quietpane {
namespace {

std::string Text(int shortCut)
{
    return ShortCutText(static_cast<TShortCut>(shortCut)).toStdString();
}

TEST(ShortCutTextTest, ModifiersComeAsShiftCtrlAltInThisOrder)
{
    EXPECT_EQ(Text(49224), "Ctrl+Alt+H");
    EXPECT_EQ(Text(49231), "Ctrl+Alt+O");
    EXPECT_EQ(Text(0x2000 + 0x4000 + 0x4B), "Shift+Ctrl+K");
    EXPECT_EQ(Text(0xE000 + 0x41), "Shift+Ctrl+Alt+A");
    EXPECT_EQ(Text(0x8000 + 0x5A), "Alt+Z");
    EXPECT_EQ(Text(0x4B), "K");
    EXPECT_EQ(Text(0), "");
}

TEST(ShortCutTextTest, KeysHaveTheirShortNames)
{
    const std::pair<int, const char*> names[] = {
        {8, "BkSp"}, {9, "Tab"},   {13, "Enter"}, {27, "Esc"},  {32, "Space"}, {33, "PgUp"}, {34, "PgDn"},
        {35, "End"}, {36, "Home"}, {37, "Left"},  {38, "Up"},   {39, "Right"}, {40, "Down"}, {45, "Ins"},
        {46, "Del"}, {48, "0"},    {57, "9"},     {65, "A"},    {90, "Z"},     {96, "0"},    {101, "5"},
        {105, "9"},  {112, "F1"},  {123, "F12"},  {135, "F24"},
    };
    for (const auto& [virtualKey, name] : names) {
        EXPECT_EQ(Text(0x4000 + virtualKey), std::string("Ctrl+") + name) << virtualKey;
    }
}

TEST(ShortCutTextTest, OtherKeysHaveTheDesktopsName)
{
    EXPECT_EQ(Text(0x4000 + 0xBA), "Ctrl+;");
    EXPECT_EQ(Text(0x4000 + 0x13), "Ctrl+Pause");
    EXPECT_EQ(Text(0x4000 + 0x6A), "Ctrl+Num+*");
    EXPECT_EQ(Text(0x4000 + 0xFF), "Ctrl+") << "a code that names no key";
}

} // namespace
} // namespace quietpane
