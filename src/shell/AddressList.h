#pragma once

#include <QString>
#include <QStringList>

namespace quietpane {

// The lines of the address box's drop-down list. Lookups ignore the case of A to Z only.

// Number of leading characters that decide whether two addresses are similar.
inline constexpr int SimilarAddressLength = 24;

// Equal over the first 24 characters, ignoring the case of A to Z; a shorter text is similar
// only to a text equal to it as a whole.
bool IsSimilarAddress(const QString& a, const QString& b);

// A typed address goes to the top: moved there when the list has it, inserted otherwise.
void PutTypedAddressFirst(QStringList& lines, const QString& address);

// Appends the address unless a similar line is already there; true when it was appended.
bool AddToAddressList(QStringList& lines, const QString& address);

} // namespace quietpane
