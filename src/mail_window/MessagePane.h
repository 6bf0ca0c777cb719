#pragma once

#include "net/IdGlobal.h"

#include <QFrame>
#include <QString>

class QGridLayout;
class QLabel;
class QTreeWidget;
class TIdMessage;

namespace quietpane {

// A mail date as the header list shows it: the date alone, in the user's short date format.
QString ListDateText(TDateTime date);
// A mail date as the message pane shows it: two-digit day, the user's short month name,
// four-digit year and 24-hour time.
QString PaneDateText(TDateTime date);

// The coloured pane above the body box: the header values of the shown message in maroon beside
// their bold captions, and the attachment list at its right edge.
class TMessagePane final : public QFrame {
public:
    explicit TMessagePane(QWidget* parent = nullptr);

    // Empties every value label except the recipients, which the next Fill overwrites.
    void ClearValues();
    void Fill(const TIdMessage& message);

    QTreeWidget* Attachments() const { return lvMessageParts_; }

private:
    QLabel* AddValue(const char* caption, const char* objectName, int row, int column, bool fixedWidth);

    QGridLayout* values_;
    QLabel* from_;
    QLabel* recipients_;
    QLabel* cc_;
    QLabel* subject_;
    QLabel* date_;
    QLabel* priority_;
    QLabel* receipt_;
    QLabel* organization_;
    QTreeWidget* lvMessageParts_;
};

} // namespace quietpane
