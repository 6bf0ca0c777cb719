#pragma once

#include <QString>

namespace quietpane {

// The stored password is kept scrambled: each character of the first 255 is exclusive-ored with
// one key byte, so scrambling twice gives back the typed text. The key keeps printable ASCII
// printable (it maps onto printable Latin-1), so the scrambled form stays an ordinary edit-box
// and database text; characters beyond Latin-1 pass unchanged.
QString ScramblePassword(const QString& text);

// A port box's text as a number; a text that is not one raises with the conversion's message.
int PortNumber(const QString& text);

} // namespace quietpane
