#include "shell/ProgramEntry.h"

#include "mail_window/Email.h"
#include "platform/GuardedApplication.h"
#include "shell/frmAbout.h"

#include <QIcon>
#include <QScreen>

namespace quietpane {

int RunQuietpane(TQuietpaneApplication&, const TfrmWebSetup& setup)
{
    // The application's title, which message boxes carry. It is not made the display name:
    // the desktop would then append it to every window caption, which shows the page title alone.
    QApplication::setApplicationName(QStringLiteral("Quietpane"));
    // Every window and message box of the program shows its icon.
    QIcon icon;
    for (const int size : {16, 32, 256})
        icon.addFile(QStringLiteral(":/quietpane/quietpane-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    TfrmWeb frmWeb(setup);
    TfrmEmail frmEmail;
    TAbout about;
    frmWeb.SetMailWindow(&frmEmail);
    frmWeb.SetAboutBox(&about);
    // A start-up that asked to end the program ends it before the main window is ever shown.
    if (frmWeb.TerminationRequested())
        return 1;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        frmWeb.move(screen->availableGeometry().center() - frmWeb.frameGeometry().center() + frmWeb.pos());
    frmWeb.show();
    return QApplication::exec();
}

} // namespace quietpane
