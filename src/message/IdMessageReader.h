#pragma once

#include <exception>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "message/IdMessage.h"

class TIdCoder;

// Where the reader stands in the body.
enum TIdReaderPhase : int {
    rpStarting = 0, // before the header block that describes the whole body has ended
    rpEnded = 1,    // after the end of input
    rpInBody = 2,   // a header block has ended
};

// Builds a message from its received text: the header block into ReceivedHeaders and the
// fields, the body into Body (NoDecode) or into Parts, every attachment decoded into a
// temporary file that its part owns. The text comes without transfer stuffing, in pieces of any
// size; how it is cut never changes the result.
class TIdMessageReader {
public:
    enum class TInput {
        WholeMessage, // the header block first, then the body
        BodyOnly,     // the header fields of the message are set already
    };

    TIdMessageReader(TIdMessage& message, TInput input);
    ~TIdMessageReader();
    TIdMessageReader(const TIdMessageReader&) = delete;
    TIdMessageReader& operator=(const TIdMessageReader&) = delete;

    void Feed(std::string_view bytes);
    // Ends the input. A part whose content can't be decoded holds it as sent (a large one: what
    // could be decoded), with the reason in its DecodeFailure. Any other failure stops the
    // decoding, not the reading: the rest of the input is still taken, and the first failure is raised here,
    // the parts built so far kept.
    void Finish();

    // Acts on one item ("code;text") of the MIME body decoder.
    void HandleDecoderItem(const std::string& item);
    TIdReaderPhase Phase() const { return phase_; }

    // Reads a whole message held in memory.
    static void ReadMessage(TIdMessage& message, std::string_view text);

private:
    void FeedHeader(std::string_view& bytes);
    void StartBody();
    void FeedBodyLines(std::string_view bytes);
    void Decode(const std::function<std::string()>& firstItem);
    void KeepItemsDecodedSoFar();
    void EndHeaderBlock();
    void StartAttachment(TIdAttachment& attachment, const TIdHeaderList& headers);
    void StartOver(TIdMessagePart& part);
    void CloseFile();
    // The part's file, emptied, to write its content into.
    void OpenFile(const std::string& name);

    TIdMessage& message_;
    bool inHeader_;
    std::string unfinishedLine_;
    TIdReaderPhase phase_ = rpStarting;
    std::unique_ptr<TIdCoder> decoder_;
    // Header lines of the block being read.
    TIdHeaderList blockHeaders_;
    // Data goes to the current part only between the end of its header block and the next
    // delimiter: everything else the decoder passes on is header, delimiter or epilogue text.
    bool inContent_ = false;
    TIdMessagePart* current_ = nullptr;
    std::ofstream file_;
    std::exception_ptr failure_;
};
