#include "shell/AddressList.h"

namespace quietpane {

namespace {

QChar AsciiLower(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ? QChar(c.unicode() + ('a' - 'A')) : c;
}

bool SameAsciiText(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

} // namespace

bool IsSimilarAddress(const QString& a, const QString& b)
{
    return SameAsciiText(QStringView(a).left(SimilarAddressLength),
                         QStringView(b).left(SimilarAddressLength));
}

void PutTypedAddressFirst(QStringList& lines, const QString& address)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (SameAsciiText(lines[i], address)) {
            lines.move(i, 0);
            return;
        }
    }
    lines.prepend(address);
}

bool AddToAddressList(QStringList& lines, const QString& address)
{
    for (const QString& line : lines)
        if (IsSimilarAddress(line, address))
            return false;
    lines.append(address);
    return true;
}

} // namespace quietpane
