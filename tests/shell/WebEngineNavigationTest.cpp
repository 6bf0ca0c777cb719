// The main window over the real web engine, with pages served from 127.0.0.1.

#include "shell/formWeb.h"

#include "support/PageInput.h"
#include "support/QtTestSupport.h"
#include "support/ShellDoubles.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QWebEngineHistory>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace quietpane;
using quietpane::test::ChildProcess;
using quietpane::test::TempDir;
using quietpane::test::WaitUntil;

namespace {

class WebEngineNavigationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApplication();
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, program.Path() / "Quietpane.mdb");
        pages.WriteFile("index.html",
                        "<html><head><title>Home</title></head><body>"
                        "<a id='link' style='position:absolute;left:0;top:0;width:300px;height:80px' "
                        "href='a.html'>A</a></body></html>");
        pages.WriteFile("a.html",
                        "<html><head><title>Page A</title></head><body>"
                        "<a id='link' style='position:absolute;left:0;top:0;width:300px;height:80px' "
                        "href='b.html'>B</a></body></html>");
        pages.WriteFile("b.html",
                        "<html><head><title>Page B</title></head><body>"
                        "<iframe src='frame.html'></iframe>"
                        "<a id='link' style='position:absolute;left:0;top:0;width:300px;height:80px' "
                        "href='c.html'>C</a></body></html>");
        pages.WriteFile("frame.html", "<html><head><title>Frame</title></head><body>inner</body></html>");
        pages.WriteFile("c.html", "<html><head><title>Page C</title></head><body>C</body></html>");
        port = test::FreePort();
        ChildProcess::Options options;
        options.workingDirectory = pages.Path();
        server = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/python3", "-m", "http.server", "--bind", "127.0.0.1",
                                     std::to_string(port), "--directory", pages.Path().string()},
            options);
        ASSERT_TRUE(test::WaitForPort(port));

        window =
            std::make_unique<TfrmWeb>(test::EngineWindowSetup(program.Path(), registry, Url("index.html")));
        window->show();
        view = window->findChild<QWebEngineView*>("WebBrowser1");
        ASSERT_NE(view, nullptr);
    }

    void TearDown() override
    {
        window.reset();
        server.reset();
    }

    QString Url(const char* page) const
    {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(port).arg(page);
    }
    QComboBox* Urls() const { return window->findChild<QComboBox*>("Urls"); }
    std::pair<bool, bool> TravelEnabled() const
    {
        return {window->findChild<QAction*>("Back1")->isEnabled(),
                window->findChild<QAction*>("Forward1")->isEnabled()};
    }

    // The engine tells its travel state after the page shows, so the buttons settle a moment later.
    ::testing::AssertionResult TravelSettlesAt(bool back, bool forward) const
    {
        if (WaitUntil([&] { return TravelEnabled() == std::make_pair(back, forward); }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "Back " << TravelEnabled().first << ", Forward " << TravelEnabled().second << "; engine "
               << view->history()->canGoBack() << view->history()->canGoForward() << " at "
               << view->history()->currentItemIndex() << " of " << view->history()->count();
    }

    // The page is shown: the caption and the address box name it.
    ::testing::AssertionResult Shows(const char* title, const char* page)
    {
        if (WaitUntil([&] {
                return window->windowTitle() == QLatin1String(title) && Urls()->currentText() == Url(page) &&
                       view->url().toString() == Url(page);
            }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "caption " << window->windowTitle().toStdString() << ", address box "
               << Urls()->currentText().toStdString() << ", page " << view->url().toString().toStdString()
               << ", history " << window->History().Entries().join(' ').toStdString() << " at "
               << window->HistoryIndex();
    }

    // A click on the link in the page's top left corner, repeated until the page changes.
    void ClickLink()
    {
        const QUrl before = view->url();
        for (int attempt = 0; attempt < 10 && view->url() == before; ++attempt) {
            ClickOnce();
            WaitUntil([&] { return view->url() != before; }, 2000);
        }
    }

    void ClickOnce() { test::ClickInPage(*view, QPointF(40, 30)); }

    TempDir program, pages;
    int port = 0;
    std::unique_ptr<ChildProcess> server;
    test::RecordingRegistry registry;
    std::unique_ptr<TfrmWeb> window;
    QWebEngineView* view = nullptr;
};

TEST_F(WebEngineNavigationTest, TypedLinksBackForwardAndFramesKeepHistoryCaptionAndAddressBox)
{
    ASSERT_TRUE(Shows("Home", "index.html"));
    EXPECT_EQ(window->History().Entries(), QStringList({Url("index.html")}));
    EXPECT_TRUE(TravelSettlesAt(false, false));

    ClickLink();
    ASSERT_TRUE(Shows("Page A", "a.html"));
    ClickLink();
    ASSERT_TRUE(Shows("Page B", "b.html"));
    // Wait for the frame inside Page B, then check it left the history and the address box alone.
    // The script's answer may come after a round has ended, so it goes to shared state.
    auto loaded = std::make_shared<bool>(false);
    ASSERT_TRUE(WaitUntil([&] {
        view->page()->runJavaScript(
            QStringLiteral("document.querySelector('iframe').contentDocument.readyState"),
            [loaded](const QVariant& state) {
                *loaded = *loaded || state.toString() == QLatin1String("complete");
            });
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        return *loaded;
    }));
    EXPECT_EQ(window->History().Entries(), QStringList({Url("index.html"), Url("a.html"), Url("b.html")}));
    EXPECT_EQ(window->HistoryIndex(), 2);
    EXPECT_EQ(Urls()->currentText(), Url("b.html"));
    EXPECT_EQ(window->windowTitle(), "Page B");
    EXPECT_TRUE(TravelSettlesAt(true, false));

    window->Back1Click();
    ASSERT_TRUE(Shows("Page A", "a.html"));
    EXPECT_EQ(window->HistoryIndex(), 1);
    window->Back1Click();
    ASSERT_TRUE(Shows("Home", "index.html"));
    EXPECT_EQ(window->HistoryIndex(), 0);
    EXPECT_TRUE(TravelSettlesAt(false, true));
    window->Forward1Click();
    ASSERT_TRUE(Shows("Page A", "a.html"));
    EXPECT_EQ(window->HistoryIndex(), 1);
    EXPECT_TRUE(TravelSettlesAt(true, true));

    Urls()->setEditText(Url("c.html"));
    window->NavigateToAddress();
    ASSERT_TRUE(Shows("Page C", "c.html"));
    EXPECT_EQ(window->History().Entries(), QStringList({Url("index.html"), Url("a.html"), Url("c.html")}));
    EXPECT_EQ(window->HistoryIndex(), 2);
    EXPECT_TRUE(TravelSettlesAt(true, false));
    // Typed addresses went to the top of the list, linked ones were appended by their titles;
    // all share the first 24 characters "http://127.0.0.1:PORT/", so only the typed lines remain.
    EXPECT_EQ(Urls()->itemText(0), Url("c.html"));

    // Back, then the first page again: History is at its first entry, the engine one page on.
    window->Back1Click();
    ASSERT_TRUE(Shows("Page A", "a.html"));
    Urls()->setEditText(Url("index.html"));
    window->NavigateToAddress();
    ASSERT_TRUE(Shows("Home", "index.html"));
    EXPECT_EQ(window->HistoryIndex(), 0);
    EXPECT_TRUE(TravelSettlesAt(false, false));
}

TEST_F(WebEngineNavigationTest, ServerRedirectIsOneHistoryEntry)
{
    ASSERT_TRUE(Shows("Home", "index.html"));
    // The page server answers a folder's address without its final slash with a redirect to it.
    std::filesystem::create_directory(pages.Path() / "folder");
    pages.WriteFile("folder/index.html", "<html><head><title>Folder</title></head><body>F</body></html>");
    Urls()->setEditText(Url("folder"));
    window->NavigateToAddress();
    ASSERT_TRUE(Shows("Folder", "folder/"));
    EXPECT_EQ(window->History().Entries(), QStringList({Url("index.html"), Url("folder/")}));
    EXPECT_EQ(window->HistoryIndex(), 1);
    window->Back1Click();
    ASSERT_TRUE(Shows("Home", "index.html"));
    EXPECT_EQ(window->HistoryIndex(), 0);
}

TEST_F(WebEngineNavigationTest, BackBeyondTheEnginesTravelListIsRefusedByTheEngine)
{
    ASSERT_TRUE(Shows("Home", "index.html"));
    EXPECT_THROW(window->WebBrowser1().GoBack(), EBrowserError);
    EXPECT_THROW(window->WebBrowser1().GoForward(), EBrowserError);
    // A loaded page can be printed.
    EXPECT_EQ(window->WebBrowser1().QueryStatusWB(6),
              TBrowserControl::CommandSupported | TBrowserControl::CommandEnabled);
}

} // namespace
