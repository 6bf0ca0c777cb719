#include "message/IdHeaderList.h"

#include <algorithm>
#include <stdexcept>

#include "net/IdGlobal.h"

namespace {

const std::string kFoldBreak = "\r\n ";
const std::string kFoldCharacters = "\t ";

bool IsBlankOrTab(char c)
{
    return c == ' ' || c == '\t';
}

// A CR or LF that is not part of a fold (CR LF followed by a blank or a tab) would start a new
// header line on the wire; it becomes a blank.
std::string WithoutBareLineBreaks(const std::string& line)
{
    std::string result = line;
    for (size_t i = 0; i < result.size(); ++i) {
        if (result[i] == '\r' && i + 2 < result.size() && result[i + 1] == '\n' &&
            IsBlankOrTab(result[i + 2])) {
            i += 2;
        } else if (result[i] == '\r' || result[i] == '\n') {
            result[i] = ' ';
        }
    }
    return result;
}

} // namespace

void TIdHeaderList::AddStrings(const TIdHeaderList& source)
{
    lines_.insert(lines_.end(), source.lines_.begin(), source.lines_.end());
}

void TIdHeaderList::Insert(int index, const std::string& line)
{
    if (index < 0 || index > Count()) {
        throw std::out_of_range("TIdHeaderList::Insert");
    }
    lines_.insert(lines_.begin() + index, line);
}

void TIdHeaderList::Delete(int index)
{
    if (index < 0 || index >= Count()) {
        throw std::out_of_range("TIdHeaderList::Delete");
    }
    lines_.erase(lines_.begin() + index);
}

bool TIdHeaderList::IsContinuation(int index) const
{
    const std::string& line = lines_[index];
    return !line.empty() && IsBlankOrTab(line.front());
}

std::string TIdHeaderList::HeaderNameAt(int index) const
{
    const std::string line = UpperCase(lines_.at(index));
    const size_t colon = line.find(':');
    return colon == std::string::npos ? std::string() : line.substr(0, colon);
}

std::string TIdHeaderList::HeaderValueAt(int index) const
{
    if (index == -1) {
        return {};
    }
    const size_t nameLength = HeaderNameAt(index).size();
    const std::string& line = lines_.at(index);
    std::string value = nameLength + 1 < line.size() ? line.substr(nameLength + 1) : std::string();
    for (int next = index + 1; next < Count() && IsContinuation(next); ++next) {
        const std::string text = TrimLeft(lines_[next]);
        if (value.empty() || !IsBlankOrTab(value.back())) {
            value += ' ';
        }
        value += text;
    }
    return TrimLeft(value);
}

int TIdHeaderList::FindHeader(const std::string& name) const
{
    for (int i = 0; i < Count(); ++i) {
        if (SameTextNoCase(HeaderNameAt(i), name)) {
            return i;
        }
    }
    return -1;
}

std::string TIdHeaderList::GetHeader(const std::string& name) const
{
    return HeaderValueAt(FindHeader(name));
}

void TIdHeaderList::SetHeader(const std::string& name, const std::string& value)
{
    int index = FindHeader(name);
    if (value.empty()) {
        if (index != -1) {
            RemoveFoldedLines(index);
            Delete(index);
        }
        return;
    }
    if (index == -1) {
        lines_.emplace_back();
        index = Count() - 1;
    }
    RemoveFoldedLines(index);
    StoreFolded(WithoutBareLineBreaks(name + NameSeparator + value), index);
}

void TIdHeaderList::RemoveFoldedLines(int index)
{
    while (index + 1 < Count() && IsContinuation(index + 1)) {
        Delete(index + 1);
    }
}

std::vector<std::string> TIdHeaderList::SplitFolded(const std::string& text)
{
    const std::string wrapped = WrapHeaderText(text, kFoldBreak, kFoldCharacters, FoldWidth);
    std::vector<std::string> lines;
    for (size_t start = 0; start < wrapped.size();) {
        const size_t end = std::min(wrapped.find("\r\n", start), wrapped.size());
        std::string line = TrimRight(wrapped.substr(start, end - start));
        start = end + 2;
        // A fold that lands right after an encoder's CR LF tab leaves a piece of blanks only;
        // stored as an empty entry it would end the header block, so it is left out.
        if (!line.empty() || lines.empty()) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

void TIdHeaderList::StoreFolded(const std::string& text, int index)
{
    const std::vector<std::string> lines = SplitFolded(text);
    if (lines.empty()) {
        lines_.at(index).clear();
        return;
    }
    lines_.at(index) = lines.back();
    lines_.insert(lines_.begin() + index, lines.begin(), lines.end() - 1);
}

std::string TIdHeaderList::WrapHeaderText(const std::string& line, const std::string& breakText,
                                          const std::string& breakCharacters, int width)
{
    const auto length = static_cast<int>(line.size());
    // Positions count from 1, so that a break position of 0 means none found yet.
    const auto at = [&line](int position) { return line[position - 1]; };
    const auto isBreakCharacter = [&breakCharacters](char c) {
        return breakCharacters.find(c) != std::string::npos;
    };
    int column = 1;
    int position = 1;
    int lineStart = 1;
    int breakPosition = 0;
    bool inQuote = false;
    bool existingBreak = false;
    std::string result;
    while (position <= length) {
        const char c = at(position);
        if (!breakText.empty() && c == breakText.front()) {
            if (!inQuote) {
                existingBreak = SameTextNoCase(line.substr(position - 1, breakText.size()), breakText);
                if (existingBreak) {
                    position += static_cast<int>(breakText.size()) - 1;
                    breakPosition = position;
                }
            }
        } else if (isBreakCharacter(c)) {
            if (!inQuote) {
                breakPosition = position;
            }
        } else if (c == '"') {
            inQuote = !inQuote;
        }
        ++position;
        ++column;
        if (!inQuote && (existingBreak || (column > width && breakPosition > lineStart))) {
            column = position - breakPosition;
            result += line.substr(lineStart - 1, breakPosition - lineStart + 1);
            if (c != '"') {
                while (position <= length &&
                       (isBreakCharacter(at(position)) || at(position) == '\r' || at(position) == '\n')) {
                    ++position;
                }
            }
            if (!existingBreak && position < length) {
                result += breakText;
            }
            ++breakPosition;
            lineStart = breakPosition;
            existingBreak = false;
        }
    }
    if (lineStart <= length) {
        result += line.substr(lineStart - 1);
    }
    return result;
}
