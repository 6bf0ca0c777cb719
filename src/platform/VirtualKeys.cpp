#include "platform/VirtualKeys.h"

#include <array>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

namespace quietpane {

namespace {

struct VirtualKeyName {
    uint16_t virtualKey;
    Qt::Key key;
    bool keypad;
    uint32_t keySym;
};

// Keys outside the contiguous ranges (digits, letters, numeric-pad digits, F1 to F24).
constexpr std::array namedKeys{
    VirtualKeyName{0x08, Qt::Key_Backspace, false, XK_BackSpace},
    VirtualKeyName{0x09, Qt::Key_Tab, false, XK_Tab},
    VirtualKeyName{0x0C, Qt::Key_Clear, false, XK_Clear},
    VirtualKeyName{0x0D, Qt::Key_Return, false, XK_Return},
    VirtualKeyName{0x13, Qt::Key_Pause, false, XK_Pause},
    VirtualKeyName{0x1B, Qt::Key_Escape, false, XK_Escape},
    VirtualKeyName{0x20, Qt::Key_Space, false, XK_space},
    VirtualKeyName{0x21, Qt::Key_PageUp, false, XK_Prior},
    VirtualKeyName{0x22, Qt::Key_PageDown, false, XK_Next},
    VirtualKeyName{0x23, Qt::Key_End, false, XK_End},
    VirtualKeyName{0x24, Qt::Key_Home, false, XK_Home},
    VirtualKeyName{0x25, Qt::Key_Left, false, XK_Left},
    VirtualKeyName{0x26, Qt::Key_Up, false, XK_Up},
    VirtualKeyName{0x27, Qt::Key_Right, false, XK_Right},
    VirtualKeyName{0x28, Qt::Key_Down, false, XK_Down},
    VirtualKeyName{0x2C, Qt::Key_Print, false, XK_Print},
    VirtualKeyName{0x2D, Qt::Key_Insert, false, XK_Insert},
    VirtualKeyName{0x2E, Qt::Key_Delete, false, XK_Delete},
    VirtualKeyName{0x5D, Qt::Key_Menu, false, XK_Menu},
    VirtualKeyName{0x6A, Qt::Key_Asterisk, true, XK_KP_Multiply},
    VirtualKeyName{0x6B, Qt::Key_Plus, true, XK_KP_Add},
    VirtualKeyName{0x6D, Qt::Key_Minus, true, XK_KP_Subtract},
    VirtualKeyName{0x6E, Qt::Key_Period, true, XK_KP_Decimal},
    VirtualKeyName{0x6F, Qt::Key_Slash, true, XK_KP_Divide},
    VirtualKeyName{0x91, Qt::Key_ScrollLock, false, XK_Scroll_Lock},
    VirtualKeyName{0xBA, Qt::Key_Semicolon, false, XK_semicolon},
    VirtualKeyName{0xBB, Qt::Key_Equal, false, XK_equal},
    VirtualKeyName{0xBC, Qt::Key_Comma, false, XK_comma},
    VirtualKeyName{0xBD, Qt::Key_Minus, false, XK_minus},
    VirtualKeyName{0xBE, Qt::Key_Period, false, XK_period},
    VirtualKeyName{0xBF, Qt::Key_Slash, false, XK_slash},
    VirtualKeyName{0xC0, Qt::Key_QuoteLeft, false, XK_grave},
    VirtualKeyName{0xDB, Qt::Key_BracketLeft, false, XK_bracketleft},
    VirtualKeyName{0xDC, Qt::Key_Backslash, false, XK_backslash},
    VirtualKeyName{0xDD, Qt::Key_BracketRight, false, XK_bracketright},
    VirtualKeyName{0xDE, Qt::Key_Apostrophe, false, XK_apostrophe},
};

// With Shift held the recorder sees the shifted symbol of a key (US layout); these lead back
// to the key itself.
struct ShiftedSymbol {
    Qt::Key shifted;
    Qt::Key key;
};
constexpr std::array shiftedSymbols{
    ShiftedSymbol{Qt::Key_Exclam, Qt::Key_1},
    ShiftedSymbol{Qt::Key_At, Qt::Key_2},
    ShiftedSymbol{Qt::Key_NumberSign, Qt::Key_3},
    ShiftedSymbol{Qt::Key_Dollar, Qt::Key_4},
    ShiftedSymbol{Qt::Key_Percent, Qt::Key_5},
    ShiftedSymbol{Qt::Key_AsciiCircum, Qt::Key_6},
    ShiftedSymbol{Qt::Key_Ampersand, Qt::Key_7},
    ShiftedSymbol{Qt::Key_Asterisk, Qt::Key_8},
    ShiftedSymbol{Qt::Key_ParenLeft, Qt::Key_9},
    ShiftedSymbol{Qt::Key_ParenRight, Qt::Key_0},
    ShiftedSymbol{Qt::Key_Colon, Qt::Key_Semicolon},
    ShiftedSymbol{Qt::Key_Plus, Qt::Key_Equal},
    ShiftedSymbol{Qt::Key_Less, Qt::Key_Comma},
    ShiftedSymbol{Qt::Key_Underscore, Qt::Key_Minus},
    ShiftedSymbol{Qt::Key_Greater, Qt::Key_Period},
    ShiftedSymbol{Qt::Key_Question, Qt::Key_Slash},
    ShiftedSymbol{Qt::Key_AsciiTilde, Qt::Key_QuoteLeft},
    ShiftedSymbol{Qt::Key_BraceLeft, Qt::Key_BracketLeft},
    ShiftedSymbol{Qt::Key_Bar, Qt::Key_Backslash},
    ShiftedSymbol{Qt::Key_BraceRight, Qt::Key_BracketRight},
    ShiftedSymbol{Qt::Key_QuoteDbl, Qt::Key_Apostrophe},
    ShiftedSymbol{Qt::Key_Backtab, Qt::Key_Tab},
};

constexpr uint16_t vkDigit0 = 0x30, vkDigit9 = 0x39, vkA = 0x41, vkZ = 0x5A;
constexpr uint16_t vkNumPad0 = 0x60, vkNumPad9 = 0x69, vkF1 = 0x70, vkF24 = 0x87;

bool InRange(uint16_t value, uint16_t first, uint16_t last)
{
    return value >= first && value <= last;
}

const VirtualKeyName* FindNamed(uint16_t virtualKey)
{
    for (const VirtualKeyName& named : namedKeys) {
        if (named.virtualKey == virtualKey) {
            return &named;
        }
    }
    return nullptr;
}

} // namespace

Qt::Key QtKeyFromVirtualKey(uint16_t virtualKey)
{
    if (InRange(virtualKey, vkDigit0, vkDigit9) || InRange(virtualKey, vkA, vkZ)) {
        return static_cast<Qt::Key>(virtualKey); // Qt's codes for these are the ASCII ones too
    }
    if (InRange(virtualKey, vkNumPad0, vkNumPad9)) {
        return static_cast<Qt::Key>(Qt::Key_0 + (virtualKey - vkNumPad0));
    }
    if (InRange(virtualKey, vkF1, vkF24)) {
        return static_cast<Qt::Key>(Qt::Key_F1 + (virtualKey - vkF1));
    }
    const VirtualKeyName* named = FindNamed(virtualKey);
    return named != nullptr ? named->key : Qt::Key_unknown;
}

bool IsKeypadVirtualKey(uint16_t virtualKey)
{
    if (InRange(virtualKey, vkNumPad0, vkNumPad9)) {
        return true;
    }
    const VirtualKeyName* named = FindNamed(virtualKey);
    return named != nullptr && named->keypad;
}

uint16_t VirtualKeyFromQtKey(Qt::Key key, bool keypad)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return static_cast<uint16_t>((keypad ? vkNumPad0 : vkDigit0) + (key - Qt::Key_0));
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return static_cast<uint16_t>(key);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return static_cast<uint16_t>(vkF1 + (key - Qt::Key_F1));
    }
    if (key == Qt::Key_Enter) {
        return 0x0D;
    }
    for (const VirtualKeyName& named : namedKeys) {
        if (named.key == key && named.keypad == keypad) {
            return named.virtualKey;
        }
    }
    for (const VirtualKeyName& named : namedKeys) {
        if (named.key == key) {
            return named.virtualKey;
        }
    }
    for (const ShiftedSymbol& symbol : shiftedSymbols) {
        if (symbol.shifted == key) {
            return VirtualKeyFromQtKey(symbol.key, false);
        }
    }
    return 0;
}

uint32_t KeySymFromVirtualKey(uint16_t virtualKey)
{
    if (InRange(virtualKey, vkDigit0, vkDigit9)) {
        return virtualKey; // XK_0 .. XK_9
    }
    if (InRange(virtualKey, vkA, vkZ)) {
        return virtualKey - vkA + XK_a; // the unshifted symbol sits on the key
    }
    if (InRange(virtualKey, vkNumPad0, vkNumPad9)) {
        return virtualKey - vkNumPad0 + XK_KP_0;
    }
    if (InRange(virtualKey, vkF1, vkF24)) {
        return virtualKey - vkF1 + XK_F1;
    }
    const VirtualKeyName* named = FindNamed(virtualKey);
    return named != nullptr ? named->keySym : 0;
}

} // namespace quietpane
