#include "mail_window/ReceivedText.h"

#include "message/IdMessage.h"
#include "net/IdGlobal.h"

#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace quietpane {

namespace {

// One iconv conversion to UTF-8, closed when it goes.
class TToUtf8 {
public:
    explicit TToUtf8(const std::string& charset) : handle_(iconv_open("UTF-8", charset.c_str())) {}
    ~TToUtf8()
    {
        if (Valid())
            iconv_close(handle_);
    }
    TToUtf8(const TToUtf8&) = delete;
    TToUtf8& operator=(const TToUtf8&) = delete;

    bool Valid() const { return reinterpret_cast<intptr_t>(handle_) != -1; } // iconv_open fails with -1

    QString Convert(const std::string& bytes)
    {
        std::string utf8;
        std::string input = bytes;
        char* in = input.data();
        std::size_t inLeft = input.size();
        char buffer[4096];
        const auto appendOutput = [&](char* out) {
            utf8.append(buffer, static_cast<std::size_t>(out - buffer));
        };
        while (inLeft > 0) {
            char* out = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t done = iconv(handle_, &in, &inLeft, &out, &outLeft);
            appendOutput(out);
            if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
                // An invalid or cut-off sequence: one replacement character for its first byte.
                utf8 += "\xEF\xBF\xBD";
                ++in;
                --inLeft;
                iconv(handle_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        // Ends a pending shift state (ISO-2022-JP and the like).
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        iconv(handle_, nullptr, nullptr, &out, &outLeft);
        appendOutput(out);
        return QString::fromUtf8(utf8);
    }

private:
    iconv_t handle_;
};

std::string MediaType(const std::string& contentType)
{
    return LowerCase(Trim(contentType.substr(0, contentType.find(';'))));
}

// The value of the "charset" parameter, without quotes; empty when there is none.
std::string CharsetParameter(const std::string& contentType)
{
    std::size_t position = 0;
    const std::string lower = LowerCase(contentType);
    while ((position = lower.find("charset", position)) != std::string::npos) {
        std::size_t cursor = position + 7;
        const bool startsParameter =
            position > 0 &&
            (lower[position - 1] == ';' || lower[position - 1] == ' ' || lower[position - 1] == '\t');
        position = cursor;
        while (cursor < lower.size() && (lower[cursor] == ' ' || lower[cursor] == '\t'))
            ++cursor;
        if (!startsParameter || cursor >= lower.size() || lower[cursor] != '=')
            continue;
        std::string value = Trim(contentType.substr(cursor + 1));
        if (!value.empty() && value.front() == '"') {
            value = value.substr(1, value.find('"', 1) - 1);
        } else {
            value = Trim(value.substr(0, value.find_first_of("; \t")));
        }
        return value;
    }
    return {};
}

bool IsValidUtf8(const std::string& bytes)
{
    const QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QString::fromUtf8(data).toUtf8() == data;
}

// The Content-Type that governs a text part. The reader puts a single-part body into a part
// without header lines; the message's own header then says what it is.
std::string PartContentType(const TIdMessage& message, const TIdText& part)
{
    std::string own = part.ContentType();
    if (!own.empty() || MediaType(message.ContentType).rfind("multipart/", 0) == 0)
        return own;
    return message.ContentType;
}

std::string JoinedBody(const TIdText& part)
{
    std::string text;
    for (const std::string& entry : part.Body)
        text += entry;
    return text;
}

} // namespace

QString FromLibraryText(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString DecodeCharsetText(const std::string& bytes, const std::string& charset)
{
    // A body declared US-ASCII that carries 8-bit bytes is read as if it named nothing.
    if (!charset.empty() && !SameTextNoCase(charset, "us-ascii")) {
        TToUtf8 converter(charset);
        if (converter.Valid())
            return converter.Convert(bytes);
    }
    if (IsValidUtf8(bytes))
        return FromLibraryText(bytes);
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString DecodeTextPart(const TIdMessage& message, const TIdText& part)
{
    QString text = DecodeCharsetText(JoinedBody(part), CharsetParameter(PartContentType(message, part)));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

TShownBody ChooseShownBody(const TIdMessage& message)
{
    const TIdText* lastPlain = nullptr;
    const TIdText* lastHtml = nullptr;
    const TIdText* lastText = nullptr;
    const bool multipart = MediaType(message.ContentType).rfind("multipart/", 0) == 0;
    for (int index = 0; index < message.Parts.Count(); ++index) {
        const auto* text = dynamic_cast<const TIdText*>(&message.Parts.Items(index));
        if (text == nullptr)
            continue;
        lastText = text;
        const std::string type = MediaType(PartContentType(message, *text));
        // In a multipart message a text without header lines is the preamble or epilogue.
        if (type == "text/plain" || (type.empty() && !multipart))
            lastPlain = text;
        else if (type == "text/html")
            lastHtml = text;
    }
    if (lastPlain != nullptr)
        return {DecodeTextPart(message, *lastPlain), false};
    if (lastHtml != nullptr)
        return {DecodeTextPart(message, *lastHtml), true};
    if (lastText != nullptr)
        return {DecodeTextPart(message, *lastText), false};
    return {};
}

} // namespace quietpane
