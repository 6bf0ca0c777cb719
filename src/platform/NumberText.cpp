#include "platform/NumberText.h"

namespace quietpane {

int32_t StrToInt(const QString& text)
{
    bool ok = false;
    const int32_t value = text.toInt(&ok, 10);
    if (!ok)
        throw EConvertError("'" + text.toStdString() + "' is not a valid integer value");
    return value;
}

} // namespace quietpane
