#include "platform/GuardedApplication.h"
#include "shell/ProgramEntry.h"

int main(int argc, char** argv)
{
    // The web engine shares its OpenGL contexts with the windows; this must precede the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    quietpane::TQuietpaneApplication application(argc, argv);
    return quietpane::RunQuietpane(application);
}
