// What ordinary pages ask of the main window over the real web engine, with pages served from
// 127.0.0.1: downloads, new windows, the page's own menu, sign-in and printing to a PDF file.

#include "shell/formWeb.h"

#include "platform/BrowserCommands.h"
#include "support/PageInput.h"
#include "support/QtTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/ShellDoubles.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPrinter>
#include <QProgressBar>
#include <QStandardPaths>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

using namespace quietpane;
using quietpane::test::ChildProcess;
using quietpane::test::TempDir;
using quietpane::test::WaitUntil;

namespace {

// A link or button filling the page's top left corner, where the test clicks.
std::string Page(const std::string& title, const std::string& corner, const std::string& script = "")
{
    return "<html><head><title>" + title + "</title><script>" + script + "</script></head><body>" + corner +
           "</body></html>";
}
std::string CornerLink(const std::string& address, const std::string& attributes = "")
{
    return "<a style='position:absolute;left:0;top:0;width:300px;height:80px' href='" + address + "' " +
           attributes + ">link</a>";
}

// The engine works in processes of its own; on a busy machine a page may take its time.
bool WaitForEngine(const std::function<bool()>& condition)
{
    return WaitUntil(condition, 60000);
}

// Every byte value, in a file that the slow path sends in ten parts.
std::string DownloadContents()
{
    std::string bytes;
    for (int i = 0; i < 40960; ++i)
        bytes += static_cast<char>((i * 7 + i / 256) & 0xff);
    return bytes;
}

class WebEngineBrowsingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApplication();
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, program.Path() / "Quietpane.mdb");
        pages.WriteFile("index.html", Page("Home", CornerLink("a.html")));
        pages.WriteFile("a.html", Page("Page A", "A"));
        pages.WriteFile("b.html", Page("Page B", "B"));
        pages.WriteFile("data.bin", DownloadContents());
        pages.WriteFile("download.html", Page("Downloads", CornerLink("slow/data.bin")));
        pages.WriteFile("broken.html", Page("Broken download", CornerLink("broken/data.bin")));
        pages.WriteFile("blank.html", Page("Blank target", CornerLink("a.html", "target='_blank'")));
        pages.WriteFile("open.html",
                        Page("Script opens", "<button style='position:absolute;left:0;top:0;"
                                             "width:300px;height:80px' onclick=\"window.open('b.html')\">"
                                             "open</button>"));
        pages.WriteFile("popup.html", Page("Pop-up", CornerLink("b.html"), "window.open('index.html');"));
        pages.WriteFile("private.html", Page("Private", "signed in"));
        server = ServePages(port);
    }

    // The test pages on a free port, over TLS when given a certificate and its key.
    std::unique_ptr<ChildProcess> ServePages(int& chosenPort, const std::vector<std::string>& tls = {})
    {
        chosenPort = test::FreePort();
        std::vector<std::string> command{"/usr/bin/python3", QUIETPANE_TEST_SCRIPTS_DIR "/web_server.py",
                                         std::to_string(chosenPort), pages.Path().string()};
        command.insert(command.end(), tls.begin(), tls.end());
        auto process = std::make_unique<ChildProcess>(command);
        EXPECT_TRUE(test::WaitForPort(chosenPort)) << "the web server did not start";
        return process;
    }

    void TearDown() override
    {
        window.reset();
        server.reset();
    }

    void Open(const char* home)
    {
        window = std::make_unique<TfrmWeb>(test::EngineWindowSetup(program.Path(), registry, Url(home)));
        window->show();
        view = window->findChild<QWebEngineView*>("WebBrowser1");
        ASSERT_NE(view, nullptr);
    }

    QString Url(const char* page) const
    {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(port).arg(page);
    }
    QComboBox* Urls() const { return window->findChild<QComboBox*>("Urls"); }
    QString Status() const { return window->findChild<QLabel*>("StatusBar1Panel0")->text(); }

    ::testing::AssertionResult Shows(const char* title, const char* page)
    {
        if (WaitForEngine([&] {
                return window->windowTitle() == QLatin1String(title) && Urls()->currentText() == Url(page) &&
                       window->History().Entries().contains(Url(page));
            }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "caption " << window->windowTitle().toStdString() << ", address box "
               << Urls()->currentText().toStdString() << ", history "
               << window->History().Entries().join(' ').toStdString();
    }

    // The page's text comes later than asked for, so it goes to shared state.
    ::testing::AssertionResult PageTextContains(const QString& wanted)
    {
        auto text = std::make_shared<QString>();
        if (WaitForEngine([&] {
                view->page()->toPlainText([text](const QString& shown) { *text = shown; });
                QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
                return text->contains(wanted);
            }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the page shows " << text->toStdString();
    }

    // Clicks the page's corner until the condition holds: a fresh page may not take input yet.
    ::testing::AssertionResult ClickCornerUntil(const std::function<bool()>& condition)
    {
        for (int attempt = 0; attempt < 10; ++attempt) {
            test::ClickInPage(*view, QPointF(40, 30));
            if (WaitUntil(condition, 2000))
                return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "the page did not react to the click";
    }

    TempDir program, pages, saved;
    int port = 0;
    std::unique_ptr<ChildProcess> server;
    test::RecordingRegistry registry;
    test::RecordingMessageBoxes boxes;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<TfrmWeb> window;
    QWebEngineView* view = nullptr;
};

TEST_F(WebEngineBrowsingTest,
       DownloadAsksWhereShowsItsProgressAndArrivesByteForByteLeavingAddressBoxAndHistory)
{
    ASSERT_NO_FATAL_FAILURE(Open("download.html"));
    ASSERT_TRUE(Shows("Downloads", "download.html"));
    QList<int> positions;
    QObject::connect(window->findChild<QProgressBar*>("ProgressBar1"), &QProgressBar::valueChanged,
                     [&](int position) { positions.append(position); });
    QStringList statuses;
    dialogs.saveAnswer = QString::fromStdString((saved.Path() / "copy.bin").string());

    ASSERT_TRUE(ClickCornerUntil([&] { return !dialogs.proposedNames.isEmpty(); }));
    ASSERT_TRUE(WaitForEngine([&] {
        if (statuses.isEmpty() || statuses.last() != Status())
            statuses.append(Status());
        return Status().startsWith(QStringLiteral("Download complete"));
    })) << Status().toStdString();
    EXPECT_EQ(dialogs.proposedNames,
              QStringList{QDir(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation))
                              .filePath(QStringLiteral("data.bin"))});
    EXPECT_EQ(dialogs.overwriteQuestions, QList<bool>{true});
    EXPECT_TRUE(std::any_of(positions.begin(), positions.end(),
                            [](int position) { return position > 0 && position < 100; }))
        << positions.size() << " positions";
    EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(), [](const QString& status) {
        return status.startsWith(QStringLiteral("Downloading copy.bin: ")) &&
               status.endsWith(QStringLiteral(" of 40960 bytes")) &&
               !status.contains(QStringLiteral(": 0 of"));
    })) << statuses.join(" | ").toStdString();
    EXPECT_EQ(Status(), QStringLiteral("Download complete: ") + dialogs.saveAnswer);
    EXPECT_TRUE(test::ReadFile(saved.Path() / "copy.bin") == DownloadContents()) << "the saved file differs";
    EXPECT_EQ(window->History().Entries(), QStringList{Url("download.html")});
    EXPECT_EQ(Urls()->currentText(), Url("download.html"));
    EXPECT_EQ(window->windowTitle(), "Downloads");
    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join(' ').toStdString();
}

TEST_F(WebEngineBrowsingTest, DownloadCutOffSaysWhyAndCancelledOneWritesNothing)
{
    ASSERT_NO_FATAL_FAILURE(Open("broken.html"));
    ASSERT_TRUE(Shows("Broken download", "broken.html"));
    dialogs.saveAnswer = QString::fromStdString((saved.Path() / "broken.bin").string());
    ASSERT_TRUE(ClickCornerUntil([&] { return !dialogs.proposedNames.isEmpty(); }));
    ASSERT_TRUE(WaitForEngine([&] { return !boxes.errors.isEmpty(); })) << Status().toStdString();
    EXPECT_EQ(boxes.errors[0],
              dialogs.saveAnswer + QStringLiteral(" could not be downloaded: The connection ended "
                                                  "before the whole file had arrived."));
    EXPECT_EQ(Status(), boxes.errors[0]);

    dialogs.saveAnswer.clear();
    ASSERT_TRUE(ClickCornerUntil([&] { return Status() == QStringLiteral("Download cancelled"); }));
    EXPECT_EQ(boxes.errors.size(), 1);
    EXPECT_FALSE(std::filesystem::exists(saved.Path() / "broken.bin"));
    EXPECT_EQ(window->History().Entries(), QStringList{Url("broken.html")});
}

TEST_F(WebEngineBrowsingTest, NewWindowsAskedForByAClickOpenHereAndPopUpsAreRefused)
{
    ASSERT_NO_FATAL_FAILURE(Open("blank.html"));
    ASSERT_TRUE(Shows("Blank target", "blank.html"));
    ASSERT_TRUE(ClickCornerUntil([&] { return view->url() == QUrl(Url("a.html")); }));
    ASSERT_TRUE(Shows("Page A", "a.html"));

    Urls()->setEditText(Url("open.html"));
    window->NavigateToAddress();
    ASSERT_TRUE(Shows("Script opens", "open.html"));
    ASSERT_TRUE(ClickCornerUntil([&] { return view->url() == QUrl(Url("b.html")); }));
    ASSERT_TRUE(Shows("Page B", "b.html"));

    // The pop-up's page opens on loading; the link clicked after it shows that it stayed refused.
    Urls()->setEditText(Url("popup.html"));
    window->NavigateToAddress();
    ASSERT_TRUE(Shows("Pop-up", "popup.html"));
    ASSERT_TRUE(ClickCornerUntil([&] { return view->url() == QUrl(Url("b.html")); }));
    ASSERT_TRUE(Shows("Page B", "b.html"));
    EXPECT_EQ(window->History().Entries(), QStringList({Url("blank.html"), Url("a.html"), Url("open.html"),
                                                        Url("b.html"), Url("popup.html")}));
}

TEST_F(WebEngineBrowsingTest, PageMenuSavesThroughSaveAsAndShowsTheSourceHere)
{
    ASSERT_NO_FATAL_FAILURE(Open("index.html"));
    ASSERT_TRUE(Shows("Home", "index.html"));
    dialogs.saveAnswer = QString::fromStdString((saved.Path() / "home.htm").string());
    // The entries as the page's context menu offers them.
    view->page()->action(QWebEnginePage::SavePage)->trigger();
    EXPECT_EQ(dialogs.filters, QStringList{QStringLiteral("Web Page, complete (*.htm *.html)")});
    EXPECT_NE(test::ReadFile(saved.Path() / "home.htm").find("<title>Home</title>"), std::string::npos);

    view->page()->action(QWebEnginePage::ViewSource)->trigger();
    const QString source = QStringLiteral("view-source:") + Url("index.html");
    ASSERT_TRUE(WaitForEngine([&] { return view->url() == QUrl(source); }));
    EXPECT_TRUE(PageTextContains(QStringLiteral("<title>Home</title>")));
    EXPECT_TRUE(WaitForEngine([&] { return Urls()->currentText() == source; }))
        << Urls()->currentText().toStdString() << " " << window->windowTitle().toStdString();
    EXPECT_EQ(window->History().Entries(), QStringList({Url("index.html"), source}));
}

TEST_F(WebEngineBrowsingTest, SignInIsAskedInADialogAndDecliningShowsTheServersAnswer)
{
    ASSERT_NO_FATAL_FAILURE(Open("private/private.html"));
    ASSERT_TRUE(Shows("Not signed in", "private/private.html"));
    ASSERT_EQ(dialogs.credentialPrompts.size(), 1);
    EXPECT_EQ(dialogs.credentialPrompts[0],
              QStringLiteral("127.0.0.1 asks for a user name and password.\nRealm: Test realm"));

    dialogs.credentialsAnswer = true;
    dialogs.userAnswer = QStringLiteral("tester");
    dialogs.passwordAnswer = QStringLiteral("secret");
    window->Refresh1Click();
    ASSERT_TRUE(Shows("Private", "private/private.html"));
    EXPECT_EQ(dialogs.credentialPrompts.size(), 2);
}

TEST_F(WebEngineBrowsingTest, PageWhoseCertificateFailsShowsTheEnginesErrorAndEntersHistory)
{
    const std::string certificate = (saved.Path() / "certificate.pem").string(),
                      key = (saved.Path() / "key.pem").string();
    ChildProcess openssl({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                          "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                          "-keyout", key, "-out", certificate});
    ASSERT_EQ(openssl.Wait(std::chrono::seconds(60)), 0);
    int securePort = 0;
    const auto secure = ServePages(securePort, {certificate, key});

    ASSERT_NO_FATAL_FAILURE(Open("index.html"));
    ASSERT_TRUE(Shows("Home", "index.html"));
    const QString address = QStringLiteral("https://127.0.0.1:%1/a.html").arg(securePort);
    Urls()->setEditText(address);
    window->NavigateToAddress();
    EXPECT_TRUE(PageTextContains(QStringLiteral("ERR_CERT_AUTHORITY_INVALID")));
    EXPECT_EQ(window->History().Entries(), QStringList({Url("index.html"), address}));
    EXPECT_EQ(Urls()->currentText(), address);
}

TEST_F(WebEngineBrowsingTest, PrintToAPdfFileWritesTextNotPicturesAndPrintersGetTheirOwnResolution)
{
    ASSERT_NO_FATAL_FAILURE(Open("index.html"));
    ASSERT_TRUE(Shows("Home", "index.html"));
    const std::filesystem::path pdf = saved.Path() / "page.pdf";
    dialogs.pdfFile = QString::fromStdString(pdf.string());
    window->ExecuteBrowserCommand(CommandPrint, OptionDoDefault);
    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join(' ').toStdString();
    // A printer would print the page's pictures at its own resolution, not the screen's.
    EXPECT_EQ(dialogs.printResolutions, QList<int>{QPrinter(QPrinter::HighResolution).resolution()});
    EXPECT_GT(dialogs.printResolutions.value(0), 96);
    const TempDir output;
    const std::filesystem::path text = output.Path() / "page.txt";
    ChildProcess pdftotext({"/usr/bin/pdftotext", pdf.string(), text.string()});
    ASSERT_EQ(pdftotext.Wait(std::chrono::seconds(30)), 0);
    EXPECT_NE(test::ReadFile(text).find("link"), std::string::npos) << test::ReadFile(text);
    const std::filesystem::path images = output.Path() / "images.txt";
    ChildProcess::Options toFile;
    toFile.logFile = images;
    ChildProcess pdfimages({"/usr/bin/pdfimages", "-list", pdf.string()}, toFile);
    ASSERT_EQ(pdfimages.Wait(std::chrono::seconds(30)), 0);
    // The listing's two header lines and nothing else: no page went in as a picture.
    const std::string listing = test::ReadFile(images);
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 2) << listing;
}

} // namespace
