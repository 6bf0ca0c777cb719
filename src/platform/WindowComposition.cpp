#include "platform/WindowComposition.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>

namespace quietpane {

namespace {

// The renderer OpenGL names on this desktop; empty when there is no OpenGL.
QByteArray OpenGLRenderer()
{
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    if (!context.create() || !context.makeCurrent(&surface))
        return {};
    const auto* renderer = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
    QByteArray name(renderer ? renderer : "");
    context.doneCurrent();
    return name;
}

bool EmulatedInSoftware(const QByteArray& renderer)
{
    for (const char* emulator : {"llvmpipe", "softpipe", "swrast", "SWR"})
        if (renderer.contains(emulator))
            return true;
    return false;
}

} // namespace

void ChooseWindowComposition()
{
    static bool chosen = false;
    if (chosen || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    chosen = true;
    if (!qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") ||
        QQuickWindow::graphicsApi() != QSGRendererInterface::OpenGL)
        return;
    if (EmulatedInSoftware(OpenGLRenderer()))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

} // namespace quietpane
