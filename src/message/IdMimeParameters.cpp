#include "message/IdMimeParameters.h"

#include <string_view>
#include <vector>

#include "message/IdHeaderCoder.h"
#include "net/IdGlobal.h"

namespace {

// A continuation line of a parameter carries this many encoded characters at most, so that
// long names stay far below the line limit.
constexpr std::size_t kSegmentLength = 60;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string PercentDecode(const std::string& text)
{
    std::string bytes;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const int high = index + 2 < text.size() && text[index] == '%' ? HexDigitValue(text[index + 1]) : -1;
        const int low = high >= 0 ? HexDigitValue(text[index + 2]) : -1;
        if (low >= 0) {
            bytes += static_cast<char>(high * 16 + low);
            index += 2;
        } else {
            bytes += text[index];
        }
    }
    return bytes;
}

// Reads one parameter value at position: a quoted string (backslash escapes the next
// character; an unclosed one runs to the end) or bare text up to ";".
std::string ReadParameterValue(const std::string& text, std::size_t& position)
{
    std::string value;
    if (position < text.size() && text[position] == '"') {
        for (++position; position < text.size() && text[position] != '"'; ++position) {
            if (text[position] == '\\' && position + 1 < text.size()) {
                ++position;
            }
            value += text[position];
        }
        position = text.find(';', position);
        return value;
    }
    const std::size_t end = text.find(';', position);
    value = Trim(text.substr(position, end == std::string::npos ? std::string::npos : end - position));
    position = end;
    return value;
}

struct TSegment {
    std::string text;
    bool encoded = false;
};

bool NeedsExtendedForm(const std::string& name)
{
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            return true;
        }
    }
    return false;
}

// The RFC 2231 characters that may stand unescaped in an extended value.
bool IsAttributeChar(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte > 0x20 && byte < 0x7F &&
           std::string_view("*'%()<>@,;:\\\"/[]?=").find(c) == std::string::npos;
}

} // namespace

TIdMimeHeaderValue::TIdMimeHeaderValue(const std::string& text)
{
    std::size_t position = text.find(';');
    value_ = LowerCase(Trim(text.substr(0, position)));
    // name -> its continuation segments by number; a plain name is segment 0.
    std::map<std::string, std::map<int, TSegment>> segmented;
    std::map<std::string, bool> anyEncoded;
    while (position != std::string::npos && position < text.size()) {
        ++position; // the ";"
        const std::size_t equals = text.find('=', position);
        const std::size_t nextSemicolon = text.find(';', position);
        if (equals == std::string::npos || (nextSemicolon != std::string::npos && nextSemicolon < equals)) {
            position = nextSemicolon;
            continue;
        }
        std::string name = LowerCase(Trim(text.substr(position, equals - position)));
        position = equals + 1;
        while (position < text.size() && IsBlank(text[position])) {
            ++position;
        }
        const std::string value = ReadParameterValue(text, position);
        if (name.empty()) {
            continue;
        }
        TSegment segment{value, false};
        if (name.back() == '*') {
            segment.encoded = true;
            name.pop_back();
        }
        int number = 0;
        const std::size_t star = name.find('*');
        if (star != std::string::npos) {
            if (!TryStrToInt(name.substr(star + 1), number) || number < 0) {
                continue;
            }
            name.erase(star);
        }
        auto& segments = segmented[name];
        // The first of a repeated parameter counts; the extended form wins over the plain one.
        const auto existing = segments.find(number);
        if (existing == segments.end() || (segment.encoded && !existing->second.encoded)) {
            segments[number] = segment;
        }
        anyEncoded[name] = anyEncoded[name] || segment.encoded || star != std::string::npos;
    }
    for (const auto& [name, segments] : segmented) {
        TParameter parameter;
        parameter.extended = anyEncoded[name];
        std::string charset;
        int expected = 0;
        for (const auto& [number, segment] : segments) {
            if (number != expected++) {
                break; // a gap ends the value
            }
            std::string piece = segment.text;
            if (segment.encoded) {
                if (number == 0) {
                    const std::size_t first = piece.find('\'');
                    const std::size_t second =
                        first == std::string::npos ? first : piece.find('\'', first + 1);
                    if (second != std::string::npos) {
                        charset = piece.substr(0, first);
                        piece.erase(0, second + 1);
                    }
                }
                piece = PercentDecode(piece);
            }
            parameter.value += piece;
        }
        if (parameter.extended) {
            parameter.value = CharsetToUtf8(charset, parameter.value);
        }
        parameters_[name] = std::move(parameter);
    }
}

std::string TIdMimeHeaderValue::Parameter(const std::string& name) const
{
    const auto found = parameters_.find(LowerCase(name));
    return found == parameters_.end() ? std::string() : found->second.value;
}

bool TIdMimeHeaderValue::HasParameter(const std::string& name) const
{
    return parameters_.count(LowerCase(name)) > 0;
}

std::string TIdMimeHeaderValue::DisplayParameter(const std::string& name) const
{
    const auto found = parameters_.find(LowerCase(name));
    if (found == parameters_.end()) {
        return {};
    }
    return found->second.extended ? found->second.value : DecodeHeaderText(found->second.value);
}

std::string FileNameParameter(const std::string& parameter, const std::string& fileName,
                              TIdFileNameForm nonAsciiForm, const std::string& indent)
{
    std::string name;
    for (const char c : fileName) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
            name += c;
        }
    }
    if (!NeedsExtendedForm(name)) {
        return indent + parameter + "=" + QuotedString(name);
    }
    if (nonAsciiForm == TIdFileNameForm::EncodedWords) {
        const TIdHeaderEncoding words{"UTF-8", 'B', false};
        return indent + parameter + "=" + QuotedString(EncodeHeaderText(name, "\"\\", words));
    }
    std::vector<std::string> segments(1);
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const std::string unit =
            IsAttributeChar(c) ? std::string(1, c)
                               : std::string{'%', kUpperHexDigits[byte >> 4], kUpperHexDigits[byte & 0x0F]};
        if (segments.back().size() + unit.size() > kSegmentLength) {
            segments.emplace_back();
        }
        segments.back() += unit;
    }
    std::string text;
    for (std::size_t index = 0; index < segments.size(); ++index) {
        const std::string number = segments.size() == 1 ? std::string() : "*" + std::to_string(index);
        text += (index == 0 ? "" : ";\r\n") + indent + parameter + number +
                "*=" + (index == 0 ? "UTF-8''" : "") + segments[index];
    }
    return text;
}
