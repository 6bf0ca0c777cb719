#include "message/IdCoder.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "message/IdCoder3To4.h"
#include "message/IdCoderIMF.h"
#include "message/IdCoderText.h"
#include "message/IdCoderUU.h"
#include "net/IdGlobal.h"

TIdCoder::TIdCoder() : buffer_(DefaultBufferSize, '\0') {}

std::string TIdCoder::FeedInput(std::string_view text)
{
    fedCount_ += text.size();
    while (!text.empty()) {
        const size_t space = capacity_ - buffered_;
        if (text.size() < space) {
            std::memcpy(buffer_.data() + buffered_, text.data(), text.size());
            buffered_ += static_cast<uint32_t>(text.size());
            break;
        }
        std::memcpy(buffer_.data() + buffered_, text.data(), space);
        buffered_ = capacity_;
        text.remove_prefix(space);
        ProcessFullBuffer();
        // A pass that could not free any room would make this loop spin for ever.
        if (buffered_ == capacity_) {
            GrowBuffer(std::max<uint32_t>(16, capacity_ * 2));
        }
    }
    return AutoFinish ? FinishInput() : TakeNextItem();
}

std::string TIdCoder::FinishInput()
{
    finishing_ = true;
    FlushFinal();
    return TakeNextItem();
}

std::string TIdCoder::TakeNextItem()
{
    if (DiscardData && DiscardEvents) {
        PendingOutput.clear();
        return {};
    }
    if (PendingOutput.empty()) {
        return {};
    }
    std::string item = std::move(PendingOutput.front().text);
    const bool data = PendingOutput.front().data;
    PendingOutput.pop_front();
    if (data) {
        while (!PendingOutput.empty() && PendingOutput.front().data) {
            item.append(PendingOutput.front().text, 2);
            PendingOutput.pop_front();
        }
    }
    return item;
}

std::string TIdCoder::TakeCodedData()
{
    if (DiscardData && DiscardEvents) {
        PendingOutput.clear();
        return {};
    }
    while (!PendingOutput.empty()) {
        if (PendingOutput.front().data) {
            std::string data = PendingOutput.front().text.substr(2);
            PendingOutput.pop_front();
            return data;
        }
        if (!DiscardEvents) {
            break;
        }
        PendingOutput.pop_front();
    }
    return {};
}

void TIdCoder::Restart()
{
    buffered_ = 0;
    finishing_ = false;
    PendingOutput.clear();
}

void TIdCoder::AssignKey(const std::string& key)
{
    key_ = key;
}

void TIdCoder::ChangeBufferSize(uint32_t size)
{
    capacity_ = size;
    if (buffer_.size() < size) {
        buffer_.resize(size);
    }
    buffered_ = 0;
}

void TIdCoder::ProcessFullBuffer()
{
    EmitData(Buffered());
    buffered_ = 0;
}

void TIdCoder::FlushFinal()
{
    EmitData(Buffered());
    buffered_ = 0;
}

void TIdCoder::EmitData(std::string_view data)
{
    std::string item;
    item.reserve(data.size() + 4);
    if (!DeliverEvents) {
        item = "0;";
    }
    item.append(data);
    if (AppendLineBreak) {
        item.append("\r\n");
    }
    deliveredCount_ += item.size() - (DeliverEvents ? 0 : 2);
    if (DeliverEvents) {
        if (OnCodedData) {
            OnCodedData(*this, item);
        }
        return;
    }
    PendingOutput.push_back({true, std::move(item)});
}

void TIdCoder::EmitEvent(int code, std::string_view text)
{
    std::string body(text);
    if (AppendLineBreak) {
        body.append("\r\n");
    }
    deliveredCount_ += body.size();
    if (DeliverEvents) {
        if (OnCoderEvent) {
            OnCoderEvent(*this, code, body);
        }
        return;
    }
    PendingOutput.push_back({false, std::to_string(code) + ";" + body});
}

void TIdCoder::Consume(size_t count)
{
    count = std::min<size_t>(count, buffered_);
    if (count < buffered_) {
        std::memmove(buffer_.data(), buffer_.data() + count, buffered_ - count);
    }
    buffered_ -= static_cast<uint32_t>(count);
}

void TIdCoder::GrowBuffer(uint32_t size)
{
    if (size <= capacity_) {
        return;
    }
    capacity_ = size;
    if (buffer_.size() < size) {
        buffer_.resize(size);
    }
}

void TIdCoderCollection::AddCoderEntry(TIdCoderItem::TCoderClass coderClass, uint8_t kind, uint8_t priority,
                                       const std::string& encodingName, const std::string& contentType)
{
    auto item = std::make_unique<TIdCoderItem>();
    item->kind = kind;
    item->priority = priority;
    item->contentType = contentType;
    item->encodingName = encodingName;
    item->coderClass = std::move(coderClass);
    items_.push_back(std::move(item));
}

const TIdCoderItem* TIdCoderCollection::FindExact(const std::string& contentType,
                                                  const std::string& encodingName, uint8_t kind) const
{
    for (const auto& item : items_) {
        if (item->kind == kind && SameTextNoCase(item->encodingName, encodingName) &&
            SameTextNoCase(item->contentType, contentType)) {
            return item.get();
        }
    }
    return nullptr;
}

const TIdCoderItem& TIdCoderCollection::FindCoder(const std::string& contentType,
                                                  const std::string& encodingName, uint8_t kind) const
{
    if (const TIdCoderItem* item = FindExact(contentType, encodingName, kind)) {
        return *item;
    }
    for (const auto& item : items_) {
        if (item->kind != kind) {
            continue;
        }
        if (!encodingName.empty() ? SameTextNoCase(item->encodingName, encodingName)
                                  : !contentType.empty() && SameTextNoCase(item->contentType, contentType)) {
            return *item;
        }
    }
    if (const TIdCoderItem* item = FindExact("application/octet-stream", "", kind)) {
        return *item;
    }
    throw EIdException("No identity coder is registered.");
}

namespace {

template <typename TCoder> TIdCoderItem::TCoderClass CoderClass()
{
    return [] { return std::unique_ptr<TIdCoder>(std::make_unique<TCoder>()); };
}

// The whole vocabulary of the program, in lookup order. It is built in one place so that the
// order is fixed and no unit's entries can be lost to static initialisation order.
void RegisterCoders(TIdCoderCollection& registry)
{
    constexpr uint8_t encoder = TIdCoderItem::Encoder;
    constexpr uint8_t decoder = TIdCoderItem::Decoder;
    registry.AddCoderEntry(CoderClass<TIdCoder>(), encoder, 0, "", "application/octet-stream");
    registry.AddCoderEntry(CoderClass<TIdCoder>(), decoder, 0, "", "application/octet-stream");
    registry.AddCoderEntry(CoderClass<TIdCoder>(), decoder, 0, "7bit", "");
    registry.AddCoderEntry(CoderClass<TIdCoder>(), decoder, 0, "8bit", "");
    registry.AddCoderEntry(CoderClass<TIdCoder>(), decoder, 0, "binary", "");
    registry.AddCoderEntry(CoderClass<TIdIMFDecoder>(), decoder, 9, "8bit", "text/");
    registry.AddCoderEntry(CoderClass<TIdBase64Encoder>(), encoder, 8, "base64", "");
    registry.AddCoderEntry(CoderClass<TIdBase64Decoder>(), decoder, 8, "base64", "");
    registry.AddCoderEntry(CoderClass<TIdUUEncoder>(), encoder, 8, "x-uu", "");
    registry.AddCoderEntry(CoderClass<TIdUUDecoder>(), decoder, 8, "x-uu", "");
    registry.AddCoderEntry(CoderClass<TIdXXEncoder>(), encoder, 8, "x-xx", "");
    registry.AddCoderEntry(CoderClass<TIdXXDecoder>(), decoder, 8, "x-xx", "");
    registry.AddCoderEntry(CoderClass<TIdQuotedPrintableEncoder>(), encoder, 8, "quoted-printable", "");
    registry.AddCoderEntry(CoderClass<TIdQuotedPrintableDecoder>(), decoder, 8, "quoted-printable", "");
    // The names other mail programs give UU data.
    for (const char* name : {"x-uuencode", "uuencode"}) {
        registry.AddCoderEntry(CoderClass<TIdUUEncoder>(), encoder, 8, name, "");
        registry.AddCoderEntry(CoderClass<TIdUUDecoder>(), decoder, 8, name, "");
    }
}

} // namespace

TIdCoderCollection& CoderRegistry()
{
    static TIdCoderCollection registry = [] {
        TIdCoderCollection collection;
        RegisterCoders(collection);
        return collection;
    }();
    return registry;
}

std::string FetchLine(std::string& text)
{
    const size_t end = text.find_first_of("\r\n");
    if (end == std::string::npos) {
        return std::exchange(text, std::string());
    }
    const size_t breakLength = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
    std::string line = text.substr(0, end);
    text.erase(0, end + breakLength);
    return line;
}
