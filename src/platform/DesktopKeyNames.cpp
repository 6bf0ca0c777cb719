#include "platform/DesktopKeyNames.h"

#include <array>

#include <xkbcommon/xkbcommon.h>

#include "platform/SystemHotKeys.h"
#include "platform/VirtualKeys.h"

namespace quietpane {

namespace {

struct TModifierNames {
    uint16_t modifier;
    const char* portal;
    const char* gnome;
};

constexpr std::array kModifierNames{
    TModifierNames{MOD_SHIFT, "SHIFT+", "<Shift>"}, TModifierNames{MOD_CONTROL, "CTRL+", "<Control>"},
    TModifierNames{MOD_ALT, "ALT+", "<Alt>"}, TModifierNames{MOD_WIN, "LOGO+", "<Super>"}};

QString KeySymName(uint16_t virtualKey)
{
    const uint32_t keySym = KeySymFromVirtualKey(virtualKey);
    std::array<char, 64> name{};
    if (keySym == 0 || xkb_keysym_get_name(keySym, name.data(), name.size()) <= 0)
        return {};
    return QString::fromLatin1(name.data());
}

QString Notation(uint16_t modifiers, uint16_t virtualKey, const char* TModifierNames::*notation)
{
    const QString key = KeySymName(virtualKey);
    if (key.isEmpty())
        return {};
    QString text;
    for (const TModifierNames& names : kModifierNames) {
        if (modifiers & names.modifier)
            text += QLatin1String(names.*notation);
    }
    return text + key;
}

} // namespace

QString PortalTrigger(uint16_t modifiers, uint16_t virtualKey)
{
    return Notation(modifiers, virtualKey, &TModifierNames::portal);
}

QString GnomeAccelerator(uint16_t modifiers, uint16_t virtualKey)
{
    return Notation(modifiers, virtualKey, &TModifierNames::gnome);
}

} // namespace quietpane
