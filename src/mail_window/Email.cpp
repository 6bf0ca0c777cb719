#include "mail_window/Email.h"

namespace quietpane {

TfrmEmail::TfrmEmail(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmEmail"));
    setWindowTitle(QStringLiteral("Email"));
}

} // namespace quietpane
