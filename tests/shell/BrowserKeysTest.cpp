// The browser's keys as a user presses them: a real X server with a window manager, keys sent
// with xdotool, the real web engine showing pages served from 127.0.0.1, and the keyboard focus
// in the page unless a case says otherwise.

#include "shell/FindBar.h"
#include "shell/formWeb.h"

#include "support/LoopbackServer.h"
#include "support/PageServer.h"
#include "support/QtTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/ShellDoubles.h"
#include "support/XApplication.h"
#include "support/XClient.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace quietpane;
using namespace quietpane::test;

namespace {

class BrowserKeysTest : public ::testing::Test {
protected:
    static XApplication<TQuietpaneApplication>& Desktop()
    {
        if (!desktop)
            desktop = EngineDesktop<TQuietpaneApplication>();
        return *desktop;
    }
    static void TearDownTestSuite() { desktop.reset(); }

    void SetUp() override
    {
        Desktop();
        pages.Write("index.html", "<html><head><title>Home</title></head><body>Home</body></html>");
        // Each load of the page counts itself in the tab's session.
        pages.Write("count.html", "<html><head><title>-</title></head><body>Counting<script>"
                                  "sessionStorage.n = Number(sessionStorage.n || 0) + 1;"
                                  "document.title = 'Load ' + sessionStorage.n;</script></body></html>");
        pages.Write("fruit.html",
                    "<html><head><title>Fruit</title></head><body>"
                    "<p>apple</p><p>banana</p><p>apple</p><p>cherry</p><p>apple</p></body></html>");
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, program.Path() / "Quietpane.mdb");
        window =
            std::make_unique<TfrmWeb>(test::EngineWindowSetup(program.Path(), registry, Url("index.html")));
        window->show();
        view = window->findChild<QWebEngineView*>("WebBrowser1");
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return observer.ShownAndManaged(Id()); }));
        ASSERT_TRUE(WaitUntil([&] { return window->windowTitle() == "Home"; }));
    }

    void TearDown() override { window.reset(); }

    QString Url(const char* page) const { return QString::fromStdString(pages.Url(page)); }
    xcb_window_t Id() const { return static_cast<xcb_window_t>(window->winId()); }
    QComboBox* Urls() const { return window->findChild<QComboBox*>("Urls"); }
    TFindBar* FindBar() const { return window->findChild<TFindBar*>("FindBar"); }

    void Open(const char* page, const char* title)
    {
        Urls()->setEditText(Url(page));
        window->NavigateToAddress();
        ASSERT_TRUE(WaitUntil([&] { return window->windowTitle() == QLatin1String(title); }))
            << window->windowTitle().toStdString();
    }

    // Lets the events of the keys' round trip arrive before the test looks.
    void Press(const std::string& keys)
    {
        server.Run({"xdotool", "key", keys});
        QCoreApplication::processEvents();
    }
    void Type(const std::string& text) { server.Run({"xdotool", "type", "--delay", "20", text}); }

    bool FocusInPage() const
    {
        const QWidget* focus = QApplication::focusWidget();
        return focus != nullptr && (focus == view || view->isAncestorOf(focus));
    }

    // Clicks into the page, as a user does before reading it, until the page has the focus.
    void ClickInPage()
    {
        const QPoint where = view->mapTo(window.get(), QPoint(view->width() / 2, view->height() / 2));
        for (int attempt = 0; attempt < 5 && !FocusInPage(); ++attempt) {
            server.Run({"xdotool", "mousemove", "--window", std::to_string(Id()), std::to_string(where.x()),
                        std::to_string(where.y()), "click", "1"});
            WaitUntil([&] { return FocusInPage(); }, 3000);
        }
        ASSERT_TRUE(FocusInPage());
    }

    bool AddressBoxHasFocusWithAllSelected() const
    {
        const QLineEdit* line = Urls()->lineEdit();
        return line->hasFocus() && !line->text().isEmpty() && line->selectedText() == line->text();
    }

    static inline std::unique_ptr<XApplication<TQuietpaneApplication>> desktop;
    XServer& server = Desktop().server;
    Observer observer{server};
    PageServer pages;
    TempDir program;
    RecordingRegistry registry;
    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
    std::unique_ptr<TfrmWeb> window;
    QWebEngineView* view = nullptr;
};

TEST_F(BrowserKeysTest, F5AndCtrlRReloadAndEscapeStopsALoadingPage)
{
    ASSERT_NO_FATAL_FAILURE(Open("count.html", "Load 1"));
    ASSERT_NO_FATAL_FAILURE(ClickInPage());
    Press("F5");
    EXPECT_TRUE(WaitUntil([&] { return window->windowTitle() == "Load 2"; }))
        << window->windowTitle().toStdString();
    ASSERT_NO_FATAL_FAILURE(ClickInPage());
    Press("ctrl+r");
    EXPECT_TRUE(WaitUntil([&] { return window->windowTitle() == "Load 3"; }))
        << window->windowTitle().toStdString();

    // A server that takes the request and never answers keeps the page loading. The reload's
    // script sets the title before its load ends; a load still running would take the new one in.
    ASSERT_TRUE(WaitUntil([&] { return !view->page()->isLoading(); }));
    LoopbackServer silent([](int connection) { ReceiveAll(connection); });
    bool started = false, finished = false, succeeded = true;
    QObject::connect(view, &QWebEngineView::loadProgress, window.get(), [&] { started = true; });
    QObject::connect(view, &QWebEngineView::loadFinished, window.get(), [&](bool ok) {
        finished = true;
        succeeded = ok;
    });
    Urls()->setEditText(QStringLiteral("http://127.0.0.1:%1/never").arg(silent.Port()));
    window->NavigateToAddress();
    ASSERT_TRUE(WaitUntil([&] { return started; }));
    ASSERT_NO_FATAL_FAILURE(ClickInPage());
    EXPECT_FALSE(finished);
    Press("Escape");
    EXPECT_TRUE(WaitUntil([&] { return finished; }));
    EXPECT_FALSE(succeeded);
}

TEST_F(BrowserKeysTest, CtrlLAndAltDSelectTheAddressAndAltHomeGoesHome)
{
    ASSERT_NO_FATAL_FAILURE(Open("count.html", "Load 1"));
    for (const char* keys : {"ctrl+l", "alt+d"}) {
        ASSERT_NO_FATAL_FAILURE(ClickInPage());
        Press(keys);
        EXPECT_TRUE(WaitUntil([&] { return AddressBoxHasFocusWithAllSelected(); }, 10000)) << keys;
        EXPECT_EQ(Urls()->currentText(), Url("count.html")) << keys;
    }
    ASSERT_NO_FATAL_FAILURE(ClickInPage());
    Press("alt+Home");
    EXPECT_TRUE(WaitUntil([&] { return window->windowTitle() == "Home"; }))
        << window->windowTitle().toStdString();
    EXPECT_EQ(window->History().Entries().value(window->HistoryIndex()), Url("index.html"));
}

TEST_F(BrowserKeysTest, CtrlFFindsNextPreviousAndTellsNoMatch)
{
    ASSERT_NO_FATAL_FAILURE(Open("fruit.html", "Fruit"));
    ASSERT_NO_FATAL_FAILURE(ClickInPage());
    Press("ctrl+f");
    ASSERT_TRUE(WaitUntil([&] { return FindBar()->isVisible(); }, 10000));
    auto* text = FindBar()->findChild<QLineEdit*>("FindText");
    ASSERT_TRUE(WaitUntil([&] { return text->hasFocus(); }, 10000));

    Type("apple");
    EXPECT_TRUE(WaitUntil([&] { return FindBar()->ResultText() == "1 of 3"; }))
        << FindBar()->ResultText().toStdString();
    Press("Return");
    EXPECT_TRUE(WaitUntil([&] { return FindBar()->ResultText() == "2 of 3"; }))
        << FindBar()->ResultText().toStdString();
    Press("shift+Return");
    EXPECT_TRUE(WaitUntil([&] { return FindBar()->ResultText() == "1 of 3"; }))
        << FindBar()->ResultText().toStdString();
    Press("shift+Return");
    EXPECT_TRUE(WaitUntil([&] { return FindBar()->ResultText() == "3 of 3"; }))
        << FindBar()->ResultText().toStdString();

    Press("ctrl+a");
    Type("durian");
    EXPECT_TRUE(WaitUntil([&] { return FindBar()->ResultText() == "No match"; }))
        << FindBar()->ResultText().toStdString();

    // Escape in the bar closes it and leaves the page as it is.
    Press("Escape");
    EXPECT_TRUE(WaitUntil([&] { return FindBar()->isHidden(); }, 10000));
    EXPECT_EQ(window->windowTitle(), "Fruit");
}

TEST_F(BrowserKeysTest, CtrlPAsksForThePrinter)
{
    dialogs.printAnswer = false;
    ASSERT_NO_FATAL_FAILURE(ClickInPage());
    Press("ctrl+p");
    EXPECT_TRUE(WaitUntil([&] { return dialogs.printDialogs == 1; }, 10000));
}

} // namespace
