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

// Whole seconds between two millisecond tick counts, each divided first, 32-bit wrap-around.
int32_t ElapsedSeconds(uint32_t nowTick, uint32_t startTick);

// "hours:minutes:seconds" without leading zeros; 3725 gives "1:2:5".
QString FormatElapsed(int32_t seconds);

// The progress bar position 0..100 for a progress event.
int ProgressPosition(int32_t progress, int32_t progressMax);

// Strict decimal conversion of the whole text; EConvertError otherwise.
int32_t StrToInt(const QString& text);

} // namespace quietpane
