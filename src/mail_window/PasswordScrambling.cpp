#include "mail_window/PasswordScrambling.h"

namespace quietpane {

namespace {

constexpr int kMaxPasswordLength = 255;
// With the high bit flipped, printable ASCII lands on printable Latin-1 and never on a
// control character, so the stored form survives the text column.
constexpr char16_t kScrambleKey = 0x80;

} // namespace

QString ScramblePassword(const QString& text)
{
    QString scrambled = text.left(kMaxPasswordLength);
    for (QChar& character : scrambled)
        character = QChar(static_cast<char16_t>(character.unicode() ^ kScrambleKey));
    return scrambled;
}

} // namespace quietpane
