#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "message/IdCoder.h"

// The codes of the MIME body decoder's items.
enum TIdIMFItemCode : int {
    icData = 0,
    icFileName = 5,
    icHeaderBlockEnd = 21,
    icHeaderLine = 23,
    icDelimiter = 24,
    icClosingDelimiter = 25,
    icEndOfInput = 26,
    icUndecodable = 27,
    icUndecodableRest = 28,
};

// Splits a MIME body into items. The input is a header block describing the whole body, an
// empty line, and the body. Items, in input order:
//   icHeaderLine + header line (unfolded, trimmed), for every header line of every part
//   icFileName + file name, when a content type names one or a disposition gives a file name
//   icHeaderBlockEnd, when a header block ends
//   icDelimiter + boundary, for every delimiter; icClosingDelimiter right after it when the
//     delimiter is a closing one
//   icEndOfInput, at the end of input
//   icUndecodable + the decoder's error, when a part's content can't be decoded; its content
//     then comes again from its start, as sent (encoded), and the next part is decoded as usual.
//     A part larger than KeptRawBytes gives icUndecodableRest instead: what was decoded stays
//     delivered, and nothing more of the part follows.
// and data: the decoded content of each part (delivered before the delimiter that ends it),
// the raw header text of each header block, the delimiter texts and the epilogues. A part's
// content is decoded by the registry's decoder for its content type and transfer encoding;
// a part that names neither is plain text.
//
// A delimiter is a line of its own: "--" and a boundary of an enclosing multipart, then
// optionally "--" (closing), blanks or tabs. After a closing delimiter, the text up to the next
// delimiter of an outer multipart is that multipart's epilogue, delivered as data, never as
// parts. Delimiters and header lines are recognised wherever the input is cut into chunks or
// passes.
class TIdIMFDecoder : public TIdCoder {
public:
    // Content of an encoded part kept as sent, so that it can still be delivered whole when it
    // fails to decode; more would cost a large attachment's reading dearly.
    static constexpr std::size_t KeptRawBytes = 1 << 20;

    TIdIMFDecoder();
    ~TIdIMFDecoder() override;

    void Restart() override;

    // The content type and transfer encoding the current inner decoder was chosen for.
    const std::string& LastContentType() const { return lastContentType_; }
    const std::string& LastTransferEncoding() const { return lastTransferEncoding_; }
    const std::vector<std::string>& Boundaries() const { return boundaries_; }

protected:
    void ProcessFullBuffer() override;
    void FlushFinal() override;

    virtual void CreateInnerDecoder();
    virtual void ReadHeaderBlock(bool endOfInput);
    virtual void ReadContent(bool endOfInput);
    virtual void ReadAfterDelimiter(bool endOfInput);
    virtual void InterpretHeaderLine();
    virtual void SelectInnerDecoder();

private:
    enum TPhase { ReadingHeaders = 0, ReadingContent = 1, AfterDelimiter = 2, ReadingEpilogue = 3 };

    // Runs the pass of the current phase until no pass makes progress.
    void RunPasses(bool endOfInput);
    void FeedInner(std::string_view content);
    // Ends the part's content: the inner decoder's last data, or the part as sent.
    void FinishInner();
    // The part's content can't be decoded: it is delivered as sent instead.
    void InnerFailed(const char* reason);
    // Content, or epilogue text, that no delimiter ends.
    void PassOn(std::string_view text);
    void UseInnerDecoder(std::unique_ptr<TIdCoder> decoder);
    void PushBoundary(const std::string& boundary);
    void ReportFileName(const std::string& name);

    TPhase phase_ = ReadingHeaders;
    std::string currentContentType_;
    std::string currentTransferEncoding_;
    std::string lastContentType_;
    std::string lastTransferEncoding_;
    // The header being assembled, or the delimiter text collected after a delimiter.
    std::string currentHeader_;
    // Header text exactly as received since it was last delivered.
    std::string rawHeader_;
    // The start of a header line whose end has not arrived yet.
    std::string unfinishedLine_;
    std::vector<std::string> boundaries_;
    // The stack index of the boundary whose delimiter was found last.
    size_t delimiterIndex_ = 0;
    // "--" + boundary, for each boundary.
    std::vector<std::string> delimiters_;
    size_t longestDelimiter_ = 0;
    // Whether the content not yet searched starts a line.
    bool atLineStart_ = true;
    std::unique_ptr<TIdCoder> inner_;
    bool innerFed_ = false;
    // The current part's content as sent, kept while a transfer encoding is decoded, so that
    // a part that fails to decode still arrives whole.
    std::string rawContent_;
    bool keepingRaw_ = true;
    bool innerFailed_ = false;
};
