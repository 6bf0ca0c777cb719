#include "shell/PageCommands.h"

#include "platform/BrowserCommands.h"
#include "platform/BrowserControl.h"
#include "platform/Dialogs.h"
#include "platform/GuardedApplication.h"
#include "platform/MessageBoxes.h"
#include "platform/ScreenCapture.h"

namespace quietpane {

void ExecuteBrowserCommand(TBrowserControl& browser, int command, int option)
{
    TCursorRestorer cursor;
    ShowBusyCursor(true);
    constexpr int offered = TBrowserControl::CommandSupported | TBrowserControl::CommandEnabled;
    try {
        if ((browser.QueryStatusWB(command) & offered) == offered)
            browser.ExecWB(command, option);
        else
            MessageBoxes().Error(QStringLiteral("Command not supported."));
    } catch (...) {
        MessageBoxes().Error(QStringLiteral("Not able to execute command."));
    }
}

void ShowPageProperties(TBrowserControl& browser)
{
    try {
        if (browser.QueryStatusWB(CommandProperties) & TBrowserControl::CommandEnabled)
            browser.ExecWB(CommandProperties, OptionPromptUser);
    } catch (...) {
        // The properties are a courtesy: a page that can't tell them just shows none.
    }
}

void SaveScreenToFile(QWidget* parent, const QString& screenFolder)
{
    // Taken before the dialog opens: the picture shows the screen as the user chose the command.
    const QPixmap screen = GrabScreen();
    const QString chosen = Dialogs().SaveFileName(parent, screenFolder + QStringLiteral("ScreenDump.bmp"),
                                                  QStringLiteral("Bitmap (*.bmp)"), false);
    if (!chosen.isEmpty())
        WriteBitmap(screen, chosen);
}

} // namespace quietpane
