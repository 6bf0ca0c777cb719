#include "platform/ScreenCapture.h"

#include "platform/X11Connection.h"

#include <QApplication>
#include <QImageWriter>
#include <QSaveFile>
#include <QScreen>
#include <QWidget>

namespace quietpane {

namespace {

// Waits until the X server has done every request sent so far and every event it sent back
// before has reached the application's queue.
void RoundTrip(xcb_connection_t* connection)
{
    XcbReply<xcb_get_input_focus_reply_t> reply{
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)};
}

// A command chosen from a menu runs while the menu may still be on the screen, and the windows
// it covered are yet to be drawn again. The menus close, the server takes them off, and the
// program's windows are drawn anew at once (their expose events would come round later) and
// handed to the server before the picture is taken.
void LetScreenSettle()
{
    for (QWidget* popup = QApplication::activePopupWidget(); popup;) {
        popup->close();
        QWidget* next = QApplication::activePopupWidget();
        popup = next == popup ? nullptr : next; // one that refuses to close stays
    }
    QCoreApplication::sendPostedEvents();
    xcb_connection_t* connection = ApplicationX11Connection();
    if (connection)
        RoundTrip(connection);
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            window->repaint();
    if (connection)
        RoundTrip(connection);
}

} // namespace

QPixmap GrabScreen()
{
    LetScreenSettle();
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        throw EFileError("There is no screen to capture.");
    return screen->grabWindow(0);
}

void WriteBitmap(const QPixmap& picture, const QString& fileName)
{
    // Written aside and renamed over the old file, so a failed write leaves the old capture whole.
    QSaveFile file(fileName);
    const auto fail = [&](const QString& reason) {
        throw EFileError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, reason).toStdString());
    };
    if (!file.open(QIODevice::WriteOnly))
        fail(file.errorString());
    QImageWriter writer(&file, "BMP");
    if (!writer.write(picture.toImage()))
        fail(writer.errorString());
    if (!file.commit())
        fail(file.errorString());
}

} // namespace quietpane
