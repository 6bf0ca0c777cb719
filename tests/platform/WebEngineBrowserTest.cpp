#include "platform/WebEngineBrowser.h"

#include "platform/WindowHiding.h"

#include "support/QtTestSupport.h"

#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWidget>

#include <gtest/gtest.h>

namespace quietpane {
namespace {

using test::WaitUntil;

class WebEngineBrowserTest : public ::testing::Test {
protected:
    bool PageVisible() const { return view->page()->isVisible(); }

    TQuietpaneApplication& application = test::TestApplication(); // before any widget
    QWidget window;
    TWebEngineBrowser browser{&window};
    QWebEngineView* view = static_cast<QWebEngineView*>(browser.Widget());
};

TEST_F(WebEngineBrowserTest, PageSleepsWhileItsWindowIsHiddenAndWakesOnceTheWindowIsShownAgain)
{
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return PageVisible(); }));
    for (int cycle = 0; cycle < 3; ++cycle) {
        window.hide();
        EXPECT_FALSE(PageVisible()) << "cycle " << cycle;
        window.show();
        EXPECT_FALSE(PageVisible()) << "cycle " << cycle; // the window first
        EXPECT_TRUE(WaitUntil([&] { return PageVisible(); })) << "cycle " << cycle;
    }
}

TEST_F(WebEngineBrowserTest, WindowHiddenAgainBeforeThePageWokeLeavesItAsleep)
{
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return PageVisible(); }));
    window.hide();
    window.show();
    window.hide();
    QCoreApplication::processEvents();
    EXPECT_FALSE(PageVisible());
    window.show();
    EXPECT_TRUE(WaitUntil([&] { return PageVisible(); }));
}

TEST_F(WebEngineBrowserTest, ViewHiddenAndShownByItselfPutsThePageToSleepAndWakesItAtOnce)
{
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return PageVisible(); }));
    view->hide();
    EXPECT_FALSE(PageVisible());
    view->show();
    EXPECT_TRUE(PageVisible());
}

TEST_F(WebEngineBrowserTest, PagePlayingAToneIsMutedWhileItsWindowIsHiddenOrMinimisedAndHeardAgainWhenShown)
{
    HideWhenMinimised(window);
    view->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    view->setHtml(
        QStringLiteral("<html><body><script>"
                       "var context = new AudioContext(), tone = context.createOscillator();"
                       "tone.frequency.value = 440; tone.connect(context.destination); tone.start();"
                       "context.onstatechange = function() { document.title = context.state; };"
                       "</script></body></html>"));
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return view->title() == QLatin1String("running"); }))
        << view->title().toStdString();
    EXPECT_FALSE(view->page()->isAudioMuted());
    for (const bool minimise : {false, true}) {
        if (minimise)
            window.setWindowState(Qt::WindowMinimized);
        else
            window.hide();
        EXPECT_TRUE(WaitUntil([&] { return window.isHidden(); }));
        EXPECT_TRUE(view->page()->isAudioMuted()) << "minimised " << minimise;
        ShowInFront(window);
        EXPECT_FALSE(view->page()->isAudioMuted()) << "minimised " << minimise;
    }
    EXPECT_EQ(view->title(), QLatin1String("running")); // the tone played on all along
}

} // namespace
} // namespace quietpane
