#include "shell/formWeb.h"

#include "app/ProgramEntry.h"
#include "hotkeys/HotKeyRecorder.h"
#include "platform/SettingsDatabase.h"
#include "support/QtTestSupport.h"
#include "support/ShellDoubles.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <vector>

using namespace quietpane;
using quietpane::test::FakeBrowser;
using quietpane::test::RecordingMessageBoxes;
using quietpane::test::RecordingRegistry;
using quietpane::test::TempDir;

namespace {

// The system's hotkeys for one process: a combination can be held once.
class FakeSystemHotKeys final : public SystemHotKeys {
public:
    bool RegisterHotKey(uint16_t id, uint16_t modifiers, uint16_t virtualKey) override
    {
        const std::pair<uint16_t, uint16_t> combination{modifiers, virtualKey};
        if (taken.count(combination))
            return false;
        taken.insert(combination);
        held[id] = combination;
        return true;
    }
    bool UnregisterHotKey(uint16_t id) override
    {
        auto found = held.find(id);
        if (found == held.end())
            return false;
        taken.erase(found->second);
        held.erase(found);
        return true;
    }
    std::optional<HotKeyMessage> TranslateHotKeyMessage(const QByteArray&, void*) override { return {}; }

    std::set<std::pair<uint16_t, uint16_t>> taken;
    std::map<uint16_t, std::pair<uint16_t, uint16_t>> held;
};

constexpr TShortCut CtrlAltH = 49224;
constexpr TShortCut CtrlAltO = 49231;

class FrmWebTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApplication();
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, folder.Path() / "Quietpane.mdb");
    }

    TfrmWebSetup WindowSetup()
    {
        TfrmWebSetup setup;
        setup.programFolder = QString::fromStdString(folder.Path().string());
        setup.createBrowser = [this](QWidget* parent) {
            auto created = std::make_unique<FakeBrowser>(parent);
            browser = created.get();
            return created;
        };
        setup.registry = &registry;
        setup.internetAutodial = [this] { return online; };
        setup.systemHotKeys = &system;
        return setup;
    }

    std::unique_ptr<TfrmWeb> Create() { return std::make_unique<TfrmWeb>(WindowSetup()); }

    // The stored HotKeys row as the file holds it, through a connection of its own.
    std::pair<QString, QString> StoredHotKeys()
    {
        const QString name = QStringLiteral("check");
        std::pair<QString, QString> values;
        {
            QSqlDatabase database = OpenSettingsDatabase(
                name, QString::fromStdString((folder.Path() / "Quietpane.mdb").string()));
            QSqlQuery query(QStringLiteral("SELECT HotKey2, HotKey3 FROM HotKeys"), database);
            if (query.next())
                values = {query.value(0).toString(), query.value(1).toString()};
        }
        CloseSettingsDatabase(name);
        return values;
    }

    static QComboBox* Urls(TfrmWeb& window) { return window.findChild<QComboBox*>("Urls"); }
    static QStringList Lines(TfrmWeb& window)
    {
        QStringList lines;
        for (int i = 0; i < Urls(window)->count(); ++i)
            lines.append(Urls(window)->itemText(i));
        return lines;
    }
    static QString StatusText(TfrmWeb& window)
    {
        return window.findChild<QLabel*>("StatusBar1Panel0")->text();
    }

    TempDir folder;
    RecordingMessageBoxes boxes;
    RecordingRegistry registry;
    FakeSystemHotKeys system;
    FakeBrowser* browser = nullptr;
    bool online = true;
};

const QString H = TfrmWeb::HomePage();

TEST_F(FrmWebTest, StartUpNavigatesHomeRecordsThePathAndRegistersTheStoredHotKeys)
{
    auto window = Create();
    EXPECT_FALSE(window->TerminationRequested());
    EXPECT_EQ(window->History().Entries(), QStringList({H}));
    EXPECT_EQ(window->HistoryIndex(), 0);
    EXPECT_EQ(Urls(*window)->currentText(), H);
    EXPECT_EQ(Lines(*window), QStringList({H}));
    EXPECT_EQ(StatusText(*window), H);
    EXPECT_FALSE(window->TypedNavigation());
    ASSERT_EQ(browser->navigateArguments.size(), 1u);
    EXPECT_EQ(browser->navigateArguments[0], std::vector<int>({0, 0, 0, 0}));
    EXPECT_EQ(registry.values["DBPath"], (folder.Path() / "Quietpane.mdb").string());
    EXPECT_TRUE(QDir(window->ScreenFolder()).exists());
    EXPECT_EQ(window->ScreenFolder(), QString::fromStdString(folder.Path().string()) + "/Screen/");
    EXPECT_EQ(window->findChild<QLabel*>("lbCounter")->text(), "lbCounter");
    // Restore first, then hide: Ctrl+Alt+O and Ctrl+Alt+H are now held.
    EXPECT_EQ(system.taken.size(), 2u);
    EXPECT_TRUE(boxes.messages.isEmpty() && boxes.errors.isEmpty() && boxes.applicationErrors.isEmpty());
    window->Timer1Timer();
    EXPECT_EQ(window->findChild<QLabel*>("lbCounter")->text(), "0:0:0");
    // The bookmark grid shows the table's rows.
    EXPECT_NE(window->findChild<QTableView*>("DBGrid1")->model(), nullptr);
}

TEST_F(FrmWebTest, OfflineStartReportsNoInternetConnectionAndGoesOn)
{
    online = false;
    auto window = Create();
    EXPECT_EQ(boxes.errors, QStringList({"No internet connection"}));
    EXPECT_EQ(window->HistoryIndex(), 0);
}

TEST_F(FrmWebTest, BackTwiceThenANewLinkCutsOffTheLaterEntries)
{
    auto window = Create();
    browser->Open("http://a/");
    browser->Open("http://b/");
    EXPECT_EQ(window->History().Entries(), QStringList({H, "http://a/", "http://b/"}));
    EXPECT_EQ(window->HistoryIndex(), 2);
    window->Back1Click();
    window->Back1Click();
    EXPECT_EQ(window->HistoryIndex(), 0);
    EXPECT_EQ(Urls(*window)->currentText(), H);
    browser->Open("http://c/");
    EXPECT_EQ(window->History().Entries(), QStringList({H, "http://c/"}));
    EXPECT_EQ(window->HistoryIndex(), 1);
    window->Back1Click();
    window->Forward1Click();
    EXPECT_EQ(window->HistoryIndex(), 1);
    EXPECT_EQ(Urls(*window)->currentText(), "http://c/");
    EXPECT_EQ(StatusText(*window), "http://c/");
}

TEST_F(FrmWebTest, RevisitsAndLetterCaseMoveTheIndexWithoutAdding)
{
    auto window = Create();
    browser->Open("http://a/Page");
    browser->Open("http://b/");
    browser->Open("http://A/page");
    EXPECT_EQ(window->HistoryIndex(), 1);
    EXPECT_EQ(window->History().Entries().size(), 3);
    EXPECT_EQ(Urls(*window)->currentText(), "http://A/page");
}

TEST_F(FrmWebTest, BackAtTheFirstPageReportsIndexMinusOneAndChangesNothing)
{
    auto window = Create();
    try {
        window->Back1Click();
        FAIL() << "no error";
    } catch (const EListError& error) {
        EXPECT_STREQ(error.what(), "List index out of bounds (-1)");
    }
    EXPECT_EQ(window->HistoryIndex(), 0);
    EXPECT_EQ(Urls(*window)->currentText(), H);
    EXPECT_THROW(window->Forward1Click(), EListError);
    // The buttons, the menu entries and Alt+Left can't reach it: they are disabled.
    QKeyEvent altLeft(QEvent::KeyPress, Qt::Key_Left, Qt::AltModifier);
    QCoreApplication::sendEvent(window.get(), &altLeft);
    EXPECT_TRUE(boxes.applicationErrors.isEmpty());
    EXPECT_EQ(Urls(*window)->currentText(), H);
}

TEST_F(FrmWebTest, BackAndForwardAreEnabledWhenBothHistoryAndTheEngineCanGoThatWay)
{
    auto window = Create();
    auto enabled = [&] {
        const bool back = window->findChild<QAction*>("Back1")->isEnabled();
        const bool forward = window->findChild<QAction*>("Forward1")->isEnabled();
        EXPECT_EQ(window->findChild<QToolButton*>("ToolPageBack")->isEnabled(), back);
        EXPECT_EQ(window->findChild<QToolButton*>("ToolPageForward")->isEnabled(), forward);
        return std::make_pair(back, forward);
    };
    auto back = [&] { window->findChild<QToolButton*>("ToolPageBack")->click(); };
    auto forward = [&] { window->findChild<QAction*>("Forward1")->trigger(); };
    struct Step {
        std::function<void()> act;
        bool back, forward;
        QString address; // in the box afterwards
    };
    const std::vector<Step> walk{
        {[] {}, false, false, H},
        {[&] { browser->Open("http://a/"); }, true, false, "http://a/"},
        {[&] { browser->Open("http://b/"); }, true, false, "http://b/"},
        {back, true, true, "http://a/"},
        {[&] { window->findChild<QAction*>("Back1")->trigger(); }, false, true, H},
        {forward, true, true, "http://a/"},
        {[&] { browser->Open("http://c/"); }, true, false, "http://c/"}, // cuts off b
        {back, true, true, "http://a/"},
        // A link to the first page: History is back at its entry, the engine has a page more.
        {[&] { browser->Open(H); }, false, false, H},
        {forward, false, false, H}, // disabled: nothing happens
    };
    for (size_t i = 0; i < walk.size(); ++i) {
        walk[i].act();
        EXPECT_EQ(enabled(), std::make_pair(walk[i].back, walk[i].forward)) << "step " << i;
        EXPECT_EQ(Urls(*window)->currentText(), walk[i].address) << "step " << i;
    }
    EXPECT_TRUE(boxes.applicationErrors.isEmpty());
}

TEST_F(FrmWebTest, AddressBoxNeverCompletesWhatIsTyped)
{
    auto window = Create();
    window->AddToAddressList("http://www.example.com/a/long/page.html");
    Urls(*window)->setEditText(QString());
    QLineEdit* line = Urls(*window)->lineEdit();
    for (const QChar letter : QStringLiteral("http://www.ex")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(letter));
        QCoreApplication::sendEvent(line, &press);
    }
    EXPECT_EQ(line->text(), "http://www.ex");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(Urls(*window), &enter);
    EXPECT_EQ(window->History().Entries().last(), "http://www.ex");
}

TEST_F(FrmWebTest, GoBackRefusedByTheControlLeavesTheHistoryAndNamesTheShownPage)
{
    auto window = Create();
    browser->Open("http://a/");
    browser->refuseTravel = true;
    EXPECT_THROW(window->Back1Click(), EBrowserError);
    EXPECT_EQ(Urls(*window)->currentText(), "http://a/");
    EXPECT_FALSE(window->findChild<QAction*>("Back1")->isEnabled());
    EXPECT_EQ(window->HistoryIndex(), 1);
    EXPECT_EQ(window->History().Entries().size(), 2);
}

TEST_F(FrmWebTest, StopAndRefreshReachTheControlAndLeaveTheHistory)
{
    auto window = Create();
    window->Stop1Click();
    window->Refresh1Click();
    EXPECT_EQ(browser->stops, 1);
    EXPECT_EQ(browser->refreshes, 1);
    EXPECT_EQ(window->History().Entries().size(), 1);
}

TEST_F(FrmWebTest, TypedAddressesGoToTheTopAndLinksAreAppendedByTheTitleEvent)
{
    auto window = Create();
    Urls(*window)->setEditText("http://typed.example/");
    window->NavigateToAddress();
    EXPECT_EQ(Lines(*window), QStringList({"http://typed.example/", H}));
    Urls(*window)->setEditText(H.toUpper());
    window->NavigateToAddress();
    EXPECT_EQ(Lines(*window), QStringList({H, "http://typed.example/"}));

    browser->Open("http://www.example.com/a/first.html");
    EXPECT_EQ(Lines(*window).size(), 2); // a link adds nothing before its title is known
    browser->OnTitleChange("First");
    EXPECT_EQ(window->windowTitle(), "First");
    EXPECT_EQ(Lines(*window).last(), "http://www.example.com/a/first.html");
    browser->Open("http://www.example.com/a/second.html");
    browser->OnTitleChange("Second");
    EXPECT_EQ(Lines(*window).size(), 3); // same first 24 characters: no new line
    EXPECT_EQ(Urls(*window)->currentText(), "http://www.example.com/a/second.html");
}

TEST_F(FrmWebTest, EnterInTheAddressBoxNavigatesAndFramesLeaveTheHistoryAlone)
{
    auto window = Create();
    Urls(*window)->setEditText("http://entered/");
    // Typed keys reach the box, which has the focus and hands them on to its line.
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(Urls(*window), &enter);
    EXPECT_EQ(window->History().Entries().last(), "http://entered/");
    EXPECT_EQ(window->focusWidget(), browser->Widget()); // the page takes the keyboard
    browser->OnBeforeNavigate2("http://entered/frame.html", false);
    EXPECT_EQ(window->History().Entries().last(), "http://entered/");
    EXPECT_EQ(Urls(*window)->currentText(), "http://entered/");
}

TEST_F(FrmWebTest, ProgressAndStatusFollowThePage)
{
    auto window = Create();
    auto* bar = window->findChild<QProgressBar*>("ProgressBar1");
    browser->OnProgressChange(50, 100);
    EXPECT_EQ(bar->value(), 50);
    browser->OnProgressChange(10, 0);
    EXPECT_EQ(bar->value(), 0);
    browser->OnProgressChange(30, 60);
    browser->OnProgressChange(-1, 100);
    EXPECT_EQ(bar->value(), 0);
    browser->OnStatusTextChange("Done");
    EXPECT_EQ(StatusText(*window), "Done");
}

TEST_F(FrmWebTest, ViewSwitchesShowAndHideTheBandsAndTheStatusBar)
{
    auto window = Create();
    auto* toolBarEntry = window->findChild<QAction*>("ToolBar");
    auto* coolBar = window->findChild<QFrame*>("CoolBar1");
    ASSERT_TRUE(toolBarEntry->isChecked());
    window->ToolBarClick();
    EXPECT_FALSE(toolBarEntry->isChecked());
    EXPECT_TRUE(coolBar->isHidden());
    toolBarEntry->trigger(); // through the menu
    EXPECT_TRUE(toolBarEntry->isChecked());
    EXPECT_FALSE(coolBar->isHidden());
    auto* statusEntry = window->findChild<QAction*>("StatusBar2");
    window->StatusBar2Click();
    EXPECT_FALSE(statusEntry->isChecked());
    EXPECT_TRUE(window->findChild<QStatusBar*>("StatusBar1")->isHidden());
    window->StatusBar2Click();
    EXPECT_FALSE(window->findChild<QStatusBar*>("StatusBar1")->isHidden());
}

TEST_F(FrmWebTest, HotKeyPanelShowsItsTextsAtTheirPlaces)
{
    auto window = Create();
    auto* panel = window->findChild<QFrame*>("Panel1");
    EXPECT_TRUE(panel->isHidden());
    window->findChild<QPushButton*>("bHotKeys")->click();
    EXPECT_FALSE(panel->isHidden());
    EXPECT_EQ(panel->pos(), QPoint(352, 112));
    const std::map<QString, std::pair<QString, QPoint>> texts{
        {"Label1", {"Keys pressed to be Hotkey:", {10, 16}}},
        {"Label2", {"Application Hotkeys:", {10, 64}}},
        {"Label5", {"To setup Hotkeys:  Place cursor in the 1st", {10, 192}}},
        {"Label8", {"on either Hotkey 01 or Hotkey 02 button.", {10, 240}}},
        {"Label3", {"Hotkey 01:  To hide application.", {10, 270}}},
        {"Label4", {"Hotkey 02:  To bring application back.", {10, 290}}}};
    for (const auto& [name, text] : texts) {
        auto* label = panel->findChild<QLabel*>(name);
        ASSERT_NE(label, nullptr) << name.toStdString();
        EXPECT_EQ(label->text(), text.first);
        EXPECT_EQ(label->pos(), text.second);
    }
    EXPECT_EQ(panel->findChild<QPushButton*>("bHotkey1")->text(), "Hotkey 01");
    EXPECT_EQ(panel->findChild<QPushButton*>("bHotkey2")->pos(), QPoint(152, 55));
    EXPECT_EQ(panel->findChild<QWidget*>("HotKey1")->geometry(), QRect(10, 32, 121, 19));
    // Below the texts, the keys in force.
    EXPECT_EQ(panel->findChild<QLabel*>("lbHideKey")->text(), "Hides now: Ctrl+Alt+H");
    EXPECT_EQ(panel->findChild<QLabel*>("lbRestoreKey")->text(), "Restores now: Ctrl+Alt+O");
    auto* hideMailWindow = panel->findChild<QCheckBox*>("cbHideMailWindow");
    EXPECT_EQ(hideMailWindow->text(), "Hide the mail window too");
    EXPECT_FALSE(hideMailWindow->isChecked());
    EXPECT_LE(hideMailWindow->geometry().bottom(), panel->height());
    window->bCloseClick();
    EXPECT_TRUE(panel->isHidden());
}

TEST_F(FrmWebTest, AssignButtonsWarnAndStoreOnlyWhatWorks)
{
    auto window = Create();
    auto* recorder = window->findChild<THotKeyRecorder*>("HotKey1");
    auto* list = window->findChild<QListWidget*>("ListBox1");

    window->bHotkey1Click();
    EXPECT_EQ(boxes.warnings, QStringList({"No hotkey is specified."}));
    EXPECT_EQ(StoredHotKeys(), std::make_pair(QString("49231"), QString("0")));

    recorder->SetHotKey(CtrlAltH); // held since start-up
    window->bHotkey1Click();
    EXPECT_EQ(boxes.warnings.last(), "Ctrl+Alt+H couldn't be assigned to a hotkey.");
    EXPECT_EQ(StoredHotKeys(), std::make_pair(QString("49231"), QString("49224")));
    EXPECT_EQ(list->count(), 0);

    constexpr TShortCut ShiftCtrlK = 0x2000 | 0x4000 | 'K';
    recorder->SetHotKey(ShiftCtrlK);
    window->bHotkey2Click();
    EXPECT_EQ(boxes.warnings.size(), 2);
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "Shift+Ctrl+K");
    EXPECT_EQ(recorder->HotKey(), 0);
    EXPECT_EQ(StoredHotKeys(), std::make_pair(QString::number(ShiftCtrlK), QString("49224")));
    EXPECT_EQ(window->findChild<QLabel*>("lbRestoreKey")->text(), "Restores now: Shift+Ctrl+K");

    // Held by another program: warned, not stored, the key in force stays.
    system.taken.insert({MOD_CONTROL | MOD_ALT, 'J'});
    recorder->SetHotKey(0x4000 | 0x8000 | 'J');
    window->bHotkey2Click();
    EXPECT_EQ(boxes.warnings.last(), "Ctrl+Alt+J couldn't be assigned to a hotkey.");
    EXPECT_EQ(StoredHotKeys(), std::make_pair(QString::number(ShiftCtrlK), QString("49224")));
    EXPECT_EQ(window->findChild<QLabel*>("lbRestoreKey")->text(), "Restores now: Shift+Ctrl+K");
    recorder->Clear();
    window->bHotkey2Click();
    EXPECT_EQ(window->findChild<QLabel*>("lbRestoreKey")->text(), "Restores now: none");
}

TEST_F(FrmWebTest, DeleteUnregistersTheSelectedLineOrWarns)
{
    auto window = Create();
    auto* recorder = window->findChild<THotKeyRecorder*>("HotKey1");
    auto* list = window->findChild<QListWidget*>("ListBox1");
    window->bDeleteClick(); // nothing selected: nothing happens
    EXPECT_TRUE(boxes.warnings.isEmpty());

    constexpr TShortCut CtrlAltK = 0x4000 | 0x8000 | 'K';
    recorder->SetHotKey(CtrlAltK);
    window->bHotkey1Click();
    ASSERT_EQ(list->count(), 1);
    list->setCurrentRow(0);
    const size_t heldBefore = system.taken.size();
    window->bDeleteClick();
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(system.taken.size(), heldBefore - 1);
    // The stored setting keeps the combination.
    EXPECT_EQ(StoredHotKeys().second, QString::number(CtrlAltK));

    // A line whose hotkey the system no longer holds can't be removed.
    recorder->SetHotKey(CtrlAltK);
    window->bHotkey1Click();
    list->setCurrentRow(0);
    system.held.clear();
    window->bDeleteClick();
    EXPECT_EQ(boxes.warnings, QStringList({"Ctrl+Alt+K couldn't be removed."}));
    EXPECT_EQ(list->count(), 1);
}

TEST_F(FrmWebTest, HotKeyPressesHideAndShowOnlyTheMainWindow)
{
    auto window = Create();
    QWidget mailWindow;
    window->SetMailWindow(&mailWindow);
    window->show();
    mailWindow.show();
    window->HotKeyManagerHotKeyPressed(CtrlAltH, 0xC000);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(mailWindow.isVisible());
    window->HotKeyManagerHotKeyPressed(CtrlAltO, 0xC001);
    EXPECT_TRUE(window->isVisible());
    window->HotKeyManagerHotKeyPressed(0x4000 | 'Z', 0xC002);
    EXPECT_TRUE(window->isVisible());
    // The comparison reads the stored value at each press.
    window->findChild<THotKeyRecorder*>("HotKey1")->SetHotKey(CtrlAltO);
    window->bHotkey1Click(); // Ctrl+Alt+O now stands in both columns: a press restores
    window->HotKeyManagerHotKeyPressed(CtrlAltO, 0xC001);
    EXPECT_TRUE(window->isVisible());
    window->HotKeyManagerHotKeyPressed(CtrlAltH, 0xC000);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(FrmWebTest, EmailButtonShowsTheMailWindow)
{
    auto window = Create();
    QWidget mailWindow;
    window->SetMailWindow(&mailWindow);
    window->findChild<QToolButton*>("bEmail")->click();
    EXPECT_TRUE(mailWindow.isVisible());
}

TEST_F(FrmWebTest, MinimisingHidesTheWindow)
{
    auto window = Create();
    window->show();
    window->setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(test::WaitUntil([&] { return !window->isVisible(); }, 5000));
}

TEST_F(FrmWebTest, MissingDatabaseIsReportedAndEndsTheProgram)
{
    std::filesystem::remove(folder.Path() / "Quietpane.mdb");
    auto window = Create();
    ASSERT_EQ(boxes.messages.size(), 1);
    EXPECT_TRUE(
        boxes.messages[0].contains(QString::fromStdString((folder.Path() / "Quietpane.mdb").string())))
        << boxes.messages[0].toStdString();
    EXPECT_EQ(boxes.applicationErrors.size(), 1);
    EXPECT_TRUE(window->TerminationRequested());
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "Quietpane.mdb")); // never created
    EXPECT_TRUE(registry.values.empty());
    window.reset();

    auto& application = test::TestApplication();
    EXPECT_NE(RunQuietpane(application, WindowSetup()), 0);
}

TEST_F(FrmWebTest, EmptyHotKeysTableReportsTheConversionAndTheWindowStillOpens)
{
    {
        QSqlDatabase database =
            OpenSettingsDatabase("empty", QString::fromStdString((folder.Path() / "Quietpane.mdb").string()));
        QSqlQuery(QStringLiteral("DELETE FROM HotKeys"), database);
    }
    CloseSettingsDatabase("empty");
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    EXPECT_EQ(RunQuietpane(test::TestApplication(), WindowSetup()), 0);
    EXPECT_EQ(boxes.applicationErrors, QStringList({"'' is not a valid integer value"}));
    EXPECT_TRUE(system.taken.empty());

    // Recording a hotkey afterwards creates the row.
    auto window = Create();
    window->findChild<THotKeyRecorder*>("HotKey1")->SetHotKey(CtrlAltH);
    window->bHotkey1Click();
    EXPECT_EQ(StoredHotKeys().second, "49224");
}

} // namespace
