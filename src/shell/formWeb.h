#pragma once

#include "hotkeys/HotKeyManager.h"
#include "platform/BrowserControl.h"
#include "platform/Registry.h"
#include "platform/WindowDatabase.h"
#include "shell/HiddenWindows.h"
#include "shell/History.h"
#include "shell/MainWindowLayout.h"

#include <QMainWindow>

class QTimer;

#include <cstdint>
#include <functional>
#include <memory>

namespace quietpane {

class THotKeyPanel;
class TSettingsTables;
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
    // The address in the address box, navigated to as if typed (the command line's address).
    void OpenAddress(const QString& address);
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
    void WebBrowser1CommandStateChange();

    // What the hide key and minimising do: the main window leaves the screen (with the option
    // set, the mail window and the open dialogs too). Refused, with a word in the status bar,
    // while no restore key works: false then.
    bool HideWindow();
    // What the restore key does: the main window comes to the front with what the hide took away.
    void RestoreWindow();
    void DBNavigator1Click(TNavigateBtn button);
    void DBGrid1DblClick();
    void Bookmark1Click();
    void PrintPreviewClick();
    void Print1Click();
    void SaveAs1Click();
    void Properties1Click();
    void SaveScreentoFile1Click();
    void ExecuteBrowserCommand(int command, int option);
    // Ctrl+L, Alt+D: the keyboard focus in the address box with its text selected.
    void FocusAddressBox();
    // Ctrl+F: the find bar under the page.
    void FindInPageClick();

    // Helpers the other commands share.
    void ShowBusy(bool busy);
    QStringList GetIPAddressList() const;
    bool SaveRegistryValue(const QString& name, const QString& value);

protected:
    void keyPressEvent(QKeyEvent* event) override; // FormKeyDown
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    QStringList AddressLines() const;
    void SetAddressLines(const QStringList& lines);
    // A box the user is about to overwrite (focused, its text all selected) is left so when a
    // page event puts an address into it: typing then replaces the new address.
    bool AddressAboutToBeReplaced() const;
    void ShowAddress(const QString& address, bool replacing);
    // Back and Forward are enabled exactly when both History and the engine can go that way.
    void UpdateTravelButtons();
    // Runs GoBack or GoForward; refused by the engine, the address box names the page shown again.
    void Travel(void (TBrowserControl::*go)());
    // The stored restore key is registered, so a hidden window can come back.
    bool RestoreKeyWorks() const;
    // Registers the stored keys, restore first, and names in the status bar those that fail.
    void RegisterStoredHotKeys();
    void ShowNotice(const QString& text);

    TfrmWebSetup setup_;
    TWindowDatabase database_;
    bool terminationRequested_ = false;
    bool typedNavigation_ = false;
    THistory history_;
    QString screenFolder_;
    uint32_t startTick_ = 0;
    QWidget* mailWindow_ = nullptr;
    QWidget* aboutBox_ = nullptr;

    TMainWindowControls controls_;
    QTimer* timer1_ = nullptr;
    THotKeyPanel* panel1_ = nullptr;
    THiddenWindows hiddenWindows_;

    std::unique_ptr<THotKeyManager> hotKeyManager_;
    std::unique_ptr<TBrowserControl> webBrowser1_;
    std::unique_ptr<TSettingsTables> tables_;
};

} // namespace quietpane
