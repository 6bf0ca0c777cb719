#pragma once

#include "hotkeys/HotKeyManager.h"
#include "net/IdAntiFreeze.h"
#include "platform/BrowserControl.h"
#include "platform/Registry.h"
#include "shell/History.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QDataWidgetMapper;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QSqlTableModel;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;

namespace quietpane {

class TBookmarkNavigator;
class THotKeyRecorder;
enum class TNavigateBtn;

// What the main window takes from its surroundings; every empty member means the real thing.
struct TfrmWebSetup {
    QString programFolder; // folder of Quietpane.mdb and "Screen"; empty: the program file's folder
    std::function<std::unique_ptr<TBrowserControl>(QWidget* parent)> createBrowser;
    Registry* registry = nullptr; // borrowed
    std::function<bool()> internetAutodial;
    SystemHotKeys* systemHotKeys = nullptr; // borrowed
    QString homePage;                       // the Home button's address; empty: HomePage()
};

// The main browser window: menus, tool bar, address and links bands, the bookmark column,
// the embedded browser, status and progress bars, and the hotkey panel.
class TfrmWeb final : public QMainWindow {
public:
    // The links bar's Home button holds this address.
    static QString HomePage() { return QStringLiteral("https://www.debian.org/"); }

    explicit TfrmWeb(const TfrmWebSetup& setup = {}, QWidget* parent = nullptr);
    ~TfrmWeb() override;

    // The windows "Email" and "About..." show (borrowed).
    void SetMailWindow(QWidget* window) { mailWindow_ = window; }
    void SetAboutBox(QWidget* box) { aboutBox_ = box; }

    // True once start-up failed so badly that the program must end when its loop would run.
    bool TerminationRequested() const { return terminationRequested_; }

    const THistory& History() const { return history_; }
    int HistoryIndex() const { return history_.Index(); }
    bool TypedNavigation() const { return typedNavigation_; }
    const QString& ScreenFolder() const { return screenFolder_; }
    TBrowserControl& WebBrowser1() { return *webBrowser1_; }

    // Handlers.
    void Exit1Click();
    void ToolBarClick();
    void StatusBar2Click();
    void Timer1Timer();
    void Email1Click();
    void About1Click();
    void NavigateToAddress();
    void AddToAddressList(const QString& address);
    void LinksImagesClick();
    void Back1Click();
    void Forward1Click();
    void Stop1Click();
    void Refresh1Click();
    void WebBrowser1BeforeNavigate2(const QString& url, bool topLevel);
    void WebBrowser1TitleChange(const QString& text);
    void WebBrowser1StatusTextChange(const QString& text);
    void WebBrowser1ProgressChange(int progress, int progressMax);
    void HotKeys1Click();
    void bCloseClick();
    void bHotkey1Click();
    void bHotkey2Click();
    void bDeleteClick();
    void HotKeyManagerHotKeyPressed(TShortCut hotKey, uint16_t index);
    void DBNavigator1Click(TNavigateBtn button);
    void DBGrid1DblClick();
    void Bookmark1Click();
    void PrintPreviewClick();
    void Print1Click();
    void SaveAs1Click();
    void Properties1Click();
    void SaveScreentoFile1Click();
    void ExecuteBrowserCommand(int command, int option);

    // Helpers the other commands share.
    void ShowBusy(bool busy);
    QStringList GetIPAddressList() const;
    bool SaveRegistryValue(const QString& name, const QString& value);

protected:
    void keyPressEvent(QKeyEvent* event) override; // FormKeyDown
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void BuildMenus();
    void BuildBands();
    void BuildLeftColumn(QWidget* parent);
    void BuildHotKeyPanel();
    void ActivateTables();
    void DeactivateTables();
    void AssignHotKey(const QString& column);
    void StoreHotKey(const QString& column, TShortCut hotKey);
    QStringList AddressLines() const;
    void SetAddressLines(const QStringList& lines);

    TfrmWebSetup setup_;
    UserRegistry userRegistry_;
    bool terminationRequested_ = false;
    bool typedNavigation_ = false;
    THistory history_;
    QString screenFolder_;
    QString databasePath_;
    QString connectionName_;
    uint32_t startTick_ = 0;
    QWidget* mailWindow_ = nullptr;
    QWidget* aboutBox_ = nullptr;
    TShortCut recordedHotKey_ = 0; // the value last taken from the recorder by an assign button

    // Controls, owned by the window's widget tree.
    QAction* toolBarEntry_ = nullptr;
    QAction* statusBarEntry_ = nullptr;
    QFrame* coolBar1_ = nullptr;
    QToolBar* toolBar1_ = nullptr;
    QToolButton* toolPageBack_ = nullptr;
    QToolButton* toolPageForward_ = nullptr;
    QLabel* lbCounter_ = nullptr;
    QComboBox* urls_ = nullptr;
    QToolButton* toolHome_ = nullptr;
    QProgressBar* progressBar1_ = nullptr;
    QStatusBar* statusBar1_ = nullptr;
    QLabel* statusPanel_ = nullptr;
    QPlainTextEdit* memo1_ = nullptr;
    QTableView* dbGrid1_ = nullptr;
    TBookmarkNavigator* dbNavigator1_ = nullptr;
    QToolButton* speedButton1_ = nullptr;
    QToolButton* speedButton2_ = nullptr;
    QLineEdit* dbUrls_ = nullptr;
    QLineEdit* dbHotkey2_ = nullptr;
    QLineEdit* dbHotkey3_ = nullptr;
    QTimer* timer1_ = nullptr;
    QFrame* panel1_ = nullptr;
    THotKeyRecorder* hotKey1_ = nullptr;
    QListWidget* listBox1_ = nullptr;

    // Tables: Bookmark feeds the grid and dbUrls, HotKeys the two hotkey boxes.
    QSqlTableModel* bookmarkTable_ = nullptr;
    QSqlTableModel* hotKeyTable_ = nullptr;
    QDataWidgetMapper* bookmarkBinding_ = nullptr;
    QDataWidgetMapper* hotKeyBinding_ = nullptr;

    // Keeps every window responsive while a network call of the program waits.
    TIdAntiFreeze idAntiFreeze1_;
    std::unique_ptr<THotKeyManager> hotKeyManager_;
    std::unique_ptr<TBrowserControl> webBrowser1_;
};

} // namespace quietpane
