#include <gtest/gtest.h>

#include "message/IdHeaderList.h"

namespace {

std::vector<std::string> Entries(const TIdHeaderList& list)
{
    return list.Lines();
}

TIdHeaderList ListOf(const std::vector<std::string>& lines)
{
    TIdHeaderList list;
    for (const std::string& line : lines) {
        list.Add(line);
    }
    return list;
}

// Every continuation entry begins with a blank or tab and no entry is empty, so the lines
// go on the wire as one header.
void ExpectOneWireHeader(const TIdHeaderList& list)
{
    ASSERT_GT(list.Count(), 0);
    EXPECT_FALSE(list[0].empty());
    for (int i = 1; i < list.Count(); ++i) {
        ASSERT_FALSE(list[i].empty()) << i;
        EXPECT_TRUE(list[i][0] == ' ' || list[i][0] == '\t') << list[i];
    }
    for (const std::string& line : list.Lines()) {
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    }
}

TEST(HeaderListTest, FindsNamesWithoutRegardToCaseAndReadsValuesWithoutBlankAfterColon)
{
    const TIdHeaderList list = ListOf({"Received: x", "Content-TYPE:text/plain", "Subject: Hi"});
    EXPECT_EQ(list.FindHeader("content-type"), 1);
    EXPECT_EQ(list.GetHeader("content-type"), "text/plain");
    EXPECT_EQ(list.HeaderNameAt(1), "CONTENT-TYPE");
    EXPECT_EQ(list.GetHeader("Missing"), "");
    EXPECT_EQ(list.FindHeader("Missing"), -1);
    EXPECT_EQ(list.HeaderValueAt(-1), "");
}

TEST(HeaderListTest, UnfoldsContinuationLinesWithOneBlank)
{
    const TIdHeaderList list = ListOf({"Name:", "  text", "Subject: a", "\tb c", " d", "To: x"});
    EXPECT_EQ(list.GetHeader("Name"), "text");
    EXPECT_EQ(list.GetHeader("Subject"), "a b c d");
    EXPECT_EQ(list.GetHeader("To"), "x");
}

TEST(HeaderListTest, KeepsTrailingBlanksAndAppendsDirectlyAfterThem)
{
    const TIdHeaderList list = ListOf({"Subject: a ", " b "});
    EXPECT_EQ(list.GetHeader("Subject"), "a b ");
}

TEST(HeaderListTest, FoldsAHundredLettersAfterTheSeparatorOnly)
{
    TIdHeaderList list;
    const std::string letters(100, 'x');
    list.SetHeader("X-Long", letters);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"X-Long:", " " + letters}));
    EXPECT_EQ(list.GetHeader("X-Long"), letters);
}

TEST(HeaderListTest, FoldsLongTextAtTheLastBlankWithinTheWidthAndReadsItBack)
{
    TIdHeaderList list;
    std::string text;
    for (int i = 0; i < 30; ++i) {
        text += (i == 0 ? "" : " ") + std::string("word") + std::to_string(i);
    }
    list.SetHeader("Subject", text);
    ASSERT_GT(list.Count(), 1);
    ExpectOneWireHeader(list);
    for (const std::string& line : list.Lines()) {
        EXPECT_LE(line.size(), 78u) << line;
    }
    // The first line could not have taken the next word.
    const std::string nextWord = list[1].substr(1, list[1].find(' ', 1) - 1);
    EXPECT_GT(list[0].size() + 1 + nextWord.size(), 78u);
    EXPECT_EQ(list.GetHeader("Subject"), text);
}

TEST(HeaderListTest, NeverBreaksInsideDoubleQuotes)
{
    TIdHeaderList list;
    const std::string name = "\"" + std::string(40, 'a') + " " + std::string(40, 'b') + "\"";
    list.SetHeader("From", name + " <a@b.c>");
    for (const std::string& line : list.Lines()) {
        if (line.find('"') != std::string::npos) {
            EXPECT_NE(line.find(name), std::string::npos) << line;
        }
    }
    EXPECT_EQ(list.GetHeader("From"), name + " <a@b.c>");
}

TEST(HeaderListTest, ReplacesOnlyTheFirstHeaderWithItsContinuationLines)
{
    TIdHeaderList list = ListOf({"Subject: old", " folded", "X-A: 1", "subject: second"});
    list.SetHeader("Subject", "new");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"Subject: new", "X-A: 1", "subject: second"}));
}

TEST(HeaderListTest, EmptyValueRemovesAFoldedHeaderAndNeverAddsOne)
{
    TIdHeaderList list = ListOf({"Subject: a", " b", "X-A: 1"});
    list.SetHeader("X-Missing", "");
    EXPECT_EQ(list.Count(), 3);
    list.SetHeader("SUBJECT", "");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"X-A: 1"}));
}

TEST(HeaderListTest, AddsAMissingHeaderAtTheEndWithTheNameAsGiven)
{
    TIdHeaderList list = ListOf({"X-A: 1"});
    list.SetHeader("X-Mixed-Case", "v");
    EXPECT_EQ(list[1], "X-Mixed-Case: v");
}

TEST(HeaderListTest, BareLineBreaksInAValueNeverStartANewHeaderLine)
{
    TIdHeaderList subject;
    subject.SetHeader("Subject", "Hello\r\nBcc: victim@example.com\rX\nY");
    ExpectOneWireHeader(subject);
    EXPECT_EQ(subject.FindHeader("Bcc"), -1);
    EXPECT_EQ(subject.GetHeader("Subject"), "Hello  Bcc: victim@example.com X Y");
    TIdHeaderList other;
    other.SetHeader("X-Name", "a\r\n\r\n b\r\n");
    ExpectOneWireHeader(other);
    EXPECT_EQ(other.GetHeader("X-Name"), "a b");
}

TEST(HeaderListTest, KeepsFoldsThatAreAlreadyInTheValue)
{
    TIdHeaderList list;
    list.SetHeader("Subject", "first\r\n second\r\n\tthird");
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"Subject: first", " second", "\tthird"}));
}

TEST(HeaderListTest, FoldingAfterAnEncodersTabBreakLeavesNoEmptyLine)
{
    // Encoded words joined by CR LF tab, each close to the 75 characters an encoder allows.
    const std::string word = "=?UTF-8?Q?" + std::string(63, 'a') + "?=";
    TIdHeaderList list;
    list.SetHeader("Subject", word + "\r\n\t" + word + "\r\n\t" + word);
    ExpectOneWireHeader(list);
    EXPECT_EQ(list.GetHeader("Subject"), word + " " + word + " " + word);
}

TEST(HeaderListTest, FoldRoundTripsForManyWidthsOfWords)
{
    for (int wordLength = 1; wordLength < 90; wordLength += 7) {
        std::string text;
        for (int i = 0; i < 12; ++i) {
            text += (i == 0 ? "" : " ") + std::string(wordLength, static_cast<char>('a' + i));
        }
        TIdHeaderList list;
        list.SetHeader("Subject", text);
        ExpectOneWireHeader(list);
        EXPECT_EQ(list.GetHeader("Subject"), text) << wordLength;
    }
}

TEST(HeaderListWrapTest, BreaksAfterTheLastBlankBeforeTheWidth)
{
    EXPECT_EQ(TIdHeaderList::WrapHeaderText("aaa bbb ccc ddd", "\r\n ", "\t ", 9), "aaa bbb \r\n ccc ddd");
    EXPECT_EQ(TIdHeaderList::WrapHeaderText("short", "\r\n ", "\t ", 78), "short");
}

TEST(HeaderListWrapTest, LeavesALongWordWhole)
{
    const std::string word(100, 'w');
    EXPECT_EQ(TIdHeaderList::WrapHeaderText("X: " + word, "\r\n ", "\t ", 78), "X: \r\n " + word);
    EXPECT_EQ(TIdHeaderList::WrapHeaderText(word, "\r\n ", "\t ", 78), word);
}

TEST(HeaderListWrapTest, UsesAnExistingBreakWithoutAddingAnother)
{
    EXPECT_EQ(TIdHeaderList::WrapHeaderText("ab\r\n cd", "\r\n ", "\t ", 78), "ab\r\n cd");
}

TEST(HeaderListWrapTest, IgnoresBlanksInsideDoubleQuotes)
{
    const std::string quoted = "\"aaaa bbbb cccc\"";
    EXPECT_EQ(TIdHeaderList::WrapHeaderText(quoted + " x", "\r\n ", "\t ", 8), quoted + " x");
}

} // namespace
