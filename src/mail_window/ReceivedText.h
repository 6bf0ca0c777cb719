#pragma once

#include <QString>

#include <string>

class TIdMessage;
class TIdText;

namespace quietpane {

// Text of the mail library as Qt text: UTF-8 when the bytes are valid UTF-8, else ISO-8859-1, as
// with a body that names no charset (a header value may carry raw 8-bit bytes).
QString FromLibraryText(const std::string& text);

// What the body box shows of a received message.
struct TShownBody {
    QString text;
    bool html = false; // text is markup to show formatted, never as source
};

// The message's main text (MainTextPart) decoded; empty with no text part.
TShownBody ChooseShownBody(const TIdMessage& message);

// The part's bytes converted from the charset its Content-Type names (the message's, for the
// part that holds a single-part body). With none named, or one unknown here, UTF-8 when the bytes
// are valid UTF-8, else ISO-8859-1. Bytes that are no character of the charset show as U+FFFD.
QString DecodeTextPart(const TIdMessage& message, const TIdText& part);

// Bytes in a named charset as Unicode, through iconv; the fallback above for no or unknown names.
QString DecodeCharsetText(const std::string& bytes, const std::string& charset);

} // namespace quietpane
