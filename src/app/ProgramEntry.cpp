#include "app/ProgramEntry.h"

#include "app/CommandLine.h"
#include "mail_window/Email.h"
#include "net/IdAntiFreeze.h"
#include "platform/EventPump.h"
#include "platform/GuardedApplication.h"
#include "platform/ProgramData.h"
#include "platform/SingleInstance.h"
#include "platform/WindowHiding.h"
#include "shell/frmAbout.h"

#include <QIcon>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace quietpane {

namespace {

// The main window's close ends the run; a mail command still waiting on a silent server
// inside the event pump would keep the loop from ever seeing that, so its sessions end first.
class TMailEndsWithMainWindow final : public QObject {
public:
    TMailEndsWithMainWindow(TfrmWeb& mainWindow, TfrmEmail& mailWindow) : mail_(mailWindow)
    {
        mainWindow.installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Close)
            mail_.EndMailSessions();
        return false;
    }

private:
    TfrmEmail& mail_;
};

// The desktop's shortcuts and scripts reach the window through these as the hotkeys do.
void CarryOutWindowCommand(TfrmWeb& frmWeb, const QString& command)
{
    const bool shown = frmWeb.isVisible() && !frmWeb.isMinimized();
    if (command == QLatin1String("hide") || (command == QLatin1String("toggle") && shown))
        frmWeb.HideWindow();
    else if (command == QLatin1String("restore") || command == QLatin1String("toggle"))
        frmWeb.RestoreWindow();
}

} // namespace

int RunQuietpane(TQuietpaneApplication&, const TfrmWebSetup& setup, const TProgramStart& start)
{
    // The application's title, which message boxes carry. It is not made the display name:
    // the desktop would then append it to every window caption, which shows the page title alone.
    QApplication::setApplicationName(QStringLiteral("Quietpane"));
    // Only the main window's end is the program's end: while it is hidden, closing the mail
    // window or a message box must not end the program as the last visible window.
    QApplication::setQuitOnLastWindowClosed(false);
    // Every window and message box of the program shows its icon, in the sizes of title bars and
    // window lists. The window manager reads the icons anew each time a restore maps the window:
    // a large one (256 pixels square is 256 KiB) would hold up every restore.
    QIcon icon;
    for (const int size : {16, 32})
        icon.addFile(QStringLiteral(":/quietpane/quietpane-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    // The one responsiveness component: every window stays alive while a mail command waits.
    // It outlives the windows, whose last commands may still wait as they go.
    TIdAntiFreeze antiFreeze;
    antiFreeze.MessagePump = PumpQtEvents;
    TfrmWeb frmWeb(setup);
    TfrmEmail frmEmail(TfrmEmailSetup{setup.programFolder, setup.registry});
    TAbout about;
    frmWeb.SetMailWindow(&frmEmail);
    frmWeb.SetAboutBox(&about);
    TMailEndsWithMainWindow mailEndsWithMainWindow(frmWeb, frmEmail);
    // A start-up that asked to end the program ends it before the main window is ever shown.
    if (frmWeb.TerminationRequested() || frmEmail.TerminationRequested())
        return 1;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        frmWeb.move(screen->availableGeometry().center() - frmWeb.frameGeometry().center() + frmWeb.pos());
    frmWeb.show();
    if (!start.address.isEmpty())
        frmWeb.OpenAddress(start.address);
    if (start.instance) {
        // A later start brings the window back, also when the hotkey hid it.
        start.instance->OnRequest = [&frmWeb](const QString& address) {
            ShowInFront(frmWeb);
            if (!address.isEmpty())
                frmWeb.OpenAddress(address);
        };
        start.instance->OnCommand = [&frmWeb](const QString& command) {
            CarryOutWindowCommand(frmWeb, command);
        };
    }
    // The mail server is met once the program is on the screen, so start-up never waits on it.
    QTimer::singleShot(0, &frmEmail, &TfrmEmail::ConnectOutgoingServer);
    const int status = QApplication::exec();
    // The window goes with this function; the instance may outlive it.
    if (start.instance) {
        start.instance->OnRequest = nullptr;
        start.instance->OnCommand = nullptr;
    }
    return status;
}

int StartQuietpane(TQuietpaneApplication& application)
{
    const TCommandLine line = ParseCommandLine(QCoreApplication::arguments().mid(1));
    if (line.action == TCommandLine::TAction::Fail) {
        std::fprintf(stderr, "quietpane: %s\nTry 'quietpane --help'.\n", qPrintable(line.error));
        return 2;
    }
    // Settled before the windows are made: a start meanwhile waits instead of running twice.
    TSingleInstance instance;
    if (instance.HandOverOrListen(line.address))
        return 0;
    TfrmWebSetup setup;
    setup.programFolder = PrepareProgramData(RunningProgramPlaces());
    return RunQuietpane(application, setup, TProgramStart{line.address, &instance});
}

int SendWindowCommand(TCommandLine::TAction action)
{
    TSingleInstance instance;
    if (instance.HandOverCommand(WindowCommandWord(action)))
        return 0;
    std::fputs("quietpane: Quietpane is not running, so there is no window to act on.\n", stderr);
    return 1;
}

} // namespace quietpane
