#pragma once

#include <memory>
#include <string>
#include <vector>

#include "message/IdHeaderList.h"
#include "net/IdException.h"

// The file name a received message gives an attachment comes from its sender. This turns it
// into a plain base name that is safe below any folder: no folder parts, no "." or "..", no
// NUL or control characters, no leading dots or blanks, at most 255 bytes, never empty.
std::string SafeAttachmentFileName(const std::string& name);

// A body part of a message: a text (TIdText) or an attachment (TIdAttachment).
class TIdMessagePart {
public:
    // A stored file the part owns goes with it.
    virtual ~TIdMessagePart();
    TIdMessagePart(const TIdMessagePart&) = delete;
    TIdMessagePart& operator=(const TIdMessagePart&) = delete;

    // Copies the settings of a part of the same class; other classes raise.
    virtual void Assign(const TIdMessagePart& source);
    virtual std::string ClassName() const = 0;

    TIdHeaderList PartHeaders; // Content-Type, Content-Transfer-Encoding, Content-Disposition, ...
    TIdHeaderList ExtraHeaders;
    std::string StoredFileName; // file holding the decoded content of a received part
    // Why a received part's content could not be decoded (it is then held as sent); empty when
    // it could.
    std::string DecodeFailure;

    // Stores the content in a file that the part owns from now on: it is deleted with the part.
    void OwnStoredFile(const std::string& name);

    std::string ContentType() const { return PartHeaders.GetHeader("Content-Type"); }
    void SetContentType(const std::string& value) { PartHeaders.SetHeader("Content-Type", value); }
    std::string ContentTransfer() const { return PartHeaders.GetHeader("Content-Transfer-Encoding"); }
    void SetContentTransfer(const std::string& value)
    {
        PartHeaders.SetHeader("Content-Transfer-Encoding", value);
    }

protected:
    TIdMessagePart() = default;

private:
    std::string ownedFile_;
};

class TIdText : public TIdMessagePart {
public:
    explicit TIdText(const std::vector<std::string>& body = {}) : Body(body) {}
    void Assign(const TIdMessagePart& source) override;
    std::string ClassName() const override { return "TIdText"; }

    std::vector<std::string> Body;
};

class TIdAttachment : public TIdMessagePart {
public:
    explicit TIdAttachment(const std::string& fileName = {}) : FileName(fileName) {}
    void Assign(const TIdMessagePart& source) override;
    std::string ClassName() const override { return "TIdAttachment"; }

    // The file to send, or the name a received message gives the attachment.
    std::string FileName;

    std::string ContentDisposition() const { return PartHeaders.GetHeader("Content-Disposition"); }
    void SetContentDisposition(const std::string& value)
    {
        PartHeaders.SetHeader("Content-Disposition", value);
    }

    // Copies StoredFileName to the destination; false when that exists or the copy fails.
    bool SaveContentTo(const std::string& destination) const;
};

// The parts of a message, in order; the collection owns them.
class TIdMessageParts {
public:
    int Count() const { return static_cast<int>(parts_.size()); }
    TIdMessagePart& Items(int index) { return *parts_.at(index); }
    const TIdMessagePart& Items(int index) const { return *parts_.at(index); }

    TIdText& AddText(const std::vector<std::string>& body = {});
    TIdAttachment& AddAttachment(const std::string& fileName = {});
    // Creates a part by its class name; only the two descendants can be created.
    TIdMessagePart& Add(const std::string& className);
    void Delete(int index);
    void Clear() { parts_.clear(); }

private:
    template <class TPart> TPart& Append(std::unique_ptr<TPart> part);

    std::vector<std::unique_ptr<TIdMessagePart>> parts_;
};
