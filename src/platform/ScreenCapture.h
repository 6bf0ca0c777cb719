#pragma once

#include <QPixmap>
#include <QString>

#include <stdexcept>

namespace quietpane {

// A file that can't be written; the message names the file and the reason.
class EFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The whole primary screen at its size in pixels, as the user sees it once the program's open
// menus have closed and the windows under them are drawn again.
QPixmap GrabScreen();

// Writes the picture as a BMP file under exactly the given name (no extension is added),
// replacing an existing file. Raises EFileError when the file can't be written.
void WriteBitmap(const QPixmap& picture, const QString& fileName);

} // namespace quietpane
