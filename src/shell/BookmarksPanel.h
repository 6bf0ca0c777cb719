#pragma once

#include <QString>

class QSqlTableModel;
class QTableView;

namespace quietpane {

// The longest address the Bookmark column holds.
inline constexpr int BookmarkMaxLength = 225;

// The text stored for an address: the address, cut to what the column holds.
QString BookmarkText(const QString& address);

// Dresses the bookmark grid over its table: the ID column present but not visible and never
// edited, the Bookmark column 200 pixels wide under a bold title, light cells, and in-place
// editing from the keyboard that takes no more than the column holds.
void DressBookmarkGrid(QTableView& grid, const QSqlTableModel& table);

} // namespace quietpane
