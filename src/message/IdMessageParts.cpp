#include "message/IdMessageParts.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "net/IdGlobal.h"

TIdMessagePart::~TIdMessagePart()
{
    if (!ownedFile_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(ownedFile_, ignored);
    }
}

void TIdMessagePart::OwnStoredFile(const std::string& name)
{
    if (!ownedFile_.empty() && ownedFile_ != name) {
        std::error_code ignored;
        std::filesystem::remove(ownedFile_, ignored);
    }
    StoredFileName = name;
    ownedFile_ = name;
}

void TIdMessagePart::Assign(const TIdMessagePart& source)
{
    if (source.ClassName() != ClassName()) {
        throw EIdException("Cannot assign a " + source.ClassName() + " to a " + ClassName() + ".");
    }
    SetContentTransfer(source.ContentTransfer());
    SetContentType(source.ContentType());
    ExtraHeaders = source.ExtraHeaders;
}

void TIdText::Assign(const TIdMessagePart& source)
{
    TIdMessagePart::Assign(source);
    Body = static_cast<const TIdText&>(source).Body;
}

void TIdAttachment::Assign(const TIdMessagePart& source)
{
    TIdMessagePart::Assign(source);
    const auto& attachment = static_cast<const TIdAttachment&>(source);
    SetContentDisposition(attachment.ContentDisposition());
    FileName = attachment.FileName;
}

bool TIdAttachment::SaveContentTo(const std::string& destination) const
{
    return CopyFileNoOverwrite(StoredFileName, destination);
}

template <class TPart> TPart& TIdMessageParts::Append(std::unique_ptr<TPart> part)
{
    TPart& added = *part;
    parts_.push_back(std::move(part));
    return added;
}

TIdText& TIdMessageParts::AddText(const std::vector<std::string>& body)
{
    return Append(std::make_unique<TIdText>(body));
}

TIdAttachment& TIdMessageParts::AddAttachment(const std::string& fileName)
{
    return Append(std::make_unique<TIdAttachment>(fileName));
}

TIdMessagePart& TIdMessageParts::Add(const std::string& className)
{
    if (className == "TIdText") {
        return AddText();
    }
    if (className == "TIdAttachment") {
        return AddAttachment();
    }
    throw EIdException("TIdMessagePart can not be created.  Use descendant classes. ");
}

void TIdMessageParts::Delete(int index)
{
    if (index < 0 || index >= Count()) {
        throw std::out_of_range("TIdMessageParts::Delete");
    }
    parts_.erase(parts_.begin() + index);
}

namespace {

constexpr std::size_t kMaxFileNameBytes = 255;

} // namespace

std::string SafeAttachmentFileName(const std::string& name)
{
    // Both separators count: names come from every kind of sender.
    const std::size_t folderEnd = name.find_last_of("/\\");
    std::string base = folderEnd == std::string::npos ? name : name.substr(folderEnd + 1);
    std::string safe;
    for (const char c : base) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            safe += c;
        }
    }
    safe.erase(0, safe.find_first_not_of(". "));
    if (safe.size() > kMaxFileNameBytes) {
        std::size_t cut = kMaxFileNameBytes;
        // Never cut a UTF-8 sequence in half.
        while (cut > 0 && (static_cast<unsigned char>(safe[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        safe.resize(cut);
    }
    safe.erase(safe.find_last_not_of(' ') + 1);
    return safe.empty() ? "attachment" : safe;
}
