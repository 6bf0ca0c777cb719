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
