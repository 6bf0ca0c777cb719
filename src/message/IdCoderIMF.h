#pragma once

#include <memory>
#include <string>
#include <vector>

#include "message/IdCoder.h"

// Splits a MIME body into items. The input is a header block describing the whole body, an
// empty line, and the body. Items, in input order:
//   23 + header line (unfolded, trimmed), for every header line of every part
//   5 + file name, when a content type names one or a disposition gives a file name
//   21, when a header block ends
//   24 + boundary, for every delimiter; 25 right after it when the delimiter is a closing one
//   26, at the end of input
// and data: the decoded content of each part (delivered before the delimiter that ends it),
// the raw header text of each header block and the delimiter texts. A part's content is
// decoded by the registry's decoder for its content type and transfer encoding.
//
// Delimiters and header lines are recognised wherever the input is cut into chunks or passes.
class TIdIMFDecoder : public TIdCoder {
public:
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
    enum TPhase { ReadingHeaders = 0, ReadingContent = 1, AfterDelimiter = 2 };

    // Runs the pass of the current phase until no pass makes progress.
    void RunPasses(bool endOfInput);
    void FeedInner(std::string_view content);
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
    size_t longestBoundary_ = 0;
    std::unique_ptr<TIdCoder> inner_;
    bool innerFed_ = false;
};
