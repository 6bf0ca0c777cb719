#pragma once

#include <string>
#include <string_view>

#include "net/IdException.h"

class EIdInvalidCommandArgument : public EIdException {
public:
    using EIdException::EIdException;
};

// Raises before anything is sent when a value that becomes part of a command line holds CR, LF
// or NUL: the server would read the rest as a command of its own. what names the value
// ("address", "user name", ...) in the error text.
void CheckCommandArgument(std::string_view value, std::string_view what);

// Raises before anything is sent unless address is a plain address for an SMTP envelope: besides
// the rule above, no blank, "<" or ">" outside a quoted local part, which would smuggle
// parameters (NOTIFY=, ORCPT=) or a second address into MAIL FROM or RCPT TO.
void CheckEnvelopeAddress(std::string_view address, std::string_view what);
