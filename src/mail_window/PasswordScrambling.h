#pragma once

#include <QString>

namespace quietpane {

// The stored form of a typed password and back: applying it twice gives the text again. The
// text is cut to its first 255 characters; each character's low byte is flipped with one key
// byte, which keeps every printable ASCII character a printable character that the settings
// database stores unchanged.
QString ScramblePassword(const QString& text);

} // namespace quietpane
