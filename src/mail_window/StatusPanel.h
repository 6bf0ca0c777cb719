#pragma once

class QLabel;
class QStatusBar;

namespace quietpane {

// A sunken text panel of a fixed width at the end of the mail window's status bars.
QLabel* AddStatusPanel(QStatusBar& bar, int width);

} // namespace quietpane
