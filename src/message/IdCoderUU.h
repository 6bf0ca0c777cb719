#pragma once

#include <string>
#include <vector>

#include "message/IdCoder3To4.h"

extern const char* const UUTable;
extern const char* const XXTable;

// UU encoding: a "begin" line with permission and file name, data lines led by a length
// character, a zero-length line and "end". Every delivered line gets CR LF.
class TIdUUEncoder : public TId3To4Coder {
public:
    TIdUUEncoder();

    // Keeps the table 64 characters long: a shorter text replaces only the first characters.
    void ReplaceTable(const std::string& table) override;

    int Permission = 644;
    // Write the coding table ahead of the begin line.
    bool TableNeeded = false;

protected:
    void ProcessFullBuffer() override;
    void FlushFinal() override;
    virtual void EmitUUHeader();

private:
    std::string DataLine(std::string_view bytes) const;

    bool firstPass_ = true;
};

// XX encoding: UU with another table.
class TIdXXEncoder : public TIdUUEncoder {
public:
    TIdXXEncoder();
};

// UU decoding. The preamble before the data (an optional coding table and the begin line with
// permission and file name) is read line by line; preamble errors are recorded in Errors and
// reported through events, never raised. Events: 41 table seen, 42 begin seen, 43 no begin
// after a table, 47 permission (its decimal value), 48 permission error, 5 file name,
// 44 zero-length line, 45 end seen.
class TIdUUDecoder : public TId3To4Coder {
public:
    TIdUUDecoder();

    void ReplaceTable(const std::string& table) override;
    void Restart() override;

    int Permission() const { return permission_; }
    bool Error() const { return error_; }
    const std::vector<std::string>& Errors() const { return errors_; }
    bool Completed() const { return completed_; }

protected:
    explicit TIdUUDecoder(const char* table);

    void ProcessFullBuffer() override;
    void FlushFinal() override;
    // Reads one preamble line; true once the begin line has been read.
    virtual bool ScanUUPreamble(std::string_view line);

private:
    // Takes the complete lines of the buffered text (all of it at the end of input).
    void DecodeLines(bool endOfInput);
    void DecodeLine(std::string_view line);
    void ReadBeginLine(std::string_view afterKeyword);
    void RecordError(const std::string& text, int event);

    enum class TState { Searching, FirstTableHalf, SecondTableHalf, AfterTable, Data, AfterZeroLine };

    const char* ownTable_;
    TState state_ = TState::Searching;
    int permission_ = 644;
    bool firstPass_ = true;
    bool error_ = false;
    bool completed_ = false;
    bool sawZeroLine_ = false;
    std::vector<std::string> errors_;
    std::string out_;
};

class TIdXXDecoder : public TIdUUDecoder {
public:
    TIdXXDecoder();
};
