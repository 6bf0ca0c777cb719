#pragma once

#include <string>

#include "message/IdEMailAddress.h"

// How outgoing header words are encoded: "=?" CharSet "?" Encoding "?" ... "?=".
struct TIdHeaderEncoding {
    std::string CharSet;
    char Encoding = 'Q';          // 'Q' quoted-printable style, 'B' base64
    bool ConvertJapanese = false; // Shift_JIS text is turned into ISO-2022-JP before encoding
    // Other text that is not in CharSet already is converted from this codeset first.
    std::string ConvertFrom{};
};

// The characters that must be escaped in an encoded display name.
extern const std::string NameSpecials;

// The encoding that suits the user's locale and the system's codeset.
TIdHeaderEncoding SelectHeaderCharset();
// localeClass as UserLocaleClass gives it, codeset as SystemCodeset does. The charsets of the
// legacy East Asian and Western codesets follow the locale; the Japanese conversion applies on a
// Japanese legacy codeset only (Shift_JIS, EUC-JP); any other codeset is named as it is.
TIdHeaderEncoding SelectHeaderCharset(int localeClass, const std::string& codeset);
// Outgoing text (header words, body lines) in the charset the encoding names.
std::string ConvertForSending(const std::string& text, const TIdHeaderEncoding& encoding);

// Words holding bytes outside printable ASCII (or one of specials) become encoded words;
// neighbouring such words share one encoded stretch, long stretches are split into encoded
// words of at most 75 characters joined by CR LF and a tab.
std::string EncodeHeaderText(const std::string& text, const std::string& specials,
                             const TIdHeaderEncoding& encoding);
// The text in double quotes, with a backslash before each quote and backslash in it.
std::string QuotedString(const std::string& text);
std::string EncodeAddressItem(const TIdEMailAddressItem& item, const TIdHeaderEncoding& encoding);
std::string EncodeAddressList(const TIdEMailAddressList& list, const TIdHeaderEncoding& encoding);

// Decodes every encoded word of a received header value into UTF-8 (into Shift_JIS for
// ISO-2022-JP words on a Shift_JIS system); other text is kept, and words that cannot be
// decoded (unknown charset, broken escape) stay as they stand.
std::string DecodeHeaderText(const std::string& value);
std::string DecodeHeaderText(const std::string& value, bool systemIsShiftJis);

// Whether iconv knows the charset by that name.
bool IsCharsetKnown(const std::string& charset);
// Text in a named charset as UTF-8 (a byte that forms no character becomes U+FFFD); text in a
// charset the system does not know stays as it is.
std::string CharsetToUtf8(const std::string& charset, const std::string& bytes);

std::string ShiftJisToJis(const std::string& text);
std::string JisToShiftJis(const std::string& text);
