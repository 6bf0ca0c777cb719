#include "shell/ProgramEntry.h"

#include "mail_window/Email.h"
#include "platform/GuardedApplication.h"
#include "shell/frmAbout.h"

#include <QScreen>

namespace quietpane {

int RunQuietpane(TQuietpaneApplication& application, const TfrmWebSetup& setup)
{
    QApplication::setApplicationName(QStringLiteral("Quietpane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quietpane"));
    TfrmWeb frmWeb(setup);
    if (frmWeb.TerminationRequested())
        application.Terminate();
    TfrmEmail frmEmail;
    TAbout about;
    frmWeb.SetMailWindow(&frmEmail);
    frmWeb.SetAboutBox(&about);
    if (application.Terminated())
        return 1;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        frmWeb.move(screen->availableGeometry().center() - frmWeb.frameGeometry().center() + frmWeb.pos());
    frmWeb.show();
    return QApplication::exec();
}

} // namespace quietpane
