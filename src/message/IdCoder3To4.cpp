#include "message/IdCoder3To4.h"

#include <algorithm>

const char* const Base64Table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

TIdASCIICoder::TIdASCIICoder()
{
    takesFileName_ = true;
    IndexTable();
}

void TIdASCIICoder::ReplaceTable(const std::string& table)
{
    table_ = table;
    IndexTable();
}

uint8_t TIdASCIICoder::TableIndexOf(char c) const
{
    const int16_t index = index_[static_cast<uint8_t>(c)];
    if (index < 0) {
        throw EIdTableNotFound();
    }
    return static_cast<uint8_t>(index);
}

void TIdASCIICoder::IndexTable()
{
    index_.fill(-1);
    // The first occurrence decides, as a search through the table would.
    for (size_t i = table_.size(); i-- > 0;) {
        index_[static_cast<uint8_t>(table_[i])] = static_cast<int16_t>(i);
    }
}

void TId3To4Coder::ReplaceTable(const std::string& table)
{
    TIdASCIICoder::ReplaceTable(table);
    BuildShiftedTables();
}

void TId3To4Coder::BuildShiftedTables()
{
    for (size_t c = 0; c < 256; ++c) {
        const int16_t index = index_[c];
        for (size_t place = 0; place < 4; ++place) {
            shifted_[place][c] = index < 0 ? NotInTable : static_cast<uint32_t>(index) << (18 - 6 * place);
        }
    }
}

size_t TId3To4Coder::EncodeGroups(const uint8_t* bytes, size_t count, char* out) const
{
    const char* table = table_.data();
    const size_t groups = count / 3;
    for (size_t g = 0; g < groups; ++g, bytes += 3, out += 4) {
        const uint32_t v = (uint32_t(bytes[0]) << 16) | (uint32_t(bytes[1]) << 8) | bytes[2];
        out[0] = table[v >> 18];
        out[1] = table[(v >> 12) & 63];
        out[2] = table[(v >> 6) & 63];
        out[3] = table[v & 63];
    }
    return groups * 4;
}

void TId3To4Coder::EncodePartialGroup(const uint8_t* bytes, size_t count, char* out) const
{
    uint8_t group[3] = {0, 0, 0};
    std::copy_n(bytes, std::min<size_t>(count, 3), group);
    EncodeGroups(group, 3, out);
}

TIdBase64Encoder::TIdBase64Encoder()
{
    ReplaceTable(Base64Table);
}

void TIdBase64Encoder::ProcessFullBuffer()
{
    // A pass encodes whole groups only, so no padding lands mid-stream; the one or two bytes
    // left over stay buffered for the next pass.
    const std::string_view text = Buffered();
    const size_t whole = text.size() - text.size() % 3;
    out_.resize(whole / 3 * 4);
    EncodeGroups(reinterpret_cast<const uint8_t*>(text.data()), whole, out_.data());
    CountConsumed(whole);
    Consume(whole);
    EmitData(out_);
}

void TIdBase64Encoder::FlushFinal()
{
    finishing_ = true;
    const std::string_view text = Buffered();
    if (text.empty()) {
        return;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const size_t whole = text.size() - text.size() % 3;
    const size_t rest = text.size() - whole;
    out_.resize((text.size() + 2) / 3 * 4);
    size_t length = EncodeGroups(bytes, whole, out_.data());
    if (rest > 0) {
        EncodePartialGroup(bytes + whole, rest, out_.data() + length);
        out_[length + 3] = '=';
        if (rest == 1) {
            out_[length + 2] = '=';
        }
    }
    CountConsumed(text.size());
    ClearBuffer();
    EmitData(out_);
}

TIdBase64Decoder::TIdBase64Decoder()
{
    ReplaceTable(Base64Table);
}

void TIdBase64Decoder::Restart()
{
    TId3To4Coder::Restart();
    groupCount_ = 0;
    afterPadding_ = false;
}

void TIdBase64Decoder::ProcessFullBuffer()
{
    Decode(Buffered(), false);
    CountConsumed(BufferedCount());
    ClearBuffer();
}

void TIdBase64Decoder::FlushFinal()
{
    finishing_ = true;
    if (BufferedCount() == 0 && groupCount_ == 0) {
        return;
    }
    Decode(Buffered(), true);
    CountConsumed(BufferedCount());
    ClearBuffer();
}

namespace {

bool IsSkippedInBase64(char c)
{
    return c == '\r' || c == '\n' || c == ' ' || c == '\t';
}

bool OnlyPaddingFollows(std::string_view rest)
{
    return std::all_of(rest.begin(), rest.end(), [](char c) { return c == '=' || IsSkippedInBase64(c); });
}

} // namespace

void TIdBase64Decoder::Decode(std::string_view text, bool endOfInput)
{
    out_.resize(text.size() / 4 * 3 + 6);
    char* out = out_.data();
    const auto* chars = reinterpret_cast<const uint8_t*>(text.data());
    const size_t size = text.size();
    size_t i = 0;
    while (true) {
        if (groupCount_ == 0) {
            // Whole groups of four alphabet characters: the bulk of every line.
            while (i + 4 <= size) {
                const uint32_t v = GroupValue(chars + i);
                if (v >= NotInTable) {
                    break;
                }
                out[0] = static_cast<char>(v >> 16);
                out[1] = static_cast<char>(v >> 8);
                out[2] = static_cast<char>(v);
                out += 3;
                i += 4;
            }
        }
        if (i >= size) {
            break;
        }
        const char c = text[i++];
        if (IsSkippedInBase64(c)) {
            continue;
        }
        if (c == '=' && (groupCount_ >= 2 || (groupCount_ == 0 && afterPadding_))) {
            if (groupCount_ >= 2) {
                out += DecodeShortGroup(out, endOfInput && OnlyPaddingFollows(text.substr(i)));
                groupCount_ = 0;
                afterPadding_ = true;
            }
            continue;
        }
        group_[groupCount_++] = TableIndexOf(c);
        afterPadding_ = false;
        if (groupCount_ == 4) {
            const uint32_t v = (uint32_t(group_[0]) << 18) | (uint32_t(group_[1]) << 12) |
                               (uint32_t(group_[2]) << 6) | group_[3];
            out[0] = static_cast<char>(v >> 16);
            out[1] = static_cast<char>(v >> 8);
            out[2] = static_cast<char>(v);
            out += 3;
            groupCount_ = 0;
        }
    }
    if (endOfInput) {
        // An unpadded short group at the very end; a single character carries no whole byte.
        if (groupCount_ >= 2) {
            out += DecodeShortGroup(out, true);
        }
        groupCount_ = 0;
        afterPadding_ = false;
    }
    const size_t length = static_cast<size_t>(out - out_.data());
    if (length > 0) {
        EmitData(std::string_view(out_.data(), length));
    }
}

size_t TIdBase64Decoder::DecodeShortGroup(char* out, bool endOfInput) const
{
    // The group is completed with zero values ("A"). At the very end of input, bits left over
    // in the last character that a canonical encoder leaves zero still make one more byte.
    const uint32_t v = (uint32_t(group_[0]) << 18) | (uint32_t(group_[1]) << 12) |
                       (groupCount_ == 3 ? uint32_t(group_[2]) << 6 : 0);
    out[0] = static_cast<char>(v >> 16);
    if (groupCount_ == 2) {
        if (endOfInput && (group_[1] & 15) != 0) {
            out[1] = static_cast<char>(v >> 8);
            return 2;
        }
        return 1;
    }
    out[1] = static_cast<char>(v >> 8);
    if (endOfInput && (group_[2] & 3) != 0) {
        out[2] = static_cast<char>(v);
        return 3;
    }
    return 2;
}

std::string EncodeBase64Text(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    TIdBase64Encoder encoder;
    encoder.AppendLineBreak = false;
    encoder.DeliverEvents = false;
    encoder.Restart();
    // A text longer than the buffer leaves an item already while it is fed.
    std::string result;
    for (const std::string& item : {encoder.FeedInput(text), encoder.FinishInput()}) {
        if (!item.empty()) {
            result.append(item, 2);
        }
    }
    return result;
}
