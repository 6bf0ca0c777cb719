#pragma once

#include <QString>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QStatusBar;
class QTableView;
class QToolBar;
class QToolButton;
class QWidget;

namespace quietpane {

class TBookmarkNavigator;
class TFindBar;
class TfrmWeb;

// The main window's controls that its handlers reach, owned by the window's widget tree.
struct TMainWindowControls {
    QAction* toolBarEntry = nullptr;
    QAction* statusBarEntry = nullptr;
    QAction* back1 = nullptr;
    QAction* forward1 = nullptr;
    QFrame* coolBar1 = nullptr;
    QToolBar* toolBar1 = nullptr;
    QToolButton* toolPageBack = nullptr;
    QToolButton* toolPageForward = nullptr;
    QLabel* lbCounter = nullptr;
    QComboBox* urls = nullptr;
    QToolButton* toolHome = nullptr;
    QProgressBar* progressBar1 = nullptr;
    TFindBar* findBar = nullptr;
    QStatusBar* statusBar1 = nullptr;
    QLabel* statusPanel = nullptr;
    QPlainTextEdit* memo1 = nullptr;
    QTableView* dbGrid1 = nullptr;
    TBookmarkNavigator* dbNavigator1 = nullptr;
    QToolButton* speedButton1 = nullptr;
    QToolButton* speedButton2 = nullptr;
    QLineEdit* dbUrls = nullptr;
    QLineEdit* dbHotkey2 = nullptr;
    QLineEdit* dbHotkey3 = nullptr;
};

// Lays the main window out at its fixed sizes: menus, the band bar (tool bar, address box,
// links bar), the left column (IP box, bookmark grid and navigator), the browser's widget in the
// rest above the find bar, the status bar and the hidden bound boxes; and connects the controls
// and the keyboard shortcuts to the window's handlers. The Home button's caption is homePage.
TMainWindowControls BuildMainWindow(TfrmWeb& window, QWidget& browser, const QString& homePage);

} // namespace quietpane
