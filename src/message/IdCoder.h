#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A streaming content coder. The caller feeds input in chunks of any size; the coder converts
// it whenever its buffer is exactly full and once more at the end of input, and hands the
// result back as a queue of output items: "0;" + data for converted data, and
// code + ";" + text for events (numbered notices such as a file name found in the input).
// With DeliverEvents set, data and events go to OnCodedData/OnCoderEvent instead of the queue.
//
// The base class itself is the identity coder: it passes its input through unchanged.
class TIdCoder {
public:
    using TCodedDataEvent = std::function<void(TIdCoder& sender, const std::string& data)>;
    using TCoderEvent = std::function<void(TIdCoder& sender, int code, const std::string& text)>;

    static constexpr uint32_t DefaultBufferSize = 4096;

    TIdCoder();
    virtual ~TIdCoder() = default;
    TIdCoder(const TIdCoder&) = delete;
    TIdCoder& operator=(const TIdCoder&) = delete;

    // Buffers the text, converting every time the buffer becomes exactly full, and returns
    // FinishInput (AutoFinish set) or TakeNextItem.
    std::string FeedInput(std::string_view text);
    // Signals the end of input, converts what is buffered and returns TakeNextItem.
    virtual std::string FinishInput();
    // Takes the next data without its "0;" prefix, or empty text when an event comes first
    // (leading events are dropped when DiscardEvents is set).
    virtual std::string TakeCodedData();
    // Takes the next item: an event as it is, or every data item at the front joined under
    // one "0;" prefix. Empty text when nothing is pending.
    virtual std::string TakeNextItem();
    // Drops buffered input and pending output and clears the finishing state.
    virtual void Restart();
    virtual void AssignKey(const std::string& key);
    // Sets the buffer capacity; buffered input is dropped.
    virtual void ChangeBufferSize(uint32_t size);

    // Every delivered data piece gets CR LF appended.
    bool AppendLineBreak = false;
    // FeedInput ends with FinishInput instead of TakeNextItem.
    bool AutoFinish = false;
    bool DiscardData = false;
    bool DiscardEvents = false;
    // Data and events go to the two handlers instead of the output queue.
    bool DeliverEvents = false;
    TCodedDataEvent OnCodedData;
    TCoderEvent OnCoderEvent;

    uint64_t ConsumedCount() const { return consumedCount_; }
    uint64_t FedCount() const { return fedCount_; }
    uint64_t DeliveredCount() const { return deliveredCount_; }
    uint32_t BufferSize() const { return capacity_; }
    uint32_t BufferedCount() const { return buffered_; }
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& name) { fileName_ = name; }
    const std::string& Key() const { return key_; }
    uint8_t Priority = 0;
    bool Finishing() const { return finishing_; }
    bool TakesFileName() const { return takesFileName_; }
    bool TakesKey() const { return takesKey_; }

protected:
    // Converts the full buffer. Whatever it leaves buffered stays at the start of the buffer.
    virtual void ProcessFullBuffer();
    // Converts what is buffered at the end of input and empties the buffer.
    virtual void FlushFinal();

    void EmitData(std::string_view data);
    void EmitEvent(int code, std::string_view text);

    std::string_view Buffered() const { return {buffer_.data(), buffered_}; }
    // Drops the first count buffered bytes and moves the rest to the front.
    void Consume(size_t count);
    void ClearBuffer() { buffered_ = 0; }
    // Raises the capacity keeping what is buffered (a coder that needs to see more at once).
    void GrowBuffer(uint32_t size);
    void CountConsumed(uint64_t count) { consumedCount_ += count; }

    std::string fileName_;
    bool finishing_ = false;
    bool takesFileName_ = false;
    bool takesKey_ = false;

private:
    struct TOutputItem {
        bool data;
        std::string text; // the whole item, prefix included
    };

    uint64_t consumedCount_ = 0;
    uint64_t fedCount_ = 0;
    uint64_t deliveredCount_ = 0;
    uint32_t capacity_ = DefaultBufferSize;
    uint32_t buffered_ = 0;
    std::string buffer_; // storage only grows; buffered_ bytes are in use
    std::string key_;
    std::deque<TOutputItem> PendingOutput;
};

// A registry entry: which coder class handles a transfer encoding (and optionally a content type).
struct TIdCoderItem {
    static constexpr uint8_t Encoder = 0;
    static constexpr uint8_t Decoder = 128;

    using TCoderClass = std::function<std::unique_ptr<TIdCoder>()>;

    uint8_t kind = Encoder;
    uint8_t priority = 0;
    std::string contentType;
    std::string encodingName;
    TCoderClass coderClass;

    std::unique_ptr<TIdCoder> Create() const { return coderClass(); }
};

class TIdCoderCollection {
public:
    void AddCoderEntry(TIdCoderItem::TCoderClass coderClass, uint8_t kind, uint8_t priority,
                       const std::string& encodingName, const std::string& contentType);
    // Never fails: without any match it yields the identity entry of the requested kind.
    const TIdCoderItem& FindCoder(const std::string& contentType, const std::string& encodingName,
                                  uint8_t kind) const;
    size_t Count() const { return items_.size(); }
    const TIdCoderItem& Item(size_t index) const { return *items_.at(index); }

private:
    const TIdCoderItem* FindExact(const std::string& contentType, const std::string& encodingName,
                                  uint8_t kind) const;

    std::vector<std::unique_ptr<TIdCoderItem>> items_;
};

// The process-wide registry holding every coder of the program, in a fixed order.
TIdCoderCollection& CoderRegistry();

// Removes and returns the first line of the text: it ends at the first CR LF, or at the first
// lone CR or LF, whichever comes first. Without a line break the whole text is taken.
std::string FetchLine(std::string& text);
