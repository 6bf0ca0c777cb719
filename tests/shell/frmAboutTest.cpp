// The About box: its texts, their places and styles, and how it opens and closes.

#include "shell/frmAbout.h"

#include "shell/formWeb.h"

#include "support/QtTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/ShellDoubles.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace quietpane;
using quietpane::test::ScriptedDialogs;

namespace {

// The version as the program's --version prints it ("Quietpane 0.1"), on the About box's line.
std::string ProgramVersionLine()
{
    const std::string printed = test::RunProgram({QUIETPANE_PROGRAM, "--version"});
    return "Version " + printed.substr(printed.find(' ') + 1, printed.find('\n') - printed.find(' ') - 1);
}

class AboutTest : public ::testing::Test {
protected:
    TQuietpaneApplication& application = test::TestApplication(); // before any widget
    TAbout about;

    const QLabel* Text(const QString& text) const
    {
        for (const QLabel* label : about.findChildren<QLabel*>())
            if (label->text() == text)
                return label;
        return nullptr;
    }
};

TEST_F(AboutTest, IsABorderlessBoxOfTheFixedSize)
{
    EXPECT_EQ(about.objectName(), QStringLiteral("About"));
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(about.size(), QSize(366, 204));
    EXPECT_FALSE(about.isVisible());
}

TEST_F(AboutTest, TextsStandAtTheirPlacesInTheirStyles)
{
    struct Expected {
        std::string text;
        QPoint place;
        bool bold;
        const char* colour;
    };
    const Expected texts[] = {
        {"Quietpane Browser", {16, 16}, true, "purple"},
        {ProgramVersionLine(), {232, 32}, true, nullptr},
        {"Default Hotkey 01:  Ctrl + Alt + H", {16, 96}, false, nullptr},
        {"Default Hotkey 02:  Ctrl + Alt + O", {16, 112}, false, nullptr},
        {"Hotkey 01:", {16, 150}, true, nullptr},
        {"To hide Quietpane.", {90, 150}, false, "blue"},
        {"Hotkey 02:", {16, 170}, true, nullptr},
        {"To bring Quietpane back.", {90, 170}, false, "blue"},
    };
    for (const Expected& expected : texts) {
        const QLabel* label = Text(QString::fromStdString(expected.text));
        ASSERT_NE(label, nullptr) << expected.text;
        EXPECT_EQ(label->mapTo(&about, QPoint(0, 0)), expected.place) << expected.text;
        EXPECT_EQ(label->font().bold(), expected.bold) << expected.text;
        EXPECT_EQ(label->styleSheet().contains(QLatin1String(expected.colour ? expected.colour : "color")),
                  expected.colour != nullptr)
            << expected.text;
        // Nothing is cut off: the whole text fits inside the box.
        EXPECT_TRUE(about.rect().contains(QRect(label->mapTo(&about, QPoint(0, 0)), label->sizeHint())))
            << expected.text;
    }
    EXPECT_EQ(Text(QStringLiteral("Quietpane Browser"))->font().pixelSize(), 32);
    // Texts on one line stay apart.
    auto rightEdge = [&](const char* text) {
        const QLabel* label = Text(QString::fromLatin1(text));
        return label->x() + label->fontMetrics().horizontalAdvance(label->text());
    };
    EXPECT_LT(rightEdge("Quietpane Browser"), 232);
    EXPECT_LT(rightEdge("Hotkey 01:"), 90);
    EXPECT_LT(rightEdge("Hotkey 02:"), 90);
    EXPECT_LT(rightEdge("To bring Quietpane back."), 264);
}

TEST_F(AboutTest, OkButtonClosesTheBox)
{
    auto* ok = about.findChild<QPushButton*>("AboutOK");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_EQ(ok->geometry(), QRect(264, 160, 75, 25));
    about.show();
    ok->click();
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST_F(AboutTest, OpensCentredOnTheScreen)
{
    about.show();
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((about.frameGeometry().center() - centre).manhattanLength(), 2);
    about.AboutOKClick();
}

TEST_F(AboutTest, HelpAboutShowsTheBoxModally)
{
    test::TempDir folder;
    std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, folder.Path() / "Quietpane.mdb");
    test::RecordingRegistry registry;
    test::RecordingMessageBoxes boxes;
    TfrmWebSetup setup;
    setup.programFolder = QString::fromStdString(folder.Path().string());
    setup.registry = &registry;
    setup.internetAutodial = [] { return true; };
    setup.homePage = QStringLiteral("about:blank");
    TfrmWeb window(setup);
    window.SetAboutBox(&about);
    ScriptedDialogs dialogs;
    window.findChild<QAction*>("About1")->trigger();
    EXPECT_EQ(dialogs.shownDialogs, QStringList{QStringLiteral("About")});
}

} // namespace
