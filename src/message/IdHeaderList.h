#pragma once

#include <string>
#include <vector>

// Mail header lines ("Name: value") kept one physical line per entry: a folded header is its
// first line followed by continuation entries that begin with a blank or a tab. Lookup ignores
// letter case, reading a value joins its continuation lines, and setting a value folds it.
class TIdHeaderList {
public:
    static constexpr const char* NameSeparator = ": ";
    static constexpr int FoldWidth = 78;

    // Raw entries, without folding or unfolding.
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int index) const { return lines_.at(index); }
    const std::vector<std::string>& Lines() const { return lines_; }
    void Add(const std::string& line) { lines_.push_back(line); }
    void AddStrings(const TIdHeaderList& source);
    void Insert(int index, const std::string& line);
    void Delete(int index);
    void Clear() { lines_.clear(); }

    // The name of an entry, in upper case; empty for an entry without ":".
    std::string HeaderNameAt(int index) const;
    // The value of an entry with its continuation lines joined; empty for index -1.
    std::string HeaderValueAt(int index) const;
    // Index of the first entry with that name (letter case ignored), or -1.
    int FindHeader(const std::string& name) const;
    std::string GetHeader(const std::string& name) const;
    // Replaces the first header of that name, adds it, or removes it when the value is empty.
    void SetHeader(const std::string& name, const std::string& value);

    // Deletes the continuation entries that follow entry index.
    void RemoveFoldedLines(int index);
    // Folds one header line into physical lines.
    static std::vector<std::string> SplitFolded(const std::string& text);
    // Folds the line and stores it at entry index, its continuation lines after it.
    void StoreFolded(const std::string& text, int index);

    // Inserts breakText after the last break character before the column passes width, never
    // inside a double-quoted stretch; a breakText already present counts as a break.
    static std::string WrapHeaderText(const std::string& line, const std::string& breakText,
                                      const std::string& breakCharacters, int width);

private:
    bool IsContinuation(int index) const;

    std::vector<std::string> lines_;
};
