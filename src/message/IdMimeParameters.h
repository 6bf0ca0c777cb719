#pragma once

#include <map>
#include <string>

// A structured MIME header value such as a Content-Type or Content-Disposition:
// "main/sub; name=value; name*=UTF-8''%E2%82%AC; name*0=...; name*1=...".
// Parameters are read as senders really write them: names in any letter case, values quoted
// (with backslash escapes) or bare, RFC 2231 continuations and charsets joined and converted to
// UTF-8. Only the text before the first ";" is the value itself.
class TIdMimeHeaderValue {
public:
    explicit TIdMimeHeaderValue(const std::string& text);

    // The value without parameters, trimmed, in lower case ("text/plain", "attachment").
    const std::string& Value() const { return value_; }
    // The named parameter (name in any letter case), or empty text.
    std::string Parameter(const std::string& name) const;
    bool HasParameter(const std::string& name) const;
    // A parameter that names something to show the user: RFC 2231 values as they are, RFC 2047
    // encoded words of a plain value decoded too.
    std::string DisplayParameter(const std::string& name) const;

private:
    struct TParameter {
        std::string value;
        bool extended = false; // from the RFC 2231 form, already in UTF-8
    };
    std::string value_;
    std::map<std::string, TParameter> parameters_; // by lower-case name
};

enum class TIdFileNameForm { EncodedWords, Rfc2231 };

// One file name parameter of an attachment header, on lines of its own that start with indent:
// name="..." quoted and escaped. A name with bytes outside printable ASCII is written as RFC
// 2047 encoded words inside the quotes (what older readers understand) or in the RFC 2231 form
// name*=UTF-8''... (continued over several lines when long). Control characters, CR and LF
// among them, never reach the header.
std::string FileNameParameter(const std::string& parameter, const std::string& fileName,
                              TIdFileNameForm nonAsciiForm, const std::string& indent);
