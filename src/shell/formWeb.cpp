#include "shell/formWeb.h"

#include "hotkeys/ShortCutText.h"
#include "net/IdGlobal.h"
#include "platform/BrowserCommands.h"
#include "platform/DesktopKeys.h"
#include "platform/Dialogs.h"
#include "platform/GuardedApplication.h"
#include "platform/InternetAutodial.h"
#include "platform/LocalAddresses.h"
#include "platform/MessageBoxes.h"
#include "platform/NumberText.h"
#include "platform/ProgramData.h"
#include "platform/SettingsDatabase.h"
#include "platform/WebEngineBrowser.h"
#include "platform/WindowComposition.h"
#include "platform/WindowFont.h"
#include "platform/WindowHiding.h"
#include "shell/AddressList.h"
#include "shell/BookmarkNavigator.h"
#include "shell/BookmarksPanel.h"
#include "shell/FindBar.h"
#include "shell/HotKeyPanel.h"
#include "shell/PageCommands.h"
#include "shell/SettingsTables.h"
#include "shell/ShellRules.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

namespace quietpane {

namespace {

// How long a word about the hotkeys stays in the status bar over the page's texts.
constexpr int kNoticeMilliseconds = 20000;

// The key a bound box of the "HotKeys" table holds; 0 when none.
TShortCut StoredHotKey(const QLineEdit& box)
{
    return static_cast<TShortCut>(StrToInt(box.text()));
}

} // namespace

TfrmWeb::TfrmWeb(const TfrmWebSetup& setup, QWidget* parent)
    : QMainWindow(parent), setup_(setup), database_(QStringLiteral("frmWeb"), setup.registry)
{
    setObjectName(QStringLiteral("frmWeb"));
    setWindowTitle(QStringLiteral("Quietpane"));
    setFont(WindowFont());

    ChooseWindowComposition();
    // Created on the window, the browser's widget is placed into the layout by the builder.
    webBrowser1_ =
        setup_.createBrowser ? setup_.createBrowser(this) : std::make_unique<TWebEngineBrowser>(this);
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
    webBrowser1_->OnCommandStateChange = [this] { WebBrowser1CommandStateChange(); };
    controls_ = BuildMainWindow(*this, *webBrowser1_->Widget(),
                                setup_.homePage.isEmpty() ? HomePage() : setup_.homePage);
    // A double click anywhere in the grid, on a row or below the last one.
    controls_.dbGrid1->viewport()->installEventFilter(this);
    controls_.dbNavigator1->OnClick = [this](TNavigateBtn button) { DBNavigator1Click(button); };
    tables_ = std::make_unique<TSettingsTables>(
        TBoundControls{controls_.dbGrid1, controls_.dbUrls, controls_.dbHotkey2, controls_.dbHotkey3});

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, &TfrmWeb::Timer1Timer);
    timer1_->start();

    hotKeyManager_ = setup_.systemHotKeys ? std::make_unique<THotKeyManager>(nullptr, *setup_.systemHotKeys)
                                          : std::make_unique<THotKeyManager>(nullptr);
    hotKeyManager_->OnHotKeyPressed = [this](TShortCut hotKey, uint16_t index) {
        HotKeyManagerHotKeyPressed(hotKey, index);
    };
    panel1_ = new THotKeyPanel(*hotKeyManager_, *tables_, this);
    panel1_->SetDesktopKeys(setup_.desktopKeys ? *setup_.desktopKeys : SessionDesktopKeys());
    KeepOffTaskBar(*this);
    HideWhenMinimised(*this, [this] { return HideWindow(); });

    UpdateTravelButtons();
    RunGuarded([this] { FormCreate(); });
}

TfrmWeb::~TfrmWeb()
{
    FormDestroy();
    hotKeyManager_.reset();
    webBrowser1_.reset();
}

void TfrmWeb::FormCreate()
{
    screenFolder_ = TWindowDatabase::DataFolder(setup_.programFolder);
    terminationRequested_ = !database_.Open(screenFolder_);
    tables_->Activate(database_);
    const bool online = setup_.internetAutodial ? setup_.internetAutodial() : InternetAutodial();
    if (!online)
        MessageBoxes().Error(QStringLiteral("No internet connection"));
    controls_.toolHome->click();
    startTick_ = TickCount();
    controls_.memo1->setPlainText(GetIPAddressList().join(QLatin1Char('\n')));
    controls_.dbNavigator1->InsertButton()->setIcon(controls_.speedButton1->icon());
    controls_.dbNavigator1->InsertButton()->setText(controls_.speedButton1->text());
    controls_.dbNavigator1->InsertButton()->setToolTip(QStringLiteral("Add Bookmark"));
    controls_.dbNavigator1->DeleteButton()->setIcon(controls_.speedButton2->icon());
    controls_.dbNavigator1->DeleteButton()->setText(controls_.speedButton2->text());
    controls_.dbNavigator1->DeleteButton()->setToolTip(QStringLiteral("Delete Bookmark"));
    screenFolder_ += QStringLiteral("/Screen/");
    MakePrivateFolder(screenFolder_);
    RegisterStoredHotKeys();
}

void TfrmWeb::RegisterStoredHotKeys()
{
    QStringList failures;
    const std::pair<const QLineEdit*, const char*> stored[] = {
        {controls_.dbHotkey2, " couldn't be assigned to a hotkey, so it does not restore the window."},
        {controls_.dbHotkey3, " couldn't be assigned to a hotkey, so it does not hide the window."}};
    for (const auto& [column, failure] : stored) {
        const TShortCut hotKey = StoredHotKey(*column);
        // No key stored is no failure; a taken one is named, in no box, since it is no error of
        // the user's and the program goes on.
        if (hotKeyManager_->AddHotKey(hotKey) == 0 && hotKey != 0)
            failures.append(ShortCutText(hotKey) + QLatin1String(failure));
    }
    if (!failures.isEmpty())
        ShowNotice(failures.join(QLatin1Char(' ')));
}

void TfrmWeb::ShowNotice(const QString& text)
{
    controls_.statusBar1->showMessage(text, kNoticeMilliseconds);
}

void TfrmWeb::FormDestroy()
{
    tables_->Deactivate();
}

void TfrmWeb::Exit1Click()
{
    tables_->Deactivate();
    close();
}

void TfrmWeb::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Shown by the program (at start, or restored): the user types at once.
    if (!event->spontaneous()) {
        activateWindow();
        FocusAddressBox();
    }
}

void TfrmWeb::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    // The main window's end is the program's end, whatever other window is still open.
    QCoreApplication::quit();
}

void TfrmWeb::ToolBarClick()
{
    controls_.toolBarEntry->setChecked(!controls_.toolBarEntry->isChecked());
    controls_.coolBar1->setVisible(controls_.toolBarEntry->isChecked());
}

void TfrmWeb::StatusBar2Click()
{
    controls_.statusBarEntry->setChecked(!controls_.statusBarEntry->isChecked());
    controls_.statusBar1->setVisible(controls_.statusBarEntry->isChecked());
}

void TfrmWeb::Timer1Timer()
{
    controls_.lbCounter->setText(FormatElapsed(ElapsedSeconds(TickCount(), startTick_)));
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
    return database_.SaveRegistryValue(name, value);
}

QStringList TfrmWeb::AddressLines() const
{
    QStringList lines;
    for (int i = 0; i < controls_.urls->count(); ++i)
        lines.append(controls_.urls->itemText(i));
    return lines;
}

void TfrmWeb::SetAddressLines(const QStringList& lines)
{
    const QString text = controls_.urls->currentText();
    controls_.urls->clear();
    controls_.urls->addItems(lines);
    controls_.urls->setEditText(text);
}

bool TfrmWeb::AddressAboutToBeReplaced() const
{
    const QLineEdit* line = controls_.urls->lineEdit();
    return (controls_.urls->hasFocus() || line->hasFocus()) && line->hasSelectedText() &&
           line->selectedText() == line->text();
}

void TfrmWeb::ShowAddress(const QString& address, bool replacing)
{
    controls_.urls->setEditText(address);
    if (replacing)
        controls_.urls->lineEdit()->selectAll();
}

void TfrmWeb::NavigateToAddress()
{
    ShowBusy(true);
    typedNavigation_ = true;
    webBrowser1_->Navigate(controls_.urls->currentText(), 0, 0, 0, 0);
    ShowBusy(false);
}

void TfrmWeb::OpenAddress(const QString& address)
{
    controls_.urls->setEditText(address);
    NavigateToAddress();
}

void TfrmWeb::AddToAddressList(const QString& address)
{
    QStringList lines = AddressLines();
    if (quietpane::AddToAddressList(lines, address))
        controls_.urls->addItem(address);
}

void TfrmWeb::LinksImagesClick()
{
    if (controls_.toolHome->text().isEmpty())
        return;
    controls_.urls->setEditText(controls_.toolHome->text());
    NavigateToAddress();
}

void TfrmWeb::Back1Click()
{
    controls_.urls->setEditText(history_.BackAddress());
    Travel(&TBrowserControl::GoBack);
}

void TfrmWeb::Forward1Click()
{
    controls_.urls->setEditText(history_.ForwardAddress());
    Travel(&TBrowserControl::GoForward);
}

void TfrmWeb::Travel(void (TBrowserControl::*go)())
{
    try {
        (webBrowser1_.get()->*go)();
    } catch (const EBrowserError&) {
        // Left in the box, the refused address would pass for the page shown (and "Add" would
        // store it as a bookmark).
        ShowAddress(webBrowser1_->LocationURL(), false);
        UpdateTravelButtons();
        throw;
    }
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
    const bool replacing = AddressAboutToBeReplaced();
    history_.Visit(url);
    UpdateTravelButtons();
    if (typedNavigation_) {
        typedNavigation_ = false;
        QStringList lines = AddressLines();
        PutTypedAddressFirst(lines, url);
        SetAddressLines(lines);
    }
    ShowAddress(url, replacing);
    controls_.statusPanel->setText(url);
}

void TfrmWeb::WebBrowser1TitleChange(const QString& text)
{
    setWindowTitle(text);
    const QString location = webBrowser1_->LocationURL();
    const bool replacing = AddressAboutToBeReplaced();
    AddToAddressList(location);
    ShowAddress(location, replacing);
}

void TfrmWeb::WebBrowser1StatusTextChange(const QString& text)
{
    controls_.statusPanel->setText(text);
}

void TfrmWeb::WebBrowser1ProgressChange(int progress, int progressMax)
{
    controls_.progressBar1->setValue(ProgressPosition(progress, progressMax));
}

void TfrmWeb::HotKeys1Click()
{
    panel1_->ShowCurrentHotKeys();
    panel1_->show();
    panel1_->raise();
}

void TfrmWeb::bCloseClick()
{
    panel1_->hide();
}

void TfrmWeb::bHotkey1Click()
{
    panel1_->AssignHideHotKey();
}

void TfrmWeb::bHotkey2Click()
{
    panel1_->AssignRestoreHotKey();
}

void TfrmWeb::bDeleteClick()
{
    panel1_->DeleteSelected();
}

void TfrmWeb::HotKeyManagerHotKeyPressed(TShortCut hotKey, uint16_t)
{
    if (hotKey == StrToInt(controls_.dbHotkey2->text()))
        RestoreWindow();
    else if (hotKey == StrToInt(controls_.dbHotkey3->text()))
        HideWindow();
}

bool TfrmWeb::RestoreKeyWorks() const
{
    const TShortCut restoreKey = StoredHotKey(*controls_.dbHotkey2);
    return restoreKey != 0 && hotKeyManager_->IsHotKeyRegistered(restoreKey);
}

bool TfrmWeb::HideWindow()
{
    if (!RestoreKeyWorks()) {
        ShowNotice(QStringLiteral(
            "No restore key works, so the window is not hidden. Choose one under Tools > Hot Keys."));
        return false;
    }
    if (tables_->HideMailWindow())
        hiddenWindows_.Hide(*this);
    hide();
    return true;
}

void TfrmWeb::RestoreWindow()
{
    ShowInFront(*this);
    hiddenWindows_.Restore();
    // A dialog still waiting for its answer takes the keyboard; the window can't meanwhile.
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialog->raise();
        dialog->activateWindow();
    } else {
        FocusAddressBox();
    }
}

void TfrmWeb::WebBrowser1CommandStateChange()
{
    UpdateTravelButtons();
}

void TfrmWeb::DBNavigator1Click(TNavigateBtn button)
{
    if (button != TNavigateBtn::nbInsert)
        return;
    // The new row takes the address box's text, as much of it as the column holds.
    controls_.dbUrls->setText(BookmarkText(controls_.urls->currentText()));
    tables_->SubmitBookmark();
    controls_.dbNavigator1->BtnClick(TNavigateBtn::nbPost);
}

void TfrmWeb::DBGrid1DblClick()
{
    controls_.urls->setEditText(controls_.dbUrls->text());
    NavigateToAddress();
}

void TfrmWeb::Bookmark1Click()
{
    controls_.dbNavigator1->BtnClick(TNavigateBtn::nbInsert);
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

void TfrmWeb::UpdateTravelButtons()
{
    // Revisiting an earlier address moves History back while the engine adds a page: only a
    // step both can take shows the page the address box names.
    const int index = history_.Index();
    const bool back = index > 0 && webBrowser1_->CanGoBack();
    const bool forward = index >= 0 && index < history_.Entries().size() - 1 && webBrowser1_->CanGoForward();
    controls_.back1->setEnabled(back);
    controls_.toolPageBack->setEnabled(back);
    controls_.forward1->setEnabled(forward);
    controls_.toolPageForward->setEnabled(forward);
}

void TfrmWeb::FocusAddressBox()
{
    controls_.urls->setFocus(Qt::ShortcutFocusReason);
    controls_.urls->lineEdit()->selectAll();
}

void TfrmWeb::FindInPageClick()
{
    controls_.findBar->Open();
}

void TfrmWeb::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::AltModifier && event->key() == Qt::Key_Right) {
        controls_.toolPageForward->click();
        return;
    }
    if (event->modifiers() == Qt::AltModifier && event->key() == Qt::Key_Left) {
        controls_.toolPageBack->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool TfrmWeb::eventFilter(QObject* watched, QEvent* event)
{
    // UrlsKeyDown: Enter in the address box navigates; every other key is the box's. The page
    // takes the keyboard then, as the reader turns to it (and no caret blinks on in the box).
    if ((watched == controls_.urls || watched == controls_.urls->lineEdit()) &&
        event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            NavigateToAddress();
            webBrowser1_->Widget()->setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    if (watched == controls_.dbGrid1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        DBGrid1DblClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace quietpane
