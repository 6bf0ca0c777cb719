#pragma once

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QUrl;
class TIdAttachment;
class TIdMessage;

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

// The files a retrieval decoded the message's attachments into. Only files in the mail library's
// temporary folder count: a part built for sending may name the user's own file elsewhere.
std::vector<std::string> StoredPartFiles(const TIdMessage& message);
void RemoveFiles(const std::vector<std::string>& paths);

} // namespace quietpane
