#include "net/IdCommandArgument.h"

void CheckCommandArgument(std::string_view value, std::string_view what)
{
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        throw EIdInvalidCommandArgument("The " + std::string(what) +
                                        " contains a line break or NUL character and cannot be sent.");
    }
}

void CheckEnvelopeAddress(std::string_view address, std::string_view what)
{
    CheckCommandArgument(address, what);
    bool quoted = false;
    bool plain = true;
    for (std::size_t index = 0; plain && index < address.size(); ++index) {
        const char c = address[index];
        if (quoted && c == '\\') {
            ++index; // an escaped character stands for itself
        } else if (c == '"' && (quoted || index == 0)) {
            quoted = !quoted;
        } else {
            plain = quoted || (c != ' ' && c != '\t' && c != '<' && c != '>');
        }
    }
    // An unterminated quote would let the server's parser decide where the address ends.
    if (!plain || quoted) {
        throw EIdInvalidCommandArgument("The " + std::string(what) + " \"" + std::string(address) +
                                        "\" is not a plain e-mail address and cannot be sent.");
    }
}
