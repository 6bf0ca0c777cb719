#include "shell/MainWindowLayout.h"

#include "platform/WebEngineFind.h"
#include "shell/BookmarkNavigator.h"
#include "shell/FindBar.h"
#include "shell/formWeb.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace quietpane {

namespace {

constexpr int LeftColumnWidth = 201;

QAction* AddEntry(QMenu* menu, const char* objectName, const QString& text)
{
    QAction* entry = menu->addAction(text);
    entry->setObjectName(QLatin1String(objectName));
    return entry;
}

QToolButton* AddToolButton(QToolBar* bar, const char* objectName, QStyle::StandardPixmap picture,
                           const QString& hint)
{
    auto* button = new QToolButton(bar);
    button->setObjectName(QLatin1String(objectName));
    button->setIcon(bar->style()->standardIcon(picture));
    button->setToolTip(hint);
    bar->addWidget(button);
    return button;
}

void SetBoldCaption(QWidget* widget, const char* colour)
{
    QFont font = widget->font();
    font.setBold(true);
    widget->setFont(font);
    if (colour)
        widget->setStyleSheet(QStringLiteral("color: %1;").arg(QLatin1String(colour)));
}

// Builds the controls into the window and connects them to its handlers.
class TMainWindowBuilder final {
public:
    TMainWindowBuilder(TfrmWeb& window, const QString& homePage) : window_(window), homePage_(homePage) {}

    TMainWindowControls Build(QWidget& browser);

private:
    void BuildMenus();
    // The cool bar's three bands, top to bottom.
    void BuildBands();
    QToolBar* BuildToolBand();
    QHBoxLayout* BuildAddressBand();
    QHBoxLayout* BuildLinksBand();
    // The links tool bar's own buttons; the hidden bookmark-button templates come with it.
    QToolBar* BuildLinksToolBar();
    void BuildLeftColumn(QWidget* parent);
    void BuildStatusBar();
    void BuildBoundBoxes();
    void AddWindowShortcuts();

    TfrmWeb& window_;
    QString homePage_;
    TMainWindowControls controls_;
};

TMainWindowControls TMainWindowBuilder::Build(QWidget& browser)
{
    auto* central = new QWidget(&window_);
    window_.setCentralWidget(central);
    auto* columns = new QVBoxLayout(central);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);

    BuildMenus();
    // The client area is 880 x 536 below the menu bar, which lies outside it.
    window_.resize(880, 536 + window_.menuBar()->sizeHint().height());
    BuildBands();
    columns->addWidget(controls_.coolBar1);
    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    columns->addLayout(body, 1);
    auto* leftColumn = new QWidget(central);
    leftColumn->setFixedWidth(LeftColumnWidth);
    BuildLeftColumn(leftColumn);
    body->addWidget(leftColumn);
    auto* pageColumn = new QVBoxLayout;
    pageColumn->setSpacing(0);
    pageColumn->addWidget(&browser, 1);
    controls_.findBar =
        new TFindBar([&browser](const QString& text, bool backward,
                                const TFindDone& done) { FindInPage(browser, text, backward, done); },
                     central);
    pageColumn->addWidget(controls_.findBar);
    body->addLayout(pageColumn, 1);
    BuildStatusBar();
    BuildBoundBoxes();
    AddWindowShortcuts();
    return controls_;
}

void TMainWindowBuilder::BuildStatusBar()
{
    controls_.statusBar1 = new QStatusBar(&window_);
    controls_.statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    controls_.statusPanel = new QLabel(controls_.statusBar1);
    controls_.statusPanel->setObjectName(QStringLiteral("StatusBar1Panel0"));
    controls_.statusBar1->addWidget(controls_.statusPanel, 1);
    window_.setStatusBar(controls_.statusBar1);
}

// Keys of commands that have no menu entry of their own.
void TMainWindowBuilder::AddWindowShortcuts()
{
    auto addShortcut = [this](const char* name, const QList<QKeySequence>& keys, void (TfrmWeb::*handler)()) {
        auto* action = new QAction(&window_);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        window_.addAction(action);
        QObject::connect(action, &QAction::triggered, &window_, handler);
    };
    addShortcut("FocusAddress", {QKeySequence(Qt::CTRL | Qt::Key_L), QKeySequence(Qt::ALT | Qt::Key_D)},
                &TfrmWeb::FocusAddressBox);
    addShortcut("GoHome", {QKeySequence(Qt::ALT | Qt::Key_Home)}, &TfrmWeb::LinksImagesClick);
    addShortcut("FindInPage", {QKeySequence(Qt::CTRL | Qt::Key_F)}, &TfrmWeb::FindInPageClick);
}

void TMainWindowBuilder::BuildBoundBoxes()
{
    auto hiddenBoundBox = [this](const char* name) {
        auto* box = new QLineEdit(window_.centralWidget());
        box->setObjectName(QLatin1String(name));
        box->hide();
        return box;
    };
    controls_.dbUrls = hiddenBoundBox("dbUrls");
    controls_.dbHotkey2 = hiddenBoundBox("dbHotkey2");
    controls_.dbHotkey3 = hiddenBoundBox("dbHotkey3");
}

void TMainWindowBuilder::BuildMenus()
{
    QMenu* file = window_.menuBar()->addMenu(QStringLiteral("File"));
    QObject::connect(AddEntry(file, "PrintPreview", QStringLiteral("Print Preview")), &QAction::triggered,
                     &window_, &TfrmWeb::PrintPreviewClick);
    QAction* print1 = AddEntry(file, "Print1", QStringLiteral("Print"));
    print1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    QObject::connect(print1, &QAction::triggered, &window_, &TfrmWeb::Print1Click);
    file->addSeparator();
    QObject::connect(AddEntry(file, "SaveAs1", QStringLiteral("Save As")), &QAction::triggered, &window_,
                     &TfrmWeb::SaveAs1Click);
    file->addSeparator();
    QObject::connect(AddEntry(file, "Exit1", QStringLiteral("Exit")), &QAction::triggered, &window_,
                     &TfrmWeb::Exit1Click);

    QMenu* edit = window_.menuBar()->addMenu(QStringLiteral("Edit"));
    AddEntry(edit, "Htmlsource1", QStringLiteral("Html source"))->setEnabled(false);

    QMenu* view = window_.menuBar()->addMenu(QStringLiteral("View"));
    controls_.toolBarEntry = AddEntry(view, "ToolBar", QStringLiteral("Tool Bar"));
    controls_.statusBarEntry = AddEntry(view, "StatusBar2", QStringLiteral("Status Bar"));
    QAction* bookmark = AddEntry(view, "Bookmark1", QStringLiteral("Bookmark"));
    for (QAction* ticked : {controls_.toolBarEntry, controls_.statusBarEntry, bookmark}) {
        ticked->setCheckable(true);
        ticked->setChecked(true);
    }
    // The handlers flip the ticks themselves; the menu's own flip is undone first.
    QObject::connect(controls_.toolBarEntry, &QAction::triggered, &window_,
                     [window = &window_, entry = controls_.toolBarEntry](bool checked) {
                         entry->setChecked(!checked);
                         window->ToolBarClick();
                     });
    QObject::connect(controls_.statusBarEntry, &QAction::triggered, &window_,
                     [window = &window_, entry = controls_.statusBarEntry](bool checked) {
                         entry->setChecked(!checked);
                         window->StatusBar2Click();
                     });
    // "Bookmark" stays ticked: the menu's own flip is undone.
    QObject::connect(bookmark, &QAction::triggered, bookmark, [bookmark] { bookmark->setChecked(true); });
    QObject::connect(bookmark, &QAction::triggered, &window_, &TfrmWeb::Bookmark1Click);
    view->addSeparator();
    QAction* stop1 = AddEntry(view, "Stop1", QStringLiteral("Stop"));
    stop1->setShortcut(QKeySequence(Qt::Key_Escape));
    QObject::connect(stop1, &QAction::triggered, &window_, &TfrmWeb::Stop1Click);
    QAction* refresh1 = AddEntry(view, "Refresh1", QStringLiteral("Refresh"));
    refresh1->setShortcuts({QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)});
    QObject::connect(refresh1, &QAction::triggered, &window_, &TfrmWeb::Refresh1Click);

    QMenu* go = window_.menuBar()->addMenu(QStringLiteral("Go"));
    controls_.back1 = AddEntry(go, "Back1", QStringLiteral("Back"));
    QObject::connect(controls_.back1, &QAction::triggered, &window_, &TfrmWeb::Back1Click);
    controls_.forward1 = AddEntry(go, "Forward1", QStringLiteral("Forward"));
    QObject::connect(controls_.forward1, &QAction::triggered, &window_, &TfrmWeb::Forward1Click);
    go->addSeparator();
    QObject::connect(AddEntry(go, "Properties1", QStringLiteral("Properties")), &QAction::triggered, &window_,
                     &TfrmWeb::Properties1Click);

    QMenu* tools = window_.menuBar()->addMenu(QStringLiteral("Tools"));
    QObject::connect(AddEntry(tools, "Email1", QStringLiteral("Email")), &QAction::triggered, &window_,
                     &TfrmWeb::Email1Click);
    QObject::connect(AddEntry(tools, "SaveScreentoFile1", QStringLiteral("Save Screen to File")),
                     &QAction::triggered, &window_, &TfrmWeb::SaveScreentoFile1Click);
    QObject::connect(AddEntry(tools, "HotKeys1", QStringLiteral("Hot Keys")), &QAction::triggered, &window_,
                     &TfrmWeb::HotKeys1Click);

    QMenu* help = window_.menuBar()->addMenu(QStringLiteral("Help"));
    QObject::connect(AddEntry(help, "About1", QStringLiteral("About...")), &QAction::triggered, &window_,
                     &TfrmWeb::About1Click);
}

void TMainWindowBuilder::BuildBands()
{
    controls_.coolBar1 = new QFrame(window_.centralWidget());
    controls_.coolBar1->setObjectName(QStringLiteral("CoolBar1"));
    controls_.coolBar1->setFixedHeight(81);
    controls_.coolBar1->setFrameShape(QFrame::StyledPanel);
    auto* bands = new QVBoxLayout(controls_.coolBar1);
    bands->setContentsMargins(2, 1, 2, 1);
    bands->setSpacing(1);
    bands->addWidget(BuildToolBand());
    bands->addLayout(BuildAddressBand());
    bands->addLayout(BuildLinksBand());
}

QToolBar* TMainWindowBuilder::BuildToolBand()
{
    controls_.toolBar1 = new QToolBar(controls_.coolBar1);
    controls_.toolBar1->setObjectName(QStringLiteral("ToolBar1"));
    controls_.toolPageBack =
        AddToolButton(controls_.toolBar1, "ToolPageBack", QStyle::SP_ArrowBack, QStringLiteral("Page Back"));
    controls_.toolPageForward = AddToolButton(controls_.toolBar1, "ToolPageForward", QStyle::SP_ArrowForward,
                                              QStringLiteral("Page Forward"));
    QToolButton* toolStop =
        AddToolButton(controls_.toolBar1, "ToolStop", QStyle::SP_BrowserStop, QStringLiteral("Stop"));
    QToolButton* toolRefresh =
        AddToolButton(controls_.toolBar1, "ToolRefresh", QStyle::SP_BrowserReload, QStringLiteral("Refresh"));
    QToolButton* toolPrint = AddToolButton(controls_.toolBar1, "ToolPrint", QStyle::SP_FileDialogDetailedView,
                                           QStringLiteral("Print"));
    controls_.toolBar1->addSeparator();
    auto* toolExit = new QToolButton(controls_.toolBar1);
    toolExit->setObjectName(QStringLiteral("ToolExit"));
    toolExit->setText(QStringLiteral("Exit"));
    toolExit->setFixedWidth(55);
    controls_.toolBar1->addWidget(toolExit);
    auto* counterGap = new QWidget(controls_.toolBar1);
    counterGap->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    controls_.toolBar1->addWidget(counterGap);
    controls_.lbCounter = new QLabel(QStringLiteral("lbCounter"), controls_.toolBar1);
    controls_.lbCounter->setObjectName(QStringLiteral("lbCounter"));
    SetBoldCaption(controls_.lbCounter, nullptr);
    // A size of its own, wide enough for years of hours: a new text each second then repaints the
    // label alone instead of laying the tool bar out again.
    controls_.lbCounter->setFixedSize(
        controls_.lbCounter->fontMetrics().horizontalAdvance(QStringLiteral("99999:59:59")) + 4,
        controls_.lbCounter->sizeHint().height());
    controls_.toolBar1->addWidget(controls_.lbCounter);
    QObject::connect(controls_.toolPageBack, &QToolButton::clicked, &window_, &TfrmWeb::Back1Click);
    QObject::connect(controls_.toolPageForward, &QToolButton::clicked, &window_, &TfrmWeb::Forward1Click);
    QObject::connect(toolStop, &QToolButton::clicked, &window_, &TfrmWeb::Stop1Click);
    QObject::connect(toolRefresh, &QToolButton::clicked, &window_, &TfrmWeb::Refresh1Click);
    QObject::connect(toolPrint, &QToolButton::clicked, &window_, &TfrmWeb::PrintPreviewClick);
    QObject::connect(toolExit, &QToolButton::clicked, &window_, &TfrmWeb::Exit1Click);
    return controls_.toolBar1;
}

QHBoxLayout* TMainWindowBuilder::BuildAddressBand()
{
    auto* addressBand = new QHBoxLayout;
    addressBand->addWidget(new QLabel(QStringLiteral("Address:"), controls_.coolBar1));
    controls_.urls = new QComboBox(controls_.coolBar1);
    controls_.urls->setObjectName(QStringLiteral("Urls"));
    controls_.urls->setEditable(true);
    controls_.urls->setInsertPolicy(QComboBox::NoInsert); // the list follows its own rules
    // Enter navigates to exactly what was typed: no completion may lengthen it.
    controls_.urls->setCompleter(nullptr);
    controls_.urls->setMaxVisibleItems(8);
    controls_.urls->setMinimumHeight(22);
    // Typed keys reach the box itself, which hands them to its line past any filter of the line.
    controls_.urls->installEventFilter(&window_);
    controls_.urls->lineEdit()->installEventFilter(&window_);
    addressBand->addWidget(controls_.urls, 1);
    return addressBand;
}

QHBoxLayout* TMainWindowBuilder::BuildLinksBand()
{
    auto* linksBand = new QHBoxLayout;
    linksBand->addWidget(new QLabel(QStringLiteral("Links:"), controls_.coolBar1));
    linksBand->addWidget(BuildLinksToolBar(), 1);
    controls_.progressBar1 = new QProgressBar(controls_.coolBar1);
    controls_.progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    controls_.progressBar1->setFixedSize(150, 17);
    controls_.progressBar1->setRange(0, 100);
    controls_.progressBar1->setValue(0);
    controls_.progressBar1->setTextVisible(false);
    linksBand->addWidget(controls_.progressBar1);
    return linksBand;
}

QToolBar* TMainWindowBuilder::BuildLinksToolBar()
{
    auto* toolBar3 = new QToolBar(controls_.coolBar1);
    toolBar3->setObjectName(QStringLiteral("ToolBar3"));
    toolBar3->addSeparator();
    controls_.toolHome = AddToolButton(toolBar3, "ToolHome", QStyle::SP_DirHomeIcon, QStringLiteral("Home"));
    controls_.toolHome->setText(homePage_);
    controls_.toolHome->setToolButtonStyle(Qt::ToolButtonIconOnly);
    QObject::connect(controls_.toolHome, &QToolButton::clicked, &window_, &TfrmWeb::LinksImagesClick);
    auto* bEmail = new QToolButton(toolBar3);
    bEmail->setObjectName(QStringLiteral("bEmail"));
    bEmail->setText(QStringLiteral("Email"));
    bEmail->setIcon(window_.style()->standardIcon(QStyle::SP_DialogOpenButton));
    bEmail->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bEmail->setAutoRaise(true);
    bEmail->setFixedWidth(64);
    QObject::connect(bEmail, &QToolButton::clicked, &window_, &TfrmWeb::Email1Click);
    toolBar3->addWidget(bEmail);
    auto* bHotKeys = new QPushButton(QStringLiteral("Secret keys"), toolBar3);
    bHotKeys->setObjectName(QStringLiteral("bHotKeys"));
    bHotKeys->setFixedWidth(75);
    SetBoldCaption(bHotKeys, "red");
    QObject::connect(bHotKeys, &QPushButton::clicked, &window_, &TfrmWeb::HotKeys1Click);
    toolBar3->addWidget(bHotKeys);
    controls_.speedButton1 = new QToolButton(toolBar3);
    controls_.speedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    controls_.speedButton1->setText(QStringLiteral("Add"));
    controls_.speedButton1->setIcon(window_.style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    controls_.speedButton1->setIconSize(QSize(18, 18));
    controls_.speedButton2 = new QToolButton(toolBar3);
    controls_.speedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    controls_.speedButton2->setText(QStringLiteral("Delete"));
    controls_.speedButton2->setIcon(window_.style()->standardIcon(QStyle::SP_TrashIcon));
    controls_.speedButton2->setIconSize(QSize(16, 16));
    for (QToolButton* hiddenTemplate : {controls_.speedButton1, controls_.speedButton2}) {
        SetBoldCaption(hiddenTemplate, "blue");
        hiddenTemplate->hide();
    }
    return toolBar3;
}

void TMainWindowBuilder::BuildLeftColumn(QWidget* parent)
{
    auto* layout = new QVBoxLayout(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* groupBox1 = new QGroupBox(QStringLiteral("IP address:"), parent);
    groupBox1->setObjectName(QStringLiteral("GroupBox1"));
    groupBox1->setFixedHeight(50);
    groupBox1->setStyleSheet(QStringLiteral("QGroupBox { color: blue; }"));
    controls_.memo1 = new QPlainTextEdit(groupBox1);
    controls_.memo1->setObjectName(QStringLiteral("Memo1"));
    controls_.memo1->setGeometry(5, 14, 190, 33);
    layout->addWidget(groupBox1);
    controls_.dbGrid1 = new QTableView(parent);
    controls_.dbGrid1->setObjectName(QStringLiteral("DBGrid1"));
    layout->addWidget(controls_.dbGrid1, 1);
    controls_.dbNavigator1 = new TBookmarkNavigator(*controls_.dbGrid1, controls_.dbGrid1);
    controls_.dbNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    controls_.dbNavigator1->setGeometry(LeftColumnWidth - 112, 0, 110, 18);
}

} // namespace

TMainWindowControls BuildMainWindow(TfrmWeb& window, QWidget& browser, const QString& homePage)
{
    return TMainWindowBuilder(window, homePage).Build(browser);
}

} // namespace quietpane
