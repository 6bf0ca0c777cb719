#include "platform/WebEngineBrowser.h"

#include "support/QtTestSupport.h"

#include <QWebEnginePage>
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

} // namespace
} // namespace quietpane
