#include "message/IdCoderText.h"

#include <array>

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";
constexpr size_t MaxLineLength = 75; // characters before the soft-break "="

// Printable characters that some mail gateways alter; they are always escaped.
constexpr std::string_view GatewayUnsafe = "!\"#$@[\\]^`{|}~";

constexpr std::array<bool, 256> LiteralTable()
{
    std::array<bool, 256> literal{};
    for (int c = 0x21; c <= 0x7E; ++c) {
        literal[c] = c != '=' && GatewayUnsafe.find(static_cast<char>(c)) == std::string_view::npos;
    }
    literal[' '] = true;
    return literal;
}

constexpr std::array<bool, 256> Literal = LiteralTable();

constexpr std::array<int8_t, 256> HexValueTable()
{
    std::array<int8_t, 256> value{};
    value.fill(-1);
    for (int c = 0; c < 10; ++c) {
        value['0' + c] = static_cast<int8_t>(c);
    }
    for (int c = 0; c < 6; ++c) {
        value['A' + c] = static_cast<int8_t>(10 + c);
        value['a' + c] = static_cast<int8_t>(10 + c);
    }
    return value;
}

constexpr std::array<int8_t, 256> HexValue = HexValueTable();

char* WriteEscape(char* out, uint8_t byte)
{
    out[0] = '=';
    out[1] = HexDigits[byte >> 4];
    out[2] = HexDigits[byte & 15];
    return out + 3;
}

} // namespace

TIdQuotedPrintableEncoder::TIdQuotedPrintableEncoder()
{
    AppendLineBreak = false;
}

void TIdQuotedPrintableEncoder::Restart()
{
    pendingLine_.clear();
}

void TIdQuotedPrintableEncoder::ProcessFullBuffer()
{
    EncodeBuffered();
}

void TIdQuotedPrintableEncoder::FlushFinal()
{
    finishing_ = true;
    EncodeBuffered();
    if (BufferedCount() > 0) {
        // The held-back CR: no LF can follow it any more.
        DeliverLines("=0D");
        CountConsumed(BufferedCount());
        ClearBuffer();
    }
    if (!pendingLine_.empty()) {
        char& last = pendingLine_.back();
        if (last == ' ' || last == '\t') {
            char escape[3];
            WriteEscape(escape, static_cast<uint8_t>(last));
            pendingLine_.pop_back();
            pendingLine_.append(escape, 3);
        }
        const std::string_view rest = DeliverSoftLines(pendingLine_);
        EmitData(rest);
        pendingLine_.clear();
    }
}

void TIdQuotedPrintableEncoder::EncodeBuffered()
{
    const std::string_view text = Buffered();
    work_.resize(text.size() * 3);
    char* out = work_.data();
    size_t i = 0;
    for (; i < text.size(); ++i) {
        const auto c = static_cast<uint8_t>(text[i]);
        if (Literal[c]) {
            *out++ = static_cast<char>(c);
        } else if (c == '\r' && i + 1 == text.size()) {
            // Whether this CR starts a hard line break is known only with the next pass.
            break;
        } else if (c == '\r' && text[i + 1] == '\n') {
            *out++ = '\r';
            *out++ = '\n';
            ++i;
        } else {
            out = WriteEscape(out, c);
        }
    }
    CountConsumed(i);
    DeliverLines(std::string_view(work_.data(), static_cast<size_t>(out - work_.data())));
    Consume(i);
}

void TIdQuotedPrintableEncoder::DeliverLines(std::string_view piece)
{
    pendingLine_.append(piece);
    std::string_view pending = pendingLine_;
    for (size_t lineBreak = pending.find("\r\n"); lineBreak != std::string_view::npos;
         lineBreak = pending.find("\r\n")) {
        DeliverHardLine(pending.substr(0, lineBreak));
        pending.remove_prefix(lineBreak + 2);
    }
    pending = DeliverSoftLines(pending);
    pendingLine_.erase(0, pendingLine_.size() - pending.size());
}

void TIdQuotedPrintableEncoder::DeliverHardLine(std::string_view line)
{
    if (line.empty()) {
        EmitData("\r\n");
        return;
    }
    std::string text;
    const char last = line.back();
    if (last == ' ' || last == '\t') {
        char escape[3];
        WriteEscape(escape, static_cast<uint8_t>(last));
        text.assign(line.substr(0, line.size() - 1));
        text.append(escape, 3);
        line = text;
    }
    const std::string_view rest = DeliverSoftLines(line);
    std::string delivered(rest);
    delivered.append("\r\n");
    EmitData(delivered);
}

std::string_view TIdQuotedPrintableEncoder::DeliverSoftLines(std::string_view text)
{
    std::string line;
    while (text.size() > MaxLineLength) {
        // Never split an escape: cut before an "=" among the last three places.
        size_t cut = MaxLineLength;
        if (text[72] == '=') {
            cut = 72;
        } else if (text[73] == '=') {
            cut = 73;
        } else if (text[74] == '=') {
            cut = 74;
        }
        line.assign(text.substr(0, cut));
        line.append("=\r\n");
        EmitData(line);
        text.remove_prefix(cut);
    }
    return text;
}

TIdQuotedPrintableDecoder::TIdQuotedPrintableDecoder()
{
    AppendLineBreak = false;
}

void TIdQuotedPrintableDecoder::Restart()
{
    escapePosition_ = 0;
    AppendLineBreak = false;
}

void TIdQuotedPrintableDecoder::ProcessFullBuffer()
{
    DecodeBuffered();
}

void TIdQuotedPrintableDecoder::FlushFinal()
{
    finishing_ = true;
    DecodeBuffered();
    if (escapePosition_ == 2) {
        EmitData(std::string_view(escape_, 1));
    }
    escapePosition_ = 0;
}

void TIdQuotedPrintableDecoder::DecodeBuffered()
{
    const std::string_view text = Buffered();
    out_.resize(text.size() + 3);
    char* out = out_.data();
    const char* in = text.data();
    const char* end = in + text.size();
    while (in < end) {
        if (escapePosition_ == 0) {
            // Escapes come every few characters in non-English text: a plain loop beats memchr.
            while (in < end && *in != '=') {
                *out++ = *in++;
            }
            if (in == end) {
                break;
            }
            if (end - in < 3) {
                escapePosition_ = 1; // the escape goes on in the next pass
                ++in;
                continue;
            }
            // A whole escape at hand: the common case, decoded without the state machine.
            const int8_t high = HexValue[static_cast<uint8_t>(in[1])];
            const int8_t low = HexValue[static_cast<uint8_t>(in[2])];
            if ((high | low) >= 0) {
                *out++ = static_cast<char>((high << 4) | low);
                in += 3;
                continue;
            }
            escapePosition_ = 1;
            ++in;
            continue;
        }
        const char c = *in++;
        if (escapePosition_ == 1 && c == '\n') {
            // A soft line break written with a bare LF.
            escapePosition_ = 0;
            continue;
        }
        escape_[escapePosition_ - 1] = c;
        if (escapePosition_ == 1) {
            escapePosition_ = 2;
            continue;
        }
        escapePosition_ = 0;
        const int8_t high = HexValue[static_cast<uint8_t>(escape_[0])];
        const int8_t low = HexValue[static_cast<uint8_t>(escape_[1])];
        if (high >= 0 && low >= 0) {
            *out++ = static_cast<char>((high << 4) | low);
        } else if (escape_[0] == '\r' && escape_[1] == '\n') {
            // Soft line break.
        } else {
            *out++ = '=';
            *out++ = escape_[0];
            *out++ = escape_[1];
        }
    }
    CountConsumed(text.size());
    ClearBuffer();
    EmitData(std::string_view(out_.data(), static_cast<size_t>(out - out_.data())));
}
