#pragma once

#include <string>

#include "message/IdCoder.h"

// Quoted-printable encoding. Output lines are at most 76 characters before their CR LF; a CR LF
// in the input is a hard line break, every other control byte, every byte above 0x7E, "=" and
// the characters that do not pass every mail gateway unharmed are escaped as "=" + two
// upper-case hexadecimal digits.
class TIdQuotedPrintableEncoder : public TIdCoder {
public:
    TIdQuotedPrintableEncoder();
    // Forgets the pending line; buffered input and the output queue stay.
    void Restart() override;

protected:
    void ProcessFullBuffer() override;
    void FlushFinal() override;
    // Takes a piece of encoded text and delivers every line it completes.
    virtual void DeliverLines(std::string_view piece);

private:
    void EncodeBuffered();
    void DeliverHardLine(std::string_view line);
    // Delivers soft-broken lines from the front of the text while it is longer than a line.
    std::string_view DeliverSoftLines(std::string_view text);

    std::string pendingLine_;
    std::string work_;
};

// Quoted-printable decoding; an escape may be split across fed chunks.
class TIdQuotedPrintableDecoder : public TIdCoder {
public:
    TIdQuotedPrintableDecoder();
    // Closes an open escape and clears AppendLineBreak; buffered input and the output queue stay.
    void Restart() override;

protected:
    void ProcessFullBuffer() override;
    void FlushFinal() override;

private:
    void DecodeBuffered();

    int escapePosition_ = 0; // 0 outside an escape, 1 after "=", 2 after "=" and one character
    char escape_[2] = {0, 0};
    std::string out_;
};
