// The browser control behind a proxy that wants a sign-in. The engine reads the proxy when it
// starts, so this test has a process of its own.

#include "platform/WebEngineBrowser.h"

#include "support/QtTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QNetworkProxy>
#include <QWebEngineView>
#include <QWidget>

#include <gtest/gtest.h>

namespace quietpane {
namespace {

TEST(WebEngineProxyTest, ProxySignInIsAskedInADialogAndItsAnswerGoesToTheProxy)
{
    test::TestApplication();
    const test::TempDir pages;
    pages.WriteFile("private.html",
                    "<html><head><title>Through the proxy</title></head><body>ok</body></html>");
    const int port = test::FreePort();
    test::ChildProcess proxy({"/usr/bin/python3", QUIETPANE_TEST_SCRIPTS_DIR "/web_server.py",
                              std::to_string(port), pages.Path().string()});
    ASSERT_TRUE(test::WaitForPort(port));
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), port));

    test::ScriptedDialogs dialogs;
    dialogs.credentialsAnswer = true;
    dialogs.userAnswer = QStringLiteral("tester");
    dialogs.passwordAnswer = QStringLiteral("secret");
    QWidget window;
    TWebEngineBrowser browser(&window);
    window.show();
    // A name no resolver knows: only the proxy can answer it.
    browser.Navigate(QStringLiteral("http://quietpane.test/private.html"), 0, 0, 0, 0);
    auto* view = static_cast<QWebEngineView*>(browser.Widget());
    EXPECT_TRUE(test::WaitUntil([&] { return view->title() == QLatin1String("Through the proxy"); }, 60000))
        << view->title().toStdString();
    EXPECT_EQ(dialogs.credentialPrompts,
              QStringList{QStringLiteral(
                  "The proxy 127.0.0.1 asks for a user name and password.\nRealm: Proxy realm")});
}

} // namespace
} // namespace quietpane
