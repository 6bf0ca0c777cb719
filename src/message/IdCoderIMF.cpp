#include "message/IdCoderIMF.h"

#include <algorithm>
#include <utility>

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

// A parameter value: the text between double quotes, or up to the first blank or ";".
std::string UnquoteParameter(const std::string& value)
{
    if (value.empty()) {
        return {};
    }
    if (value[0] == '"') {
        const size_t close = value.find('"', 1);
        if (close != std::string::npos) {
            return value.substr(1, close - 1);
        }
        return value.substr(1, value.find(' ', 1) - 1);
    }
    return value.substr(0, value.find_first_of(" ;"));
}

// The boundary parameter: the quoted text, or an unquoted value up to ";".
std::string BoundaryParameter(const std::string& value)
{
    if (!value.empty() && value[0] == '"') {
        const size_t close = value.find('"', 1);
        return value.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return TrimRight(value.substr(0, value.find(';')));
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
    inner_->FinishInput();
    EmitEvent(26, "");
    ClearBuffer();
}

void TIdIMFDecoder::RunPasses(bool endOfInput)
{
    // At the end of input every phase runs at least once, so that a kept line is delivered.
    do {
        const uint32_t before = BufferedCount();
        const TPhase phaseBefore = phase_;
        switch (phase_) {
        case ReadingHeaders:
            ReadHeaderBlock(endOfInput);
            break;
        case ReadingContent:
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
            EmitData(rawHeader_);
            rawHeader_.clear();
            EmitData("\r\n");
            EmitEvent(21, "");
            SelectInnerDecoder();
            break;
        }
        if (position < text.size() && !IsBlank(text[position])) {
            InterpretHeaderLine();
        }
    }
    if (phase_ == ReadingHeaders) {
        std::string_view rest = text.substr(position);
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
    EmitEvent(23, line);
    if (StartsWithNoCase(line, "content-transfer-encoding")) {
        currentTransferEncoding_ = HeaderValue(line);
    } else if (StartsWithNoCase(line, "content-type")) {
        currentContentType_ = HeaderValue(line);
        currentTransferEncoding_.clear();
        const std::string lower = LowerCase(currentContentType_);
        const size_t boundary = lower.find("boundary=");
        if (boundary != std::string::npos) {
            PushBoundary(BoundaryParameter(currentContentType_.substr(boundary + 9)));
        }
        const size_t name = lower.find("name=");
        if (name != std::string::npos) {
            ReportFileName(UnquoteParameter(currentContentType_.substr(name + 5)));
        }
    } else if (StartsWithNoCase(line, "content-disposition")) {
        const size_t colon = line.find(':');
        const std::string value = colon == std::string::npos ? std::string() : line.substr(colon + 1);
        const size_t name = LowerCase(value).find("filename=");
        if (name != std::string::npos) {
            ReportFileName(UnquoteParameter(value.substr(name + 9)));
        }
    } else {
        EmitData(rawHeader_);
        rawHeader_.clear();
    }
}

void TIdIMFDecoder::PushBoundary(const std::string& boundary)
{
    // An empty boundary would match everywhere.
    if (boundary.empty()) {
        return;
    }
    boundaries_.push_back(boundary);
    longestBoundary_ = std::max(longestBoundary_, boundary.size());
    // A pass keeps back what could be the start of a delimiter; the buffer must hold more.
    GrowBuffer(static_cast<uint32_t>(2 * (longestBoundary_ + 8)));
}

void TIdIMFDecoder::ReportFileName(const std::string& name)
{
    fileName_ = name;
    EmitEvent(5, fileName_);
}

void TIdIMFDecoder::SelectInnerDecoder()
{
    const std::string mainType = UpToSemicolon(currentContentType_);
    const std::string encoding = UpToSemicolon(currentTransferEncoding_);
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
    inner_->FeedInput(content);
    innerFed_ = true;
}

void TIdIMFDecoder::ReadContent(bool endOfInput)
{
    const std::string_view text = Buffered();
    if (boundaries_.empty()) {
        FeedInner(text);
        Consume(text.size());
        return;
    }
    // The earliest delimiter wins; at the same place, the boundary announced later.
    size_t found = std::string_view::npos;
    size_t which = 0;
    for (size_t i = 0; i < boundaries_.size(); ++i) {
        const size_t at = text.find(boundaries_[i]);
        if (at != std::string_view::npos && at <= found) {
            found = at;
            which = i;
        }
    }
    // A boundary that could still be completed by the next pass may start before the one found,
    // and the "\r\n--" ahead of a delimiter must be seen together with it.
    if (found == std::string_view::npos || (!endOfInput && found + longestBoundary_ > text.size())) {
        const size_t keep = longestBoundary_ + 3;
        const size_t safe = endOfInput ? text.size() : (text.size() > keep ? text.size() - keep : 0);
        if (safe > 0) {
            FeedInner(text.substr(0, safe));
            Consume(safe);
        }
        return;
    }
    std::string_view content = text.substr(0, found);
    if (content.size() >= 4 && content.ends_with("\r\n--")) {
        content.remove_suffix(4);
    } else if ((content.size() == 2 || content.size() == 3) && content.ends_with("--")) {
        content.remove_suffix(2);
    }
    FeedInner(content);
    // The part's data goes out before the delimiter's events.
    if (innerFed_) {
        inner_->FinishInput();
        inner_->Restart();
    }
    const std::string boundary = boundaries_[which];
    EmitEvent(24, boundary);
    if (found >= 4) {
        currentHeader_ = "\r\n--" + boundary;
    } else if (found >= 2) {
        currentHeader_ = "--" + boundary;
    }
    Consume(found + boundary.size());
    phase_ = AfterDelimiter;
}

void TIdIMFDecoder::ReadAfterDelimiter(bool endOfInput)
{
    const std::string_view text = Buffered();
    if (text.size() < 4) {
        if (endOfInput) {
            ClearBuffer();
        }
        return;
    }
    size_t position = 0;
    if (text.starts_with("--")) {
        EmitEvent(25, "");
        currentHeader_ += "--";
        position = 2;
    }
    for (const char c : {'-', '\r', '\n'}) {
        if (position < text.size() && text[position] == c) {
            currentHeader_ += c;
            ++position;
        }
    }
    if (!currentHeader_.empty()) {
        EmitData(currentHeader_);
        currentHeader_.clear();
    }
    Consume(position);
    phase_ = ReadingHeaders;
}
