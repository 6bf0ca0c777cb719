// The bookmark column of the main window over a real settings database file.

#include "shell/BookmarksPanel.h"

#include "platform/SettingsDatabase.h"
#include "shell/formWeb.h"

#include "support/QtTestSupport.h"
#include "support/ShellDoubles.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSqlQuery>
#include <QTableView>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>

using namespace quietpane;
using quietpane::test::RecordingMessageBoxes;
using quietpane::test::TempDir;

namespace {

class BookmarksPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApplication();
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, folder.Path() / "Quietpane.mdb");
        Start();
    }

    // A run of the program: the main window made anew over the same folder.
    void Start()
    {
        window.reset();
        TfrmWebSetup setup;
        setup.programFolder = QString::fromStdString(folder.Path().string());
        setup.createBrowser = [this](QWidget* parent) {
            auto created = std::make_unique<test::FakeBrowser>(parent);
            browser = created.get();
            return created;
        };
        setup.registry = &registry;
        setup.internetAutodial = [] { return true; };
        setup.homePage = QStringLiteral("http://home.example/");
        window = std::make_unique<TfrmWeb>(setup);
        window->show();
        grid = window->findChild<QTableView*>("DBGrid1");
    }

    // The Bookmark column as the file holds it, in the order the rows were made.
    QStringList Stored()
    {
        const QString name = QStringLiteral("bookmarks-check");
        QStringList rows;
        {
            QSqlDatabase database = OpenSettingsDatabase(
                name, QString::fromStdString((folder.Path() / "Quietpane.mdb").string()));
            QSqlQuery query(QStringLiteral("SELECT Bookmark FROM Bookmark ORDER BY ID"), database);
            while (query.next())
                rows.append(query.value(0).toString());
        }
        CloseSettingsDatabase(name);
        return rows;
    }

    QComboBox* Urls() const { return window->findChild<QComboBox*>("Urls"); }
    QToolButton* Button(const char* name) const
    {
        return window->findChild<QToolButton*>(QLatin1String(name));
    }
    QStringList AddressLines() const
    {
        QStringList lines;
        for (int i = 0; i < Urls()->count(); ++i)
            lines.append(Urls()->itemText(i));
        return lines;
    }
    int BookmarkColumn() const { return 1; }
    QModelIndex Cell(int row) const { return grid->model()->index(row, BookmarkColumn()); }

    void Add(const QString& address)
    {
        Urls()->setEditText(address);
        Button("nbInsert")->click();
    }

    // Opens the grid's editor on the row and types the text into it; returns the editor.
    QLineEdit* EditCell(int row, const QString& text)
    {
        // The editor of an earlier edit is gone first, so the one found is the new one.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        grid->setCurrentIndex(Cell(row));
        grid->edit(Cell(row));
        auto* editor = grid->viewport()->findChild<QLineEdit*>();
        if (editor)
            editor->setText(text);
        return editor;
    }

    void Type(const QString& address)
    {
        Urls()->setEditText(address);
        window->NavigateToAddress();
    }

    void DoubleClick(int row) { DoubleClickAt(grid->visualRect(Cell(row)).center()); }
    void DoubleClickAt(QPoint where)
    {
        QWidget* viewport = grid->viewport();
        auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
            QMouseEvent event(type, where, viewport->mapToGlobal(where), Qt::LeftButton, buttons,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &event);
        };
        send(QEvent::MouseButtonPress, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, Qt::NoButton);
        send(QEvent::MouseButtonDblClick, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, Qt::NoButton);
    }

    TempDir folder;
    test::RecordingRegistry registry;
    RecordingMessageBoxes boxes;
    test::FakeBrowser* browser = nullptr;
    std::unique_ptr<TfrmWeb> window;
    QTableView* grid = nullptr;
};

TEST_F(BookmarksPanelTest, GridAndNavigatorAreDressedAsBookmarkColumn)
{
    EXPECT_EQ(grid->columnWidth(0), 0);
    EXPECT_EQ(grid->columnWidth(BookmarkColumn()), 200);
    EXPECT_EQ(grid->model()->headerData(BookmarkColumn(), Qt::Horizontal).toString(),
              QStringLiteral("Bookmark"));
    EXPECT_TRUE(grid->horizontalHeader()->font().bold());
    EXPECT_EQ(Button("nbInsert")->text(), QStringLiteral("Add"));
    EXPECT_EQ(Button("nbInsert")->toolTip(), QStringLiteral("Add Bookmark"));
    EXPECT_EQ(Button("nbDelete")->text(), QStringLiteral("Delete"));
    EXPECT_EQ(Button("nbDelete")->toolTip(), QStringLiteral("Delete Bookmark"));

    // The navigator sits on the title row, right of the title, and shows its captions whole.
    auto* navigator = window->findChild<QWidget*>("DBNavigator1");
    EXPECT_EQ(navigator->size(), QSize(110, 18));
    EXPECT_GE(navigator->x(),
              grid->horizontalHeader()->fontMetrics().horizontalAdvance(QStringLiteral("Bookmark")));
    for (const char* name : {"nbInsert", "nbDelete"})
        EXPECT_GE(Button(name)->width(),
                  Button(name)->iconSize().width() +
                      Button(name)->fontMetrics().horizontalAdvance(Button(name)->text()) + 8)
            << name;
}

TEST_F(BookmarksPanelTest, GridFillsTheLeftColumnDownToTheStatusBar)
{
    const QWidget* client = window->centralWidget();
    const QWidget* statusBar = window->findChild<QWidget*>("StatusBar1");
    EXPECT_EQ(QSize(client->width(), client->height() + statusBar->height()), QSize(880, 536));
    const QRect place(grid->mapTo(window.get(), QPoint(0, 0)), grid->size());
    EXPECT_EQ(place.left(), 0);
    EXPECT_EQ(place.width(), 201);
    EXPECT_EQ(place.bottom() + 1, statusBar->geometry().top());
}

TEST_F(BookmarksPanelTest, AddingTheSamePageTwiceStoresTwoEqualRows)
{
    Add(QStringLiteral("http://a.example/"));
    Add(QStringLiteral("http://a.example/"));
    EXPECT_EQ(Stored(), QStringList(2, QStringLiteral("http://a.example/")));
    EXPECT_EQ(grid->model()->rowCount(), 2);

    // The menu entry adds the same way and stays ticked.
    QAction* entry = window->findChild<QAction*>("Bookmark1");
    Urls()->setEditText(QStringLiteral("typed but not entered"));
    entry->trigger();
    EXPECT_TRUE(entry->isChecked());
    EXPECT_EQ(Stored().value(2), QStringLiteral("typed but not entered"));
    EXPECT_TRUE(boxes.applicationErrors.isEmpty()) << boxes.applicationErrors.join(' ').toStdString();
}

TEST_F(BookmarksPanelTest, EmptyAddressBoxStoresAnEmptyBookmarkAndLongOnesAreCut)
{
    Add(QString());
    const QString longAddress = QStringLiteral("http://long.example/") + QString(300, QLatin1Char('x'));
    Add(longAddress);
    const QStringList stored = Stored();
    ASSERT_EQ(stored.size(), 2);
    EXPECT_TRUE(stored[0].isEmpty());
    EXPECT_EQ(stored[1], longAddress.left(BookmarkMaxLength));
    EXPECT_TRUE(boxes.applicationErrors.isEmpty()) << boxes.applicationErrors.join(' ').toStdString();
}

TEST_F(BookmarksPanelTest, DeleteAsksFirstAndRemovesOnlyTheHighlightedRowOnOk)
{
    for (const char* address : {"http://a.example/", "http://b.example/", "http://c.example/"})
        Add(QLatin1String(address));
    grid->setCurrentIndex(Cell(1));

    boxes.confirmAnswer = false;
    Button("nbDelete")->click();
    EXPECT_EQ(boxes.questions, QStringList{QStringLiteral("Delete record?")});
    EXPECT_EQ(Stored().size(), 3);

    boxes.confirmAnswer = true;
    Button("nbDelete")->click();
    EXPECT_EQ(Stored(),
              QStringList({QStringLiteral("http://a.example/"), QStringLiteral("http://c.example/")}));
    EXPECT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(grid->model()->data(Cell(1)).toString(), QStringLiteral("http://c.example/"));
}

TEST_F(BookmarksPanelTest, InPlaceEditIsStoredWhenTheRowIsLeft)
{
    Add(QStringLiteral("http://a.example/"));
    Add(QStringLiteral("http://b.example/"));
    QLineEdit* editor = EditCell(0, QStringLiteral("http://edited.example/"));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->maxLength(), BookmarkMaxLength);
    grid->setCurrentIndex(Cell(1));
    EXPECT_EQ(Stored(),
              QStringList({QStringLiteral("http://edited.example/"), QStringLiteral("http://b.example/")}));

    // An edit still open when a bookmark is added is ended and kept first.
    ASSERT_NE(EditCell(1, QStringLiteral("http://second.example/")), nullptr);
    Add(QStringLiteral("http://c.example/"));
    EXPECT_EQ(Stored(),
              QStringList({QStringLiteral("http://edited.example/"), QStringLiteral("http://second.example/"),
                           QStringLiteral("http://c.example/")}));
}

TEST_F(BookmarksPanelTest, DoubleClickNavigatesAndMovesThatAddressToTheTop)
{
    Type(QStringLiteral("http://b.example/"));
    Add(QStringLiteral("http://b.example/"));
    Type(QStringLiteral("http://y.example/"));
    ASSERT_EQ(AddressLines().value(0), QStringLiteral("http://y.example/"));

    DoubleClick(0);
    EXPECT_EQ(browser->LocationURL(), QStringLiteral("http://b.example/"));
    EXPECT_EQ(AddressLines().value(0), QStringLiteral("http://b.example/"));
    EXPECT_EQ(AddressLines().count(QStringLiteral("http://b.example/")), 1);
    EXPECT_EQ(Urls()->currentText(), QStringLiteral("http://b.example/"));
}

TEST_F(BookmarksPanelTest, DoubleClickAnywhereOpensTheCurrentBookmarkAndLeavesNoEditorOpen)
{
    Add(QStringLiteral("http://a.example/"));
    Add(QStringLiteral("http://b.example/"));
    DoubleClick(0);
    EXPECT_EQ(browser->LocationURL(), QStringLiteral("http://a.example/"));
    // Below the last row: the current bookmark again.
    DoubleClickAt(QPoint(20, grid->viewport()->height() - 5));
    EXPECT_EQ(browser->navigateArguments.size(), 3u); // home, then the two double clicks
    EXPECT_EQ(browser->LocationURL(), QStringLiteral("http://a.example/"));
    EXPECT_EQ(grid->viewport()->findChild<QLineEdit*>(), nullptr);
}

TEST_F(BookmarksPanelTest, IdColumnCannotBeEdited)
{
    Add(QStringLiteral("http://a.example/"));
    const QModelIndex id = grid->model()->index(0, 0);
    grid->setCurrentIndex(id);
    grid->edit(id);
    EXPECT_EQ(grid->viewport()->findChild<QLineEdit*>(), nullptr);
}

TEST_F(BookmarksPanelTest, ARunStartsOnTheBoundRowSoDeleteRemovesTheBookmarkShown)
{
    Add(QStringLiteral("http://a.example/"));
    Add(QStringLiteral("http://b.example/"));
    Start();
    EXPECT_EQ(window->findChild<QLineEdit*>("dbUrls")->text(), QStringLiteral("http://a.example/"));
    Button("nbDelete")->click();
    EXPECT_EQ(Stored(), QStringList({QStringLiteral("http://b.example/")}));
    EXPECT_EQ(window->findChild<QLineEdit*>("dbUrls")->text(), QStringLiteral("http://b.example/"));
}

TEST_F(BookmarksPanelTest, BookmarksOutliveTheWindow)
{
    Add(QStringLiteral("http://a.example/"));
    Add(QStringLiteral("http://b.example/"));
    Add(QStringLiteral("http://c.example/"));
    grid->setCurrentIndex(Cell(0));
    Button("nbDelete")->click();
    ASSERT_NE(EditCell(0, QStringLiteral("http://edited.example/")), nullptr);
    grid->setCurrentIndex(Cell(1));

    Start();
    ASSERT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(grid->model()->data(Cell(0)).toString(), QStringLiteral("http://edited.example/"));
    EXPECT_EQ(grid->model()->data(Cell(1)).toString(), QStringLiteral("http://c.example/"));
    // The new run keeps adding after them.
    Add(QStringLiteral("http://d.example/"));
    EXPECT_EQ(Stored(),
              QStringList({QStringLiteral("http://edited.example/"), QStringLiteral("http://c.example/"),
                           QStringLiteral("http://d.example/")}));
}

} // namespace
