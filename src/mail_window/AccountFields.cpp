#include "mail_window/AccountFields.h"

#include "net/IdGlobal.h"

#include <stdexcept>

namespace quietpane {

namespace {

constexpr char16_t kScrambleKey = 0x80;
constexpr qsizetype kMaxPasswordLength = 255;

} // namespace

QString ScramblePassword(const QString& text)
{
    QString scrambled = text.left(kMaxPasswordLength);
    for (QChar& character : scrambled) {
        if (character.unicode() < 0x100)
            character = QChar(static_cast<char16_t>(character.unicode() ^ kScrambleKey));
    }
    return scrambled;
}

int PortNumber(const QString& text)
{
    const std::string digits = text.toStdString();
    int port = 0;
    if (!TryStrToInt(digits, port))
        throw std::invalid_argument("'" + digits + "' is not a valid integer value");
    return port;
}

} // namespace quietpane
