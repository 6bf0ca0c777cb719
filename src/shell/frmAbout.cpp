#include "shell/frmAbout.h"

namespace quietpane {

TAbout::TAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About"));
}

} // namespace quietpane
