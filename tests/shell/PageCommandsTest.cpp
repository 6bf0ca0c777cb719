// The page commands over the real web engine, with a page served from 127.0.0.1.

#include "shell/PageCommands.h"

#include "platform/BrowserCommands.h"
#include "platform/WebEngineBrowser.h"
#include "shell/formWeb.h"

#include "support/QtTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/ShellDoubles.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QGuiApplication>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

using namespace quietpane;
using quietpane::test::ChildProcess;
using quietpane::test::RecordingMessageBoxes;
using quietpane::test::ScriptedDialogs;
using quietpane::test::TempDir;
using quietpane::test::WaitUntil;

namespace {

constexpr const char* PageTitle = "Pages of Quietpane";

// The number of pages pdfinfo finds in the file; -1 when it can't read it.
int PdfPageCount(const std::filesystem::path& pdf, const TempDir& scratch)
{
    ChildProcess::Options options;
    options.logFile = scratch.Path() / "pdfinfo.log";
    ChildProcess pdfinfo({"/usr/bin/pdfinfo", pdf.string()}, options);
    if (pdfinfo.Wait(std::chrono::seconds(20)) != 0)
        return -1;
    std::smatch pages;
    const std::string report = test::ReadFile(options.logFile);
    if (!std::regex_search(report, pages, std::regex("Pages:\\s+(\\d+)")))
        return -1;
    return std::stoi(pages[1]);
}

class PageCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApplication();
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, program.Path() / "Quietpane.mdb");
        pages.WriteFile("index.html", std::string("<html><head><meta charset='utf-8'><title>") + PageTitle +
                                          "</title></head><body><h1>Printed and saved</h1>"
                                          "<p>A page long enough to be worth a look.</p></body></html>");
        port = test::FreePort();
        server = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/python3", "-m", "http.server", "--bind", "127.0.0.1",
                                     std::to_string(port), "--directory", pages.Path().string()},
            ChildProcess::Options{});
        ASSERT_TRUE(test::WaitForPort(port));

        window = std::make_unique<TfrmWeb>(test::EngineWindowSetup(program.Path(), registry, Address()));
        window->show();
        ASSERT_TRUE(WaitUntil([&] { return window->windowTitle() == QLatin1String(PageTitle); }));
        dialogs.pdfFile = QString::fromStdString((output.Path() / "page.pdf").string());
    }

    void TearDown() override
    {
        window.reset();
        server.reset();
    }

    QString Address() const { return QStringLiteral("http://127.0.0.1:%1/index.html").arg(port); }
    void Trigger(const char* entry) { window->findChild<QAction*>(QLatin1String(entry))->trigger(); }
    std::filesystem::path Pdf() const { return dialogs.pdfFile.toStdString(); }

    TempDir program, pages, output;
    int port = 0;
    std::unique_ptr<ChildProcess> server;
    test::RecordingRegistry registry;
    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
    std::unique_ptr<TfrmWeb> window;
};

TEST_F(PageCommandsTest, PrintToolButtonOpensThePreviewWhichRendersThePage)
{
    window->findChild<QToolButton*>(QStringLiteral("ToolPrint"))->click();

    EXPECT_EQ(dialogs.previews, 1);
    EXPECT_EQ(dialogs.printDialogs, 0);
    EXPECT_GE(PdfPageCount(Pdf(), output), 1);
    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join(' ').toStdString();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(PageCommandsTest, PrintMenuEntryPrintsThroughThePrintDialog)
{
    Trigger("Print1");
    EXPECT_EQ(dialogs.printDialogs, 1);
    EXPECT_EQ(dialogs.previews, 0);
    EXPECT_GE(PdfPageCount(Pdf(), output), 1);

    // A cancelled print dialog prints nothing.
    std::filesystem::remove(Pdf());
    dialogs.printAnswer = false;
    Trigger("Print1");
    EXPECT_EQ(dialogs.printDialogs, 2);
    EXPECT_FALSE(std::filesystem::exists(Pdf()));
    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join(' ').toStdString();

    Trigger("PrintPreview");
    EXPECT_EQ(dialogs.previews, 1);
}

TEST_F(PageCommandsTest, SaveAsWritesThePageWhereTheUserChose)
{
    const std::filesystem::path saved = output.Path() / "saved.htm";
    dialogs.saveAnswer = QString::fromStdString(saved.string());
    Trigger("SaveAs1");

    ASSERT_EQ(dialogs.proposedNames.size(), 1);
    EXPECT_EQ(dialogs.proposedNames[0], QStringLiteral("Pages of Quietpane.htm"));
    ASSERT_TRUE(std::filesystem::exists(saved));
    EXPECT_NE(test::ReadFile(saved).find("Printed and saved"), std::string::npos);
    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join(' ').toStdString();
}

TEST_F(PageCommandsTest, SaveAsThatTheEngineCannotWriteIsReported)
{
    // A folder can't be made below a plain file, not even by root.
    const std::filesystem::path file = output.WriteFile("plain.txt", "not a folder");
    dialogs.saveAnswer = QString::fromStdString((file / "saved.htm").string());
    Trigger("SaveAs1");
    EXPECT_EQ(boxes.errors, QStringList{QStringLiteral("Not able to execute command.")});
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(PageCommandsTest, CancelledSaveAsWritesNothing)
{
    Trigger("SaveAs1");
    EXPECT_EQ(dialogs.proposedNames.size(), 1);
    EXPECT_TRUE(std::filesystem::is_empty(output.Path()));
    EXPECT_TRUE(boxes.errors.isEmpty());
}

TEST_F(PageCommandsTest, PropertiesShowTheTitleAddressProtocolAndType)
{
    Trigger("Properties1");
    EXPECT_EQ(dialogs.shownDialogs, QStringList{QStringLiteral("PageProperties")});
    for (const QString& expected :
         {QString::fromLatin1(PageTitle), Address(), QStringLiteral("HyperText Transfer Protocol"),
          QStringLiteral("text/html"), QStringLiteral("UTF-8")})
        EXPECT_TRUE(dialogs.shownTexts.contains(expected))
            << expected.toStdString() << " not in " << dialogs.shownTexts.join(" | ").toStdString();
    EXPECT_TRUE(boxes.errors.isEmpty());
}

// A browser with nothing loaded offers no page to save, print or describe.
class EmptyBrowserTest : public ::testing::Test {
protected:
    TQuietpaneApplication& application = test::TestApplication(); // before any widget
    QWidget host;
    TWebEngineBrowser browser{&host};
    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
};

TEST_F(EmptyBrowserTest, SaveAsAndPrintWithNothingLoadedAreNotSupported)
{
    EXPECT_EQ(browser.QueryStatusWB(CommandSaveAs), TBrowserControl::CommandSupported);
    ExecuteBrowserCommand(browser, CommandSaveAs, OptionDoDefault);
    ExecuteBrowserCommand(browser, CommandPrint, OptionDoDefault);
    ExecuteBrowserCommand(browser, 99, OptionDoDefault);
    EXPECT_EQ(boxes.errors, QStringList(3, QStringLiteral("Command not supported.")));
    EXPECT_TRUE(dialogs.proposedNames.isEmpty());
    EXPECT_EQ(dialogs.printDialogs, 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(EmptyBrowserTest, PropertiesWithNothingLoadedSayNothing)
{
    ShowPageProperties(browser);
    EXPECT_TRUE(dialogs.shownDialogs.isEmpty());
    EXPECT_TRUE(boxes.errors.isEmpty());
}

} // namespace
