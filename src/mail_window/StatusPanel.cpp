#include "mail_window/StatusPanel.h"

#include <QLabel>
#include <QStatusBar>

namespace quietpane {

QLabel* AddStatusPanel(QStatusBar& bar, int width)
{
    auto* panel = new QLabel(&bar);
    panel->setFixedWidth(width);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    bar.addWidget(panel);
    return panel;
}

} // namespace quietpane
