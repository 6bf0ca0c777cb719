#include "message/IdCoderIMF.h"

#include <algorithm>
#include <utility>

#include "message/IdMimeParameters.h"
#include "net/IdGlobal.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && SameTextNoCase(text.substr(0, prefix.size()), prefix);
}

// The trimmed text after the first ":".
std::string HeaderValue(const std::string& line)
{
    const size_t colon = line.find(':');
    return colon == std::string::npos ? std::string() : Trim(line.substr(colon + 1));
}

// Blanks or tabs after a delimiter (transport padding) beyond this many make it no delimiter, so
// that a pass never waits for the end of an endless line.
constexpr size_t kMaxTransportPadding = 64;

enum class TDelimiterLine { Yes, No, NotYetKnown };

// Whether "--" + boundary, ending at position end of the text, stands alone on its line:
// followed by an optional "--", blanks or tabs, and the line end (or the end of input).
TDelimiterLine DelimiterLineAt(std::string_view text, size_t end, bool endOfInput)
{
    const TDelimiterLine unknown = endOfInput ? TDelimiterLine::Yes : TDelimiterLine::NotYetKnown;
    size_t position = end;
    if (position < text.size() && text[position] == '-') {
        if (position + 1 == text.size()) {
            return endOfInput ? TDelimiterLine::No : TDelimiterLine::NotYetKnown;
        }
        if (text[position + 1] == '-') {
            position += 2;
        }
    }
    while (position < text.size() && IsBlank(text[position])) {
        if (++position - end > kMaxTransportPadding) {
            return TDelimiterLine::No;
        }
    }
    if (position == text.size()) {
        return unknown;
    }
    if (text[position] == '\r') {
        // Only the character after it tells how long the line end is.
        return position + 1 == text.size() ? unknown : TDelimiterLine::Yes;
    }
    return text[position] == '\n' ? TDelimiterLine::Yes : TDelimiterLine::No;
}

std::string UpToSemicolon(const std::string& text)
{
    return text.substr(0, text.find(';'));
}

} // namespace

TIdIMFDecoder::TIdIMFDecoder()
{
    AppendLineBreak = false;
    CreateInnerDecoder();
}

TIdIMFDecoder::~TIdIMFDecoder() = default;

void TIdIMFDecoder::Restart()
{
    TIdCoder::Restart();
    phase_ = ReadingHeaders;
    currentHeader_.clear();
    unfinishedLine_.clear();
}

void TIdIMFDecoder::CreateInnerDecoder()
{
    UseInnerDecoder(CoderRegistry().FindCoder("", "7bit", TIdCoderItem::Decoder).Create());
}

void TIdIMFDecoder::UseInnerDecoder(std::unique_ptr<TIdCoder> decoder)
{
    inner_ = std::move(decoder);
    inner_->DeliverEvents = true;
    inner_->OnCodedData = [this](TIdCoder&, const std::string& data) { EmitData(data); };
}

void TIdIMFDecoder::ProcessFullBuffer()
{
    RunPasses(false);
}

void TIdIMFDecoder::FlushFinal()
{
    finishing_ = true;
    RunPasses(true);
    FinishInner();
    EmitEvent(icEndOfInput, "");
    ClearBuffer();
}

void TIdIMFDecoder::RunPasses(bool endOfInput)
{
    // At the end of input every phase runs at least once, so that a kept line is delivered.
    do {
        // A pass keeps back what could be the start of a delimiter; the buffer must hold more.
        // It grows between passes only, while no pass looks into it.
        GrowBuffer(static_cast<uint32_t>(2 * (longestDelimiter_ + 8)));
        const uint32_t before = BufferedCount();
        const TPhase phaseBefore = phase_;
        switch (phase_) {
        case ReadingHeaders:
            ReadHeaderBlock(endOfInput);
            break;
        case ReadingContent:
        case ReadingEpilogue:
            ReadContent(endOfInput);
            break;
        case AfterDelimiter:
            ReadAfterDelimiter(endOfInput);
            break;
        }
        if (BufferedCount() == before && phase_ == phaseBefore) {
            break;
        }
    } while (BufferedCount() > 0);
}

void TIdIMFDecoder::ReadHeaderBlock(bool endOfInput)
{
    const std::string_view text = Buffered();
    size_t position = 0;
    while (phase_ == ReadingHeaders) {
        const size_t cr = text.find('\r', position);
        if (cr == std::string_view::npos || (cr + 1 == text.size() && !endOfInput)) {
            break; // the line, or whether an LF ends it, is still to come
        }
        const size_t next = (cr + 1 < text.size() && text[cr + 1] == '\n') ? cr + 2 : cr + 1;
        std::string line = unfinishedLine_;
        line.append(text.substr(position, cr - position));
        const std::string_view lineBreak = text.substr(cr, next - cr);
        unfinishedLine_.clear();
        position = next;

        const bool continuation = !line.empty() && IsBlank(line[0]);
        // A header is complete once the next line turns out not to continue it.
        if (!continuation && !currentHeader_.empty()) {
            InterpretHeaderLine();
        }
        rawHeader_.append(line);
        rawHeader_.append(lineBreak);
        if (continuation) {
            line.erase(0, line.find_first_not_of(" \t"));
            if (currentHeader_.empty() || !IsBlank(currentHeader_.back())) {
                currentHeader_ += ' ';
            }
        }
        currentHeader_ += line;
        currentHeader_ = Trim(currentHeader_);
        if (currentHeader_.empty()) {
            phase_ = ReadingContent;
            atLineStart_ = true;
            EmitData(rawHeader_);
            rawHeader_.clear();
            EmitData("\r\n");
            EmitEvent(icHeaderBlockEnd, "");
            SelectInnerDecoder();
            break;
        }
        if (position < text.size() && !IsBlank(text[position])) {
            InterpretHeaderLine();
        }
    }
    if (phase_ == ReadingHeaders) {
        std::string_view rest = text.substr(position);
        // The start of the next line is known, so is whether it continues the open header.
        if (unfinishedLine_.empty() && !rest.empty() && !IsBlank(rest[0]) && !currentHeader_.empty()) {
            InterpretHeaderLine();
        }
        if (endOfInput) {
            unfinishedLine_.append(rest);
            if (!unfinishedLine_.empty()) {
                EmitData(unfinishedLine_);
            }
            unfinishedLine_.clear();
        } else {
            // Kept aside rather than in the buffer, so that a line longer than the buffer
            // still leaves room; a CR at the very end stays buffered until its LF is known.
            if (!rest.empty() && rest.back() == '\r') {
                rest.remove_suffix(1);
            }
            unfinishedLine_.append(rest);
        }
        position += rest.size();
    }
    Consume(position);
}

void TIdIMFDecoder::InterpretHeaderLine()
{
    const std::string line = std::exchange(currentHeader_, std::string());
    EmitEvent(icHeaderLine, line);
    // The header lines of a block may come in any order.
    if (StartsWithNoCase(line, "content-transfer-encoding")) {
        currentTransferEncoding_ = HeaderValue(line);
    } else if (StartsWithNoCase(line, "content-type")) {
        currentContentType_ = HeaderValue(line);
        const TIdMimeHeaderValue value(currentContentType_);
        if (value.Value().starts_with("multipart/")) {
            PushBoundary(value.Parameter("boundary"));
        }
        if (value.HasParameter("name")) {
            ReportFileName(value.Parameter("name"));
        }
    } else if (StartsWithNoCase(line, "content-disposition")) {
        const TIdMimeHeaderValue value(HeaderValue(line));
        if (value.HasParameter("filename")) {
            ReportFileName(value.Parameter("filename"));
        }
    } else {
        EmitData(rawHeader_);
        rawHeader_.clear();
    }
}

void TIdIMFDecoder::PushBoundary(const std::string& boundary)
{
    // An empty boundary would match everywhere; one already stacked would match where it does.
    if (boundary.empty() ||
        std::find(boundaries_.begin(), boundaries_.end(), boundary) != boundaries_.end()) {
        return;
    }
    boundaries_.push_back(boundary);
    delimiters_.push_back("--" + boundary);
    longestDelimiter_ = std::max(longestDelimiter_, delimiters_.back().size());
}

void TIdIMFDecoder::ReportFileName(const std::string& name)
{
    fileName_ = name;
    EmitEvent(icFileName, fileName_);
}

void TIdIMFDecoder::SelectInnerDecoder()
{
    const std::string mainType = UpToSemicolon(currentContentType_);
    const std::string encoding = LowerCase(Trim(UpToSemicolon(currentTransferEncoding_)));
    if (mainType == lastContentType_ && encoding == lastTransferEncoding_) {
        return;
    }
    UseInnerDecoder(CoderRegistry().FindCoder(mainType, encoding, TIdCoderItem::Decoder).Create());
    lastContentType_ = mainType;
    lastTransferEncoding_ = encoding;
}

void TIdIMFDecoder::FeedInner(std::string_view content)
{
    if (content.empty()) {
        return;
    }
    innerFed_ = true;
    if (innerFailed_) {
        EmitData(content);
        return;
    }
    if (keepingRaw_ && !lastTransferEncoding_.empty() && lastTransferEncoding_ != "7bit" &&
        lastTransferEncoding_ != "8bit" && lastTransferEncoding_ != "binary") {
        keepingRaw_ = rawContent_.size() + content.size() <= KeptRawBytes;
        if (keepingRaw_) {
            rawContent_.append(content);
        } else {
            rawContent_.clear();
            rawContent_.shrink_to_fit();
        }
    }
    try {
        inner_->FeedInput(content);
    } catch (const EIdException& failure) {
        InnerFailed(failure.what());
    }
}

void TIdIMFDecoder::FinishInner()
{
    if (!innerFailed_) {
        try {
            inner_->FinishInput();
        } catch (const EIdException& failure) {
            InnerFailed(failure.what());
        }
    }
    innerFailed_ = false;
    keepingRaw_ = true;
    rawContent_.clear();
}

void TIdIMFDecoder::InnerFailed(const char* reason)
{
    innerFailed_ = true;
    if (keepingRaw_) {
        EmitEvent(icUndecodable, reason);
        EmitData(std::exchange(rawContent_, std::string()));
    } else {
        // Too large to have been kept as sent: what was decoded is all there is of it.
        EmitEvent(icUndecodableRest, reason);
    }
    inner_->Restart();
}

void TIdIMFDecoder::PassOn(std::string_view text)
{
    if (phase_ == ReadingEpilogue) {
        if (!text.empty()) {
            EmitData(text);
        }
    } else {
        FeedInner(text);
    }
}

void TIdIMFDecoder::ReadContent(bool endOfInput)
{
    const std::string_view text = Buffered();
    if (boundaries_.empty()) {
        PassOn(text);
        Consume(text.size());
        return;
    }
    // The earliest delimiter line wins; undecided is the earliest one whose line has not
    // arrived in full yet.
    size_t found = std::string_view::npos;
    size_t undecided = std::string_view::npos;
    size_t which = 0;
    for (size_t i = 0; i < delimiters_.size(); ++i) {
        for (size_t at = text.find(delimiters_[i]);
             at != std::string_view::npos && at <= found && at < undecided;
             at = text.find(delimiters_[i], at + 1)) {
            if (!(at == 0 ? atLineStart_ : text[at - 1] == '\n')) {
                continue;
            }
            const TDelimiterLine line = DelimiterLineAt(text, at + delimiters_[i].size(), endOfInput);
            if (line == TDelimiterLine::NotYetKnown) {
                undecided = at;
                break;
            }
            if (line == TDelimiterLine::Yes) {
                found = at;
                which = i;
                break;
            }
        }
    }
    if (found == std::string_view::npos || undecided < found) {
        // A delimiter that the next pass could still complete may begin in what is kept back,
        // and the line break ahead of a delimiter must be seen together with it.
        const size_t keep = longestDelimiter_ + 1;
        size_t safe = endOfInput ? text.size() : (text.size() > keep ? text.size() - keep : 0);
        if (undecided != std::string_view::npos) {
            safe = std::min(safe, undecided >= 2 ? undecided - 2 : 0);
        }
        if (safe > 0) {
            PassOn(text.substr(0, safe));
            atLineStart_ = text[safe - 1] == '\n';
            Consume(safe);
        }
        return;
    }
    std::string_view content = text.substr(0, found);
    // The line break ahead of a delimiter belongs to the delimiter.
    size_t lineBreak = 0;
    if (content.ends_with("\r\n")) {
        lineBreak = 2;
    } else if (content.ends_with("\n")) {
        lineBreak = 1;
    }
    content.remove_suffix(lineBreak);
    PassOn(content);
    // The part's data goes out before the delimiter's events.
    if (phase_ == ReadingContent && innerFed_) {
        FinishInner();
        inner_->Restart();
    }
    const std::string boundary = boundaries_[which];
    EmitEvent(icDelimiter, boundary);
    currentHeader_ = std::string(text.substr(found - lineBreak, lineBreak)) + delimiters_[which];
    Consume(found + delimiters_[which].size());
    delimiterIndex_ = which;
    phase_ = AfterDelimiter;
}

// The content pass saw the whole delimiter line, or the input ends.
void TIdIMFDecoder::ReadAfterDelimiter(bool /*endOfInput*/)
{
    const std::string_view text = Buffered();
    size_t position = 0;
    const bool closing = text.starts_with("--");
    if (closing) {
        EmitEvent(icClosingDelimiter, "");
        position = 2;
    }
    while (position < text.size() && IsBlank(text[position])) {
        ++position;
    }
    if (position < text.size() && text[position] == '\r') {
        ++position;
    }
    if (position < text.size() && text[position] == '\n') {
        ++position;
    }
    currentHeader_.append(text.substr(0, position));
    EmitData(currentHeader_);
    currentHeader_.clear();
    Consume(position);
    atLineStart_ = true;
    if (closing) {
        // The multipart ends here, and so does every one nested in it that was left open.
        boundaries_.resize(delimiterIndex_);
        delimiters_.resize(delimiterIndex_);
        phase_ = ReadingEpilogue;
    } else {
        // Each part names its own content type and transfer encoding, or has the defaults.
        currentContentType_.clear();
        currentTransferEncoding_.clear();
        phase_ = ReadingHeaders;
    }
}
