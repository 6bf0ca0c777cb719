#include "message/IdCoderUU.h"

#include <algorithm>
#include <cctype>

#include "net/IdGlobal.h"

const char* const UUTable = "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
const char* const XXTable = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

namespace {

constexpr size_t TableLength = 64;
// Bytes per encoded line: a whole number of groups, the usual "M" lines.
constexpr uint32_t EncoderLineBytes = 45;

// A shorter replacement changes only the first characters; a longer one is cut.
std::string FixedLengthTable(const std::string& current, const std::string& replacement)
{
    if (replacement.size() >= TableLength || current.size() < TableLength) {
        return replacement.substr(0, TableLength);
    }
    return replacement + current.substr(replacement.size());
}

// Position of the keyword in the line ignoring case, or npos.
size_t FindKeyword(std::string_view line, std::string_view keyword)
{
    const auto found =
        std::search(line.begin(), line.end(), keyword.begin(), keyword.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
    return found == line.end() ? std::string_view::npos : static_cast<size_t>(found - line.begin());
}

std::string_view SkipBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    return text;
}

} // namespace

TIdUUEncoder::TIdUUEncoder()
{
    ReplaceTable(UUTable);
    AppendLineBreak = true;
    ChangeBufferSize(EncoderLineBytes);
}

void TIdUUEncoder::ReplaceTable(const std::string& table)
{
    TId3To4Coder::ReplaceTable(FixedLengthTable(table_, table));
}

void TIdUUEncoder::EmitUUHeader()
{
    if (TableNeeded) {
        EmitData("TABLE");
        EmitData(std::string_view(table_).substr(0, 32));
        EmitData(std::string_view(table_).substr(32));
    }
    // Lower case: the form every UU decoder recognises.
    EmitData("begin " + std::to_string(Permission) + " " + fileName_);
    firstPass_ = false;
}

std::string TIdUUEncoder::DataLine(std::string_view bytes) const
{
    std::string line(1 + (bytes.size() + 2) / 3 * 4, table_[0]);
    line[0] = table_[bytes.size()];
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t written = EncodeGroups(data, bytes.size(), line.data() + 1);
    if (bytes.size() % 3 != 0) {
        const size_t whole = bytes.size() - bytes.size() % 3;
        EncodePartialGroup(data + whole, bytes.size() - whole, line.data() + 1 + written);
    }
    return line;
}

void TIdUUEncoder::ProcessFullBuffer()
{
    if (firstPass_) {
        EmitUUHeader();
    }
    CountConsumed(BufferedCount());
    EmitData(DataLine(Buffered()));
    ClearBuffer();
}

void TIdUUEncoder::FlushFinal()
{
    finishing_ = true;
    if (firstPass_) {
        EmitUUHeader();
    }
    const std::string zeroLine(1, table_[0]);
    if (BufferedCount() == 0) {
        EmitData(zeroLine);
        EmitData("end");
        return;
    }
    CountConsumed(BufferedCount());
    EmitData(DataLine(Buffered()) + "\r\n");
    ClearBuffer();
    EmitData(zeroLine + "\r\n");
    EmitData("end\r\n");
}

TIdXXEncoder::TIdXXEncoder()
{
    ReplaceTable(XXTable);
}

TIdUUDecoder::TIdUUDecoder() : TIdUUDecoder(UUTable) {}

TIdUUDecoder::TIdUUDecoder(const char* table) : ownTable_(table)
{
    ReplaceTable(ownTable_);
}

void TIdUUDecoder::ReplaceTable(const std::string& table)
{
    TId3To4Coder::ReplaceTable(FixedLengthTable(table_, table));
}

void TIdUUDecoder::Restart()
{
    // A restarted decoder reads a further UU text from its begin line, as a new one would.
    TId3To4Coder::Restart();
    ReplaceTable(ownTable_);
    state_ = TState::Searching;
    permission_ = 644;
    firstPass_ = true;
    error_ = false;
    completed_ = false;
    sawZeroLine_ = false;
    errors_.clear();
}

void TIdUUDecoder::ProcessFullBuffer()
{
    DecodeLines(false);
}

void TIdUUDecoder::FlushFinal()
{
    finishing_ = true;
    DecodeLines(true);
    if (!firstPass_ && !sawZeroLine_) {
        RecordError(" Data ended without an END statment", 0);
    }
    ClearBuffer();
}

void TIdUUDecoder::DecodeLines(bool endOfInput)
{
    const std::string_view text = Buffered();
    // A full buffer without any line break is taken as one line, so every pass makes room.
    const bool full = BufferedCount() == BufferSize();
    size_t position = 0;
    out_.clear();
    while (position < text.size() && !completed_) {
        const size_t end = text.find_first_of("\r\n", position);
        const bool mustTake = endOfInput || (position == 0 && full);
        std::string_view line;
        size_t next;
        if (end == std::string_view::npos) {
            if (!mustTake) {
                break;
            }
            line = text.substr(position);
            next = text.size();
        } else if (text[end] == '\r' && end + 1 == text.size() && !mustTake) {
            break; // an LF may still follow
        } else {
            line = text.substr(position, end - position);
            next = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
        }
        position = next;
        if (firstPass_) {
            firstPass_ = !ScanUUPreamble(line);
        } else {
            DecodeLine(line);
        }
    }
    if (completed_) {
        position = text.size(); // whatever follows the end line is not ours
    }
    if (!out_.empty()) {
        EmitData(out_);
        out_.clear();
    }
    CountConsumed(position);
    Consume(position);
}

bool TIdUUDecoder::ScanUUPreamble(std::string_view line)
{
    switch (state_) {
    case TState::Searching: {
        const size_t table = FindKeyword(line, "TABLE");
        const size_t begin = FindKeyword(line, "BEGIN ");
        if (table != std::string_view::npos && (begin == std::string_view::npos || table < begin)) {
            EmitEvent(41, "");
            state_ = TState::FirstTableHalf;
        } else if (begin != std::string_view::npos) {
            ReadBeginLine(line.substr(begin + 6));
            return true;
        }
        return false;
    }
    case TState::FirstTableHalf:
        ReplaceTable(std::string(line.substr(0, 32)));
        state_ = TState::SecondTableHalf;
        return false;
    case TState::SecondTableHalf: {
        std::string table = table_;
        const std::string_view half = line.substr(0, 32);
        table.replace(32, half.size(), half);
        ReplaceTable(table);
        state_ = TState::AfterTable;
        return false;
    }
    case TState::AfterTable: {
        if (line.empty()) {
            return false;
        }
        const size_t begin = FindKeyword(line, "BEGIN ");
        if (begin != std::string_view::npos) {
            ReadBeginLine(line.substr(begin + 6));
            return true;
        }
        RecordError("No BEGIN statement followed a TABLE", 43);
        state_ = TState::Searching;
        return false;
    }
    default:
        return true;
    }
}

void TIdUUDecoder::ReadBeginLine(std::string_view afterKeyword)
{
    EmitEvent(42, "");
    std::string_view rest = SkipBlanks(afterKeyword);
    const size_t permissionEnd = std::min(rest.find_first_of(" \t"), rest.size());
    const std::string_view permission = rest.substr(0, permissionEnd);
    if (permission.size() == 3 &&
        std::all_of(permission.begin(), permission.end(), [](char c) { return IsDigitChar(c); })) {
        permission_ = (permission[0] - '0') * 100 + (permission[1] - '0') * 10 + (permission[2] - '0');
        EmitEvent(47, std::to_string(permission_));
    } else if (permission.size() == 3) {
        RecordError("Privilege chars not numeric", 48);
    } else if (permission.size() < 3) {
        RecordError("Not enough chars for three-digit Privilege", 48);
    } else {
        RecordError("Too many chars for three-digit Privilege", 48);
    }
    fileName_ = std::string(SkipBlanks(rest.substr(permissionEnd)));
    EmitEvent(5, fileName_);
    state_ = TState::Data;
}

void TIdUUDecoder::DecodeLine(std::string_view line)
{
    if (line.empty()) {
        return;
    }
    // Older UU encoders write a blank where newer ones write the backquote: both stand for 0.
    std::string withBackquotes;
    if (table_[0] == '`' && line.find(' ') != std::string_view::npos) {
        withBackquotes = line;
        std::replace(withBackquotes.begin(), withBackquotes.end(), ' ', '`');
        line = withBackquotes;
    }
    if (state_ == TState::AfterZeroLine) {
        if (FindKeyword(line.substr(0, 3), "END") == 0) {
            EmitEvent(45, "");
        }
        completed_ = true;
        return;
    }
    if (line[0] == table_[0]) {
        if (!out_.empty()) {
            EmitData(out_);
            out_.clear();
        }
        state_ = TState::AfterZeroLine;
        sawZeroLine_ = true;
        EmitEvent(44, "");
        return;
    }
    const size_t count = TableIndexOf(line[0]);
    // Decode only the characters the line really has, however many bytes it promises.
    const std::string_view chars = line.substr(1, (count + 2) / 3 * 4);
    const auto* data = reinterpret_cast<const uint8_t*>(chars.data());
    const size_t start = out_.size();
    out_.resize(start + (chars.size() + 3) / 4 * 3);
    char* out = out_.data() + start;
    size_t i = 0;
    for (; i + 4 <= chars.size(); i += 4, out += 3) {
        const uint32_t v = GroupValue(data + i);
        if (v >= NotInTable) {
            for (size_t k = 0; k < 4; ++k) {
                TableIndexOf(chars[i + k]);
            }
        }
        out[0] = static_cast<char>(v >> 16);
        out[1] = static_cast<char>(v >> 8);
        out[2] = static_cast<char>(v);
    }
    size_t decoded = i / 4 * 3;
    if (i < chars.size()) {
        uint32_t v = 0;
        const size_t rest = chars.size() - i;
        for (size_t k = 0; k < rest; ++k) {
            v |= uint32_t(TableIndexOf(chars[i + k])) << (18 - 6 * k);
        }
        out[0] = static_cast<char>(v >> 16);
        out[1] = static_cast<char>(v >> 8);
        decoded += rest * 6 / 8;
    }
    out_.resize(start + std::min(count, decoded));
}

void TIdUUDecoder::RecordError(const std::string& text, int event)
{
    errors_.push_back(text);
    error_ = true;
    if (event != 0) {
        EmitEvent(event, "");
    }
}

TIdXXDecoder::TIdXXDecoder() : TIdUUDecoder(XXTable) {}
