#include "shell/ShellRules.h"

#include <algorithm>

namespace quietpane {

int32_t ElapsedSeconds(uint32_t nowTick, uint32_t startTick)
{
    return static_cast<int32_t>(nowTick / 1000 - startTick / 1000);
}

QString FormatElapsed(int32_t seconds)
{
    const int32_t hours = seconds / 3600;
    const int32_t minutes = (seconds - hours * 3600) / 60;
    const int32_t rest = seconds - hours * 3600 - minutes * 60;
    return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes).arg(rest);
}

int ProgressPosition(int32_t progress, int32_t progressMax)
{
    if (progressMax <= 0)
        return 0;
    // 64 bits for the product: a large byte count times 100 must not overflow. The bar shows a
    // negative result (the end of a download) as empty.
    const int64_t position = static_cast<int64_t>(progress) * 100 / progressMax;
    return static_cast<int>(std::clamp<int64_t>(position, 0, 100));
}

} // namespace quietpane
