#include "message/IdHeaderCoder.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <string_view>
#include <vector>

#include "message/IdCoder3To4.h"
#include "net/IdGlobal.h"

const std::string NameSpecials = "\"(),.:;<>@[]\\";

namespace {

constexpr size_t kMaxEncodedWordLength = 75;
constexpr char kEscape = 27;

bool IsWordSeparator(char c)
{
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

bool IsAlwaysEncoded(unsigned char c)
{
    return c < 32 || c >= 127;
}

bool IsQEscaped(unsigned char c, const std::string& specials)
{
    return IsAlwaysEncoded(c) || specials.find(static_cast<char>(c)) != std::string::npos || c == '=' ||
           c == '?' || c == '_';
}

bool IsUtf8Continuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// Characters outside the alphabet count as 0; padding ends the data.
std::string Base64Decode(std::string_view text)
{
    std::string result;
    uint32_t bits = 0;
    int bitCount = 0;
    for (char c : text) {
        if (c == '=') {
            break;
        }
        const char* found = std::strchr(Base64Table, c);
        const uint32_t value =
            (found != nullptr && c != '\0') ? static_cast<uint32_t>(found - Base64Table) : 0;
        bits = (bits << 6) | value;
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            result += static_cast<char>((bits >> bitCount) & 0xFF);
        }
    }
    return result;
}

// False for an "=" that is not followed by two hexadecimal digits.
bool QDecode(std::string_view text, std::string& result)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            result += ' ';
        } else if (text[i] == '=') {
            const int high = i + 1 < text.size() ? HexDigitValue(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? HexDigitValue(text[i + 2]) : -1;
            if (high < 0 || low < 0) {
                return false;
            }
            result += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            result += text[i];
        }
    }
    return true;
}

// Splits a run into the units that must stay within one encoded word: whole UTF-8 sequences
// for UTF-8 text, single bytes otherwise.
std::vector<std::string> CharacterUnits(const std::string& run, bool utf8)
{
    std::vector<std::string> units;
    for (size_t i = 0; i < run.size();) {
        size_t end = i + 1;
        while (utf8 && end < run.size() && end - i < 4 && IsUtf8Continuation(run[end])) {
            ++end;
        }
        units.push_back(run.substr(i, end - i));
        i = end;
    }
    return units;
}

std::string QToken(const std::string& unit, const std::string& specials)
{
    std::string token;
    for (char c : unit) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == ' ') {
            token += '_';
        } else if (IsQEscaped(byte, specials)) {
            token += {'=', kUpperHexDigits[byte >> 4], kUpperHexDigits[byte & 0x0F]};
        } else {
            token += c;
        }
    }
    return token;
}

std::string EncodeRun(const std::string& run, const std::string& specials, const TIdHeaderEncoding& encoding)
{
    const std::string opening = "=?" + encoding.CharSet + "?" + encoding.Encoding + "?";
    const std::string closing = "?=";
    const std::string nextWord = closing + "\r\n\t" + opening;
    const size_t emptyWordLength = opening.size() + closing.size();
    const bool quoted = encoding.Encoding == 'Q' || encoding.Encoding == 'q';
    const std::vector<std::string> units = CharacterUnits(run, UpperCase(encoding.CharSet) == "UTF-8");

    std::string result = opening;
    if (quoted) {
        size_t wordLength = emptyWordLength;
        for (const std::string& unit : units) {
            const std::string token = QToken(unit, specials);
            if (wordLength + token.size() > kMaxEncodedWordLength && wordLength > emptyWordLength) {
                result += nextWord;
                wordLength = emptyWordLength;
            }
            result += token;
            wordLength += token.size();
        }
    } else {
        std::string chunk;
        for (const std::string& unit : units) {
            const size_t encodedLength = (chunk.size() + unit.size() + 2) / 3 * 4;
            if (!chunk.empty() && emptyWordLength + encodedLength > kMaxEncodedWordLength) {
                result += EncodeBase64Text(chunk) + nextWord;
                chunk.clear();
            }
            chunk += unit;
        }
        result += EncodeBase64Text(chunk);
    }
    return result + closing;
}

bool IsShiftJisCodeset(const std::string& codeset)
{
    const std::string upper = UpperCase(codeset);
    return upper == "SHIFT_JIS" || upper == "SHIFT-JIS" || upper == "SJIS" || upper == "CP932";
}

// Owns an iconv descriptor.
class TCharsetConverter {
public:
    TCharsetConverter(const std::string& from, const std::string& to)
        : handle_(iconv_open(to.c_str(), from.c_str()))
    {
    }
    ~TCharsetConverter()
    {
        if (Valid()) {
            iconv_close(handle_);
        }
    }
    TCharsetConverter(const TCharsetConverter&) = delete;
    TCharsetConverter& operator=(const TCharsetConverter&) = delete;

    bool Valid() const { return reinterpret_cast<intptr_t>(handle_) != -1; } // iconv_open fails with -1

    // Bytes that do not form a character of the source charset become U+FFFD.
    std::string Convert(const std::string& bytes)
    {
        static const std::string replacement = "\xEF\xBF\xBD";
        std::string result;
        std::string input = bytes;
        char* in = input.data();
        size_t inLeft = input.size();
        char buffer[256];
        while (true) {
            char* out = buffer;
            size_t outLeft = sizeof buffer;
            const size_t done = iconv(handle_, inLeft > 0 ? &in : nullptr, &inLeft, &out, &outLeft);
            result.append(buffer, out - buffer);
            if (done != static_cast<size_t>(-1)) {
                if (inLeft == 0) {
                    // Flush a pending shift state once the input is used up.
                    out = buffer;
                    outLeft = sizeof buffer;
                    iconv(handle_, nullptr, nullptr, &out, &outLeft);
                    result.append(buffer, out - buffer);
                    return result;
                }
                continue;
            }
            if (errno == E2BIG) {
                continue;
            }
            result += replacement;
            if (errno != EILSEQ || inLeft == 0) {
                return result; // an incomplete sequence at the end, or a failure of iconv itself
            }
            ++in;
            --inLeft;
        }
    }

private:
    iconv_t handle_;
};

// One encoded word found in a header value.
struct TEncodedWord {
    size_t end = 0;      // position after the word
    std::string charset; // without an RFC 2231 language suffix
    std::string bytes;   // the decoded bytes, still in charset
};

// The first "?=" at or after a position. Positions are asked in rising order, so the last
// answer is reused while it lies ahead: a value full of unclosed words is scanned once.
class TClosingFinder {
public:
    explicit TClosingFinder(const std::string& value) : value_(value) {}
    size_t FindFrom(size_t position)
    {
        if (!valid_ || (found_ != std::string::npos && found_ < position)) {
            found_ = value_.find("?=", position);
            valid_ = true;
        }
        return found_;
    }

private:
    const std::string& value_;
    size_t found_ = std::string::npos;
    bool valid_ = false;
};

// Parses "=?charset?Q|B?text?=" at start; a word without its closing "?=" runs to the end.
bool ParseEncodedWord(const std::string& value, size_t start, TClosingFinder& closings, TEncodedWord& word)
{
    const size_t charsetStart = start + 2;
    const size_t charsetEnd = value.find('?', charsetStart);
    if (charsetEnd == std::string::npos || charsetEnd == charsetStart || charsetEnd + 2 >= value.size() ||
        value[charsetEnd + 2] != '?') {
        return false;
    }
    const std::string charset = value.substr(charsetStart, charsetEnd - charsetStart);
    for (char c : charset) {
        // A "/" would pass options ("//IGNORE") to the converter.
        if (IsAlwaysEncoded(static_cast<unsigned char>(c)) || c == ' ' || c == '/') {
            return false;
        }
    }
    const char letter = value[charsetEnd + 1];
    const size_t textStart = charsetEnd + 3;
    size_t textEnd = closings.FindFrom(textStart);
    word.end = textEnd == std::string::npos ? value.size() : textEnd + 2;
    if (textEnd == std::string::npos) {
        textEnd = value.size();
    }
    const std::string_view text = std::string_view(value).substr(textStart, textEnd - textStart);
    word.charset = charset.substr(0, charset.find('*'));
    if (word.charset.empty()) {
        return false; // the converter would take an empty name for the locale's own codeset
    }
    word.bytes.clear();
    if (letter == 'Q' || letter == 'q') {
        return QDecode(text, word.bytes);
    }
    if (letter == 'B' || letter == 'b') {
        word.bytes = Base64Decode(text);
        return true;
    }
    return false;
}

std::string ConvertDecodedBytes(const std::string& charset, const std::string& bytes, bool systemIsShiftJis)
{
    if (systemIsShiftJis && SameTextNoCase(charset, "ISO-2022-JP")) {
        return JisToShiftJis(bytes);
    }
    TCharsetConverter converter(charset, "UTF-8");
    return converter.Convert(bytes);
}

bool IsAllWhitespace(const std::string& text)
{
    for (char c : text) {
        if (!IsWordSeparator(c)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool IsCharsetKnown(const std::string& charset)
{
    return TCharsetConverter(charset, "UTF-8").Valid();
}

TIdHeaderEncoding SelectHeaderCharset()
{
    return SelectHeaderCharset(UserLocaleClass(), SystemCodeset());
}

TIdHeaderEncoding SelectHeaderCharset(int localeClass, const std::string& codeset)
{
    const std::string upper = UpperCase(codeset);
    if (upper == "UTF-8" || upper == "UTF8") {
        return {"UTF-8", localeClass < 4 ? 'B' : 'Q', false, ""};
    }
    if (IsShiftJisCodeset(codeset)) {
        return {"ISO-2022-JP", 'B', true, ""};
    }
    if (upper == "EUC-JP" || upper == "EUCJP" || upper == "UJIS") {
        return {"ISO-2022-JP", 'B', false, codeset};
    }
    // The charset the locale's legacy codeset goes by, when the system uses that codeset.
    const auto isOneOf = [&upper](std::initializer_list<const char*> names) {
        for (const char* name : names) {
            if (upper == name) {
                return true;
            }
        }
        return false;
    };
    switch (localeClass) {
    case 0:
        if (isOneOf({"GB2312", "EUC-CN", "EUCCN", "GBK", "GB18030"})) {
            return {"GB2312", 'B', false, ""};
        }
        break;
    case 1:
        if (isOneOf({"BIG5", "BIG5-HKSCS"})) {
            return {"Big5", 'B', false, ""};
        }
        break;
    case 3:
        if (isOneOf({"EUC-KR", "EUCKR"})) {
            return {"EUC-KR", 'B', false, ""};
        }
        break;
    case 4:
        if (isOneOf({"ISO-8859-1", "ISO8859-1", "LATIN1"})) {
            return {"ISO-8859-1", 'Q', false, ""};
        }
        break;
    default:
        break;
    }
    return {codeset, localeClass < 4 ? 'B' : 'Q', false, ""};
}

std::string ConvertForSending(const std::string& text, const TIdHeaderEncoding& encoding)
{
    if (encoding.ConvertJapanese) {
        return ShiftJisToJis(text);
    }
    if (!encoding.ConvertFrom.empty()) {
        TCharsetConverter converter(encoding.ConvertFrom, encoding.CharSet);
        return converter.Valid() ? converter.Convert(text) : text;
    }
    return text;
}

std::string QuotedString(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + '"';
}

std::string EncodeHeaderText(const std::string& text, const std::string& specials,
                             const TIdHeaderEncoding& encoding)
{
    const std::string source = ConvertForSending(text, encoding);
    std::string result;
    bool runOpen = false;
    size_t runStart = 0;
    size_t position = 0;
    while (position < source.size()) {
        const size_t separatorsStart = position;
        while (position < source.size() && IsWordSeparator(source[position])) {
            ++position;
        }
        const size_t wordStart = position;
        bool needsEncoding = false;
        while (position < source.size() && !IsWordSeparator(source[position])) {
            const auto c = static_cast<unsigned char>(source[position]);
            needsEncoding =
                needsEncoding || IsAlwaysEncoded(c) || specials.find(source[position]) != std::string::npos;
            ++position;
        }
        if (!needsEncoding) {
            if (runOpen) {
                result += EncodeRun(source.substr(runStart, separatorsStart - runStart), specials, encoding);
                runOpen = false;
            }
            result += source.substr(separatorsStart, position - separatorsStart);
        } else if (!runOpen) {
            result += source.substr(separatorsStart, wordStart - separatorsStart);
            runOpen = true;
            runStart = wordStart;
        }
    }
    if (runOpen) {
        result += EncodeRun(source.substr(runStart), specials, encoding);
    }
    return result;
}

std::string EncodeAddressItem(const TIdEMailAddressItem& item, const TIdHeaderEncoding& encoding)
{
    if (item.Name.empty()) {
        return item.Address;
    }
    std::string nameText;
    bool plain = true;
    for (char c : item.Name) {
        plain = plain && !IsAlwaysEncoded(static_cast<unsigned char>(c));
    }
    if (plain) {
        nameText = QuotedString(item.Name);
    } else {
        nameText = EncodeHeaderText(item.Name, NameSpecials, encoding);
    }
    return nameText + " <" + item.Address + ">";
}

std::string EncodeAddressList(const TIdEMailAddressList& list, const TIdHeaderEncoding& encoding)
{
    std::string result;
    for (int i = 0; i < list.Count(); ++i) {
        result += (i == 0 ? "" : ", ") + EncodeAddressItem(list.Items(i), encoding);
    }
    return result;
}

std::string CharsetToUtf8(const std::string& charset, const std::string& bytes)
{
    if (charset.empty() || charset.find('/') != std::string::npos || SameTextNoCase(charset, "UTF-8") ||
        SameTextNoCase(charset, "US-ASCII")) {
        return bytes;
    }
    TCharsetConverter converter(charset, "UTF-8");
    return converter.Valid() ? converter.Convert(bytes) : bytes;
}

std::string DecodeHeaderText(const std::string& value)
{
    return DecodeHeaderText(value, IsShiftJisCodeset(SystemCodeset()));
}

std::string DecodeHeaderText(const std::string& value, bool systemIsShiftJis)
{
    std::string result;
    // Neighbouring words in the same charset are converted together: a character may be split
    // across two words.
    std::string pendingCharset;
    std::string pendingBytes;
    bool pending = false;
    const auto flush = [&] {
        if (pending) {
            result += ConvertDecodedBytes(pendingCharset, pendingBytes, systemIsShiftJis);
            pending = false;
        }
    };
    TClosingFinder closings(value);
    size_t position = 0;
    size_t searchFrom = 0;
    while (true) {
        const size_t start = value.find("=?", searchFrom);
        if (start == std::string::npos) {
            break;
        }
        TEncodedWord word;
        if (!ParseEncodedWord(value, start, closings, word) || !IsCharsetKnown(word.charset)) {
            searchFrom = start + 2;
            continue;
        }
        const std::string between = value.substr(position, start - position);
        // White space between two encoded words is not part of the text.
        if (!pending || !IsAllWhitespace(between)) {
            flush();
            result += between;
        }
        if (pending && !SameTextNoCase(pendingCharset, word.charset)) {
            flush();
        }
        if (!pending) {
            pendingCharset = word.charset;
            pendingBytes.clear();
            pending = true;
        }
        pendingBytes += word.bytes;
        position = searchFrom = word.end;
    }
    flush();
    return result + value.substr(position);
}

namespace {

// Full-width JIS X 0208 codes of the half-width katakana 161 to 223.
const uint16_t kFullWidthKana[63] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527, 0x2529, 0x2563, 0x2565,
    0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D, 0x252F, 0x2531, 0x2533,
    0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, 0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C,
    0x254D, 0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564,
    0x2566, 0x2568, 0x2569, 0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C};

constexpr unsigned char kVoicedMark = 222;
constexpr unsigned char kSemiVoicedMark = 223;

// The voiced full-width form of a half-width kana, or 0 when it has none.
uint16_t VoicedKana(unsigned char kana)
{
    if (kana == 179) {
        return 0x2574; // U with the voiced mark
    }
    if ((kana >= 182 && kana <= 196) || (kana >= 202 && kana <= 206)) {
        return kFullWidthKana[kana - 161] + 1;
    }
    return 0;
}

} // namespace

std::string ShiftJisToJis(const std::string& text)
{
    std::string result;
    bool doubleByte = false;
    const auto enterDoubleByte = [&] {
        if (!doubleByte) {
            result += {kEscape, '$', 'B'};
            doubleByte = true;
        }
    };
    const auto appendPair = [&](int high, int low) {
        enterDoubleByte();
        result += {static_cast<char>(high), static_cast<char>(low)};
    };
    const size_t size = text.size();
    for (size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int next = i + 1 < size ? static_cast<unsigned char>(text[i + 1]) : -1;
        if (c < 128) {
            if (doubleByte) {
                result += {kEscape, '(', 'B'};
                doubleByte = false;
            }
            result += static_cast<char>(c);
        } else if (c >= 161 && c <= 223) {
            uint16_t code = kFullWidthKana[c - 161];
            const uint16_t voiced = VoicedKana(c);
            if (next == kVoicedMark && voiced != 0) {
                code = voiced;
                ++i;
            } else if (next == kSemiVoicedMark && voiced >= 0x2550 && voiced <= 0x255C) {
                code = voiced + 1;
                ++i;
            }
            appendPair(code >> 8, code & 0xFF);
        } else if ((c >= 129 && c <= 159) || (c >= 224 && c <= 239)) {
            if (next < 0) {
                break;
            }
            ++i;
            if ((next >= 64 && next <= 126) || (next >= 128 && next <= 252)) {
                const int row = c <= 159 ? 2 * (c - 129) + 33 : 2 * (c - 224) + 95;
                if (next <= 158) {
                    appendPair(row, next <= 126 ? next - 31 : next - 32);
                } else {
                    appendPair(row + 1, next - 126);
                }
            }
        } else if (c >= 240 && c <= 252) {
            ++i; // user-defined area, with its trail byte
        }
        // 128, 160 and 253 to 255 are no characters and are dropped.
    }
    if (doubleByte) {
        result += {kEscape, '(', 'B'};
    }
    return result;
}

std::string JisToShiftJis(const std::string& text)
{
    std::string result;
    bool doubleByte = false;
    const size_t size = text.size();
    for (size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == kEscape) {
            if (i + 2 < size) {
                const std::string designation = text.substr(i + 1, 2);
                if (designation == "$B") {
                    doubleByte = true;
                } else if (designation == "(B") {
                    doubleByte = false;
                }
                i += 2;
            }
        } else if (!doubleByte) {
            result += static_cast<char>(c);
        } else if (i + 1 < size) {
            const int j1 = c;
            const int j2 = static_cast<unsigned char>(text[++i]);
            const int s1 = (j1 - 1) / 2 + (j1 <= 94 ? 113 : 177);
            const int s2 = j1 % 2 == 0 ? j2 + 126 : (j2 >= 96 ? j2 + 32 : j2 + 31);
            result += {static_cast<char>(s1), static_cast<char>(s2)};
        }
    }
    return result;
}
