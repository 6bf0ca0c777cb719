// A stand-in for the browser window, for bench/hotkeys.sh: a top-level window off the task bar
// that minimising hides, with the hide (Ctrl+Alt+H) and restore (Ctrl+Alt+O) hotkeys handled the
// way the browser window handles them. Prints "registered" or "not registered" once set up.
// With --plain it is the plain Qt window the others are set beside: the same hotkeys, but
// hidden with hide() and restored with show() alone, on the task bar.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include <cstdio>

#include "hotkeys/HotKeyManager.h"
#include "platform/WindowHiding.h"

using namespace quietpane;

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.setObjectName(QStringLiteral("frmWeb"));
    window.setWindowTitle(QStringLiteral("Quietpane"));
    window.setCentralWidget(new QLabel(QStringLiteral("Ctrl+Alt+H hides, Ctrl+Alt+O restores")));
    window.resize(800, 600);
    const bool plain = argc > 1 && QByteArrayView(argv[1]) == "--plain";
    if (!plain) {
        KeepOffTaskBar(window);
        HideWhenMinimised(window);
    }

    constexpr TShortCut restore = 49231;
    constexpr TShortCut hide = 49224;
    auto* hotKeys = new THotKeyManager(&window);
    hotKeys->OnHotKeyPressed = [&window, plain](TShortCut hotKey, uint16_t) {
        if (hotKey == restore && plain) {
            window.show();
        } else if (hotKey == restore) {
            ShowInFront(window);
        } else if (hotKey == hide) {
            window.hide();
        }
    };
    const bool registered = hotKeys->AddHotKey(restore) != 0 && hotKeys->AddHotKey(hide) != 0;
    std::printf("%s\n", registered ? "registered" : "not registered");
    std::fflush(stdout);

    window.show();
    std::printf("window 0x%llx\n", static_cast<unsigned long long>(window.winId()));
    std::fflush(stdout);
    return application.exec();
}
