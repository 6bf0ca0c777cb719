#pragma once

#include <QString>

#include <cstdint>

namespace quietpane {

// Whole seconds between two millisecond tick counts, each divided first, 32-bit wrap-around.
int32_t ElapsedSeconds(uint32_t nowTick, uint32_t startTick);

// "hours:minutes:seconds" without leading zeros; 3725 gives "1:2:5".
QString FormatElapsed(int32_t seconds);

// The progress bar position 0..100 for a progress event.
int ProgressPosition(int32_t progress, int32_t progressMax);

} // namespace quietpane
