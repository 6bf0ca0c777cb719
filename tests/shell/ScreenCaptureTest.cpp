// "Save Screen to File" of the main window on an X server of the test's own.

#include "platform/ScreenCapture.h"

#include "shell/formWeb.h"

#include "support/QtTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/ShellDoubles.h"
#include "support/XApplication.h"

#include <QAction>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <utility>

using namespace quietpane;
using quietpane::test::RecordingMessageBoxes;
using quietpane::test::ScriptedDialogs;
using quietpane::test::TempDir;
using quietpane::test::XApplication;
using quietpane::test::XServer;

namespace {

// Width and height from a BMP file's header; {0, 0} when the file is no bitmap.
std::pair<int32_t, int32_t> BitmapSize(const std::filesystem::path& file)
{
    const std::string bytes = test::ReadFile(file);
    if (bytes.size() < 26 || bytes.compare(0, 2, "BM") != 0)
        return {0, 0};
    int32_t width = 0, height = 0;
    std::memcpy(&width, bytes.data() + 18, 4);
    std::memcpy(&height, bytes.data() + 22, 4);
    return {width, height < 0 ? -height : height};
}

class ScreenCaptureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        desktop = std::make_unique<XApplication<TQuietpaneApplication>>(XServer::Options{});
    }
    static void TearDownTestSuite() { desktop.reset(); }

    void SetUp() override
    {
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, folder.Path() / "Quietpane.mdb");
        TfrmWebSetup setup;
        setup.programFolder = QString::fromStdString(folder.Path().string());
        setup.createBrowser = [](QWidget* parent) { return std::make_unique<test::FakeBrowser>(parent); };
        setup.registry = &registry;
        setup.internetAutodial = [] { return true; };
        window = std::make_unique<TfrmWeb>(setup);
        window->show();
        ASSERT_TRUE(test::WaitUntil([&] { return window->windowHandle()->isExposed(); }));
    }

    std::filesystem::path ScreenFolder() const { return folder.Path() / "Screen"; }
    QString Proposed() const { return QString::fromStdString((ScreenFolder() / "ScreenDump.bmp").string()); }
    void Capture()
    {
        RunGuarded([&] { window->findChild<QAction*>("SaveScreentoFile1")->trigger(); });
    }

    static inline std::unique_ptr<XApplication<TQuietpaneApplication>> desktop;
    TempDir folder;
    test::RecordingRegistry registry;
    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
    std::unique_ptr<TfrmWeb> window;
};

TEST_F(ScreenCaptureTest, CaptureOfTheWholeScreenGoesToTheProposedBitmapAndReplacesItWithoutAQuestion)
{
    dialogs.saveAnswer = Proposed();
    Capture();
    ASSERT_EQ(dialogs.proposedNames, QStringList{Proposed()});
    EXPECT_EQ(dialogs.filters, QStringList{QStringLiteral("Bitmap (*.bmp)")});
    EXPECT_EQ(dialogs.overwriteQuestions, QList<bool>{false});
    const std::filesystem::path dump = ScreenFolder() / "ScreenDump.bmp";
    EXPECT_EQ(BitmapSize(dump), std::make_pair(1280, 1024));
    // The main window was on the screen when the picture was taken.
    const QImage picture(QString::fromStdString(dump.string()), "BMP");
    const QPoint inside = window->geometry().center();
    EXPECT_EQ(picture.pixelColor(inside), window->grab().toImage().pixelColor(window->rect().center()));

    std::filesystem::resize_file(dump, 10);
    Capture();
    EXPECT_EQ(BitmapSize(dump), std::make_pair(1280, 1024));
    EXPECT_TRUE(boxes.questions.isEmpty());
    EXPECT_TRUE(boxes.applicationErrors.isEmpty()) << boxes.applicationErrors.join(' ').toStdString();
}

TEST_F(ScreenCaptureTest, CaptureChosenFromTheMenuShowsTheScreenAsItWasBeforeTheMenuOpened)
{
    dialogs.saveAnswer = Proposed();
    auto screen = [] {
        return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
            QImage::Format_RGB32);
    };
    // The window may still be painting its first frames: the screen before the menu is one that
    // holds still.
    QImage before = screen();
    ASSERT_TRUE(test::WaitUntil([&] {
        const QImage previous = std::exchange(before, screen());
        return previous == before;
    }));
    QMenu* tools = nullptr;
    for (QAction* entry : window->menuBar()->actions())
        if (entry->text() == QLatin1String("Tools"))
            tools = entry->menu();
    ASSERT_NE(tools, nullptr);
    tools->popup(window->mapToGlobal(QPoint(150, 0)));
    const QRect area = tools->geometry();
    ASSERT_TRUE(test::WaitUntil([&] { return screen().copy(area) != before.copy(area); }))
        << "the menu never showed";

    // Chosen with the keyboard as a person would: the menu closes itself, then runs the command.
    tools->setActiveAction(window->findChild<QAction*>("SaveScreentoFile1"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    RunGuarded([&] { QCoreApplication::sendEvent(tools, &enter); });
    const std::filesystem::path dump = ScreenFolder() / "ScreenDump.bmp";
    ASSERT_TRUE(test::WaitUntil([&] { return std::filesystem::exists(dump); }));
    const QImage picture =
        QImage(QString::fromStdString(dump.string()), "BMP").convertToFormat(QImage::Format_RGB32);
    // The window itself may look otherwise by now (its address box drawn active or not as the
    // keyboard came and went with the menu): the screen as it is now, without the menu, will do.
    const QImage menuGone = screen();
    EXPECT_TRUE(picture.copy(area) == before.copy(area) || picture.copy(area) == menuGone.copy(area))
        << "the menu's area differs from the screen before it opened and after it closed";
}

TEST_F(ScreenCaptureTest, NameWithoutExtensionIsUsedAsTyped)
{
    dialogs.saveAnswer = QString::fromStdString((ScreenFolder() / "capture").string());
    Capture();
    EXPECT_EQ(BitmapSize(ScreenFolder() / "capture"), std::make_pair(1280, 1024));
    EXPECT_FALSE(std::filesystem::exists(ScreenFolder() / "capture.bmp"));
}

TEST_F(ScreenCaptureTest, CancelledDialogWritesNothing)
{
    Capture();
    EXPECT_EQ(dialogs.proposedNames.size(), 1);
    EXPECT_TRUE(std::filesystem::is_empty(ScreenFolder()));
}

TEST_F(ScreenCaptureTest, UnwritableNameIsReportedInTheErrorBox)
{
    const std::filesystem::path plain = folder.WriteFile("plain.txt", "not a folder");
    dialogs.saveAnswer = QString::fromStdString((plain / "ScreenDump.bmp").string());
    Capture();
    ASSERT_EQ(boxes.applicationErrors.size(), 1);
    EXPECT_TRUE(boxes.applicationErrors[0].startsWith(QStringLiteral("Cannot create file \"")))
        << boxes.applicationErrors[0].toStdString();
    EXPECT_EQ(test::ReadFile(plain), "not a folder");
}

} // namespace
