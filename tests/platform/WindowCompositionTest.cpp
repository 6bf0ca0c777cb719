#include "platform/WindowComposition.h"

#include "support/XApplication.h"

#include <QQuickWindow>

#include <gtest/gtest.h>

namespace quietpane {
namespace {

// Xvfb's OpenGL is Mesa's software emulation: windows are then painted directly, once chosen.
TEST(WindowComposition, SoftwareOpenGLOfXvfbIsPassedOverForDirectPainting)
{
    unsetenv("QT_QUICK_BACKEND");
    test::XApplication<QGuiApplication> desktop(test::XServer::Options{});
    ASSERT_EQ(QQuickWindow::sceneGraphBackend(), QString());
    ChooseWindowComposition();
    EXPECT_EQ(QQuickWindow::sceneGraphBackend(), QStringLiteral("software"));
}

} // namespace
} // namespace quietpane
