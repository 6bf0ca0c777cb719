#pragma once

#include <QString>

#include <functional>

class QUrl;
class TIdAttachment;

namespace quietpane {

// Copies the decoded content of a received attachment to the path the user chose, replacing a
// file already there (the save dialog asked first). The file appears whole or not at all, with
// the user's normal permissions and no execute bit. On failure, false and the reason.
bool SaveAttachmentAs(const TIdAttachment& attachment, const QString& path, QString& failure);

// Opens a saved file with the desktop's application for its type.
void OpenSavedAttachment(const QString& path);
// Replaces how files are opened (tests record the request instead of starting a program);
// an empty function goes back to the desktop's.
void SetAttachmentOpener(std::function<void(const QUrl&)> opener);

} // namespace quietpane
