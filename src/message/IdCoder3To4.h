#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "message/IdCoder.h"
#include "net/IdException.h"

class EIdTableNotFound : public EIdException {
public:
    EIdTableNotFound() : EIdException("Coding table entry not found.") {}
};

// A coder that works through a 64-character coding table: a character's position is its
// 6-bit value.
class TIdASCIICoder : public TIdCoder {
public:
    TIdASCIICoder();

    virtual void ReplaceTable(const std::string& table);
    const std::string& Table() const { return table_; }
    // Raises EIdTableNotFound for a character outside the table.
    uint8_t TableIndexOf(char c) const;

protected:
    std::string table_;
    // Position of every byte value in the table, -1 when absent.
    std::array<int16_t, 256> index_{};

private:
    void IndexTable();
};

// Three bytes become four table characters and back.
class TId3To4Coder : public TIdASCIICoder {
public:
    void ReplaceTable(const std::string& table) override;

protected:
    // Writes the characters of count / 3 complete groups; returns the characters written.
    size_t EncodeGroups(const uint8_t* bytes, size_t count, char* out) const;
    // Encodes one to three bytes as a group, the missing bytes taken as zero.
    void EncodePartialGroup(const uint8_t* bytes, size_t count, char* out) const;
    // The 24-bit value of four characters; bit 24 and up set when one is outside the table.
    uint32_t GroupValue(const uint8_t* chars) const
    {
        return shifted_[0][chars[0]] | shifted_[1][chars[1]] | shifted_[2][chars[2]] | shifted_[3][chars[3]];
    }
    static constexpr uint32_t NotInTable = 0x01000000;

private:
    void BuildShiftedTables();

    // The table value of a character already moved to its place in the 24-bit group.
    std::array<std::array<uint32_t, 256>, 4> shifted_{};
};

class TIdBase64Encoder : public TId3To4Coder {
public:
    TIdBase64Encoder();

protected:
    void ProcessFullBuffer() override;
    void FlushFinal() override;

private:
    std::string out_;
};

// Decodes base64 text. Line breaks, blanks and TABs between characters are skipped; any other
// character outside the alphabet raises EIdTableNotFound. A group ended by "=" padding may be
// followed by further base64 text.
class TIdBase64Decoder : public TId3To4Coder {
public:
    TIdBase64Decoder();
    void Restart() override;

protected:
    void ProcessFullBuffer() override;
    void FlushFinal() override;

private:
    void Decode(std::string_view text, bool endOfInput);
    // Decodes the final one to three characters of a group; returns the bytes written.
    size_t DecodeShortGroup(char* out, bool endOfInput) const;

    std::string out_;
    std::array<uint8_t, 4> group_{};
    size_t groupCount_ = 0;
    bool afterPadding_ = false;
};

extern const char* const Base64Table;

// The base64 form of a short text, with padding and without line breaks.
std::string EncodeBase64Text(const std::string& text);
