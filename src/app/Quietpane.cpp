#include "app/CommandLine.h"
#include "app/ProgramEntry.h"
#include "platform/GuardedApplication.h"

#include <cstdio>

int main(int argc, char** argv)
{
    // Help and version need no display, so they are answered before any application exists.
    QStringList arguments;
    for (int index = 1; index < argc; ++index)
        arguments.append(QString::fromLocal8Bit(argv[index]));
    const quietpane::TCommandLine line = quietpane::ParseCommandLine(arguments);
    if (line.action == quietpane::TCommandLine::TAction::ShowHelp) {
        std::fputs(qPrintable(quietpane::CommandLineHelp(QStringLiteral("quietpane"))), stdout);
        return 0;
    }
    if (line.action == quietpane::TCommandLine::TAction::ShowVersion) {
        std::puts("Quietpane " QUIETPANE_VERSION);
        return 0;
    }
    // The desktop's shortcuts run these: they need no display and must answer at once.
    if (quietpane::IsWindowCommand(line.action)) {
        const QCoreApplication application(argc, argv);
        return quietpane::SendWindowCommand(line.action);
    }
    // The web engine shares its OpenGL contexts with the windows; this must precede the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    quietpane::TQuietpaneApplication application(argc, argv);
    return quietpane::StartQuietpane(application);
}
