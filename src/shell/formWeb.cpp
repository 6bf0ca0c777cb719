#include "shell/formWeb.h"

#include "hotkeys/HotKeyRecorder.h"
#include "hotkeys/ShortCutText.h"
#include "net/IdGlobal.h"
#include "platform/EventPump.h"
#include "platform/GuardedApplication.h"
#include "platform/BrowserCommands.h"
#include "platform/Dialogs.h"
#include "platform/InternetAutodial.h"
#include "platform/LocalAddresses.h"
#include "platform/MessageBoxes.h"
#include "platform/SettingsDatabase.h"
#include "platform/WebEngineBrowser.h"
#include "platform/WindowHiding.h"
#include "shell/AddressList.h"
#include "shell/BookmarkNavigator.h"
#include "shell/BookmarksPanel.h"
#include "shell/PageCommands.h"
#include "shell/ShellRules.h"
#include "shell/WindowFont.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDataWidgetMapper>
#include <QDialog>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlError>
#include <QSqlTableModel>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUuid>
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

} // namespace

TfrmWeb::TfrmWeb(const TfrmWebSetup& setup, QWidget* parent)
    : QMainWindow(parent), setup_(setup),
      connectionName_(QStringLiteral("frmWeb-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    setObjectName(QStringLiteral("frmWeb"));
    setWindowTitle(QStringLiteral("Quietpane"));
    setFont(WindowFont());
    idAntiFreeze1_.MessagePump = PumpQtEvents;

    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* columns = new QVBoxLayout(central);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);

    webBrowser1_ =
        setup_.createBrowser ? setup_.createBrowser(central) : std::make_unique<TWebEngineBrowser>(central);
    webBrowser1_->OnBeforeNavigate2 = [this](const QString& url, bool topLevel) {
        WebBrowser1BeforeNavigate2(url, topLevel);
    };
    webBrowser1_->OnTitleChange = [this](const QString& text) { WebBrowser1TitleChange(text); };
    webBrowser1_->OnStatusTextChange = [this](const QString& text) { WebBrowser1StatusTextChange(text); };
    webBrowser1_->OnProgressChange = [this](int progress, int progressMax) {
        WebBrowser1ProgressChange(progress, progressMax);
    };
    // The page's own "Save page" is the program's Save As.
    webBrowser1_->OnSaveAsRequested = [this] { SaveAs1Click(); };

    BuildMenus();
    // The client area is 880 x 536 below the menu bar, which lies outside it.
    resize(880, 536 + menuBar()->sizeHint().height());
    BuildBands();
    columns->addWidget(coolBar1_);
    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    columns->addLayout(body, 1);
    auto* leftColumn = new QWidget(central);
    leftColumn->setFixedWidth(LeftColumnWidth);
    BuildLeftColumn(leftColumn);
    body->addWidget(leftColumn);
    body->addWidget(webBrowser1_->Widget(), 1);

    statusBar1_ = new QStatusBar(this);
    statusBar1_->setObjectName(QStringLiteral("StatusBar1"));
    statusPanel_ = new QLabel(statusBar1_);
    statusPanel_->setObjectName(QStringLiteral("StatusBar1Panel0"));
    statusBar1_->addWidget(statusPanel_, 1);
    setStatusBar(statusBar1_);

    auto hiddenBoundBox = [central](const char* name) {
        auto* box = new QLineEdit(central);
        box->setObjectName(QLatin1String(name));
        box->hide();
        return box;
    };
    dbUrls_ = hiddenBoundBox("dbUrls");
    dbHotkey2_ = hiddenBoundBox("dbHotkey2");
    dbHotkey3_ = hiddenBoundBox("dbHotkey3");

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, &TfrmWeb::Timer1Timer);
    timer1_->start();

    BuildHotKeyPanel();
    hotKeyManager_ = setup_.systemHotKeys ? std::make_unique<THotKeyManager>(nullptr, *setup_.systemHotKeys)
                                          : std::make_unique<THotKeyManager>(nullptr);
    hotKeyManager_->OnHotKeyPressed = [this](TShortCut hotKey, uint16_t index) {
        HotKeyManagerHotKeyPressed(hotKey, index);
    };
    KeepOffTaskBar(*this);
    HideWhenMinimised(*this);

    RunGuarded([this] { FormCreate(); });
}

TfrmWeb::~TfrmWeb()
{
    FormDestroy();
    hotKeyManager_.reset();
    webBrowser1_.reset();
    CloseSettingsDatabase(connectionName_);
}

void TfrmWeb::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    connect(AddEntry(file, "PrintPreview", QStringLiteral("Print Preview")), &QAction::triggered, this,
            &TfrmWeb::PrintPreviewClick);
    connect(AddEntry(file, "Print1", QStringLiteral("Print")), &QAction::triggered, this, &TfrmWeb::Print1Click);
    file->addSeparator();
    connect(AddEntry(file, "SaveAs1", QStringLiteral("Save As")), &QAction::triggered, this, &TfrmWeb::SaveAs1Click);
    file->addSeparator();
    connect(AddEntry(file, "Exit1", QStringLiteral("Exit")), &QAction::triggered, this, &TfrmWeb::Exit1Click);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("Edit"));
    AddEntry(edit, "Htmlsource1", QStringLiteral("Html source"))->setEnabled(false);

    QMenu* view = menuBar()->addMenu(QStringLiteral("View"));
    toolBarEntry_ = AddEntry(view, "ToolBar", QStringLiteral("Tool Bar"));
    statusBarEntry_ = AddEntry(view, "StatusBar2", QStringLiteral("Status Bar"));
    QAction* bookmark = AddEntry(view, "Bookmark1", QStringLiteral("Bookmark"));
    for (QAction* ticked : {toolBarEntry_, statusBarEntry_, bookmark}) {
        ticked->setCheckable(true);
        ticked->setChecked(true);
    }
    // The handlers flip the ticks themselves; the menu's own flip is undone first.
    connect(toolBarEntry_, &QAction::triggered, this, [this](bool checked) {
        toolBarEntry_->setChecked(!checked);
        ToolBarClick();
    });
    connect(statusBarEntry_, &QAction::triggered, this, [this](bool checked) {
        statusBarEntry_->setChecked(!checked);
        StatusBar2Click();
    });
    // "Bookmark" stays ticked: the menu's own flip is undone.
    connect(bookmark, &QAction::triggered, bookmark, [bookmark] { bookmark->setChecked(true); });
    connect(bookmark, &QAction::triggered, this, &TfrmWeb::Bookmark1Click);
    view->addSeparator();
    connect(AddEntry(view, "Stop1", QStringLiteral("Stop")), &QAction::triggered, this, &TfrmWeb::Stop1Click);
    connect(AddEntry(view, "Refresh1", QStringLiteral("Refresh")), &QAction::triggered, this,
            &TfrmWeb::Refresh1Click);

    QMenu* go = menuBar()->addMenu(QStringLiteral("Go"));
    connect(AddEntry(go, "Back1", QStringLiteral("Back")), &QAction::triggered, this, &TfrmWeb::Back1Click);
    connect(AddEntry(go, "Forward1", QStringLiteral("Forward")), &QAction::triggered, this,
            &TfrmWeb::Forward1Click);
    go->addSeparator();
    connect(AddEntry(go, "Properties1", QStringLiteral("Properties")), &QAction::triggered, this,
            &TfrmWeb::Properties1Click);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("Tools"));
    connect(AddEntry(tools, "Email1", QStringLiteral("Email")), &QAction::triggered, this,
            &TfrmWeb::Email1Click);
    connect(AddEntry(tools, "SaveScreentoFile1", QStringLiteral("Save Screen to File")), &QAction::triggered, this,
            &TfrmWeb::SaveScreentoFile1Click);
    connect(AddEntry(tools, "HotKeys1", QStringLiteral("Hot Keys")), &QAction::triggered, this,
            &TfrmWeb::HotKeys1Click);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    connect(AddEntry(help, "About1", QStringLiteral("About...")), &QAction::triggered, this,
            &TfrmWeb::About1Click);
}

void TfrmWeb::BuildBands()
{
    coolBar1_ = new QFrame(centralWidget());
    coolBar1_->setObjectName(QStringLiteral("CoolBar1"));
    coolBar1_->setFixedHeight(81);
    coolBar1_->setFrameShape(QFrame::StyledPanel);
    auto* bands = new QVBoxLayout(coolBar1_);
    bands->setContentsMargins(2, 1, 2, 1);
    bands->setSpacing(1);

    toolBar1_ = new QToolBar(coolBar1_);
    toolBar1_->setObjectName(QStringLiteral("ToolBar1"));
    toolPageBack_ =
        AddToolButton(toolBar1_, "ToolPageBack", QStyle::SP_ArrowBack, QStringLiteral("Page Back"));
    toolPageForward_ =
        AddToolButton(toolBar1_, "ToolPageForward", QStyle::SP_ArrowForward, QStringLiteral("Page Forward"));
    QToolButton* toolStop =
        AddToolButton(toolBar1_, "ToolStop", QStyle::SP_BrowserStop, QStringLiteral("Stop"));
    QToolButton* toolRefresh =
        AddToolButton(toolBar1_, "ToolRefresh", QStyle::SP_BrowserReload, QStringLiteral("Refresh"));
    QToolButton* toolPrint =
        AddToolButton(toolBar1_, "ToolPrint", QStyle::SP_FileDialogDetailedView, QStringLiteral("Print"));
    toolBar1_->addSeparator();
    auto* toolExit = new QToolButton(toolBar1_);
    toolExit->setObjectName(QStringLiteral("ToolExit"));
    toolExit->setText(QStringLiteral("Exit"));
    toolExit->setFixedWidth(55);
    toolBar1_->addWidget(toolExit);
    auto* counterGap = new QWidget(toolBar1_);
    counterGap->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar1_->addWidget(counterGap);
    lbCounter_ = new QLabel(QStringLiteral("lbCounter"), toolBar1_);
    lbCounter_->setObjectName(QStringLiteral("lbCounter"));
    SetBoldCaption(lbCounter_, nullptr);
    toolBar1_->addWidget(lbCounter_);
    connect(toolPageBack_, &QToolButton::clicked, this, &TfrmWeb::Back1Click);
    connect(toolPageForward_, &QToolButton::clicked, this, &TfrmWeb::Forward1Click);
    connect(toolStop, &QToolButton::clicked, this, &TfrmWeb::Stop1Click);
    connect(toolRefresh, &QToolButton::clicked, this, &TfrmWeb::Refresh1Click);
    connect(toolPrint, &QToolButton::clicked, this, &TfrmWeb::PrintPreviewClick);
    connect(toolExit, &QToolButton::clicked, this, &TfrmWeb::Exit1Click);
    bands->addWidget(toolBar1_);

    auto* addressBand = new QHBoxLayout;
    addressBand->addWidget(new QLabel(QStringLiteral("Address:"), coolBar1_));
    urls_ = new QComboBox(coolBar1_);
    urls_->setObjectName(QStringLiteral("Urls"));
    urls_->setEditable(true);
    urls_->setInsertPolicy(QComboBox::NoInsert); // the list follows its own rules
    urls_->setMaxVisibleItems(8);
    urls_->setMinimumHeight(22);
    // Typed keys reach the box itself, which hands them to its line past any filter of the line.
    urls_->installEventFilter(this);
    urls_->lineEdit()->installEventFilter(this);
    addressBand->addWidget(urls_, 1);
    bands->addLayout(addressBand);

    auto* linksBand = new QHBoxLayout;
    linksBand->addWidget(new QLabel(QStringLiteral("Links:"), coolBar1_));
    auto* toolBar3 = new QToolBar(coolBar1_);
    toolBar3->setObjectName(QStringLiteral("ToolBar3"));
    toolBar3->addSeparator();
    toolHome_ = AddToolButton(toolBar3, "ToolHome", QStyle::SP_DirHomeIcon, QStringLiteral("Home"));
    toolHome_->setText(setup_.homePage.isEmpty() ? HomePage() : setup_.homePage);
    toolHome_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    connect(toolHome_, &QToolButton::clicked, this, &TfrmWeb::LinksImagesClick);
    auto* bEmail = new QToolButton(toolBar3);
    bEmail->setObjectName(QStringLiteral("bEmail"));
    bEmail->setText(QStringLiteral("Email"));
    bEmail->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    bEmail->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bEmail->setAutoRaise(true);
    bEmail->setFixedWidth(64);
    connect(bEmail, &QToolButton::clicked, this, &TfrmWeb::Email1Click);
    toolBar3->addWidget(bEmail);
    auto* bHotKeys = new QPushButton(QStringLiteral("Secret keys"), toolBar3);
    bHotKeys->setObjectName(QStringLiteral("bHotKeys"));
    bHotKeys->setFixedWidth(75);
    SetBoldCaption(bHotKeys, "red");
    connect(bHotKeys, &QPushButton::clicked, this, &TfrmWeb::HotKeys1Click);
    toolBar3->addWidget(bHotKeys);
    speedButton1_ = new QToolButton(toolBar3);
    speedButton1_->setObjectName(QStringLiteral("SpeedButton1"));
    speedButton1_->setText(QStringLiteral("Add"));
    speedButton1_->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    speedButton1_->setIconSize(QSize(18, 18));
    speedButton2_ = new QToolButton(toolBar3);
    speedButton2_->setObjectName(QStringLiteral("SpeedButton2"));
    speedButton2_->setText(QStringLiteral("Delete"));
    speedButton2_->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
    speedButton2_->setIconSize(QSize(16, 16));
    for (QToolButton* hiddenTemplate : {speedButton1_, speedButton2_}) {
        SetBoldCaption(hiddenTemplate, "blue");
        hiddenTemplate->hide();
    }
    linksBand->addWidget(toolBar3, 1);
    progressBar1_ = new QProgressBar(coolBar1_);
    progressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar1_->setFixedSize(150, 17);
    progressBar1_->setRange(0, 100);
    progressBar1_->setValue(0);
    progressBar1_->setTextVisible(false);
    linksBand->addWidget(progressBar1_);
    bands->addLayout(linksBand);
}

void TfrmWeb::BuildLeftColumn(QWidget* parent)
{
    auto* layout = new QVBoxLayout(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* groupBox1 = new QGroupBox(QStringLiteral("IP address:"), parent);
    groupBox1->setObjectName(QStringLiteral("GroupBox1"));
    groupBox1->setFixedHeight(50);
    groupBox1->setStyleSheet(QStringLiteral("QGroupBox { color: blue; }"));
    memo1_ = new QPlainTextEdit(groupBox1);
    memo1_->setObjectName(QStringLiteral("Memo1"));
    memo1_->setGeometry(5, 14, 190, 33);
    layout->addWidget(groupBox1);
    dbGrid1_ = new QTableView(parent);
    dbGrid1_->setObjectName(QStringLiteral("DBGrid1"));
    layout->addWidget(dbGrid1_, 1);
    dbNavigator1_ = new TBookmarkNavigator(*dbGrid1_, dbGrid1_);
    dbNavigator1_->setObjectName(QStringLiteral("DBNavigator1"));
    dbNavigator1_->setGeometry(LeftColumnWidth - 112, 0, 110, 18);
}

void TfrmWeb::BuildHotKeyPanel()
{
    panel1_ = new QFrame(this);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel1_->setGeometry(352, 112, 217, 313);
    panel1_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel1_->setLineWidth(2);
    panel1_->setAutoFillBackground(true);
    auto addLabel = [this](const char* name, int top, const QString& text, bool blue) {
        auto* label = new QLabel(text, panel1_);
        label->setObjectName(QLatin1String(name));
        label->move(10, top);
        label->adjustSize();
        if (blue)
            label->setStyleSheet(QStringLiteral("color: blue;"));
    };
    auto addButton = [this](const char* name, int top, const QString& text, void (TfrmWeb::*handler)()) {
        auto* button = new QPushButton(text, panel1_);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(152, top, 57, 21);
        connect(button, &QPushButton::clicked, this, handler);
    };
    addLabel("Label1", 16, QStringLiteral("Keys pressed to be Hotkey:"), false);
    hotKey1_ = new THotKeyRecorder(panel1_);
    hotKey1_->setObjectName(QStringLiteral("HotKey1"));
    hotKey1_->setGeometry(10, 32, 121, 19);
    addButton("bHotkey1", 32, QStringLiteral("Hotkey 01"), &TfrmWeb::bHotkey1Click);
    addButton("bHotkey2", 55, QStringLiteral("Hotkey 02"), &TfrmWeb::bHotkey2Click);
    addLabel("Label2", 64, QStringLiteral("Application Hotkeys:"), false);
    listBox1_ = new QListWidget(panel1_);
    listBox1_->setObjectName(QStringLiteral("ListBox1"));
    listBox1_->setGeometry(10, 80, 121, 97);
    addButton("bDelete", 110, QStringLiteral("Delete"), &TfrmWeb::bDeleteClick);
    addButton("bClose", 144, QStringLiteral("Close"), &TfrmWeb::bCloseClick);
    addLabel("Label5", 192, QStringLiteral("To setup Hotkeys:  Place cursor in the 1st"), false);
    addLabel("Label6", 208, QStringLiteral("box, and press a combination of keys on"), false);
    addLabel("Label7", 224, QStringLiteral("keyboard to make your Hotkey. Then click"), false);
    addLabel("Label8", 240, QStringLiteral("on either Hotkey 01 or Hotkey 02 button."), false);
    addLabel("Label3", 270, QStringLiteral("Hotkey 01:  To hide application."), true);
    addLabel("Label4", 290, QStringLiteral("Hotkey 02:  To bring application back."), true);
    panel1_->hide();
}

void TfrmWeb::FormCreate()
{
    screenFolder_ =
        setup_.programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : setup_.programFolder;
    databasePath_ = SettingsDatabasePath(screenFolder_);
    terminationRequested_ = !OpenWindowDatabase(
        connectionName_, databasePath_,
        [this](const QString& name, const QString& value) { return SaveRegistryValue(name, value); });
    ActivateTables();
    const bool online = setup_.internetAutodial ? setup_.internetAutodial() : InternetAutodial();
    if (!online)
        MessageBoxes().Error(QStringLiteral("No internet connection"));
    toolHome_->click();
    startTick_ = TickCount();
    memo1_->setPlainText(GetIPAddressList().join(QLatin1Char('\n')));
    dbNavigator1_->InsertButton()->setIcon(speedButton1_->icon());
    dbNavigator1_->InsertButton()->setText(speedButton1_->text());
    dbNavigator1_->InsertButton()->setToolTip(QStringLiteral("Add Bookmark"));
    dbNavigator1_->DeleteButton()->setIcon(speedButton2_->icon());
    dbNavigator1_->DeleteButton()->setText(speedButton2_->text());
    dbNavigator1_->DeleteButton()->setToolTip(QStringLiteral("Delete Bookmark"));
    screenFolder_ += QStringLiteral("/Screen/");
    QDir().mkpath(screenFolder_);
    // The stored hotkeys, restore first; a combination that is taken stays unregistered quietly.
    hotKeyManager_->AddHotKey(static_cast<TShortCut>(StrToInt(dbHotkey2_->text())));
    hotKeyManager_->AddHotKey(static_cast<TShortCut>(StrToInt(dbHotkey3_->text())));
}

void TfrmWeb::ActivateTables()
{
    QSqlDatabase database = QSqlDatabase::database(connectionName_, false);
    if (!database.isOpen())
        throw EDatabaseError("The settings database is not open.");
    auto openTable = [&](const QString& name) {
        auto* table = new QSqlTableModel(this, database);
        table->setTable(name);
        table->setEditStrategy(QSqlTableModel::OnManualSubmit);
        if (!table->select()) {
            const QString reason = table->lastError().text();
            delete table;
            throw EDatabaseError(reason.toStdString());
        }
        return table;
    };
    bookmarkTable_ = openTable(QStringLiteral("Bookmark"));
    bookmarkTable_->setEditStrategy(QSqlTableModel::OnRowChange);
    dbGrid1_->setModel(bookmarkTable_);
    DressBookmarkGrid(*dbGrid1_, *bookmarkTable_);
    connect(dbGrid1_, &QTableView::doubleClicked, this, &TfrmWeb::DBGrid1DblClick);
    dbNavigator1_->OnClick = [this](TNavigateBtn button) { DBNavigator1Click(button); };
    bookmarkBinding_ = new QDataWidgetMapper(this);
    bookmarkBinding_->setModel(bookmarkTable_);
    bookmarkBinding_->addMapping(dbUrls_, bookmarkTable_->fieldIndex(QStringLiteral("Bookmark")));
    bookmarkBinding_->toFirst();
    connect(dbGrid1_->selectionModel(), &QItemSelectionModel::currentRowChanged, bookmarkBinding_,
            &QDataWidgetMapper::setCurrentModelIndex);

    hotKeyTable_ = openTable(QStringLiteral("HotKeys"));
    hotKeyBinding_ = new QDataWidgetMapper(this);
    hotKeyBinding_->setModel(hotKeyTable_);
    hotKeyBinding_->setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
    hotKeyBinding_->addMapping(dbHotkey2_, hotKeyTable_->fieldIndex(QStringLiteral("HotKey2")));
    hotKeyBinding_->addMapping(dbHotkey3_, hotKeyTable_->fieldIndex(QStringLiteral("HotKey3")));
    hotKeyBinding_->toFirst();
}

void TfrmWeb::DeactivateTables()
{
    if (dbGrid1_)
        dbGrid1_->setModel(nullptr);
    delete bookmarkBinding_;
    delete hotKeyBinding_;
    delete bookmarkTable_;
    delete hotKeyTable_;
    bookmarkBinding_ = hotKeyBinding_ = nullptr;
    bookmarkTable_ = hotKeyTable_ = nullptr;
}

void TfrmWeb::FormDestroy()
{
    DeactivateTables();
}

void TfrmWeb::Exit1Click()
{
    DeactivateTables();
    close();
}

void TfrmWeb::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    // The main window's end is the program's end, whatever other window is still open.
    QCoreApplication::quit();
}

void TfrmWeb::ToolBarClick()
{
    toolBarEntry_->setChecked(!toolBarEntry_->isChecked());
    coolBar1_->setVisible(toolBarEntry_->isChecked());
}

void TfrmWeb::StatusBar2Click()
{
    statusBarEntry_->setChecked(!statusBarEntry_->isChecked());
    statusBar1_->setVisible(statusBarEntry_->isChecked());
}

void TfrmWeb::Timer1Timer()
{
    lbCounter_->setText(FormatElapsed(ElapsedSeconds(TickCount(), startTick_)));
}

void TfrmWeb::Email1Click()
{
    if (mailWindow_) {
        mailWindow_->show();
        mailWindow_->raise();
    }
}

void TfrmWeb::About1Click()
{
    if (auto* box = qobject_cast<QDialog*>(aboutBox_))
        Dialogs().ShowModal(*box);
}

void TfrmWeb::ShowBusy(bool busy)
{
    ShowBusyCursor(busy);
}

QStringList TfrmWeb::GetIPAddressList() const
{
    QStringList lines;
    for (const std::string& address : LocalIPv4Addresses())
        lines.append(QString::fromStdString(address));
    return lines;
}

bool TfrmWeb::SaveRegistryValue(const QString& name, const QString& value)
{
    Registry& registry = setup_.registry ? *setup_.registry : userRegistry_;
    return registry.WriteString(name.toStdString(), value.toStdString());
}

QStringList TfrmWeb::AddressLines() const
{
    QStringList lines;
    for (int i = 0; i < urls_->count(); ++i)
        lines.append(urls_->itemText(i));
    return lines;
}

void TfrmWeb::SetAddressLines(const QStringList& lines)
{
    const QString text = urls_->currentText();
    urls_->clear();
    urls_->addItems(lines);
    urls_->setEditText(text);
}

void TfrmWeb::NavigateToAddress()
{
    ShowBusy(true);
    typedNavigation_ = true;
    webBrowser1_->Navigate(urls_->currentText(), 0, 0, 0, 0);
    ShowBusy(false);
}

void TfrmWeb::AddToAddressList(const QString& address)
{
    QStringList lines = AddressLines();
    if (quietpane::AddToAddressList(lines, address))
        urls_->addItem(address);
}

void TfrmWeb::LinksImagesClick()
{
    if (toolHome_->text().isEmpty())
        return;
    urls_->setEditText(toolHome_->text());
    NavigateToAddress();
}

void TfrmWeb::Back1Click()
{
    urls_->setEditText(history_.BackAddress());
    webBrowser1_->GoBack();
}

void TfrmWeb::Forward1Click()
{
    urls_->setEditText(history_.ForwardAddress());
    webBrowser1_->GoForward();
}

void TfrmWeb::Stop1Click()
{
    webBrowser1_->Stop();
}

void TfrmWeb::Refresh1Click()
{
    webBrowser1_->Refresh();
}

void TfrmWeb::WebBrowser1BeforeNavigate2(const QString& url, bool topLevel)
{
    TCursorRestorer cursor;
    // A frame loading inside the page is not a page of its own: it neither enters the history
    // nor replaces the page's address.
    if (!topLevel)
        return;
    history_.Visit(url);
    if (typedNavigation_) {
        typedNavigation_ = false;
        QStringList lines = AddressLines();
        PutTypedAddressFirst(lines, url);
        SetAddressLines(lines);
    }
    urls_->setEditText(url);
    statusPanel_->setText(url);
}

void TfrmWeb::WebBrowser1TitleChange(const QString& text)
{
    setWindowTitle(text);
    const QString location = webBrowser1_->LocationURL();
    AddToAddressList(location);
    urls_->setEditText(location);
}

void TfrmWeb::WebBrowser1StatusTextChange(const QString& text)
{
    statusPanel_->setText(text);
}

void TfrmWeb::WebBrowser1ProgressChange(int progress, int progressMax)
{
    progressBar1_->setValue(ProgressPosition(progress, progressMax));
}

void TfrmWeb::HotKeys1Click()
{
    panel1_->show();
    panel1_->raise();
}

void TfrmWeb::bCloseClick()
{
    panel1_->hide();
}

void TfrmWeb::bHotkey1Click()
{
    AssignHotKey(QStringLiteral("HotKey3"));
}

void TfrmWeb::bHotkey2Click()
{
    AssignHotKey(QStringLiteral("HotKey2"));
}

void TfrmWeb::AssignHotKey(const QString& column)
{
    recordedHotKey_ = hotKey1_->HotKey();
    if (recordedHotKey_ == 0) {
        MessageBoxes().Warning(QStringLiteral("No hotkey is specified."));
    } else if (hotKeyManager_->AddHotKey(recordedHotKey_) != 0) {
        auto* line = new QListWidgetItem(ShortCutText(recordedHotKey_), listBox1_);
        line->setData(Qt::UserRole, recordedHotKey_);
        hotKey1_->Clear();
    } else {
        MessageBoxes().Warning(ShortCutText(recordedHotKey_) +
                               QStringLiteral(" couldn't be assigned to a hotkey."));
    }
    StoreHotKey(column, recordedHotKey_);
}

void TfrmWeb::StoreHotKey(const QString& column, TShortCut hotKey)
{
    if (!hotKeyTable_)
        throw EDatabaseError("The settings database is not open.");
    // An empty table gets its one row now.
    if (hotKeyTable_->rowCount() == 0 && !hotKeyTable_->insertRow(0))
        throw EDatabaseError(hotKeyTable_->lastError().text().toStdString());
    hotKeyTable_->setData(hotKeyTable_->index(0, hotKeyTable_->fieldIndex(column)), QString::number(hotKey));
    if (!hotKeyTable_->submitAll()) {
        const QString reason = hotKeyTable_->lastError().text();
        hotKeyTable_->revertAll();
        throw EDatabaseError(reason.toStdString());
    }
    hotKeyBinding_->toFirst();
}

void TfrmWeb::bDeleteClick()
{
    QListWidgetItem* line = listBox1_->currentItem();
    if (!line || !line->isSelected())
        return;
    const auto hotKey = static_cast<TShortCut>(line->data(Qt::UserRole).toUInt());
    if (hotKeyManager_->RemoveHotKey(hotKey))
        delete line;
    else
        MessageBoxes().Warning(ShortCutText(hotKey) + QStringLiteral(" couldn't be removed."));
}

void TfrmWeb::HotKeyManagerHotKeyPressed(TShortCut hotKey, uint16_t)
{
    if (hotKey == StrToInt(dbHotkey2_->text()))
        ShowInFront(*this);
    else if (hotKey == StrToInt(dbHotkey3_->text()))
        hide();
}

void TfrmWeb::DBNavigator1Click(TNavigateBtn button)
{
    if (button != TNavigateBtn::nbInsert || !bookmarkBinding_)
        return;
    // The new row takes the address box's text, as much of it as the column holds.
    dbUrls_->setText(BookmarkText(urls_->currentText()));
    bookmarkBinding_->submit();
    dbNavigator1_->BtnClick(TNavigateBtn::nbPost);
}

void TfrmWeb::DBGrid1DblClick()
{
    urls_->setEditText(dbUrls_->text());
    NavigateToAddress();
}

void TfrmWeb::Bookmark1Click()
{
    dbNavigator1_->BtnClick(TNavigateBtn::nbInsert);
}

void TfrmWeb::ExecuteBrowserCommand(int command, int option)
{
    quietpane::ExecuteBrowserCommand(*webBrowser1_, command, option);
}

void TfrmWeb::PrintPreviewClick()
{
    ExecuteBrowserCommand(CommandPrintPreview, OptionDoDefault);
}

void TfrmWeb::Print1Click()
{
    ExecuteBrowserCommand(CommandPrint, OptionDoDefault);
}

void TfrmWeb::SaveAs1Click()
{
    ExecuteBrowserCommand(CommandSaveAs, OptionDoDefault);
}

void TfrmWeb::Properties1Click()
{
    ShowPageProperties(*webBrowser1_);
}

void TfrmWeb::SaveScreentoFile1Click()
{
    SaveScreenToFile(this, screenFolder_);
}

void TfrmWeb::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::AltModifier && event->key() == Qt::Key_Right) {
        toolPageForward_->click();
        return;
    }
    if (event->modifiers() == Qt::AltModifier && event->key() == Qt::Key_Left) {
        toolPageBack_->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool TfrmWeb::eventFilter(QObject* watched, QEvent* event)
{
    // UrlsKeyDown: Enter in the address box navigates; every other key is the box's.
    if ((watched == urls_ || watched == urls_->lineEdit()) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            NavigateToAddress();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace quietpane
