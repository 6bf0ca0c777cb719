#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace quietpane {

// A text that doesn't hold a whole number.
class EConvertError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Strict decimal conversion of the whole text; EConvertError otherwise.
int32_t StrToInt(const QString& text);

} // namespace quietpane
