#include "net/IdCommandArgument.h"

void CheckCommandArgument(std::string_view value, std::string_view what)
{
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        throw EIdInvalidCommandArgument("The " + std::string(what) +
                                        " contains a line break or NUL character and cannot be sent.");
    }
}
