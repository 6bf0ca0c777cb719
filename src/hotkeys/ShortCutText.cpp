#include "hotkeys/ShortCutText.h"

#include <QKeySequence>

#include "platform/VirtualKeys.h"

namespace quietpane {

namespace {

QString KeyName(uint16_t virtualKey)
{
    switch (virtualKey) {
    case 0x08:
        return QStringLiteral("BkSp");
    case 0x09:
        return QStringLiteral("Tab");
    case 0x0D:
        return QStringLiteral("Enter");
    case 0x1B:
        return QStringLiteral("Esc");
    case 0x20:
        return QStringLiteral("Space");
    case 0x21:
        return QStringLiteral("PgUp");
    case 0x22:
        return QStringLiteral("PgDn");
    case 0x23:
        return QStringLiteral("End");
    case 0x24:
        return QStringLiteral("Home");
    case 0x25:
        return QStringLiteral("Left");
    case 0x26:
        return QStringLiteral("Up");
    case 0x27:
        return QStringLiteral("Right");
    case 0x28:
        return QStringLiteral("Down");
    case 0x2D:
        return QStringLiteral("Ins");
    case 0x2E:
        return QStringLiteral("Del");
    default:
        break;
    }
    if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z')) {
        return QString(QChar(virtualKey));
    }
    if (virtualKey >= 0x60 && virtualKey <= 0x69) {
        return QString(QChar('0' + (virtualKey - 0x60)));
    }
    if (virtualKey >= 0x70 && virtualKey <= 0x87) {
        return QStringLiteral("F%1").arg(virtualKey - 0x70 + 1);
    }
    // The desktop's own name for any other key; none for a code that names no key.
    const Qt::Key key = QtKeyFromVirtualKey(virtualKey);
    if (key == Qt::Key_unknown) {
        return {};
    }
    const Qt::KeyboardModifiers keypad = IsKeypadVirtualKey(virtualKey) ? Qt::KeypadModifier : Qt::NoModifier;
    return QKeySequence(QKeyCombination(keypad, key)).toString(QKeySequence::PortableText);
}

} // namespace

QString ShortCutText(TShortCut shortCut)
{
    if (shortCut == 0) {
        return {};
    }
    QString text;
    if (shortCut & scShift) {
        text += QStringLiteral("Shift+");
    }
    if (shortCut & scCtrl) {
        text += QStringLiteral("Ctrl+");
    }
    if (shortCut & scAlt) {
        text += QStringLiteral("Alt+");
    }
    return text + KeyName(shortCut & 0xFF);
}

} // namespace quietpane
