#include "platform/ScreenCapture.h"

#include <QGuiApplication>
#include <QImageWriter>
#include <QSaveFile>
#include <QScreen>

namespace quietpane {

QPixmap GrabScreen()
{
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
